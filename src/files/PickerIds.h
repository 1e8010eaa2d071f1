// Control ids of the file picker. Tests that drive the real program from another process
// find the picker's controls by these ids, so they are kept in a header without <windows.h>.
#pragma once

namespace tw::ids {

// File picker (window class "TDrawTreeForm").
enum FilePicker : int {
    VDT1Header = 300,
    VDT1,
    BtnSelFiles,
};

// Sent to the picker's window: the number of drawn nodes still waiting for what only the
// shell knows (their own icon, overlays, expand button) and of listed entries not yet in the
// tree; 0 once the tree shows its last word.
inline constexpr unsigned PickerRefiningMessage = 0x8000 + 3;   // WM_APP + 3

} // namespace tw::ids

#define TW_PICKER_WINDOW_CLASS L"TDrawTreeForm"
