// The shell's notification-area toolbar as seen from our process: its buttons read through a
// scratch buffer reserved inside the shell, and a single button hidden or shown. Everything
// here is a synchronous message into the shell or a read of its memory; what the buttons
// mean to the user (ticks, the record, remembering) is the icon list's business.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// One button as a reading found it: a visible one, or a hidden one the caller lists.
struct TrayButton {
    std::int32_t id = 0;
    bool hidden = false;
    std::string text;    // UTF-8, exactly as the shell gave it
    // The executable of the program whose window owns the icon (UTF-8); empty when owners
    // were not asked for or could not be read.
    std::string owner;
};

// Toolbar messages go only to a window of this class: the pager or the notification window
// that the toolbar search falls back to would take TB_* numbers for messages of their own,
// some of which write through lParam.
bool IsToolbarWindow(WindowApi& api, Hwnd w);

// Asks whether button `id` is hidden. False when the toolbar did not answer. A button no
// longer there answers "not hidden".
bool AskButtonHidden(WindowApi& api, Hwnd toolbar, std::int32_t id, bool& hidden);

// Hides or shows button `id` and checks that the toolbar did it, asking at most a few times.
// False when the toolbar stopped answering (gone, hung or too slow), or is no toolbar.
bool SetButtonShown(WindowApi& api, Hwnd toolbar, std::int32_t id, bool show);

// A message for a look that may as well go unanswered (the look once a second, the log-off):
// a shell the system counts hung is not asked at all, and one that does not answer within a
// moment is not waited for. False when it did not answer.
bool SendAtOnce(WindowApi& api, Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t& result);
// Whether button `id` is hidden, asked that way.
bool AskButtonHiddenAtOnce(WindowApi& api, Hwnd toolbar, std::int32_t id, bool& hidden);

// Reads toolbars, one at a time; the owners it reads are remembered by process for its life,
// which is meant to be one refresh (a process id may name another program later).
class TTrayToolbarReader {
public:
    // With `identity`, each button's owner is read too: one more read of the shell's memory
    // per button, and one question per owning process.
    TTrayToolbarReader(WindowApi& windows, ProcessApi& processes, IdentityApi* identity);

    // What the caller already knows of the buttons, so that the reading spares the shell.
    struct Hooks {
        // A button the caller lists already (true): its text is not asked for and stays
        // empty, and it is listed hidden or not, as its record says. Nothing is shown to be
        // read: the icons the user hid would flash on the taskbar at every reading.
        std::function<bool(std::int32_t id)> listed;
    };

    // Appends the visible buttons of `toolbar`, and the listed hidden ones, in button order.
    // A shell that cannot be opened, or lets us reserve nothing, lists nothing. False when
    // the toolbar stopped answering; the buttons read until then stay.
    bool Read(Hwnd toolbar, const Hooks& hooks, std::vector<TrayButton>& out);
    // The owner of button `id` alone (as TrayButton::owner); nothing when the toolbar did not
    // answer, or holds no such button.
    std::optional<std::string> ReadOwner(Hwnd toolbar, std::int32_t id);

private:
    struct Record {
        std::int32_t id = 0;
        bool hidden = false;
        std::uint64_t data = 0;   // dwData: the shell's own record for the button
    };
    bool ReadRecord(Hwnd toolbar, RemoteBuffer& buffer, std::intptr_t index, Record& record);
    // The button's text, cut to what fits our buffer. False when the toolbar stopped answering.
    bool ReadText(Hwnd toolbar, RemoteBuffer& buffer, std::int32_t id, std::string& text);
    std::string OwnerOf(RemoteBuffer& buffer, std::uint64_t data);

    WindowApi& windows_;
    ProcessApi& processes_;
    IdentityApi* identity_;
    std::map<std::uint32_t, std::string> owners_;   // executable by process id
};

} // namespace tw
