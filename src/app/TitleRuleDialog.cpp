#include "app/TitleRuleDialog.h"

#include "app/ControlIds.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"
#include "settings/uRemembered.h"

#include <stdexcept>

namespace tw {

namespace {

using ui::Kind;

const ui::FontSpec kFonts[] = {
    {L"MS Sans Serif", -11},
};

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 92;

const ui::ControlSpec kLayout[] = {
    // id                      name                  kind         parent left top width height text / hint
    {ids::lblTitleRule,        "lblTitleRule",       Kind::Label,  0,   8,   9,  284,  14,  L"总是勾选标题含以下文字的窗口（不分大小写）：", nullptr},
    {ids::edtTitleRule,        "edtTitleRule",       Kind::Edit,   0,   8,   27, 284,  21,  nullptr, nullptr},
    {ids::BtnTitleRuleOk,      "BtnTitleRuleOk",     Kind::Button, 0,   136, 59, 75,   25,  L"确定", nullptr, 0, ui::Default},
    {ids::BtnTitleRuleCancel,  "BtnTitleRuleCancel", Kind::Button, 0,   217, 59, 75,   25,  L"取消", nullptr},
};

// No window title is longer: a rule past it could never match.
constexpr int kMaxRuleLength = 254;

} // namespace

void TFrmTitleRule::Create(HWND owner, const std::wstring& title)
{
    RegisterWindowClass(TW_TITLE_RULE_WINDOW_CLASS, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT rc{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    // Over the middle of the main window, where the user's eyes are.
    RECT over{};
    ::GetWindowRect(owner, &over);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    const int x = (over.left + over.right - width) / 2;
    const int y = (over.top + over.bottom - height) / 2;
    if (!CreateHwnd(TW_TITLE_RULE_WINDOW_CLASS, exStyle, style, L"按标题勾选", x, y, width, height, owner))
        throw std::runtime_error("cannot create the title rule dialog");
    FitToDpi(kClientWidth, kClientHeight, true, Anchor::Centre);
    BuildControls(kLayout, kFonts);
    HWND edit = Control(ids::edtTitleRule);
    ::SendMessageW(edit, EM_SETLIMITTEXT, kMaxRuleLength, 0);
    ui::SetText(edit, title.substr(0, kMaxRuleLength));
    edtTitleRuleChange();
}

std::optional<std::wstring> TFrmTitleRule::Ask(HWND owner)
{
    answer_.reset();
    return ShowModal(owner) == IDOK ? answer_ : std::nullopt;
}

void TFrmTitleRule::edtTitleRuleChange()
{
    ::EnableWindow(Control(ids::BtnTitleRuleOk),
                   IsUsableTitleRule(ui::ToUtf8(ui::GetText(Control(ids::edtTitleRule)))));
}

void TFrmTitleRule::BtnTitleRuleOkClick()
{
    std::wstring text = ui::GetText(Control(ids::edtTitleRule));
    // Enter reaches here even while the button is disabled.
    if (!IsUsableTitleRule(ui::ToUtf8(text)))
        return;
    answer_ = std::move(text);
    EndModal(IDOK);
}

LRESULT TFrmTitleRule::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ACTIVATE:
        // The whole title selected: typing replaces it, the arrow keys keep a part of it.
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND edit = Control(ids::edtTitleRule);
            ::SetFocus(edit);
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == ids::edtTitleRule && code == EN_CHANGE)
            ui::Guarded(hwnd_, [this] { edtTitleRuleChange(); });
        else if (code == BN_CLICKED && (id == ids::BtnTitleRuleOk || id == IDOK))
            ui::Guarded(hwnd_, [this] { BtnTitleRuleOkClick(); });
        else if (code == BN_CLICKED && (id == ids::BtnTitleRuleCancel || id == IDCANCEL))
            EndModal(IDCANCEL);
        return 0;
    }
    }
    return Form::HandleMessage(msg, wParam, lParam);
}

} // namespace tw
