#include "windows/uHiddenRecord.h"

#include "tray/uTrayIconHider.h"
#include "windows/uAudioMuter.h"
#include "windows/uWindowsHider.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <unordered_set>
#include <utility>

namespace tw {

namespace {

constexpr char kFileName[] = "Hidden.dat";
// The first line; a file that starts otherwise is not ours to act on.
constexpr char kHeader[] = "Tarnwick hidden 1";
// A file held open by a backup tool or a virus scanner is tried again, for about a second.
constexpr int kReadTries = 5;
constexpr unsigned kRetryMs = 200;

// Class names and icon texts are the other program's bytes: spaces and line breaks in them
// must not break the line, so they are stored as hexadecimal.
std::string ToHex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool FromHex(const std::string& hex, std::string& out)
{
    if (hex.size() % 2 != 0)
        return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

template <typename T>
bool ToNumber(const std::string& text, T& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, value, 10);
    return first != last && ec == std::errc() && end == last;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t space = line.find(' ', start);
        out.push_back(line.substr(start, space - start));
        if (space == std::string::npos)
            return out;
        start = space + 1;
    }
}

bool ParseWindow(const std::vector<std::string>& f, RecordedWindow& w)
{
    return f.size() == 5 && ToNumber(f[1], w.handle) && w.handle != 0 && ToNumber(f[2], w.pid) &&
           ToNumber(f[3], w.created) && FromHex(f[4], w.cls);
}

bool ParseIcon(const std::vector<std::string>& f, RecordedIcon& icon)
{
    return f.size() == 6 && ToNumber(f[1], icon.shellPid) && ToNumber(f[2], icon.shellCreated) &&
           ToNumber(f[3], icon.toolbar) && icon.toolbar != 0 && ToNumber(f[4], icon.id) && FromHex(f[5], icon.text);
}

// The key is written back to, so it may name nothing but a direct subkey of the
// notification-icon settings: a name that leads anywhere else in the user's registry (a
// separator, a NUL that cuts the path short, "..") is damage, never ours.
bool IsSettingKeyName(const std::string& key)
{
    constexpr std::size_t kMaxKeyName = 255;
    return !key.empty() && key.size() <= kMaxKeyName && key != "." && key != ".." &&
           key.find_first_of(std::string("\\/\0", 3)) == std::string::npos;
}

// "-" for a value that was absent.
bool ParseSetting(const std::vector<std::string>& f, RecordedSetting& setting)
{
    if (f.size() != 3 || !FromHex(f[1], setting.key) || !IsSettingKeyName(setting.key))
        return false;
    if (f[2] == "-")
        return true;
    std::uint32_t value = 0;
    if (!ToNumber(f[2], value))
        return false;
    setting.promoted = value;
    return true;
}

// "M pid created id exe": the identifier and the path are UTF-8 of any length, so hexadecimal.
bool ParseSession(const std::vector<std::string>& f, RecordedSession& session)
{
    return f.size() == 5 && ToNumber(f[1], session.pid) && ToNumber(f[2], session.created) &&
           FromHex(f[3], session.id) && !session.id.empty() && FromHex(f[4], session.exe);
}

} // namespace

THiddenRecord::THiddenRecord(StoreApi& store, WindowApi& windows, IdentityApi& identity, std::string path)
    : store_(store), windowApi_(windows), identity_(identity), path_(std::move(path))
{
}

std::string THiddenRecord::PathBeside(const std::string& settingsPath)
{
    std::size_t slash = settingsPath.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : settingsPath.substr(0, slash + 1)) + kFileName;
}

std::string THiddenRecord::Format(const std::vector<RecordedWindow>& windows, const std::vector<RecordedIcon>& icons,
                                  const std::vector<RecordedSetting>& settings, const std::vector<std::string>& others,
                                  const std::vector<RecordedSession>& sessions)
{
    if (windows.empty() && icons.empty() && settings.empty() && others.empty() && sessions.empty())
        return {};
    std::string out = std::string(kHeader) + "\n";
    for (const RecordedWindow& w : windows)
        out += "W " + std::to_string(w.handle) + " " + std::to_string(w.pid) + " " + std::to_string(w.created) + " " +
               ToHex(w.cls) + "\n";
    for (const RecordedIcon& i : icons)
        out += "I " + std::to_string(i.shellPid) + " " + std::to_string(i.shellCreated) + " " +
               std::to_string(i.toolbar) + " " + std::to_string(i.id) + " " + ToHex(i.text) + "\n";
    for (const RecordedSetting& p : settings)
        out += "P " + ToHex(p.key) + " " + (p.promoted ? std::to_string(*p.promoted) : std::string("-")) + "\n";
    for (const RecordedSession& m : sessions)
        out += "M " + std::to_string(m.pid) + " " + std::to_string(m.created) + " " + ToHex(m.id) + " " +
               ToHex(m.exe) + "\n";
    for (const std::string& line : others)
        out += line + "\n";
    return out;
}

void THiddenRecord::Parse(const std::string& text, std::vector<RecordedWindow>& windows,
                          std::vector<RecordedIcon>& icons, std::vector<RecordedSetting>* settings,
                          std::vector<std::string>* others, std::vector<RecordedSession>* sessions)
{
    windows.clear();
    icons.clear();
    if (settings)
        settings->clear();
    if (others)
        others->clear();
    if (sessions)
        sessions->clear();
    std::size_t start = 0;
    bool headerSeen = false;
    // Only lines ended by their line break count: a write cut short leaves a last line
    // without one, and its numbers may be cut short too.
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!headerSeen) {
            if (line != kHeader)
                return;
            headerSeen = true;
            continue;
        }
        std::vector<std::string> f = Fields(line);
        RecordedWindow w;
        RecordedIcon icon;
        RecordedSetting setting;
        RecordedSession session;
        if (f[0] == "W" && ParseWindow(f, w))
            windows.push_back(std::move(w));
        else if (f[0] == "I" && ParseIcon(f, icon))
            icons.push_back(std::move(icon));
        else if (f[0] == "P" && settings && ParseSetting(f, setting))
            settings->push_back(std::move(setting));
        else if (f[0] == "M" && sessions && ParseSession(f, session))
            sessions->push_back(std::move(session));
        else if (others && !line.empty() && f[0] != "W" && f[0] != "I" && f[0] != "P" && f[0] != "M")
            others->push_back(std::move(line));
    }
}

bool THiddenRecord::ReadOnce()
{
    std::string text;
    FileRead read = store_.ReadAll(path_, text);
    if (read == FileRead::Unreadable)
        return false;
    if (read == FileRead::Absent)
        text.clear();
    Parse(text, windows_, icons_, &settings_, &others_, &sessions_);
    return true;
}

void THiddenRecord::Load()
{
    pending_ = false;
    for (int attempt = 1; !ReadOnce(); ++attempt) {
        if (attempt >= kReadTries) {
            windows_.clear();
            icons_.clear();
            settings_.clear();
            others_.clear();
            sessions_.clear();
            pending_ = true;
            return;
        }
        store_.Pause(kRetryMs);
    }
}

bool THiddenRecord::Retry()
{
    if (!pending_)
        return true;
    std::vector<RecordedWindow> ourWindows = std::move(windows_);
    std::vector<RecordedIcon> ourIcons = std::move(icons_);
    std::vector<RecordedSetting> ourSettings = std::move(settings_);
    std::vector<RecordedSession> ourSessions = std::move(sessions_);
    if (!ReadOnce()) {
        windows_ = std::move(ourWindows);
        icons_ = std::move(ourIcons);
        settings_ = std::move(ourSettings);
        sessions_ = std::move(ourSessions);
        return false;
    }
    pending_ = false;
    // What this run knows of a window or an icon is newer than the file; a setting's first
    // value is the one to put back, and the file recorded it first.
    std::unordered_set<Hwnd> ours;
    for (const RecordedWindow& w : ourWindows)
        ours.insert(w.handle);
    std::erase_if(windows_, [&](const RecordedWindow& w) { return ours.count(w.handle) != 0; });
    windows_.insert(windows_.end(), ourWindows.begin(), ourWindows.end());
    std::set<std::pair<Hwnd, std::int32_t>> ourButtons;
    for (const RecordedIcon& i : ourIcons)
        ourButtons.insert({i.toolbar, i.id});
    std::erase_if(icons_, [&](const RecordedIcon& i) { return ourButtons.count({i.toolbar, i.id}) != 0; });
    icons_.insert(icons_.end(), ourIcons.begin(), ourIcons.end());
    for (RecordedSetting& p : ourSettings)
        if (std::none_of(settings_.begin(), settings_.end(), [&](const RecordedSetting& q) { return q.key == p.key; }))
            settings_.push_back(std::move(p));
    std::erase_if(sessions_, [&](const RecordedSession& m) {
        return std::any_of(ourSessions.begin(), ourSessions.end(), [&](const RecordedSession& o) { return o.id == m.id; });
    });
    sessions_.insert(sessions_.end(), ourSessions.begin(), ourSessions.end());
    Save();
    return true;
}

bool THiddenRecord::Save()
{
    dirty_ = false;
    if (pending_ && !Retry())
        return false;   // kept in memory until the file can be read
    try {
        return store_.ReplaceAll(path_, Format(windows_, icons_, settings_, others_, sessions_));
    } catch (...) {
        return false;   // a record we cannot write must not stop the hiding or the restoring
    }
}

void THiddenRecord::Changed()
{
    if (batchDepth_ > 0)
        dirty_ = true;
    else
        Save();
}

bool THiddenRecord::AddWindows(const std::vector<Hwnd>& handles)
{
    bool added = false;
    std::unordered_set<Hwnd> known;
    for (const RecordedWindow& w : windows_)
        known.insert(w.handle);
    for (Hwnd h : handles) {
        if (!known.insert(h).second)
            continue;
        RecordedWindow w;
        w.handle = h;
        w.pid = windowApi_.GetWindowProcessId(h);
        w.created = identity_.ProcessCreationTime(w.pid);
        w.cls = windowApi_.ClassName(h);
        windows_.push_back(std::move(w));
        added = true;
    }
    return added ? Save() : true;
}

void THiddenRecord::RemoveWindows(const std::vector<Hwnd>& handles)
{
    if (handles.empty())
        return;
    // A record full of stale lines is cleared at start in one pass, not one per line.
    const std::unordered_set<Hwnd> drop(handles.begin(), handles.end());
    auto gone = std::remove_if(windows_.begin(), windows_.end(),
                               [&drop](const RecordedWindow& w) { return drop.count(w.handle) != 0; });
    if (gone == windows_.end())
        return;
    windows_.erase(gone, windows_.end());
    Changed();
}

bool THiddenRecord::AddIcon(Hwnd toolbar, std::int32_t id, const std::string& text)
{
    for (const RecordedIcon& i : icons_)
        if (i.toolbar == toolbar && i.id == id)
            return true;
    RecordedIcon icon;
    icon.shellPid = windowApi_.GetWindowProcessId(toolbar);
    icon.shellCreated = identity_.ProcessCreationTime(icon.shellPid);
    icon.toolbar = toolbar;
    icon.id = id;
    icon.text = text;
    icons_.push_back(std::move(icon));
    return Save();
}

void THiddenRecord::RemoveIcons(const std::vector<std::pair<Hwnd, std::int32_t>>& buttons)
{
    if (buttons.empty())
        return;
    const std::set<std::pair<Hwnd, std::int32_t>> drop(buttons.begin(), buttons.end());
    auto gone = std::remove_if(icons_.begin(), icons_.end(),
                               [&](const RecordedIcon& i) { return drop.count({i.toolbar, i.id}) != 0; });
    if (gone == icons_.end())
        return;
    icons_.erase(gone, icons_.end());
    Changed();
}

bool THiddenRecord::AddSetting(const std::string& key, std::optional<std::uint32_t> promoted)
{
    for (const RecordedSetting& p : settings_)
        if (p.key == key)
            return true;
    settings_.push_back({key, promoted});
    return Save();
}

void THiddenRecord::RemoveSetting(const std::string& key)
{
    auto gone = std::remove_if(settings_.begin(), settings_.end(), [&](const RecordedSetting& p) { return p.key == key; });
    if (gone == settings_.end())
        return;
    settings_.erase(gone, settings_.end());
    Changed();
}

bool THiddenRecord::AddSessions(const std::vector<RecordedSession>& sessions)
{
    bool added = false;
    for (const RecordedSession& m : sessions) {
        if (std::any_of(sessions_.begin(), sessions_.end(),
                        [&](const RecordedSession& o) { return o.id == m.id && o.created == m.created; }))
            continue;
        sessions_.push_back(m);
        added = true;
    }
    return added ? Save() : true;
}

void THiddenRecord::RemoveSession(const std::string& id, std::uint64_t created)
{
    auto gone = std::remove_if(sessions_.begin(), sessions_.end(),
                               [&](const RecordedSession& m) { return m.id == id && m.created == created; });
    if (gone == sessions_.end())
        return;
    sessions_.erase(gone, sessions_.end());
    Changed();
}

bool THiddenRecord::IsSameWindow(const RecordedWindow& entry)
{
    if (!windowApi_.IsWindow(entry.handle) || windowApi_.GetWindowProcessId(entry.handle) != entry.pid)
        return false;
    return identity_.ProcessCreationTime(entry.pid) == entry.created && windowApi_.ClassName(entry.handle) == entry.cls;
}

bool THiddenRecord::IsSameShell(const RecordedIcon& entry)
{
    return windowApi_.IsWindow(entry.toolbar) && windowApi_.GetWindowProcessId(entry.toolbar) == entry.shellPid &&
           identity_.ProcessCreationTime(entry.shellPid) == entry.shellCreated;
}

THiddenRecord::Batch::Batch(THiddenRecord* record) : record_(record)
{
    if (record_)
        ++record_->batchDepth_;
}

THiddenRecord::Batch::~Batch()
{
    if (record_ && --record_->batchDepth_ == 0 && record_->dirty_)
        record_->Save();
}

void RestoreRecorded(THiddenRecord& record, WindowApi& windows, ProcessApi& processes, RegistryApi* registry)
{
    // The same lists a running program keeps, filled from the record alone: what they adopt
    // passed every identity check, and giving it back removes it from the record.
    TWindowList windowList(windows, &record);
    windowList.AdoptRecorded();
    windowList.RestoreHidden();
    // A window leaves the record only once it is seen back; one that is not stays there
    // for the next attempt.
    constexpr int kLooks = 20;
    constexpr unsigned kLookMs = 100;
    for (int look = 0; look < kLooks && windowList.HasPendingRestores(); ++look) {
        record.Pause(kLookMs);
        windowList.SettleRestores(false);
    }
    TTrayIconList trayList(windows, processes, &record, registry);
    trayList.AdoptRecorded();
    trayList.ShowHidden();
    // The sound comes back with the windows; what the audio system has not confirmed within
    // the wait stays in the record for the next start.
    constexpr unsigned kAudioWaitMs = 2000;
    AudioApi* audio = processes.Audio();
    if (audio && !record.Sessions().empty()) {
        TAudioMuter muter(*audio, &record);
        muter.AdoptRecorded();
        muter.UnmuteAll(kAudioWaitMs);
    }
}

} // namespace tw
