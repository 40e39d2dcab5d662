// The program's start, as main() runs it, ending at the first paint of the
// search window: prints the moment (CLOCK_MONOTONIC) and whether the
// connection is made, then quits.
//
//   startup_probe              start only
//   startup_probe --search N   then N clicks on "Search" (a second one lists
//                              the entries again over a full grid, as Save's
//                              refresh does), every entry listed and the grid
//                              painted, for the peak resident size

#include "app/globals.h"
#include "app/talvo.h"
#include "first_shown.h"
#include "printed_boxes.h"
#include "process.h"
#include "runtime/script.h"
#include "runtime/trace.h"
#include "search/dw_search.h"
#include "search/w_search.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const int searches = argc > 2 && std::strcmp(argv[1], "--search") == 0 ? std::atoi(argv[2]) : 0;
    if (searches > 0)
        rt::installMessageBoxes(std::make_unique<bench::PrintedBoxes>());

    // From here on as main() in src/app/main.cpp, with the probe installed first.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    bench::FirstShown probe([](QObject* o) { return o == g.w_search.data(); },
                            [searches](QWidget*) {
                                const std::int64_t shown = bench::monotonicNs();
                                std::printf("shown %lld\nconnected %d\n", static_cast<long long>(shown),
                                            g.SQLCA && g.SQLCA->isConnected() ? 1 : 0);
                                for (int i = 0; i < searches; ++i) {
                                    g.w_search->cb_search->click();
                                    g.w_search->repaint();
                                }
                                if (searches > 0)
                                    std::printf("listed %ld\n", g.w_search->dw_search->rowCount());
                                std::printf("peak_kib %ld\n", bench::peakResidentKiB());
                                std::fflush(stdout);
                                QCoreApplication::quit();
                            });
    talvo application;
    return application.run();
}
