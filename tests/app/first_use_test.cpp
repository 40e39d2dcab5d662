// The installed program's first use: the set-up command runs on an account
// without a data source FAQ, and only there.

#include "app/first_use.h"
#include "support/throwaway_data_source.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
// A set-up command that notes each call's arguments in a file beside it.
struct RecordingSetup {
    QTemporaryDir dir;
    QString command = dir.filePath(QStringLiteral("vetfaq-setup"));

    RecordingSetup()
    {
        QFile script(command);
        if (!script.open(QIODevice::WriteOnly)
            || script.write("#!/bin/sh\necho \"$@\" >>\"$(dirname \"$0\")/calls\"\n") < 0)
            throw std::runtime_error("cannot write the set-up command");
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    QString calls() const
    {
        QFile file(dir.filePath(QStringLiteral("calls")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};
} // namespace

// The driver manager reads its files once per process: one data source set-up per test.
TEST(FirstUse, WithoutADataSourceTheSetUpRuns)
{
    NoDataSource none;
    RecordingSetup setup;
    EXPECT_FALSE(first_use::dataSourceExists());
    first_use::setUpIfNeeded(QString()); // a build tree has no set-up command
    EXPECT_EQ(setup.calls(), QString());
    first_use::setUpIfNeeded(setup.command);
    EXPECT_EQ(setup.calls(), QStringLiteral("sqlite\n"));
}

TEST(FirstUse, AnExistingDataSourceIsUsedAsItIs)
{
    ThrowawayDataSource source;
    RecordingSetup setup;
    EXPECT_TRUE(first_use::dataSourceExists());
    first_use::setUpIfNeeded(setup.command);
    EXPECT_EQ(setup.calls(), QString());
}
