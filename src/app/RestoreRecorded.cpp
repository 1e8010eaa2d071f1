#include "app/RestoreRecorded.h"

#include "record/uHiddenRecord.h"
#include "tray/uTrayIconHider.h"
#include "windows/uAudioMuter.h"
#include "windows/uWindowsHider.h"

namespace tw {

void RestoreRecorded(THiddenRecord& record, WindowApi& windows, ProcessApi& processes, RegistryApi* registry)
{
    // The same lists a running program keeps, filled from the record alone: what they adopt
    // passed every identity check, and giving it back removes it from the record.
    TWindowList windowList(windows, &record);
    windowList.AdoptRecorded();
    windowList.RestoreHidden();
    // A window leaves the record only once it is seen back; one that is not stays there
    // for the next attempt.
    constexpr int kLooks = 20;
    constexpr unsigned kLookMs = 100;
    for (int look = 0; look < kLooks && windowList.HasPendingRestores(); ++look) {
        record.Pause(kLookMs);
        windowList.SettleRestores(false);
    }
    TTrayIconList trayList(windows, processes, &record, registry);
    trayList.AdoptRecorded();
    trayList.ShowHidden();
    // The sound comes back with the windows, that of a muted program's later processes too;
    // what the audio system has not confirmed within the wait stays in the record for the
    // next start.
    constexpr unsigned kAudioWaitMs = 2000;
    AudioApi* audio = processes.Audio();
    if (audio && (!record.Sessions().empty() || !record.Programs().empty())) {
        TAudioMuter muter(*audio, &record);
        muter.AdoptRecorded();
        muter.UnmuteAll(kAudioWaitMs);
    }
}

} // namespace tw
