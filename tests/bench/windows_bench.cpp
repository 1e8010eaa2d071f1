// What Tarnwick.exe costs its user, each figure against a floor measured in the same run:
//  (a) start-up until the main window is shown and painted, against a minimal program that
//      shows and paints one window, timed to the same end;
//  (b) the refresh button with 300 titled windows open, until the list has painted its
//      changes, against a loop of GetWindow and GetWindowTextA over the same windows, run by
//      the minimal program when sent a message and timed to the same end;
//  (c) peak working set after start-up, against the minimal program's;
//  (d) the size of Tarnwick.exe.
// "Painted" is the end point in BenchStats.h: the window idle with nothing left to paint.
// Times are medians over several runs with their minimum and maximum; ratios are taken run by
// run (the program and its floor measured back to back) and summarised the same way.
#include "BenchStats.h"
#include "E2e.h"
#include "TargetWindows.h"

#include "app/ControlIds.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace tw::bench;
using namespace tw::e2e;

constexpr int kStartRuns = 15;
constexpr int kRefreshRuns = 15;
constexpr int kWindows = 300;

void Print(const char* what, const Summary& s, const char* unit)
{
    std::printf("  %-34s %9.2f %s  (min %.2f, max %.2f)\n", what, s.median, unit, s.min, s.max);
}

// One start of `exe` in `folder`: the time from CreateProcess until a visible top-level window
// of class `cls` belongs to the new process and has painted, and its peak working set then.
struct StartSample {
    double ms = 0;
    double peakKb = 0;
};

// The first visible top-level window of class `cls` that `process` shows, polled from `start`
// on; null when none shows within 30 s.
HWND ShownWindow(Process& process, const wchar_t* cls, double start)
{
    while (process.Running() && NowMs() - start < 30000) {
        const std::vector<HWND> found = TopLevelWindows(process.Id(), cls, true);
        if (!found.empty())
            return found.front();
        Sleep(1);
    }
    return nullptr;
}

std::optional<StartSample> TimeStart(const std::wstring& exe, const std::wstring& folder, const wchar_t* cls,
                                     const std::wstring& args = {})
{
    Process process;
    Process::Options options;
    options.folder = folder;
    const double start = NowMs();
    if (!process.Start(exe, args, options))
        return std::nullopt;
    HWND shown = ShownWindow(process, cls, start);
    if (!shown || !IdleAndPainted(shown, 30000))
        return std::nullopt;
    const double ms = NowMs() - start;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    const double peakKb = GetProcessMemoryInfo(process.Handle(), &memory, sizeof memory)
                              ? static_cast<double>(memory.PeakWorkingSetSize) / 1024.0
                              : 0;
    PostMessageW(shown, WM_CLOSE, 0, 0);
    if (!process.WaitExit(Ms(10000)))
        process.Kill();
    return StartSample{ms, peakKb};
}

// A record of 1 MiB whose every line names a window long gone: the start drops them all and
// writes the record anew, so it is planted again before each start.
std::string StaleRecord()
{
    std::string text = "Tarnwick hidden 1\n";
    for (unsigned i = 0; text.size() < (1u << 20); ++i)
        text += "W " + std::to_string(0x7F000000u + i * 4) + " " + std::to_string(40000 + i % 5000) +
                " 133000000000000000 4E6F7465706164\n";
    return text;
}

bool PlantRecord(const std::wstring& path, const std::string& text)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.Get() && WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

//  (d) start-up with a record of 1 MiB of stale lines, against the same start without one.
bool StartUpWithStaleRecord(const std::wstring& exe, const TempFolder& folder)
{
    constexpr int kRuns = 7;
    const std::string record = StaleRecord();
    const std::wstring path = folder.File(L"Hidden.dat");
    std::vector<double> plain, stale;
    for (int run = 0; run < kRuns; ++run) {
        DeleteFileW(path.c_str());
        const std::optional<StartSample> p = TimeStart(exe, folder.Path(), L"TFrmAmbler");
        if (!PlantRecord(path, record)) {
            std::printf("cannot write %ls\n", path.c_str());
            return false;
        }
        const std::optional<StartSample> s = TimeStart(exe, folder.Path(), L"TFrmAmbler");
        if (!p || !s) {
            std::printf("start-up: Tarnwick did not show its window\n");
            return false;
        }
        plain.push_back(p->ms);
        stale.push_back(s->ms);
    }
    std::vector<double> delay;
    for (int run = 0; run < kRuns; ++run)
        delay.push_back(stale[static_cast<std::size_t>(run)] - plain[static_cast<std::size_t>(run)]);
    std::printf("(d) start-up with %zu KB of stale lines in Hidden.dat, %d runs\n", record.size() / 1024, kRuns);
    Print("with the record", Summarise(stale), "ms");
    Print("without", Summarise(plain), "ms");
    Print("delay (aim: at most 100)", Summarise(delay), "ms");
    DeleteFileW(path.c_str());
    return true;
}

bool StartUp()
{
    // Tarnwick runs from a copy in a folder of its own, as it would be installed.
    TempFolder folder(L"tw-bench");
    const std::wstring exe = folder.File(L"Tarnwick.exe");
    if (!CopyFileW(TarnwickExe().c_str(), exe.c_str(), FALSE)) {
        std::printf("cannot copy Tarnwick.exe (error %lu)\n", GetLastError());
        return false;
    }
    const std::wstring floorExe = HelperExe(L"floor_window");
    // One unmeasured start of each: the first start of an exe pays for reading it from disk.
    TimeStart(floorExe, folder.Path(), L"TwFloor");
    TimeStart(exe, folder.Path(), L"TFrmAmbler");

    std::vector<double> ours, floor, withDlls, oursKb, floorKb;
    for (int run = 0; run < kStartRuns; ++run) {
        const std::optional<StartSample> f = TimeStart(floorExe, folder.Path(), L"TwFloor");
        const std::optional<StartSample> t = TimeStart(exe, folder.Path(), L"TFrmAmbler");
        const std::optional<StartSample> d = TimeStart(floorExe, folder.Path(), L"TwFloor", L"--load-dlls");
        if (!f || !t || !d) {
            std::printf("start-up: a program did not show its window\n");
            return false;
        }
        withDlls.push_back(d->ms);
        floor.push_back(f->ms);
        ours.push_back(t->ms);
        floorKb.push_back(f->peakKb);
        oursKb.push_back(t->peakKb);
    }
    std::printf("(a) start-up until the main window is shown and painted, %d runs\n", kStartRuns);
    Print("Tarnwick.exe", Summarise(ours), "ms");
    Print("minimal Win32 program", Summarise(floor), "ms");
    Print("ratio (aim: at most 1.5)", Summarise(Ratios(ours, floor)), "x");
    std::printf("  for the breakdown, the minimal program when it also loads Tarnwick's other DLLs:\n");
    Print("minimal program + comctl32", Summarise(withDlls), "ms");
    Print("Tarnwick.exe against it", Summarise(Ratios(ours, withDlls)), "x");
    std::printf("(c) peak working set once idle after start-up\n");
    Print("Tarnwick.exe", Summarise(oursKb), "KB");
    Print("minimal Win32 program", Summarise(floorKb), "KB");
    Print("ratio", Summarise(Ratios(oursKb, floorKb)), "x");
    return StartUpWithStaleRecord(exe, folder);
}

// What the refresh cannot do with less: visit every top-level window and read its title. The
// walk runs in the minimal program, a GUI process of its own like Tarnwick, and is timed as
// the refresh is: from sending the request until the window is idle with nothing to paint.
// It is not run here: under Wine each of these calls is a round trip to the server, which
// costs about 10 microseconds to a process that shares a processor with the server and 50 to
// 100 to one on the other processor; where a process lands is chance, and it tends to stay
// there, so a walk in this process measured mostly its own luck.
std::optional<double> FloorWalkMs(HWND floorWindow)
{
    LRESULT titled = 0;
    const double start = NowMs();
    if (!SendTimed(floorWindow, WM_APP, 0, 0, titled, 30000) || !IdleAndPainted(floorWindow, 30000))
        return std::nullopt;
    const double ms = NowMs() - start;
    if (titled < kWindows)
        std::printf("  (the floor's walk saw only %ld titled windows)\n", static_cast<long>(titled));
    return ms;
}

// The same walk in this process, not part of any ratio: printed beside the floor, it shows how
// far the cost of a server round trip differs between processes in the same run.
double LocalWalkMs(HWND any)
{
    char title[255];
    const double start = NowMs();
    for (HWND w = GetWindow(any, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
        GetWindowTextA(w, title, sizeof title);
    return NowMs() - start;
}

bool Refresh()
{
    TargetWindows targets;
    if (!targets.Start(HelperExe(L"target_windows")))
        return false;
    wchar_t title[64];
    for (int i = 0; i < kWindows; ++i) {
        swprintf(title, 64, L"基准窗口 %03d - Benchmark", i);
        if (!targets.Create(title))
            return false;
    }
    // Shown before Tarnwick starts, so that its window is listed from the first refresh on.
    Process floorProgram;
    if (!floorProgram.Start(HelperExe(L"floor_window"), {}, {}))
        return false;
    HWND floorWindow = ShownWindow(floorProgram, L"TwFloor", NowMs());
    if (!floorWindow || !IdleAndPainted(floorWindow, 30000)) {
        std::printf("refresh: the minimal program did not show its window\n");
        return false;
    }
    TargetWindows::SettleZOrder();
    App app;
    if (!app.Start())
        return false;
    HWND refresh = ControlById(app.MainWindow(), tw::ids::BtnRefreshList);
    RemoteListView rows(ControlById(app.MainWindow(), tw::ids::lstWindowName));
    if (!refresh || rows.RowCount() < kWindows) {
        std::printf("refresh: the program lists %d windows, not %d\n", rows.RowCount(), kWindows);
        return false;
    }

    // BM_CLICK runs the button's click handler to its end before the call returns (the walk,
    // the sort and the table brought up to date); the time runs on until the list has painted
    // what changed, so each run also starts with nothing left to paint from the one before.
    std::vector<double> ours, floor, local;
    for (int run = 0; run < kRefreshRuns; ++run) {
        const std::optional<double> floorMs = FloorWalkMs(floorWindow);
        if (!floorMs) {
            std::printf("refresh: the minimal program did not answer\n");
            return false;
        }
        floor.push_back(*floorMs);
        local.push_back(LocalWalkMs(app.MainWindow()));
        LRESULT ignored = 0;
        const double start = NowMs();
        if (!SendTimed(refresh, BM_CLICK, 0, 0, ignored, 30000) || !IdleAndPainted(app.MainWindow(), 30000)) {
            std::printf("refresh: the program did not answer\n");
            return false;
        }
        ours.push_back(NowMs() - start);
    }
    std::printf("(b) refresh button with %d titled windows open (%d rows), until painted, %d runs\n", kWindows,
                rows.RowCount(), kRefreshRuns);
    Print("Tarnwick refresh", Summarise(ours), "ms");
    Print("GetWindow + GetWindowTextA loop", Summarise(floor), "ms");
    Print("ratio (aim: at most 2)", Summarise(Ratios(ours, floor)), "x");
    Print("the same loop in this process", Summarise(local), "ms");

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(app.Proc().Handle(), &memory, sizeof memory))
        std::printf("  peak working set of Tarnwick.exe after these refreshes: %.0f KB\n",
                    static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
    app.Close();
    PostMessageW(floorWindow, WM_CLOSE, 0, 0);
    if (!floorProgram.WaitExit(Ms(10000)))
        floorProgram.Kill();
    targets.Stop();
    return true;
}

bool Size()
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(TarnwickExe().c_str(), GetFileExInfoStandard, &data)) {
        std::printf("cannot read the size of Tarnwick.exe\n");
        return false;
    }
    const double kb = static_cast<double>(data.nFileSizeLow) / 1024.0;
    std::printf("(d) size of Tarnwick.exe: %.1f KB (aim: under 600 KB)\n", kb);
    return true;
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("Tarnwick window benchmark (ANSI code page %u)\n", GetACP());
    bool ok = StartUp();
    ok = Refresh() && ok;
    ok = Size() && ok;
    return ok ? 0 : 1;
}
