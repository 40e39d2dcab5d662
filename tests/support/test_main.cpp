// Every test binary runs with a QApplication on the offscreen platform, and
// keeps what Qt remembers (the file dialog's folders and history) in a
// folder of its own instead of the user's ~/.config.

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    unsetenv("VETFAQ_TRACE");
    const QTemporaryDir config;
    if (config.isValid())
        setenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData(), 1);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
