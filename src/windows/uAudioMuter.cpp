#include "windows/uAudioMuter.h"

#include "windows/uWindowsHider.h"

#include <algorithm>
#include <utility>

namespace tw {

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
    UnmuteLeft();
    // Which sessions a program has is known only once they are listed; the mute follows.
    if (joined)
        Send({}, true);
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
    silenced_.clear();
    UnmuteLeft();
    if (Waiting())
        audio_.WaitIdle(ms);
    TakeAnswers();
}

void TAudioMuter::Send(std::vector<MuteChange> changes, bool list)
{
    Request request{changes, list};
    audio_.Post(std::move(changes), list);
    inflight_.push_back(std::move(request));
}

void TAudioMuter::Answered(const Request& request, const AudioAnswer& answer)
{
    for (std::size_t i = 0; i < request.changes.size(); ++i) {
        const MuteChange& change = request.changes[i];
        const MuteOutcome outcome = i < answer.outcomes.size() ? answer.outcomes[i] : MuteOutcome::Failed;
        Ours* entry = Find(change.id, change.created);
        if (!entry)
            continue;
        if (change.mute) {
            // Muted already when we came to it: by the user, whose choice it stays.
            if (outcome != MuteOutcome::Done)
                Forget(change.id, change.created);
        } else {
            entry->unmuting = false;
            // A refused unmute is ours still, and asked again at the next look.
            if (outcome != MuteOutcome::Failed)
                Forget(change.id, change.created);
        }
    }
    if (answer.sessions)
        Reconcile(*answer.sessions);
}

void TAudioMuter::Reconcile(const std::vector<AudioSession>& sessions)
{
    // A session of ours that no device plays any more went with its process, or its stream;
    // one listed under our identifier for another process is that process's, not ours.
    for (std::size_t i = ours_.size(); i-- > 0;) {
        const RecordedSession& m = ours_[i].session;
        const bool live = std::any_of(sessions.begin(), sessions.end(), [&](const AudioSession& s) {
            return s.id == m.id && s.pid == m.pid && s.created == m.created;
        });
        if (!live && !ours_[i].unmuting)
            Forget(m.id, m.created);
    }
    std::vector<RecordedSession> fresh;
    for (const AudioSession& s : sessions) {
        // A process whose program or age cannot be read is never taken for one of ours.
        if (s.muted || s.exe.empty() || s.created == 0 || !silenced_.count(ProgramKey(s.exe)) ||
            Find(s.id, s.created))
            continue;
        fresh.push_back({s.id, s.pid, s.created, s.exe});
    }
    if (!fresh.empty()) {
        // On disk before the sound goes. A record that cannot be written does not stop it:
        // the close and the crash path still know what to give back.
        if (record_)
            record_->AddSessions(fresh);
        std::vector<MuteChange> mutes;
        for (RecordedSession& m : fresh) {
            mutes.push_back({m.id, m.pid, m.created, true});
            ours_.push_back({std::move(m), false});
        }
        Send(std::move(mutes), false);
    }
    UnmuteLeft();
}

void TAudioMuter::UnmuteLeft()
{
    std::vector<MuteChange> unmutes;
    for (Ours& entry : ours_) {
        if (entry.unmuting || silenced_.count(ProgramKey(entry.session.exe)))
            continue;
        entry.unmuting = true;
        unmutes.push_back({entry.session.id, entry.session.pid, entry.session.created, false});
    }
    if (!unmutes.empty())
        Send(std::move(unmutes), false);
}

void TAudioMuter::Forget(std::string id, std::uint64_t created)
{
    std::erase_if(ours_, [&](const Ours& o) { return o.session.id == id && o.session.created == created; });
    if (record_)
        record_->RemoveSession(id, created);
}

TAudioMuter::Ours* TAudioMuter::Find(const std::string& id, std::uint64_t created)
{
    for (Ours& o : ours_)
        if (o.session.id == id && o.session.created == created)
            return &o;
    return nullptr;
}

} // namespace tw
