// The sound of the programs whose windows we hide: the main window keeps the muter in step
// with the window list, and gives it the time it needs to hear from the audio thread.
#include "app/Unit1.h"

#include "platform/Win32Platform.h"

namespace tw {

namespace {
// The answers are taken soon after they come, so the sound goes within about 100 ms of the
// windows; new sessions of a silenced program are looked for once a second.
constexpr UINT kAudioAnswerMs = 30;
constexpr UINT kAudioLookMs = 1000;
} // namespace

void TFrmAmbler::CreateMuter()
{
    Muter = std::make_unique<TAudioMuter>(Win32Audio(), Record.get());
    Muter->AdoptRecorded();
}

void TFrmAmbler::SyncAudio() noexcept
{
    if (!Muter || !WindowList)
        return;
    try {
        Muter->Follow(Closing() ? std::vector<std::string>{}
                                : SilencedPrograms(*WindowList, Win32Audio(), MuteWhenHidden));
    } catch (...) {
        // The windows matter more than their sound: what could not be asked now is asked at
        // the next change or look.
    }
    ArmAudioTimers();
}

void TFrmAmbler::AudioTick(UINT_PTR timer)
{
    if (Muter && !Closing()) {
        Muter->TakeAnswers();
        if (timer == kAudioLookTimer)
            Muter->Look();
    }
    ArmAudioTimers();
}

void TFrmAmbler::UnmuteEverything(unsigned ms) noexcept
{
    try {
        if (Muter)
            Muter->UnmuteAll(ms);
    } catch (...) {
        // What was not given back stays in the record for the next start.
    }
}

void TFrmAmbler::ArmAudioTimers()
{
    const bool live = Muter && !Closing();
    if (live && Muter->Waiting())
        ::SetTimer(hwnd_, kAudioAnswerTimer, kAudioAnswerMs, nullptr);
    else
        ::KillTimer(hwnd_, kAudioAnswerTimer);
    // Started once, not again at each change: a busy user would keep putting the look off.
    const bool look = live && Muter->Watching();
    if (look && !audioLooking_)
        ::SetTimer(hwnd_, kAudioLookTimer, kAudioLookMs, nullptr);
    else if (!look && audioLooking_)
        ::KillTimer(hwnd_, kAudioLookTimer);
    audioLooking_ = look;
}

} // namespace tw
