// One copy of the program adding entries as fast as a person never could:
// opens "New FAQ" windows and saves them, with short random pauses, and
// prints "saved TAG N" or "failed TAG N: title / text" for each.
//
//   save_worker TAG COUNT SEED

#include "support/running_program.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <random>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: save_worker TAG COUNT SEED\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const QString tag = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    std::mt19937 random(static_cast<unsigned>(std::atoi(argv[3])));
    std::uniform_int_distribution<int> pause(0, 4);

    RunningProgram program;
    for (int i = 0; i < count; ++i) {
        const std::size_t boxesBefore = program.boxes().size();
        w_main* w = rt::openWithParm<w_main>(QStringLiteral("0"), g.w_search.data());
        if (!w) {
            std::printf("failed %s %d: no window\n", qPrintable(tag), i);
            continue;
        }
        const QString text = QStringLiteral("%1 %2").arg(tag).arg(i);
        w->mle_adresa->setPlainText(text);
        w->mle_question->setPlainText(text);
        w->em_lot->setText(text);
        QThread::msleep(static_cast<unsigned long>(pause(random)));
        w->cb_save->click();
        if (w->isClosed() && program.boxes().size() == boxesBefore) {
            std::printf("saved %s %d\n", qPrintable(tag), i);
        } else {
            const ShownBox box = program.boxes().size() > boxesBefore ? program.boxes().back() : ShownBox{};
            std::printf("failed %s %d: %s / %s\n", qPrintable(tag), i, qPrintable(box.title),
                        qPrintable(QString(box.text).replace(u'\n', u' ')));
            w->close();
        }
        std::fflush(stdout);
        RunningProgram::settle();
    }
    return 0;
}
