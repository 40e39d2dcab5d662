#pragma once
// A PostgreSQL server of one test's own, since the test stops, freezes or
// restarts it on purpose (tests/support/pg-cluster.sh). While it lives,
// ThrowawayDataSource's PostgreSQL databases are made on it.

#include <QString>
#include <QTemporaryDir>

#include <optional>

class OwnServer {
public:
    // Starts the server; why() says what went wrong when it could not.
    OwnServer();
    // Lets a frozen or paused server run again, then stops and removes it.
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    // Why the test cannot run here (no PostgreSQL, or the server did not start).
    const std::optional<QString>& why() const { return why_; }

    bool pause();    // the server stops; its data stays
    bool resume();
    bool freeze();   // every server process stopped in its tracks (SIGSTOP)
    bool thaw();
    bool restart();  // every connection dropped, the server up again

private:
    bool run(const QString& action);

    QTemporaryDir folder_;
    std::optional<QString> why_;
    bool started_ = false;
    bool paused_ = false;
    bool frozen_ = false;
};
