// The program's start, as main() runs it, ending at the first paint of the
// search window: prints the moment (CLOCK_MONOTONIC) and whether the
// connection is made, then quits.
//
//   startup_probe              start only
//   startup_probe --search N   then N clicks on "Search" (a second one lists
//                              the entries again over a full grid, as Save's
//                              refresh does), every entry listed and the grid
//                              painted, for the peak resident size
//   startup_probe --timed-searches N [--criterion FIELD WORDS]
//                              then N clicks on "Search", each timed from the
//                              mouse press to the grid's rows painted and on
//                              the screen; with a criterion in the first row
//                              (FIELD as its list names it: Address, Answer, ...)
//   startup_probe --controls FILE
//                              writes the search window's controls to FILE,
//                              as same_controls reads them
//   ... --changed-between      before each click after the first, entry 1's
//                              lot is changed and changed back (two commits
//                              over the program's own connection): the
//                              table holds what it held, but a Search can
//                              no longer take the rows it listed last

#include "app/globals.h"
#include "app/talvo.h"
#include "app/window_icon.h"
#include "controls_file.h"
#include "first_shown.h"
#include "printed_boxes.h"
#include "process.h"
#include "window_click.h"
#include "runtime/fonts_ahead.h"
#include "runtime/session_bus_ahead.h"
#include "runtime/script.h"
#include "runtime/trace.h"
#include "runtime/waiting.h"
#include "search/dw_search.h"
#include "search/uo_srch1.h"
#include "search/w_search.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr int firstClickAfterMs = 300;

// Notes each paint of the grid's rows.
class PaintWatch final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Clicks "Search" as the mouse does and returns the milliseconds to the
// rows painted: the click's handler lists them, the next paint of the grid
// shows them, and the turn of the event loop after it has flushed the frame.
double timedSearch(w_search& window, PaintWatch& watch)
{
    const std::int64_t start = bench::monotonicNs();
    bench::click(window.cb_search, window.cb_search->rect().center());
    watch.painted = false;
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    return static_cast<double>(bench::monotonicNs() - start) / 1e6;
}

// Two commits that leave the table as it was: the database counts them as changes.
void changeAndChangeBack(rt::Transaction& sqlca)
{
    for (const char* sql : {"UPDATE faq SET lot = lot || '~' WHERE rbr = 1",
                            "UPDATE faq SET lot = substr(lot, 1, length(lot) - 1) WHERE rbr = 1"}) {
        sqlca.execute(QString::fromLatin1(sql));
        sqlca.commit();
        if (sqlca.SQLCode != 0) {
            std::fprintf(stderr, "startup_probe: the change failed: %s\n", qPrintable(sqlca.SQLErrText));
            std::exit(1);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    int searches = 0;
    bool timed = false;
    QString field, words;
    bool changedBetween = false;
    const char* controlsFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        if ((std::strcmp(argv[i], "--search") == 0 || std::strcmp(argv[i], "--timed-searches") == 0) && i + 1 < argc) {
            timed = std::strcmp(argv[i], "--timed-searches") == 0;
            searches = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--controls") == 0 && i + 1 < argc) {
            controlsFile = argv[++i];
        } else if (std::strcmp(argv[i], "--changed-between") == 0) {
            changedBetween = true;
        } else if (std::strcmp(argv[i], "--criterion") == 0 && i + 2 < argc) {
            field = QString::fromUtf8(argv[i + 1]);
            words = QString::fromUtf8(argv[i + 2]);
            i += 2;
        }
    }
    if (searches > 0)
        rt::installMessageBoxes(std::make_unique<bench::PrintedBoxes>());

    // From here on as main() in src/app/main.cpp, with the probe installed first.
    talvo::beginAhead();
    rt::FontsAhead fonts;
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    fonts.join();
    const std::jthread bus = rt::reachSessionBusAhead();
    window_icon::setOnceFirstPainted();
    PaintWatch watch;
    // The window may first paint while the start still waits for the
    // connection (its events are processed meanwhile, input held back):
    // the probe goes on once nothing is waited for.
    std::function<void()> measure;
    std::function<void()> whenNotWaiting = [&] {
        if (rt::waiting())
            QTimer::singleShot(1, &app, whenNotWaiting);
        else
            measure();
    };
    bench::FirstShown probe([](QObject* o) { return o == g.w_search.data(); }, [&](QWidget*) {
        // When the paint was on the screen, apart from when the connection was made as well.
        std::printf("painted %lld\n", static_cast<long long>(bench::monotonicNs()));
        whenNotWaiting();
    });
    measure = [&] {
        const std::int64_t shown = bench::monotonicNs();
        std::printf("shown %lld\nconnected %d\n", static_cast<long long>(shown),
                    g.SQLCA && g.SQLCA->isConnected() ? 1 : 0);
        w_search& window = *g.w_search;
        if (controlsFile && !bench::writeControls(window, controlsFile)) {
            std::fprintf(stderr, "startup_probe: cannot write %s\n", controlsFile);
            std::exit(1);
        }
        if (!words.isEmpty()) {
            window.uo_1->ddlb_polje->setCurrentText(field);
            window.uo_1->sle_trazi->setText(words);
        }
        window.dw_search->viewport()->installEventFilter(&watch);
        for (int i = 0; i < searches; ++i) {
            if (i == 0) {
                // A person takes longer than this to reach the button.
                // It idles meanwhile, as the program does: the wait below
                // sleeps until the next event, a tick at the latest.
                QElapsedTimer pause;
                pause.start();
                QTimer tick;
                tick.start(5);
                while (pause.elapsed() < firstClickAfterMs)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            if (changedBetween && i > 0)
                changeAndChangeBack(*g.SQLCA);
            if (timed) {
                std::printf("search_ms %.3f\n", timedSearch(window, watch));
            } else {
                window.cb_search->click();
                window.repaint();
            }
        }
        if (searches > 0)
            std::printf("listed %ld\n", window.dw_search->rowCount());
        std::printf("peak_kib %ld\n", bench::peakResidentKiB());
        std::fflush(stdout);
        QCoreApplication::quit();
    };
    talvo application;
    return application.run();
}
