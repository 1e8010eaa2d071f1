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
    PopTickByTitle,      // the Windows page's row menu: a rule by title, and the rules it matches
    PopForgetTitle,
    PopForgetTitleLast = PopForgetTitle + 4,
};

// The dialog that makes a rule by title (window class "TFrmTitleRule").
enum TitleRuleDialog : int {
    lblTitleRule = 300,
    edtTitleRule,
    BtnTitleRuleOk,
    BtnTitleRuleCancel,
};

// The settings dialog's ids are beside it, in hotkeys/Unit2Ids.h, and the file picker's in
// files/PickerIds.h.

} // namespace tw::ids

// Window class of the main window.
#define TW_MAIN_WINDOW_CLASS L"TFrmAmbler"
#define TW_TITLE_RULE_WINDOW_CLASS L"TFrmTitleRule"
