// Starts the GUI runtime and runs the application object. Apart from --help
// and --version the command line is ignored: Qt gets only the program name,
// so no other argument changes the start.

#include "app/first_use.h"
#include "app/talvo.h"
#include "app/window_icon.h"
#include "runtime/fonts_ahead.h"
#include "runtime/session_bus_ahead.h"

#include <QApplication>
#include <QCommandLineParser>

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

// --help and --version print and end the run before anything needs a display.
void answerHelpOrVersion(int argc, char** argv)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(VETFAQ_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Veterinary FAQ helper: the log of customers' questions about products and their lots.\n\n"
        "Started without options it opens the search window; other arguments are ignored. It reaches its\n"
        "data through the ODBC data source FAQ; on an account that has none, it first sets up an embedded\n"
        "database with vetfaq-setup. See vetfaq(1)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version."));
    parser.addOptions({help, version});
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Unknown options are no error: they are ignored as any argument is.
    parser.parse(arguments);
    if (!parser.isSet(help) && !parser.isSet(version))
        return;
    QCoreApplication names(argc, argv); // the usage line names the program as it was started
    if (parser.isSet(help))
        parser.showHelp(0);
    parser.showVersion();
}

} // namespace

int main(int argc, char** argv)
{
    answerHelpOrVersion(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        noDisplay("no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set)");

    talvo::beginAhead();
    rt::FontsAhead fonts;
    qInstallMessageHandler(duringStartup);
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    fonts.join();
    starting = false;
    qInstallMessageHandler(nullptr);
    for (const auto& [type, text] : startupMessages)
        std::fprintf(stderr, "%s\n", text.c_str());
    // After the start's message handler: what the bus says is printed as it comes.
    const std::jthread bus = rt::reachSessionBusAhead();

    // Wayland compositors find the menu entry, and so the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(VETFAQ_APP_ID));
    window_icon::setOnceFirstPainted();
    first_use::setUpIfNeeded(first_use::setupCommand());

    talvo application;
    return application.run();
}
