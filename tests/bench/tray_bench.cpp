// Reading a tray of 200 icons through the Tray page's refresh button, as a ratio to a floor:
// a loop here that reads the same toolbar the plain way (one buffer in the shell's process;
// per button a zeroed record written, TB_GETBUTTON, the record read back,
// TB_GETBUTTONTEXTW, the text read back, TB_ISBUTTONHIDDEN). The refresh does more than
// that floor (it brings the table up to date) and also less (the hidden state comes with the
// record), so the ratio says what the whole costs against the reading alone. The refresh is timed
// until the page has painted (the end point in BenchStats.h); the floor has nothing to paint.
#include "BenchStats.h"
#include "StandInShell.h"
#include "E2e.h"
#include "Tabs.h"

#include "app/ControlIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using namespace tw::bench;
using namespace tw::e2e;

constexpr int kButtons = 200;
constexpr int kRounds = 21;

struct Timings {
    Summary floorMs;
    Summary pageMs;
    Summary ratio;
};

// The two are taken in turns and compared round by round, so that a machine busy with other
// work in one stretch of the run weighs on both alike.
Timings Measure(const std::function<void()>& floor, const std::function<void()>& page) {
    std::vector<double> floors;
    std::vector<double> pages;
    for (int i = 0; i < kRounds; ++i) {
        floors.push_back(TimeMs(floor));
        pages.push_back(TimeMs(page));
    }
    return {Summarise(floors), Summarise(pages), Summarise(Ratios(pages, floors))};
}

// The reading as the program does it, from this process, with nothing around it.
int FloorRead(HWND toolbar) {
    RemoteBuffer buffer(toolbar, 4096);
    if (!buffer) {
        return -1;
    }
    int visible = 0;
    const LRESULT count = SendTimed(toolbar, TB_BUTTONCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        unsigned char record[20]{};
        buffer.Write(record, sizeof record, 0);
        SendTimed(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), buffer.Param(0));
        buffer.Read(record, sizeof record, 0);
        int id = 0;
        memcpy(&id, record + 4, sizeof id);
        SendTimed(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(id), buffer.Param(20));
        wchar_t text[1025]{};
        buffer.Read(text, sizeof text, 20);
        if (SendTimed(toolbar, TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id)) == 0) {
            ++visible;
        }
    }
    return visible;
}

TEST(TrayBench, RefreshOf200IconsAgainstTheBareReading) {
    StandInShell shell;
    ASSERT_TRUE(shell.Start());
    for (int id = 1; id <= kButtons; ++id) {
        ASSERT_TRUE(shell.Add(id, L"Icon " + std::to_wstring(id) + L" 图标 - status text"));
    }
    ASSERT_EQ(FloorRead(shell.toolbar), kButtons);

    App app;
    ASSERT_TRUE(app.Start());
    HWND tabs = ControlById(app.MainWindow(), tw::ids::PageControl1);
    HWND refresh = ControlById(app.MainWindow(), tw::ids::BtnRefreshList);
    ASSERT_TRUE(BringToForeground(app.MainWindow()));
    ASSERT_TRUE(ClickTab(tabs, 1));
    RemoteListView rows(ControlById(app.MainWindow(), tw::ids::lstTrayIcons));
    ASSERT_EQ(rows.RowCount(), kButtons);

    // BM_CLICK returns once the page is brought up to date; then it is painted.
    auto pressRefresh = [&] {
        LRESULT ignored = 0;
        SendTimed(refresh, BM_CLICK, 0, 0, ignored, 60000);
        IdleAndPainted(app.MainWindow(), 60000);
    };
    pressRefresh();   // warm-up
    const Timings t = Measure([&] { FloorRead(shell.toolbar); }, pressRefresh);
    EXPECT_EQ(rows.RowCount(), kButtons);

    std::printf("tray: %d rounds; aim: within 1.5x\n"
                "  refresh of %d icons until painted %8.1f ms (min %.1f, max %.1f)\n"
                "  bare reading                      %8.1f ms (min %.1f, max %.1f)\n"
                "  ratio                             %8.2f x  (min %.2f, max %.2f)\n",
                kRounds, kButtons, t.pageMs.median, t.pageMs.min, t.pageMs.max, t.floorMs.median, t.floorMs.min,
                t.floorMs.max, t.ratio.median, t.ratio.min, t.ratio.max);
    EXPECT_TRUE(app.Close());
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
