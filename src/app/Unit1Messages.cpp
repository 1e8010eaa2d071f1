// TFrmAmbler's message dispatch: every message of the main window and the mouse presses of
// its two lists reach their handlers here.
#include "app/Unit1.h"

#include <commctrl.h>
#include <windowsx.h>

namespace tw {

void TFrmAmbler::OnCommand(int id, int code)
{
    if (id == ids::edtBossKey && code == EN_KILLFOCUS) {
        edtBossKeyExit();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case ids::BtnRefreshList: BtnRefreshListClick(); break;
    case ids::BtnHideWindows: BtnHideWindowsClick(); break;
    case ids::BtnShowWindows: BtnShowWindowsClick(); break;
    case ids::SpeedButton4: SpeedButton4Click(); break;
    case ids::CheckBox1: CheckBox1Click(); break;
    case ids::CheckBox2: CheckBox2Click(); break;
    case ids::PopOpen: PopOpenClick(); break;
    case ids::PopDel: PopDelClick(); break;
    default: break;
    }
}

LRESULT TFrmAmbler::OnNotify(NMHDR* hdr)
{
    if (hdr->idFrom == static_cast<UINT_PTR>(ids::lstWindowName) && hdr->code == LVN_ITEMCHANGED)
        lstWindowNameItemChanged(*reinterpret_cast<NMLISTVIEW*>(hdr));
    return 0;
}

void TFrmAmbler::HookMouseDown(int listId)
{
    hooks_.push_back(std::make_unique<ui::Subclass>(Control(listId), &TFrmAmbler::ListMouseProc,
                                                   static_cast<UINT_PTR>(listId), reinterpret_cast<DWORD_PTR>(this)));
}

LRESULT CALLBACK TFrmAmbler::ListMouseProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data)
{
    // The list view handles the click first (it ticks the box on a click on it), so the
    // handler sees the row's new check mark, as a mouse-down handler after the control's own.
    // The second press of a double-click is a press too: on a check box Windows' list view
    // toggles the box again, and the remembered mark must follow it.
    LRESULT result = ::DefSubclassProc(hwnd, msg, wParam, lParam);
    // The space bar ticks or clears the focused row's box, as a click on it does; the
    // control has applied it by now, so its handler acts as the click's would.
    if (msg == WM_KEYDOWN && wParam == VK_SPACE) {
        auto* self = reinterpret_cast<TFrmAmbler*>(data);
        const int row = static_cast<int>(::SendMessageW(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        try {
            if (row >= 0 && id == static_cast<UINT_PTR>(ids::lstWindowName))
                self->lstWindowNameBoxChanged(row);
            else if (row >= 0 && id == static_cast<UINT_PTR>(ids::lstTrayIcons))
                self->lstTrayIconsBoxChanged(row);
        } catch (...) {
            // A key is never worth a crash either.
        }
        return result;
    }
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
        auto* self = reinterpret_cast<TFrmAmbler*>(data);
        int button = msg == WM_RBUTTONDOWN ? 1 : (msg == WM_MBUTTONDOWN ? 2 : 0);
        int x = GET_X_LPARAM(lParam);
        int y = GET_Y_LPARAM(lParam);
        try {
            if (id == static_cast<UINT_PTR>(ids::lstWindowName))
                self->lstWindowNameMouseDown(button, x, y);
            else if (id == static_cast<UINT_PTR>(ids::lstTrayIcons))
                self->lstTrayIconsMouseDown(button, x, y);
        } catch (...) {
            // A click is never worth a crash; the handlers swallow their own errors too.
        }
    }
    return result;
}

void TFrmAmbler::OnTimer(UINT_PTR timer)
{
    switch (timer) {
    case kShellRestartTimer: ShellRestartTick(timer); break;
    case kRestoreCheckTimer: ui::Guarded(hwnd_, [this] { RestoreCheckTick(); }); break;
    case kRecordRetryTimer: ui::Guarded(hwnd_, [this] { RecordRetryTick(); }); break;
    case kTaskbarWatchTimer: ui::Guarded(hwnd_, [this] { TaskbarWatchTick(); }); break;
    case kTrayWatchTimer: ui::Guarded(hwnd_, [this] { TrayWatchTick(); }); break;
    case kAudioAnswerTimer:
    case kAudioLookTimer: ui::Guarded(hwnd_, [this, timer] { AudioTick(timer); }); break;
    case kHotCornerTimer:
    case kIdleTimer: ui::Guarded(hwnd_, [this, timer] { timer == kIdleTimer ? IdleTick() : HotCornerTick(); }); break;
    case kFileSaveRetryTimer: ui::Guarded(hwnd_, [this] { FileSaveRetryTick(); }); break;
    default: break;
    }
}

bool TFrmAmbler::OnContextMenu(HWND control, int x, int y)
{
    if (control == Control(ids::lstFiles))
        lstFilesContextMenu(x, y);
    else if (control == Control(ids::lstWindowName))
        ui::Guarded(hwnd_, [&] { lstWindowNameContextMenu(x, y); });
    else if (control == Control(ids::lstTrayIcons))
        ui::Guarded(hwnd_, [&] { lstTrayIconsContextMenu(x, y); });
    else
        return false;
    return true;
}

void TFrmAmbler::OnClose()
{
    if (busy_ > 0) {
        pendingClose_ = true;
        return;
    }
    bool closed = false;
    {
        BusyScope busy(*this);
        closed = FormClose();
    }
    if (closed)
        ::DestroyWindow(hwnd_);
}

LRESULT TFrmAmbler::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A thread that faulted is waiting: whatever work this thread is inside, the process
    // ends once the restore is done.
    if (msg == RestoreAfterFaultMessage() && msg != 0)
        return faultRestore_.Answer();
    if (OnRequest(msg))
        return 1;
    if (msg == TaskbarCreatedMessage() && msg != 0) {
        // Frees the tray rows, so never under work that uses them.
        if (busy_ > 0)
            pendingTaskbarCreated_ = true;
        else
            ui::Guarded(hwnd_, [this] { TaskbarCreated(); });
        return 0;
    }
    switch (msg) {
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        if (LRESULT r = OnNotify(reinterpret_cast<NMHDR*>(lParam)))
            return r;
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Logging off ends the program without WM_CLOSE; the user still gets back what we
        // hid, and the lists are saved, as if the window had been closed. The system may end
        // the process as soon as this returns, so it cannot wait for other work: the close
        // sequence frees nothing and runs now, and the work it interrupts hides nothing more.
        if (wParam && !closed_) {
            BusyScope busy(*this);
            FormClose(true);
        }
        return 0;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kCommandMessage:
        // Posted by ourselves; anything else posting it is given no more than a command. A
        // message box under work that waits dispatches it: then it waits again.
        if (IsCommand(static_cast<StartSwitch>(wParam)) && !QueueWhileBusy(static_cast<StartSwitch>(wParam)))
            ui::Guarded(hwnd_, [&] { RunCommand(static_cast<StartSwitch>(wParam)); });
        return 0;
    case kFinishStartMessage:
        FinishStart();
        return 0;
    case kFileCommandsEndedMessage:
        ui::Guarded(hwnd_, [this] { FileCommandsEnded(); });
        return 0;
    case WM_HOTKEY:
        WMHotKey(static_cast<int>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CONTEXTMENU:
        if (OnContextMenu(reinterpret_cast<HWND>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)))
            return 0;
        break;
    case WM_DESTROY:
        // Withdrawn while the window they are registered on still exists.
        ReleaseHotKeys();
        FormDestroy();
        ::PostQuitMessage(0);
        return 0;
    }
    return Form::HandleMessage(msg, wParam, lParam);
}

} // namespace tw
