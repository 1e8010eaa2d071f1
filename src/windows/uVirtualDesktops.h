// Which virtual desktop holds a window is answered by the shell, in its own process and with
// no time-out: asked on the window's thread, a hung shell would freeze the program (and its
// boss keys) for as long as it hangs, and the wait would dispatch our own messages under the
// work that asked. The question is asked on a thread of our own instead, and the asker waits
// for the answers a bounded time at most.
#pragma once

#include "platform/Platform.h"

#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tw {

class TVirtualDesktops {
public:
    // How long one question, about every window it names together, is waited for.
    static constexpr unsigned kWaitMs = 300;

    explicit TVirtualDesktops(WindowApi& api) : api_(api) {}
    // Lets the thread go without waiting for a call the shell has not answered.
    ~TVirtualDesktops();
    TVirtualDesktops(const TVirtualDesktops&) = delete;
    TVirtualDesktops& operator=(const TVirtualDesktops&) = delete;

    // For each window, whether a virtual desktop holds it (true where there is no manager to
    // ask: the window counts as it did before there were virtual desktops); nothing where
    // no answer came within `waitMs`. While the taskbar is hung, or an earlier question is
    // still unanswered, the shell is not asked and nothing is waited for.
    std::vector<std::optional<bool>> Ask(const std::vector<Hwnd>& windows, unsigned waitMs = kWaitMs);

private:
    struct State;
    static void Answer(std::shared_ptr<State> state, WindowApi& api);

    WindowApi& api_;
    // Shared with the thread, which may outlive us inside a call the shell never answers.
    std::shared_ptr<State> state_;
    std::thread worker_;
};

} // namespace tw
