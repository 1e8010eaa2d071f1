// Simulated audio sessions for the native unit tests: the sessions the devices play, each
// with its process and mute, and an audio thread that a test may hold back to see what
// happens before it gets to the requests. Two rules of Windows are kept: a program's next
// session starts with the mute its last one ended with, and a session leaves the listing
// while its device is unplugged, its process running on.
#pragma once

#include "platform/Platform.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace tw::sim {

class SimAudio : public AudioApi {
public:
    std::vector<AudioSession> sessions;          // those of the devices plugged in
    std::map<std::uint32_t, std::string> exes;   // ExecutablePath's answers
    bool available = true;   // false: the sessions cannot be listed (as under Wine 8)
    bool held = false;       // requests wait for Run(), or a WaitIdle
    bool stuck = false;      // requests are never carried out
    std::vector<std::string> log;   // "Mute <id>", "Unmute <id>", "List"

    // A running process's session, as it is now.
    AudioSession& Add(std::string id, std::uint32_t pid, std::uint64_t created, std::string exe, bool muted = false);
    // A process of a program starts to play: muted as the program's last session ended,
    // unless it opens its stream with AUDCLNT_STREAMFLAGS_NOPERSIST.
    AudioSession& Start(std::string id, std::uint32_t pid, std::uint64_t created, std::string exe,
                        bool persist = true);
    // The process ends: its sessions go, and their mute is kept for the program.
    void End(std::uint32_t pid);
    // The headset is unplugged: every session leaves the listing and cannot be changed;
    // plugged in again, they come back as they were.
    void Unplug();
    void Replug();
    AudioSession* Session(const std::string& id);
    // The audio thread gets to every request queued.
    void Run();

    void Post(std::vector<MuteChange> changes, bool list) override;
    std::optional<AudioAnswer> TakeAnswer() override;
    bool WaitIdle(unsigned ms) override;
    std::string ExecutablePath(std::uint32_t pid) override;
    bool IsRunning(std::uint32_t pid, std::uint64_t created) override;

private:
    struct Request {
        std::vector<MuteChange> changes;
        bool list;
    };
    std::deque<Request> queue_;
    std::deque<AudioAnswer> answers_;
    std::map<std::uint32_t, std::uint64_t> running_;   // pid: creation time
    std::map<std::string, bool> kept_;                 // by folded executable path: the mute
    std::vector<AudioSession> unplugged_;
};

} // namespace tw::sim
