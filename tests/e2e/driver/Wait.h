// Waiting for what a user would see, with a time bound, instead of fixed sleeps.
#pragma once

#include <chrono>
#include <type_traits>
#include <utility>

namespace tw::e2e {

using Ms = std::chrono::milliseconds;

// Bounds, not delays: every wait ends as soon as the thing happens. They are generous because
// Wine on a busy two-core CI machine can take a second to start a program.
inline constexpr Ms kShortWait{5000};
inline constexpr Ms kStartWait{20000};
inline constexpr Ms kPollInterval{15};

// Sleeps about `duration` while dispatching messages of this thread's own windows, if any,
// so a test that owns a window does not freeze it while it waits.
void PumpFor(Ms duration);

// Polls `pred` every ~15 ms until it returns true or `timeout` passes. True when it did.
template <class Pred>
bool WaitUntil(Pred&& pred, Ms timeout = kShortWait) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (pred()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        PumpFor(kPollInterval);
    }
}

// Polls `get` until it returns a value that tests true (a window handle, a non-empty
// optional) and returns it; after `timeout` returns the last, false, value.
template <class Get>
auto WaitFor(Get&& get, Ms timeout = kShortWait) -> std::invoke_result_t<Get&> {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto value = get();
        if (value || std::chrono::steady_clock::now() >= deadline) {
            return value;
        }
        PumpFor(kPollInterval);
    }
}

// For "nothing happens": true when `pred` stays true for the whole of `duration`, false as
// soon as it is not. The one place where a test waits a fixed time, by its nature.
template <class Pred>
bool HoldsFor(Pred&& pred, Ms duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
        if (!pred()) {
            return false;
        }
        PumpFor(kPollInterval);
    } while (std::chrono::steady_clock::now() < end);
    return static_cast<bool>(pred());
}

} // namespace tw::e2e
