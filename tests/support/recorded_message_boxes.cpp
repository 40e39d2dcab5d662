#include "support/recorded_message_boxes.h"

namespace {
class Recorder final : public rt::MessageBoxes {
public:
    explicit Recorder(std::shared_ptr<RecordedMessageBoxes::State> state) : state_(std::move(state)) {}
    void show(const QString& title, const QString& text, const QString& informative) override
    {
        state_->shown.push_back({title, text, informative, {}});
    }
    int ask(const QString& title, const QString& text, const QString& informative, const QStringList& answers,
            int, int escapeAnswer) override
    {
        state_->shown.push_back({title, text, informative, answers});
        if (state_->answers.empty())
            return escapeAnswer;
        const QString wanted = state_->answers.front();
        state_->answers.pop_front();
        const auto index = answers.indexOf(wanted);
        return index < 0 ? escapeAnswer : static_cast<int>(index);
    }

private:
    std::shared_ptr<RecordedMessageBoxes::State> state_;
};
} // namespace

RecordedMessageBoxes::RecordedMessageBoxes()
    : state_(std::make_shared<State>()), previous_(rt::installMessageBoxes(std::make_unique<Recorder>(state_)))
{
}

RecordedMessageBoxes::~RecordedMessageBoxes() { rt::installMessageBoxes(std::move(previous_)); }

void RecordedMessageBoxes::answer(const QStringList& answers)
{
    for (const QString& a : answers)
        state_->answers.push_back(a);
}
