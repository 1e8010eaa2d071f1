// The session's one-copy lock and the copy that holds it, as a new start meets them.
#pragma once

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace tw::sim {

class SimInstance final : public InstanceApi {
public:
    bool lockable = true;      // false: no lock can be made at all
    bool running = false;      // another copy holds the lock
    bool elevated = false;     // that copy runs above this start's integrity level
    bool lockOpen = true;      // its lock lets this start open it (an elevated copy's may not)
    bool letsRequestsIn = true;   // its window takes requests from below its level
    bool hung = false;
    Hwnd window = 0;           // its main window
    int windowAfterLooks = 0;  // the window is made only after that many looks for it
    int endsAfterLooks = -1;   // the copy ends after that many looks (never when negative)

    bool held = false;         // this start holds the lock
    int looks = 0;
    unsigned pausedMs = 0;
    std::vector<std::string> requests;   // "show" or "restore", as they reached the copy
    // Commands: the copy's level differs from ours (either way); the copy stays on a "quit".
    bool otherLevel = false;
    bool staysOnQuit = false;
    std::vector<std::string> commands;   // the words, as they reached the copy
    unsigned commandWaitMs = 0;          // the longest a command was let wait

    InstanceClaim Claim() override;
    Hwnd RunningCopyWindow() override;
    RequestAnswer Request(Hwnd main, bool restore) override;
    CommandAnswer Command(Hwnd main, std::string_view word, unsigned ms, bool untilEnded) override;
    void Pause(unsigned ms) override { pausedMs += ms; }
};

} // namespace tw::sim
