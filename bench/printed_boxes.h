#pragma once
// For the probes: a message box would wait offscreen for a click that never
// comes, so each one is printed to standard error and counted instead.

#include "runtime/message_box.h"

#include <cstdio>

namespace bench {

class PrintedBoxes final : public rt::MessageBoxes {
public:
    static inline int shown = 0;
    void show(const QString& title, const QString& text, const QString& informative) override
    {
        ++shown;
        std::fprintf(stderr, "message box \"%s\": %s %s\n", qPrintable(title), qPrintable(text), qPrintable(informative));
    }
    int ask(const QString& title, const QString& text, const QString&, const QStringList&, int, int escapeAnswer) override
    {
        show(title, text, QString());
        return escapeAnswer;
    }
};

} // namespace bench
