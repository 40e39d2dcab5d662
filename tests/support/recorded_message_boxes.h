#pragma once
// Records message boxes instead of showing them, for as long as it lives.

#include "runtime/message_box.h"

#include <QString>

#include <memory>
#include <vector>

struct ShownBox {
    QString title;
    QString text;
};

class RecordedMessageBoxes {
public:
    RecordedMessageBoxes();
    ~RecordedMessageBoxes();

    const std::vector<ShownBox>& shown() const { return *shown_; }

private:
    std::shared_ptr<std::vector<ShownBox>> shown_;
    std::unique_ptr<rt::MessageBoxes> previous_;
};
