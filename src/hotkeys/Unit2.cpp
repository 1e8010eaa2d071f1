#include "hotkeys/Unit2.h"

#include "hotkeys/HotKeyEdit_win.h"
#include "hotkeys/Unit2Ids.h"
#include "hotkeys/uGlobalHotKeys.h"
#include "platform/Win32Platform.h"
#include "platform/WideText.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"
#include "settings/uAutoStart.h"
#include "settings/uIniFileMgr.h"

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

// The designed 267 x 173, grown by one row for the start-with-Windows box.
constexpr int kClientWidth = 267;
constexpr int kClientHeight = 195;
constexpr int kDesignLeft = 549;
constexpr int kDesignTop = 302;

// The blanks push the instructions onto the second line of the word-wrapped label.
const wchar_t kOpenHiddenFileHint[] = L"进入隐藏文件方法：                             "
                                      L"点击“开始”—“运行”—输入文件路径，按回车即可 ";

const ui::ControlSpec kLayout[] = {
    // id              name           kind            parent          left top  width height text / hint
    {ids::HelpPanel1,  "Panel1",      Kind::Panel,    0,              0,   0,   267,  163,  nullptr, nullptr},
    {ids::Label4,      "Label4",      Kind::Label,    ids::HelpPanel1, 4,  3,   264,  36,   kOpenHiddenFileHint, nullptr,
     FontSong, ui::WordWrap},
    {ids::GroupBox1,   "GroupBox1",   Kind::GroupBox, ids::HelpPanel1, 1,  41,  265,  121,  nullptr, nullptr},
    {ids::HelpLabel1,  "Label1",      Kind::Label,    ids::GroupBox1, 8,   17,  102,  12,   L"隐藏/还原软件本身", nullptr, FontSong},
    {ids::HelpLabel2,  "Label2",      Kind::Label,    ids::GroupBox1, 8,   46,  100,  13,   L"隐藏选中软件", nullptr, FontButton},
    {ids::HelpLabel3,  "Label3",      Kind::Label,    ids::GroupBox1, 8,   74,  96,   13,   L"还原选中软件", nullptr, FontButton},
    {ids::edtHideSelf, "edtHideSelf", Kind::Edit,     ids::GroupBox1, 125, 13,  121,  21,   nullptr, nullptr},
    {ids::edtHide,     "edtHide",     Kind::Edit,     ids::GroupBox1, 125, 44,  121,  21,   nullptr, nullptr},
    {ids::edtShow,     "edtShow",     Kind::Edit,     ids::GroupBox1, 125, 70,  121,  21,   nullptr, nullptr},
    {ids::chkAutoStart, "chkAutoStart", Kind::CheckBox, ids::GroupBox1, 8,  98,  238,  17,   L"开机自动启动", nullptr, FontButton},
    {ids::Button1,     "Button1",     Kind::Button,   0,              95,  165, 75,   25,   L"确定(&O)", nullptr, FontButton},
};

// Each edit, the hot key it sets and the box that serves it.
struct HotKeyRow {
    int edit;
    const ProgramHotKey* which;
    std::unique_ptr<THotKeyBox> TFrmHelp::*box;
};

const HotKeyRow kHotKeyRows[] = {
    {ids::edtHideSelf, &kSelfHotKey, &TFrmHelp::HideSelfBox},
    {ids::edtHide, &kHideHotKey, &TFrmHelp::HideBox},
    {ids::edtShow, &kShowHotKey, &TFrmHelp::ShowBox},
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
    BuildControls(kLayout, kFonts);
}

void TFrmHelp::AttachHotKeyBoxes()
{
    for (const HotKeyRow& row : kHotKeyRows) {
        HWND edit = Control(row.edit);
        auto& box = this->*row.box;
        box = ui::AttachHotKeyBox(edit);
        const ProgramHotKey& which = *row.which;
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
    for (const HotKeyRow& row : kHotKeyRows)
        ui::SetText(Control(row.edit), ui::FromAnsi(THotKeyBox::HotKeyText(ReadProgramHotKey(Settings(), *row.which))));
    ::SendMessageW(Control(ids::chkAutoStart), BM_SETCHECK, AutoStart().Enabled() ? BST_CHECKED : BST_UNCHECKED, 0);
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
    for (const HotKeyRow& row : kHotKeyRows)
        if (auto& box = this->*row.box; box && focus == Control(row.edit))
            box->CheckInUse();
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
    for (const HotKeyRow& row : kHotKeyRows)
        if (auto& box = this->*row.box; box && ui::IsReportingInUse(*box))
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
        if (HIWORD(wParam) == BN_CLICKED) {
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
