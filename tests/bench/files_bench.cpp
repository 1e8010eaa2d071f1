// What the file picker costs its user, each figure against a floor measured in the same run:
//  (a) expanding a folder of 10,000 files and 500 subfolders until the tree has drawn it,
//      against a loop here that only searches the same folder (no shell calls: the least any
//      listing of it must do); with it, the longest the picker left a message unanswered
//      while the folder was listed and shown;
//  (b) opening the picker until its drives are drawn, against enumerating the drives here
//      with what a drive's row needs: its type, its shell attributes and its icon.
// "Drawn" is the end point in BenchStats.h: the picker idle with nothing left to paint. The
// picker draws a node first with its type's icon and asks the shell for the rest when idle,
// so each step has two figures: until first drawn, and until refined (the shell's answers
// for every drawn node in and drawn: the tree exactly as it ends). The expansion has a third
// between them: the open folder shows its first entries, then takes in the rest when idle.
// Times are medians over several runs; ratios are taken run by run (the program and its floor
// measured back to back).
#include "BenchStats.h"
#include "E2e.h"
#include "RemoteTree.h"
#include "Tabs.h"

#include "app/ControlIds.h"
#include "files/PickerIds.h"
#include "files/PickerRules.h"
#include "platform/Win32Platform.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tw::bench;
using namespace tw::e2e;

int kFiles = 10000;
int kFolders = 500;
// The folder is written once, so the disk cache is warm for every run alike.
constexpr int kRuns = 7;

void Print(const char* what, const std::vector<double>& ours, const std::vector<double>& floor)
{
    auto o = Summarise(ours), f = Summarise(floor), r = Summarise(Ratios(ours, floor));
    std::printf("  %-24s Tarnwick %9.2f ms (min %.2f, max %.2f)   floor %9.2f ms (min %.2f, max %.2f)\n"
                "  %-24s ratio %.2fx (min %.2f, max %.2f)\n",
                what, o.median, o.min, o.max, f.median, f.min, f.max, "", r.median, r.min, r.max);
}

double FolderFloor(const std::string& folder)
{
    tw::FileApi& files = tw::Win32Files();
    double start = NowMs();
    std::size_t seen = 0;
    files.FindFiles(tw::SearchPattern(folder), tw::kAnyEntryMask, [&](const tw::FindEntry& e) {
        seen += e.name.size() + (e.attributes & 0x10);   // what a listing reads of each entry
        return true;
    });
    return NowMs() - start + (seen == 0 ? 1 : 0);   // keeps the loop's result alive
}

double DrivesFloor()
{
    tw::FileApi& files = tw::Win32Files();
    double start = NowMs();
    int count = tw::CountDrives(files.GetLogicalDrives());
    std::string roots = files.GetLogicalDriveStringsA();
    for (int i = 0; i < count; ++i) {
        std::string root = tw::DriveRootPath(roots, i);
        if (tw::ReadsShellAttributes(files.GetDriveTypeA(root), root))
            files.ShellAttributes(root, tw::shell::kRequestMask);
        files.SmallIconIndex(root, tw::kClosedIconFlags);
        files.SmallIconIndex(root, tw::kOpenIconFlags);
    }
    return NowMs() - start;
}

bool MakeBigFolder(const std::wstring& path)
{
    if (!CreateDirectoryW(path.c_str(), nullptr))
        return false;
    for (int i = 0; i < kFolders; ++i)
        CreateDirectoryW((path + L"\\dir" + std::to_wstring(i)).c_str(), nullptr);
    for (int i = 0; i < kFiles; ++i) {
        HANDLE f = CreateFileW((path + L"\\file" + std::to_wstring(i) + L".txt").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(f);
    }
    return true;
}

// After the first paint: until the picker has no drawn node left waiting for the shell and
// has drawn what the shell said. False when that does not come within the bound.
bool Refined(HWND picker, double* longestAnswerMs = nullptr)
{
    const double start = NowMs();
    for (;;) {
        LRESULT waiting = 0;
        const double asked = NowMs();
        if (!SendTimed(picker, tw::ids::PickerRefiningMessage, 0, 0, waiting, 120000))
            return false;
        if (longestAnswerMs)
            *longestAnswerMs = std::max(*longestAnswerMs, NowMs() - asked);
        if (waiting == 0)
            return IdleAndPainted(picker, 120000, longestAnswerMs);
        if (NowMs() - start > 120000)
            return false;
        Sleep(1);
    }
}

// Opens the picker from the Files page and returns the time until its drives are drawn
// (`ms`) and until their shell answers are drawn too (`refinedMs`).
HWND OpenPicker(App& app, double& ms, double& refinedMs)
{
    HWND main = app.MainWindow();
    double start = NowMs();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(tw::ids::BtnRefreshList, BN_CLICKED),
                 reinterpret_cast<LPARAM>(ControlById(main, tw::ids::BtnRefreshList)));
    HWND picker = nullptr;
    while (!picker && NowMs() - start < 20000) {
        auto found = app.Windows(L"TDrawTreeForm");
        if (!found.empty())
            picker = found.front();
        else
            Sleep(0);
    }
    if (!picker || !IdleAndPainted(picker))
        return nullptr;
    ms = NowMs() - start;
    if (!Refined(picker))
        return nullptr;
    refinedMs = NowMs() - start;
    return picker;
}

void ClosePicker(App& app, HWND picker)
{
    PostMessageW(picker, WM_CLOSE, 0, 0);
    WaitUntil([&] { return app.Windows(L"TDrawTreeForm").empty(); }, kStartWait);
}

} // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (const char* scale = std::getenv("TW_FILES_BENCH_SCALE")) {   // a smaller folder, for trying the bench out
        kFiles = kFiles * std::atoi(scale) / 100;
        kFolders = kFolders * std::atoi(scale) / 100;
    }
    TempFolder data(L"tw-files-bench");
    const std::wstring big = data.File(L"big");
    std::printf("files: making %d files and %d folders...\n", kFiles, kFolders);
    if (!MakeBigFolder(big)) {
        std::printf("files: cannot make the folder (error %lu)\n", GetLastError());
        return 1;
    }
    const std::string bigAnsi = WideToAnsi(big);

    App app;
    if (!app.Start() || !BringToForeground(app.MainWindow()) ||
        !ClickTab(ControlById(app.MainWindow(), tw::ids::PageControl1), 2)) {
        std::printf("files: Tarnwick did not start\n");
        return 1;
    }

    // A first, unmeasured picker pays for the shell's start.
    double ignored = 0, ignoredToo = 0;
    if (HWND first = OpenPicker(app, ignored, ignoredToo))
        ClosePicker(app, first);
    std::vector<double> expand, expandFilled, expandRefined, expandFloor, open, openRefined, openFloor, answers;
    for (int run = 1; run <= kRuns; ++run) {
        double openMs = 0, openRefinedMs = 0;
        HWND picker = OpenPicker(app, openMs, openRefinedMs);
        if (!picker) {
            std::printf("files: the picker did not open\n");
            return 1;
        }
        RemoteTree tree(ControlById(picker, tw::ids::VDT1));
        std::wstring shown;
        HTREEITEM parent = ExpandTo(tree, data.Path(), shown);
        HTREEITEM node = parent ? tree.Find(parent, L"big") : nullptr;
        if (!node) {
            std::printf("files: cannot find the folder in the picker\n");
            return 1;
        }
        // The expansion starts the folder's search and returns; the node opens once the
        // search is done, with its first entries, and the rest follow while the picker idles.
        // Timed until the open node is drawn, then until every entry is in and drawn. Every
        // question asked meanwhile also times how long the picker kept its user waiting.
        const LRESULT total = kFiles + kFolders;
        double longest = 0;
        auto timedCount = [&] {
            LRESULT count = 0;
            double asked = NowMs();
            SendTimed(tree.Window(), TVM_GETCOUNT, 0, 0, count, 900000);
            longest = std::max(longest, NowMs() - asked);
            return count;
        };
        if (!Refined(picker)) {   // the folders opened on the way are settled before timing
            std::printf("files: the picker did not settle\n");
            return 1;
        }
        double start = NowMs();
        PostMessageW(tree.Window(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
        auto expanded = [&] {
            double asked = NowMs();
            bool open = tree.Expanded(node);
            longest = std::max(longest, NowMs() - asked);
            return open;
        };
        while (!expanded() && NowMs() - start < 900000)
            Sleep(1);
        bool drawn = IdleAndPainted(picker, 120000, &longest);
        double expandMs = NowMs() - start;
        while (timedCount() < total && NowMs() - start < 900000)
            Sleep(1);
        bool filled = drawn && IdleAndPainted(picker, 120000, &longest);
        double filledMs = NowMs() - start;
        bool refined = filled && Refined(picker, &longest);
        double refinedMs = NowMs() - start;
        std::printf("files: run %d: expanded in %.1f ms (%s), every entry in %.1f ms (%s), refined in %.1f ms (%s), "
                    "longest unanswered %.1f ms\n",
                    run, expandMs, drawn ? "drawn" : "not drawn", filledMs, filled ? "drawn" : "not drawn", refinedMs,
                    refined ? "drawn" : "not drawn", longest);
        LRESULT count = timedCount();
        ClosePicker(app, picker);
        if (count < kFiles + kFolders) {
            std::printf("files: the folder showed %ld items\n", static_cast<long>(count));
            return 1;
        }
        double floorMs = FolderFloor(bigAnsi);
        double drivesMs = DrivesFloor();
        expand.push_back(expandMs);
        expandFilled.push_back(filledMs);
        expandRefined.push_back(refinedMs);
        expandFloor.push_back(floorMs);
        open.push_back(openMs);
        openRefined.push_back(openRefinedMs);
        openFloor.push_back(drivesMs);
        answers.push_back(longest);
    }
    app.Close(Ms(20000));

    std::printf("files: %d runs (aims: expansion within 1.5x, opening under 2x)\n", kRuns);
    Print("expand, first drawn", expand, expandFloor);
    Print("expand, every entry in", expandFilled, expandFloor);
    Print("expand, refined", expandRefined, expandFloor);
    Print("open, first drawn", open, openFloor);
    Print("open, refined", openRefined, openFloor);
    auto a = Summarise(answers);
    std::printf("  %-24s longest wait for an answer while expanding: %.1f ms (min %.1f, max %.1f)\n", "", a.median,
                a.min, a.max);
    return 0;
}
