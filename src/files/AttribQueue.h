// The commands that hide and restore files run on one worker thread, strictly in the order
// they were issued: a slow or stuck attrib (a sleeping network drive, a scanner holding the
// file) never holds up the window, and a restore can never overtake the hide before it.
//
// The worker also looks at the file on either side of a command, since that is the only
// place where the answer is both current and free to wait: before a hide, which of the two
// attributes the file already had (so a restore gives back only what the hide added); after
// a restore, whether the attributes really went (attrib's exit code does not say when a file
// is held open or the medium is read-only).
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tw {

// The two attributes a hide gives, with their FILE_ATTRIBUTE_* values.
inline constexpr std::uint32_t kAttribHidden = 0x02;
inline constexpr std::uint32_t kAttribSystem = 0x04;
inline constexpr std::uint32_t kAttribBoth = kAttribHidden | kAttribSystem;

// How long one command may run before it is ended so the next can start; the order holds
// either way, since the next one starts only after the previous has gone.
inline constexpr unsigned kAttribWaitMs = 60000;

// One argument for a command line, quoted so that the usual argument splitting
// (CommandLineToArgvW and the C runtime) gives it back unchanged: backslashes that run into
// the closing quote are doubled, so "C:\" does not turn into C:" with the quote escaped.
std::string QuoteArgument(std::string_view arg);

// The full command that hides `path` (both attributes) or restores it (takes away the
// attributes not in `kept`, names those in `kept` again): attrib by its full path in the
// system folder, never looked up where a planted attrib.exe could be found first.
//
// Every command names both attributes: attrib refuses a file whose hidden or system
// attribute is set unless the command names that attribute too ("Not resetting hidden
// file"), changes nothing and still ends with 0. "-s" alone never clears the system bit of
// a file that was hidden before we hid it; "-s +h" does.
std::string AttribCommandLine(const std::string& systemDir, bool unhide, const std::string& path,
                              std::uint32_t kept = 0);

// What the worker learnt from a command that has ended, for the window's thread to act on.
struct TFileOutcome {
    enum Kind {
        Found,      // before a hide: `bits` are the hidden/system bits the file already had
        Restored,   // the restore took, or the path is gone
        Refused,    // the file still has an attribute the restore took away, or cannot be read
    };
    Kind kind;
    std::string path;
    std::uint32_t bits = 0;
};

class TAttribQueue {
public:
    // `finished` is called on the worker thread each time outcomes wait to be taken.
    explicit TAttribQueue(FileApi& files, std::function<void()> finished = {});
    // Commands not yet started are dropped; one that is running is left to end by itself.
    ~TAttribQueue();
    TAttribQueue(const TAttribQueue&) = delete;
    TAttribQueue& operator=(const TAttribQueue&) = delete;

    FileApi& Files() { return files_; }
    // Queues, behind every command issued before it, the hide of `path`; with `findBits` the
    // worker first reports which attributes the file had. Returns at once.
    void EnqueueHide(std::string path, bool findBits);
    // Queues the restore of `path`, taking away only what the hide added: the attributes not
    // in `had` when it is given, else what the worker found before this run's hide of the
    // path, else both.
    void EnqueueRestore(std::string path, std::optional<std::uint32_t> had);
    // The outcomes of the commands that ended since the last call, in order.
    std::vector<TFileOutcome> TakeOutcomes();
    // Takes every command that has not started off the queue and returns the paths the
    // restores among them would have given back, in order: a close that cannot wait for
    // them must not drop a file's line while the file stays hidden.
    std::vector<std::string> TakeUnstartedRestores();
    // Waits at most `ms` for every issued command to finish; true when all have.
    bool WaitIdle(unsigned ms);

private:
    struct State;
    struct Command;
    static void RunCommands(const std::shared_ptr<State>& state, FileApi& files);
    static void Run(State& state, FileApi& files, const Command& command);
    static void Report(State& state, TFileOutcome outcome);
    void Enqueue(Command command);

    FileApi& files_;
    std::shared_ptr<State> state_;
    std::thread worker_;   // started by the first command
};

} // namespace tw
