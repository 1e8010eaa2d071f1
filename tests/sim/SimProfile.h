// The settings file's system calls over files held in memory, for the native unit tests.
// Section and key names match without regard to case, as the system's do; a file can be
// made read-only, or unreadable for a number of reads, and a folder unwritable, to see what
// the program does then.
#pragma once

#include "platform/Platform.h"

#include <climits>
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
    static constexpr int kAlways = INT_MAX;

    std::string exeDir = "C:\\Program Files\\Tarnwick\\";
    std::string appDataDir = "C:\\Users\\me\\AppData\\Roaming\\";
    std::set<std::string> readOnly;           // paths whose writes fail
    std::map<std::string, int> lockedReads;   // path -> how many more reads of it fail
    std::set<std::string> unwritableDirs;     // folders where no file can be created
    std::set<std::string> folders;            // folders created
    int reads = 0;
    int writes = 0;                           // successful writes
    int pauses = 0;

    // Direct access to a file's contents, as a user editing it by hand would have.
    File& Contents(const std::string& path) { return files_[path]; }
    bool Exists(const std::string& path) const { return files_.count(path) != 0; }

    // ProfileApi
    std::string ExecutableDir() override { return exeDir; }
    std::string AppDataDir() override { return appDataDir; }
    bool CanCreateFilesIn(const std::string& dir) override { return unwritableDirs.count(dir) == 0; }
    bool CreateFolder(const std::string& dir) override;
    FileRead ReadWholeFile(const std::string& path, std::string& text) override;
    bool ReplaceWholeFile(const std::string& path, const std::string& text) override;
    void Pause(unsigned) override { ++pauses; }
    std::optional<std::string> ReadString(const std::string& path, const std::string& section,
                                          const std::string& key) override;

private:
    // Counts a read of `path`; false while it is locked.
    bool ReadAllowed(const std::string& path);

    std::map<std::string, File> files_;
};

} // namespace tw::sim
