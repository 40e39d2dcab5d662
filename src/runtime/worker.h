#pragma once
// A thread of its own that runs tasks one after another, in the order they
// were posted. Every call into a database driver runs on one, so a driver
// that hangs holds up its worker, never the window.

#include <chrono>
#include <functional>
#include <memory>

namespace rt {

class Worker {
public:
    Worker();
    // Runs what was posted, then ends the thread and waits for it; a retired
    // worker's thread is not waited for.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void post(std::function<void()> task);
    // Returns once everything posted so far has run.
    void waitIdle();
    // Ends the thread once what was posted has run, waiting at most `bound`
    // for it; a thread that takes longer is retired. True when it ended.
    bool finishWithin(std::chrono::milliseconds bound);
    // Lets go of the thread: it finishes what it runs and what is queued,
    // then ends by itself, however long that takes. Used when a call was
    // given up on; nothing may be posted afterwards.
    void retire();

private:
    struct State;
    std::shared_ptr<State> state_;
    bool retired_ = false;
};

} // namespace rt
