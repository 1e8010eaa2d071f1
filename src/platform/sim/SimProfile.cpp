#include "platform/sim/SimProfile.h"

#include <algorithm>
#include <cctype>

namespace tw::sim {

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> SimProfile::ReadString(const std::string& path, const std::string& section,
                                                  const std::string& key)
{
    ++reads;
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

bool SimProfile::WriteString(const std::string& path, const std::string& section, const std::string& key,
                             const std::string& value)
{
    if (readOnly.count(path))
        return false;
    files_[path][section][key] = value;
    ++writes;
    return true;
}

} // namespace tw::sim
