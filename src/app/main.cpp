// Starts the GUI runtime and runs the application object. The command line
// is ignored: Qt gets only the program name, so no argument changes the start.

#include "app/talvo.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// What Qt said while it looked for a display; shown only if it found one.
std::vector<std::pair<QtMsgType, std::string>> startupMessages;
bool starting = true;

[[noreturn]] void noDisplay(const char* detail)
{
    std::fprintf(stderr, "vetfaq: cannot open a window: %s; start it from a graphical session (X11 or Wayland).\n",
                 detail);
    std::fflush(stderr);
    _exit(1);
}

// Qt ends the process with abort() and a page of advice when no platform
// plugin can reach a display; one clear line and exit code 1 say it better.
void duringStartup(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg)
        noDisplay(qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
                      ? "the window system named by QT_QPA_PLATFORM is not available"
                  : qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
                      ? "the display named by DISPLAY or WAYLAND_DISPLAY cannot be reached"
                      : "no display was found");
    if (starting) {
        startupMessages.emplace_back(type, qFormatLogMessage(type, context, message).toStdString());
        return;
    }
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        noDisplay("no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set)");

    qInstallMessageHandler(duringStartup);
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    starting = false;
    qInstallMessageHandler(nullptr);
    for (const auto& [type, text] : startupMessages)
        std::fprintf(stderr, "%s\n", text.c_str());

    talvo application;
    return application.run();
}
