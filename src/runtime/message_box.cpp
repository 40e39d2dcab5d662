#include "runtime/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace rt {
namespace {

class WidgetMessageBoxes final : public MessageBoxes {
public:
    void show(const QString& title, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }
};

std::unique_ptr<MessageBoxes>& installed()
{
    static std::unique_ptr<MessageBoxes> boxes = std::make_unique<WidgetMessageBoxes>();
    return boxes;
}

} // namespace

void messageBox(const QString& title, const QString& text) { installed()->show(title, text); }

std::unique_ptr<MessageBoxes> installMessageBoxes(std::unique_ptr<MessageBoxes> boxes)
{
    if (!boxes)
        boxes = std::make_unique<WidgetMessageBoxes>();
    return std::exchange(installed(), std::move(boxes));
}

} // namespace rt
