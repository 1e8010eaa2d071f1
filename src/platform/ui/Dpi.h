// Pixels per inch of the monitor a window is on, and the table sizes scaled to it. Layout
// tables are written for 96 DPI (100 %); each form scales them by its own monitor's DPI.
#pragma once

#include <windows.h>

namespace tw::ui {

inline constexpr UINT kDesignDpi = 96;

// Scales a length of the layout tables to `dpi`, rounding halves away from zero.
inline int ScaleBy(int value, UINT dpi) { return ::MulDiv(value, static_cast<int>(dpi), kDesignDpi); }

// The DPI of the monitor `hwnd` is on; the system DPI where the system knows no other
// (Windows 7 and 8 have no per-window DPI).
UINT DpiOf(HWND hwnd);

// Asks for per-monitor awareness where the manifest was not honoured: version 2 (scaled
// captions and common controls) first, then version 1. A system that refuses both (older
// Windows, or one that already made its choice from the manifest) is taken as it is.
void RequestPerMonitorDpi();

} // namespace tw::ui
