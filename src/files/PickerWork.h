// The picker's work away from its window: folders are searched on one thread and the shell is
// asked on another, each thread taking its jobs in turn, however many the user asks for.
//
// A call into the file system or the shell may not come back for a long time, or at all: a
// shortcut whose target is on a lost network share, a failing removable drive. A thread held
// like that is left to it once the work behind it has waited long enough, and a fresh one takes
// that work; whatever the old one still uses is shared with it, so nothing is freed under it,
// and what it brings back, if it ever does, is still shown. Closing never waits for a call.
// How many threads of each kind may be alive at once, held ones included, is bounded for the
// whole process: past that bound the work waits for one of them to come back.
#pragma once

#include "files/PickerRules.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tw {

struct TShellObjectData;

// Work behind a call this long is given a fresh thread. A folder on a live disk is searched,
// and a node's answers are had, in well under this; a lost share takes tens of seconds.
inline constexpr std::chrono::milliseconds kWorkStuckAfter{2000};
// Threads of one kind alive at once in the process: the one working and those left in a call.
inline constexpr int kMostWorkers = 4;

// The bound on live threads of one kind. Shared by every picker the process opens, since a
// thread left in a call outlives the picker that started it.
class WorkerBudget {
public:
    explicit WorkerBudget(int most) : most_(most) {}
    // One more thread may start; false when `most` are alive.
    bool Take();
    void Give() { live_.fetch_sub(1, std::memory_order_acq_rel); }
    int Live() const { return live_.load(std::memory_order_acquire); }
    int Started() const { return started_.load(std::memory_order_acquire); }

private:
    const int most_;
    std::atomic<int> live_{0};
    std::atomic<int> started_{0};
};

// A folder to search and, once searched, its entries in the direction asked for.
struct FolderListing {
    TShellObjectData* node = nullptr;   // the window's; never touched away from its thread
    std::string path;
    SortDirection direction = SortDirection::Ascending;
    std::vector<ListedEntry> entries;
};

// What the search could not tell about a drawn node, asked of the shell into a copy: its
// attributes (a drive everything or nothing, any other node its overlays and whether it has
// subfolders), the icon it is drawn with, and whether it can be opened.
struct ShellQuestion {
    TShellObjectData* node = nullptr;   // the window's; never touched away from its thread
    std::string path;
    bool topLevel = false;
    bool open = false;
    bool askAttributes = false;
    bool askIcon = false;
    bool askChildren = false;
    std::uint32_t attributes = 0;   // what is known when asked; the answer adds to it
    int icon = -1;
    int hasChildren = -1;
};

// Answers `q` in place through `files`.
void AnswerShellQuestion(FileApi& files, ShellQuestion& q);

class PickerWork {
public:
    using Clock = std::chrono::steady_clock;
    // Called on a worker thread, with a lock held, when there is something to take: once,
    // until it has been taken. False when the word could not be sent; the next result tries
    // again. Never called once Close has returned.
    using Notify = std::function<bool()>;

    struct Options {
        std::shared_ptr<WorkerBudget> listers;   // empty: the process's own
        std::shared_ptr<WorkerBudget> askers;
        Clock::duration stuckAfter = kWorkStuckAfter;
        std::function<void()> askerStarts;       // run first on every thread that asks the shell
    };

    // `files` must outlive every thread, the ones left in a call included.
    PickerWork(FileApi& files, Notify listed, Notify answered, Options options);
    PickerWork(FileApi& files, Notify listed, Notify answered) : PickerWork(files, listed, answered, Options{}) {}
    ~PickerWork();
    PickerWork(const PickerWork&) = delete;
    PickerWork& operator=(const PickerWork&) = delete;

    // Queue a job and return at once. Without a thread to be had from the system the job is
    // done here and now; with the bound reached it waits.
    void List(FolderListing listing);
    void Ask(ShellQuestion question);
    // What has come back since the last take, in the order it came.
    std::vector<FolderListing> TakeListed();
    std::vector<ShellQuestion> TakeAnswers();
    // Gives work that waits behind a call held longer than `stuckAfter` a fresh thread, and
    // work that found the bound reached one if it can now be had. True while work waits, so
    // the caller knows to look again; List and Ask look by themselves.
    bool Supervise(Clock::time_point now);
    // While held, questions to the shell wait in their queue (a call under way ends first):
    // a folder the user opens is searched and shown without them taking the processor.
    void HoldAsking(bool held);
    // Drops every job not yet started; a call in progress is left to end by itself, and what
    // it brings back is dropped. Returns at once.
    void Close();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace tw
