// A start-up baseline between the window with text and the program: a Qt
// Widgets program that builds the search window's controls (as
// startup_probe --controls wrote them) as plain widgets and shows them,
// noticed and reported as bare_window does. No database, no helper threads,
// no icon: what Qt itself needs to draw what the program draws.
//
//   same_controls FILE           quits once the window has painted
//   same_controls FILE --stay    stays open, to be looked at

#include "controls_file.h"
#include "first_shown.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: same_controls FILE\n");
        return 2;
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const std::unique_ptr<QWidget> window(bench::buildControls(argv[1]));
    if (!window) {
        std::fprintf(stderr, "same_controls: cannot read %s\n", argv[1]);
        return 1;
    }
    const bool stay = argc > 2 && std::strcmp(argv[2], "--stay") == 0;
    bench::FirstShown probe([w = window.get()](QObject* o) { return o == w; },
                            [stay](QWidget*) {
                                bench::reportShown();
                                if (!stay)
                                    QCoreApplication::quit();
                            });
    window->show();
    window->activateWindow();  // as the program's windows take the keyboard
    return app.exec();
}
