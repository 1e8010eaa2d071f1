#include "files/AttribQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace tw {

// Shared with the worker, which may outlive the queue by the command it is running.
struct TAttribQueue::State {
    std::mutex lock;
    std::condition_variable work;   // a command was queued, or the queue is going
    std::condition_variable idle;   // a command finished
    struct Command {
        std::string line;
        std::string restoring;
    };
    std::deque<Command> pending;
    bool running = false;
    bool stopping = false;
};

TAttribQueue::TAttribQueue(FileApi& files) : files_(files), state_(std::make_shared<State>()) {}

TAttribQueue::~TAttribQueue()
{
    bool running = false;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->stopping = true;
        state_->pending.clear();
        running = state_->running;
    }
    state_->work.notify_all();
    if (!worker_.joinable())
        return;
    // A command that is still running must not keep the program from ending.
    if (running)
        worker_.detach();
    else
        worker_.join();
}

void TAttribQueue::Enqueue(std::string commandLine, std::string restoring)
{
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->pending.push_back({std::move(commandLine), std::move(restoring)});
    }
    if (!worker_.joinable())
        worker_ = std::thread([state = state_, &files = files_] { RunCommands(state, files); });
    state_->work.notify_one();
}

std::vector<std::string> TAttribQueue::TakeUnstartedRestores()
{
    std::vector<std::string> restores;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        for (State::Command& command : state_->pending)
            if (!command.restoring.empty())
                restores.push_back(std::move(command.restoring));
        state_->pending.clear();
    }
    state_->idle.notify_all();
    return restores;
}

bool TAttribQueue::WaitIdle(unsigned ms)
{
    std::unique_lock<std::mutex> guard(state_->lock);
    return state_->idle.wait_for(guard, std::chrono::milliseconds(ms),
                                 [&] { return state_->pending.empty() && !state_->running; });
}

void TAttribQueue::RunCommands(const std::shared_ptr<State>& state, FileApi& files)
{
    std::unique_lock<std::mutex> guard(state->lock);
    for (;;) {
        state->work.wait(guard, [&] { return state->stopping || !state->pending.empty(); });
        if (state->stopping)
            return;
        std::string command = std::move(state->pending.front().line);
        state->pending.pop_front();
        state->running = true;
        guard.unlock();
        try {
            files.RunHidden(command, kAttribWaitMs);
        } catch (...) {
            // A command that failed changes nothing the user can be told about.
        }
        guard.lock();
        state->running = false;
        state->idle.notify_all();
    }
}

} // namespace tw
