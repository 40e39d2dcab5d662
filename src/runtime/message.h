#pragma once
// The message object: carries a string from an opener into the window it
// opens, and a response window's answer back to the opener.

#include <QString>

#include <optional>

namespace rt {

class Message {
public:
    std::optional<QString> StringParm;
    double DoubleParm = 0;
    long LongParm = 0;
    // Becomes the result of a window or control event that runs to its end.
    long ReturnValue = 0;
};

// The one message object of the run, registered by the application while it
// exists; null before it is created and after it is destroyed.
Message* messageObject();
void registerMessageObject(Message* message);

} // namespace rt
