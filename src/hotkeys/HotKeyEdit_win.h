// The Win32 side of the capture box: an edit control whose key messages go to the box.
#pragma once

#include "hotkeys/uHotKeyBox.h"

#include <windows.h>

#include <memory>

namespace tw::ui {

// Attaches a new capture box to `edit`. From then on the edit's key messages, the
// system-key ones (Alt combinations) included, reach the box and nothing else; the box
// lives as long as its form keeps it and lets go of the edit when it goes.
std::unique_ptr<THotKeyBox> AttachHotKeyBox(HWND edit);

// True while the box's edit is telling the user that a combination is taken. The focus
// is in that message box meanwhile, which is no reason to close the edit.
bool IsReportingInUse(THotKeyBox& box);

} // namespace tw::ui
