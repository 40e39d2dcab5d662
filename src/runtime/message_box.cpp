#include "runtime/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace rt {
namespace {

class WidgetMessageBoxes final : public MessageBoxes {
public:
    void show(const QString& title, const QString& text, const QString& informative) override
    {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
        if (!informative.isEmpty()) {
            box.setIcon(QMessageBox::Warning);
            box.setInformativeText(informative);
        }
        box.exec();
    }

    int ask(const QString& title, const QString& text, const QString& informative, const QStringList& answers,
            int defaultAnswer, int escapeAnswer) override
    {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, QApplication::activeWindow());
        box.setInformativeText(informative);
        std::vector<QPushButton*> buttons;
        for (qsizetype i = 0; i < answers.size(); ++i)
            buttons.push_back(box.addButton(answers[i], i == escapeAnswer ? QMessageBox::RejectRole
                                                                          : QMessageBox::AcceptRole));
        if (defaultAnswer >= 0 && defaultAnswer < static_cast<int>(buttons.size()))
            box.setDefaultButton(buttons[static_cast<std::size_t>(defaultAnswer)]);
        if (escapeAnswer >= 0 && escapeAnswer < static_cast<int>(buttons.size()))
            box.setEscapeButton(buttons[static_cast<std::size_t>(escapeAnswer)]);
        box.exec();
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (box.clickedButton() == buttons[i])
                return static_cast<int>(i);
        return escapeAnswer;
    }
};

std::unique_ptr<MessageBoxes>& installed()
{
    static std::unique_ptr<MessageBoxes> boxes = std::make_unique<WidgetMessageBoxes>();
    return boxes;
}

} // namespace

void messageBox(const QString& title, const QString& text, const QString& informative)
{
    installed()->show(title, text, informative);
}

int askBox(const QString& title, const QString& text, const QString& informative, const QStringList& answers,
           int defaultAnswer, int escapeAnswer)
{
    return installed()->ask(title, text, informative, answers, defaultAnswer, escapeAnswer);
}

std::unique_ptr<MessageBoxes> installMessageBoxes(std::unique_ptr<MessageBoxes> boxes)
{
    if (!boxes)
        boxes = std::make_unique<WidgetMessageBoxes>();
    return std::exchange(installed(), std::move(boxes));
}

} // namespace rt
