#include "settings/uAutoStart.h"

#include "settings/IniText.h"

#include <utility>

namespace tw {

std::string AutoStartCommand(const std::string& exePath)
{
    return "\"" + exePath + "\" /hidden";
}

std::string CommandProgram(std::string_view command)
{
    while (!command.empty() && (command.front() == ' ' || command.front() == '\t'))
        command.remove_prefix(1);
    if (!command.empty() && command.front() == '"') {
        command.remove_prefix(1);
        return std::string(command.substr(0, command.find('"')));
    }
    return std::string(command.substr(0, command.find_first_of(" \t")));
}

TAutoStart::TAutoStart(RegistryApi& registry, std::string exePath)
    : registry_(registry), exePath_(std::move(exePath))
{
}

bool TAutoStart::Enabled()
{
    const std::optional<std::string> command = registry_.ReadString(kRunKey, kRunValue);
    // Folding ASCII alone never joins two different UTF-8 sequences: their bytes are all above it.
    return command && !exePath_.empty() && SameIgnoringAsciiCase(CommandProgram(*command), exePath_);
}

bool TAutoStart::Set(bool enabled)
{
    if (enabled && exePath_.empty())
        return false;
    return registry_.WriteString(kRunKey, kRunValue,
                                 enabled ? std::optional<std::string>(AutoStartCommand(exePath_)) : std::nullopt);
}

} // namespace tw
