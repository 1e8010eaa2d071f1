#include "platform/sim/SimStore.h"

namespace tw::sim {

std::optional<std::string> SimStore::ReadAll(const std::string& path)
{
    auto it = files.find(path);
    if (it == files.end())
        return std::nullopt;
    return it->second;
}

bool SimStore::ReplaceAll(const std::string& path, const std::string& contents)
{
    if (failWrites)
        return false;
    files[path] = contents;
    ++writes;
    return true;
}

} // namespace tw::sim
