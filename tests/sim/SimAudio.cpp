#include "sim/SimAudio.h"

#include <algorithm>
#include <utility>

namespace tw::sim {

namespace {

std::string Folded(std::string exe)
{
    for (char& c : exe)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return exe;
}

} // namespace

AudioSession& SimAudio::Add(std::string id, std::uint32_t pid, std::uint64_t created, std::string exe, bool muted)
{
    exes[pid] = exe;
    running_[pid] = created;
    sessions.push_back({std::move(id), pid, created, std::move(exe), muted});
    return sessions.back();
}

AudioSession& SimAudio::Start(std::string id, std::uint32_t pid, std::uint64_t created, std::string exe, bool persist)
{
    auto kept = kept_.find(Folded(exe));
    const bool muted = persist && kept != kept_.end() && kept->second;
    return Add(std::move(id), pid, created, std::move(exe), muted);
}

void SimAudio::End(std::uint32_t pid)
{
    for (std::vector<AudioSession>* list : {&sessions, &unplugged_})
        std::erase_if(*list, [&](const AudioSession& s) {
            if (s.pid != pid)
                return false;
            kept_[Folded(s.exe)] = s.muted;
            return true;
        });
    running_.erase(pid);
    exes.erase(pid);
}

void SimAudio::Unplug()
{
    unplugged_.insert(unplugged_.end(), sessions.begin(), sessions.end());
    sessions.clear();
}

void SimAudio::Replug()
{
    sessions.insert(sessions.end(), unplugged_.begin(), unplugged_.end());
    unplugged_.clear();
}

AudioSession* SimAudio::Session(const std::string& id)
{
    for (AudioSession& s : sessions)
        if (s.id == id)
            return &s;
    return nullptr;
}

void SimAudio::Run()
{
    while (!queue_.empty()) {
        Request request = std::move(queue_.front());
        queue_.pop_front();
        AudioAnswer answer;
        for (const MuteChange& change : request.changes) {
            log.push_back((change.mute ? "Mute " : "Unmute ") + change.id);
            AudioSession* s = Session(change.id);
            if (!available)
                answer.outcomes.push_back(MuteOutcome::Failed);
            else if (!s || s->pid != change.pid || s->created != change.created)
                answer.outcomes.push_back(MuteOutcome::Gone);
            else if (s->muted == change.mute)
                answer.outcomes.push_back(MuteOutcome::Unchanged);
            else {
                s->muted = change.mute;
                answer.outcomes.push_back(MuteOutcome::Done);
            }
        }
        if (request.list) {
            log.push_back("List");
            if (available)
                answer.sessions = sessions;
        }
        answers_.push_back(std::move(answer));
    }
}

void SimAudio::Post(std::vector<MuteChange> changes, bool list)
{
    queue_.push_back({std::move(changes), list});
    if (!held && !stuck)
        Run();
}

std::optional<AudioAnswer> SimAudio::TakeAnswer()
{
    if (answers_.empty())
        return std::nullopt;
    AudioAnswer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

bool SimAudio::WaitIdle(unsigned)
{
    if (!stuck)
        Run();
    return queue_.empty();
}

std::string SimAudio::ExecutablePath(std::uint32_t pid)
{
    auto it = exes.find(pid);
    return it == exes.end() ? std::string() : it->second;
}

bool SimAudio::IsRunning(std::uint32_t pid, std::uint64_t created)
{
    auto it = running_.find(pid);
    return it != running_.end() && it->second == created;
}

} // namespace tw::sim
