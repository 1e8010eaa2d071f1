#include "app/SingleCopy.h"

namespace tw {

namespace {

// How long a second start looks for the first copy's main window: a copy that has only just
// started may not have made it yet.
constexpr unsigned kFindRunningCopyMs = 10000;
constexpr unsigned kPollMs = 50;
// A script waits on a command no longer than this, whatever the copy is doing.
constexpr unsigned kCommandWaitMs = 5000;

} // namespace

StartVerdict DecideStart(InstanceApi& instance, bool restore)
{
    InstanceClaim claim = instance.Claim();
    // Without a lock nobody can tell; running is better than refusing to.
    if (claim == InstanceClaim::Held || claim == InstanceClaim::Failed)
        return {true};
    // A lock we may not open is a copy above our level: it must not be taken for none, or
    // this start would run as a second full program.
    const bool elevated = claim == InstanceClaim::Denied;
    const int notDone = restore ? 1 : 0;   // a restore nobody carried out is a failure
    for (unsigned waited = 0; waited < kFindRunningCopyMs; waited += kPollMs) {
        if (Hwnd main = instance.RunningCopyWindow()) {
            switch (instance.Request(main, restore)) {
            case RequestAnswer::Taken: return {false, 0};
            case RequestAnswer::Blocked: return {false, notDone, true};
            case RequestAnswer::NoAnswer: return {false, notDone, elevated};
            }
        }
        // The copy may have ended meanwhile: this start is then the one.
        if (instance.Claim() == InstanceClaim::Held)
            return {true};
        instance.Pause(kPollMs);
    }
    // A copy holds the lock but shows no window: no rival, and nobody to hand over to.
    return {false, notDone, elevated};
}

int SendCommand(InstanceApi& instance, StartSwitch command)
{
    const InstanceClaim claim = instance.Claim();
    if (claim == InstanceClaim::Held)
        return kNoRunningCopy;
    for (unsigned waited = 0;; waited += kPollMs) {
        if (Hwnd main = instance.RunningCopyWindow()) {
            switch (instance.Command(main, CommandWord(command), kCommandWaitMs - waited, command == StartSwitch::Quit)) {
            case CommandAnswer::Done: return kCommandDone;
            case CommandAnswer::OtherLevel: return kNoRunningCopy;
            case CommandAnswer::NoAnswer: return kCommandNoAnswer;
            }
        }
        // Without a lock only a window can tell that a copy runs.
        if (claim == InstanceClaim::Failed || instance.Claim() == InstanceClaim::Held)
            return kNoRunningCopy;
        // A copy that has only just started makes its window within moments.
        if (waited + kPollMs >= kCommandWaitMs)
            return kCommandNoAnswer;
        instance.Pause(kPollMs);
    }
}

} // namespace tw
