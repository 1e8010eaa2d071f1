// Whether a start goes on as the one copy of the session, or hands over to the copy that
// runs already: two copies would fight over the hot keys and the settings file, and each
// would give back at its close what the other still keeps hidden, overwriting the other's
// record of it.
#pragma once

#include "app/Commands.h"
#include "platform/Platform.h"

namespace tw {

struct StartVerdict {
    bool run = false;            // go on as the one copy
    int exitCode = 0;            // otherwise end at once, touching no file, with this code
    bool tellElevated = false;   // after saying once that the copy runs as administrator
};

// A copy that runs is asked to come to the front, or with `restore` to give back what it
// hid. A start that cannot reach it (above its integrity level) never runs beside it.
StartVerdict DecideStart(InstanceApi& instance, bool restore);

// A command start: hands `command` to the copy that runs, waiting at most 5 s in all for its
// window and its answer (for Quit, until it has ended), and says how that went as the start's
// exit code. It never runs as the copy, and starts nothing when none runs.
int SendCommand(InstanceApi& instance, StartSwitch command);

} // namespace tw
