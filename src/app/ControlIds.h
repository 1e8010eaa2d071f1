// Control ids of the program's forms. Tests that drive the real program from another
// process find controls by these ids, so they are kept in a header without <windows.h>.
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

// Hot-key settings dialog (window class "TFrmHelp").
enum HelpDialog : int {
    HelpPanel1 = 200,
    Label4,
    GroupBox1,
    HelpLabel1,
    HelpLabel2,
    HelpLabel3,
    edtHideSelf,
    edtHide,
    edtShow,
    Button1,
    chkAutoStart,
};

// The file picker's ids are beside it, in files/PickerIds.h.

} // namespace tw::ids

// Window classes of the forms.
#define TW_MAIN_WINDOW_CLASS L"TFrmAmbler"
#define TW_HELP_WINDOW_CLASS L"TFrmHelp"
