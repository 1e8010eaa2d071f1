// A stand-in for the shell's notification-area toolbar on the simulated desktop. It answers
// the toolbar messages the tray list sends, reading and writing the "remote" buffers of its
// window's process as the real control writes into the shell's memory, and it records what
// a test wants to check: messages received, records not zeroed, pointers outside any buffer.
#pragma once

#include "sim/SimDesktop.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tw::sim {

struct SimButton {
    std::int32_t id = 0;
    std::string text;       // ANSI bytes, widened by the desktop's code page when asked
    bool hidden = false;
    bool hasText = true;    // false: its string is none, or one of the toolbar's string
                            // list, and TB_GETBUTTONINFOW hands out an empty text
    std::u16string wideText{};   // when set, the text handed out instead
    Hwnd owner = 0;         // the window that put the icon there: first field of the shell's
                            // record for the button, which dwData points at
};

// "Shell_TrayWnd" > "TrayNotifyWnd" > "SysPager" > "ToolbarWindow32", all of process `pid`.
struct SimTray {
    Hwnd taskbar = 0;
    Hwnd notify = 0;
    Hwnd pager = 0;     // 0 when built without one
    Hwnd toolbar = 0;   // 0 when built without one
};
SimTray AddShellTray(SimDesktop& desktop, std::uint32_t pid, bool withPager = true, bool withToolbar = true);
// The hidden-icons flyout: "NotifyIconOverflowWindow" > "ToolbarWindow32"; returns the toolbar.
Hwnd AddOverflowToolbar(SimDesktop& desktop, std::uint32_t pid);

class SimToolbar {
public:
    // Takes over the message hook of `window`; must outlive every message sent to it.
    SimToolbar(SimDesktop& desktop, Hwnd window);
    SimToolbar(const SimToolbar&) = delete;
    SimToolbar& operator=(const SimToolbar&) = delete;

    std::vector<SimButton> buttons;

    // How the control behaves.
    // A shell process of pointer size 8 gets the 64-bit TBBUTTON (32 bytes) and records.
    bool refuseHide = false;    // TB_HIDEBUTTON answers FALSE and changes nothing
    int hangAfter = -1;         // after answering this many messages the window hangs

    // What it saw.
    std::map<std::uint32_t, int> received;  // messages by number
    int dirtyRecords = 0;       // TB_GETBUTTON found the first 20 bytes of its record not zero
    int badPointers = 0;        // a pointer (and the length it comes with) that lies in no
                                // live buffer of the process
    std::vector<std::int32_t> shownWhileHidden;   // TB_HIDEBUTTON showed these hidden buttons

    SimButton* Find(std::int32_t id);
    int Received(std::uint32_t msg) const;
    int ReceivedTotal() const;

private:
    std::intptr_t Answer(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t GetButton(std::uintptr_t index, std::intptr_t address);
    std::intptr_t GetButtonInfo(std::uintptr_t wParam, std::intptr_t address);
    // Where the shell keeps its record for the button at `index`, made afresh each time.
    std::uint64_t ButtonData(std::size_t index, bool wide);

    SimDesktop& desktop_;
    Hwnd window_;
    int answered_ = 0;
};

} // namespace tw::sim
