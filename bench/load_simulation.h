#pragma once
// The load simulation: N users (each a load_user process running the whole
// program offscreen) on the data source FAQ at once, bounded in time and in
// actions, then what they did, how long it took, what went wrong, and the
// set check: the table holds exactly what the users were told was stored.

#include "load_log.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace load {

struct Plan {
    std::string userProgram;  // load_user
    std::string folder;       // for the users' logs; must exist
    int users = 10;
    // Entries 1..entries are shared out among the users for changes.
    int entries = 0;
    int actionsPerUser = 20;
    double thinkMs = 1000;    // the mean pause before each action
    double seconds = 60;      // no action starts after this
    unsigned seed = 1;
    // Polled every 100 ms while the users run, for the peak; may be empty.
    std::function<int()> serverConnections;
};

struct Action {
    std::vector<double> ms;  // of the successful ones
    int failed = 0, unknown = 0;
};

struct Outcome {
    // By search, view, save, new, delete; and by "search: " and what it looked for.
    std::map<QString, Action> actions;
    std::map<QString, int> errors;      // message boxes and failed starts, by kind
    int peakConnections = -1;
    double seconds = 0;                 // from the users' start to the last one's end
    int usersFailed = 0;                // users that did not end normally
    QStringList problems;               // of the set check
    int actionCount() const;  // each Search once
    int errorCount() const;
};

// Every entry by number: its five texts (who, question, product, lot, answer).
using Table = std::map<qint64, QStringList>;
// The table faq as the data source FAQ shows it to the program's login.
Table readTable();

// Runs the users and checks the table against what they logged.
Outcome simulate(const Plan& plan);

// What is wrong with `after`, given `before` and the users' changes: an
// entry saved but missing or holding other texts, deleted but there, there
// though never reported saved, a new entry stored twice.
QStringList setCheck(const Table& before, std::vector<Record> records, const Table& after);

// The nearest-rank percentile (0 < p <= 100); 0 for no values.
double percentile(std::vector<double> values, double p);

} // namespace load
