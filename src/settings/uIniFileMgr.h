// The settings file "System.ini" next to the executable: every read and write goes straight
// to the file, so what one part of the program writes, the next read anywhere sees.
#pragma once

#include "platform/Platform.h"

#include <string>

namespace tw {

class TIniFileMgr {
public:
    // The path is worked out once: the executable's folder + "System.ini".
    explicit TIniFileMgr(ProfileApi& api);
    TIniFileMgr(const TIniFileMgr&) = delete;
    TIniFileMgr& operator=(const TIniFileMgr&) = delete;

    const std::string& Path() const { return path_; }

    // Decimal (signed), "0x" or "$" hexadecimal; anything else, empty or missing: `def`.
    int ReadInteger(const std::string& section, const std::string& key, int def);
    // Throws std::runtime_error("Unable to write to <path>") when the file cannot be written.
    void WriteInteger(const std::string& section, const std::string& key, int value);
    // Appends the bytes decoded from the key's hexadecimal value to `stream`.
    void ReadBinaryStream(const std::string& section, const std::string& key, std::string& stream);
    // Stores `bytes` as upper-case hexadecimal (an empty value for no bytes); throws as above.
    void WriteBinaryStream(const std::string& section, const std::string& key, const std::string& bytes);

private:
    ProfileApi& api_;
    std::string path_;
};

// The one settings manager of the run; created before the main window, freed after it.
extern TIniFileMgr* IniFileMgr;

} // namespace tw
