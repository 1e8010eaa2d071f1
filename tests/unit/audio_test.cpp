// The sound of the programs whose windows we hide, against simulated audio sessions: what is
// muted, what is given back, and what the record keeps for a run that was killed.
#include "Fixtures.h"
#include "app/RestoreRecorded.h"
#include "record/uHiddenRecord.h"
#include "sim/SimAudio.h"
#include "windows/uAudioMuter.h"

#include <gtest/gtest.h>

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

    // Back: everything we muted plays again, the user's own mute stays, the record empties.
    list.FindByHandle(browser)->SetShown(true);
    Follow(muter, list);
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|12"}));
    EXPECT_EQ(SessionsOnDisk(), 0u);
    EXPECT_FALSE(muter.Watching());
}

TEST_F(AudioMuterTest, ASessionOfAProcessThatReplacedOursIsNeverTakenForOurs)
{
    list.FindByHandle(browser)->SetShown(false);
    Follow(muter, list);
    ASSERT_EQ(muter.MutedCount(), 2u);

    // Process 11 ends; a new one takes its id and so the session's identifier, plays, and is
    // a session of the hidden browser like any other.
    audio.Session("browser|11")->created = 2;
    audio.Session("browser|11")->muted = false;
    muter.Look();
    muter.TakeAnswers();
    muter.TakeAnswers();
    EXPECT_TRUE(audio.Session("browser|11")->muted);
    EXPECT_EQ(muter.MutedCount(), 2u);
    EXPECT_EQ(SessionsOnDisk(), 2u);

    // Killed now. Meanwhile process 10 ends and another program's process under its id is
    // muted by its user: the next start leaves that one alone and keeps the rest muted while
    // the browser's window stays hidden.
    audio.sessions.front() = {"browser|10", 10, 3, "C:\\Other\\other.exe", true};
    auto next = NextStart();
    TWindowList adopted{desk, next.get(), &desk};
    adopted.AdoptRecorded();
    TAudioMuter nextMuter{audio, next.get()};
    nextMuter.AdoptRecorded();
    Follow(nextMuter, adopted);
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|10", "browser|11", "browser|12"}));
    EXPECT_EQ(SessionsOnDisk(), 1u);

    // Killed again: "/restore" gives back the window and the sound.
    RestoreRecorded(*NextStart(), desk, desk);
    EXPECT_TRUE(desk.IsWindowVisible(browser));
    EXPECT_EQ(Muted(), (std::vector<std::string>{"browser|10", "browser|12"}));
    EXPECT_EQ(store.files[kRecordPath], "");
}

TEST_F(AudioMuterTest, AnAudioSystemThatCannotListOrAnswerMutesNothingAndKeepsTheRecord)
{
    // As under Wine 8: the sessions cannot be listed, so nothing is muted and nothing waits.
    audio.available = false;
    list.FindByHandle(browser)->SetShown(false);
    Follow(muter, list);
    EXPECT_EQ(muter.MutedCount(), 0u);
    EXPECT_FALSE(muter.Waiting());

    // Muted, then the audio system stops answering at the close: what it never confirmed
    // stays recorded for the next start.
    audio.available = true;
    muter.Look();
    muter.TakeAnswers();
    muter.TakeAnswers();
    ASSERT_EQ(muter.MutedCount(), 2u);
    audio.stuck = true;
    muter.UnmuteAll(100);
    EXPECT_EQ(SessionsOnDisk(), 2u);
}

} // namespace
} // namespace tw
