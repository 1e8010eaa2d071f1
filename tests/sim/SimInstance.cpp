#include "sim/SimInstance.h"

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

} // namespace tw::sim
