// "Another program" for the driver's own tests: a window with a checked list view, a button
// with a tooltip, an edit box and the Alt+X hot key. It tells the test what happened to it
// (clicks, check marks, hot keys) one line at a time.
//
//   listview_host [--exit-before-ready CODE]
#include "HelperSide.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

using tw::e2e::helper::Say;

constexpr int kListId = 100;
constexpr int kButtonId = 101;
constexpr int kEditId = 102;
constexpr int kHotKeyId = 1;

// Rows: name, path, state; rows 1 and 3 start checked. The second column holds text outside
// any one ANSI code page on purpose, so the test sees whether text crosses as UTF-16.
constexpr const wchar_t* kRows[][3] = {
    {L"记事本", L"C:\\Windows\\notepad.exe", L"显示"},
    {L"计算器", L"C:\\Windows\\calc.exe", L"隐藏"},
    {L"Paint", L"C:\\Windows\\mspaint.exe", L"显示"},
    {L"资源管理器", L"C:\\Windows\\explorer.exe", L"隐藏"},
    {L"Ünïcödé", L"C:\\Ärger\\€.exe", L"显示"},
};
constexpr struct {
    const wchar_t* title;
    int width;
} kColumns[] = {{L"名称", 120}, {L"路径", 200}, {L"状态", 80}};

HWND g_list = nullptr;
// Filling the list changes check marks too; only the user's changes are reported.
bool g_reporting = false;

void FillList(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(kColumns[c].title);
        column.cx = kColumns[c].width;
        SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    for (int r = 0; r < 5; ++r) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = const_cast<wchar_t*>(kRows[r][0]);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (int c = 1; c < 3; ++c) {
            LVITEMW sub{};
            sub.iSubItem = c;
            sub.pszText = const_cast<wchar_t*>(kRows[r][c]);
            SendMessageW(list, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&sub));
        }
        ListView_SetCheckState(list, r, r == 1 || r == 3);
    }
}

void AddToolTip(HWND owner, HWND control, const wchar_t* text) {
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void OnListNotify(const NMHDR* header, LPARAM lParam) {
    if (!g_reporting) {
        return;
    }
    if (header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) &&
            ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) && change->iItem >= 0) {
            const bool checked = ((change->uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
            Say("checked " + std::to_string(change->iItem) + " " + (checked ? "1" : "0"));
        }
    } else if (header->code == NM_RCLICK) {
        Say("rclick " + std::to_string(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem));
    }
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        g_list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                                 WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 440, 160, window,
                                 reinterpret_cast<HMENU>(kListId), instance, nullptr);
        FillList(g_list);
        HWND button = CreateWindowExW(0, L"BUTTON", L"隐藏", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 180, 80, 26,
                                      window, reinterpret_cast<HMENU>(kButtonId), instance, nullptr);
        AddToolTip(window, button, L"隐藏选中的窗口");
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 100, 180, 200, 24,
                        window, reinterpret_cast<HMENU>(kEditId), instance, nullptr);
        if (!RegisterHotKey(window, kHotKeyId, MOD_ALT, 'X')) {
            Say("hotkey-unavailable");
        }
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
            Say("clicked");
        }
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == kListId) {
            OnListNotify(header, lParam);
        }
        return 0;
    }
    case WM_HOTKEY:
        Say("hotkey " + std::to_string(wParam));
        return 0;
    case WM_DESTROY:
        UnregisterHotKey(window, kHotKeyId);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, msg, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc == 3 && std::wcscmp(argv[1], L"--exit-before-ready") == 0) {
        return _wtoi(argv[2]);
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    tw::e2e::helper::RegisterPlainClass(L"TwListHost", HostProc);
    HWND window = CreateWindowExW(0, L"TwListHost", L"列表宿主", WS_OVERLAPPEDWINDOW, 100, 100, 480, 260, nullptr,
                                  nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    g_reporting = true;
    tw::e2e::helper::SignalReady();
    const int code = tw::e2e::helper::RunUntilQuit();
    DestroyWindow(window);
    return code;
}
