// Page controls (tab controls) of another process: where a tab is, which one is active.
#pragma once

#include "Wait.h"

#include <windows.h>

#include <optional>
#include <string>

namespace tw::e2e {

// The tab's rectangle in screen coordinates, ready for Click.
std::optional<RECT> TabRect(HWND tabs, int index);
int TabCount(HWND tabs);
int ActiveTab(HWND tabs);
// The caption the tab shows.
std::wstring TabText(HWND tabs, int index);
// Clicks the tab as a user would and waits until it is the active one.
bool ClickTab(HWND tabs, int index, Ms timeout = kShortWait);

} // namespace tw::e2e
