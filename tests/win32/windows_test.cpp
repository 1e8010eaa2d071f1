// The window list and the Win32 calls beneath it, against real top-level windows of another
// process: what the window manager really reports for titles, Z order, visibility and
// minimised windows, and what ShowWindow really does to someone else's window.
#include "platform/Win32Platform.h"
#include "platform/ui/Text.h"
#include "windows/uWindowsHider.h"
#include "sim/ForwardingWindows.h"

#include "E2e.h"
#include "TargetWindows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace tw {
namespace {

using namespace tw::e2e;

Hwnd N(HWND h) { return reinterpret_cast<Hwnd>(h); }

BOOL CALLBACK CollectWindow(HWND w, LPARAM out)
{
    reinterpret_cast<std::vector<Hwnd>*>(out)->push_back(N(w));
    return TRUE;
}

// Every top-level window, topmost first, as EnumWindows reports the Z order.
std::vector<Hwnd> ZOrder()
{
    std::vector<Hwnd> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

// The real window calls, with every ShowWindow written down: proof of what was (not) done.
class RecordingWindows final : public sim::ForwardingWindows {
public:
    RecordingWindows() : ForwardingWindows(Win32Windows()) {}
    std::vector<std::pair<Hwnd, ShowCmd>> shows;

    bool ShowWindowAsync(Hwnd w, ShowCmd cmd) override
    {
        shows.emplace_back(w, cmd);
        return ForwardingWindows::ShowWindowAsync(w, cmd);
    }
    int ShowsOf(Hwnd w) const
    {
        return static_cast<int>(std::count_if(shows.begin(), shows.end(), [w](const auto& s) { return s.first == w; }));
    }
};

// One helper process serves the whole suite (a Wine process costs about a second); each
// test closes the windows it made.
class RealWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        targets_ = new TargetWindows;
        started_ = targets_->Start(HelperExe(L"target_windows"));
    }
    static void TearDownTestSuite()
    {
        targets_->Stop();
        delete targets_;
        targets_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << "the target-windows helper did not start";
        own_ = Make(L"Tw stands for the program's own window");
    }
    void TearDown() override
    {
        for (HWND w : made_)
            if (IsWindow(w))
                TargetWindows::Destroy(w);
    }

    HWND Make(std::wstring_view title, target::Command how = target::kCreateShown)
    {
        HWND w = targets_->Create(title, how);
        if (w && how != target::kCreateHung)   // a hung window cannot close; it goes with the helper
            made_.push_back(w);
        return w;
    }

    // A refresh once the windows just made have stopped moving in the Z order.
    void Refresh(TWindowList& list, HWND own = nullptr)
    {
        ASSERT_TRUE(TargetWindows::SettleZOrder());
        list.RefreshWindows(N(own ? own : own_));
    }

    // The entries of `list` that stand for `ours`, as their positions in the list.
    static std::vector<Hwnd> Listed(TWindowList& list, const std::vector<HWND>& ours)
    {
        std::vector<Hwnd> out;
        for (int i = 0; i < list.Count(); ++i)
            for (HWND w : ours)
                if (list.Items(i).Handle == N(w))
                    out.push_back(N(w));
        return out;
    }

    static TargetWindows* targets_;
    static bool started_;
    std::vector<HWND> made_;
    HWND own_ = nullptr;   // what a refresh starts its walk from and leaves out
    WindowApi& api_ = Win32Windows();
};

TargetWindows* RealWindows::targets_ = nullptr;
bool RealWindows::started_ = false;

TEST_F(RealWindows, ZOrderWalkMeetsEveryTopLevelWindowOnceTopFirst)
{
    HWND a = Make(L"Tw z a");
    HWND b = Make(L"Tw z b");
    HWND c = Make(L"Tw z c", target::kCreateHidden);   // hidden windows are walked too
    ASSERT_TRUE(a && b && c);
    for (HWND w : {c, b, a})
        SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(TargetWindows::SettleZOrder());

    std::vector<Hwnd> walked;
    for (Hwnd w = api_.GetFirstSibling(N(b)); w != 0 && walked.size() < 100000; w = api_.GetNextSibling(w))
        walked.push_back(w);

    EXPECT_EQ(walked, ZOrder());
    const auto at = [&](HWND w) { return std::find(walked.begin(), walked.end(), N(w)) - walked.begin(); };
    EXPECT_LT(at(a), at(b));
    EXPECT_LT(at(b), at(c));
}

TEST_F(RealWindows, TitlesArriveWholeAndSortByTheirAnsiBytes)
{
    // The sort key is the title as a program in that code page would store it; what the page
    // shows is the title exactly, a character the code page cannot hold (Hangul) included.
    const bool chinese = GetACP() == 936;
    const std::wstring title = chinese ? L"画图 - 未命名 한" : L"Äpfel - Café 한";
    const std::string bytes = chinese ? "\xBB\xAD\xCD\xBC - \xCE\xB4\xC3\xFC\xC3\xFB ?" : "\xC4pfel - Caf\xE9 ?";
    HWND w = Make(title);
    ASSERT_TRUE(w);

    TWindowList list(api_);
    Refresh(list);
    TWindow* entry = list.FindByHandle(N(w));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Caption, bytes);
    EXPECT_EQ(ui::ToAnsi(title), bytes);
    EXPECT_EQ(ui::FromUtf8(entry->Title), title);
}

TEST_F(RealWindows, LongTitlesAreCutTo254Characters)
{
    HWND ascii = Make(std::wstring(300, L'W'));
    ASSERT_TRUE(ascii);
    TWindowList list(api_);
    Refresh(list);
    ASSERT_NE(list.FindByHandle(N(ascii)), nullptr);
    EXPECT_EQ(list.FindByHandle(N(ascii))->Caption, std::string(254, 'W'));

    // Characters, whatever their width in the code page.
    HWND wide = Make(std::wstring(300, L'汉'));
    ASSERT_TRUE(wide);
    Refresh(list);
    ASSERT_NE(list.FindByHandle(N(wide)), nullptr);
    EXPECT_EQ(ui::FromUtf8(list.FindByHandle(N(wide))->Title), std::wstring(254, L'汉'));
}

TEST_F(RealWindows, VisibilityIsAskedOfTheSystemEveryTime)
{
    HWND shown = Make(L"Tw vis shown");
    HWND minimised = Make(L"Tw vis minimised", target::kCreateMinimized);
    HWND hidden = Make(L"Tw vis hidden", target::kCreateHidden);
    ASSERT_TRUE(shown && minimised && hidden);
    TWindow s(api_, N(shown), "s", ""), m(api_, N(minimised), "m", ""), h(api_, N(hidden), "h", "");

    EXPECT_TRUE(s.IsVisible());
    EXPECT_TRUE(m.IsVisible()) << "a minimised window still counts as visible";
    EXPECT_FALSE(h.IsVisible());

    // Its own program hides one and shows the other.
    ShowWindow(shown, SW_HIDE);
    ShowWindow(hidden, SW_SHOWNOACTIVATE);
    EXPECT_FALSE(s.IsVisible());
    EXPECT_TRUE(h.IsVisible());
}

TEST_F(RealWindows, HidingMinimisesThenHidesAndRestoringBringsTheWindowBack)
{
    // The requests are queued to the window's own thread: their effect is waited for.
    HWND w = Make(L"Tw hide me");
    ASSERT_TRUE(w);
    TWindow entry(api_, N(w), "Tw hide me", "");

    entry.SetShown(false);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(w); }));
    EXPECT_TRUE(IsIconic(w)) << "hidden without being minimised first";

    entry.SetShown(true);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(w) && !IsIconic(w); }));

    // A window the user had minimised comes back restored, as SW_RESTORE does.
    HWND m = Make(L"Tw minimised then hidden", target::kCreateMinimized);
    ASSERT_TRUE(m);
    TWindow min(api_, N(m), "m", "");
    min.SetShown(false);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(m); }));
    min.SetShown(true);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(m) && !IsIconic(m); }));
}

TEST_F(RealWindows, TwoWindowsSharingABossKeySwapOnOnePress)
{
    HWND a = Make(L"Tw boss a");
    HWND b = Make(L"Tw boss b");
    HWND other = Make(L"Tw boss other");
    ASSERT_TRUE(a && b && other);
    TWindowList list(api_);
    Refresh(list);
    for (HWND w : {a, b})
        ASSERT_NE(list.FindByHandle(N(w)), nullptr);
    list.FindByHandle(N(a))->HotKeyId = 7;
    list.FindByHandle(N(b))->HotKeyId = 7;
    // Pressed again before b's thread got to the hide: b still counts as hidden.
    list.FindByHandle(N(b))->SetShown(false);

    list.ToggleByHotKey(7);

    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(a) && IsWindowVisible(b) && !IsIconic(b); }));
    EXPECT_TRUE(IsWindowVisible(other));
}

TEST_F(RealWindows, RefreshListsTitledVisibleWindowsButNeverTheOwnOne)
{
    HWND own = own_;
    HWND shown = Make(L"Tw listed");
    HWND untitled = Make(L"");
    HWND hidden = Make(L"Tw in the tray", target::kCreateHidden);
    HWND minimised = Make(L"Tw minimised", target::kCreateMinimized);
    HWND parent = Make(L"Tw with a child", target::kCreateWithChild);
    ASSERT_TRUE(own && shown && untitled && hidden && minimised && parent);
    const std::vector<HWND> ours{own, shown, untitled, hidden, minimised, parent,
                                 FindWindowExW(parent, nullptr, L"Button", nullptr)};

    TWindowList list(api_);
    Refresh(list, own);
    std::vector<Hwnd> expected;
    for (Hwnd w : ZOrder())
        if (w == N(shown) || w == N(minimised) || w == N(parent))
            expected.push_back(w);
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(Listed(list, ours), expected)
        << "titled, visible (minimised too), top first; no untitled, hidden, own or child window";

    // Their programs change things: the tray program shows its window, another hides its
    // window and renames it. The hidden one stays listed, in its place, under its new name;
    // the one now shown comes after those already listed.
    ShowWindow(hidden, SW_SHOWNOACTIVATE);
    SetWindowTextW(shown, L"Tw listed, renamed");
    ShowWindow(shown, SW_HIDE);
    TWindow* kept = list.FindByHandle(N(shown));
    Refresh(list, own);
    expected.push_back(N(hidden));
    EXPECT_EQ(Listed(list, ours), expected);
    EXPECT_EQ(list.FindByHandle(N(shown)), kept) << "the same entry, not a new one";
    EXPECT_EQ(list.FindByHandle(N(shown))->Caption, "Tw listed, renamed");

    // A closed window goes at the next refresh, and its entry with it.
    TWindow* gone = list.FindByHandle(N(minimised));
    ASSERT_TRUE(TargetWindows::Destroy(minimised));
    EXPECT_TRUE(list.Contains(gone)) << "nothing changes before the refresh";
    Refresh(list, own);
    EXPECT_FALSE(list.Contains(gone));
    expected.erase(std::find(expected.begin(), expected.end(), N(minimised)));
    EXPECT_EQ(Listed(list, ours), expected);
}

TEST_F(RealWindows, AWindowThatDiedIsNeverOperatedOn)
{
    HWND alive = Make(L"Tw still here");
    HWND dead = Make(L"Tw about to close");
    ASSERT_TRUE(alive && dead);
    RecordingWindows api;
    TWindowList list(api);
    Refresh(list);
    TWindow* a = list.FindByHandle(N(alive));
    TWindow* d = list.FindByHandle(N(dead));
    ASSERT_TRUE(a && d);
    a->HotKeyId = d->HotKeyId = 3;
    ASSERT_TRUE(TargetWindows::Destroy(dead));

    // Before the next refresh the entry is still there; every way of reaching it passes it by.
    d->SetShown(false);
    d->SetShown(true);
    list.ToggleByHotKey(3);   // hides `alive`
    list.RestoreHidden();     // shows `alive`; the dead one "is not visible" but is left alone
    EXPECT_EQ(api.ShowsOf(N(dead)), 0);
    EXPECT_GT(api.ShowsOf(N(alive)), 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(alive) && !IsIconic(alive); }));
}

TEST_F(RealWindows, AHungWindowCostsATimeOutNotTheProgram)
{
    HWND live = Make(L"Tw answers");
    HWND hung = Make(L"Tw hung", target::kCreateHung);
    ASSERT_TRUE(live && hung);

    std::intptr_t result = -1;
    EXPECT_TRUE(api_.SendMessageA(N(live), WM_GETTEXTLENGTH, 0, 0, result));
    EXPECT_EQ(result, 10);

    const auto start = std::chrono::steady_clock::now();
    result = -1;
    EXPECT_FALSE(api_.SendMessageA(N(hung), WM_NULL, 0, 0, result));
    EXPECT_EQ(result, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // Hiding and restoring it only queue requests it will never read: no wait at all.
    const auto showStart = std::chrono::steady_clock::now();
    TWindow entry(api_, N(hung), "Tw hung", "");
    entry.SetShown(false);
    entry.SetShown(true);
    EXPECT_LT(std::chrono::steady_clock::now() - showStart, std::chrono::seconds(1));
    EXPECT_FALSE(api_.SendMessageA(0, WM_NULL, 0, 0, result)) << "no window, no answer";
}

TEST_F(RealWindows, FindsWindowsByClassAndTheirProcess)
{
    HWND parent = Make(L"Tw find me", target::kCreateWithChild);
    ASSERT_TRUE(parent);
    const Hwnd any = api_.FindWindowA("TwTarget");
    ASSERT_NE(any, 0u);
    EXPECT_EQ(ClassName(reinterpret_cast<HWND>(any)), target::kTargetClass);
    EXPECT_EQ(api_.FindWindowA("TwNoSuchClass"), 0u);
    EXPECT_EQ(api_.FindChildWindowA(N(parent), "Button"), N(FindWindowExW(parent, nullptr, L"Button", nullptr)));
    EXPECT_EQ(api_.FindChildWindowA(N(parent), "Edit"), 0u);
    EXPECT_EQ(api_.GetWindowProcessId(N(parent)), targets_->Id());
    EXPECT_EQ(api_.ClassName(N(parent)), "TwTarget");
    EXPECT_EQ(api_.ClassName(0), "");
    EXPECT_EQ(api_.GetWindowProcessId(0), 0u);
    // Another program of the same user at the same level: both levels read, and equal, so
    // its windows are within reach.
    ASSERT_TRUE(api_.IntegrityLevel(0).has_value());
    EXPECT_EQ(api_.IntegrityLevel(targets_->Id()), api_.IntegrityLevel(0));
    EXPECT_FALSE(TWindow(api_, N(parent), "", "").IsOutOfReach());
}

TEST_F(RealWindows, RemoteBufferLivesInTheOtherProcessAndGoesWithItsOwner)
{
    ProcessApi& processes = Win32Processes();
    UniqueHandle peek(OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, targets_->Id()));
    ASSERT_TRUE(peek);
    std::uintptr_t address = 0;
    {
        std::unique_ptr<tw::RemoteBuffer> buffer = processes.ReserveRemoteBuffer(targets_->Id(), 64);
        ASSERT_NE(buffer, nullptr);
        address = buffer->Address();
        const char text[] = "tray record";
        ASSERT_TRUE(buffer->Write(8, text, sizeof text));
        char back[sizeof text]{};
        ASSERT_TRUE(buffer->Read(8, back, sizeof back));
        EXPECT_STREQ(back, text);
        // Read by other means: the bytes really are in the helper's memory.
        char seen[sizeof text]{};
        SIZE_T got = 0;
        ASSERT_TRUE(ReadProcessMemory(peek.Get(), reinterpret_cast<void*>(address + 8), seen, sizeof seen, &got));
        EXPECT_STREQ(seen, text);
        // And read back by address, as a record the shell points at is; none at address 0.
        char atAddress[sizeof text]{};
        ASSERT_TRUE(buffer->ReadAt(address + 8, atAddress, sizeof atAddress));
        EXPECT_STREQ(atAddress, text);
        EXPECT_FALSE(buffer->ReadAt(0, atAddress, 4));
        EXPECT_EQ(buffer->PointerSize(), 4u) << "the helper is a 32-bit process";
    }
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_NE(VirtualQueryEx(peek.Get(), reinterpret_cast<void*>(address), &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE)) << "the buffer outlived its owner";

    EXPECT_EQ(processes.ReserveRemoteBuffer(0xFFFFFFF0u, 64), nullptr) << "no such process";
    EXPECT_GE(processes.SystemVersion().major, 6u);
}

} // namespace
} // namespace tw
