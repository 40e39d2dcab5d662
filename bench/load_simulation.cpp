#include "load_simulation.h"

#include "process.h"

#include "runtime/odbc.h"
#include "support/throwaway_data_source.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace load {
namespace {

void require(const odbc::Outcome& outcome, const char* what)
{
    if (outcome.status < 0)
        throw std::runtime_error(std::string(what) + ": " + outcome.errorText().toStdString());
}

pid_t start(const Plan& plan, int user, std::int64_t deadlineNs)
{
    const std::string log = plan.folder + "/user-" + std::to_string(user);
    std::vector<std::string> argv{plan.userProgram,
                                  "--user", std::to_string(user),
                                  "--users", std::to_string(plan.users),
                                  "--entries", std::to_string(plan.entries),
                                  "--actions", std::to_string(plan.actionsPerUser),
                                  "--deadline", std::to_string(deadlineNs),
                                  "--think", std::to_string(plan.thinkMs),
                                  "--seed", std::to_string(plan.seed * 1000003u + static_cast<unsigned>(user)),
                                  "--log", log + ".log"};
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (log + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + plan.userProgram);
    return pid;
}

std::vector<Record> readLogs(const Plan& plan)
{
    std::vector<Record> records;
    for (int user = 0; user < plan.users; ++user) {
        std::ifstream in(plan.folder + "/user-" + std::to_string(user) + ".log");
        std::string line;
        while (std::getline(in, line))
            if (auto r = parse(line))
                records.push_back(std::move(*r));
    }
    return records;
}

bool isChange(const Record& r)
{
    return (r.action == QLatin1String("save") || r.action == QLatin1String("new") || r.action == QLatin1String("delete"))
           && r.result != QLatin1String("failed");
}

QString describe(const std::optional<QStringList>& texts)
{
    return texts ? QStringLiteral("\"%1 … %2\"").arg(texts->value(0).left(40), texts->value(3)) : QStringLiteral("none");
}

} // namespace

int Outcome::actionCount() const
{
    int n = 0;
    for (const auto& [name, a] : actions)
        if (!name.contains(u':'))
            n += static_cast<int>(a.ms.size()) + a.failed + a.unknown;
    return n;
}

int Outcome::errorCount() const
{
    int n = 0;
    for (const auto& [kind, count] : errors)
        n += count;
    return n;
}

Table readTable()
{
    odbc::Connection connection;
    require(connection.open(ThrowawayDataSource::connectString(), false), "connect");
    odbc::Outcome outcome;
    auto statement = connection.statement(outcome);
    require(outcome, "statement");
    require(statement->executeDirect(QStringLiteral("SELECT rbr, adresa, pitanje, proizvod, lot, odgovor FROM faq")),
            "select");
    Table table;
    while ((outcome = statement->fetch()).status == 0) {
        std::optional<qint64> rbr;
        require(statement->getWide(1, rbr), "rbr");
        QStringList texts;
        for (SQLUSMALLINT column = 2; column <= 6; ++column) {
            std::optional<QString> text;
            require(statement->getText(column, text), "text");
            texts << text.value_or(QString());
        }
        table[rbr.value_or(0)] = texts;
    }
    require(outcome, "fetch");
    statement.reset();
    connection.rollback();
    return table;
}

QStringList setCheck(const Table& before, std::vector<Record> records, const Table& after)
{
    // What each entry may hold now: its last change's texts (none once
    // deleted); both the old and the new where a box said the outcome was unknown.
    std::map<qint64, std::vector<std::optional<QStringList>>> allowed;
    for (const auto& [rbr, texts] : before)
        allowed[rbr] = {texts};
    std::erase_if(records, [](const Record& r) { return !isChange(r); });
    // Changes of one entry come from one user, or (a number freed at the top
    // and taken again) one after the other: their ends give the order.
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.endNs < b.endNs; });
    for (const Record& r : records) {
        const std::optional<QStringList> now =
            r.action == QLatin1String("delete") ? std::nullopt : std::optional<QStringList>(r.texts);
        auto& may = allowed[r.rbr];
        if (may.empty())
            may.push_back(std::nullopt);  // a new number
        if (r.result == QLatin1String("ok"))
            may = {now};
        else
            may.push_back(now);
    }

    QStringList problems;
    std::map<qint64, bool> seen;
    for (const auto& [rbr, may] : allowed) {
        const auto found = after.find(rbr);
        const std::optional<QStringList> actual =
            found == after.end() ? std::nullopt : std::optional<QStringList>(found->second);
        if (std::find(may.begin(), may.end(), actual) != may.end())
            continue;
        if (!actual)
            problems << QStringLiteral("entry %1 is missing; it should hold %2").arg(rbr).arg(describe(may.back()));
        else if (!may.back())
            problems << QStringLiteral("entry %1 is there (%2) but was deleted or never reported saved")
                            .arg(rbr).arg(describe(actual));
        else
            problems << QStringLiteral("entry %1 holds %2, not %3").arg(rbr).arg(describe(actual), describe(may.back()));
    }
    for (const auto& [rbr, texts] : after)
        if (!allowed.count(rbr))
            problems << QStringLiteral("entry %1 is there (%2) but was never reported saved").arg(rbr).arg(describe(texts));
    // A new entry stored under two numbers would pass the look by number.
    std::map<QStringList, int> copies;
    for (const auto& [rbr, texts] : after)
        ++copies[texts];
    for (const auto& [rbr, texts] : before)
        --copies[texts];
    for (const Record& r : records)
        if (r.action == QLatin1String("new") && copies[r.texts] > 1)
            problems << QStringLiteral("the new entry %1 is stored %2 times").arg(describe(r.texts)).arg(copies[r.texts]);
    // Reported once, not once for each time it was saved.
    problems.removeDuplicates();
    return problems;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

Outcome simulate(const Plan& plan)
{
    const Table before = readTable();
    Outcome outcome;
    const std::int64_t begin = bench::monotonicNs();
    const std::int64_t deadline = begin + static_cast<std::int64_t>(plan.seconds * 1e9);
    std::vector<pid_t> users;
    for (int user = 0; user < plan.users; ++user)
        users.push_back(start(plan, user, deadline));

    std::atomic<bool> running{true};
    std::thread poller;
    if (plan.serverConnections)
        poller = std::thread([&] {
            while (running) {
                outcome.peakConnections = std::max(outcome.peakConnections, plan.serverConnections());
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    // Bounded: an action under way at the deadline may take the wait limit
    // and a little more; a user still there after that is stopped.
    const std::int64_t giveUp = deadline + static_cast<std::int64_t>(90e9);
    std::size_t left = users.size();
    while (left > 0) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            --left;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                ++outcome.usersFailed;
            continue;
        }
        if (pid < 0)
            break;
        if (bench::monotonicNs() > giveUp) {
            for (pid_t user : users)
                kill(user, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    outcome.seconds = static_cast<double>(bench::monotonicNs() - begin) / 1e9;
    running = false;
    if (poller.joinable())
        poller.join();

    const std::vector<Record> records = readLogs(plan);
    for (const Record& r : records) {
        if (r.action == QLatin1String("box")) {
            ++outcome.errors[r.kind];
            continue;
        }
        // A Search counts once as a Search and once by what it looked for.
        QStringList names{r.action};
        if (r.action == QLatin1String("search") && !r.kind.isEmpty())
            names << r.action + QStringLiteral(": ") + r.kind;
        for (const QString& name : names) {
            Action& a = outcome.actions[name];
            if (r.result == QLatin1String("ok"))
                a.ms.push_back(static_cast<double>(r.endNs - r.startNs) / 1e6);
            else if (r.result == QLatin1String("unknown"))
                ++a.unknown;
            else
                ++a.failed;
        }
    }
    outcome.problems = setCheck(before, records, readTable());
    return outcome;
}

} // namespace load
