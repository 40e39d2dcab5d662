// Starts the GUI runtime and runs the application object. The command line
// is ignored: Qt gets only the program name, so no argument changes the start.

#include "app/talvo.h"

#include <QApplication>

int main(int argc, char** argv)
{
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    talvo application;
    return application.run();
}
