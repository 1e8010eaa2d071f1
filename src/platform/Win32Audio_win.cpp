// Other programs' audio sessions through Core Audio, on a thread of their own: the audio
// service is another process and may be slow to answer, and hiding must never wait for it.
#include "platform/Win32LateCalls.h"
#include "platform/Win32Platform.h"
#include "platform/WideText.h"
#include "platform/ui/Handles.h"

#include <windows.h>
#include <audiopolicy.h>
#include <mmdeviceapi.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tw {

namespace {

std::string Utf8(const wchar_t* text, std::size_t length)
{
    return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

struct ProcessFacts {
    std::string exe;
    std::uint64_t created = 0;
    bool running = false;
};

// Both from one handle, so both are of the same process even if its id is reused meanwhile.
ProcessFacts ReadProcess(DWORD pid)
{
    ProcessFacts facts;
    if (pid == 0)
        return facts;
    ui::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return facts;
    // A path may be as long as the system allows any path to be, far beyond MAX_PATH.
    std::vector<wchar_t> path(32768);
    DWORD length = static_cast<DWORD>(path.size());
    if (::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length))
        facts.exe = Utf8(path.data(), length);
    FILETIME created{}, exited{}, kernel{}, user{};
    if (::GetProcessTimes(process.Get(), &created, &exited, &kernel, &user))
        facts.created = (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    // An ended process can still be opened while anyone holds a handle to it. A process that
    // ended with the code STILL_ACTIVE counts as running: its session's record is only kept
    // a little longer.
    DWORD code = 0;
    facts.running = ::GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE;
    return facts;
}

struct Found {
    AudioSession facts;
    ui::Com<ISimpleAudioVolume> volume;
};

// One session as the device's enumerator holds it; false when it is not one process's
// (the system sounds, a session shared by several processes) or cannot be read.
bool ReadSession(IAudioSessionControl* control, Found& out)
{
    ui::Com<IAudioSessionControl2> control2;
    if (FAILED(control->QueryInterface(__uuidof(IAudioSessionControl2), control2.OutVoid())))
        return false;
    DWORD pid = 0;
    // S_OK only: AUDCLNT_S_NO_SINGLE_PROCESS is a success code that names no one process.
    if (control2->GetProcessId(&pid) != S_OK || pid == 0)
        return false;
    LPWSTR id = nullptr;
    if (FAILED(control2->GetSessionInstanceIdentifier(&id)) || !id)
        return false;
    out.facts.id = Utf8(id, ::lstrlenW(id));
    Ole().CoTaskMemFree(id);
    if (FAILED(control->QueryInterface(__uuidof(ISimpleAudioVolume), out.volume.OutVoid())))
        return false;
    BOOL muted = FALSE;
    if (FAILED(out.volume->GetMute(&muted)))
        return false;
    ProcessFacts process = ReadProcess(pid);
    out.facts.pid = pid;
    out.facts.created = process.created;
    out.facts.exe = std::move(process.exe);
    out.facts.muted = muted != FALSE;
    return true;
}

// Every session of every active render device; false when they cannot all be listed (Wine 8
// has no session enumerator; a device may go while it is asked): half a listing would make
// sessions we muted look gone.
bool ListSessions(IMMDeviceEnumerator* devices, std::vector<Found>& out)
{
    ui::Com<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(devices->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, collection.Out())) ||
        FAILED(collection->GetCount(&count)))
        return false;
    for (UINT i = 0; i < count; ++i) {
        ui::Com<IMMDevice> device;
        ui::Com<IAudioSessionManager2> manager;
        ui::Com<IAudioSessionEnumerator> sessions;
        int n = 0;
        if (FAILED(collection->Item(i, device.Out())) ||
            FAILED(device->Activate(__uuidof(IAudioSessionManager2), CLSCTX_ALL, nullptr, manager.OutVoid())) ||
            FAILED(manager->GetSessionEnumerator(sessions.Out())) || FAILED(sessions->GetCount(&n)))
            return false;
        for (int k = 0; k < n; ++k) {
            ui::Com<IAudioSessionControl> control;
            Found found;
            if (SUCCEEDED(sessions->GetSession(k, control.Out())) && ReadSession(control.Get(), found))
                out.push_back(std::move(found));
        }
    }
    return true;
}

MuteOutcome Apply(std::vector<Found>& sessions, const MuteChange& change)
{
    for (Found& s : sessions) {
        if (s.facts.id != change.id)
            continue;
        if (s.facts.pid != change.pid || s.facts.created != change.created)
            return MuteOutcome::Gone;
        if (s.facts.muted == change.mute)
            return MuteOutcome::Unchanged;
        if (FAILED(s.volume->SetMute(change.mute ? TRUE : FALSE, nullptr)))
            return MuteOutcome::Failed;
        s.facts.muted = change.mute;
        return MuteOutcome::Done;
    }
    return MuteOutcome::Gone;
}

class Win32AudioApi final : public AudioApi {
public:
    void Post(std::vector<MuteChange> changes, bool list) override
    {
        std::lock_guard<std::mutex> hold(lock_);
        queue_.push_back({std::move(changes), list});
        if (!started_) {
            // Never joined: the thread waits for work until the process ends.
            std::thread([this] { Run(); }).detach();
            started_ = true;
        }
        wake_.notify_one();
    }

    std::optional<AudioAnswer> TakeAnswer() override
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (answers_.empty())
            return std::nullopt;
        AudioAnswer answer = std::move(answers_.front());
        answers_.pop_front();
        return answer;
    }

    bool WaitIdle(unsigned ms) override
    {
        std::unique_lock<std::mutex> hold(lock_);
        auto idle = [this] { return queue_.empty() && !carrying_; };
        // The crash path of a fault on the audio thread itself: it cannot wait for itself.
        if (::GetCurrentThreadId() == threadId_.load())
            return idle();
        return idle_.wait_for(hold, std::chrono::milliseconds(ms), idle);
    }

    std::string ExecutablePath(std::uint32_t pid) override { return ReadProcess(pid).exe; }

    bool IsRunning(std::uint32_t pid, std::uint64_t created) override
    {
        const ProcessFacts facts = ReadProcess(pid);
        return facts.running && facts.created == created && created != 0;
    }

private:
    struct Request {
        std::vector<MuteChange> changes;
        bool list;
    };

    void Run()
    {
        threadId_ = ::GetCurrentThreadId();
        const OleCalls& calls = Ole();   // bound here: a run that mutes nothing never loads COM
        const bool com = calls.CoInitializeEx && calls.CoCreateInstance && calls.CoTaskMemFree &&
                         SUCCEEDED(calls.CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        ui::Com<IMMDeviceEnumerator> devices;
        for (;;) {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [this] { return !queue_.empty(); });
            Request request = std::move(queue_.front());
            queue_.pop_front();
            carrying_ = true;
            hold.unlock();
            AudioAnswer answer;
            try {
                answer = Carry(request, com, devices);
            } catch (...) {
                answer = AudioAnswer{};   // nothing known: every change counts as failed
            }
            answer.outcomes.resize(request.changes.size(), MuteOutcome::Failed);
            hold.lock();
            answers_.push_back(std::move(answer));
            carrying_ = false;
            idle_.notify_all();
        }
    }

    static AudioAnswer Carry(const Request& request, bool com, ui::Com<IMMDeviceEnumerator>& devices)
    {
        AudioAnswer answer;
        if (com && !devices)
            Ole().CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                               devices.OutVoid());
        if (!devices)
            return answer;
        if (!request.changes.empty()) {
            std::vector<Found> sessions;
            const bool listed = ListSessions(devices.Get(), sessions);
            for (const MuteChange& change : request.changes)
                answer.outcomes.push_back(listed ? Apply(sessions, change) : MuteOutcome::Failed);
        }
        if (request.list) {
            std::vector<Found> sessions;
            if (ListSessions(devices.Get(), sessions)) {
                answer.sessions.emplace();
                for (Found& s : sessions)
                    answer.sessions->push_back(std::move(s.facts));
            }
        }
        return answer;
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Request> queue_;
    std::deque<AudioAnswer> answers_;
    bool started_ = false;
    bool carrying_ = false;
    std::atomic<DWORD> threadId_{0};
};

} // namespace

AudioApi& Win32Audio()
{
    // Never destroyed: its thread may still be waiting on it while the process ends.
    static Win32AudioApi* api = new Win32AudioApi;
    return *api;
}

} // namespace tw
