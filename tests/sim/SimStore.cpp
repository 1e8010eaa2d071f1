#include "sim/SimStore.h"

namespace tw::sim {

FileRead SimStore::ReadAll(const std::string& path, std::string& contents)
{
    if (locked.count(path))
        return FileRead::Unreadable;
    auto it = files.find(path);
    if (it == files.end())
        return FileRead::Absent;
    contents = it->second;
    return FileRead::Read;
}

bool SimStore::ReplaceAll(const std::string& path, const std::string& contents)
{
    if (failWrites || locked.count(path))
        return false;
    files[path] = contents;
    ++writes;
    return true;
}

} // namespace tw::sim
