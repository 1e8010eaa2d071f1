// The program's own small files held in memory, for the native unit tests. A test can read
// what was written, plant a damaged file, or make writes fail.
#pragma once

#include "platform/Platform.h"

#include <map>
#include <string>

namespace tw::sim {

class SimStore : public StoreApi {
public:
    std::map<std::string, std::string> files;
    bool failWrites = false;
    int writes = 0;   // successful replacements

    std::optional<std::string> ReadAll(const std::string& path) override;
    bool ReplaceAll(const std::string& path, const std::string& contents) override;
};

} // namespace tw::sim
