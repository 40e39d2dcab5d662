#pragma once
// Records message boxes instead of showing them, for as long as it lives;
// questions are answered from a list the test gives beforehand.

#include "runtime/message_box.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

struct ShownBox {
    QString title;
    QString text;
    QString informative;
    QStringList answers;  // a question's answers; empty for a plain box
};

class RecordedMessageBoxes {
public:
    RecordedMessageBoxes();
    ~RecordedMessageBoxes();

    const std::vector<ShownBox>& shown() const { return state_->shown; }
    // The next questions are answered with these texts, in this order; a
    // question beyond them is closed without an answer.
    void answer(const QStringList& answers);

    struct State {
        std::vector<ShownBox> shown;
        std::deque<QString> answers;
    };

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<rt::MessageBoxes> previous_;
};
