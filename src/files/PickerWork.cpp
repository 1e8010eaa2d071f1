#include "files/PickerWork.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace tw {

bool WorkerBudget::Take()
{
    int live = live_.load(std::memory_order_acquire);
    do {
        if (live >= most_)
            return false;
    } while (!live_.compare_exchange_weak(live, live + 1, std::memory_order_acq_rel));
    started_.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

void AnswerShellQuestion(FileApi& files, ShellQuestion& q)
{
    if (q.askAttributes) {
        if (q.topLevel) {
            // A path below a drive root is no drive root, so the system names no drive type
            // for it: the attributes its listing read stand.
            if (ReadsShellAttributes(files.GetDriveTypeA(q.path), q.path))
                q.attributes = files.ShellAttributes(q.path, shell::kRequestMask);
        } else {
            std::uint32_t mask = DrawnShellMask(q.attributes);
            q.attributes |= files.ShellAttributes(q.path, mask) & mask;
        }
    }
    if (q.askIcon)
        q.icon = files.SmallIconIndex(q.path, q.open ? kOpenIconFlags : kClosedIconFlags);
    if (q.askChildren)
        q.hasChildren = HasChildren(q.attributes, [&] { return FolderHasFiles(files, q.path); });
}

namespace {

std::shared_ptr<WorkerBudget> ProcessBudget(bool listing)
{
    static const auto listers = std::make_shared<WorkerBudget>(kMostWorkers);
    static const auto askers = std::make_shared<WorkerBudget>(kMostWorkers);
    return listing ? listers : askers;
}

} // namespace

// Everything the threads share with the window, held by both: a picker closed while a thread
// is in a call frees nothing that thread still uses.
struct PickerWork::State : std::enable_shared_from_this<State> {
    using Job = std::function<void(State&)>;

    // One thread's standing, read and written under the lock.
    struct Worker {
        bool busy = false;
        bool abandoned = false;    // a fresh thread took its place while it was in a call
        Clock::time_point since;   // when its current job began
    };

    // Jobs of one kind, taken in turn by the lane's one working thread.
    struct Lane {
        std::deque<Job> jobs;
        std::shared_ptr<Worker> worker;          // none yet, or the last one was left in a call
        std::shared_ptr<WorkerBudget> budget;    // set once, before any thread starts
        std::function<void()> starts;
        bool held = false;                       // queued jobs wait until it is let go
    };

    enum class Staffing { Staffed, Waiting, Refused };

    State(FileApi& f, Notify listed, Notify answered, Clock::duration stuck)
        : files(f), onListed(std::move(listed)), onAnswered(std::move(answered)), stuckAfter(stuck)
    {
    }

    static void Work(std::shared_ptr<State> state, Lane* lane, std::shared_ptr<Worker> me);
    Staffing Staff(Lane& lane, Clock::time_point now);
    void Post(Lane& lane, Job job);
    // Keeps a result and sends word of it: once, until what has come is taken.
    template <typename Result>
    void Deliver(std::vector<Result>& results, Result done, bool& told, const Notify& notify);
    template <typename Result>
    std::vector<Result> Take(std::vector<Result>& results, bool& told);

    FileApi& files;
    const Notify onListed;
    const Notify onAnswered;
    const Clock::duration stuckAfter;

    std::mutex lock;
    std::condition_variable wake;   // a job was queued, a worker was given up on, or all is closing
    bool closed = false;
    Lane listing;
    Lane asking;
    std::vector<FolderListing> listed;
    std::vector<ShellQuestion> answers;
    bool listedTold = false;
    bool answeredTold = false;
};

void PickerWork::State::Work(std::shared_ptr<State> state, Lane* lane, std::shared_ptr<Worker> me)
{
    std::shared_ptr<WorkerBudget> budget = lane->budget;
    if (lane->starts) {
        try {
            lane->starts();
        } catch (...) {
        }
    }
    {
        std::unique_lock<std::mutex> hold(state->lock);
        for (;;) {
            state->wake.wait(hold,
                             [&] { return state->closed || me->abandoned || (!lane->jobs.empty() && !lane->held); });
            if (state->closed || me->abandoned)
                break;
            Job job = std::move(lane->jobs.front());
            lane->jobs.pop_front();
            me->busy = true;
            me->since = Clock::now();
            hold.unlock();
            try {
                job(*state);
            } catch (...) {
                // Each job keeps its own failures; nothing may end the thread.
            }
            job = nullptr;
            hold.lock();
            me->busy = false;
            // Back from a call it was given up on, to a lane that could find no other thread:
            // it carries on rather than leave the lane's work to wait.
            if (me->abandoned && !lane->worker && !state->closed) {
                me->abandoned = false;
                lane->worker = me;
            }
        }
        if (lane->worker == me)
            lane->worker.reset();
    }
    // The slot is given back last, once nothing of the picker's is held any more.
    me.reset();
    state.reset();
    budget->Give();
}

// Under the lock. A thread in one job for longer than `stuckAfter` while others wait is given
// up on; a lane without a thread gets one if the bound and the system allow.
PickerWork::State::Staffing PickerWork::State::Staff(Lane& lane, Clock::time_point now)
{
    if (lane.jobs.empty())
        return Staffing::Staffed;
    if (lane.worker && lane.worker->busy && now - lane.worker->since >= stuckAfter) {
        lane.worker->abandoned = true;
        lane.worker.reset();
    }
    if (lane.worker)
        return Staffing::Staffed;
    if (!lane.budget->Take())
        return Staffing::Waiting;
    auto worker = std::make_shared<Worker>();
    try {
        std::thread(&State::Work, shared_from_this(), &lane, worker).detach();
    } catch (const std::system_error&) {
        lane.budget->Give();
        return Staffing::Refused;
    }
    lane.worker = std::move(worker);
    return Staffing::Staffed;
}

void PickerWork::State::Post(Lane& lane, Job job)
{
    std::unique_lock<std::mutex> hold(lock);
    if (closed)
        return;
    lane.jobs.push_back(std::move(job));
    Staffing staffing = Staff(lane, Clock::now());
    if (staffing != Staffing::Refused) {
        wake.notify_all();
        return;
    }
    // No thread to be had from the system at all: done here, the window waiting as it did
    // before there were threads. Not so when the bound is reached: those threads are held by
    // a call that may never come back, and this one would be held with them.
    std::deque<Job> here;
    here.swap(lane.jobs);
    hold.unlock();
    for (Job& queued : here) {
        try {
            queued(*this);
        } catch (...) {
        }
    }
}

template <typename Result>
void PickerWork::State::Deliver(std::vector<Result>& results, Result done, bool& told, const Notify& notify)
{
    std::lock_guard<std::mutex> hold(lock);
    if (closed)
        return;
    results.push_back(std::move(done));
    if (!told)
        told = notify();
}

template <typename Result>
std::vector<Result> PickerWork::State::Take(std::vector<Result>& results, bool& told)
{
    std::vector<Result> taken;
    std::lock_guard<std::mutex> hold(lock);
    taken.swap(results);
    told = false;
    return taken;
}

PickerWork::PickerWork(FileApi& files, Notify listed, Notify answered, Options options)
    : state_(std::make_shared<State>(files, std::move(listed), std::move(answered), options.stuckAfter))
{
    state_->listing.budget = options.listers ? std::move(options.listers) : ProcessBudget(true);
    state_->asking.budget = options.askers ? std::move(options.askers) : ProcessBudget(false);
    state_->asking.starts = std::move(options.askerStarts);
}

PickerWork::~PickerWork() { Close(); }

void PickerWork::List(FolderListing listing)
{
    state_->Post(state_->listing, [listing = std::move(listing)](State& state) mutable {
        try {
            listing.entries = ListFolder(state.files, listing.path, listing.direction);
        } catch (const std::exception&) {
            listing.entries.clear();   // out of memory: the folder shows as empty
        }
        state.Deliver(state.listed, std::move(listing), state.listedTold, state.onListed);
    });
}

void PickerWork::Ask(ShellQuestion question)
{
    state_->Post(state_->asking, [question = std::move(question)](State& state) mutable {
        try {
            AnswerShellQuestion(state.files, question);
        } catch (const std::exception&) {
            // Out of memory: the node keeps what it shows, and still counts as answered.
        }
        state.Deliver(state.answers, std::move(question), state.answeredTold, state.onAnswered);
    });
}

std::vector<FolderListing> PickerWork::TakeListed() { return state_->Take(state_->listed, state_->listedTold); }

std::vector<ShellQuestion> PickerWork::TakeAnswers() { return state_->Take(state_->answers, state_->answeredTold); }

bool PickerWork::Supervise(Clock::time_point now)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    if (state_->closed)
        return false;
    // A thread refused by the system is asked for again at the next look.
    state_->Staff(state_->listing, now);
    state_->Staff(state_->asking, now);
    state_->wake.notify_all();
    return !state_->listing.jobs.empty() || !state_->asking.jobs.empty();
}

void PickerWork::HoldAsking(bool held)
{
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->asking.held = held;
    }
    state_->wake.notify_all();
}

void PickerWork::Close()
{
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->closed = true;
        state_->listing.jobs.clear();
        state_->asking.jobs.clear();
        state_->listed.clear();
        state_->answers.clear();
    }
    state_->wake.notify_all();
}

} // namespace tw
