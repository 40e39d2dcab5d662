// The program's actions timed through its real windows, offscreen, on a
// table of 32767 realistic entries, each against its baseline in the same
// run:
//
//   program_bench sqlite|postgresql [--repetitions N] [--results FILE] [--callgrind DIR]
//
// Search (click to every row held) against isql -b on the same data source,
// and on PostgreSQL also against psql -At -c; View and Save with the parts
// that make them up; start-up and peak resident size against bare_window;
// with --callgrind, the scripted session of session_probe under callgrind,
// trace off and on. Each figure is the median of the repetitions, which
// alternate with their baseline's. Rows for the table go to FILE (tab-separated).

#include "bench_data.h"
#include "process.h"
#include "results.h"
#include "window_click.h"

#include "data/dw_pretraga.h"
#include "data/faq_statements.h"
#include "runtime/odbc.h"
#include "support/running_program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using bench::fixed;
using bench::largestTable;
using bench::median;
using bench::Results;
using bench::Row;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what);
}

struct Options {
    ThrowawayDataSource::Backend backend = ThrowawayDataSource::Backend::SQLite;
    int repetitions = 7;
    std::string results;
    std::string callgrind;
    // Only the figures of the probes started afresh: first Search, later
    // Searches, the filter and the start.
    bool probesOnly = false;
};

// The probes run on the X display bench/run-all starts (VETFAQ_BENCH_DISPLAY),
// as a user's program would; offscreen when there is none.
class OnDisplay {
public:
    OnDisplay()
    {
        const QByteArray display = qgetenv("VETFAQ_BENCH_DISPLAY");
        if (display.isEmpty())
            return;
        setenv("DISPLAY", display.constData(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        on_ = true;
    }
    ~OnDisplay() { setenv("QT_QPA_PLATFORM", "offscreen", 1); }
    OnDisplay(const OnDisplay&) = delete;
    OnDisplay& operator=(const OnDisplay&) = delete;
    const char* where() const { return on_ ? "under X (Xvfb)" : "offscreen"; }

private:
    bool on_ = false;
};

std::string spreadMs(const std::vector<double>& values) { return bench::spread(values); }

// A command whose standard output lists every entry, one per line.
struct Baseline {
    std::string name;
    std::vector<std::string> argv;
    std::string input;
};

double runBaseline(const Baseline& b)
{
    const bench::Finished f = bench::run(b.argv, b.input);
    check(f.exitCode == 0 && f.lines == largestTable,
          b.name + " failed or listed " + std::to_string(f.lines) + " lines");
    return f.ms;
}

std::string programDir() { return QCoreApplication::applicationDirPath().toStdString(); }

// What the grid's retrieval costs in the driver alone: its own connection,
// the grid's select in blocks of 512 rows into bound buffers, nothing
// converted or kept; medians in milliseconds.
struct RawParts {
    double connect = 0, execute = 0, fetch = 0, close = 0, total = 0;
};

RawParts rawParts(int repetitions, const rt::Transaction& sqlca)
{
    constexpr std::size_t block = 512, units = 257;
    std::vector<double> connect, execute, fetch, close, total;
    for (int rep = 0; rep < repetitions; ++rep) {
        const auto start = Clock::now();
        odbc::Connection connection;
        check(sqlca.settings().open(connection).status >= 0, "the driver alone did not connect");
        const double c = msSince(start);
        odbc::Outcome outcome;
        std::optional<odbc::Statement> s = connection.statement(outcome);
        std::vector<SQLBIGINT> rbr(block);
        std::vector<SQL_TIMESTAMP_STRUCT> datum(block);
        std::vector<SQLWCHAR> adresa(block * units), lot(block * units);
        std::vector<SQLLEN> indicators(4 * block);
        SQLULEN fetched = 0;
        s->setAttribute(SQL_ATTR_ROW_ARRAY_SIZE, block);
        s->setAttribute(SQL_ATTR_ROWS_FETCHED_PTR, reinterpret_cast<SQLULEN>(&fetched));
        const auto executeStart = Clock::now();
        check(s->executeDirect(dw_pretraga::select.toString()).status >= 0, "the driver alone could not select");
        const double e = msSince(executeStart);
        SQLBindCol(s->get(), 1, SQL_C_SBIGINT, rbr.data(), sizeof(SQLBIGINT), indicators.data());
        SQLBindCol(s->get(), 2, SQL_C_WCHAR, adresa.data(), units * sizeof(SQLWCHAR), indicators.data() + block);
        SQLBindCol(s->get(), 3, SQL_C_TYPE_TIMESTAMP, datum.data(), sizeof(SQL_TIMESTAMP_STRUCT), indicators.data() + 2 * block);
        SQLBindCol(s->get(), 4, SQL_C_WCHAR, lot.data(), units * sizeof(SQLWCHAR), indicators.data() + 3 * block);
        const auto fetchStart = Clock::now();
        long rows = 0;
        while (s->fetch().status == 0)
            rows += static_cast<long>(fetched);
        const double f = msSince(fetchStart);
        check(rows == largestTable, "the driver alone read another number of rows");
        const auto closeStart = Clock::now();
        s.reset();
        connection.rollback();
        connection.close();
        close.push_back(msSince(closeStart));
        connect.push_back(c);
        execute.push_back(e);
        fetch.push_back(f);
        total.push_back(msSince(start));
    }
    return {median(connect), median(execute), median(fetch), median(close), median(total)};
}

class Bench {
public:
    Bench(const Options& options, ThrowawayDataSource& source)
        : options_(options), source_(source), results_(ThrowawayDataSource::name(options.backend).toStdString(), options.results)
    {
        // isql reads the grid's select from standard input.
        selectFile_ = QDir(QDir::tempPath()).filePath(QStringLiteral("program_bench_select_%1.sql").arg(getpid()));
        QFile file(selectFile_);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the select for isql");
        file.write(dw_pretraga::select.toString().toUtf8() + '\n');
    }
    ~Bench() { QFile::remove(selectFile_); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void searchViewSave();
    void searchesFromStart();
    void startAndMemory();
    void callgrind();

private:
    bool postgresql() const { return options_.backend == ThrowawayDataSource::Backend::PostgreSQL; }
    std::vector<Baseline> baselines() const;
    void scrollTo(RunningProgram& program, int row) const;
    qint16 rbrOfRow(RunningProgram& program, int row) const;

    const Options& options_;
    ThrowawayDataSource& source_;
    Results results_;
    QString selectFile_;
};

// psql -X -At running one statement as mirt on the benchmark's database.
std::vector<std::string> psqlRunning(const std::string& sql)
{
    // psql reads the password from the environment, never from its command line.
    setenv("PGPASSWORD", "qelp", 1);
    return {"psql", "-X", "-At", "-h", qEnvironmentVariable("VETFAQ_TEST_PG_HOST").toStdString(), "-p",
            qEnvironmentVariable("VETFAQ_TEST_PG_PORT").toStdString(), "-U", "mirt", "-d",
            bench::databaseName().toStdString(), "-c", sql};
}

std::vector<Baseline> Bench::baselines() const
{
    std::vector<Baseline> list{{"isql -b (same DSN)", {"isql", "-b", "-d,", "FAQ", "mirt", "qelp"}, selectFile_.toStdString()}};
    if (postgresql())
        list.push_back({"psql -At -c", psqlRunning(dw_pretraga::select.toString().toStdString()), {}});
    return list;
}

void Bench::scrollTo(RunningProgram& program, int row) const
{
    dw_search& grid = *program.search().dw_search;
    grid.scrollTo(grid.model()->index(row - 1, 1), QAbstractItemView::PositionAtCenter);
    QCoreApplication::processEvents();
}

qint16 Bench::rbrOfRow(RunningProgram& program, int row) const
{
    return static_cast<qint16>(program.search().dw_search->getitemnumber(row, 1));
}

void Bench::searchViewSave()
{
    const int n = options_.repetitions;
    const std::vector<Baseline> others = baselines();
    RunningProgram program;
    check(program.sqlca().isConnected(), "the program did not connect");
    w_search& search = program.search();

    // ---- Search: the click to every row held, then painted.
    std::vector<double> held, painted;
    std::vector<std::vector<double>> theirs(others.size());
    for (int rep = -1; rep < n; ++rep) {  // the first round warms the caches and is not counted
        auto ours = [&] {
            const auto start = Clock::now();
            program.click(search.cb_search);
            const double t = msSince(start);
            check(search.dw_search->rowCount() == largestTable, "Search did not list every entry");
            QCoreApplication::processEvents();
            if (rep >= 0) {
                held.push_back(t);
                painted.push_back(msSince(start));
            }
        };
        // Alternating who goes first, so a slow spell of the machine falls on both.
        if (rep % 2 == 0)
            ours();
        for (std::size_t b = 0; b < others.size(); ++b) {
            const double t = runBaseline(others[b]);
            if (rep >= 0)
                theirs[b].push_back(t);
        }
        if (rep % 2 != 0)
            ours();
    }
    check(program.boxes().empty(), "a message box during Search");
    const double searchMs = median(held);
    const RawParts raw = rawParts(n, *g.SQLCA);
    const std::string parts = "painted too: " + fixed(median(painted), 1) + " ms; the driver alone (same select, same blocks, " +
                              "nothing kept): connect " + fixed(raw.connect, 1) + ", execute " + fixed(raw.execute, 1) +
                              ", fetch " + fixed(raw.fetch, 1) + ", free and disconnect " + fixed(raw.close, 1) +
                              " ms; the rest (rows, model, grid) " + fixed(searchMs - raw.total, 1) + " ms";
    for (std::size_t b = 0; b < others.size(); ++b) {
        const double ratio = searchMs / median(theirs[b]);
        results_.add({"Search: click to 32767 rows held", fixed(searchMs, 1) + " ms", others[b].name,
                      fixed(median(theirs[b]), 1) + " ms", fixed(ratio, 2) + " x", "<= 1.0 x", ratio <= 1.0 ? "yes" : "NO",
                      b == 0 ? parts : "the same Search as above"});
    }

    // ---- Sort: a caption click over every listed row, to the repaint. The
    // orders are made on a thread of their own after each Search; a person
    // takes longer than that to reach the caption, so they are waited for.
    std::vector<double> sort;
    for (int rep = -1; rep < n; ++rep) {
        program.click(search.cb_search);
        for (int i = 0; i < 30; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QCoreApplication::processEvents();
        }
        QHeaderView* header = search.dw_search->horizontalHeader();
        const QPoint caption(header->sectionViewportPosition(dw_pretraga::Adresa) + 20, 5);
        const auto click = [&] { bench::click(header->viewport(), caption); };
        const auto start = Clock::now();
        click();
        QCoreApplication::processEvents();
        const double t = msSince(start);
        check(search.dw_search->horizontalHeader()->isSortIndicatorShown(), "the caption click did not sort");
        if (rep >= 0)
            sort.push_back(t);
        click();  // descending
        click();  // as stored again
    }
    const double sortRatio = median(sort) / searchMs;
    results_.add({"Sort: caption click on 32767 rows, painted", fixed(median(sort), 1) + " ms", "Search (above)",
                  fixed(searchMs, 1) + " ms", fixed(sortRatio, 3) + " x", "< 0.1 x", sortRatio < 0.1 ? "yes" : "NO",
                  "min " + fixed(*std::min_element(sort.begin(), sort.end()), 1) + ", max " +
                      fixed(*std::max_element(sort.begin(), sort.end()), 1) + " ms"});

    // ---- View: the double-click to the entry window showing the entry.
    std::vector<double> view, select, window;
    for (int rep = -1; rep < n; ++rep) {
        const int row = 1 + (rep + 1) * 4099 % largestTable;
        scrollTo(program, row);
        const qint16 rbr = rbrOfRow(program, row);
        const auto start = Clock::now();
        program.doubleClickRow(row);
        w_main& w = RunningProgram::onlyEntryWindow();
        QCoreApplication::processEvents();
        const double t = msSince(start);
        check(w.mle_adresa->text() == bench::entry(rbr).adresa, "View showed another entry");
        program.click(w.cb_close);
        RunningProgram::settle();

        // Its parts: the entry's select on the program's connection, as the window runs it ...
        const auto selectStart = Clock::now();
        {
            g.SQLSA->prepare(faq::loadEntrySql(rbr), *g.SQLCA);
            rt::DynamicCursor cursor(*g.SQLSA);
            cursor.open();
            rt::Text a, b, c, d, e;
            cursor.fetch({&a, &b, &c, &d, &e});
            cursor.close();
            check(g.SQLCA->SQLCode == 0 && a == bench::entry(rbr).adresa, "the entry's select failed");
        }
        const double s = msSince(selectStart);
        // ... and the window made, shown and painted without it.
        const auto windowStart = Clock::now();
        auto* bare = new w_main(g.w_search.data());
        rt::fire([bare] { bare->create(); });
        bare->show();
        QCoreApplication::processEvents();
        const double wt = msSince(windowStart);
        rt::close(bare);
        RunningProgram::settle();
        if (rep >= 0) {
            view.push_back(t);
            select.push_back(s);
            window.push_back(wt);
        }
    }
    results_.add({"View: double-click to entry shown", fixed(median(view), 1) + " ms", "", "", "", "", "",
                  "entry select " + fixed(median(select), 2) + " ms; window made+painted " + fixed(median(window), 1) + " ms"});

    // ---- Save: the click on "Save FAQ" to the refreshed grid.
    std::vector<double> save, saveRefreshed, change;
    for (int rep = -1; rep < n; ++rep) {
        const int row = 1 + (rep + 2) * 7919 % largestTable;
        scrollTo(program, row);
        const qint16 rbr = rbrOfRow(program, row);
        program.doubleClickRow(row);
        w_main& w = RunningProgram::onlyEntryWindow();
        program.click(w.cb_edit);
        const QString lot = QStringLiteral("LOT-SAVED-%1").arg(rep + 1);
        w.em_lot->setText(lot);
        QCoreApplication::processEvents();
        const QPointer<w_main> guard(&w);
        const auto start = Clock::now();
        program.click(w.cb_save);
        const double t = msSince(start);
        check(!guard || guard->isClosed(), "Save left the window open");
        check(search.dw_search->rowCount() == largestTable, "the refreshed grid does not list every entry");
        QCoreApplication::processEvents();
        const double painted = msSince(start);
        RunningProgram::settle();
        check(source_.scalar(QStringLiteral("SELECT lot FROM faq WHERE rbr = $1"), {int(rbr)}) == lot, "Save stored nothing");

        // Its own statements, as Save sends them, without the refresh.
        const bench::Entry e = bench::entry(rbr);
        const auto changeStart = Clock::now();
        rt::Int count;
        faq::countByNumber(*g.SQLCA, rbr, count);
        faq::updateTexts(*g.SQLCA, e.adresa, e.pitanje, e.proizvod, lot, e.odgovor, rbr);
        g.SQLCA->commit();
        const double c = msSince(changeStart);
        check(g.SQLCA->SQLCode == 0, "the update failed");
        if (rep >= 0) {
            save.push_back(t);
            saveRefreshed.push_back(painted);
            change.push_back(c);
        }
    }
    check(program.boxes().empty(), "a message box during View or Save");
    results_.add({"Save: click to refreshed grid", fixed(median(save), 1) + " ms", "", "", "", "", "",
                  "painted too: " + fixed(median(saveRefreshed), 1) + " ms; count+update+commit " + fixed(median(change), 2) +
                      " ms; the rest is the refresh, a Search (" + fixed(searchMs, 1) + " ms above)"});
}

// A number the probe printed after the word.
std::int64_t reported(const bench::Finished& f, const std::string& word, const std::string& name)
{
    check(f.exitCode == 0, name + " failed");
    const auto at = f.output.find(word + ' ');
    check(at != std::string::npos, name + " reported no " + word);
    return std::stoll(f.output.substr(at + word.size() + 1));
}

double peakMiB(const bench::Finished& f, const std::string& name)
{
    return static_cast<double>(reported(f, "peak_kib", name)) / 1024.0;
}

// The moment the probe reports minus the moment it was started.
double startMs(const bench::Finished& f, const std::string& name)
{
    return static_cast<double>(reported(f, "shown", name) - f.startNs) / 1e6;
}

// The times a probe printed after "search_ms", in order.
std::vector<double> searchTimes(const bench::Finished& f, const std::string& name)
{
    check(f.exitCode == 0, name + " failed");
    std::vector<double> times;
    for (std::size_t at = f.output.find("search_ms "); at != std::string::npos; at = f.output.find("search_ms ", at + 1))
        times.push_back(std::stod(f.output.substr(at + 10)));
    return times;
}

long listedBy(const bench::Finished& f)
{
    const auto at = f.output.find("listed ");
    return at == std::string::npos ? -1 : std::stol(f.output.substr(at + 7));
}

// What a user sees: a freshly started program (a new process each
// repetition, as the isql it is measured against), its first Search and
// the ones after it, each from the mouse press to the rows painted; the
// same with a criterion; against isql, the ODBC floor and the databases'
// own command lines with LIKE / ILIKE.
void Bench::searchesFromStart()
{
    const OnDisplay display;
    const std::string probe = programDir() + "/startup_probe";
    const std::string floorProgram = programDir() + "/odbc_floor";
    const std::string select = dw_pretraga::select.toString().toStdString();
    constexpr int later = 4;  // Searches after the first in each process

    // The floor: the fastest of the ways the driver can hand over the texts.
    std::string fastest;
    double fastestMs = 1e9;
    for (const char* mode : {"wchar", "char", "binary"}) {
        std::vector<double> t;
        for (int i = 0; i < 5; ++i) {
            const bench::Finished f = bench::run({floorProgram, select, mode}, {}, true);
            check(f.exitCode == 0 && f.output.find("rows " + std::to_string(largestTable)) != std::string::npos,
                  std::string("odbc_floor ") + mode + " failed");
            t.push_back(f.ms);
        }
        std::fprintf(stderr, "program_bench: odbc_floor %s: %s ms\n", mode, bench::spread(t).c_str());
        if (median(t) < fastestMs) {
            fastestMs = median(t);
            fastest = mode;
        }
    }

    // The criterion: "Split" in the address, about one entry in ten.
    const std::string words = "Split";
    const std::string where = std::string(" WHERE adresa ") + (postgresql() ? "ILIKE" : "LIKE") + " '%" + words + "%'";
    const Baseline filtered =
        postgresql() ? Baseline{"psql -At -c, ILIKE", psqlRunning(select + where), {}}
                     : Baseline{"sqlite3, LIKE", {"sqlite3", source_.databaseFile().toStdString(), select + where}, {}};

    std::vector<double> first, laterSearches, laterChanged, isql, floorMs, floorInside, filter, filterChanged,
        theirFilter;
    long filterListed = -1;
    const Baseline isqlBaseline = baselines().front();
    for (int rep = -1; rep < options_.repetitions; ++rep) {
        // Clicks 2 to 5, each a median per process: as they come, and with
        // the table changed (and changed back) before each, so that every
        // one reads the table.
        auto laterOf = [&](std::vector<std::string> argv, bool everything, std::vector<double>& into) {
            argv.insert(argv.begin(), {probe, "--timed-searches", std::to_string(1 + later)});
            const bench::Finished f = bench::run(argv, {}, true);
            const std::vector<double> t = searchTimes(f, "startup_probe");
            check(t.size() == 1 + later && (!everything || listedBy(f) == largestTable),
                  "the probe did not list what it should");
            if (!everything)
                filterListed = listedBy(f);
            if (rep >= 0)
                into.push_back(median({t.begin() + 1, t.end()}));
            return t;
        };
        auto ours = [&] {
            const std::vector<double> t = laterOf({}, true, laterSearches);
            if (rep >= 0)
                first.push_back(t[0]);
            laterOf({"--changed-between"}, true, laterChanged);
            laterOf({"--criterion", "Address", words}, false, filter);
            laterOf({"--criterion", "Address", words, "--changed-between"}, false, filterChanged);
        };
        if (rep % 2 == 0)
            ours();
        const double i = runBaseline(isqlBaseline);
        const bench::Finished fl = bench::run({floorProgram, select, fastest}, {}, true);
        check(fl.exitCode == 0, "odbc_floor failed");
        const bench::Finished theirs = bench::run(filtered.argv, {}, true);
        check(theirs.exitCode == 0, filtered.name + " failed");
        check(filterListed < 0 || theirs.lines == filterListed || postgresql(),
              "the criterion listed " + std::to_string(filterListed) + " entries, " + filtered.name + " " +
                  std::to_string(theirs.lines));
        if (rep >= 0) {
            isql.push_back(i);
            floorMs.push_back(fl.ms);
            floorInside.push_back(std::stod(fl.output.substr(fl.output.find("inside_ms ") + 10)));
            theirFilter.push_back(theirs.ms);
        }
        if (rep % 2 != 0)
            ours();
    }
    const double firstRatio = median(first) / median(isql);
    results_.add({"First Search after start: press to rows painted", fixed(median(first), 1) + " ms", "isql -b (same DSN)",
                  fixed(median(isql), 1) + " ms", fixed(firstRatio, 2) + " x", "<= 0.75 x", firstRatio <= 0.75 ? "yes" : "NO",
                  std::string(display.where()) + ", a new process each time; ours " + spreadMs(first) + ", isql " +
                      spreadMs(isql)});
    for (const auto& [what, times] : {std::pair{"Later Search: press to rows painted", &laterSearches},
                                      std::pair{"Later Search, table changed before each", &laterChanged}}) {
        const double ratio = median(*times) / median(floorMs);
        results_.add({what, fixed(median(*times), 1) + " ms", "odbc_floor (" + fastest + ", 512-row blocks)",
                      fixed(median(floorMs), 1) + " ms", fixed(ratio, 2) + " x", "<= 1.05 x", ratio <= 1.05 ? "yes" : "NO",
                      "median of Searches 2-" + std::to_string(1 + later) + " per process; ours " + spreadMs(*times) +
                          ", the floor " + spreadMs(floorMs) + " (connect to disconnect inside it " +
                          fixed(median(floorInside), 1) + " ms)"});
    }
    for (const auto& [what, times] : {std::pair{"", &filter}, std::pair{", table changed before each", &filterChanged}}) {
        const double ratio = median(*times) / median(theirFilter);
        results_.add({"Filter: Address contains \"" + words + "\"" + what, fixed(median(*times), 1) + " ms",
                      filtered.name, fixed(median(theirFilter), 1) + " ms", fixed(ratio, 2) + " x", "<= 1.0 x",
                      ratio <= 1.0 ? "yes" : "NO",
                      std::to_string(filterListed) + " of 32767 listed, press to rows painted; ours " +
                          spreadMs(*times) + ", theirs " + spreadMs(theirFilter)});
    }
}

void Bench::startAndMemory()
{
    const OnDisplay display;
    const std::string probe = programDir() + "/startup_probe";
    const std::string bare = programDir() + "/bare_window";
    const std::string same = programDir() + "/same_controls";
    // The search window's controls as the program made them, for same_controls.
    const QTemporaryDir scratch;
    const std::string controls = scratch.filePath(QStringLiteral("controls.json")).toStdString();
    check(scratch.isValid() && bench::run({probe, "--controls", controls}, {}, true).exitCode == 0,
          "startup_probe --controls did not write the window's controls");
    std::vector<double> ours, theirs, withText, sameControls, ourRss, bareRss, textRss, listedRss;
    // A start takes a fifth of a second, and its time moves most from one
    // to the next of all the figures: three times as many as the others.
    const int n = std::max(3 * options_.repetitions, 27);
    for (int rep = -1; rep < n; ++rep) {
        auto program = [&] {
            const bench::Finished f = bench::run({probe}, {}, true);
            const double t = startMs(f, "startup_probe");
            check(f.output.find("connected 1") != std::string::npos, "startup_probe did not connect");
            if (rep >= 0) {
                ours.push_back(t);
                ourRss.push_back(peakMiB(f, "startup_probe"));
            }
        };
        if (rep % 2 == 0)
            program();
        const bench::Finished b = bench::run({bare}, {}, true);
        const bench::Finished bt = bench::run({bare, "--text"}, {}, true);
        const bench::Finished sc = bench::run({same, controls}, {}, true);
        if (rep >= 0) {
            theirs.push_back(startMs(b, "bare_window"));
            bareRss.push_back(peakMiB(b, "bare_window"));
            withText.push_back(startMs(bt, "bare_window --text"));
            textRss.push_back(peakMiB(bt, "bare_window --text"));
            sameControls.push_back(startMs(sc, "same_controls"));
        }
        if (rep % 2 != 0)
            program();
    }
    const double ratio = median(ours) / median(withText);
    results_.add({"Start-up: process start to window painted", fixed(median(ours), 1) + " ms",
                  "bare window, one line of text", fixed(median(withText), 1) + " ms", fixed(ratio, 2) + " x", "<= 1.3 x",
                  ratio <= 1.3 ? "yes" : "NO",
                  std::string(display.where()) + ", connected at first paint; ours " + spreadMs(ours) + ", theirs " +
                      spreadMs(withText)});
    results_.add({"Start-up: process start to window painted", fixed(median(ours), 1) + " ms", "bare empty Qt window",
                  fixed(median(theirs), 1) + " ms", fixed(median(ours) / median(theirs), 2) + " x", "", "",
                  "the empty window never loads a font: its fonts are read at its exit"});
    // What Qt alone takes to draw the same window, against the window with
    // text; what the program adds (its database, icon, helpers) is ours
    // against it.
    results_.add({"Start-up: the same controls, plain Qt, no database", fixed(median(sameControls), 1) + " ms",
                  "bare window, one line of text", fixed(median(withText), 1) + " ms",
                  fixed(median(sameControls) / median(withText), 2) + " x", "", "",
                  "same_controls " + spreadMs(sameControls) + "; ours against it " +
                      fixed(median(ours) / median(sameControls), 2) + " x"});

    // Listed once, and listed again over a full grid as Save's refresh does.
    std::vector<double> listedTwiceRss;
    for (int rep = 0; rep < std::max(3, options_.repetitions / 2); ++rep) {
        for (const int searches : {1, 2}) {
            // The second listing reads the table again, as after a Save: changed before it.
            std::vector<std::string> argv{probe, "--search", std::to_string(searches)};
            if (searches == 2)
                argv.push_back("--changed-between");
            const bench::Finished f = bench::run(argv, {}, true);
            check(f.exitCode == 0 && f.output.find("listed " + std::to_string(largestTable)) != std::string::npos,
                  "startup_probe --search did not list every entry");
            (searches == 1 ? listedRss : listedTwiceRss).push_back(peakMiB(f, "startup_probe --search"));
        }
    }
    const double extra = median(listedRss) - median(bareRss);
    results_.add({"Memory: peak RSS, 32767 entries listed", fixed(median(listedRss), 1) + " MiB", "bare Qt window",
                  fixed(median(bareRss), 1) + " MiB", "+" + fixed(extra, 1) + " MiB", "<= +30 MiB",
                  extra <= 30 ? "yes" : "NO",
                  "started, nothing listed: " + fixed(median(ourRss), 1) + " MiB; bare window with text: " +
                      fixed(median(textRss), 1) + " MiB"});
    const double extraTwice = median(listedTwiceRss) - median(bareRss);
    results_.add({"Memory: the same, listed a second time", fixed(median(listedTwiceRss), 1) + " MiB", "bare Qt window",
                  fixed(median(bareRss), 1) + " MiB", "+" + fixed(extraTwice, 1) + " MiB", "<= +30 MiB",
                  extraTwice <= 30 ? "yes" : "NO", "two clicks on Search, the table changed between: a refresh over a full grid, as after Save"});
}

void Bench::callgrind()
{
    if (options_.callgrind.empty())
        return;
    const std::string session = programDir() + "/session_probe";
    const std::string stem = options_.callgrind + "/" + (postgresql() ? "postgresql" : "sqlite");
    for (const bool traced : {false, true}) {
        const std::string out = stem + (traced ? "-trace-on" : "-trace-off");
        if (traced)
            setenv("VETFAQ_TRACE", (stem + "-trace.txt").c_str(), 1);
        else
            unsetenv("VETFAQ_TRACE");
        const bench::Finished f =
            bench::run({"valgrind", "--tool=callgrind", "--callgrind-out-file=" + out + ".out", "--log-file=" + out + ".log",
                        session});
        unsetenv("VETFAQ_TRACE");
        check(f.exitCode == 0, "the session under callgrind failed; see " + out + ".log");
        std::fprintf(stderr, "callgrind: %s.out\n", out.c_str());
    }
}

Options parse(int argc, char** argv)
{
    Options o;
    if (argc < 2)
        throw std::runtime_error("usage: program_bench sqlite|postgresql [--repetitions N] [--results FILE] [--callgrind DIR]");
    const std::string backend = argv[1];
    if (backend == "postgresql")
        o.backend = ThrowawayDataSource::Backend::PostgreSQL;
    else if (backend != "sqlite")
        throw std::runtime_error("unknown database product " + backend);
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--repetitions")
            o.repetitions = std::max(1, std::atoi(argv[i + 1]));
        else if (key == "--results")
            o.results = argv[i + 1];
        else if (key == "--callgrind")
            o.callgrind = argv[i + 1];
        else if (key == "--probes-only")
            o.probesOnly = std::string(argv[i + 1]) == "yes";
        else
            throw std::runtime_error("unknown option " + key);
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    unsetenv("VETFAQ_TRACE");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    try {
        const Options options = parse(argc, argv);
        if (const auto why = ThrowawayDataSource::unavailable(options.backend)) {
            std::fprintf(stderr, "program_bench: %s\n", qPrintable(*why));
            return 77;
        }
        ThrowawayDataSource source(options.backend);
        const auto fillStart = Clock::now();
        bench::fillSettled(source, largestTable);
        std::fprintf(stderr, "program_bench: %d entries stored on %s in %.1f s\n", largestTable,
                     qPrintable(ThrowawayDataSource::name(options.backend)), msSince(fillStart) / 1000);
        Bench bench(options, source);
        if (!options.probesOnly)
            bench.searchViewSave();
        bench.searchesFromStart();
        bench.startAndMemory();
        bench.callgrind();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "program_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
