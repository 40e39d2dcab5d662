// One simulated user of the load simulation (bench/load, load_simulation.h):
// the whole program started as main() starts it, offscreen, on the data
// source FAQ, working through its real windows with the mouse: Search 60 %,
// View 25 %, Save of an edited entry 10 %, New FAQ + Save 4 %, Delete 1 %,
// each after a think time. Every action goes to the log as one line the
// coordinator reads (load_log.h).
//
//   load_user --user K --users N --entries F --actions A --deadline NS --think MS --seed S --log FILE
//
// Users change only their own entries (those of the first F whose number
// leaves K when divided by N, and the ones they made), so each saved text
// has one author and the coordinator can tell what the table must hold.

#include "bench_data.h"
#include "load_log.h"
#include "process.h"

#include "dialogs/w_da_ne.h"
#include "runtime/conversions.h"
#include "runtime/failure_cause.h"
#include "search/uo_srch1.h"
#include "support/dialog_driver.h"
#include "support/running_program.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>

namespace {

struct Options {
    int user = 0, users = 1, entries = 0, actions = 10;
    std::int64_t deadlineNs = 0;
    double thinkMs = 1000;
    unsigned seed = 1;
    std::string log;
};

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--user") o.user = std::stoi(value);
        else if (key == "--users") o.users = std::stoi(value);
        else if (key == "--entries") o.entries = std::stoi(value);
        else if (key == "--actions") o.actions = std::stoi(value);
        else if (key == "--deadline") o.deadlineNs = std::stoll(value);
        else if (key == "--think") o.thinkMs = std::stod(value);
        else if (key == "--seed") o.seed = static_cast<unsigned>(std::stoul(value));
        else if (key == "--log") o.log = value;
        else throw std::runtime_error("unknown option " + key);
    }
    return o;
}

// The cause a failure box names, found from its words of explanation.
QString causeName(const ShownBox& box, std::chrono::milliseconds limit)
{
    using rt::Cause;
    static const std::pair<Cause, const char*> causes[] = {
        {Cause::NoDataSource, "no data source"}, {Cause::DriverMissing, "driver missing"},
        {Cause::ServerUnreachable, "server unreachable"}, {Cause::ServerFull, "server full"},
        {Cause::LoginRefused, "login refused"}, {Cause::DiskFull, "disk full"},
        {Cause::NotAnswering, "no answer within the wait limit"}, {Cause::ConnectionLost, "connection lost"}};
    for (const auto& [cause, name] : causes)
        if (const QString words = rt::explanation(cause, limit); !words.isEmpty() && box.informative.startsWith(words))
            return QString::fromLatin1(name);
    return box.text.section(u'\n', 0, 1).simplified().left(120);
}

class User {
public:
    User(const Options& o, RunningProgram& program)
        : o_(o), program_(program), random_(o.seed), log_(o.log, std::ios::app)
    {
        if (!log_)
            throw std::runtime_error("cannot write " + o.log);
    }

    void run()
    {
        const rt::Transaction& sqlca = program_.sqlca();
        // The start-up connect shows no box; the first action connects again.
        if (sqlca.SQLCode < 0)
            write(box(QStringLiteral("Start-up: connect failed (%1)").arg(causeName({{}, sqlca.SQLErrText, sqlca.explanation(), {}}, limit()))));
        // People open the program and look something up first.
        search();
        for (int done = 1; done < o_.actions; ++done) {
            if (!think())
                break;
            const int dice = std::uniform_int_distribution<int>(0, 99)(random_);
            if (dice < 60) search();
            else if (dice < 85) view();
            else if (dice < 95) saveEdited();
            else if (dice < 99) saveNew();
            else remove();
        }
    }

    // Waits a think time drawn from an exponential spread (cut at four times
    // its mean); false when the deadline comes first. The program stays open
    // (and connected) until the deadline, as a person's does between actions.
    bool think()
    {
        const double ms = std::min(std::exponential_distribution<double>(1.0 / o_.thinkMs)(random_), 4 * o_.thinkMs);
        const std::int64_t now = bench::monotonicNs();
        const std::int64_t until = now + static_cast<std::int64_t>(ms * 1e6);
        if (until >= o_.deadlineNs) {
            if (o_.deadlineNs > now)
                idle((o_.deadlineNs - now) / 1'000'000);
            return false;
        }
        idle(static_cast<std::int64_t>(ms));
        return true;
    }

    // As an open program between a person's actions: its event loop runs,
    // so its timers (the grid letting a spare connection go) fire.
    static void idle(std::int64_t ms)
    {
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    w_search& window() { return program_.search(); }
    std::chrono::milliseconds limit() const { return program_.sqlca().waitLimit(); }

    static load::Record box(const QString& kind) { return {QStringLiteral("box"), 0, 0, 0, QStringLiteral("failed"), kind, {}}; }
    static load::Record record(const char* action, std::int64_t start, std::int64_t end, qint64 rbr, bool ok)
    {
        return {QString::fromLatin1(action), start, end, rbr, ok ? QStringLiteral("ok") : QStringLiteral("failed"), {}, {}};
    }

    void write(const load::Record& r)
    {
        log_ << load::format(r) << '\n';
        log_.flush();
    }

    // Each box since `from` is an error of its own kind.
    void logBoxes(std::size_t from, const char* action)
    {
        const auto& boxes = program_.boxes();
        for (std::size_t i = from; i < boxes.size(); ++i) {
            const QString kind = QStringLiteral("%1: \"%2\" (%3)").arg(QString::fromLatin1(action), boxes[i].title,
                                                                       causeName(boxes[i], limit()));
            write(box(kind));
        }
    }
    static bool showsOutcomeUnknown(const std::vector<ShownBox>& boxes, std::size_t from)
    {
        for (std::size_t i = from; i < boxes.size(); ++i)
            if (boxes[i].informative.contains(QStringLiteral("It is not known whether the database")))
                return true;
        return false;
    }
    static bool onlyRefreshFailed(const std::vector<ShownBox>& boxes, std::size_t from)
    {
        for (std::size_t i = from; i < boxes.size(); ++i)
            if (boxes[i].title != QStringLiteral("Search failed"))
                return false;
        return true;
    }

    // A criterion as people type one now and then: a town in the address,
    // a product's name; else the whole list.
    QString chooseCriterion()
    {
        static const char* towns[] = {"Zagreb", "Split", "Osijek", "Varaždin", "Đakovo", "Šibenik"};
        static const char* products[] = {"Metacam", "Synulox", "Drontal", "Bravecto", "Rimadyl"};
        uo_srch1& row = *window().uo_1;
        const int dice = std::uniform_int_distribution<int>(0, 3)(random_);
        if (dice == 0) {
            row.ddlb_polje->setCurrentText(QStringLiteral("Address"));
            row.sle_trazi->setText(QString::fromUtf8(towns[random_() % std::size(towns)]));
            return QStringLiteral("a town in Address");
        }
        if (dice == 1) {
            row.ddlb_polje->setCurrentText(QStringLiteral("Product"));
            row.sle_trazi->setText(QString::fromUtf8(products[random_() % std::size(products)]));
            return QStringLiteral("a product in Product");
        }
        row.sle_trazi->clear();
        return QStringLiteral("every entry");
    }

    void search(bool everything = false)
    {
        QString criterion = QStringLiteral("every entry");
        if (everything)
            window().uo_1->sle_trazi->clear();
        else
            criterion = chooseCriterion();
        const std::size_t before = program_.boxes().size();
        const std::int64_t start = bench::monotonicNs();
        program_.click(window().cb_search);
        const std::int64_t end = bench::monotonicNs();
        const bool ok = program_.boxes().size() == before;
        load::Record done = record("search", start, end, 0, ok);
        done.kind = criterion;
        write(done);
        logBoxes(before, "Search");
        settle();
    }

    // Chooses a listed row, as a click on it does; 0 when none fits.
    int chooseRow(bool mineOnly)
    {
        dw_search& grid = *window().dw_search;
        const std::vector<qint64> listed = grid.listedNumbers();
        std::vector<int> rows;
        for (std::size_t i = 0; i < listed.size(); ++i)
            if (!mineOnly || isMine(listed[i]))
                rows.push_back(static_cast<int>(i) + 1);
        if (rows.empty())
            return 0;
        const int row = rows[random_() % rows.size()];
        // The row's click handler, as the mouse runs it: a pixel click on a
        // row scrolled into view offscreen does not reliably reach the grid.
        rt::fire([&] { window().dw_search_clicked(row); });
        // The click must have chosen that row's entry, or the user works on another's.
        if (g.rbr != listed[static_cast<std::size_t>(row) - 1]) {
            write(box(QStringLiteral("the click on row %1 chose entry %2, not %3").arg(row).arg(g.rbr).arg(listed[static_cast<std::size_t>(row) - 1])));
            return 0;
        }
        return row;
    }

    // A row of the list to work on, after listing everything when none fits.
    int listedRow(bool mineOnly)
    {
        int row = chooseRow(mineOnly);
        if (row == 0) {
            search(true);
            row = chooseRow(mineOnly);
        }
        return row;
    }

    bool isMine(qint64 rbr) const
    {
        if (deleted_.count(rbr))
            return false;
        return (rbr >= 1 && rbr <= o_.entries && rbr % o_.users == o_.user) || made_.count(rbr);
    }

    static faq::EntryTexts shown(const w_main& w)
    {
        return {w.mle_adresa->text(), w.mle_question->text(), w.em_proizvod->text(), w.em_lot->text(),
                w.mle_odgovor->text()};
    }

    void view()
    {
        if (listedRow(false) == 0)
            return;
        const std::size_t before = program_.boxes().size();
        const std::int64_t start = bench::monotonicNs();
        program_.click(window().cb_view);
        const std::int64_t end = bench::monotonicNs();
        const auto open = RunningProgram::entryWindows();
        const bool ok = program_.boxes().size() == before && open.size() == 1;
        write(record("view", start, end, g.rbr, ok));
        logBoxes(before, "View");
        closeEntryWindows();
    }

    // Clicks "Save FAQ" until the window closes (a person tries again after a
    // failure, as the box asks), three times at most. The time is the first
    // click's; the result says whether the texts are stored.
    void save(w_main& w, const char* action, std::int64_t start, qint16 rbr)
    {
        const faq::EntryTexts typed = shown(w);
        // The number the entry is saved under, which the save may change;
        // the window's fields are gone once it closes.
        qint16 number = rt::toInteger(w.sle_rbr->text()).value_or(rbr);
        QObject::connect(w.sle_rbr, &QLineEdit::textChanged,
                         [&number, rbr](const QString& text) { number = rt::toInteger(text).value_or(rbr); });
        const std::size_t before = program_.boxes().size();
        std::int64_t end = 0;
        for (int attempt = 0; attempt < 3 && !w.isClosed(); ++attempt) {
            if (attempt > 0)
                QThread::msleep(200);
            program_.click(w.cb_save);
            if (end == 0)
                end = bench::monotonicNs();
        }
        // The window closes once the change is committed, and only then.
        load::Record done = record(action, start, end, number, w.isClosed());
        if (!w.isClosed() && showsOutcomeUnknown(program_.boxes(), before))
            done.result = QStringLiteral("unknown");
        if (done.result != QStringLiteral("failed") && std::string(action) == "new")
            made_.insert(done.rbr);
        for (const rt::Text& text : typed)
            done.texts << text.value_or(QString());
        write(done);
        logBoxes(before, std::string(action) == "new" ? "New FAQ + Save" : "Save");
        closeEntryWindows();
    }

    void saveEdited()
    {
        if (listedRow(true) == 0)
            return;
        const qint16 rbr = g.rbr;
        const std::size_t before = program_.boxes().size();
        program_.click(window().cb_view);
        const auto open = RunningProgram::entryWindows();
        if (open.size() != 1 || program_.boxes().size() != before) {
            write(record("save", 0, 0, rbr, false));
            logBoxes(before, "Save");
            closeEntryWindows();
            return;
        }
        w_main& w = *open.front();
        program_.click(w.cb_edit);
        ++edits_;
        w.em_lot->setText(QStringLiteral("LOT-U%1-%2").arg(o_.user).arg(edits_));
        w.mle_odgovor->setText(w.mle_odgovor->text().section(QStringLiteral(" [desk "), 0, 0)
                               + QStringLiteral(" [desk %1, change %2]").arg(o_.user).arg(edits_));
        save(w, "save", bench::monotonicNs(), rbr);
    }

    void saveNew()
    {
        const std::size_t before = program_.boxes().size();
        const std::int64_t start = bench::monotonicNs();
        program_.click(window().cb_new);
        const auto open = RunningProgram::entryWindows();
        if (open.size() != 1) {
            write(record("new", start, bench::monotonicNs(), 0, false));
            logBoxes(before, "New FAQ + Save");
            closeEntryWindows();
            return;
        }
        w_main& w = *open.front();
        const std::int64_t opened = bench::monotonicNs();
        // What a person types: realistic texts, marked with who typed them.
        ++made_count_;
        const bench::Entry e = bench::entry(1 + static_cast<int>(random_() % 32767));
        w.mle_adresa->setText(e.adresa + QStringLiteral(" [desk %1, new %2]").arg(o_.user).arg(made_count_));
        w.mle_question->setText(e.pitanje);
        w.em_proizvod->setText(e.proizvod);
        w.em_lot->setText(e.lot);
        w.mle_odgovor->setText(e.odgovor);
        // The typing is not the program's time.
        save(w, "new", start + (bench::monotonicNs() - opened), 0);
    }

    void remove()
    {
        if (listedRow(true) == 0)
            return;
        const qint16 rbr = g.rbr;
        const std::size_t before = program_.boxes().size();
        whenOpen<w_da_ne>([](w_da_ne& d) { d.cb_da->click(); });
        const std::int64_t start = bench::monotonicNs();
        program_.click(window().cb_delete);
        const std::int64_t end = bench::monotonicNs();
        QString result = onlyRefreshFailed(program_.boxes(), before) ? QStringLiteral("ok") : QStringLiteral("failed");
        if (showsOutcomeUnknown(program_.boxes(), before))
            result = QStringLiteral("unknown");
        if (result != QStringLiteral("failed"))
            deleted_.insert(rbr);
        load::Record done = record("delete", start, end, rbr, true);
        done.result = result;
        write(done);
        logBoxes(before, "Delete");
        settle();
    }

    void closeEntryWindows()
    {
        for (w_main* w : RunningProgram::entryWindows())
            program_.click(w->cb_close);
        settle();
    }
    static void settle()
    {
        QCoreApplication::processEvents();
        RunningProgram::settle();
    }

    const Options o_;
    RunningProgram& program_;
    std::mt19937 random_;
    std::ofstream log_;
    std::set<qint64> made_, deleted_;
    int edits_ = 0, made_count_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    try {
        const Options options = parse(argc, argv);
        // People do not all start the program in the same second.
        std::mt19937 arrival(options.seed * 7919u);
        QThread::usleep(static_cast<unsigned long>(
            std::uniform_real_distribution<double>(0, options.thinkMs)(arrival) * 1000));
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        RunningProgram program;
        User user(options, program);
        user.run();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_user: %s\n", e.what());
        return 1;
    }
}
