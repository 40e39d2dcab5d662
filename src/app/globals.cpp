#include "app/globals.h"

#include "search/w_search.h"

Globals g;
