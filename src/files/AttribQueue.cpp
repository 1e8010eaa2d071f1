#include "files/AttribQueue.h"

#include "settings/IniText.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace tw {

namespace {

std::string Flags(char sign, std::uint32_t bits)
{
    std::string flags;
    if (bits & kAttribHidden)
        flags += std::string(" ") + sign + "h";
    if (bits & kAttribSystem)
        flags += std::string(" ") + sign + "s";
    return flags;
}

} // namespace

std::string QuoteArgument(std::string_view arg)
{
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only escape when a quote follows them.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string AttribCommandLine(const std::string& systemDir, bool unhide, const std::string& path, std::uint32_t kept)
{
    kept &= kAttribBoth;
    const std::string flags = unhide ? Flags('-', kAttribBoth & ~kept) + Flags('+', kept) : Flags('+', kAttribBoth);
    return QuoteArgument(systemDir + "\\attrib.exe") + flags + " " + QuoteArgument(path);
}

struct TAttribQueue::Command {
    bool unhide = false;
    std::string path;
    bool findBits = false;                  // a hide: report what the file had first
    std::optional<std::uint32_t> had;       // a restore: what the file had before it was hidden
};

// Shared with the worker, which may outlive the queue by the command it is running.
struct TAttribQueue::State {
    std::mutex lock;
    std::condition_variable work;   // a command was queued, or the queue is going
    std::condition_variable idle;   // a command finished
    std::deque<Command> pending;
    std::vector<TFileOutcome> outcomes;
    std::function<void()> finished;
    bool running = false;
    bool stopping = false;
    // Worker only: what each hide of this run found, by path as the list matches it, until the path is given
    // back. A restore queued before the window has heard the answer still needs it.
    std::map<std::string, std::uint32_t> found;
};

TAttribQueue::TAttribQueue(FileApi& files, std::function<void()> finished)
    : files_(files), state_(std::make_shared<State>())
{
    state_->finished = std::move(finished);
}

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

void TAttribQueue::EnqueueHide(std::string path, bool findBits)
{
    Enqueue(Command{false, std::move(path), findBits, std::nullopt});
}

void TAttribQueue::EnqueueRestore(std::string path, std::optional<std::uint32_t> had)
{
    Enqueue(Command{true, std::move(path), false, had});
}

void TAttribQueue::Enqueue(Command command)
{
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->pending.push_back(std::move(command));
    }
    if (!worker_.joinable())
        worker_ = std::thread([state = state_, &files = files_] { RunCommands(state, files); });
    state_->work.notify_one();
}

std::vector<TFileOutcome> TAttribQueue::TakeOutcomes()
{
    std::lock_guard<std::mutex> guard(state_->lock);
    return std::exchange(state_->outcomes, {});
}

std::vector<std::string> TAttribQueue::TakeUnstartedRestores()
{
    std::vector<std::string> restores;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        for (Command& command : state_->pending)
            if (command.unhide)
                restores.push_back(std::move(command.path));
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
        Command command = std::move(state->pending.front());
        state->pending.pop_front();
        state->running = true;
        guard.unlock();
        try {
            Run(*state, files, command);
        } catch (...) {
            // A command that failed changes nothing the user can be told about.
        }
        guard.lock();
        state->running = false;
        state->idle.notify_all();
    }
}

void TAttribQueue::Report(State& state, TFileOutcome outcome)
{
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.outcomes.push_back(std::move(outcome));
    }
    if (state.finished)
        state.finished();
}

void TAttribQueue::Run(State& state, FileApi& files, const Command& command)
{
    const std::string key = FoldAsciiCase(command.path);
    bool missing = false;
    if (!command.unhide) {
        // Read before the command, in queue order: a restore queued ahead of this hide has
        // run by now, so what is read is what the user left, not what we did. Told before
        // attrib runs, so the window can store it as soon as possible.
        if (command.findBits) {
            auto it = state.found.find(key);
            if (it == state.found.end())
                if (std::optional<std::uint32_t> attrs = files.FileAttributes(command.path, missing))
                    it = state.found.emplace(key, *attrs & kAttribBoth).first;
            if (it != state.found.end())
                Report(state, TFileOutcome{TFileOutcome::Found, command.path, it->second});
        }
        files.RunHidden(AttribCommandLine(files.SystemDirectory(), false, command.path), kAttribWaitMs);
        return;
    }

    std::uint32_t had = 0;
    if (command.had)
        had = *command.had;
    else if (auto it = state.found.find(key); it != state.found.end())
        had = it->second;
    const std::uint32_t clear = kAttribBoth & ~had;
    if (clear)
        files.RunHidden(AttribCommandLine(files.SystemDirectory(), true, command.path, had), kAttribWaitMs);
    // Judged by the file itself: attrib ends with 0 on a file it could not change.
    std::optional<std::uint32_t> attrs = files.FileAttributes(command.path, missing);
    if ((attrs && (*attrs & clear) == 0) || (!attrs && missing)) {
        state.found.erase(key);
        Report(state, TFileOutcome{TFileOutcome::Restored, command.path, had});
    } else {
        Report(state, TFileOutcome{TFileOutcome::Refused, command.path, had});
    }
}

} // namespace tw
