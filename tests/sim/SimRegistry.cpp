#include "sim/SimRegistry.h"

namespace tw::sim {

std::optional<std::vector<std::string>> SimRegistry::SubKeys(const std::string& path)
{
    if (!keys.count(path))
        return std::nullopt;
    std::vector<std::string> names;
    const std::string prefix = path + "\\";
    for (const auto& [name, key] : keys)
        if (name.compare(0, prefix.size(), prefix) == 0 && name.find('\\', prefix.size()) == std::string::npos)
            names.push_back(name.substr(prefix.size()));
    return names;
}

std::optional<std::string> SimRegistry::ReadString(const std::string& path, const std::string& name)
{
    auto key = keys.find(path);
    if (key == keys.end() || !key->second.strings.count(name))
        return std::nullopt;
    return key->second.strings.at(name);
}

std::optional<std::uint32_t> SimRegistry::ReadDword(const std::string& path, const std::string& name)
{
    auto key = keys.find(path);
    if (key == keys.end() || !key->second.dwords.count(name))
        return std::nullopt;
    return key->second.dwords.at(name);
}

bool SimRegistry::WriteDword(const std::string& path, const std::string& name, std::optional<std::uint32_t> value)
{
    auto key = keys.find(path);
    if (readOnly || key == keys.end())
        return false;
    ++writes;
    if (value)
        key->second.dwords[name] = *value;
    else
        key->second.dwords.erase(name);
    return true;
}

bool SimRegistry::WriteString(const std::string& path, const std::string& name, std::optional<std::string> value)
{
    if (readOnly)
        return false;
    ++writes;
    if (value)
        keys[path].strings[name] = *value;
    else if (auto key = keys.find(path); key != keys.end())
        key->second.strings.erase(name);
    return true;
}

} // namespace tw::sim
