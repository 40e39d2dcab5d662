// Two copies of the program adding entries at the same time never overwrite
// each other and never put two entries under one number.

#include "support/on_each_backend.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class TwoUsers : public OnEachBackend {};

constexpr int kSavesEach = 150;

QStringList runWorkers()
{
    std::vector<std::unique_ptr<QProcess>> workers;
    for (const auto& [tag, seed] : {std::pair{"A", "11"}, std::pair{"B", "23"}}) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Leaks are another test's business; here only the saves count.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(VETFAQ_SAVE_WORKER),
                 {QString::fromLatin1(tag), QString::number(kSavesEach), QString::fromLatin1(seed)});
        workers.push_back(std::move(p));
    }
    QStringList lines;
    for (auto& p : workers) {
        EXPECT_TRUE(p->waitForFinished(240'000)) << "a worker did not finish";
        EXPECT_EQ(p->exitCode(), 0);
        lines += QString::fromUtf8(p->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    return lines;
}

} // namespace

TEST_P(TwoUsers, InterleavedNewEntriesAreAllKeptOnceUnderNumbersOfTheirOwn)
{
    const QStringList lines = runWorkers();
    ASSERT_EQ(lines.size(), 2 * kSavesEach) << lines.join(u'\n').toStdString();
    QStringList saved;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("saved ")))
            saved << line.mid(6);
        else
            ADD_FAILURE() << line.toStdString();  // with both users well-behaved, every save should work
    }
    for (const QString& text : saved) {
        EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq WHERE adresa = $1 AND pitanje = $1 "
                                                 "AND lot = $1"),
                                  {text}),
                  QStringLiteral("1"))
            << text.toStdString();
    }
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(*) FROM faq")), QString::number(saved.size()));
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT count(DISTINCT rbr) FROM faq")), QString::number(saved.size()));
    EXPECT_EQ(source().scalar(QStringLiteral("SELECT min(rbr) FROM faq")), QStringLiteral("1"));
}

INSTANTIATE_ON_EACH_BACKEND(TwoUsers);
