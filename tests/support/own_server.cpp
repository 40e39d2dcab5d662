#include "support/own_server.h"

#include "support/throwaway_data_source.h"

#include <QFile>
#include <QProcess>

namespace {
const QString kClusterScript = QStringLiteral(VETFAQ_SOURCE_DIR "/tests/support/pg-cluster.sh");
} // namespace

OwnServer::OwnServer()
{
    if (const auto why = ThrowawayDataSource::unavailable(ThrowawayDataSource::Backend::PostgreSQL)) {
        why_ = why;
        return;
    }
    if (!run(QStringLiteral("start"))) {
        why_ = QStringLiteral("the test's own PostgreSQL server did not start");
        return;
    }
    started_ = true;
    QFile env(folder_.filePath(QStringLiteral("env")));
    if (!env.open(QIODevice::ReadOnly)) {
        why_ = QStringLiteral("the test's own PostgreSQL server left no env file");
        return;
    }
    for (const QByteArray& line : env.readAll().split('\n')) {
        const auto eq = line.indexOf('=');
        if (eq > 0)
            qputenv(line.left(eq).constData(), line.mid(eq + 1));
    }
}

OwnServer::~OwnServer()
{
    if (frozen_)
        thaw();
    if (paused_)
        resume();
    if (started_)
        run(QStringLiteral("stop"));
}

bool OwnServer::run(const QString& action) { return QProcess::execute(kClusterScript, {action, folder_.path()}) == 0; }

bool OwnServer::pause() { return paused_ = run(QStringLiteral("pause")); }
bool OwnServer::resume()
{
    paused_ = !run(QStringLiteral("resume"));
    return !paused_;
}
bool OwnServer::freeze() { return frozen_ = run(QStringLiteral("freeze")); }
bool OwnServer::thaw()
{
    frozen_ = !run(QStringLiteral("thaw"));
    return !frozen_;
}
bool OwnServer::restart() { return run(QStringLiteral("restart")); }
