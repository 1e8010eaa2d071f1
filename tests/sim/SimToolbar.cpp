#include "sim/SimToolbar.h"

#include <cstring>

namespace tw::sim {

namespace {

constexpr std::uint8_t kStateEnabled = 0x04;
constexpr std::uint8_t kStateHidden = 0x08;
constexpr std::uint32_t kInfoText = 0x00000002;    // TBIF_TEXT
constexpr std::uint32_t kByIndex = 0x80000000;     // TBIF_BYINDEX

// The toolbar truncates wParam to the int it stands for.
std::int32_t IdOf(std::uintptr_t wParam) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam)); }

template <typename T>
void Put(std::uint8_t* at, std::size_t offset, T value)
{
    std::memcpy(at + offset, &value, sizeof value);
}

} // namespace

SimTray AddShellTray(SimDesktop& desktop, std::uint32_t pid, bool withPager, bool withToolbar)
{
    SimTray tray;
    tray.taskbar = desktop.AddWindow("", true, "Shell_TrayWnd", 0, pid);
    tray.notify = desktop.AddWindow("", true, "TrayNotifyWnd", tray.taskbar, pid);
    Hwnd under = tray.notify;
    if (withPager)
        under = tray.pager = desktop.AddWindow("", true, "SysPager", tray.notify, pid);
    if (withToolbar)
        tray.toolbar = desktop.AddWindow("", true, "ToolbarWindow32", under, pid);
    return tray;
}

Hwnd AddOverflowToolbar(SimDesktop& desktop, std::uint32_t pid)
{
    // The flyout is a top-level window the shell keeps hidden until it is opened.
    Hwnd flyout = desktop.AddWindow("", false, "NotifyIconOverflowWindow", 0, pid);
    return desktop.AddWindow("", true, "ToolbarWindow32", flyout, pid);
}

SimToolbar::SimToolbar(SimDesktop& desktop, Hwnd window) : desktop_(desktop), window_(window)
{
    desktop_.Window(window_).onMessage = [this](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
        ++received[msg];
        std::intptr_t result = Answer(msg, wParam, lParam);
        if (hangAfter >= 0 && ++answered_ >= hangAfter && desktop_.Exists(window_))
            desktop_.Window(window_).hung = true;
        return result;
    };
}

SimButton* SimToolbar::Find(std::int32_t id)
{
    for (SimButton& b : buttons)
        if (b.id == id)
            return &b;
    return nullptr;
}

int SimToolbar::Received(std::uint32_t msg) const
{
    auto it = received.find(msg);
    return it == received.end() ? 0 : it->second;
}

int SimToolbar::ReceivedTotal() const
{
    int total = 0;
    for (const auto& [msg, n] : received)
        total += n;
    return total;
}

std::intptr_t SimToolbar::Answer(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (msg) {
    case tb::ButtonCount:
        return static_cast<std::intptr_t>(buttons.size());
    case tb::GetButton:
        return GetButton(wParam, lParam);
    case tb::GetButtonInfoW:
        return GetButtonInfo(wParam, lParam);
    case tb::CommandToIndex:
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i].id == IdOf(wParam))
                return static_cast<std::intptr_t>(i);
        return -1;
    case tb::IsButtonHidden: {
        // The state's TBSTATE_HIDDEN bit; -1 for an identifier it does not hold, as the
        // common controls of Wine answer.
        SimButton* b = Find(IdOf(wParam));
        return !b ? -1 : b->hidden ? kStateHidden : 0;
    }
    case tb::HideButton: {
        SimButton* b = Find(IdOf(wParam));
        if (!b || refuseHide)
            return 0;
        if (b->hidden && lParam == 0)
            shownWhileHidden.push_back(b->id);
        b->hidden = lParam != 0;
        return 1;
    }
    default:
        return 0;
    }
}

std::intptr_t SimToolbar::GetButton(std::uintptr_t index, std::intptr_t address)
{
    if (index >= buttons.size())
        return 0;
    const bool wideRecords = desktop_.Process(desktop_.Window(window_).pid).pointerSize == 8;
    const std::size_t size = wideRecords ? 32 : 20;
    std::uint8_t* rec = desktop_.RemoteMemory(desktop_.Window(window_).pid, static_cast<std::uintptr_t>(address), size);
    if (!rec) {
        ++badPointers;
        return 0;
    }
    for (std::size_t i = 0; i < 20; ++i)
        if (rec[i] != 0) {
            ++dirtyRecords;
            break;
        }
    const SimButton& b = buttons[index];
    // Every field the reader should not use holds something that is not zero, so a reader
    // that takes the wrong offset, or mistakes the tail of a 64-bit record for text, shows.
    Put<std::int32_t>(rec, 0, static_cast<std::int32_t>(index + 100));
    Put<std::int32_t>(rec, 4, b.id);
    rec[8] = static_cast<std::uint8_t>(kStateEnabled | (b.hidden ? kStateHidden : 0));
    rec[9] = 0x01;
    if (wideRecords) {
        std::memset(rec + 10, 0x5A, 6);
        Put<std::uint64_t>(rec, 16, ButtonData(index, true));
        Put<std::uint64_t>(rec, 24, 0x5857565554535251ull);   // "QRSTUVWX" as bytes
    } else {
        rec[10] = rec[11] = 0x5A;
        Put<std::uint32_t>(rec, 12, static_cast<std::uint32_t>(ButtonData(index, false)));
        Put<std::uint32_t>(rec, 16, 0x48474645u);
    }
    return 1;
}

std::uint64_t SimToolbar::ButtonData(std::size_t index, bool wide)
{
    // Above 4 GB in a 64-bit shell, as its heap lies there; the bytes around the owner are
    // not zero, so a reader that takes too many of them shows.
    const std::uint64_t address = (wide ? 0x7FF600000000ull : 0x00A00000ull) + index * 0x100;
    std::vector<std::uint8_t>& record = desktop_.Process(desktop_.Window(window_).pid).memory[address];
    record.assign(24, 0xEE);
    const Hwnd owner = buttons[index].owner;
    if (wide)
        Put<std::uint64_t>(record.data(), 0, owner);
    else
        Put<std::uint32_t>(record.data(), 0, static_cast<std::uint32_t>(owner));
    return address;
}

std::intptr_t SimToolbar::GetButtonInfo(std::uintptr_t wParam, std::intptr_t address)
{
    // TBBUTTONINFOW as the shell's build lays it out: pszText and cchText at 24 and 28 in a
    // 32-bit shell, at 32 and 40 (behind an 8-byte lParam) in a 64-bit one.
    const std::uint32_t pid = desktop_.Window(window_).pid;
    const bool wide = desktop_.Process(pid).pointerSize == 8;
    const std::size_t size = wide ? 48 : 32;
    std::uint8_t* info = desktop_.RemoteMemory(pid, static_cast<std::uintptr_t>(address), size);
    if (!info) {
        ++badPointers;
        return -1;
    }
    std::uint32_t cbSize = 0;
    std::uint32_t mask = 0;
    std::memcpy(&cbSize, info, 4);
    std::memcpy(&mask, info + 4, 4);
    // The control takes no size but its own build's.
    if (cbSize != size)
        return -1;
    std::size_t index = 0;
    if (mask & kByIndex)
        index = wParam;
    else
        for (index = 0; index < buttons.size() && buttons[index].id != IdOf(wParam); ++index) {
        }
    if (index >= buttons.size())
        return -1;
    if (mask & kInfoText) {
        std::uint64_t text = 0;
        std::int32_t capacity = 0;
        std::memcpy(&text, info + (wide ? 32 : 24), wide ? 8 : 4);
        std::memcpy(&capacity, info + (wide ? 40 : 28), 4);
        // It copies at most capacity - 1 units and a NUL, wherever pszText points.
        if (capacity > 0) {
            const auto room = static_cast<std::size_t>(capacity);
            std::uint8_t* out =
                desktop_.RemoteMemory(pid, static_cast<std::uintptr_t>(text), room * sizeof(char16_t));
            if (!out) {
                ++badPointers;
                return -1;
            }
            const SimButton& b = buttons[index];
            const std::u16string whole = !b.hasText ? u"" : b.wideText.empty() ? desktop_.WideForm(b.text) : b.wideText;
            const std::u16string copied = whole.substr(0, room - 1) + u'\0';
            std::memcpy(out, copied.data(), copied.size() * sizeof(char16_t));
        }
    }
    return static_cast<std::intptr_t>(index);
}

} // namespace tw::sim
