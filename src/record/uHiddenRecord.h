// The record on disk of what the program has hidden and not yet given back.
//
// The lists in memory die with the process, and a process can die in ways that run none of
// its own code (Task Manager, a power cut of the session). So before anything is hidden it
// is written here, and it leaves the file when it is given back. The next start (or
// "Tarnwick.exe /restore") reads the file and finds those windows and icons again.
//
// Handles and process ids are reused by the system, so each entry also says whose it was:
// a window's process id with that process's creation time and the window's class; an icon's
// shell process likewise. An entry is acted on only while all of that still holds.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw {

struct RecordedWindow {
    Hwnd handle = 0;
    std::uint32_t pid = 0;
    std::uint64_t created = 0;
    std::string cls;
    bool operator==(const RecordedWindow&) const = default;
};

struct RecordedIcon {
    std::uint32_t shellPid = 0;
    std::uint64_t shellCreated = 0;
    Hwnd toolbar = 0;
    std::int32_t id = 0;
    std::string text;
    bool operator==(const RecordedIcon&) const = default;
};

// A notification-icon setting of the Windows 11 shell that we changed: the key (below the
// settings key) and the value it had, nullopt when it had none.
struct RecordedSetting {
    std::string key;
    std::optional<std::uint32_t> promoted;
    bool operator==(const RecordedSetting&) const = default;
};

// An audio session we muted: its instance identifier, whose process it was, and that
// process's executable, by which it belongs to a program.
struct RecordedSession {
    std::string id;
    std::uint32_t pid = 0;
    std::uint64_t created = 0;
    std::string exe;
    bool operator==(const RecordedSession&) const = default;
};

// A program whose sessions we muted, kept until it is given back. Windows hands a session's
// mute on to the program's next session, so a process of it that ended while we had it muted
// comes back muted: every muted session of the program is then ours to give back, except those
// the user had muted before we muted anything of it (`usersOwn`; their `exe` is the program's).
struct RecordedProgram {
    std::string exe;
    std::vector<RecordedSession> usersOwn;
    bool operator==(const RecordedProgram&) const = default;
};

class THiddenRecord {
public:
    // `path` is the record file; nothing is read or written until asked.
    THiddenRecord(StoreApi& store, WindowApi& windows, IdentityApi& identity, std::string path);
    THiddenRecord(const THiddenRecord&) = delete;
    THiddenRecord& operator=(const THiddenRecord&) = delete;

    // The record file beside the settings file at `settingsPath`.
    static std::string PathBeside(const std::string& settingsPath);

    const std::string& Path() const { return path_; }
    // Reads the file, trying again for about a second while another program holds it.
    // Lines cut short (a write the system never finished) are left out, and lines that are
    // not understood are kept as they are for the next write; a missing file is an empty
    // record. A file that still cannot be read leaves the record Pending.
    void Load();
    // The file exists but has not been read yet: until it has, it is never written, since
    // that would replace what an earlier run hid with the little this run knows.
    bool Pending() const { return pending_; }
    // Tries once more to read a Pending file; once read, its entries join this run's (ours
    // win for the same window or icon; for a setting, the first value recorded does) and
    // the whole is written. True when the record is no longer Pending.
    bool Retry();
    // Waits `ms` (for work that must see an answer before it goes on, without a window).
    void Pause(unsigned ms) { store_.Pause(ms); }
    const std::vector<RecordedWindow>& Windows() const { return windows_; }
    const std::vector<RecordedIcon>& Icons() const { return icons_; }
    const std::vector<RecordedSetting>& Settings() const { return settings_; }
    const std::vector<RecordedSession>& Sessions() const { return sessions_; }
    const std::vector<RecordedProgram>& Programs() const { return programs_; }

    // Records windows about to be hidden, with one write. False when the file could not be
    // written (the hiding goes on: the lists in memory still give them back at close).
    bool AddWindows(const std::vector<Hwnd>& handles);
    void RemoveWindows(const std::vector<Hwnd>& handles);
    bool AddIcon(Hwnd toolbar, std::int32_t id, const std::string& text);
    void RemoveIcon(Hwnd toolbar, std::int32_t id) { RemoveIcons({{toolbar, id}}); }
    void RemoveIcons(const std::vector<std::pair<Hwnd, std::int32_t>>& buttons);
    // The first value recorded for a key is the one to put back: a later one is ours.
    bool AddSetting(const std::string& key, std::optional<std::uint32_t> promoted);
    void RemoveSetting(const std::string& key);
    // Sessions about to be muted, and the programs muted for the first time, with one write;
    // a session is known by its identifier and process, a program by its path. Unlike the
    // other additions, nothing of them is kept when the write fails: a mute the file does not
    // hold must not be made, since nothing could give it back after a kill.
    bool AddSessions(const std::vector<RecordedSession>& sessions, const std::vector<RecordedProgram>& programs = {});
    void RemoveSession(const std::string& id, std::uint64_t created);
    void RemoveProgram(const std::string& exe);

    // Still the window that was recorded: same process (id and creation time) and class.
    bool IsSameWindow(const RecordedWindow& entry);
    // The toolbar still belongs to the shell process that held the icon.
    bool IsSameShell(const RecordedIcon& entry);

    // Removals made while a batch is open are written once, when the last batch closes.
    // Additions are always written at once: they must be on disk before the hiding.
    class Batch {
    public:
        explicit Batch(THiddenRecord* record);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        THiddenRecord* record_;
    };

    // The file's text for the given entries, and the entries read back from a text.
    static std::string Format(const std::vector<RecordedWindow>& windows, const std::vector<RecordedIcon>& icons,
                              const std::vector<RecordedSetting>& settings = {},
                              const std::vector<std::string>& others = {},
                              const std::vector<RecordedSession>& sessions = {},
                              const std::vector<RecordedProgram>& programs = {});
    // Lines that are whole but not understood go to `others` when it is given.
    static void Parse(const std::string& text, std::vector<RecordedWindow>& windows, std::vector<RecordedIcon>& icons,
                      std::vector<RecordedSetting>* settings = nullptr, std::vector<std::string>* others = nullptr,
                      std::vector<RecordedSession>* sessions = nullptr,
                      std::vector<RecordedProgram>* programs = nullptr);

private:
    bool Save();
    void Changed();
    // Reads the file once; false when it exists and cannot be read.
    bool ReadOnce();

    StoreApi& store_;
    WindowApi& windowApi_;
    IdentityApi& identity_;
    std::string path_;
    std::vector<RecordedWindow> windows_;
    std::vector<RecordedIcon> icons_;
    std::vector<RecordedSetting> settings_;
    std::vector<RecordedSession> sessions_;
    std::vector<RecordedProgram> programs_;
    // Lines of a newer version, or damaged ones, written back as they were read.
    std::vector<std::string> others_;
    bool pending_ = false;
    int batchDepth_ = 0;
    bool dirty_ = false;
};

} // namespace tw
