// The engines' only door to the operating system.
//
// Everything the window list, the tray list, the capture box, the settings store and the
// file list ask of Windows goes through the interfaces below. The .exe binds them to the
// real calls (Win32*_win.cpp); the native unit tests bind them to the simulated desktop
// (sim/). This header therefore never includes <windows.h>: handles are opaque numbers and
// every constant that crosses it keeps its Win32 value, so the Win32 side only casts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// A window handle as a number; 0 is "no window". Wide enough for HWND on any target.
using Hwnd = std::uintptr_t;

// ShowWindow commands, with their Win32 values.
enum class ShowCmd : int { Hide = 0, ShowNormal = 1, Minimize = 6, Restore = 9 };

// ---------------------------------------------------------------------------------------
// Window management: top-level windows of other programs, shell windows, messages.
class WindowApi {
public:
    virtual ~WindowApi() = default;

    // GetWindow(any, GW_HWNDFIRST): the top of the Z order of `any`'s siblings; for 0, the
    // top of the top-level windows' Z order.
    virtual Hwnd GetFirstSibling(Hwnd any) = 0;
    // GetWindow(w, GW_HWNDNEXT): the window below `w`, 0 at the bottom.
    virtual Hwnd GetNextSibling(Hwnd w) = 0;
    // GetWindowTextW into buf (capacity maxCount UTF-16 units, NUL included); returns the
    // length copied. The wide call gives every title exactly, whatever the code page.
    virtual int GetWindowTextW(Hwnd w, char16_t* buf, int maxCount) = 0;
    // The system ANSI code page's form of a wide text, as the ANSI calls would hand it out
    // (WideCharToMultiByte, CP_ACP, characters it cannot hold become its default character),
    // and back.
    virtual std::string AnsiForm(std::u16string_view wide) = 0;
    virtual std::u16string WideForm(std::string_view ansi) = 0;
    virtual bool IsWindow(Hwnd w) = 0;
    virtual bool IsWindowVisible(Hwnd w) = 0;
    // IsIconic: the window is minimised. Hiding leaves that as it was, so a window minimised
    // and then hidden is still iconic while hidden; a restore clears it.
    virtual bool IsIconic(Hwnd w) = 0;
    // Whether the desktop window manager keeps the window off every screen although it is
    // visible (DwmGetWindowAttribute, DWMWA_CLOAKED); nothing where it cannot say (Windows 7,
    // no window manager).
    virtual std::optional<bool> IsCloaked(Hwnd w) = 0;
    // Whether IVirtualDesktopManager places the window on a virtual desktop; false when it
    // places it on none, nothing when there is no such manager to ask. Answered by the shell
    // in its own process, with no time-out: a hung shell keeps the caller waiting for as long
    // as it hangs, so only a thread that may wait asks it.
    virtual std::optional<bool> IsOnVirtualDesktop(Hwnd w) = 0;
    // ShowWindowAsync: the request is queued to the window's own thread and never waited
    // for, so a hung program cannot freeze ours. Requests to one window run in the order
    // they were made; IsWindowVisible may not report the result at once. False when the
    // request could not be queued at all.
    virtual bool ShowWindowAsync(Hwnd w, ShowCmd cmd) = 0;
    // FindWindowA(cls, nullptr).
    virtual Hwnd FindWindowA(const char* cls) = 0;
    // FindWindowExA(parent, nullptr, cls, nullptr): the first child of that class.
    virtual Hwnd FindChildWindowA(Hwnd parent, const char* cls) = 0;
    // GetClassNameA; empty for no window.
    virtual std::string ClassName(Hwnd w) = 0;
    // GetWindowThreadProcessId: the owning process id, 0 for no window.
    virtual std::uint32_t GetWindowProcessId(Hwnd w) = 0;
    // SendMessageA with a time-out and abort-if-hung: a hung shell must never freeze the
    // program that holds the user's hidden windows. False when the message did not
    // complete (window gone, hung, timed out); `result` is then 0.
    virtual bool SendMessageA(Hwnd w, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam, std::intptr_t& result) = 0;
    // The same with the caller's own bound, for a question that may as well go unanswered:
    // one asked again and again, or one asked while the session ends.
    virtual bool SendMessageWithin(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                   unsigned timeoutMs, std::intptr_t& result) = 0;
    // IsHungAppWindow: the system counts the window's thread as hung, having seen it read no
    // message for some seconds. A thread merely busy is not counted so until then, and the
    // abort-if-hung sends wait their whole bound on it.
    virtual bool IsHungAppWindow(Hwnd w) = 0;
    // The window's thread answers a message (WM_NULL) now, within a short wait: it is reading
    // its queue, so the requests queued to it before have been carried out.
    virtual bool IsResponding(Hwnd w)
    {
        std::intptr_t ignored = 0;
        return SendMessageA(w, 0, 0, 0, ignored);
    }
    // GetForegroundWindow: the window the user works in now; 0 when none has the foreground.
    virtual Hwnd GetForegroundWindow() = 0;
    // GetAncestor(w, GA_ROOTOWNER): the top-level window that owns `w` through its chain of
    // parents and owners (a dialog's main window); `w` itself when nothing owns it.
    virtual Hwnd RootOwner(Hwnd w) = 0;
    // Puts `w` directly behind `inFront` in the stacking order without activating it, queued
    // to `w`'s thread after what was asked of it before (SetWindowPos, SWP_ASYNCWINDOWPOS).
    virtual bool PlaceBehind(Hwnd w, Hwnd inFront) = 0;
    // SetForegroundWindow: brings `w` to the front and gives it the keyboard. Windows allows
    // it only while we may take the foreground (we had the last input, a hot key of ours
    // say); otherwise it flashes the taskbar button and returns false.
    virtual bool Activate(Hwnd w) = 0;
    // The mandatory integrity level (the last sub-authority of the token's label: 0x2000
    // medium, 0x3000 high) of process `pid`, or of ours for pid 0; nothing when it cannot be
    // read. The system drops, without a word, what a process sends to the windows of one
    // above its own level: an elevated program's, to a program that is not.
    virtual std::optional<std::uint32_t> IntegrityLevel(std::uint32_t pid) = 0;
};

// Toolbar messages the tray reading sends through SendMessageA, with their Win32 values.
namespace tb {
inline constexpr std::uint32_t HideButton = 0x0404;      // TB_HIDEBUTTON
inline constexpr std::uint32_t IsButtonHidden = 0x040C;  // TB_ISBUTTONHIDDEN
inline constexpr std::uint32_t GetButton = 0x0417;       // TB_GETBUTTON
inline constexpr std::uint32_t ButtonCount = 0x0418;     // TB_BUTTONCOUNT
inline constexpr std::uint32_t CommandToIndex = 0x0419;  // TB_COMMANDTOINDEX
inline constexpr std::uint32_t GetButtonInfoW = 0x043F;  // TB_GETBUTTONINFOW
} // namespace tb

// ---------------------------------------------------------------------------------------
// Cross-process access to the shell's tray toolbar.

// A scratch buffer reserved in another process (OpenProcess + VirtualAllocEx). Destroying
// it releases the memory and closes the process handle, on every path.
class RemoteBuffer {
public:
    virtual ~RemoteBuffer() = default;
    // The buffer's address inside the other process, as a message parameter.
    virtual std::uintptr_t Address() const = 0;
    virtual bool Write(std::size_t offset, const void* data, std::size_t length) = 0;
    virtual bool Read(std::size_t offset, void* data, std::size_t length) = 0;
    // Reads the other process's memory anywhere, not only in the buffer: what its own
    // structures hold. The address is 64 bits wide, as a 64-bit process's pointers are.
    virtual bool ReadAt(std::uint64_t address, void* data, std::size_t length) = 0;
    // The other process's pointer size in bytes: 8 for a 64-bit process (the shell of 64-bit
    // Windows, beside this 32-bit program), else 4. Its records are laid out by it.
    virtual unsigned PointerSize() const = 0;
};

struct OsVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;   // Windows 11 is still 10.0; only its build number tells
};

inline bool operator<(OsVersion a, OsVersion b)
{
    if (a.major != b.major)
        return a.major < b.major;
    return a.minor != b.minor ? a.minor < b.minor : a.build < b.build;
}

// ---------------------------------------------------------------------------------------
// Other programs' audio sessions: one per process and render device (Core Audio).

struct AudioSession {
    std::string id;             // the session instance identifier (UTF-8)
    std::uint32_t pid = 0;
    std::uint64_t created = 0;  // the process's creation time, as IdentityApi gives it
    std::string exe;            // full path of its executable (UTF-8); empty when unreadable
    bool muted = false;
};

// A session's mute to set, said only of the process that was seen playing it: the system
// hands a process's id (and so the session identifier) on to a later process.
struct MuteChange {
    std::string id;
    std::uint32_t pid = 0;
    std::uint64_t created = 0;
    bool mute = false;
};

enum class MuteOutcome {
    Done,       // set
    Unchanged,  // the session already had that mute, and was left alone
    Gone,       // no active device plays that session for that process any more
    Failed,     // refused or unreadable: nothing is known to have changed
};

// What one request found, once carried out.
struct AudioAnswer {
    std::vector<MuteOutcome> outcomes;                   // one per change, in order
    std::optional<std::vector<AudioSession>> sessions;   // asked for and listed; nothing when
                                                         // the system cannot list them
};

class AudioApi {
public:
    virtual ~AudioApi() = default;
    // Queues a request and returns at once: the audio system may be slow, and is never
    // waited for by the caller. Requests are carried out in order, each by making its
    // changes and then, with `list`, listing every session of every active render device.
    virtual void Post(std::vector<MuteChange> changes, bool list) = 0;
    // The answer to the oldest request carried out and not yet taken.
    virtual std::optional<AudioAnswer> TakeAnswer() = 0;
    // Waits at most `ms` for every request posted to be carried out; true when they are.
    virtual bool WaitIdle(unsigned ms) = 0;
    // Full path of process `pid`'s executable (UTF-8), asked now; empty when unreadable.
    virtual std::string ExecutablePath(std::uint32_t pid) = 0;
    // Process `pid`, created at `created`, still runs, asked now. A session missing from a
    // listing says nothing of that: its device may only be unplugged for a while.
    virtual bool IsRunning(std::uint32_t pid, std::uint64_t created) = 0;
};

class ProcessApi {
public:
    virtual ~ProcessApi() = default;
    // Opens process `pid` with exactly PROCESS_VM_OPERATION | PROCESS_VM_READ |
    // PROCESS_VM_WRITE (0x38), not inheritable, and reserves `length` bytes there
    // (MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE). Null when either step fails.
    virtual std::unique_ptr<RemoteBuffer> ReserveRemoteBuffer(std::uint32_t pid,
                                                              std::size_t length) = 0;
    // The running system's real version, read once at start-up (not the compatibility
    // shim's answer).
    virtual OsVersion SystemVersion() = 0;
    // Other processes' audio sessions; null where the system offers none.
    virtual AudioApi* Audio() { return nullptr; }
};

// ---------------------------------------------------------------------------------------
// The current user's registry (HKEY_CURRENT_USER). Paths are below it, "\\"-separated;
// paths and names are ANSI byte strings, text values UTF-8 (read wide, so kept exactly).
class RegistryApi {
public:
    virtual ~RegistryApi() = default;
    // The names of the key's subkeys; nullopt when the key is not there or cannot be read.
    virtual std::optional<std::vector<std::string>> SubKeys(const std::string& path) = 0;
    // How many subkeys the key has, without their names; nullopt as for SubKeys.
    virtual std::optional<std::size_t> SubKeyCount(const std::string& path)
    {
        std::optional<std::vector<std::string>> keys = SubKeys(path);
        return keys ? std::optional<std::size_t>(keys->size()) : std::nullopt;
    }
    // A string value (REG_SZ or REG_EXPAND_SZ, not expanded); nullopt when absent or of
    // another type.
    virtual std::optional<std::string> ReadString(const std::string& path, const std::string& name) = 0;
    // A REG_DWORD value; nullopt when absent or of another type.
    virtual std::optional<std::uint32_t> ReadDword(const std::string& path, const std::string& name) = 0;
    // Sets a REG_DWORD value of an existing key, or deletes the value for nullopt. False when
    // it could not be done.
    virtual bool WriteDword(const std::string& path, const std::string& name, std::optional<std::uint32_t> value) = 0;
    // Sets a REG_SZ value (written wide, so kept exactly), making the key if it is missing,
    // or deletes the value for nullopt (a value already absent is no failure). False when it
    // could not be done.
    virtual bool WriteString(const std::string& path, const std::string& name, std::optional<std::string> value) = 0;
    // The path of the known folder named by its identifier in braces
    // ("{6D809377-6AF0-444B-8957-A3773F02200E}"), UTF-8 without a trailing separator, as
    // the shell's own settings name folders; nothing when the system knows no such folder.
    virtual std::optional<std::string> KnownFolderPath(const std::string& id) = 0;
};

// ---------------------------------------------------------------------------------------
// What tells one process from another that later takes over its id (the system reuses
// them); a window's class, beside it, is WindowApi::ClassName.
class IdentityApi {
public:
    virtual ~IdentityApi() = default;
    // The process's creation time (GetProcessTimes, in 100 ns units since 1601); 0 when the
    // process is gone or may not be asked.
    virtual std::uint64_t ProcessCreationTime(std::uint32_t pid) = 0;
    // The full path of the process's executable (UTF-8, so any path survives); nothing when
    // it cannot be read (the process is gone, or protected from us).
    virtual std::optional<std::string> ProcessImagePath(std::uint32_t pid) = 0;
};

// ---------------------------------------------------------------------------------------
// What reading a whole file found. A file that exists but cannot be read (held open by
// another program, access denied) is not an absent one.
enum class FileRead { Read, Absent, Unreadable };

// Small files of the program's own, written whole. Paths are ANSI byte strings.

class StoreApi {
public:
    virtual ~StoreApi() = default;
    // The whole file into `contents`. A file held open by another program, or one we may
    // not read, is Unreadable, never Absent: its contents are not known to be nothing.
    virtual FileRead ReadAll(const std::string& path, std::string& contents) = 0;
    // Waits before a read is tried again.
    virtual void Pause(unsigned ms) = 0;
    // Replaces the file with `contents` so that it never holds a mixture of old and new:
    // a temporary file in the same folder, flushed, then moved over the old one. False when
    // the file could not be written; the old one is then left as it was.
    virtual bool ReplaceAll(const std::string& path, const std::string& contents) = 0;
};

// ---------------------------------------------------------------------------------------
// The one-copy lock of the user's session, and the way to the copy that holds it.

enum class InstanceClaim {
    Held,     // this start holds the lock: it made it, or the copy that held it has ended
    Taken,    // another copy holds it
    Denied,   // it is there but may not be opened from here: a copy runs as administrator
              // (or as another user) with a lock that shuts this start out
    Failed,   // no lock could be had at all
};

enum class RequestAnswer {
    Taken,     // the running copy took the request
    Blocked,   // the system kept it from a copy above our integrity level
    NoAnswer,  // hung, gone, too slow, or not ours
};

// A command on the wire: WM_COPYDATA whose dwData is kCommandTag and whose bytes are the
// command's word in ASCII without terminator; the copy answers kCommandTaken once it has
// carried it out, and anything else (0 from a window that does not know it) is no answer.
inline constexpr std::uintptr_t kCommandTag = 0x54574331;   // "TWC1"
inline constexpr long kCommandTaken = 0x5457;

enum class CommandAnswer {
    Done,        // the running copy carried the command out
    OtherLevel,  // it runs at another integrity level than ours: it is not asked
    NoAnswer,    // hung, gone, too slow, or it did not know the command
};

class InstanceApi {
public:
    virtual ~InstanceApi() = default;
    // Makes the lock or opens the one that is there; asked again, tries to take it over
    // from a copy that has ended. Once Held, held until this object goes.
    virtual InstanceClaim Claim() = 0;
    // The running copy's main window; 0 while it shows none.
    virtual Hwnd RunningCopyWindow() = 0;
    // Asks that window to come to the front, or to give back everything it hid.
    virtual RequestAnswer Request(Hwnd main, bool restore) = 0;
    // Hands that window a command (its word), waiting at most `ms` for the answer and, with
    // `untilEnded`, for the copy's process to end as well.
    virtual CommandAnswer Command(Hwnd main, std::string_view word, unsigned ms, bool untilEnded) = 0;
    virtual void Pause(unsigned ms) = 0;
};

// ---------------------------------------------------------------------------------------
// Global hot keys.
class HotKeyApi {
public:
    virtual ~HotKeyApi() = default;
    // GlobalAddAtomA; 0 on failure.
    virtual std::uint16_t GlobalAddAtomA(const char* name) = 0;
    virtual void GlobalDeleteAtom(std::uint16_t atom) = 0;
    // RegisterHotKey / UnregisterHotKey on `owner`; modifiers are MOD_* flags.
    virtual bool RegisterHotKey(Hwnd owner, int id, unsigned modifiers, unsigned vk) = 0;
    virtual bool UnregisterHotKey(Hwnd owner, int id) = 0;
};

// ---------------------------------------------------------------------------------------
// The settings file: read through the private-profile (INI file) functions, written whole.

class ProfileApi {
public:
    virtual ~ProfileApi() = default;
    // Folder of the running executable, ending in a path separator.
    virtual std::string ExecutableDir() = 0;
    // The user's application-data folder (%APPDATA%), ending in a path separator; empty
    // when the system names none.
    virtual std::string AppDataDir() = 0;
    // True when a file can be created, and deleted again, in `dir`: tried, not guessed.
    virtual bool CanCreateFilesIn(const std::string& dir) = 0;
    // Creates the folder `dir` (its parent must exist); true when it exists afterwards.
    virtual bool CreateFolder(const std::string& dir) = 0;
    // The whole file's bytes into `text` (a UTF-16 file comes back in the ANSI code page).
    virtual FileRead ReadWholeFile(const std::string& path, std::string& text) = 0;
    // Writes `text` to a new file in the same folder and puts it in place of `path` in one
    // step: readers see the old file or the new one, never a part. False when it failed;
    // the old file is then untouched.
    virtual bool ReplaceWholeFile(const std::string& path, const std::string& text) = 0;
    // Waits before a read is tried again.
    virtual void Pause(unsigned ms) = 0;
    // The whole value of section/key in the INI file at `path`; nullopt when the key is
    // absent. Values of any length are returned whole.
    virtual std::optional<std::string> ReadString(const std::string& path, const std::string& section,
                                                  const std::string& key) = 0;
};

// ---------------------------------------------------------------------------------------
// Files, commands and the shell's view of them. Paths are UTF-8 and reach the system
// through the wide calls: a name in any script is found, shown and acted on exactly, never
// through a form the ANSI code page had to guess at.
struct FindEntry {
    std::string name;           // cFileName
    std::uint32_t attributes;   // FILE_ATTRIBUTE_*
};

class FileApi {
public:
    virtual ~FileApi() = default;
    // GetSystemDirectoryW / GetWindowsDirectoryW, without a trailing separator.
    virtual std::string SystemDirectory() = 0;
    virtual std::string WindowsDirectory() = 0;
    // Runs `commandLine`, whose first argument is the program's full path (never searched
    // for), with no window, and waits for it to end. One still running after `waitMs` is
    // ended, so that it cannot apply after a command issued later. False if it did not
    // start. Called from the file-command worker thread.
    virtual bool RunHidden(const std::string& commandLine, unsigned waitMs) = 0;
    // GetFileAttributesW; nothing when they cannot be read, and then `missing` tells whether
    // that is because the path does not exist (rather than refused or out of reach). Called
    // from the file-command worker thread.
    virtual std::optional<std::uint32_t> FileAttributes(const std::string& path, bool& missing) = 0;
    // ShellExecuteW(owner, "open", file, parameters, nullptr, SW_SHOWNORMAL).
    virtual void ShellOpen(Hwnd owner, const std::string& file, const std::string& parameters) = 0;
    virtual std::uint32_t GetLogicalDrives() = 0;
    // GetLogicalDriveStringsA: roots each ended by NUL, the list by a further NUL.
    virtual std::string GetLogicalDriveStringsA() = 0;
    virtual unsigned GetDriveTypeA(const std::string& root) = 0;
    // FindFirstFileW/FindNextFileW over `pattern`; entries whose attributes fall outside
    // `attributeMask` are skipped as the search's mask does. `each` returns false to stop.
    // Returns false when the search found nothing.
    virtual bool FindFiles(const std::string& pattern, std::uint32_t attributeMask,
                           const std::function<bool(const FindEntry&)>& each) = 0;
    // SHGetDesktopFolder + ParseDisplayName with the attribute request `mask` in and out;
    // the value as the call left it.
    virtual std::uint32_t ShellAttributes(const std::string& path, std::uint32_t mask) = 0;
    // SHGetFileInfoW system small-icon index with `flags`; -1 on failure.
    virtual int SmallIconIndex(const std::string& path, unsigned flags) = 0;
    // The same for what `path`'s type shows (a folder, or a file by its extension), told by
    // SHGFI_USEFILEATTRIBUTES: the disk is not touched, so it answers at once.
    virtual int TypeIconIndex(const std::string& path, bool folder, unsigned flags) = 0;
    // The system's small-icon image list (SHGetFileInfoA of "" with SYSICONINDEX|SMALLICON)
    // as a number; 0 on failure. It is shared with the whole process: never destroyed by us.
    virtual std::uintptr_t SmallImageList() = 0;
    // SHGetIconOverlayIndex of the shell's "shared" or "shortcut" overlay; -1 when none.
    virtual int OverlayIndex(bool link) = 0;
    // The ANSI code page's bytes for a path (WideCharToMultiByte, CP_ACP, WC_NO_BEST_FIT_CHARS);
    // nothing when some character had no form there. Whether the bytes name the same path
    // again is for the caller to check with AnsiToPath: some code pages map a character
    // onto another one all the same.
    virtual std::optional<std::string> PathToAnsi(const std::string& path) = 0;
    // The path that ANSI code page bytes name (MultiByteToWideChar, CP_ACP).
    virtual std::string AnsiToPath(const std::string& ansi) = 0;
};

} // namespace tw
