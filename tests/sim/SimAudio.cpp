#include "sim/SimAudio.h"

#include <utility>

namespace tw::sim {

AudioSession& SimAudio::Add(std::string id, std::uint32_t pid, std::uint64_t created, std::string exe, bool muted)
{
    exes[pid] = exe;
    sessions.push_back({std::move(id), pid, created, std::move(exe), muted});
    return sessions.back();
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

} // namespace tw::sim
