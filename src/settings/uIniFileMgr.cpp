#include "settings/uIniFileMgr.h"

#include "settings/IniCodec.h"

#include <stdexcept>

namespace tw {

TIniFileMgr* IniFileMgr = nullptr;

namespace {

constexpr char kFileName[] = "System.ini";

} // namespace

TIniFileMgr::TIniFileMgr(ProfileApi& api) : api_(api), path_(api.ExecutableDir() + kFileName) {}

int TIniFileMgr::ReadInteger(const std::string& section, const std::string& key, int def)
{
    std::optional<std::string> value = api_.ReadString(path_, section, key);
    return value ? ParseIniInteger(*value, def) : def;
}

void TIniFileMgr::WriteInteger(const std::string& section, const std::string& key, int value)
{
    if (!api_.WriteString(path_, section, key, std::to_string(value)))
        throw std::runtime_error("Unable to write to " + path_);
}

void TIniFileMgr::ReadBinaryStream(const std::string& section, const std::string& key, std::string& stream)
{
    if (std::optional<std::string> value = api_.ReadString(path_, section, key))
        stream += DecodeHex(*value);
}

void TIniFileMgr::WriteBinaryStream(const std::string& section, const std::string& key, const std::string& bytes)
{
    if (!api_.WriteString(path_, section, key, EncodeHex(bytes)))
        throw std::runtime_error("Unable to write to " + path_);
}

} // namespace tw
