#include "sim/SimDesktop.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace tw::sim {

namespace {

const char* ShowCmdName(ShowCmd cmd)
{
    switch (cmd) {
    case ShowCmd::Hide: return "Hide";
    case ShowCmd::ShowNormal: return "ShowNormal";
    case ShowCmd::Minimize: return "Minimize";
    case ShowCmd::Restore: return "Restore";
    }
    return "?";
}

void Apply(SimWindow& win, ShowCmd cmd)
{
    switch (cmd) {
    case ShowCmd::Hide: win.visible = false; break;
    case ShowCmd::Minimize: win.visible = true; win.minimized = true; break;
    case ShowCmd::ShowNormal:
    case ShowCmd::Restore: win.visible = !win.staysHidden; win.minimized = false; break;
    }
}

// Memory handed out by ReserveRemoteBuffer; it dies with its process's record.
class SimRemoteBuffer final : public RemoteBuffer {
public:
    SimRemoteBuffer(SimProcess& process, std::uintptr_t address) : process_(process), address_(address) {}
    ~SimRemoteBuffer() override
    {
        process_.buffers.erase(address_);
        ++process_.releases;
    }
    std::uintptr_t Address() const override { return address_; }
    bool Write(std::size_t offset, const void* data, std::size_t length) override
    {
        auto& bytes = process_.buffers.at(address_);
        if (offset > bytes.size() || length > bytes.size() - offset)
            return false;
        std::memcpy(bytes.data() + offset, data, length);
        return true;
    }
    bool Read(std::size_t offset, void* data, std::size_t length) override
    {
        auto& bytes = process_.buffers.at(address_);
        if (offset > bytes.size() || length > bytes.size() - offset)
            return false;
        std::memcpy(data, bytes.data() + offset, length);
        return true;
    }
    bool ReadAt(std::uint64_t address, void* data, std::size_t length) override
    {
        auto readFrom = [&](const auto& blocks) {
            for (const auto& [base, bytes] : blocks)
                if (address >= base && address - base <= bytes.size() && length <= bytes.size() - (address - base)) {
                    std::memcpy(data, bytes.data() + (address - base), length);
                    return true;
                }
            return false;
        };
        return readFrom(process_.buffers) || readFrom(process_.memory);
    }
    unsigned PointerSize() const override { return process_.pointerSize; }

private:
    SimProcess& process_;
    std::uintptr_t address_;
};

} // namespace

Hwnd SimDesktop::AddWindow(const std::string& title, bool visible, const std::string& cls, Hwnd parent,
                           std::uint32_t pid)
{
    Hwnd h = nextHandle_;
    nextHandle_ += 4;
    SimWindow w;
    w.handle = h;
    w.parent = parent;
    w.cls = cls;
    w.title = title;
    w.visible = visible;
    w.pid = pid;
    windows_[h] = std::move(w);
    if (parent == 0)
        zorder_.insert(zorder_.begin(), h);
    else
        children_.push_back(h);
    return h;
}

void SimDesktop::DestroyWindow(Hwnd w)
{
    std::vector<Hwnd> doomed{w};
    for (Hwnd c : children_)
        if (windows_.count(c) && windows_[c].parent == w)
            doomed.push_back(c);
    for (Hwnd d : doomed) {
        windows_.erase(d);
        std::erase(zorder_, d);
        std::erase(children_, d);
    }
}

SimWindow& SimDesktop::Window(Hwnd w)
{
    auto it = windows_.find(w);
    if (it == windows_.end())
        throw std::out_of_range("no such simulated window");
    return it->second;
}

bool SimDesktop::Exists(Hwnd w) const { return windows_.count(w) != 0; }

std::uint8_t* SimDesktop::RemoteMemory(std::uint32_t pid, std::uintptr_t address, std::size_t length)
{
    for (auto& [base, bytes] : processes_[pid].buffers)
        if (address >= base && address - base <= bytes.size() && length <= bytes.size() - (address - base))
            return bytes.data() + (address - base);
    return nullptr;
}

Hwnd SimDesktop::GetFirstSibling(Hwnd any)
{
    if (any == 0)
        return zorder_.empty() ? 0 : zorder_.front();
    if (!Exists(any))
        return 0;
    Hwnd parent = windows_[any].parent;
    if (parent == 0)
        return zorder_.empty() ? 0 : zorder_.front();
    for (Hwnd c : children_)
        if (windows_[c].parent == parent)
            return c;
    return 0;
}

Hwnd SimDesktop::GetNextSibling(Hwnd w)
{
    ++nextSiblingCalls;
    Hwnd next = 0;
    if (Exists(w)) {
        Hwnd parent = windows_[w].parent;
        const auto& order = parent == 0 ? zorder_ : children_;
        auto it = std::find(order.begin(), order.end(), w);
        for (++it; it != order.end() && next == 0; ++it)
            if (windows_[*it].parent == parent)
                next = *it;
    }
    return nextSiblingHook ? nextSiblingHook(w, next) : next;
}

int SimDesktop::GetWindowTextW(Hwnd w, char16_t* buf, int maxCount)
{
    if (maxCount <= 0)
        return 0;
    buf[0] = u'\0';
    if (!Exists(w))
        return 0;
    const SimWindow& win = windows_[w];
    std::u16string t = win.wideTitle.empty() ? WideForm(win.title) : win.wideTitle;
    int n = static_cast<int>(std::min<std::size_t>(t.size(), static_cast<std::size_t>(maxCount - 1)));
    std::copy_n(t.data(), n, buf);
    buf[n] = u'\0';
    return n;
}

std::string SimDesktop::AnsiForm(std::u16string_view wide)
{
    std::string out;
    for (char16_t c : wide) {
        auto it = codePage.find(c);
        out += it != codePage.end() ? it->second : c < 0x100 ? std::string(1, static_cast<char>(c)) : "?";
    }
    return out;
}

std::u16string SimDesktop::WideForm(std::string_view ansi)
{
    std::u16string out;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        auto pair = std::find_if(codePage.begin(), codePage.end(), [&](const auto& entry) {
            return entry.second.size() == 2 && ansi.substr(i, 2) == entry.second;
        });
        if (pair != codePage.end()) {
            out += pair->first;
            ++i;
        } else {
            out += static_cast<char16_t>(static_cast<unsigned char>(ansi[i]));
        }
    }
    return out;
}

bool SimDesktop::IsWindow(Hwnd w) { return Exists(w); }

bool SimDesktop::IsWindowVisible(Hwnd w)
{
    // Visible only when the window and all its ancestors carry the visible style.
    for (Hwnd cur = w; cur != 0; cur = windows_[cur].parent) {
        if (!Exists(cur) || !windows_[cur].visible)
            return false;
    }
    return w != 0;
}

bool SimDesktop::ShowWindowAsync(Hwnd w, ShowCmd cmd)
{
    if (!Exists(w) || windows_[w].refusesShows)
        return false;
    if (onShowWindow)
        onShowWindow(w, cmd);
    SimWindow& win = windows_[w];
    log.push_back("ShowWindow " + win.title + " " + ShowCmdName(cmd));
    // A hung thread reads no requests; they wait, in order, until it runs again.
    if (win.hung)
        win.queuedShows.push_back(cmd);
    else
        Carry(win, cmd);
    return true;
}

void SimDesktop::Carry(SimWindow& win, ShowCmd cmd)
{
    Apply(win, cmd);
    if (win.parent != 0)
        return;
    if ((cmd == ShowCmd::Restore || cmd == ShowCmd::ShowNormal) && win.visible) {
        ToFront(win.handle);
        if (mayActivate)
            foreground = win.handle;
    } else if (foreground == win.handle && (!win.visible || win.minimized)) {
        // The system activates the next window down that the user can work in.
        foreground = 0;
        for (Hwnd h : zorder_)
            if (h != win.handle && windows_[h].visible && !windows_[h].minimized) {
                foreground = h;
                break;
            }
    }
}

void SimDesktop::ToFront(Hwnd w)
{
    std::erase(zorder_, w);
    zorder_.insert(zorder_.begin(), w);
}

Hwnd SimDesktop::RootOwner(Hwnd w)
{
    if (!Exists(w))
        return 0;
    while (windows_[w].parent != 0 && Exists(windows_[w].parent))
        w = windows_[w].parent;
    while (windows_[w].owner != 0 && Exists(windows_[w].owner))
        w = windows_[w].owner;
    return w;
}

bool SimDesktop::PlaceBehind(Hwnd w, Hwnd inFront)
{
    if (!Exists(w) || !Exists(inFront) || windows_[w].parent != 0 || w == inFront)
        return false;
    std::erase(zorder_, w);
    zorder_.insert(std::find(zorder_.begin(), zorder_.end(), inFront) + 1, w);
    return true;
}

bool SimDesktop::Activate(Hwnd w)
{
    if (!Exists(w) || !mayActivate)
        return false;
    ToFront(w);
    foreground = w;
    return true;
}

void SimDesktop::Pump(Hwnd w)
{
    SimWindow& win = Window(w);
    win.hung = false;
    for (ShowCmd cmd : win.queuedShows)
        Carry(win, cmd);
    win.queuedShows.clear();
}

void SimDesktop::HangVirtualDesktops()
{
    std::lock_guard lock(hang_->mutex);
    hang_->hung = true;
}

void SimDesktop::ReleaseVirtualDesktops()
{
    std::unique_lock lock(hang_->mutex);
    hang_->hung = false;
    hang_->changed.notify_all();
    hang_->changed.wait(lock, [&] { return hang_->calling == 0; });
}

std::optional<bool> SimDesktop::IsOnVirtualDesktop(Hwnd w)
{
    // Read before any wait: a caller that stops waiting for the answer goes on changing the
    // desktop meanwhile.
    std::optional<bool> placed = Exists(w) ? windows_.at(w).onVirtualDesktop : std::nullopt;
    ++virtualDesktopCalls;
    std::unique_lock lock(hang_->mutex);
    ++hang_->calling;
    hang_->changed.wait_for(lock, std::chrono::seconds(30), [&] { return !hang_->hung; });
    ++virtualDesktopAnswers;
    --hang_->calling;
    hang_->changed.notify_all();
    return placed;
}

Hwnd SimDesktop::FindWindowA(const char* cls)
{
    for (Hwnd h : zorder_)
        if (windows_[h].cls == cls)
            return h;
    return 0;
}

Hwnd SimDesktop::FindChildWindowA(Hwnd parent, const char* cls)
{
    for (Hwnd c : children_)
        if (windows_[c].parent == parent && windows_[c].cls == cls)
            return c;
    return 0;
}

std::uint32_t SimDesktop::GetWindowProcessId(Hwnd w) { return Exists(w) ? windows_[w].pid : 0; }

bool SimDesktop::SendMessageA(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                              std::intptr_t& result)
{
    // The program's general bound, as its Win32 side sends.
    constexpr unsigned kSendBoundMs = 3000;
    return SendMessageWithin(w, msg, wParam, lParam, kSendBoundMs, result);
}

bool SimDesktop::SendMessageWithin(Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam,
                                   unsigned timeoutMs, std::intptr_t& result)
{
    result = 0;
    // Abort-if-hung gives up at once on a window the system counts hung, and waits out the
    // bound on one that is only busy.
    if (!Exists(w) || windows_[w].hung)
        return false;
    if (windows_[w].busyMs > timeoutMs) {
        waitedMs += timeoutMs;
        return false;
    }
    waitedMs += windows_[w].busyMs;
    // Copy the hook: a handler may destroy its own window.
    auto hook = windows_[w].onMessage;
    if (hook)
        result = hook(msg, wParam, lParam);
    return true;
}

std::optional<std::uint32_t> SimDesktop::IntegrityLevel(std::uint32_t pid)
{
    return pid == 0 ? std::optional<std::uint32_t>(ownIntegrity) : processes_[pid].integrity;
}

std::uint64_t SimDesktop::ProcessCreationTime(std::uint32_t pid)
{
    auto it = processes_.find(pid);
    return it == processes_.end() ? 1 : it->second.created;   // every process starts at time 1
}

std::optional<std::string> SimDesktop::ProcessImagePath(std::uint32_t pid)
{
    auto it = processes_.find(pid);
    return it == processes_.end() ? std::nullopt : it->second.image;
}

std::unique_ptr<RemoteBuffer> SimDesktop::ReserveRemoteBuffer(std::uint32_t pid, std::size_t length)
{
    SimProcess& p = processes_[pid];
    if (!p.openable || !p.canReserve)
        return nullptr;
    std::uintptr_t address = nextAddress_;
    nextAddress_ += 0x10000;
    p.buffers[address].assign(length, 0xCD);   // fresh memory is not zeroed in the test world
    ++p.reservations;
    return std::make_unique<SimRemoteBuffer>(p, address);
}

} // namespace tw::sim
