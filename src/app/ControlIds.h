// Control ids of the main window (and, until it has its own, the file picker). Tests that
// drive the real program from another process find controls by these ids, so they are kept
// in a header without <windows.h>. The hot-key settings dialog's lie beside it.
#pragma once

namespace tw::ids {

// Main window (window class "TFrmAmbler").
enum MainWindow : int {
    Panel1 = 100,
    Label3,
    CheckBox1,
    CheckBox2,
    Label2,
    SpeedButton4,
    Panel2,
    BtnRefreshList,
    BtnHideWindows,
    BtnShowWindows,
    PageControl1,
    TabSheet1,
    lstWindowName,
    edtBossKey,
    TabSheet3,
    lstTrayIcons,
    TabSheet2,
    lstFiles,
    PopOpen,
    PopDel,
    lblTrayUnreadable,
    PopAlwaysTick,       // the Windows page's row menu
    PopMuteHidden,
    PopAlwaysHideIcon,   // the Tray page's row menu
};

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

// Window classes of the forms.
#define TW_MAIN_WINDOW_CLASS L"TFrmAmbler"
#define TW_PICKER_WINDOW_CLASS L"TDrawTreeForm"
