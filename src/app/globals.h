#pragma once
// The program's globals, shared by every object for the whole run.

#include "runtime/message.h"
#include "runtime/transaction.h"

#include <QPointer>

#include <memory>

class w_search;

namespace rt {
// The record of the last run-time error; no script reads it.
class Error {};
} // namespace rt

struct Globals {
    std::unique_ptr<rt::Transaction> SQLCA;
    std::unique_ptr<rt::DynamicDescriptionArea> SQLDA;
    std::unique_ptr<rt::DynamicStagingArea> SQLSA;
    std::unique_ptr<rt::Error> Error;
    std::unique_ptr<rt::Message> Message;
    // The entry chosen in the search window or shown in the entry window; 0 for none.
    qint16 rbr = 0;
    QPointer<::w_search> w_search;
};

extern Globals g;
