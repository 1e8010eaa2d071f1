// The Files page: the hidden-file list lives in the lines of lstFiles. The rules of what a
// hide, an unhide and a lookup do are in files/FileListRules; this is where they meet the
// list box, the context menu, the Delete key, the confirmation and the picker.
#include "app/Unit1.h"

#include "files/AttribQueue.h"
#include "files/DrawTreeDemo.h"
#include "files/FileListRules.h"
#include "platform/WideText.h"
#include "platform/Win32Platform.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Text.h"
#include "settings/uIniFileMgr.h"

#include <optional>
#include <stdexcept>

namespace tw {

namespace {

// The list box's lines as the hidden-file list. The box holds them as wide text, shown
// exactly; the rules read them as UTF-8, which holds every path the same.
class ListBoxLines final : public FileLines {
public:
    explicit ListBoxLines(HWND box) : box_(box) {}

    int Count() const override { return ui::LbGetCount(box_); }
    std::string Line(int index) const override
    {
        std::optional<std::wstring> text = ui::LbGetText(box_, index);
        if (!text)
            throw std::out_of_range("no such line in the file list");
        return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text->data()), text->size()));
    }
    void Append(const std::string& line) override
    {
        if (ui::LbAddString(box_, ui::FromUtf8(line)) < 0)
            throw std::runtime_error("cannot add to the file list");
    }
    void Delete(int index) override { ui::LbDeleteString(box_, index); }
    void Assign(const std::vector<std::string>& lines) override
    {
        ui::RedrawPause pause(box_);
        ui::LbResetContent(box_);
        for (const std::string& line : lines)
            Append(line);
    }
    // The list box's own exact-string search: whole lines, letter case ignored by the
    // system's rules, from the first line.
    int FindIgnoringCase(const std::string& path) const override
    {
        return ui::LbFindStringExact(box_, ui::FromUtf8(path));
    }

private:
    HWND box_;
};

// The confirmation's two buttons carry the program's own texts, "&Yes" and "&No"; a plain
// message box would put the system language's words there instead. The box is renamed as it
// is activated, through a hook that lives only for this one box.
thread_local HHOOK confirmHook = nullptr;

LRESULT CALLBACK RenameConfirmButtons(int code, WPARAM wParam, LPARAM lParam)
{
    HHOOK hook = confirmHook;
    if (code == HCBT_ACTIVATE) {
        auto box = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16]{};
        ::GetClassNameW(box, cls, 16);
        if (std::wstring_view(cls) == L"#32770") {
            ::SetDlgItemTextW(box, IDYES, L"&Yes");
            ::SetDlgItemTextW(box, IDNO, L"&No");
        }
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

bool ConfirmYesNo(HWND owner, const std::wstring& question)
{
    confirmHook = ::SetWindowsHookExW(WH_CBT, &RenameConfirmButtons, nullptr, ::GetCurrentThreadId());
    int answer = ::MessageBoxW(owner, question.c_str(), L"Confirm", MB_YESNO | MB_ICONQUESTION);
    if (confirmHook)
        ::UnhookWindowsHookEx(confirmHook);
    confirmHook = nullptr;
    return answer == IDYES;
}

} // namespace

void TFrmAmbler::BuildFilesPage()
{
    HMENU menu = ::CreatePopupMenu();
    PopupMenu1.Reset(menu);
    ::AppendMenuW(menu, MF_STRING, ids::PopOpen, L"打开文件");
    ::AppendMenuW(menu, MF_STRING, ids::PopDel, L"取消隐藏");
    if (!Control(ids::lstFiles))
        return;
    filesKeys_ = std::make_unique<ui::Subclass>(Control(ids::lstFiles), &TFrmAmbler::FilesKeyProc,
                                                static_cast<UINT_PTR>(ids::lstFiles), reinterpret_cast<DWORD_PTR>(this));
}

void TFrmAmbler::BindFilePicker()
{
    OnPathChecked = [this](const std::string& path) { HideFile(path); };
    OnPathUnchecked = [this](const std::string& path) { UnhideFile(path); };
    OnIsPathChecked = [this](const std::string& path) { return IsFileListed(path); };
}

void TFrmAmbler::UnbindFilePicker()
{
    OnPathChecked = nullptr;
    OnPathUnchecked = nullptr;
    OnIsPathChecked = nullptr;
}

bool TFrmAmbler::IsFileListed(const std::string& path)
{
    return tw::IsFileListed(ListBoxLines(Control(ids::lstFiles)), path);
}

TAttribQueue& TFrmAmbler::FileCommands()
{
    if (!fileCommands_) {
        // The worker only knocks; the lines and the settings file are touched on this thread.
        HWND self = hwnd_;
        fileCommands_ = std::make_unique<TAttribQueue>(
            Win32Files(), [self] { ::PostMessageW(self, kFileCommandsEndedMessage, 0, 0); });
    }
    return *fileCommands_;
}

TFileListRecord& TFrmAmbler::FileRecord()
{
    if (!fileRecord_)
        fileRecord_ = std::make_unique<TFileListRecord>(Settings(), Win32Files());
    return *fileRecord_;
}

// Each change is written at once: if the program is ended without its window being closed,
// the record of what it hid must not be lost with it. A path is hidden only once its line
// is saved, so no file is ever hidden that the list does not name.
void TFrmAmbler::HideFile(const std::string& path)
{
    ListBoxLines lines(Control(ids::lstFiles));
    if (tw::HideFile(lines, FileCommands(), FileRecord(), path))
        return;
    // The picker is in front while a tick is handled; the message belongs to it.
    HWND owner = ::GetActiveWindow();
    ui::ShowMessage(owner ? owner : hwnd_, L"无法保存文件列表，该文件未隐藏！");
}

void TFrmAmbler::UnhideFile(const std::string& path)
{
    ListBoxLines lines(Control(ids::lstFiles));
    tw::UnhideFile(lines, FileCommands(), FileRecord(), path);
    KeepFileListSaved();
}

void TFrmAmbler::ApplyFileAttributes(bool unhide, const std::string& path)
{
    tw::ApplyFileAttributes(FileCommands(), unhide, path);
}

void TFrmAmbler::UnhideSelectedFile()
{
    HWND box = Control(ids::lstFiles);
    ListBoxLines lines(box);
    int selected = ui::LbGetCurSel(box);
    if (selected < 0)
        return;
    std::wstring question = L"确定取消路径[" + ui::FromUtf8(lines.Line(selected)) + L"]的隐藏吗";
    if (!ConfirmYesNo(hwnd_, question))
        return;
    // The selection is read again: the list may have changed while the question was open.
    selected = ui::LbGetCurSel(box);
    if (selected < 0)
        return;
    UnhideLine(lines, FileCommands(), FileRecord(), selected);
    KeepFileListSaved();
}

void TFrmAmbler::LoadFileList()
{
    ListBoxLines lines(Control(ids::lstFiles));
    FileRecord().Load(lines);
}

void TFrmAmbler::SaveFileList()
{
    ListBoxLines lines(Control(ids::lstFiles));
    FileRecord().StoreIfChanged(lines);
}

bool TFrmAmbler::AskQuitWithoutSaving()
{
    std::wstring question = L"无法写入设置文件 " + ui::FromAnsi(Settings().Path()) + L"，是否不保存就退出？";
    // No is the default: a stray Enter must not throw away the record of hidden files.
    return ::MessageBoxW(hwnd_, question.c_str(), ui::kAppTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void TFrmAmbler::FileCommandsEnded()
{
    if (!fileCommands_ || closed_)
        return;
    ListBoxLines lines(Control(ids::lstFiles));
    std::vector<std::string> refused = SettleFileCommands(lines, *fileCommands_, FileRecord());
    KeepFileListSaved();
    ReportRefusedUnhides(refused);
}

// A write refused for a moment (an indexer, a scanner or a sync client holding the file)
// would otherwise leave the file naming paths already given back, or missing ones hidden
// again, until the next change happens to write it: it is tried again until it is taken.
void TFrmAmbler::KeepFileListSaved()
{
    if (fileRecord_ && fileRecord_->Changed() && !closed_)
        ::SetTimer(hwnd_, kFileSaveRetryTimer, 1000, nullptr);
}

void TFrmAmbler::FileSaveRetryTick()
{
    if (!fileRecord_ || !fileRecord_->Changed() || closed_) {
        ::KillTimer(hwnd_, kFileSaveRetryTimer);
        return;
    }
    ListBoxLines lines(Control(ids::lstFiles));
    if (fileRecord_->Store(lines))
        ::KillTimer(hwnd_, kFileSaveRetryTimer);
}

void TFrmAmbler::ReportRefusedUnhides(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    std::wstring text = L"无法取消隐藏：";
    for (std::size_t i = 0; i < paths.size(); ++i)
        text += (i ? L"\r\n" : L"") + ui::FromUtf8(paths[i]);
    // The picker may be in front; the message belongs to it then.
    HWND owner = ::GetActiveWindow();
    ui::ShowMessage(owner ? owner : hwnd_, text.c_str());
}

// The window is closing, so nothing the user does can matter now, but it must not look
// hung: it repaints, and answers other programs, while the last commands finish. A session
// that is ending may end the process at any moment: the restores that have not started are
// listed again and saved before anything is waited for, and the wait is short.
void TFrmAmbler::FinishFileCommands(bool sessionEnding)
{
    if (!fileCommands_)
        return;
    constexpr unsigned kCloseWaitMs = 15000;
    constexpr unsigned kLogOffWaitMs = 2000;
    constexpr unsigned kSliceMs = 50;
    ListBoxLines lines(Control(ids::lstFiles));
    if (sessionEnding)
        KeepUnstartedRestores(lines, *fileCommands_, FileRecord());
    HCURSOR before = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    ULONGLONG deadline = ::GetTickCount64() + (sessionEnding ? kLogOffWaitMs : kCloseWaitMs);
    while (!fileCommands_->WaitIdle(kSliceMs) && ::GetTickCount64() < deadline) {
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            ::DispatchMessageW(&msg);
    }
    std::vector<std::string> refused = SettleFileCommands(lines, *fileCommands_, FileRecord());
    KeepUnstartedRestores(lines, *fileCommands_, FileRecord());
    ::SetCursor(before);
    // A question at log-off would only hold it up; the lines are kept all the same.
    if (!sessionEnding)
        ReportRefusedUnhides(refused);
}

void TFrmAmbler::PopOpenClick()
{
    try {
        HWND box = Control(ids::lstFiles);
        int selected = ui::LbGetCurSel(box);
        if (selected < 0)
            return;
        FileApi& files = Win32Files();
        files.ShellOpen(ui::AsHwnd(hwnd_), ExplorerFile(files.WindowsDirectory()),
                        ExplorerParameters(ListBoxLines(box).Line(selected)));
    } catch (...) {
        // Explorer that does not start is not reported.
    }
}

void TFrmAmbler::PopDelClick() { UnhideSelectedFile(); }

void TFrmAmbler::lstFilesKeyDown(unsigned key)
{
    // Shift, Ctrl and Alt are not looked at: Shift+Delete does what Delete does.
    if (key == VK_DELETE)
        UnhideSelectedFile();
}

void TFrmAmbler::lstFilesContextMenu(int x, int y)
{
    HWND box = Control(ids::lstFiles);
    if (x == -1 && y == -1) {
        // From the keyboard: at the selected line, or the list's corner.
        int selected = ui::LbGetCurSel(box);
        RECT at = selected < 0 ? RECT{} : ui::LbGetItemRect(box, selected);
        POINT pt{at.left, at.bottom};
        ::ClientToScreen(box, &pt);
        x = pt.x;
        y = pt.y;
    }
    ::TrackPopupMenu(PopupMenu1.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, hwnd_, nullptr);
}

void TFrmAmbler::ShowFilePicker()
{
    try {
        auto picker = std::make_unique<TDrawTreeForm>(Win32Files());
        picker->Create(hwnd_);
        RECT main{};
        RECT own{};
        ::GetWindowRect(hwnd_, &main);
        ::GetWindowRect(picker->Handle(), &own);
        int mainWidth = main.right - main.left;
        int pickerWidth = own.right - own.left;
        // Beside the main window on the right, or one main-window width to its left.
        int left = ::GetSystemMetrics(SM_CXSCREEN) < main.left + mainWidth + pickerWidth ? main.left - mainWidth
                                                                                         : main.left + mainWidth;
        ::SetWindowPos(picker->Handle(), nullptr, left, main.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        picker->ShowModal(hwnd_);
    } catch (...) {
        ui::ShowMessage(hwnd_, L"初始化文件列表失败！");
    }
}

LRESULT CALLBACK TFrmAmbler::FilesKeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    // Alt+Delete arrives as a system key; it does what Delete does.
    if ((msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) && wParam == VK_DELETE) {
        auto* self = reinterpret_cast<TFrmAmbler*>(data);
        ui::Guarded(self->hwnd_, [&] { self->lstFilesKeyDown(static_cast<unsigned>(wParam)); });
        return 0;
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

} // namespace tw
