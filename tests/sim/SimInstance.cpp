#include "sim/SimInstance.h"

#include <algorithm>

namespace tw::sim {

InstanceClaim SimInstance::Claim()
{
    if (held)
        return InstanceClaim::Held;
    if (!lockable)
        return InstanceClaim::Failed;
    if (!running) {
        held = true;
        return InstanceClaim::Held;
    }
    return lockOpen ? InstanceClaim::Taken : InstanceClaim::Denied;
}

Hwnd SimInstance::RunningCopyWindow()
{
    ++looks;
    if (endsAfterLooks >= 0 && looks > endsAfterLooks)
        running = false;
    return running && looks > windowAfterLooks ? window : 0;
}

RequestAnswer SimInstance::Request(Hwnd main, bool restore)
{
    if (!running || main != window || hung)
        return RequestAnswer::NoAnswer;
    if (elevated && !letsRequestsIn)
        return RequestAnswer::Blocked;
    requests.push_back(restore ? "restore" : "show");
    return RequestAnswer::Taken;
}

CommandAnswer SimInstance::Command(Hwnd main, std::string_view word, unsigned ms, bool untilEnded)
{
    if (!running || main != window)
        return CommandAnswer::NoAnswer;
    // The system lets a copy above us drop what we send, and we send nothing below us.
    if (otherLevel || elevated)
        return CommandAnswer::OtherLevel;
    commandWaitMs = std::max(commandWaitMs, ms);
    if (hung)
        return CommandAnswer::NoAnswer;
    commands.emplace_back(word);
    if (untilEnded && staysOnQuit)
        return CommandAnswer::NoAnswer;
    if (untilEnded)
        running = false;
    return CommandAnswer::Done;
}

} // namespace tw::sim
