// The program's one long-lived form: the tool window with its top panel, tool buttons and
// three pages. It owns the window list, the tray icon list, the boss-key capture box and
// the hidden-file list (the lines of lstFiles), and its handlers are where every user
// action is caught and reported.
#pragma once

#include "app/Commands.h"
#include "app/ControlIds.h"
#include "app/FaultRestore_win.h"
#include "hotkeys/uGlobalHotKeys.h"
#include "hotkeys/uHideTriggers.h"
#include "hotkeys/uHotKeyBox.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"
#include "record/uHiddenRecord.h"
#include "settings/uRemembered.h"
#include "tray/uTrayIconHider.h"
#include "windows/uAudioMuter.h"
#include "windows/uWindowsHider.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class TFrmHelp;
class TAttribQueue;
class TFileListRecord;

// Requests another start of the program sends to the running copy's main window; the names
// are what both copies agree on.
UINT ShowRequestMessage();     // come to the front, as the show/hide-self hot key shows it
UINT RestoreRequestMessage();  // give back every window and icon you hid
// What the shell broadcasts to every top-level window when it has made its taskbar anew.
UINT TaskbarCreatedMessage();

class TFrmAmbler final : public ui::Form {
public:
    TFrmAmbler();
    ~TFrmAmbler() override;

    // Creates the native window and runs FormCreate; the window is shown by the caller.
    void Create();
    // Brings back every window and tray icon we hid; safe to call from a crash handler.
    void RestoreEverything() noexcept;
    // The crash path, on the thread that faulted (or one standing in for it): gives back what
    // we hid on the window's own thread, or here when that thread does not take it in time.
    void RestoreAfterFault(DWORD faultingThread) noexcept;

    // --- Fields ------------------------------------------------------------------------
    // What we hid, on disk; outlives the two lists that write to it.
    std::unique_ptr<THiddenRecord> Record;
    std::unique_ptr<TWindowList> WindowList;
    // The programs and tray icons the user asked us to remember across runs.
    std::unique_ptr<TRememberedStore> Remembered;
    std::unique_ptr<TTrayIconList> TrayIconList;
    // The sound of the programs whose windows we hide; `MuteWhenHidden` says, by the full
    // path of a program's executable (UTF-8), whether it is to be silent while hidden.
    std::unique_ptr<TAudioMuter> Muter;
    std::function<bool(const std::string& exeUtf8)> MuteWhenHidden = [](const std::string&) { return false; };
    TWindow* BossKeyWindow = nullptr;  // the entry whose boss key is being typed; not owned
    int BossKeyItem = -1;              // its row in lstWindowName; -1 = none
    std::unique_ptr<THotKeyBox> BossKeyBox;  // capture box on edtBossKey, for the whole run
    ProgramHotKeyIds HotKeyIds{};   // one per program hot key, in the table's order; 0 = none

    // --- Start-up, close, pages (Unit1.cpp) ----------------------------------------------
    // What the first paint shows; FinishStart does the rest.
    void FormCreate();
    // The record read and adopted, the remembered programs, the tray, the sound, the file
    // list and the hover hints: once the window has painted (or, started hidden, at once),
    // as the first message the loop takes, so no input can come before it. Until it has
    // run, what arrives is held back.
    void FinishStart();
    // Posts FinishStart: sent messages (another program asking whether the window
    // answers, say) are answered first, input after it.
    void FinishStartWhenIdle();
    // False when the close must not go on: the settings file could not be written and the user
    // keeps the window open. A session that is ending is never held up.
    bool FormClose(bool sessionEnding = false);
    void FormDestroy();
    void PageControl1Change(int index);
    void BtnRefreshListClick();

    // --- Windows page (Unit1Windows.cpp) ----------------------------------------------
    void FillWindowPage();
    void lstWindowNameMouseDown(int button, int x, int y);
    // The row's box was ticked or cleared, by a click or the space bar: the entry keeps it.
    void lstWindowNameBoxChanged(int row);
    void SetCheckedWindowsShown(bool show);
    // Hides the ticked windows: the one way the hot key, the screen corner and the idle
    // timer all take.
    void HideCheckedWindows();
    // Hides the window the user has in front, as a ticked one is hidden, and lists it ticked.
    // Says nothing when that window is none we may hide: the desktop, a taskbar, one of
    // ours, an elevated program's, or nothing at all.
    void HideFrontWindow();
    void BtnHideWindowsClick();
    void BtnShowWindowsClick();
    // A boss key: every entry bound to it toggles.
    void ToggleWindowsByHotKey(std::uint16_t id);
    // Restores were asked for: those that could not be queued are reported now, the others
    // are watched until their windows are seen back or have refused.
    void WatchRestores(const std::vector<TWindow*>& refused);
    void RestoreCheckTick();
    // The close: waits, bounded, to see the windows come back, so that they leave the record.
    void WaitForRestores(unsigned ms);
    // A record that could not be read at start is tried again until it can be, and what it
    // holds is then adopted as at start.
    void RecordRetryTick();

    // --- Hot keys and boss keys (Unit1HotKeys.cpp) -----------------------------------------
    void RegisterHotKeys();
    std::uint16_t RegisterNamedHotKey(const std::string& text, std::uint16_t modifier, std::uint16_t key);
    void SetWindowBossKey(TWindow* window, const std::string& text, std::uint16_t modifier, std::uint16_t key);
    void ClearWindowBossKey(TWindow* window);
    void edtBossKeyExit();
    // `modifiers` (MOD_* flags) and `key` are the combination that was pressed.
    void WMHotKey(int id, unsigned modifiers, unsigned key);
    void SpeedButton4Click();

    // --- Tray page (Unit1Tray.cpp) ----------------------------------------------------------
    void FillTrayPage();
    void lstTrayIconsMouseDown(int button, int x, int y);
    // The row's tick is applied to its icon: hidden when ticked, shown when not.
    void lstTrayIconsBoxChanged(int row);
    // The shell restarted: its icons are read again and what the user hid is hidden again.
    void TaskbarCreated();
    void ShellRestartTick(UINT_PTR timer);

    // --- Remembered programs and tray icons (Unit1Remember.cpp) ------------------------------
    void LoadRemembered();
    // Ticks the listed windows of the programs ticked always, and gives each such program's
    // boss key to its first listed window.
    void ApplyRememberedPrograms();
    // Ticks the listed windows whose titles hold some rule's text.
    void TickByTitleRules();
    // Before a hide: while some program or title is ticked always, the list is brought up to
    // date so that a window opened since the last refresh goes too.
    void RefreshForRemembered();
    // A boss key was set or cleared on `window`: a program ticked always keeps it.
    void RememberBossKey(TWindow& window);
    // Hides the listed icons the user asked to hide always.
    void HideRememberedIcons();
    void lstWindowNameContextMenu(int x, int y);
    void lstTrayIconsContextMenu(int x, int y);
    void TrayWatchTick();

    // The main window's timers.
    static constexpr UINT_PTR kShellRestartTimer = 1;
    static constexpr UINT_PTR kRestoreCheckTimer = 2;
    static constexpr UINT_PTR kRecordRetryTimer = 3;
    static constexpr UINT_PTR kTaskbarWatchTimer = 4;
    static constexpr UINT_PTR kTrayWatchTimer = 5;
    static constexpr UINT_PTR kAudioAnswerTimer = 6;
    static constexpr UINT_PTR kAudioLookTimer = 7;
    static constexpr UINT_PTR kHotCornerTimer = 8;
    static constexpr UINT_PTR kIdleTimer = 9;
    static constexpr UINT_PTR kFileSaveRetryTimer = 10;

    // --- The screen corner and the idle timer (Unit1Triggers.cpp) ----------------------------
    // Reads the chosen corner and idle minutes and watches for them; nothing runs for a
    // trigger that is off.
    void ApplyHideTriggers();
    void HotCornerTick();
    void IdleTick();

    // --- Sound of what we hide (Unit1Audio.cpp) --------------------------------------------
    void CreateMuter();
    // The programs whose windows we keep hidden now are silenced, the others given back.
    void SyncAudio() noexcept;
    void AudioTick(UINT_PTR timer);
    // Gives back every session we muted, waiting at most `ms`; safe from a crash handler.
    void UnmuteEverything(unsigned ms) noexcept;

    // Another start's requests (Unit1.cpp).
    void ShowSelf();
    void RestoreAllHidden();

    // --- Taskbar and desktop-icon toggles (Unit1Shell.cpp) -----------------------------------
    void CheckBox1Click();
    void CheckBox2Click();
    // The boxes that say "hidden" hide their shell window again (a new shell shows its own).
    void HideShellAgain();
    // While the taskbar box says "hidden", a taskbar the system shows again (the Start menu,
    // a notification) is hidden again: on the shell's own show event, and by a look once a
    // second where no event comes. Stopped, hook and timer, when the box is cleared and at exit.
    void WatchTaskbar(bool watch);
    void TaskbarWatchTick();
    bool IsTaskbarWatch(HWINEVENTHOOK hook) const { return hook && hook == taskbarHook_; }

    // --- Files page and file picker (Unit1Files.cpp) ------------------------------------------
    bool IsFileListed(const std::string& path);
    void HideFile(const std::string& path);
    void UnhideFile(const std::string& path);
    void UnhideSelectedFile();
    void ApplyFileAttributes(bool unhide, const std::string& path);
    void LoadFileList();
    // Writes the list if this run changed it; throws "Unable to write to <path>" when the
    // settings file cannot be written.
    void SaveFileList();
    void KeepFileListSaved();
    void FileSaveRetryTick();
    // At close, when saving failed: true when the user chooses to quit without saving.
    bool AskQuitWithoutSaving();
    // At close: waits, bounded, for the file commands still queued. At log-off the wait is
    // short, and the lines of the restores that have not started are written back first.
    void FinishFileCommands(bool sessionEnding = false);
    // The file commands' worker has news: what a file had, whether a restore took.
    void FileCommandsEnded();
    void ShowFilePicker();
    void PopOpenClick();
    void PopDelClick();
    void lstFilesKeyDown(unsigned key);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PageChanged(int tabsId, int index) override;
    void DpiChanged() override;

private:
    // Marks work on the lists that may wait on another program. While such a wait lasts,
    // messages other programs send us are dispatched; a close, or another start's request,
    // that arrives then is held back until the outermost work is done, so no entry and no
    // row is freed under the work that is using it.
    class BusyScope {
    public:
        explicit BusyScope(TFrmAmbler& form) : form_(form) { ++form_.busy_; }
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TFrmAmbler& form_;
    };
    // Posts to ourselves what was held back while busy.
    void RunDeferred();
    // Another start's request; false when it is not one.
    bool OnRequest(UINT msg);

    // Another start's command (Unit1Commands.cpp): answered kCommandTaken once carried out,
    // 0 when it is none of ours.
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    void RunCommand(StartSwitch command);
    // While work on the lists waits on another program, the command is kept to run after it
    // (true); otherwise false, and the caller runs it now.
    bool QueueWhileBusy(StartSwitch command);
    // Some ticked row's window is one we hid and keep hidden.
    bool AnyCheckedHiddenByUs();
    // Answers the start that waits on the request or command being carried out, if it
    // still waits.
    void AnswerWaitingStart();
    // The program's short message, after the waiting start has its answer.
    void Tell(const wchar_t* text);
    // A command that waited for work under way, posted to ourselves: its switch in wParam.
    static constexpr UINT kCommandMessage = WM_APP + 20;
    static constexpr UINT kFinishStartMessage = WM_APP + 21;
    std::optional<LRESULT> answerOwed_;   // what that start is to be answered
    std::vector<StartSwitch> pendingCommands_;
    // The close sequence has begun (or the session is ending): nothing more is hidden.
    bool Closing() const { return closing_; }

    // Message dispatch (Unit1Messages.cpp).
    void OnCommand(int id, int code);
    LRESULT OnNotify(NMHDR* hdr);
    void OnTimer(UINT_PTR timer);
    // The close waits for work under way, which may be waiting on another program.
    void OnClose();
    // False when the menu asked for is none of ours.
    bool OnContextMenu(HWND control, int x, int y);
    void HookMouseDown(int listId);
    static LRESULT CALLBACK ListMouseProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR data);
    // The row's entry if it is still one of ours, else null.
    TWindow* RowWindow(int row) const;
    // The Windows page's rows brought up to the window list.
    void ShowWindowRows();
    // Writes a row's boss-key cell, remembering what it shows.
    void SetWindowRowBossText(int row, const std::wstring& text);
    // The windows stay ticked and the user is told, once for them all.
    void ReportRefusedRestores(const std::vector<TWindow*>& refused);
    // Clears the ticks of the rows whose windows we may not hide, and drops those entries;
    // true when there was one.
    bool UntickOutOfReach(HWND lv, std::vector<TWindow*>& entries);
    // Keeps the remembered check marks up to date, however a mark changed (mouse, space bar, us).
    void lstWindowNameItemChanged(const NMLISTVIEW& change);
    // The row's icon if it is still one of ours, else null.
    TTrayIcon* RowIcon(int row) const;
    // The Tray page's rows brought up to the icon list.
    void ShowTrayRows();
    // A page's refill: `work` refreshes its list and shows the rows, while the list may wait
    // on other programs. False when it failed; the page is then empty, as the refresh may have
    // freed what rows still named.
    template <class Row>
    bool RefillRows(int listId, std::vector<Row>& rows, const std::function<void()>& work)
    {
        BusyScope busy(*this);
        try {
            work();
            return true;
        } catch (...) {
            ui::LvDeleteAllItems(Control(listId));
            rows.clear();
            return false;
        }
    }
    // Remembered lists (Unit1Remember.cpp).
    void SaveRemembered();
    void ToggleRememberedProgram(TWindow& entry, const std::string& exe);
    void ToggleRememberedIcon(TTrayIcon& icon);
    // The dialog over `title` (UTF-8); what the user keeps of it becomes a rule.
    void AskTitleRule(const std::string& title);
    // Looks once a second for icons that appear, only while some icon is remembered.
    void WatchTrayIcons();

    // Hot keys (Unit1HotKeys.cpp).
    void CreateHotKeys();
    // The capture box on edtBossKey, which is built after the first paint.
    void AttachBossKeyBox();
    // Hides the boss-key editor and forgets its entry and row, which a refill may free.
    void CloseBossKeyEditor();
    void ToggleSelf();
    // A hot key pressed in the open boss-key editor that the editor takes as typed.
    bool BossKeyEditorTakes(std::uint16_t id, unsigned modifiers, unsigned key);
    // At exit: every hot key withdrawn, every atom reference released.
    void ReleaseHotKeys();
    std::unique_ptr<TGlobalHotKeys> hotKeys_;
    TFrmHelp* helpDialog_ = nullptr;   // the settings dialog while it is open

    // Files page (Unit1Files.cpp).
    void BuildFilesPage();
    void BindFilePicker();
    void UnbindFilePicker();
    void lstFilesContextMenu(int x, int y);
    static LRESULT CALLBACK FilesKeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    TAttribQueue& FileCommands();
    // Posted by the file commands' worker when outcomes wait to be taken.
    static constexpr UINT kFileCommandsEndedMessage = WM_APP + 10;
    // Tells the user which paths stay hidden although a restore was asked for.
    void ReportRefusedUnhides(const std::vector<std::string>& paths);
    TFileListRecord& FileRecord();
    ui::UniqueMenu PopupMenu1;
    std::unique_ptr<ui::Subclass> filesKeys_;
    std::unique_ptr<TAttribQueue> fileCommands_;
    std::unique_ptr<TFileListRecord> fileRecord_;

    std::vector<std::unique_ptr<ui::Subclass>> hooks_;
    // What each row of the Windows page shows, so that a refill sends the list view only
    // what changed: rebuilding hundreds of rows costs far more than reading the desktop.
    struct WindowRow {
        const TWindow* item;
        std::string title;
        std::wstring bossText;
        bool checked;
    };
    std::vector<WindowRow> windowRows_;
    // The same for the Tray page; its tick is read from the list view itself.
    struct TrayRow {
        const TTrayIcon* item;
        std::string name;
    };
    std::vector<TrayRow> trayRows_;
    bool closed_ = false;   // the close sequence ran (by close or by session end)
    bool closing_ = false;  // the close sequence has begun
    int busy_ = 0;
    // Hot keys pressed while busy, run in order once the work is done.
    struct PendingHotKey {
        int id;
        unsigned modifiers;
        unsigned key;
    };
    std::vector<PendingHotKey> pendingHotKeys_;
    TFaultRestore faultRestore_{[](void* form) { static_cast<TFrmAmbler*>(form)->RestoreEverything(); }, this};
    bool pendingClose_ = false;
    bool pendingShow_ = false;
    bool pendingRestore_ = false;
    bool pendingTaskbarCreated_ = false;
    int restartRefreshes_ = 0;   // tray refreshes left to find the icons a new shell gets late
    int restoreChecks_ = 0;      // looks taken at the restores now watched
    HWINEVENTHOOK taskbarHook_ = nullptr;   // on the shell process taskbarHookPid_
    DWORD taskbarHookPid_ = 0;
    void ArmAudioTimers();
    bool audioLooking_ = false;  // the look timer runs
    THotCorner hotCorner_;
    TIdleTimer idleTimer_;
    // FinishStart has begun: a refresh may wait for the shell's answers.
    bool started_ = false;
    // Holds back what arrives from FormCreate until FinishStart is done. Last, so that it
    // goes first, while what it posts from still exists.
    std::optional<BusyScope> starting_;
};

// The one main window, for the crash handler.
extern TFrmAmbler* FrmAmbler;

} // namespace tw
