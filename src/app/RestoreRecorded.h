// "Tarnwick.exe /restore", and the first thing a start does after a run that never gave back
// what it hid: the record of that run is put back together with the lists a running program
// keeps, each entry checked to be still what was recorded.
#pragma once

#include "platform/Platform.h"

namespace tw {

class THiddenRecord;

// Gives back every window and icon of the record that is still the one recorded and still
// hidden, puts back every recorded setting, gives back the sound of the sessions it muted and
// of the programs it muted (but for what their user had muted), and empties the record of
// them. The settings of the record are put back through `registry` when given. A window
// whose restore does not show within about two seconds stays in the record.
void RestoreRecorded(THiddenRecord& record, WindowApi& windows, ProcessApi& processes,
                     RegistryApi* registry = nullptr);

} // namespace tw
