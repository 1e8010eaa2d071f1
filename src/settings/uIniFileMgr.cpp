#include "settings/uIniFileMgr.h"

#include "settings/IniCodec.h"
#include "settings/IniText.h"

#include <stdexcept>

namespace tw {

TIniFileMgr* IniFileMgr = nullptr;

TIniFileMgr& Settings()
{
    if (!IniFileMgr)
        throw std::logic_error("the settings file manager does not exist");
    return *IniFileMgr;
}

namespace {

constexpr char kFileName[] = "System.ini";
constexpr char kAppFolder[] = "Tarnwick\\";

FileRead ReadWithRetries(ProfileApi& api, const std::string& path, std::string& text)
{
    for (int attempt = 1;; ++attempt) {
        text.clear();
        FileRead result = api.ReadWholeFile(path, text);
        if (result != FileRead::Unreadable || attempt == kSettingsReadTries)
            return result;
        api.Pause(kSettingsRetryMs);
    }
}

} // namespace

TIniFileMgr::TIniFileMgr(ProfileApi& api) : api_(api), dir_(api.ExecutableDir())
{
    std::string text;
    std::string beside = dir_ + kFileName;
    std::string appData = api.AppDataDir();
    // Program Files and read-only media: the settings go where this user may write.
    if (api.CanCreateFilesIn(dir_) || appData.empty() || !api.CreateFolder(appData + kAppFolder)) {
        path_ = beside;
        unreadable_ = ReadWithRetries(api, path_, text) == FileRead::Unreadable;
        return;
    }
    dir_ = appData + kAppFolder;
    path_ = dir_ + kFileName;
    FileRead own = ReadWithRetries(api, path_, text);
    if (own != FileRead::Absent) {
        unreadable_ = own == FileRead::Unreadable;
        return;
    }
    FileRead seed = ReadWithRetries(api, beside, text);
    // A file beside us that cannot be read must not be followed by a fresh, empty one
    // here, which every later run would take instead of it.
    unreadable_ = seed == FileRead::Unreadable;
    if (seed == FileRead::Read)
        api.ReplaceWholeFile(path_, text);
}

int TIniFileMgr::ReadInteger(const std::string& section, const std::string& key, int def)
{
    std::optional<std::string> value = api_.ReadString(path_, section, key);
    return value ? ParseIniInteger(*value, def) : def;
}

void TIniFileMgr::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteValues(section, {{key, std::to_string(value)}});
}

bool TIniFileMgr::ReadBinaryStream(const std::string& section, const std::string& key, std::string& stream)
{
    std::optional<std::string> value = api_.ReadString(path_, section, key);
    if (!value)
        return true;
    bool whole = false;
    stream += DecodeHex(*value, whole);
    return whole;
}

void TIniFileMgr::WriteBinaryStream(const std::string& section, const std::string& key, const std::string& bytes)
{
    WriteValues(section, {{key, EncodeHex(bytes)}});
}

std::optional<std::string> TIniFileMgr::ReadString(const std::string& section, const std::string& key)
{
    return api_.ReadString(path_, section, key);
}

// The new file is the old one with these values changed: what could not be read is never
// replaced by a file that lacks it.
void TIniFileMgr::WriteValues(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string text;
    if (unreadable_ || ReadWithRetries(api_, path_, text) == FileRead::Unreadable)
        FailWrite();
    for (const auto& [key, value] : values)
        text = SetIniValue(text, section, key, value);
    if (!api_.ReplaceWholeFile(path_, text))
        FailWrite();
}

void TIniFileMgr::FailWrite() const { throw std::runtime_error("Unable to write to " + path_); }

} // namespace tw
