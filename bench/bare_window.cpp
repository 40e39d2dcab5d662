// The baseline of start-up and memory: a Qt Widgets program that shows one
// empty window, noticed and reported as startup_probe notices the search
// window. With --text the window holds one line of text, which is what
// first loads a font: the empty window never does.

#include "first_shown.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QWidget window;
    bench::FirstShown probe([&window](QObject* o) { return o == &window; },
                            [](QWidget*) {
                                bench::reportShown();
                                QCoreApplication::quit();
                            });
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        (new QLabel(QStringLiteral("Veterinary FAQ helper"), &window))->move(20, 20);
    window.resize(816, 533);  // the search window's size, so both paint as much
    window.show();
    return app.exec();
}
