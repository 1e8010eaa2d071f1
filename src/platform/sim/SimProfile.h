// The private-profile functions over files held in memory, for the native unit tests.
// Section and key names match without regard to case, as the system's do; a file can be
// made read-only to see what a failed write does.
#pragma once

#include "platform/Platform.h"

#include <map>
#include <set>
#include <string>

namespace tw::sim {

// Orders names as the profile functions match them: case-insensitively.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class SimProfile : public ProfileApi {
public:
    using Section = std::map<std::string, std::string, NoCaseLess>;
    using File = std::map<std::string, Section, NoCaseLess>;

    std::string exeDir = "C:\\Program Files\\Tarnwick\\";
    std::set<std::string> readOnly;   // paths whose writes fail
    int reads = 0;
    int writes = 0;                   // successful writes

    // Direct access to a file's contents, as a user editing it by hand would have.
    File& Contents(const std::string& path) { return files_[path]; }
    bool Exists(const std::string& path) const { return files_.count(path) != 0; }

    // ProfileApi
    std::string ExecutableDir() override { return exeDir; }
    std::optional<std::string> ReadString(const std::string& path, const std::string& section,
                                          const std::string& key) override;
    bool WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override;

private:
    std::map<std::string, File> files_;
};

} // namespace tw::sim
