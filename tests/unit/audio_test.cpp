// The sound of the programs whose windows we hide, against simulated audio sessions: what is
// muted, what is given back, and what the record keeps for a run that was killed.
#include "Fixtures.h"
#include "app/RestoreRecorded.h"
#include "record/uHiddenRecord.h"
#include "sim/SimAudio.h"
#include "windows/uAudioMuter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tw {
namespace {

constexpr char kBrowser[] = "C:\\Program Files\\Browser\\browser.exe";

class AudioMuterTest : public WindowListFixture {
protected:
    sim::SimAudio audio;
    TAudioMuter muter{audio, &record};
    // The browser plays in its window's process (10) and in a child (11) whose path differs in
    // case; the user has muted a third one; the player is another program.
    Hwnd browser = desk.AddWindow("Video - Browser", true, "Chrome", 0, 10);
    Hwnd player = desk.AddWindow("Player", true, "Player", 0, 20);

    void SetUp() override
    {
        audio.Add("browser|10", 10, 1, kBrowser);
        audio.Add("browser|11", 11, 1, "c:\\program files\\browser\\BROWSER.EXE");
        audio.Add("browser|12", 12, 1, kBrowser, true);
        audio.Add("player|20", 20, 1, "C:\\Player\\player.exe");
        list.RefreshWindows(self);
        desk.audio = &audio;
    }

    // What the main window does after every hide and restore, the browser being marked.
    void Follow(TAudioMuter& m, TWindowList& l)
    {
        m.Follow(SilencedPrograms(l, audio, [](const std::string& exe) { return ProgramKey(exe) == ProgramKey(kBrowser); }));
        for (int hop = 0; hop < 3; ++hop)
            m.TakeAnswers();
    }

    std::vector<std::string> Muted()
    {
        std::vector<std::string> out;
        for (const AudioSession& s : audio.sessions)
            if (s.muted)
                out.push_back(s.id);
        std::sort(out.begin(), out.end());
        return out;
    }

    std::size_t SessionsOnDisk() { return NextStart()->Sessions().size(); }
};

TEST_F(AudioMuterTest, HidingMutesTheWholeProgramAfterTheWindowsAndRestoringGivesBackOnlyWhatWeMuted)
{
    // The window goes before the audio system is even asked, and every session is on disk
    // before it is muted.
    audio.held = true;
    list.FindByHandle(browser)->SetShown(false);
    list.FindByHandle(player)->SetShown(false);
    Follow(muter, list);
    EXPECT_FALSE(desk.IsWindowVisible(browser));
    EXPECT_TRUE(audio.log.empty());
    audio.Run();
    muter.TakeAnswers();
    EXPECT_EQ(SessionsOnDisk(), 2u);
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|12"}));
    audio.Run();
    muter.TakeAnswers();
    audio.held = false;
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|10", "browser|11", "browser|12"}));

    // While hidden: a session that starts is muted at the next look; one the user turns on
    // again is left on.
    audio.Add("browser|13", 13, 1, kBrowser);
    audio.Session("browser|11")->muted = false;
    EXPECT_TRUE(muter.Watching());
    muter.Look();
    muter.TakeAnswers();
    muter.TakeAnswers();
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|10", "browser|12", "browser|13"}));

    // The browser restarts while hidden: Windows starts its next session muted as ours
    // ended. Then the headset goes, and every session with it, the processes playing on.
    audio.End(10);
    audio.Start("browser|14", 14, 2, kBrowser);
    muter.Look();
    muter.TakeAnswers();
    audio.Unplug();
    muter.Look();
    muter.TakeAnswers();
    EXPECT_EQ(muter.MutedCount(), 2u) << "a session away with its device is ours still";

    // Back while unplugged: nothing can be given back yet, and the record keeps it all.
    list.FindByHandle(browser)->SetShown(true);
    Follow(muter, list);
    EXPECT_EQ(SessionsOnDisk(), 2u);
    EXPECT_TRUE(muter.Watching());

    // Meanwhile a new browser window plays on the speakers, and the user mutes it: the
    // program is still recorded for what is away with the headset, but that mute is theirs.
    audio.Start("browser|16", 16, 3, kBrowser, false);
    muter.Look();
    muter.TakeAnswers();
    audio.Session("browser|16")->muted = true;
    muter.Look();
    muter.TakeAnswers();

    // Plugged in again: everything we muted plays again, the restarted browser too, the
    // user's own mutes stay, and the record empties.
    audio.Replug();
    muter.Look();
    muter.TakeAnswers();
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|12", "browser|16"}));
    EXPECT_EQ(SessionsOnDisk(), 0u);
    EXPECT_TRUE(NextStart()->Programs().empty());
    EXPECT_FALSE(muter.Watching());
}

TEST_F(AudioMuterTest, ASessionOfAProcessThatReplacedOursIsNeverTakenForOurs)
{
    list.FindByHandle(browser)->SetShown(false);
    Follow(muter, list);
    ASSERT_EQ(muter.MutedCount(), 2u);

    // Process 11 ends; a new one takes its id and so the session's identifier, plays (its
    // stream opts out of the kept mute), and is a session of the hidden browser like any other.
    audio.End(11);
    audio.Start("browser|11", 11, 2, kBrowser, false);
    muter.Look();
    muter.TakeAnswers();
    muter.TakeAnswers();
    EXPECT_TRUE(audio.Session("browser|11")->muted);
    EXPECT_EQ(muter.MutedCount(), 2u);
    EXPECT_EQ(SessionsOnDisk(), 2u);

    // Killed now. Meanwhile that process ends too and another program's process under its
    // id is muted by its user: the next start leaves that one alone and keeps the rest muted
    // while the browser's window stays hidden.
    audio.End(11);
    audio.Add("browser|11", 11, 3, "C:\\Other\\other.exe", true);
    auto next = NextStart();
    TWindowList adopted{desk, next.get(), &desk};
    adopted.AdoptRecorded();
    TAudioMuter nextMuter{audio, next.get()};
    nextMuter.AdoptRecorded();
    Follow(nextMuter, adopted);
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|10", "browser|11", "browser|12"}));
    EXPECT_EQ(SessionsOnDisk(), 1u);

    // Killed again, and a new child of the browser starts muted, as Windows kept the mute of
    // the one that ended: "/restore" gives back the window and the sound, the new child's too.
    audio.Start("browser|15", 15, 4, kBrowser);
    RestoreRecorded(*NextStart(), desk, desk);
    EXPECT_TRUE(desk.IsWindowVisible(browser));
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|11", "browser|12"}));
    EXPECT_EQ(store.files[kRecordPath], "");
}

TEST_F(AudioMuterTest, NothingIsMutedThatTheRecordDoesNotHoldNorGivenUpThatWasNotConfirmed)
{
    // As under Wine 8: the sessions cannot be listed, so nothing is muted and nothing waits.
    audio.available = false;
    list.FindByHandle(browser)->SetShown(false);
    Follow(muter, list);
    EXPECT_EQ(muter.MutedCount(), 0u);
    EXPECT_FALSE(muter.Waiting());

    // Listed, but the record is held open by another program: a kill now would leave the
    // sound off with nothing to give it back, so it stays on until the record takes it.
    audio.available = true;
    store.locked.insert(kRecordPath);
    muter.Look();
    muter.TakeAnswers();
    EXPECT_EQ(muter.MutedCount(), 0u);
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|12"}));
    store.locked.clear();
    muter.Look();
    muter.TakeAnswers();
    ASSERT_EQ(muter.MutedCount(), 2u);
    EXPECT_EQ(SessionsOnDisk(), 2u);

    // The audio system stops answering at the close: what it never confirmed stays recorded
    // for the next start.
    audio.stuck = true;
    muter.UnmuteAll(100);
    EXPECT_EQ(SessionsOnDisk(), 2u);
}

} // namespace
} // namespace tw
