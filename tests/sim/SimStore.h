// The program's own small files held in memory, for the native unit tests. A test can read
// what was written, plant a damaged file, or make writes fail.
#pragma once

#include "platform/Platform.h"

#include <map>
#include <set>
#include <string>

namespace tw::sim {

class SimStore : public StoreApi {
public:
    std::map<std::string, std::string> files;
    bool failWrites = false;
    // Files held open by another program: they exist, and every read of them fails.
    std::set<std::string> locked;
    int writes = 0;   // successful replacements
    int pauses = 0;

    FileRead ReadAll(const std::string& path, std::string& contents) override;
    void Pause(unsigned) override { ++pauses; }
    bool ReplaceAll(const std::string& path, const std::string& contents) override;
};

} // namespace tw::sim
