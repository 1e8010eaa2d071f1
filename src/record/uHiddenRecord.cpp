#include "record/uHiddenRecord.h"

#include <algorithm>
#include <set>
#include <unordered_set>
#include <utility>

namespace tw {

namespace {

constexpr char kFileName[] = "Hidden.dat";
// A file held open by a backup tool or a virus scanner is tried again, for about a second.
constexpr int kReadTries = 5;
constexpr unsigned kRetryMs = 200;

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

bool THiddenRecord::ReadOnce()
{
    std::string text;
    FileRead read = store_.ReadAll(path_, text);
    if (read == FileRead::Unreadable)
        return false;
    if (read == FileRead::Absent)
        text.clear();
    Parse(text, windows_, icons_, &settings_, &others_, &sessions_, &programs_);
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
            programs_.clear();
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
    std::vector<RecordedProgram> ourPrograms = std::move(programs_);
    if (!ReadOnce()) {
        windows_ = std::move(ourWindows);
        icons_ = std::move(ourIcons);
        settings_ = std::move(ourSettings);
        sessions_ = std::move(ourSessions);
        programs_ = std::move(ourPrograms);
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
    for (RecordedProgram& p : ourPrograms) {
        std::erase_if(programs_, [&](const RecordedProgram& q) { return q.exe == p.exe; });
        programs_.push_back(std::move(p));
    }
    Save();
    return true;
}

bool THiddenRecord::Save()
{
    dirty_ = false;
    if (pending_ && !Retry())
        return false;   // kept in memory until the file can be read
    try {
        return store_.ReplaceAll(path_, Format(windows_, icons_, settings_, others_, sessions_, programs_));
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

bool THiddenRecord::AddSessions(const std::vector<RecordedSession>& sessions, const std::vector<RecordedProgram>& programs)
{
    std::ptrdiff_t newSessions = 0, newPrograms = 0;
    for (const RecordedSession& m : sessions)
        if (std::none_of(sessions_.begin(), sessions_.end(),
                         [&](const RecordedSession& o) { return o.id == m.id && o.created == m.created; })) {
            sessions_.push_back(m);
            ++newSessions;
        }
    for (const RecordedProgram& p : programs)
        if (std::none_of(programs_.begin(), programs_.end(), [&](const RecordedProgram& o) { return o.exe == p.exe; })) {
            programs_.push_back(p);
            ++newPrograms;
        }
    if ((newSessions == 0 && newPrograms == 0) || Save())
        return true;
    // Ours are the last ones still: a Save that first read a Pending file put what the file
    // held ahead of them.
    sessions_.erase(sessions_.end() - newSessions, sessions_.end());
    programs_.erase(programs_.end() - newPrograms, programs_.end());
    return false;
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

void THiddenRecord::RemoveProgram(const std::string& exe)
{
    if (std::erase_if(programs_, [&](const RecordedProgram& p) { return p.exe == exe; }) != 0)
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

} // namespace tw
