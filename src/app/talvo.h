#pragma once
// The application object: creates the globals, configures and connects the
// database connection, opens the search window, and destroys the globals
// when the last window has closed.

#include "runtime/transaction.h"

#include <QString>

class talvo {
public:
    QString appname;

    void create();
    void open(const QString& commandline);
    void destroy();

    // The connection open makes, for the start to begin ahead of the windows.
    static rt::ConnectionSettings connection();
    // What the start does before Qt reaches the display, first thing in
    // main(): the drivers' libraries set up for the process, then the
    // log-in begun, which needs neither the display nor the fonts. An
    // account without the data source gets it set up first, so nothing is
    // begun for it here.
    static void beginAhead();

    // The whole run on a QApplication that exists: the trace switch read,
    // create, open, the event loop while the search window is up, destroy.
    // The run's exit code.
    int run();
};
