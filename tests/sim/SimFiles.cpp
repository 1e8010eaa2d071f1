#include "sim/SimFiles.h"

#include "platform/WideText.h"

#include <algorithm>
#include <cctype>

namespace tw::sim {

namespace {

// The attribute bits a search's mask can admit; an entry carrying one the mask lacks is
// skipped (read-only and archive entries are always found).
constexpr std::uint32_t kSpecialBits = 0x02 | 0x04 | 0x08 | 0x10;

bool EndsWithNoCase(const std::string& s, const std::string& tail)
{
    if (s.size() < tail.size())
        return false;
    return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) ==
                                                  std::toupper(static_cast<unsigned char>(b)); });
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        char c = commandLine[i];
        if (c == '\\') {
            std::size_t n = 0;
            while (i < commandLine.size() && commandLine[i] == '\\') {
                ++n;
                ++i;
            }
            inArg = true;
            if (i < commandLine.size() && commandLine[i] == '"') {
                current.append(n / 2, '\\');
                if (n % 2) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(n, '\\');
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            inArg = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArg)
                args.push_back(current);
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
        ++i;
    }
    if (inArg)
        args.push_back(current);
    return args;
}

std::string SimFiles::Key(const std::string& path)
{
    std::string key = path;
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

std::string SimFiles::Parent(const std::string& key)
{
    std::size_t slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

void SimFiles::AddDrive(const std::string& root, unsigned type)
{
    drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(root.at(0))))] = type;
    if (type == 2 || type == 3)
        entries_[Key(root)] = Entry{root, kDirectory};
}

void SimFiles::AddFolder(const std::string& path, std::uint32_t attributes)
{
    std::string key = Key(path);
    std::string parent = Parent(key);
    if (!parent.empty() && !entries_.count(parent))
        AddFolder(path.substr(0, parent.size()));
    entries_[key] = Entry{path, attributes | kDirectory};
}

void SimFiles::AddFile(const std::string& path, std::uint32_t attributes)
{
    std::string key = Key(path);
    std::string parent = Parent(key);
    if (!parent.empty() && !entries_.count(parent))
        AddFolder(path.substr(0, parent.size()));
    entries_[key] = Entry{path, attributes & ~kDirectory};
}

void SimFiles::SetExtraShellBits(const std::string& path, std::uint32_t bits) { entries_.at(Key(path)).extraShell = bits; }

std::optional<std::uint32_t> SimFiles::Attributes(const std::string& path) const
{
    auto it = entries_.find(Key(path));
    if (it == entries_.end())
        return std::nullopt;
    return it->second.attributes;
}

bool SimFiles::RunHidden(const std::string& commandLine, unsigned waitMs)
{
    if (startFails)
        return false;
    commands.push_back(commandLine);
    commandWaits.push_back(waitMs);
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (!args.empty() && EndsWithNoCase(args[0], "\\attrib.exe"))
        ApplyAttrib(args);
    return true;
}

// The attrib of a real system: every flag applies, the last argument names the entry. An
// entry whose hidden or system attribute is set is left alone unless the command names
// that attribute too, whatever else it asks ("Not resetting hidden file - PATH", and an exit
// code of 0 all the same); Wine's attrib knows nothing of this.
void SimFiles::ApplyAttrib(const std::vector<std::string>& args)
{
    std::uint32_t set = 0;
    std::uint32_t clear = 0;
    std::string target;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() == 2 && (a[0] == '+' || a[0] == '-')) {
            std::uint32_t bit = 0;
            switch (std::tolower(static_cast<unsigned char>(a[1]))) {
            case 'h': bit = kHidden; break;
            case 's': bit = kSystem; break;
            case 'r': bit = kReadOnly; break;
            case 'a': bit = kArchive; break;
            default: break;
            }
            (a[0] == '+' ? set : clear) |= bit;
        } else {
            target = a;
        }
    }
    auto it = entries_.find(Key(target));
    if (it == entries_.end())
        return;   // "File not found": attrib reports it on a console nobody sees
    if (refusing.count(Key(target)))
        return;   // "Access denied", on the same unseen console, and an exit code of 0
    const std::uint32_t unnamed = it->second.attributes & (kHidden | kSystem) & ~(set | clear);
    if ((set | clear) && unnamed) {
        attribRefusals.push_back(std::string((unnamed & kSystem) ? "Not resetting system file - "
                                                                 : "Not resetting hidden file - ") +
                                 target);
        return;
    }
    it->second.attributes = (it->second.attributes | set) & ~clear;
}

std::optional<std::uint32_t> SimFiles::FileAttributes(const std::string& path, bool& missing)
{
    std::optional<std::uint32_t> attrs = Attributes(path);
    missing = !attrs;
    if (unreadable.count(Key(path)))
        return std::nullopt;
    return attrs;
}

void SimFiles::ShellOpen(Hwnd, const std::string& file, const std::string& parameters)
{
    opened.push_back(file + "|" + parameters);
}

std::uint32_t SimFiles::GetLogicalDrives()
{
    std::uint32_t mask = 0;
    for (const auto& [letter, type] : drives_)
        mask |= 1u << (letter - 'A');
    return mask;
}

std::string SimFiles::GetLogicalDriveStringsA()
{
    std::string list;
    for (const auto& [letter, type] : drives_) {
        list += letter;
        list += ":\\";
        list += '\0';
    }
    list += '\0';
    return list;
}

unsigned SimFiles::GetDriveTypeA(const std::string& root)
{
    // As the system answers: only a root (with its "\") names a drive.
    if (root.size() != 3 || root[1] != ':' || root[2] != '\\')
        return 1;
    auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))));
    return it == drives_.end() ? 1 : it->second;
}

bool SimFiles::FindFiles(const std::string& pattern, std::uint32_t attributeMask,
                         const std::function<bool(const FindEntry&)>& each)
{
    ++searches;
    const std::string tail = "\\*.*";
    if (!EndsWithNoCase(pattern, tail))
        return false;
    std::string folder = Key(pattern.substr(0, pattern.size() - tail.size()));
    if (!entries_.count(folder))
        return false;

    std::vector<FindEntry> found;
    if (folder.find('\\') != std::string::npos) {   // not a drive root: "." and ".." come first
        found.push_back({".", kDirectory});
        found.push_back({"..", kDirectory});
    }
    for (const auto& [key, entry] : entries_)
        if (Parent(key) == folder)
            found.push_back({entry.path.substr(entry.path.rfind('\\') + 1), entry.attributes});

    bool any = false;
    for (const FindEntry& e : found) {
        if ((e.attributes & kSpecialBits) & ~attributeMask)
            continue;
        any = true;
        if (!each(e))
            break;
    }
    return any;
}

std::uint32_t SimFiles::ShellAttributes(const std::string& path, std::uint32_t mask)
{
    ++shellQueries;
    auto it = entries_.find(Key(path));
    if (it == entries_.end())
        return 0;
    const Entry& e = it->second;
    std::uint32_t bits = 0x40000000u | e.extraShell;   // file system
    if (e.attributes & kDirectory) {
        bits |= 0x20000000u | 0x10000000u;
        for (const auto& [key, other] : entries_)
            if (Parent(key) == it->first && (other.attributes & kDirectory)) {
                bits |= 0x80000000u;
                break;
            }
    }
    if (e.attributes & kHidden)
        bits |= 0x00080000u;
    if (e.attributes & kReadOnly)
        bits |= 0x00040000u;
    return bits & mask;
}

int SimFiles::SmallIconIndex(const std::string& path, unsigned flags)
{
    ++iconLookups;
    auto it = entries_.find(Key(path));
    if (it == entries_.end())
        return -1;
    bool folder = (it->second.attributes & kDirectory) != 0;
    bool open = (flags & 0x2) != 0;
    return folder ? (open ? 4 : 3) : 1;
}

int SimFiles::TypeIconIndex(const std::string&, bool folder, unsigned flags)
{
    ++typeIconLookups;
    bool open = (flags & 0x2) != 0;
    return folder ? (open ? 4 : 3) : 1;
}

std::optional<std::string> SimFiles::PathToAnsi(const std::string& path)
{
    std::string ansi;
    for (char16_t c : Utf16FromUtf8(path)) {
        if (c == u'\u0101')
            c = u'a';
        if (c > 0xFF)
            return std::nullopt;
        ansi += static_cast<char>(c);
    }
    return ansi;
}

std::string SimFiles::AnsiToPath(const std::string& ansi)
{
    std::u16string wide;
    for (char c : ansi)
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return Utf8FromUtf16(wide);
}

} // namespace tw::sim
