// The commands that hide and restore files run on one worker thread, strictly in the order
// they were issued: a slow or stuck attrib (a sleeping network drive, a scanner holding the
// file) never holds up the window, and a restore can never overtake the hide before it.
#pragma once

#include "platform/Platform.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tw {

// How long one command may run before it is ended so the next can start; the order holds
// either way, since the next one starts only after the previous has gone.
inline constexpr unsigned kAttribWaitMs = 60000;

class TAttribQueue {
public:
    explicit TAttribQueue(FileApi& files);
    // Commands not yet started are dropped; one that is running is left to end by itself.
    ~TAttribQueue();
    TAttribQueue(const TAttribQueue&) = delete;
    TAttribQueue& operator=(const TAttribQueue&) = delete;

    FileApi& Files() { return files_; }
    // Queues `commandLine` behind every command issued before it; returns at once.
    // `restoring` names the path the command gives back, if it does.
    void Enqueue(std::string commandLine, std::string restoring = {});
    // Takes every command that has not started off the queue and returns the paths the
    // restores among them would have given back, in order: a close that cannot wait for
    // them must not drop a file's line while the file stays hidden.
    std::vector<std::string> TakeUnstartedRestores();
    // Waits at most `ms` for every issued command to finish; true when all have.
    bool WaitIdle(unsigned ms);

private:
    struct State;
    static void RunCommands(const std::shared_ptr<State>& state, FileApi& files);

    FileApi& files_;
    std::shared_ptr<State> state_;
    std::thread worker_;   // started by the first command
};

} // namespace tw
