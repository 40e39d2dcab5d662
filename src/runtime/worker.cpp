#include "runtime/worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace rt {

struct Worker::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool ending = false;
    bool ended = false;
    bool running = false;
    std::condition_variable idle;
    std::condition_variable endedSignal;
    std::thread thread;
};

Worker::Worker() : state_(std::make_shared<State>())
{
    // The thread holds the state too, so a retired worker's thread outlives the object.
    state_->thread = std::thread([state = state_] {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(state->mutex);
                state->wake.wait(lock, [&] { return state->ending || !state->tasks.empty(); });
                if (state->tasks.empty()) {
                    state->ended = true;
                    state->endedSignal.notify_all();
                    return;
                }
                task = std::move(state->tasks.front());
                state->tasks.pop_front();
                state->running = true;
            }
            task();
            // Whatever the task held (a connection, a statement) is freed
            // here, on this thread, not on the one that posted it.
            task = nullptr;
            std::lock_guard lock(state->mutex);
            state->running = false;
            state->idle.notify_all();
        }
    });
}

Worker::~Worker()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->ending = true;
    }
    state_->wake.notify_one();
    if (!retired_ && state_->thread.joinable())
        state_->thread.join();
}

void Worker::post(std::function<void()> task)
{
    {
        std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(std::move(task));
    }
    state_->wake.notify_one();
}

void Worker::waitIdle()
{
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [&] { return state_->tasks.empty() && !state_->running; });
}

bool Worker::finishWithin(std::chrono::milliseconds bound)
{
    if (retired_)
        return false;
    std::unique_lock lock(state_->mutex);
    state_->ending = true;
    state_->wake.notify_one();
    if (!state_->endedSignal.wait_for(lock, bound, [&] { return state_->ended; })) {
        lock.unlock();
        retire();
        return false;
    }
    lock.unlock();
    state_->thread.join();
    return true;
}

void Worker::retire()
{
    if (retired_)
        return;
    retired_ = true;
    {
        std::lock_guard lock(state_->mutex);
        state_->ending = true;
    }
    state_->wake.notify_one();
    state_->thread.detach();
}

} // namespace rt
