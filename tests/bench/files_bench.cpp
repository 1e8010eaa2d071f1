// What the file picker costs its user, each figure against a floor measured in the same run:
//  (a) expanding a folder of 10,000 files and 500 subfolders until the tree has drawn it,
//      against a loop here that only searches the same folder and asks the shell for each
//      entry's attributes (the least any listing of it must do);
//  (b) opening the picker until its drives are drawn, against enumerating the drives here
//      with what a drive's row needs: its type, its shell attributes and its icon.
// Times are medians over several runs; ratios are taken run by run (the program and its floor
// measured back to back).
#include "BenchStats.h"
#include "E2e.h"
#include "../e2e/RemoteTree.h"
#include "Tabs.h"

#include "../../src/app/ControlIds.h"
#include "files/PickerRules.h"
#include "platform/Win32Platform.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tw::bench::Median;
using tw::bench::NowMs;

using namespace tw::e2e;

int kFiles = 10000;
int kFolders = 500;
// Under Wine the shell's answer for one entry costs time in proportion to the size of its
// folder, so one listing of the full folder takes minutes there: the full size is measured
// once (the folder was just written, so the disk cache is warm); a smaller folder
// (TW_FILES_BENCH_SCALE, in per cent) is measured several times.
int kRuns = 1;

void Print(const char* what, const std::vector<double>& ours, const std::vector<double>& floor)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.size() && i < floor.size(); ++i)
        ratios.push_back(floor[i] > 0 ? ours[i] / floor[i] : 0);
    std::printf("  %-28s Tarnwick %9.2f ms   floor %9.2f ms   ratio %.2fx (min %.2f, max %.2f)\n", what,
                Median(ours), Median(floor), Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
}

double FolderFloor(const std::string& folder)
{
    tw::FileApi& files = tw::Win32Files();
    double start = NowMs();
    std::uint32_t seen = 0;
    files.FindFiles(tw::SearchPattern(folder), tw::kAnyEntryMask, [&](const tw::FindEntry& e) {
        if (e.name != "." && e.name != "..")
            seen |= files.ShellAttributes(tw::ChildPath(folder, e.name), tw::shell::kRequestMask);
        return true;
    });
    return NowMs() - start + (seen == 0xFFFFFFFFu ? 1 : 0);   // keeps the loop's result alive
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

// Opens the picker from the Files page and returns the time until its drives are drawn.
HWND OpenPicker(App& app, double& ms)
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
    if (!picker)
        return nullptr;
    UpdateWindow(ControlById(picker, tw::ids::VDT1));   // its paint is done when this returns
    ms = NowMs() - start;
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
        kRuns = 5;
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
    double ignored = 0;
    if (HWND first = OpenPicker(app, ignored))
        ClosePicker(app, first);
    std::vector<double> expand, expandFloor, open, openFloor;
    for (int run = 1; run <= kRuns; ++run) {
        double openMs = 0;
        HWND picker = OpenPicker(app, openMs);
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
        // The expansion, its listing included, is done when the message returns; the paint
        // that shows it, when UpdateWindow returns.
        double start = NowMs();
        LRESULT ok = 0;
        SendTimed(tree.Window(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node), ok, 900000);
        UpdateWindow(tree.Window());
        double expandMs = NowMs() - start;
        std::printf("files: run %d: expanded in %.1f ms (message %s)\n", run, expandMs, ok ? "done" : "failed");
        LRESULT count = 0;
        SendTimed(tree.Window(), TVM_GETCOUNT, 0, 0, count, 60000);
        ClosePicker(app, picker);
        if (count < kFiles + kFolders) {
            std::printf("files: the folder showed %ld items\n", static_cast<long>(count));
            return 1;
        }
        double floorMs = FolderFloor(bigAnsi);
        double drivesMs = DrivesFloor();
        expand.push_back(expandMs);
        expandFloor.push_back(floorMs);
        open.push_back(openMs);
        openFloor.push_back(drivesMs);
    }
    app.Close(Ms(20000));

    std::printf("files: %d runs (aims: expansion within 1.5x, opening under 2x)\n", kRuns);
    Print("expand 10,500 entries", expand, expandFloor);
    Print("open the picker", open, openFloor);
    return 0;
}
