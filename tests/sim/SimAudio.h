// Simulated audio sessions for the native unit tests: the sessions the devices play, each
// with its process and mute, and an audio thread that a test may hold back to see what
// happens before it gets to the requests.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace tw::sim {

class SimAudio : public AudioApi {
public:
    std::vector<AudioSession> sessions;
    std::map<std::uint32_t, std::string> exes;   // ExecutablePath's answers
    bool available = true;   // false: the sessions cannot be listed (as under Wine 8)
    bool held = false;       // requests wait for Run(), or a WaitIdle
    bool stuck = false;      // requests are never carried out
    std::vector<std::string> log;   // "Mute <id>", "Unmute <id>", "List"

    AudioSession& Add(std::string id, std::uint32_t pid, std::uint64_t created, std::string exe, bool muted = false);
    AudioSession* Session(const std::string& id);
    // The audio thread gets to every request queued.
    void Run();

    void Post(std::vector<MuteChange> changes, bool list) override;
    std::optional<AudioAnswer> TakeAnswer() override;
    bool WaitIdle(unsigned ms) override;
    std::string ExecutablePath(std::uint32_t pid) override;

private:
    struct Request {
        std::vector<MuteChange> changes;
        bool list;
    };
    std::deque<Request> queue_;
    std::deque<AudioAnswer> answers_;
};

} // namespace tw::sim
