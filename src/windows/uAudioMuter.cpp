#include "windows/uAudioMuter.h"

#include "windows/uWindowsHider.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace tw {

namespace {

bool Holds(const std::vector<RecordedSession>& list, const AudioSession& s)
{
    return std::any_of(list.begin(), list.end(), [&](const RecordedSession& o) {
        return o.id == s.id && o.pid == s.pid && o.created == s.created;
    });
}

} // namespace

std::string ProgramKey(const std::string& exe)
{
    // The letters the file system folds are far more than ASCII's, but the paths of one
    // executable differ, when they do, in how a drive or folder name was typed.
    std::string key = exe;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

std::vector<std::string> SilencedPrograms(TWindowList& list, AudioApi& audio,
                                          const std::function<bool(const std::string& exe)>& wanted)
{
    std::vector<std::string> out;
    if (!wanted)
        return out;
    // Many windows share a few processes: each is asked once.
    std::map<std::uint32_t, std::string> exes;
    for (int i = 0; i < list.Count(); ++i) {
        const TWindow& entry = list.Items(i);
        if (!entry.HiddenByUs || entry.RestorePending() || entry.Pid == 0)
            continue;
        auto [it, isNew] = exes.try_emplace(entry.Pid);
        if (isNew) {
            it->second = audio.ExecutablePath(entry.Pid);
            if (!it->second.empty() && wanted(it->second))
                out.push_back(it->second);
        }
    }
    return out;
}

TAudioMuter::TAudioMuter(AudioApi& audio, THiddenRecord* record) : audio_(audio), record_(record) {}

void TAudioMuter::AdoptRecorded()
{
    if (!record_)
        return;
    for (const RecordedSession& m : record_->Sessions())
        if (!Find(m.id, m.created))
            ours_.push_back({m, false});
    for (const RecordedProgram& p : record_->Programs())
        if (!FindProgram(ProgramKey(p.exe)))
            programs_.push_back({ProgramKey(p.exe), p, false, {}});
}

void TAudioMuter::Follow(const std::vector<std::string>& exes)
{
    std::map<std::string, std::string> next;
    for (const std::string& exe : exes)
        if (!exe.empty())
            next.emplace(ProgramKey(exe), exe);
    const bool joined = std::any_of(next.begin(), next.end(),
                                    [this](const auto& program) { return !silenced_.count(program.first); });
    silenced_ = std::move(next);
    for (Program& program : programs_)
        if (silenced_.count(program.key))
            program.seen.clear();
    std::erase_if(usersSeen_, [this](const RecordedSession& seen) { return !silenced_.count(ProgramKey(seen.exe)); });
    // Which sessions a program has is known only once they are listed: the mute of a program
    // that joins follows, and so does the unmute of a given-back program's sessions left muted.
    const bool list = joined || NeedsSweep();
    std::vector<MuteChange> unmutes = Unmutes(nullptr);
    if (list || !unmutes.empty())
        Send(std::move(unmutes), list);
}

void TAudioMuter::TakeAnswers()
{
    THiddenRecord::Batch batch(record_);
    while (!inflight_.empty()) {
        std::optional<AudioAnswer> answer = audio_.TakeAnswer();
        if (!answer)
            return;
        Request request = std::move(inflight_.front());
        inflight_.pop_front();
        Answered(request, *answer);
    }
}

void TAudioMuter::Look()
{
    // One listing at a time: a slow audio system is not asked again before it has answered.
    if (inflight_.empty() && Watching())
        Send({}, true);
}

void TAudioMuter::UnmuteAll(unsigned ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    silenced_.clear();
    usersSeen_.clear();
    const bool list = NeedsSweep();
    std::vector<MuteChange> unmutes = Unmutes(nullptr);
    if (list || !unmutes.empty())
        Send(std::move(unmutes), list);
    // A program's sessions left muted are unmuted only after a listing has shown them: two
    // rounds, and both within the one wait.
    for (;;) {
        TakeAnswers();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!Waiting() || left <= 0)
            return;
        if (!audio_.WaitIdle(static_cast<unsigned>(left))) {
            TakeAnswers();
            return;
        }
    }
}

void TAudioMuter::Send(std::vector<MuteChange> changes, bool list, std::vector<std::string> sweptFor)
{
    Request request{changes, list, std::move(sweptFor)};
    audio_.Post(std::move(changes), list);
    inflight_.push_back(std::move(request));
}

void TAudioMuter::Answered(const Request& request, const AudioAnswer& answer)
{
    if (request.sweptFor.empty())
        AnsweredOurs(request, answer);
    else
        AnsweredSweep(request, answer);
    if (answer.sessions)
        Reconcile(*answer.sessions);
}

void TAudioMuter::AnsweredOurs(const Request& request, const AudioAnswer& answer)
{
    for (std::size_t i = 0; i < request.changes.size(); ++i) {
        const MuteChange& change = request.changes[i];
        const MuteOutcome outcome = i < answer.outcomes.size() ? answer.outcomes[i] : MuteOutcome::Failed;
        Ours* entry = Find(change.id, change.created);
        if (!entry)
            continue;
        if (change.mute) {
            // Muted already when we came to it (by the user, whose choice it stays), or gone
            // before it was muted: nothing of ours.
            if (outcome != MuteOutcome::Done)
                Forget(change.id, change.created);
            continue;
        }
        entry->unmuting = false;
        // A refused unmute is ours still, and asked again; so is one whose device is away
        // while its process runs: it comes back with the device, muted.
        const bool settled = outcome == MuteOutcome::Done || outcome == MuteOutcome::Unchanged ||
                             (outcome == MuteOutcome::Gone && !audio_.IsRunning(change.pid, change.created));
        if (settled)
            Forget(change.id, change.created);
    }
}

void TAudioMuter::AnsweredSweep(const Request& request, const AudioAnswer& answer)
{
    std::vector<std::string> settled;
    for (Program& program : programs_) {
        bool swept = false, done = true;
        for (std::size_t i = 0; i < request.changes.size(); ++i) {
            if (request.sweptFor[i] != program.key)
                continue;
            const MuteOutcome outcome = i < answer.outcomes.size() ? answer.outcomes[i] : MuteOutcome::Failed;
            const MuteChange& change = request.changes[i];
            swept = true;
            if (outcome == MuteOutcome::Done || outcome == MuteOutcome::Unchanged)
                program.seen.push_back({change.id, change.pid, change.created, {}});
            else
                done = false;
        }
        if (!swept)
            continue;
        program.sweeping = false;
        // What was not confirmed is looked for again at the next listing.
        if (done)
            settled.push_back(program.key);
    }
    for (const std::string& key : settled)
        SettleProgram(key);
}

void TAudioMuter::Reconcile(const std::vector<AudioSession>& sessions)
{
    // A session of ours that no device lists is ours still while its process runs: it may be
    // on a headset that is unplugged for now. One listed under our identifier for another
    // process is that process's, not ours.
    for (std::size_t i = ours_.size(); i-- > 0;) {
        const RecordedSession& m = ours_[i].session;
        const bool listed = std::any_of(sessions.begin(), sessions.end(), [&](const AudioSession& s) {
            return s.id == m.id && s.pid == m.pid && s.created == m.created;
        });
        if (!listed && !ours_[i].unmuting && !audio_.IsRunning(m.pid, m.created))
            Forget(m.id, m.created);
    }
    MuteFresh(sessions);
    std::vector<MuteChange> unmutes = Unmutes(&sessions);
    if (!unmutes.empty())
        Send(std::move(unmutes), false);
    Sweep(sessions);
}

void TAudioMuter::MuteFresh(const std::vector<AudioSession>& sessions)
{
    std::vector<RecordedSession> fresh;
    std::vector<std::string> firstMuted;   // programs nothing of which we muted yet
    for (const AudioSession& s : sessions) {
        // A process whose program or age cannot be read is never taken for one of ours.
        if (s.exe.empty() || s.created == 0 || Find(s.id, s.created))
            continue;
        const std::string key = ProgramKey(s.exe);
        if (!silenced_.count(key))
            continue;
        RecordedSession session{s.id, s.pid, s.created, s.exe};
        if (!s.muted)
            fresh.push_back(std::move(session));
        // Muted before we muted anything of its program: by the user. Once we have, a muted
        // session new to us is the program's next session, muted as ours ended.
        else if (!FindProgram(key) && std::find(usersSeen_.begin(), usersSeen_.end(), session) == usersSeen_.end())
            usersSeen_.push_back(std::move(session));
    }
    if (fresh.empty())
        return;
    std::vector<RecordedProgram> programs;
    for (const RecordedSession& m : fresh) {
        const std::string key = ProgramKey(m.exe);
        if (FindProgram(key) || std::find(firstMuted.begin(), firstMuted.end(), key) != firstMuted.end())
            continue;
        firstMuted.push_back(key);
        RecordedProgram program{m.exe, {}};
        for (const RecordedSession& seen : usersSeen_)
            if (ProgramKey(seen.exe) == key)
                program.usersOwn.push_back({seen.id, seen.pid, seen.created, m.exe});
        programs.push_back(std::move(program));
    }
    // On disk before the sound goes; while the record cannot be written the sound stays on,
    // and the next look tries again.
    if (record_ && !record_->AddSessions(fresh, programs))
        return;
    for (std::size_t i = 0; i < programs.size(); ++i)
        programs_.push_back({firstMuted[i], std::move(programs[i]), false, {}});
    std::erase_if(usersSeen_, [this](const RecordedSession& seen) { return FindProgram(ProgramKey(seen.exe)) != nullptr; });
    std::vector<MuteChange> mutes;
    for (RecordedSession& m : fresh) {
        mutes.push_back({m.id, m.pid, m.created, true});
        ours_.push_back({std::move(m), false});
    }
    Send(std::move(mutes), false);
}

void TAudioMuter::Sweep(const std::vector<AudioSession>& sessions)
{
    std::vector<MuteChange> unmutes;
    std::vector<std::string> sweptFor;
    std::vector<std::string> settled;
    for (Program& program : programs_) {
        const std::string& key = program.key;
        if (silenced_.count(key) || program.sweeping)
            continue;
        const std::size_t before = unmutes.size();
        for (const AudioSession& s : sessions) {
            // Ours still muted are given back by their own unmute.
            if (s.exe.empty() || ProgramKey(s.exe) != key || Find(s.id, s.created) || Holds(program.seen, s))
                continue;
            // Each session is given back once: one seen playing since, or given back, is the
            // user's to mute from then on (the program stays recorded while a session of ours
            // is away with its device).
            if (!s.muted || Holds(program.recorded.usersOwn, s)) {
                program.seen.push_back({s.id, s.pid, s.created, {}});
                continue;
            }
            unmutes.push_back({s.id, s.pid, s.created, false});
            sweptFor.push_back(key);
        }
        if (unmutes.size() > before)
            program.sweeping = true;
        else
            settled.push_back(key);
    }
    for (const std::string& key : settled)
        SettleProgram(key);
    if (!unmutes.empty())
        Send(std::move(unmutes), false, std::move(sweptFor));
}

std::vector<MuteChange> TAudioMuter::Unmutes(const std::vector<AudioSession>* listed)
{
    std::vector<MuteChange> unmutes;
    for (Ours& entry : ours_) {
        const RecordedSession& m = entry.session;
        if (entry.unmuting || silenced_.count(ProgramKey(m.exe)))
            continue;
        if (listed && std::none_of(listed->begin(), listed->end(), [&](const AudioSession& s) {
                return s.id == m.id && s.pid == m.pid && s.created == m.created;
            }))
            continue;
        entry.unmuting = true;
        unmutes.push_back({m.id, m.pid, m.created, false});
    }
    return unmutes;
}

bool TAudioMuter::NeedsSweep() const
{
    return std::any_of(programs_.begin(), programs_.end(), [this](const Program& program) {
        return !program.sweeping && !silenced_.count(program.key);
    });
}

void TAudioMuter::Forget(std::string id, std::uint64_t created)
{
    std::erase_if(ours_, [&](const Ours& o) { return o.session.id == id && o.session.created == created; });
    if (record_)
        record_->RemoveSession(id, created);
}

void TAudioMuter::SettleProgram(const std::string& key)
{
    Program* program = FindProgram(key);
    if (!program || program->sweeping || silenced_.count(key) || HasOurs(key))
        return;
    const std::string exe = program->recorded.exe;
    std::erase_if(programs_, [&](const Program& p) { return p.key == key; });
    if (record_)
        record_->RemoveProgram(exe);
}

TAudioMuter::Program* TAudioMuter::FindProgram(const std::string& key)
{
    for (Program& p : programs_)
        if (p.key == key)
            return &p;
    return nullptr;
}

bool TAudioMuter::HasOurs(const std::string& key) const
{
    return std::any_of(ours_.begin(), ours_.end(), [&](const Ours& o) { return ProgramKey(o.session.exe) == key; });
}

TAudioMuter::Ours* TAudioMuter::Find(const std::string& id, std::uint64_t created)
{
    for (Ours& o : ours_)
        if (o.session.id == id && o.session.created == created)
            return &o;
    return nullptr;
}

} // namespace tw
