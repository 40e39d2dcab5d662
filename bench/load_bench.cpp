// The load simulation's runs, one after the other on the data source FAQ
// (bench/load sets it up, directly on the server or through the pooler):
//
//   load_bench --label NAME --users 1,10,50,200 --entries F [--fill]
//              [--seconds S] [--think-per-user MS] [--results FILE]
//
// Each run starts that many load_user processes with a mean think time of
// users × MS (so the machine gets about the same number of actions a second
// whatever the number of users), bounded by S seconds; it prints per action
// the count, failures and p50/p95/p99, the errors by kind, the peak of
// server connections (pg_stat_activity, through the test cluster's
// administrator in VETFAQ_TEST_PG_*) and the set check, and appends the
// figures to FILE (tab-separated).

#include "bench_data.h"
#include "load_simulation.h"
#include "results.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <libpq-fe.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

struct Options {
    std::string label = "run", results;
    std::vector<int> users{1, 10, 50, 200};
    int entries = bench::largestTable;
    bool fill = false;
    double seconds = 120, thinkPerUser = 400;
};

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(key + " needs a value");
            return argv[++i];
        };
        if (key == "--label") o.label = value();
        else if (key == "--results") o.results = value();
        else if (key == "--entries") o.entries = std::stoi(value());
        else if (key == "--fill") o.fill = true;
        else if (key == "--seconds") o.seconds = std::stod(value());
        else if (key == "--think-per-user") o.thinkPerUser = std::stod(value());
        else if (key == "--users") {
            o.users.clear();
            std::stringstream list(value());
            for (std::string n; std::getline(list, n, ',');)
                o.users.push_back(std::stoi(n));
        } else throw std::runtime_error("unknown option " + key);
    }
    return o;
}

// The server's client connections, counted by its administrator over a
// connection of its own (the superuser's reserved slots let it in when the
// program's login no longer gets one).
class ServerCount {
public:
    ServerCount()
    {
        const std::string conninfo = "host=" + env("VETFAQ_TEST_PG_HOST") + " port=" + env("VETFAQ_TEST_PG_PORT")
                                     + " user=" + env("VETFAQ_TEST_PG_ADMIN") + " password="
                                     + env("VETFAQ_TEST_PG_PASSWORD") + " dbname=postgres";
        conn_ = PQconnectdb(conninfo.c_str());
        if (PQstatus(conn_) != CONNECTION_OK)
            throw std::runtime_error(std::string("cannot reach the server: ") + PQerrorMessage(conn_));
    }
    ~ServerCount() { PQfinish(conn_); }
    int operator()()
    {
        PGresult* r = PQexec(conn_, "SELECT count(*) FROM pg_stat_activity "
                                    "WHERE backend_type = 'client backend' AND pid <> pg_backend_pid()");
        const int n = PQresultStatus(r) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(r, 0, 0)) : -1;
        PQclear(r);
        return n;
    }
    std::string setting(const char* name)
    {
        PGresult* r = PQexecParams(conn_, "SELECT current_setting($1)", 1, nullptr, &name, nullptr, nullptr, 0);
        const std::string v = PQresultStatus(r) == PGRES_TUPLES_OK ? PQgetvalue(r, 0, 0) : "?";
        PQclear(r);
        return v;
    }

private:
    static std::string env(const char* name)
    {
        const char* v = std::getenv(name);
        if (!v)
            throw std::runtime_error(std::string(name) + " is not set (bench/load sets it)");
        return v;
    }
    PGconn* conn_ = nullptr;
};

std::string ms(double v) { return bench::fixed(v, v < 10 ? 1 : 0); }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        const Options o = parse(argc, argv);
        if (o.fill) {
            std::fprintf(stderr, "load: filling %d entries\n", o.entries);
            bench::fill(o.entries);
        }
        ServerCount server;
        std::fprintf(stdout, "\n### %s (max_connections = %s)\n", o.label.c_str(), server.setting("max_connections").c_str());
        std::ofstream results;
        if (!o.results.empty())
            results.open(o.results, std::ios::app);

        for (int users : o.users) {
            QTemporaryDir folder;
            load::Plan plan;
            plan.userProgram = VETFAQ_LOAD_USER;
            plan.folder = folder.path().toStdString();
            plan.users = users;
            plan.entries = o.entries;
            // Think times grow with the users, so the machine gets about the
            // same actions a second at any number of them as one user alone,
            // who pauses a quarter of a second (nobody clicks faster).
            plan.thinkMs = users == 1 ? 250.0 : users * o.thinkPerUser;
            plan.seconds = o.seconds;
            plan.actionsPerUser = std::max(5, static_cast<int>(std::ceil(3 * o.seconds * 1000 / plan.thinkMs)));
            plan.seed = static_cast<unsigned>(users);
            plan.serverConnections = std::ref(server);
            std::fprintf(stderr, "load: %s, %d users, think %.0f ms, up to %d actions each, %.0f s\n", o.label.c_str(),
                         users, plan.thinkMs, plan.actionsPerUser, plan.seconds);
            const load::Outcome out = load::simulate(plan);

            std::fprintf(stdout, "\n%d users (think %.1f s): %d actions in %.0f s = %.1f actions/s; peak %d server "
                                 "connections; %d errors; set check: %s\n\n",
                         users, plan.thinkMs / 1000, out.actionCount(), out.seconds, out.actionCount() / out.seconds,
                         out.peakConnections, out.errorCount(),
                         out.problems.isEmpty() ? "passed" : qPrintable(QStringLiteral("%1 problems").arg(out.problems.size())));
            std::fprintf(stdout, "| action | done | failed | unknown | p50 | p95 | p99 |\n|---|---|---|---|---|---|---|\n");
            for (const auto& [name, a] : out.actions) {
                std::fprintf(stdout, "| %s | %zu | %d | %d | %s ms | %s ms | %s ms |\n", qPrintable(name), a.ms.size(),
                             a.failed, a.unknown, ms(load::percentile(a.ms, 50)).c_str(),
                             ms(load::percentile(a.ms, 95)).c_str(), ms(load::percentile(a.ms, 99)).c_str());
                if (results.is_open())
                    results << o.label << '\t' << users << '\t' << qPrintable(name) << '\t' << a.ms.size() << '\t'
                            << a.failed << '\t' << a.unknown << '\t' << load::percentile(a.ms, 50) << '\t'
                            << load::percentile(a.ms, 95) << '\t' << load::percentile(a.ms, 99) << '\t'
                            << out.actionCount() / out.seconds << '\t' << out.peakConnections << '\t'
                            << out.errorCount() << '\t' << out.problems.size() << '\n';
            }
            for (const auto& [kind, count] : out.errors)
                std::fprintf(stdout, "- error ×%d: %s\n", count, qPrintable(kind));
            if (out.usersFailed > 0)
                std::fprintf(stdout, "- %d users did not end normally (their output: %s/user-*.out)\n", out.usersFailed,
                             plan.folder.c_str());
            for (qsizetype i = 0; i < out.problems.size() && i < 20; ++i)
                std::fprintf(stdout, "- set check: %s\n", qPrintable(out.problems[i]));
            std::fflush(stdout);
            if (out.usersFailed > 0)
                folder.setAutoRemove(false);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_bench: %s\n", e.what());
        return 1;
    }
}
