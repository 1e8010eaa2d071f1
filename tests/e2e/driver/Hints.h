// Hover hints (tooltips) as the user sees them: the pointer rests on a control, the tip
// window of the control's process appears, and its text is read from it. This works also
// for hints the program supplies on demand (TTN_GETDISPINFO), which ToolTipOf cannot read.
#pragma once

#include "Wait.h"

#include <windows.h>

#include <string>

namespace tw::e2e {

// Moves the pointer off `control`, waits for any tip of its process to go, rests the pointer
// on the control's centre and returns the text of the tip that comes up; empty if none does
// within `timeout`. `away` is a screen point over none of the program's controls.
std::wstring HoverHint(HWND control, POINT away, Ms timeout = kShortWait);

} // namespace tw::e2e
