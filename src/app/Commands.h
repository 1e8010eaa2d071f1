// What a start is asked to do by its command line, and the commands one start hands to the
// copy that runs already, as scripts and macro keys send them ("Tarnwick.exe /hide").
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tw {

enum class StartSwitch : unsigned {
    None,        // a plain start
    Restore,     // give back what the record holds, or have the running copy do it
    Hidden,      // a start out of sight (the Run value's)
    // Commands for the running copy; a start with one of them never runs as the copy.
    Hide,        // as the hide hot key
    Show,        // as the restore hot key
    HideFront,   // as the window-in-front key
    Toggle,      // Show when a ticked window is hidden by us, else Hide
    Quit,        // as the main window's close
    Unknown,     // an argument we do not know: nothing is started
};

constexpr bool IsCommand(StartSwitch s) { return s >= StartSwitch::Hide && s <= StartSwitch::Quit; }

// How a command start ends, for the script that ran it.
enum CommandExit : int {
    kCommandDone = 0,
    kNoRunningCopy = 1,   // nothing to hand it to (in this session, at our integrity level)
    kCommandNoAnswer = 2, // the copy did not answer in time
    kUnknownArgument = 3,
};

// The whole command line (the program's own name left out) as one switch: "/name" or
// "-name" in any case, blanks around it and one pair of quotes allowed.
StartSwitch ParseStartSwitch(std::wstring_view commandLine);

// The command's word on the wire (kCommandTag, platform/Platform.h).
std::string_view CommandWord(StartSwitch command);
// The command that `length` bytes at `data` with `tag` carry; nothing for anything else
// (another tag, no bytes, more than a word's, a word we do not know). The data may come from
// any program of the session: it is read only within `length`, and never trusted further.
std::optional<StartSwitch> ReadCommand(std::uintptr_t tag, const void* data, std::size_t length);

} // namespace tw
