// The current user's registry for the native tests: keys by path, each with its string and
// DWORD values. Writes can be made to fail, as they do on a key the user may not change.
#pragma once

#include "platform/Platform.h"

#include <map>
#include <optional>
#include <string>

namespace tw::sim {

struct SimKey {
    std::map<std::string, std::string> strings;
    std::map<std::string, std::uint32_t> dwords;
};

class SimRegistry final : public RegistryApi {
public:
    std::map<std::string, SimKey> keys;   // full path below HKCU
    bool readOnly = false;
    int writes = 0;

    std::optional<std::vector<std::string>> SubKeys(const std::string& path) override;
    std::optional<std::string> ReadString(const std::string& path, const std::string& name) override;
    std::optional<std::uint32_t> ReadDword(const std::string& path, const std::string& name) override;
    bool WriteDword(const std::string& path, const std::string& name, std::optional<std::uint32_t> value) override;
    bool WriteString(const std::string& path, const std::string& name, std::optional<std::string> value) override;

    std::map<std::string, std::string> knownFolders;   // by identifier in braces, as written
    std::optional<std::string> KnownFolderPath(const std::string& id) override
    {
        auto it = knownFolders.find(id);
        return it == knownFolders.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
};

} // namespace tw::sim
