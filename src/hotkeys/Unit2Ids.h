// Control ids of the hot-key settings dialog, Unit2. Tests that drive the real program from
// another process find its controls by these ids, so they are kept in a header without
// <windows.h>.
#pragma once

namespace tw::ids {

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
    HelpLabel5,
    edtHideActive,
    GroupBox2,
    lblHotCorner,
    cboHotCorner,
    lblIdleMinutes,
    edtIdleMinutes,
};

} // namespace tw::ids

#define TW_HELP_WINDOW_CLASS L"TFrmHelp"
