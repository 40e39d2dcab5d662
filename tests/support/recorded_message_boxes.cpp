#include "support/recorded_message_boxes.h"

namespace {
class Recorder final : public rt::MessageBoxes {
public:
    explicit Recorder(std::shared_ptr<std::vector<ShownBox>> shown) : shown_(std::move(shown)) {}
    void show(const QString& title, const QString& text) override { shown_->push_back({title, text}); }

private:
    std::shared_ptr<std::vector<ShownBox>> shown_;
};
} // namespace

RecordedMessageBoxes::RecordedMessageBoxes()
    : shown_(std::make_shared<std::vector<ShownBox>>()),
      previous_(rt::installMessageBoxes(std::make_unique<Recorder>(shown_)))
{
}

RecordedMessageBoxes::~RecordedMessageBoxes() { rt::installMessageBoxes(std::move(previous_)); }
