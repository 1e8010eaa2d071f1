#include "hotkeys/Unit2.h"

#include "hotkeys/HotKeyEdit_win.h"
#include "hotkeys/Unit2Ids.h"
#include "hotkeys/uGlobalHotKeys.h"
#include "hotkeys/uHideTriggers.h"
#include "platform/Win32Platform.h"
#include "platform/WideText.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"
#include "settings/uAutoStart.h"
#include "settings/uIniFileMgr.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace tw {

namespace {

using ui::Kind;

enum Font : int { FontDefault, FontSong, FontButton };

// "宋体" is asked for with its own character set, as designed. The labels designed with the
// ANSI set get the default set instead: asked for ANSI, the system may pick a face with no
// Chinese glyphs for their Chinese captions.
const ui::FontSpec kFonts[] = {
    {L"MS Sans Serif", -11},
    {L"宋体", -12, false, false, GB2312_CHARSET},
    {L"MS Sans Serif", -11},
};

// The designed 267 x 173, grown by a row for the fourth hot key and by a group for what
// hides the windows without a key and for the start-with-Windows box.
constexpr int kClientWidth = 267;
constexpr int kClientHeight = 297;
constexpr int kDesignLeft = 549;
constexpr int kDesignTop = 302;

// The blanks push the instructions onto the second line of the word-wrapped label.
const wchar_t kOpenHiddenFileHint[] = L"进入隐藏文件方法：                             "
                                      L"点击“开始”—“运行”—输入文件路径，按回车即可 ";

// The hot keys' labels come from the hot-key table.
const ui::ControlSpec kLayout[] = {
    // id              name           kind            parent          left top  width height text / hint
    {ids::HelpPanel1,  "Panel1",      Kind::Panel,    0,              0,   0,   267,  263,  nullptr, nullptr},
    {ids::Label4,      "Label4",      Kind::Label,    ids::HelpPanel1, 4,  3,   264,  36,   kOpenHiddenFileHint, nullptr,
     FontSong, ui::WordWrap},
    {ids::GroupBox1,   "GroupBox1",   Kind::GroupBox, ids::HelpPanel1, 1,  41,  265,  125,  nullptr, nullptr},
    {ids::HelpLabel1,  "Label1",      Kind::Label,    ids::GroupBox1, 8,   17,  102,  12,   nullptr, nullptr, FontSong},
    {ids::edtHideSelf, "edtHideSelf", Kind::Edit,     ids::GroupBox1, 125, 13,  121,  21,   nullptr, nullptr},
    {ids::HelpLabel2,  "Label2",      Kind::Label,    ids::GroupBox1, 8,   46,  100,  13,   nullptr, nullptr, FontButton},
    {ids::edtHide,     "edtHide",     Kind::Edit,     ids::GroupBox1, 125, 44,  121,  21,   nullptr, nullptr},
    {ids::HelpLabel3,  "Label3",      Kind::Label,    ids::GroupBox1, 8,   74,  96,   13,   nullptr, nullptr, FontButton},
    {ids::edtShow,     "edtShow",     Kind::Edit,     ids::GroupBox1, 125, 70,  121,  21,   nullptr, nullptr},
    {ids::HelpLabel5,  "Label5",      Kind::Label,    ids::GroupBox1, 8,   100, 100,  13,   nullptr, nullptr, FontButton},
    {ids::edtHideActive, "edtHideActive", Kind::Edit, ids::GroupBox1, 125, 96,  121,  21,   nullptr, nullptr},
    {ids::GroupBox2,   "GroupBox2",   Kind::GroupBox, ids::HelpPanel1, 1,  168, 265,  94,   nullptr, nullptr},
    {ids::lblHotCorner, "lblHotCorner", Kind::Label,  ids::GroupBox2, 8,   17,  134,  12,   L"鼠标移到屏幕角落时隐藏", nullptr, FontSong},
    {ids::cboHotCorner, "cboHotCorner", Kind::ComboBox, ids::GroupBox2, 145, 13, 101,  120,  nullptr, nullptr},
    {ids::lblIdleMinutes, "lblIdleMinutes", Kind::Label, ids::GroupBox2, 8, 46,  218,  12,   L"无操作时自动隐藏（分钟，0 为不使用）", nullptr, FontSong},
    {ids::edtIdleMinutes, "edtIdleMinutes", Kind::Edit, ids::GroupBox2, 226, 42, 30,   21,   nullptr, nullptr,
     FontDefault, ui::Digits},
    {ids::chkAutoStart, "chkAutoStart", Kind::CheckBox, ids::GroupBox2, 8,  70,  238,  17,   L"开机自动启动", nullptr, FontButton},
    {ids::Button1,     "Button1",     Kind::Button,   0,              95,  267, 75,   25,   L"确定(&O)", nullptr, FontButton},
};

// The choices of the corner, in the order of their stored values.
const wchar_t* const kCornerChoices[] = {L"不使用", L"左上角", L"右上角", L"左下角", L"右下角"};

// Each row of the hot-key table: its label and its edit.
struct HotKeyRow {
    int label;
    int edit;
};

const HotKeyRow kHotKeyRows[kProgramHotKeyCount] = {
    {ids::HelpLabel1, ids::edtHideSelf},
    {ids::HelpLabel2, ids::edtHide},
    {ids::HelpLabel3, ids::edtShow},
    {ids::HelpLabel5, ids::edtHideActive},
};

// Auto-repeat sends a held key at least every half second (the slowest repeat rate the
// system offers is about 2.5 a second); a combination that comes again sooner is held.
constexpr LONG kRepeatGapMs = 500;

// The full path of this exe, exactly: the Run value must start this copy, wherever it lies,
// whatever characters its folders hold.
std::string ExecutablePath()
{
    const std::wstring path = ModuleFileName();
    return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), path.size()));
}

TAutoStart AutoStart()
{
    return TAutoStart(Win32Registry(), ExecutablePath());
}

} // namespace

TFrmHelp::TFrmHelp() = default;

void TFrmHelp::Create(HWND owner)
{
    RegisterWindowClass(TW_HELP_WINDOW_CLASS, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT rc{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    if (!CreateHwnd(TW_HELP_WINDOW_CLASS, exStyle, style, L"帮助", kDesignLeft, kDesignTop, rc.right - rc.left,
                    rc.bottom - rc.top, owner))
        throw std::runtime_error("cannot create the hot-key settings dialog");
    FitToDpi(kClientWidth, kClientHeight, true, Anchor::TopLeft);
    // At its designed place, unless that puts part of it off its monitor's work area (a high
    // DPI on a small screen): then moved in, so that every row and the button can be reached.
    RECT placed{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetWindowRect(hwnd_, &placed) &&
        ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        const LONG x = std::max(work.left, std::min(placed.left, work.right - (placed.right - placed.left)));
        const LONG y = std::max(work.top, std::min(placed.top, work.bottom - (placed.bottom - placed.top)));
        ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    BuildControls(kLayout, kFonts);
    for (std::size_t i = 0; i < kProgramHotKeyCount; ++i)
        ui::SetText(Control(kHotKeyRows[i].label), reinterpret_cast<const wchar_t*>(kProgramHotKeys[i].Label));
    HWND corner = Control(ids::cboHotCorner);
    for (const wchar_t* choice : kCornerChoices)
        ::SendMessageW(corner, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    ::SendMessageW(Control(ids::edtIdleMinutes), EM_LIMITTEXT, 3, 0);
}

void TFrmHelp::AttachHotKeyBoxes()
{
    for (std::size_t i = 0; i < kProgramHotKeyCount; ++i) {
        HWND edit = Control(kHotKeyRows[i].edit);
        auto& box = HotKeyBoxes[i];
        box = ui::AttachHotKeyBox(edit);
        const ProgramHotKey& which = kProgramHotKeys[i];
        box->OnHotKey = [edit, &which](const std::string& text, std::uint16_t modifier, std::uint16_t key) {
            ui::SetText(edit, ui::FromAnsi(text));
            WriteProgramHotKey(Settings(), which, THotKeyValue{modifier, key});
        };
        box->OnClear = [edit, &which] {
            ui::SetText(edit, std::wstring());
            WriteProgramHotKey(Settings(), which, THotKeyValue{});
        };
    }
}

void TFrmHelp::FormShow()
{
    showing_ = true;
    for (std::size_t i = 0; i < kProgramHotKeyCount; ++i)
        ui::SetText(Control(kHotKeyRows[i].edit),
                    ui::FromAnsi(THotKeyBox::HotKeyText(ReadProgramHotKey(Settings(), kProgramHotKeys[i]))));
    ::SendMessageW(Control(ids::cboHotCorner), CB_SETCURSEL, static_cast<WPARAM>(ReadHotCorner(Settings())), 0);
    ::SetDlgItemInt(Control(ids::GroupBox2), ids::edtIdleMinutes, static_cast<UINT>(ReadIdleMinutes(Settings())), FALSE);
    showing_ = false;
    ::SendMessageW(Control(ids::chkAutoStart), BM_SETCHECK, AutoStart().Enabled() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TFrmHelp::cboHotCornerChange()
{
    const auto chosen = static_cast<int>(::SendMessageW(Control(ids::cboHotCorner), CB_GETCURSEL, 0, 0));
    if (chosen >= 0 && chosen != static_cast<int>(ReadHotCorner(Settings())))
        Settings().WriteInteger(kSettingsSection, kHotCornerKey, chosen);
}

void TFrmHelp::edtIdleMinutesChange()
{
    if (showing_)
        return;
    // The edit takes three digits alone; an emptied one means off. Unchanged values are not
    // written, so that a file never gains a key the user did not set.
    BOOL read = FALSE;
    UINT typed = ::GetDlgItemInt(Control(ids::GroupBox2), ids::edtIdleMinutes, &read, FALSE);
    const int minutes = read && typed <= static_cast<UINT>(kMaxIdleMinutes) ? static_cast<int>(typed) : 0;
    if (minutes != ReadIdleMinutes(Settings()))
        Settings().WriteInteger(kSettingsSection, kIdleMinutesKey, minutes);
}

void TFrmHelp::chkAutoStartClick()
{
    // Written at once, as the hot keys are. The box has already changed; a refusal puts it back.
    HWND box = Control(ids::chkAutoStart);
    const bool wanted = ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (AutoStart().Set(wanted))
        return;
    ::SendMessageW(box, BM_SETCHECK, wanted ? BST_UNCHECKED : BST_CHECKED, 0);
    ui::ShowMessage(hwnd_, L"无法设置开机自动启动");
}

void TFrmHelp::HotKeyDown()
{
    // Only the edit being typed in is concerned: one message, not one per edit.
    HWND focus = ::GetFocus();
    for (std::size_t i = 0; i < kProgramHotKeyCount; ++i)
        if (HotKeyBoxes[i] && focus == Control(kHotKeyRows[i].edit))
            HotKeyBoxes[i]->CheckInUse();
}

bool TFrmHelp::HasHotKeyFocus() const
{
    HWND focus = ::GetFocus();
    for (const HotKeyRow& row : kHotKeyRows)
        if (focus && focus == Control(row.edit))
            return true;
    return false;
}

bool TFrmHelp::ReportingInUse()
{
    for (const auto& box : HotKeyBoxes)
        if (box && ui::IsReportingInUse(*box))
            return true;
    return false;
}

bool TFrmHelp::IsRepeat(std::uint16_t id, unsigned key, LONG time)
{
    // Message times wrap; their difference, taken unsigned, does not.
    const ULONG since = static_cast<ULONG>(time) - static_cast<ULONG>(heldTime_);
    const bool again = id == heldId_ && (ReportingInUse() || (::GetAsyncKeyState(static_cast<int>(key)) & 0x8000) ||
                                         since < static_cast<ULONG>(kRepeatGapMs));
    heldId_ = id;
    heldTime_ = time;
    return again;
}

bool TFrmHelp::TakesHotKey(std::uint16_t id, unsigned key)
{
    if (!HasHotKeyFocus() && !ReportingInUse())
        return false;
    if (!IsRepeat(id, key, ::GetMessageTime()))
        HotKeyDown();
    return true;
}

LRESULT TFrmHelp::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SHOWWINDOW:
        if (wParam)
            ui::Guarded(hwnd_, [&] { FormShow(); });
        break;
    case WM_ACTIVATE:
        // As a dialog does: the control that had the focus gets it back, the first edit
        // at the start.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus))
                lastFocus_ = focus;
        } else {
            ::SetFocus(lastFocus_ && ::IsWindow(lastFocus_) ? lastFocus_ : Control(ids::edtHideSelf));
            return 0;
        }
        break;
    case WM_COMMAND:
        // Button1 closes with OK; Enter and Escape, which the dialog manager turns into
        // IDOK and IDCANCEL, close as well. Nothing is left to confirm or undo: every change
        // is in the settings file already.
        if (LOWORD(wParam) == ids::cboHotCorner && HIWORD(wParam) == CBN_SELCHANGE)
            ui::Guarded(hwnd_, [this] { cboHotCornerChange(); });
        else if (LOWORD(wParam) == ids::edtIdleMinutes && HIWORD(wParam) == EN_CHANGE)
            ui::Guarded(hwnd_, [this] { edtIdleMinutesChange(); });
        else if (HIWORD(wParam) == BN_CLICKED) {
            int id = LOWORD(wParam);
            if (id == ids::chkAutoStart)
                ui::Guarded(hwnd_, [this] { chkAutoStartClick(); });
            else if (id == ids::Button1 || id == IDOK)
                EndModal(IDOK);
            else if (id == IDCANCEL)
                EndModal(IDCANCEL);
        }
        return 0;
    case WM_HOTKEY:
        HotKeyDown();
        return 0;
    }
    return Form::HandleMessage(msg, wParam, lParam);
}

} // namespace tw
