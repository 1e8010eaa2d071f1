// The settings file "System.ini": every read goes straight to the file, and every write puts
// a complete new file in its place, so what one part of the program writes the next read
// anywhere sees, and no failure can leave the file holding less than before.
#pragma once

#include "platform/Platform.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw {

class TIniFileMgr {
public:
    // The folder is chosen once: the executable's own when files can be created there, else
    // "Tarnwick" in the user's application-data folder (first filled from the file beside
    // the executable, when there is one). A file that exists but cannot be read, even after
    // a few tries, makes this run one that never writes it.
    explicit TIniFileMgr(ProfileApi& api);
    TIniFileMgr(const TIniFileMgr&) = delete;
    TIniFileMgr& operator=(const TIniFileMgr&) = delete;

    // The full path of the settings file, and its folder (ending in a separator).
    const std::string& Path() const { return path_; }
    const std::string& SettingsDir() const { return dir_; }
    // True when the file existed but could not be read at start: nothing is saved this run.
    bool Unreadable() const { return unreadable_; }

    // Decimal (signed), "0x" or "$" hexadecimal; anything else, empty or missing: `def`.
    int ReadInteger(const std::string& section, const std::string& key, int def);
    // Throws std::runtime_error("Unable to write to <path>") when the file cannot be written.
    void WriteInteger(const std::string& section, const std::string& key, int value);
    // Appends the bytes decoded from the key's hexadecimal value to `stream`. False when the
    // value is not whole hexadecimal: what decoded before the first fault is still appended.
    bool ReadBinaryStream(const std::string& section, const std::string& key, std::string& stream);
    // Stores `bytes` as upper-case hexadecimal (an empty value for no bytes); throws as above.
    void WriteBinaryStream(const std::string& section, const std::string& key, const std::string& bytes);
    // The key's value as it stands in the file; nothing when the key is absent.
    std::optional<std::string> ReadString(const std::string& section, const std::string& key);
    // Values (key, text) of one section in one replacement of the file, so that a reader
    // never sees one of them new and another old; throws as above.
    void WriteValues(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values);

private:
    [[noreturn]] void FailWrite() const;

    ProfileApi& api_;
    std::string dir_;
    std::string path_;
    bool unreadable_ = false;
};

// The file's one section: every key the program stores lies in it, as it has since the
// first version, so that older and newer versions read each other's files.
inline constexpr char kSettingsSection[] = "system";

// How often, and how far apart, a file that cannot be read is tried again: long enough for
// a program that holds it for a moment (a virus scanner, an editor saving) to let it go.
inline constexpr int kSettingsReadTries = 5;
inline constexpr unsigned kSettingsRetryMs = 200;

// The one settings manager of the run; created before the main window, freed after it.
extern TIniFileMgr* IniFileMgr;
// That manager, for the forms' handlers; throws std::logic_error outside its lifetime, which
// the handler's own catch reports.
TIniFileMgr& Settings();

} // namespace tw
