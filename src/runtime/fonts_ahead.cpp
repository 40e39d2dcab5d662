#include "runtime/fonts_ahead.h"

#include <fontconfig/fontconfig.h>

namespace rt {

FontsAhead::FontsAhead() : thread_([] { FcInit(); }) {}

void FontsAhead::join()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace rt
