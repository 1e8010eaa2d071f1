// The capture box, and the program's global hot keys and boss keys against a simulated
// system (atoms, registrations) and desktop.
#include "hotkeys/uGlobalHotKeys.h"
#include "hotkeys/uHideTriggers.h"
#include "hotkeys/uHotKeyBox.h"
#include "sim/SimDesktop.h"
#include "sim/SimHotKeys.h"
#include "sim/SimProfile.h"
#include "windows/uWindowsHider.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace tw {
namespace {

// An edit as the box sees it, with what the user would see in it.
class FakeEdit : public HotKeyEdit {
public:
    std::string text;
    bool visible = true;
    int inUseReports = 0;

    std::string GetText() const override { return text; }
    void SetText(const std::string& t) override { text = t; }
    bool IsVisible() const override { return visible; }
    void ReportInUse() override { ++inUseReports; }
};

constexpr std::uint16_t kF5 = 0x74;
constexpr std::uint16_t kSpace = 0x20;
constexpr std::uint16_t kLeft = 0x25;
constexpr std::uint16_t kNumpad1 = 0x61;
constexpr std::uint16_t kF1 = 0x70;
constexpr std::uint16_t kCapsLock = 20;

class CaptureBox : public ::testing::Test {
protected:
    CaptureBox()
    {
        auto owned = std::make_unique<FakeEdit>();
        edit = owned.get();
        box = std::make_unique<THotKeyBox>(std::move(owned));
        box->OnHotKey = [this](const std::string& text, std::uint16_t modifier, std::uint16_t key) {
            hotKeys.emplace_back(text, modifier, key);
        };
        box->OnClear = [this] { ++clears; };
    }

    // One key stroke: down, then up.
    void Tap(std::uint16_t vk)
    {
        box->KeyDown(vk);
        box->KeyUp(vk);
    }

    FakeEdit* edit = nullptr;
    std::unique_ptr<THotKeyBox> box;
    std::vector<std::tuple<std::string, std::uint16_t, std::uint16_t>> hotKeys;
    int clears = 0;
};

using Captured = std::tuple<std::string, std::uint16_t, std::uint16_t>;

TEST_F(CaptureBox, ModifierThenLetterCompletesOnce)
{
    box->KeyDown(kVkAlt);
    EXPECT_EQ(edit->text, "Alt + ");
    box->KeyDown('X');
    EXPECT_EQ(edit->text, "Alt + X");
    box->KeyUp('X');
    box->KeyUp(kVkAlt);
    EXPECT_THAT(hotKeys, ::testing::ElementsAre(Captured{"Alt + X", 18, 88}));
    EXPECT_EQ(box->PendingModifier(), "");
}

TEST_F(CaptureBox, HeldModifierTakesAnotherLetterAndEveryRepeat)
{
    box->KeyDown(kVkAlt);
    box->KeyDown('X');
    box->KeyDown('X');   // auto-repeat
    box->KeyUp('X');
    Tap('H');
    EXPECT_EQ(edit->text, "Alt + H");
    EXPECT_THAT(hotKeys, ::testing::ElementsAre(Captured{"Alt + X", 18, 88}, Captured{"Alt + X", 18, 88},
                                                Captured{"Alt + H", 18, 72}));
}

TEST_F(CaptureBox, FirstModifierWinsUntilReleased)
{
    box->KeyDown(kVkControl);
    box->KeyDown(kVkAlt);
    box->KeyDown('5');
    EXPECT_EQ(edit->text, "Ctrl + 5");
    EXPECT_THAT(hotKeys, ::testing::ElementsAre(Captured{"Ctrl + 5", 17, 53}));
}

TEST_F(CaptureBox, ReleasingAnyModifierDropsThePendingOne)
{
    box->KeyDown(kVkControl);
    Tap(kVkShift);
    box->KeyDown('Q');   // Ctrl is still held, but no longer pending
    EXPECT_EQ(edit->text, "Ctrl + ");
    EXPECT_TRUE(hotKeys.empty());

    // Alt held, the focus goes to another window (where Alt is released), then comes back
    // and X is typed: Alt is not held any more, so no "Alt + X".
    box->KeyDown(kVkAlt);
    box->FocusLost();
    box->KeyDown('X');
    EXPECT_EQ(edit->text, "Alt + ");
    EXPECT_TRUE(hotKeys.empty());
}

TEST_F(CaptureBox, LetterAloneChangesNothing)
{
    edit->text = "Alt + Q";
    Tap('X');
    Tap('7');
    EXPECT_EQ(edit->text, "Alt + Q");
    EXPECT_TRUE(hotKeys.empty());
}

TEST_F(CaptureBox, ModifierAloneLeavesIncompleteTextAndNoEvent)
{
    edit->text = "Ctrl + Q";
    Tap(kVkAlt);
    EXPECT_EQ(edit->text, "Alt + ");
    EXPECT_TRUE(hotKeys.empty());
    EXPECT_EQ(clears, 0);
}

TEST_F(CaptureBox, KeysWithoutTextEmptyTheEditWhenNothingIsPending)
{
    for (std::uint16_t vk : {kF5, kSpace, kLeft, kNumpad1, kCapsLock}) {
        edit->text = "Alt + Q";
        Tap(vk);
        EXPECT_EQ(edit->text, "") << vk;
        EXPECT_EQ(box->PendingModifier(), "") << vk;
    }
    EXPECT_TRUE(hotKeys.empty());
}

TEST_F(CaptureBox, KeysWithoutTextAreIgnoredWhileAModifierIsPending)
{
    box->KeyDown(kVkShift);
    for (std::uint16_t vk : {kF5, kSpace, kLeft, kNumpad1})
        Tap(vk);
    EXPECT_EQ(edit->text, "Shift + ");
    box->KeyDown('9');
    box->KeyDown('0');
    EXPECT_THAT(hotKeys, ::testing::ElementsAre(Captured{"Shift + 9", 16, 57}, Captured{"Shift + 0", 16, 48}));
}

TEST_F(CaptureBox, BackspaceAndDeleteClearAlwaysAndDropThePendingModifier)
{
    edit->text = "Alt + Q";
    box->KeyDown(kVkAlt);
    box->KeyDown(kVkBack);   // with Alt held
    EXPECT_EQ(edit->text, "");
    EXPECT_EQ(box->PendingModifier(), "");
    box->KeyDown('Q');       // Alt still held, but the clear ended the combination
    EXPECT_TRUE(hotKeys.empty());
    Tap(kVkDelete);          // already empty: clears again
    EXPECT_EQ(clears, 2);
}

TEST_F(CaptureBox, CheckInUseReportsOnlyWhileTheEditIsVisible)
{
    box->KeyDown(kVkAlt);
    edit->visible = false;
    box->CheckInUse();
    EXPECT_EQ(edit->inUseReports, 0);
    EXPECT_EQ(box->PendingModifier(), "Alt + ");

    edit->visible = true;
    box->CheckInUse();
    EXPECT_EQ(edit->inUseReports, 1);
    EXPECT_EQ(box->PendingModifier(), "");
    EXPECT_EQ(edit->text, "Alt + ");   // the edit keeps its text
    box->KeyDown('X');
    EXPECT_TRUE(hotKeys.empty());
}

TEST_F(CaptureBox, UnboundEventsAreSkipped)
{
    box->OnHotKey = nullptr;
    box->OnClear = nullptr;
    box->KeyDown(kVkAlt);
    box->KeyDown('X');
    box->KeyDown(kVkBack);
    EXPECT_EQ(edit->text, "");
}

TEST(HotKeyText, NeedsBothAModifierAndAKeyWithText)
{
    EXPECT_EQ(THotKeyBox::HotKeyText(18, 88), "Alt + X");
    EXPECT_EQ(THotKeyBox::HotKeyText(17, 48), "Ctrl + 0");
    EXPECT_EQ(THotKeyBox::HotKeyText(16, 90), "Shift + Z");
    EXPECT_EQ(THotKeyBox::HotKeyText(0, 0), "");
    EXPECT_EQ(THotKeyBox::HotKeyText(18, kF1), "");
    EXPECT_EQ(THotKeyBox::HotKeyText(20, 65), "");
    EXPECT_EQ(THotKeyBox::HotKeyText(18, 'a'), "");   // 97 is the keypad's 1, not a letter
    EXPECT_EQ(THotKeyBox::KeyText('@'), "");
    EXPECT_EQ(THotKeyBox::KeyText('['), "");
}

// -----------------------------------------------------------------------------------------
// Global hot keys and boss keys.

constexpr unsigned kModAlt = 1;
constexpr unsigned kModControl = 2;
constexpr unsigned kModShift = 4;
constexpr unsigned kModNoRepeat = 0x4000;

class GlobalHotKeys : public ::testing::Test {
protected:
    const Hwnd owner = 0x4242;
    sim::SimHotKeys system;
    sim::SimDesktop desktop;
    sim::SimProfile profile;
    TIniFileMgr ini{profile};
    TWindowList windows{desktop};
    ProgramHotKeyIds ids{};
    std::uint16_t &selfId = ids[0], &hideId = ids[1], &showId = ids[2], &frontId = ids[3];
    TGlobalHotKeys hotKeys{system, owner, windows, ids};

    void Store(const char* key, const char* value) { profile.Contents(ini.Path())["system"][key] = value; }

    // What the system does with a key press: the id it reports, if the combination is ours.
    std::optional<std::uint16_t> Press(unsigned modifiers, unsigned vk)
    {
        auto k = system.Press(modifiers, vk);
        if (!k || k->owner != owner)
            return std::nullopt;
        return static_cast<std::uint16_t>(k->id);
    }

    // The press as the main window acts on it, for boss keys.
    void PressAndToggle(unsigned modifiers, unsigned vk)
    {
        auto id = Press(modifiers, vk);
        ASSERT_TRUE(id);
        ASSERT_EQ(hotKeys.Dispatch(*id), HotKeyAction::ToggleWindows);
        windows.ToggleByHotKey(*id);
    }

    TWindow& AddWindow(const std::string& title) { return windows.AddWindow(desktop.AddWindow(title), title, ""); }
};

TEST_F(GlobalHotKeys, WithoutSettingsTheDefaultsAreRegistered)
{
    EXPECT_EQ(hotKeys.RegisterHotKeys(ini), "Alt + X");
    EXPECT_EQ(Press(kModAlt, 'X'), selfId);
    EXPECT_EQ(Press(kModAlt, 'H'), hideId);
    EXPECT_EQ(Press(kModAlt, 'R'), showId);
    EXPECT_EQ(selfId, system.AtomOf("MyHotKey_Alt + X") - 0xC000);
    EXPECT_EQ(hotKeys.Dispatch(selfId), HotKeyAction::ToggleSelf);
    EXPECT_EQ(hotKeys.Dispatch(hideId), HotKeyAction::HideChecked);
    EXPECT_EQ(hotKeys.Dispatch(showId), HotKeyAction::ShowChecked);
    EXPECT_EQ(frontId, 0);   // the key for the window in front has no default
    EXPECT_EQ(system.RegisteredOn(owner).size(), 3u);
    EXPECT_FALSE(profile.Exists(ini.Path()));   // reading writes no defaults back

    Store("HideActiveHelp", "17");
    Store("HideActiveWord", "66");
    hotKeys.RegisterHotKeys(ini);
    EXPECT_EQ(Press(kModControl, 'B'), frontId);
    EXPECT_EQ(hotKeys.Dispatch(frontId), HotKeyAction::HideFront);
}

// The screen corner and the idle timer are judged from readings handed in, at any moment.
TEST(HideTriggers, ACornerHidesOncePerVisitAfterARestAndAPassThroughOrAnotherCornerNever)
{
    constexpr int w = 1920, h = 1080;
    THotCorner corner;
    EXPECT_FALSE(corner.Look(0, 0, w, h, 0));   // none chosen
    corner.SetCorner(ScreenCorner::BottomRight);
    EXPECT_FALSE(corner.Look(w - 1, h - 1, w, h, 1000));
    EXPECT_FALSE(corner.Look(w - 1, h - 1, w, h, 1149));
    EXPECT_TRUE(corner.Look(w - 1, h - 1, w, h, 1150));
    EXPECT_FALSE(corner.Look(w - 1, h - 1, w, h, 5000));   // still the same visit
    EXPECT_FALSE(corner.Look(w - 2, h - 1, w, h, 5050));   // a pixel off is away
    EXPECT_FALSE(corner.Look(w - 1, h - 1, w, h, 5100));
    EXPECT_FALSE(corner.Look(w - 5, h - 9, w, h, 5200));   // passed through
    EXPECT_FALSE(corner.Look(w - 1, h - 1, w, h, 5300));
    EXPECT_FALSE(corner.Look(0, h - 1, w, h, 5400));       // another corner
    EXPECT_FALSE(corner.Look(0, h - 1, w, h, 9000));
    EXPECT_FALSE(corner.Look(w - 1, h - 1, w, h, 0xFFFFFFF0u));
    EXPECT_TRUE(corner.Look(w - 1, h - 1, w, h, 0x90u));   // the tick wrapped meanwhile

    TIdleTimer idle;
    EXPECT_FALSE(idle.Look(0, 99999999));   // off
    idle.SetMinutes(1);
    EXPECT_FALSE(idle.Look(1000, 60999));
    EXPECT_TRUE(idle.Look(1000, 61000));
    EXPECT_FALSE(idle.Look(1000, 9000000));   // the same spell hides once
    EXPECT_FALSE(idle.Look(9000500, 9060000));
    EXPECT_TRUE(idle.Look(9000500, 9060500));
    idle.SetMinutes(1000);
    EXPECT_EQ(idle.Minutes(), 0);
}

TEST_F(GlobalHotKeys, CornerAndIdleSettingsOutOfRangeReadAsOff)
{
    EXPECT_EQ(ReadHotCorner(ini), ScreenCorner::None);
    EXPECT_EQ(ReadIdleMinutes(ini), 0);
    Store("HotCorner", "4");
    Store("IdleMinutes", "999");
    EXPECT_EQ(ReadHotCorner(ini), ScreenCorner::BottomRight);
    EXPECT_EQ(ReadIdleMinutes(ini), 999);
    Store("HotCorner", "5");
    Store("IdleMinutes", "-1");
    EXPECT_EQ(ReadHotCorner(ini), ScreenCorner::None);
    EXPECT_EQ(ReadIdleMinutes(ini), 0);
    Store("IdleMinutes", "1000");
    EXPECT_EQ(ReadIdleMinutes(ini), 0);
}

TEST_F(GlobalHotKeys, ClearedSelfHotKeyRegistersNothing)
{
    Store("HideAllHelp", "0");
    Store("HideAllWord", "0");
    EXPECT_EQ(hotKeys.RegisterHotKeys(ini), "");
    EXPECT_EQ(selfId, 0);
    EXPECT_FALSE(Press(kModAlt, 'X'));
    EXPECT_EQ(system.RegisteredOn(owner).size(), 2u);
}

TEST_F(GlobalHotKeys, StoredCtrlNineIsRegisteredWithControlFlag)
{
    Store("HideAllHelp", "17");
    Store("HideAllWord", "57");
    // Held down, a combination acts once: program hot keys and boss keys alike.
    EXPECT_EQ(hotKeys.RegisterHotKeys(ini), "Ctrl + 9");
    auto k = system.RegisteredOn(owner).at(selfId);
    EXPECT_EQ(k.modifiers, kModControl | kModNoRepeat);
    EXPECT_EQ(k.vk, 57u);
    hotKeys.SetWindowBossKey(AddWindow("Mail"), "Alt + Q", kVkAlt, 'Q');
    EXPECT_EQ(system.Press(kModAlt, 'Q')->modifiers, kModAlt | kModNoRepeat);
    // A press of a boss key reaches the editor as the flags alone (WM_HOTKEY leaves out
    // the no-repeat flag), and must lead back to the modifier key the user held.
    hotKeys.SetWindowBossKey(AddWindow("Notes"), "Shift + W", kVkShift, 'W');
    auto shifted = system.Press(kModShift, 'W');
    ASSERT_TRUE(shifted);
    EXPECT_EQ(shifted->modifiers, kModShift | kModNoRepeat);
    EXPECT_EQ(ModifierKey(shifted->modifiers & ~kModNoRepeat), kVkShift);
    EXPECT_EQ(ModifierKey(kModAlt | kModControl), 0);   // a boss key never has two
}

TEST_F(GlobalHotKeys, InvalidStoredPairRegistersNothing)
{
    Store("HideWord", "112");    // F1: no key text
    Store("ShowHelp", "20");     // not a modifier
    hotKeys.RegisterHotKeys(ini);
    EXPECT_EQ(hideId, 0);
    EXPECT_EQ(showId, 0);
    EXPECT_EQ(system.RegisteredOn(owner).size(), 1u);
}

TEST_F(GlobalHotKeys, ReRegisteringReplacesTheOldCombination)
{
    hotKeys.RegisterHotKeys(ini);
    Store("HideHelp", "17");
    Store("HideWord", "81");
    hotKeys.RegisterHotKeys(ini);
    EXPECT_FALSE(Press(kModAlt, 'H'));
    EXPECT_EQ(Press(kModControl, 'Q'), hideId);
    EXPECT_EQ(hotKeys.Dispatch(hideId), HotKeyAction::HideChecked);
    EXPECT_EQ(system.RegisteredOn(owner).size(), 3u);
}

TEST_F(GlobalHotKeys, SameCombinationForTwoProgramHotKeysActsAsTheFirst)
{
    Store("HideHelp", "18");
    Store("HideWord", "88");
    hotKeys.RegisterHotKeys(ini);
    EXPECT_EQ(selfId, hideId);
    EXPECT_EQ(hotKeys.Dispatch(*Press(kModAlt, 'X')), HotKeyAction::ToggleSelf);
    hotKeys.RegisterHotKeys(ini);   // re-registering keeps the shared combination alive
    EXPECT_TRUE(Press(kModAlt, 'X'));
}

TEST_F(GlobalHotKeys, EqualTextsShareOneIdAndOneAtomReference)
{
    auto a = hotKeys.RegisterNamedHotKey("Alt + Q", kVkAlt, 'Q');
    auto b = hotKeys.RegisterNamedHotKey("Alt + Q", kVkAlt, 'Q');
    auto c = hotKeys.RegisterNamedHotKey("Ctrl + Q", kVkControl, 'Q');
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(system.References(system.AtomOf("MyHotKey_Alt + Q")), 1);
}

TEST_F(GlobalHotKeys, IdsStayBelowTheApplicationLimitForEveryStringAtom)
{
    system.nextAtom = 0xFFFF;
    auto id = hotKeys.RegisterNamedHotKey("Alt + B", kVkAlt, 'B');
    EXPECT_EQ(id, 0x3FFF);
    EXPECT_TRUE(Press(kModAlt, 'B'));   // the system accepted the id
}

TEST_F(GlobalHotKeys, TheFirstStringAtomGetsAnIdThatIsNotNone)
{
    // Id 0 is "none" to the program's fields and to every entry: a boss key under it would
    // answer as the cleared show/hide-self hot key, and could never be cleared.
    Store("HideAllHelp", "0");
    Store("HideAllWord", "0");
    hotKeys.RegisterHotKeys(ini);
    ASSERT_EQ(selfId, 0);
    system.nextAtom = 0xC000;
    TWindow& mail = AddWindow("Mail");
    hotKeys.SetWindowBossKey(mail, "Alt + A", kVkAlt, 'A');
    EXPECT_EQ(mail.HotKeyId, 0x4000);
    EXPECT_EQ(Press(kModAlt, 'A'), mail.HotKeyId);
    EXPECT_EQ(hotKeys.Dispatch(mail.HotKeyId), HotKeyAction::ToggleWindows);
    EXPECT_EQ(hotKeys.RegisterNamedHotKey("Alt + A", kVkAlt, 'A'), 0x4000) << "equal texts, equal ids";
    hotKeys.ClearWindowBossKey(mail);
    EXPECT_FALSE(Press(kModAlt, 'A')) << "the boss key could not be cleared";
    // A WM_HOTKEY with id 0 (only a stranger can post one) is no hot key of ours: not the
    // unset show/hide-self one, and not the "boss key" of every window that has none.
    EXPECT_EQ(hotKeys.Dispatch(0), HotKeyAction::ToggleWindows);
    windows.ToggleByHotKey(0);
    EXPECT_TRUE(mail.IsVisible());
    for (std::uint16_t atom : {std::uint16_t{0xC000}, std::uint16_t{0xC001}, std::uint16_t{0xFFFF}})
        EXPECT_NE(HotKeyIdOfAtom(atom), 0);
    EXPECT_EQ(HotKeyIdOfAtom(0xC001), 0x0001);
    EXPECT_EQ(HotKeyIdOfAtom(0xBFFF), 0) << "not a string atom";
}

TEST_F(GlobalHotKeys, CombinationHeldByAnotherProgramKeepsItsIdQuietly)
{
    system.HoldElsewhere(kModAlt, 'H');
    hotKeys.RegisterHotKeys(ini);
    EXPECT_NE(hideId, 0);
    EXPECT_FALSE(Press(kModAlt, 'H'));
}

TEST_F(GlobalHotKeys, NoAtomNoRegistration)
{
    system.failAtoms = true;
    EXPECT_EQ(hotKeys.RegisterNamedHotKey("Alt + Q", kVkAlt, 'Q'), 0);
    EXPECT_TRUE(system.RegisteredOn(owner).empty());
}

TEST_F(GlobalHotKeys, BossKeyTogglesItsWindowAndANewOneReplacesIt)
{
    TWindow& w = AddWindow("Notes");
    hotKeys.SetWindowBossKey(w, "Ctrl + Q", kVkControl, 'Q');
    EXPECT_EQ(w.BossKeyText, "Ctrl + Q");
    EXPECT_EQ(w.Modifier, 17);
    EXPECT_EQ(w.Key, 'Q');
    PressAndToggle(kModControl, 'Q');
    EXPECT_FALSE(w.IsVisible());
    PressAndToggle(kModControl, 'Q');
    EXPECT_TRUE(w.IsVisible());

    hotKeys.SetWindowBossKey(w, "Alt + 1", kVkAlt, '1');
    EXPECT_FALSE(Press(kModControl, 'Q'));
    EXPECT_EQ(Press(kModAlt, '1'), w.HotKeyId);
}

TEST_F(GlobalHotKeys, TwoWindowsWithOneBossKeyToggleTogetherUntilOneIsCleared)
{
    TWindow& a = AddWindow("A");
    TWindow& b = AddWindow("B");
    hotKeys.SetWindowBossKey(a, "Alt + Q", kVkAlt, 'Q');
    hotKeys.SetWindowBossKey(b, "Alt + Q", kVkAlt, 'Q');
    EXPECT_EQ(a.HotKeyId, b.HotKeyId);
    PressAndToggle(kModAlt, 'Q');
    EXPECT_FALSE(a.IsVisible());
    EXPECT_FALSE(b.IsVisible());
    PressAndToggle(kModAlt, 'Q');

    // Cleared for one of them, the key goes on working for the other.
    hotKeys.ClearWindowBossKey(a);
    EXPECT_EQ(a.BossKeyText, "");
    EXPECT_EQ(a.HotKeyId, 0);
    EXPECT_EQ(a.Key, 0);
    PressAndToggle(kModAlt, 'Q');
    EXPECT_TRUE(a.IsVisible());
    EXPECT_FALSE(b.IsVisible());

    hotKeys.ClearWindowBossKey(b);   // the last holder: now it goes
    EXPECT_FALSE(Press(kModAlt, 'Q'));
}

TEST_F(GlobalHotKeys, BossKeyEqualToAProgramHotKeyYieldsToItAndNeverTakesItAway)
{
    hotKeys.RegisterHotKeys(ini);
    TWindow& w = AddWindow("Notes");
    hotKeys.SetWindowBossKey(w, "Alt + H", kVkAlt, 'H');
    EXPECT_EQ(hotKeys.Dispatch(*Press(kModAlt, 'H')), HotKeyAction::HideChecked);

    Store("HideHelp", "17");
    Store("HideWord", "81");
    hotKeys.RegisterHotKeys(ini);
    PressAndToggle(kModAlt, 'H');   // the entry still shows Alt + H, and Alt + H still works
    EXPECT_FALSE(w.IsVisible());

    // Cleared, a boss key equal to a program hot key leaves that hot key working.
    hotKeys.SetWindowBossKey(w, "Alt + R", kVkAlt, 'R');
    hotKeys.ClearWindowBossKey(w);
    EXPECT_EQ(Press(kModAlt, 'R'), showId);
}

TEST_F(GlobalHotKeys, BossKeyOfAClosedWindowIsWithdrawnAtTheRefreshThatDropsIt)
{
    hotKeys.RegisterHotKeys(ini);
    TWindow& w = AddWindow("Gone");
    TWindow& sharer = AddWindow("Sharer");
    hotKeys.SetWindowBossKey(w, "Alt + G", kVkAlt, 'G');
    hotKeys.SetWindowBossKey(sharer, "Alt + K", kVkAlt, 'K');
    TWindow& alone = AddWindow("Alone");
    hotKeys.SetWindowBossKey(alone, "Alt + K", kVkAlt, 'K');
    const int atomsBefore = system.LiveAtoms();
    desktop.DestroyWindow(w.Handle);
    desktop.DestroyWindow(alone.Handle);
    windows.RefreshWindows(owner);
    hotKeys.ReleaseUnused();
    ASSERT_EQ(windows.Count(), 1);

    // Free again for any program, and no atom left behind; a combination another window
    // still has, and the program's own, keep working.
    EXPECT_FALSE(Press(kModAlt, 'G'));
    EXPECT_EQ(system.AtomOf("MyHotKey_Alt + G"), 0);
    EXPECT_EQ(system.LiveAtoms(), atomsBefore - 1);
    PressAndToggle(kModAlt, 'K');
    EXPECT_FALSE(sharer.IsVisible());
    EXPECT_EQ(Press(kModAlt, 'H'), hideId);

    TWindow& next = AddWindow("Next");
    hotKeys.SetWindowBossKey(next, "Alt + G", kVkAlt, 'G');
    PressAndToggle(kModAlt, 'G');
    EXPECT_FALSE(next.IsVisible());
}

TEST_F(GlobalHotKeys, ReleaseAllWithdrawsEveryRegistrationAndAtomReference)
{
    hotKeys.RegisterHotKeys(ini);
    TWindow& a = AddWindow("A");
    hotKeys.SetWindowBossKey(a, "Alt + Q", kVkAlt, 'Q');
    hotKeys.SetWindowBossKey(a, "Alt + W", kVkAlt, 'W');
    hotKeys.RegisterHotKeys(ini);
    hotKeys.ReleaseAll();
    EXPECT_TRUE(system.RegisteredOn(owner).empty());
    EXPECT_EQ(system.LiveAtoms(), 0);
}

} // namespace
} // namespace tw
