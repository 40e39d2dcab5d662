#pragma once
// The action log of one simulated user (load_user), one line per action or
// message box, and its reading back by the coordinator (load_simulation).

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>

namespace load {

struct Record {
    // search, view, save, new or delete; "box" for a message box shown.
    QString action;
    // CLOCK_MONOTONIC (bench::monotonicNs) at the click and when the handler returned.
    std::int64_t startNs = 0, endNs = 0;
    qint64 rbr = 0;
    // ok; failed; unknown when a box said the database may have done it all the same.
    QString result;
    // For a box: the action, its title and the cause it names.
    QString kind;
    // For save and new: the five texts as typed (who, question, product, lot, answer).
    QStringList texts;
};

// One line without its line break; every field percent-encoded.
std::string format(const Record& record);
std::optional<Record> parse(const std::string& line);

} // namespace load
