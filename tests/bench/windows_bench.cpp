// What Tarnwick.exe costs its user, each figure against a floor measured in the same run:
//  (a) start-up until the main window is shown, against a minimal program that shows one window;
//  (b) the refresh button with 300 titled windows open, against a loop of GetWindow and
//      GetWindowTextW over the same windows, run here;
//  (c) peak working set after start-up, against the minimal program's;
//  (d) the size of Tarnwick.exe.
// Times are medians over several runs with their minimum and maximum; ratios are taken run by
// run (the program and its floor measured back to back) and summarised the same way.
#include "BenchStats.h"
#include "E2e.h"
#include "TargetWindows.h"

#include "../../src/app/ControlIds.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using tw::bench::NowMs;

using namespace tw::e2e;

constexpr int kStartRuns = 15;
constexpr int kRefreshRuns = 15;
constexpr int kWindows = 300;

struct Summary {
    double median = 0, min = 0, max = 0;
};

Summary Summarise(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

void Print(const char* what, const Summary& s, const char* unit)
{
    std::printf("  %-34s %9.2f %s  (min %.2f, max %.2f)\n", what, s.median, unit, s.min, s.max);
}

std::vector<double> Ratios(const std::vector<double>& ours, const std::vector<double>& floor)
{
    std::vector<double> out;
    for (size_t i = 0; i < ours.size() && i < floor.size(); ++i)
        out.push_back(floor[i] > 0 ? ours[i] / floor[i] : 0);
    return out;
}

// One start of `exe` in `folder`: the time from CreateProcess until a visible top-level window
// of class `cls` belongs to the new process, and its peak working set once it is idle.
struct StartSample {
    double ms = 0;
    double peakKb = 0;
};

std::optional<StartSample> TimeStart(const std::wstring& exe, const std::wstring& folder, const wchar_t* cls,
                                     const std::wstring& args = {})
{
    Process process;
    Process::Options options;
    options.folder = folder;
    const double start = NowMs();
    if (!process.Start(exe, args, options))
        return std::nullopt;
    HWND shown = nullptr;
    while (!shown && process.Running() && NowMs() - start < 30000) {
        const std::vector<HWND> found = TopLevelWindows(process.Id(), cls, true);
        if (!found.empty())
            shown = found.front();
        else
            Sleep(1);
    }
    const double ms = NowMs() - start;
    if (!shown)
        return std::nullopt;
    WaitForInputIdle(process.Handle(), 5000);
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
    std::printf("(a) start-up until the main window is shown, %d runs\n", kStartRuns);
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
    return true;
}

// What the refresh cannot do with less: visit every top-level window and read its title.
double FloorLoopMs(HWND any)
{
    wchar_t title[255];
    const double start = NowMs();
    int titled = 0;
    for (HWND w = GetWindow(any, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
        titled += GetWindowTextW(w, title, 255) > 0;
    const double ms = NowMs() - start;
    if (titled < kWindows)
        std::printf("  (the floor loop saw only %d titled windows)\n", titled);
    return ms;
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

    // BM_CLICK runs the button's click handler to its end before the call returns, so the time
    // is the whole refresh: the walk, the sort and the table brought up to date. Its repaint
    // follows later; each run first lets the previous one's repaint finish, or the click would
    // wait behind it and the figure would time the painting too.
    std::vector<double> ours, floor;
    for (int run = 0; run < kRefreshRuns; ++run) {
        ::Sleep(300);
        floor.push_back(FloorLoopMs(app.MainWindow()));
        LRESULT ignored = 0;
        const double start = NowMs();
        if (!SendTimed(refresh, BM_CLICK, 0, 0, ignored, 30000)) {
            std::printf("refresh: the program did not answer\n");
            return false;
        }
        ours.push_back(NowMs() - start);
    }
    std::printf("(b) refresh button with %d titled windows open (%d rows), %d runs\n", kWindows, rows.RowCount(),
                kRefreshRuns);
    Print("Tarnwick refresh", Summarise(ours), "ms");
    Print("GetWindow + GetWindowTextW loop", Summarise(floor), "ms");
    Print("ratio (aim: at most 2)", Summarise(Ratios(ours, floor)), "x");

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(app.Proc().Handle(), &memory, sizeof memory))
        std::printf("  peak working set of Tarnwick.exe after these refreshes: %.0f KB\n",
                    static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
    app.Close();
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
