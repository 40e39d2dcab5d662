#pragma once
// The application object: creates the globals, configures and connects the
// database connection, opens the search window, and destroys the globals
// when the last window has closed.

#include <QString>

class talvo {
public:
    QString appname;

    void create();
    void open(const QString& commandline);
    void destroy();
};
