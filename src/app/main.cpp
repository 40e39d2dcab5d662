// Starts the GUI runtime and runs the application object. The command line
// is ignored: Qt gets only the program name, so no argument changes the start.

#include "app/globals.h"
#include "app/talvo.h"
#include "runtime/script.h"
#include "runtime/trace.h"
#include "search/w_search.h"

#include <QApplication>

int main(int argc, char** argv)
{
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    rt::TraceWriter::instance().configureFromEnvironment();

    talvo application;
    int result = 0;
    if (rt::fire([&] { application.create(); }) == 1) {
        rt::fire([&] { application.open(QString()); });
        if (g.w_search && g.w_search->isVisible())
            result = app.exec();
    }
    rt::fire([&] { application.destroy(); });
    return result;
}
