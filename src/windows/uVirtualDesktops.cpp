#include "windows/uVirtualDesktops.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tw {

struct TVirtualDesktops::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Hwnd> windows;                  // the question being answered
    std::vector<std::optional<bool>> answers;   // one per window, as they come
    bool pending = false;     // a question is waiting for, or inside, the thread's calls
    bool abandoned = false;   // its asker has stopped waiting: the rest is not asked
    bool calling = false;     // the thread is inside a call to the shell
    bool stop = false;
};

TVirtualDesktops::~TVirtualDesktops()
{
    if (!worker_.joinable())
        return;
    std::unique_lock lock(state_->mutex);
    state_->stop = true;
    state_->abandoned = true;
    state_->changed.notify_all();
    // Between calls the thread sees `stop` before it could make another, and ends at once.
    if (state_->calling) {
        lock.unlock();
        worker_.detach();
    } else {
        lock.unlock();
        worker_.join();
    }
}

std::vector<std::optional<bool>> TVirtualDesktops::Ask(const std::vector<Hwnd>& windows, unsigned waitMs)
{
    std::vector<std::optional<bool>> none(windows.size());
    // A shell that is known hung is not even asked: the call would only join the queue
    // behind the ones it is not answering.
    if (windows.empty() || api_.IsHungAppWindow(api_.FindWindowA("Shell_TrayWnd")))
        return none;
    if (!state_)
        state_ = std::make_shared<State>();
    std::unique_lock lock(state_->mutex);
    // An earlier question the shell is still stuck on: not asked again, nor waited for. One
    // whose last call has just returned is done in a moment.
    if (state_->pending) {
        state_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                 [&] { return !state_->pending || state_->calling; });
        if (state_->pending)
            return none;
    }
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread(&TVirtualDesktops::Answer, state_, std::ref(api_));
        } catch (...) {
            return none;   // no thread to ask on: nothing is asked on ours
        }
    }
    state_->windows = windows;
    state_->answers.assign(windows.size(), std::nullopt);
    state_->pending = true;
    state_->abandoned = false;
    state_->changed.notify_all();
    if (!state_->changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return !state_->pending; }))
        state_->abandoned = true;
    return state_->answers;
}

void TVirtualDesktops::Answer(std::shared_ptr<State> shared, WindowApi& api)
{
    State& state = *shared;
    std::unique_lock lock(state.mutex);
    for (;;) {
        state.changed.wait(lock, [&] { return state.stop || state.pending; });
        if (state.stop)
            return;
        for (std::size_t i = 0; i < state.windows.size() && !state.abandoned && !state.stop; ++i) {
            const Hwnd w = state.windows[i];
            state.calling = true;
            lock.unlock();
            std::optional<bool> placed;
            try {
                placed = api.IsOnVirtualDesktop(w);
            } catch (...) {
            }
            lock.lock();
            state.calling = false;
            state.answers[i] = placed.value_or(true);
        }
        state.pending = false;
        state.changed.notify_all();
    }
}

} // namespace tw
