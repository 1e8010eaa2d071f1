// The sound of the programs whose windows we hide.
//
// A boss key that hides a browser while its video plays gives the user away; so, for the
// programs the user chose, every audio session of every process of the program is muted
// while a window of it stays hidden by us (a browser plays in child processes, so a program
// is its executable, not a process). Only sessions that were playing aloud are muted, and
// only those are given back: a session the user muted stays muted.
//
// Windows makes "what we muted" outlive the session: a session leaves the listing while its
// device is unplugged, its process playing on, and a program's next session starts with the
// mute its last one ended with. So a muted session is ours while its process runs, listed or
// not, and a program we muted is ours until it is given back: then every muted session of it
// is unmuted, but for those the user had muted before we muted anything of it.
//
// The audio system is asked through AudioApi, which answers later: hiding never waits for
// it. What we mute is on disk before it is muted, like the windows, so a kill, "/restore",
// the next start and the crash path can give it back; while the record cannot be written,
// nothing is muted.
#pragma once

#include "platform/Platform.h"
#include "record/uHiddenRecord.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tw {

class TWindowList;

// The key a program's executable path is compared by: paths on Windows ignore case.
std::string ProgramKey(const std::string& exe);

// The executables of the windows we keep hidden now (hidden by us, no restore asked) that
// `wanted` says are to be silent. A process whose executable cannot be read is never one.
std::vector<std::string> SilencedPrograms(TWindowList& list, AudioApi& audio,
                                          const std::function<bool(const std::string& exe)>& wanted);

class TAudioMuter {
public:
    TAudioMuter(AudioApi& audio, THiddenRecord* record);
    TAudioMuter(const TAudioMuter&) = delete;
    TAudioMuter& operator=(const TAudioMuter&) = delete;

    // Takes on the sessions and programs an earlier run muted and never gave back: the next
    // Follow keeps those of the programs still silenced and gives back the others.
    void AdoptRecorded();
    // The executables whose sound is to be off from now on. A program new to them has its
    // sessions listed and muted; one that left them gets back what we muted of it.
    void Follow(const std::vector<std::string>& exes);
    // Acts on the answers that have come. Wanted often while Waiting().
    void TakeAnswers();
    // Looks for sessions that started since the last look (a program silenced that starts to
    // play), for those we muted whose process ended, and for those to give back that came
    // back with their device. Wanted about once a second while Watching().
    void Look();
    bool Waiting() const { return !inflight_.empty(); }
    bool Watching() const { return !silenced_.empty() || !ours_.empty() || !programs_.empty(); }
    // Gives back every session we muted, and the muted sessions of the programs we muted,
    // waiting at most `ms` in all for the audio system; what it has not confirmed by then
    // stays recorded.
    void UnmuteAll(unsigned ms);
    // The sessions muted by us and not yet given back.
    std::size_t MutedCount() const { return ours_.size(); }

private:
    struct Ours {
        RecordedSession session;
        bool unmuting = false;   // an unmute is on its way
    };
    struct Program {
        std::string key;   // ProgramKey of its path
        RecordedProgram recorded;
        bool sweeping = false;   // the unmute of its sessions left muted is on its way
        // Since it was given back: its sessions seen playing or unmuted by us.
        std::vector<RecordedSession> seen;
    };
    struct Request {
        std::vector<MuteChange> changes;
        bool list = false;
        std::vector<std::string> sweptFor;   // per change: the program swept, or empty
    };
    void Send(std::vector<MuteChange> changes, bool list, std::vector<std::string> sweptFor = {});
    void Answered(const Request& request, const AudioAnswer& answer);
    void AnsweredOurs(const Request& request, const AudioAnswer& answer);
    void AnsweredSweep(const Request& request, const AudioAnswer& answer);
    // What a listing says: sessions of silenced programs that play aloud are muted, ours
    // whose process ended are forgotten, ours of programs no longer silenced are given back,
    // and so are the muted sessions of those programs.
    void Reconcile(const std::vector<AudioSession>& sessions);
    void MuteFresh(const std::vector<AudioSession>& sessions);
    void Sweep(const std::vector<AudioSession>& sessions);
    // The unmutes of ours whose program is no longer silenced, marked as on their way; with
    // `listed`, only of those it shows (the others' device is away: asking would be in vain).
    std::vector<MuteChange> Unmutes(const std::vector<AudioSession>* listed);
    bool NeedsSweep() const;
    // By value: the entry it is given the names of goes first.
    void Forget(std::string id, std::uint64_t created);
    // The program leaves the record once nothing of it is left to give back.
    void SettleProgram(const std::string& key);
    Ours* Find(const std::string& id, std::uint64_t created);
    Program* FindProgram(const std::string& key);
    bool HasOurs(const std::string& key) const;

    AudioApi& audio_;
    THiddenRecord* record_;
    std::map<std::string, std::string> silenced_;   // by ProgramKey: the path
    std::vector<Ours> ours_;
    // A few at most: searched through, not indexed.
    std::vector<Program> programs_;
    // Of the silenced programs nothing of which we muted yet: their sessions seen muted,
    // which are the user's.
    std::vector<RecordedSession> usersSeen_;
    std::deque<Request> inflight_;
};

} // namespace tw
