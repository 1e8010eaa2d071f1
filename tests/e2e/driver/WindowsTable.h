// The Windows page's table as a scenario drives it: the program and the target windows it
// lists, rows found by title and clicked where a user clicks them. Header-only (it needs the
// test's helper folder); shared by the Windows page and hot-key scenarios.
#pragma once

#include "E2e.h"
#include "TargetWindows.h"

#include "app/ControlIds.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace tw::e2e {

class WindowsTableTest : public ::testing::Test {
protected:
    // Column 0 (the tick) is 40 px wide and column 1 (the boss key) 50 px: this is well inside
    // the caption column, where a click selects and ticks nothing.
    static constexpr int kCaptionX = 40 + 50 + 30;

    TargetWindows targets;
    App app;
    HWND main = nullptr;
    HWND lv = nullptr;

    void StartTargets() { ASSERT_TRUE(targets.Start(HelperExe(L"target_windows"))); }

    // The program lists what one walk of the Z order meets, so the order is let settle first.
    void StartProgram()
    {
        ASSERT_TRUE(TargetWindows::SettleZOrder());
        ASSERT_TRUE(app.Start());
        main = app.MainWindow();
        lv = ControlById(main, tw::ids::lstWindowName);
        ASSERT_TRUE(lv);
        ASSERT_TRUE(BringToForeground(main));
    }

    HWND Control(int id) const { return ControlById(main, id); }
    RemoteListView Rows() const { return RemoteListView(lv); }
    int RowOf(std::wstring_view title) const { return Rows().FindRow(std::wstring(title), 2); }
    bool Checked(std::wstring_view title) const
    {
        const int row = RowOf(title);
        return row >= 0 && Rows().Checked(row);
    }

    // A point `x` pixels into the list's client area, halfway down the row, scrolled into view.
    std::optional<POINT> InRow(int row, int x) const
    {
        if (row < 0 || !Rows().EnsureVisible(row))
            return std::nullopt;
        const std::optional<RECT> rect = Rows().RowRect(row);
        if (!rect)
            return std::nullopt;
        POINT origin{0, 0};
        ClientToScreen(lv, &origin);
        return POINT{origin.x + x, (rect->top + rect->bottom) / 2};
    }
    bool ClickRowAt(int row, int x) const
    {
        const std::optional<POINT> at = InRow(row, x);
        return at && Click(*at);
    }
    bool ClickCaption(int row) const { return ClickRowAt(row, kCaptionX); }
    bool ClickCheckBox(int row) const
    {
        const std::optional<POINT> at =
            row < 0 || !Rows().EnsureVisible(row) ? std::nullopt : Rows().CheckBoxPoint(row);
        return at && Click(*at);
    }
    bool TickWithMouse(std::wstring_view title, Ms timeout = kShortWait) const
    {
        const int row = RowOf(title);
        return ClickCheckBox(row) && WaitUntil([&] { return Rows().Checked(row); }, timeout);
    }
};

} // namespace tw::e2e
