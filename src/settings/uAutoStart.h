// Starting with Windows: the value "Tarnwick" in the user's Run key, whose command starts
// this exe out of sight ("/hidden"). It is the one thing the program writes outside its own
// folder, and only while the user wants it; the exe stays portable.
#pragma once

#include "platform/Platform.h"

#include <string>
#include <string_view>

namespace tw {

inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Tarnwick";

// The Run command for the exe at `exePath` (UTF-8): the path quoted, as it may hold blanks.
std::string AutoStartCommand(const std::string& exePath);
// The program a Run command starts: the quoted path, or without quotes up to the first blank.
std::string CommandProgram(std::string_view command);

class TAutoStart {
public:
    // `exePath`: the full path of the running exe, UTF-8.
    TAutoStart(RegistryApi& registry, std::string exePath);

    // The value is there and starts this exe. Paths are compared without regard to case, as
    // the file system does; a value naming another copy (the exe was moved) is not ours.
    bool Enabled();
    // Writes the value for this exe (replacing one that names another copy), or deletes it.
    // False when the registry refused; nothing has changed then.
    bool Set(bool enabled);

private:
    RegistryApi& registry_;
    std::string exePath_;
};

} // namespace tw
