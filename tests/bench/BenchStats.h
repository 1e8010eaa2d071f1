// What every benchmark needs to time a step, find its end and sum up its runs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace tw::bench {

// Milliseconds on the performance counter.
inline double NowMs()
{
    static const double perMs = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t{};
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

// How long `run` took, in milliseconds.
template <class Run>
double TimeMs(Run&& run)
{
    const double start = NowMs();
    run();
    return NowMs() - start;
}

// The median; 0 for no values.
inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Summary {
    double median = 0, min = 0, max = 0;
};

inline Summary Summarise(const std::vector<double>& values)
{
    if (values.empty())
        return {};
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return {Median(values), *lo, *hi};
}

// Run by run: the program's time over its floor's, taken back to back.
inline std::vector<double> Ratios(const std::vector<double>& ours, const std::vector<double>& floor)
{
    std::vector<double> out;
    for (std::size_t i = 0; i < ours.size() && i < floor.size(); ++i)
        out.push_back(floor[i] > 0 ? ours[i] / floor[i] : 0);
    return out;
}

inline BOOL CALLBACK AddVisibleWindow(HWND child, LPARAM list)
{
    if (IsWindowVisible(child))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// The end point of every timed step: the window `top` (and every visible window inside it)
// has nothing left to paint, and its thread is idle. A message sent to another thread is
// handled only when that thread next asks its queue for work, so the round trip returns once
// the thread has finished what it was doing; a paint is handled only when no other message
// waits, so an update region still there afterwards means work is queued ahead of it. Only an
// empty region after a round trip says that what changed is on the screen. Once the thread is
// idle its paint is asked for at once (the system sends it, as the thread's own loop would
// dispatch it next), so the figure does not wait on this process's polling. The same end is
// applied to the floor programs that have a window. `longestAnswerMs`, when given, gets the
// longest round trip seen: how long the window left its user waiting meanwhile.
inline bool IdleAndPainted(HWND top, double boundMs = 120000, double* longestAnswerMs = nullptr)
{
    const double start = NowMs();
    for (;;) {
        DWORD_PTR ignored = 0;
        const double asked = NowMs();
        if (!SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(boundMs), &ignored))
            return false;
        if (longestAnswerMs)
            *longestAnswerMs = std::max(*longestAnswerMs, NowMs() - asked);
        std::vector<HWND> windows{top};
        EnumChildWindows(top, &AddVisibleWindow, reinterpret_cast<LPARAM>(&windows));
        bool clean = true;
        for (HWND w : windows)
            clean = clean && !GetUpdateRect(w, nullptr, FALSE);
        if (clean)
            return true;
        RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (NowMs() - start > boundMs)
            return false;
        Sleep(1);
    }
}

} // namespace tw::bench
