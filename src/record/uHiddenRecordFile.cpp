// THiddenRecord's file format: one line per entry, read back whatever a cut-short write or a
// newer version left in the file.
#include "record/uHiddenRecord.h"

#include "settings/IniCodec.h"

#include <charconv>
#include <utility>

namespace tw {

namespace {

// The first line; a file that starts otherwise is not ours to act on.
constexpr char kHeader[] = "Tarnwick hidden 1";

// Class names and icon texts are the other program's bytes: spaces and line breaks in them
// must not break the line, so they are stored as hexadecimal. A field that is not whole
// hexadecimal is damage: the line is rejected rather than read as a shorter text.
bool FromHex(const std::string& hex, std::string& out)
{
    bool whole = false;
    out = DecodeHex(hex, whole);
    return whole;
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

// "E exe [pid created id]...": the program, then each session the user had muted themselves.
bool ParseProgram(const std::vector<std::string>& f, RecordedProgram& program)
{
    if (f.size() < 2 || (f.size() - 2) % 3 != 0 || !FromHex(f[1], program.exe) || program.exe.empty())
        return false;
    for (std::size_t i = 2; i < f.size(); i += 3) {
        RecordedSession own;
        own.exe = program.exe;
        if (!ToNumber(f[i], own.pid) || !ToNumber(f[i + 1], own.created) || !FromHex(f[i + 2], own.id) ||
            own.id.empty())
            return false;
        program.usersOwn.push_back(std::move(own));
    }
    return true;
}

} // namespace

std::string THiddenRecord::Format(const std::vector<RecordedWindow>& windows, const std::vector<RecordedIcon>& icons,
                                  const std::vector<RecordedSetting>& settings, const std::vector<std::string>& others,
                                  const std::vector<RecordedSession>& sessions,
                                  const std::vector<RecordedProgram>& programs)
{
    if (windows.empty() && icons.empty() && settings.empty() && others.empty() && sessions.empty() &&
        programs.empty())
        return {};
    std::string out = std::string(kHeader) + "\n";
    for (const RecordedWindow& w : windows)
        out += "W " + std::to_string(w.handle) + " " + std::to_string(w.pid) + " " + std::to_string(w.created) + " " +
               EncodeHex(w.cls) + "\n";
    for (const RecordedIcon& i : icons)
        out += "I " + std::to_string(i.shellPid) + " " + std::to_string(i.shellCreated) + " " +
               std::to_string(i.toolbar) + " " + std::to_string(i.id) + " " + EncodeHex(i.text) + "\n";
    for (const RecordedSetting& p : settings)
        out += "P " + EncodeHex(p.key) + " " + (p.promoted ? std::to_string(*p.promoted) : std::string("-")) + "\n";
    for (const RecordedSession& m : sessions)
        out += "M " + std::to_string(m.pid) + " " + std::to_string(m.created) + " " + EncodeHex(m.id) + " " +
               EncodeHex(m.exe) + "\n";
    for (const RecordedProgram& p : programs) {
        out += "E " + EncodeHex(p.exe);
        for (const RecordedSession& own : p.usersOwn)
            out += " " + std::to_string(own.pid) + " " + std::to_string(own.created) + " " + EncodeHex(own.id);
        out += "\n";
    }
    for (const std::string& line : others)
        out += line + "\n";
    return out;
}

void THiddenRecord::Parse(const std::string& text, std::vector<RecordedWindow>& windows,
                          std::vector<RecordedIcon>& icons, std::vector<RecordedSetting>* settings,
                          std::vector<std::string>* others, std::vector<RecordedSession>* sessions,
                          std::vector<RecordedProgram>* programs)
{
    windows.clear();
    icons.clear();
    if (settings)
        settings->clear();
    if (others)
        others->clear();
    if (sessions)
        sessions->clear();
    if (programs)
        programs->clear();
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
        RecordedProgram program;
        if (f[0] == "W" && ParseWindow(f, w))
            windows.push_back(std::move(w));
        else if (f[0] == "I" && ParseIcon(f, icon))
            icons.push_back(std::move(icon));
        else if (f[0] == "P" && settings && ParseSetting(f, setting))
            settings->push_back(std::move(setting));
        else if (f[0] == "M" && sessions && ParseSession(f, session))
            sessions->push_back(std::move(session));
        else if (f[0] == "E" && programs && ParseProgram(f, program))
            programs->push_back(std::move(program));
        else if (others && !line.empty() && f[0] != "W" && f[0] != "I" && f[0] != "P" && f[0] != "M" && f[0] != "E")
            others->push_back(std::move(line));
    }
}

} // namespace tw
