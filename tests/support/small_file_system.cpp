#include "support/small_file_system.h"

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {
bool runs(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

SmallFileSystem::SmallFileSystem(int kibibytes)
{
    if (geteuid() != 0) {
        why_ = QStringLiteral("mounting a small file system needs root");
        return;
    }
    if (!runs(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                        QStringLiteral("size=%1k").arg(kibibytes), QStringLiteral("tmpfs"), path()})) {
        why_ = QStringLiteral("cannot mount a tmpfs here");
        return;
    }
    mounted_ = true;
}

SmallFileSystem::~SmallFileSystem()
{
    if (mounted_)
        runs(QStringLiteral("umount"), {QStringLiteral("-l"), path()});
}

bool SmallFileSystem::fill()
{
    const QByteArray name = QFile::encodeName(path() + QStringLiteral("/filler"));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0)
        return false;
    std::vector<char> block(4096, 'x');
    // Down to single bytes, so not even a small page write fits.
    for (std::size_t size = block.size(); size > 0;) {
        if (::write(fd, block.data(), size) < 0)
            size /= 2;
    }
    ::fsync(fd);
    ::close(fd);
    return true;
}

bool SmallFileSystem::makeRoom() { return QFile::remove(path() + QStringLiteral("/filler")); }

bool SmallFileSystem::makeReadOnly()
{
    return runs(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), path()});
}
