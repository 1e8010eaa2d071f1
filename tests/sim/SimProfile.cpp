#include "sim/SimProfile.h"

#include <algorithm>
#include <cctype>

namespace tw::sim {

namespace {

std::string Trimmed(const std::string& s)
{
    std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

} // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool SimProfile::CreateFolder(const std::string& dir)
{
    if (unwritableDirs.count(dir))
        return folders.count(dir) != 0;
    folders.insert(dir);
    return true;
}

bool SimProfile::ReadAllowed(const std::string& path)
{
    ++reads;
    auto locked = lockedReads.find(path);
    if (locked == lockedReads.end() || locked->second <= 0)
        return true;
    if (locked->second != kAlways)
        --locked->second;
    return false;
}

FileRead SimProfile::ReadWholeFile(const std::string& path, std::string& text)
{
    if (!ReadAllowed(path))
        return FileRead::Unreadable;
    auto file = files_.find(path);
    if (file == files_.end())
        return FileRead::Absent;
    for (const auto& [section, keys] : file->second) {
        text += "[" + section + "]\r\n";
        for (const auto& [key, value] : keys)
            text += key + "=" + value + "\r\n";
    }
    return FileRead::Read;
}

// The text is taken back apart as the profile functions would read it.
bool SimProfile::ReplaceWholeFile(const std::string& path, const std::string& text)
{
    if (readOnly.count(path))
        return false;
    File parsed;
    Section* section = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        std::size_t equals = line.find('=');
        if (!line.empty() && line.front() == '[')
            section = &parsed[Trimmed(line.substr(1, line.find(']') - 1))];
        else if (section && equals != std::string::npos && line.front() != ';')
            section->emplace(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
    }
    files_[path] = std::move(parsed);
    ++writes;
    return true;
}

std::optional<std::string> SimProfile::ReadString(const std::string& path, const std::string& section,
                                                  const std::string& key)
{
    if (!ReadAllowed(path))
        return std::nullopt;
    auto file = files_.find(path);
    if (file == files_.end())
        return std::nullopt;
    auto sec = file->second.find(section);
    if (sec == file->second.end())
        return std::nullopt;
    auto value = sec->second.find(key);
    if (value == sec->second.end())
        return std::nullopt;
    return value->second;
}

} // namespace tw::sim
