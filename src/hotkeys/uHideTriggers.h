// What hides the ticked windows without a key: the pointer resting in a corner of the screen,
// and the user away from keyboard and mouse for a while. Both rules are kept here apart from
// the clock and the pointer, which the main window reads and hands in, so that they can be
// judged at any moment a test chooses.
#pragma once

#include "settings/uIniFileMgr.h"

#include <cstdint>
#include <optional>

namespace tw {

inline constexpr char kHotCornerKey[] = "HotCorner";
inline constexpr char kIdleMinutesKey[] = "IdleMinutes";
inline constexpr int kMaxIdleMinutes = 999;

enum class ScreenCorner : int { None = 0, TopLeft, TopRight, BottomLeft, BottomRight };

// Anything but 0-4 (a hand-edited file, a later version's value) is "none": a value we do
// not know must never hide windows the user did not expect to go.
ScreenCorner ReadHotCorner(TIniFileMgr& ini);
// 0-999 minutes; anything else is 0, off.
int ReadIdleMinutes(TIniFileMgr& ini);

// The pointer rests in the chosen corner of the primary monitor: on the corner pixel itself,
// which a flick of the mouse reaches and a pointer passing by seldom stops on.
class THotCorner {
public:
    // How long the pointer must rest there: long enough that a pass through the corner on
    // the way to a window's close box or the Start button does not count.
    static constexpr std::uint32_t kDwellMs = 150;

    void SetCorner(ScreenCorner corner);
    ScreenCorner Corner() const { return corner_; }
    // One look at the pointer (x, y) on a primary monitor `width` x `height` pixels, at time
    // `nowMs` (a millisecond tick that may wrap). True once per visit: at the first look
    // `kDwellMs` or more after the pointer arrived; it must leave the corner before it can
    // count again.
    bool Look(int x, int y, int width, int height, std::uint32_t nowMs);

private:
    bool InCorner(int x, int y, int width, int height) const;

    ScreenCorner corner_ = ScreenCorner::None;
    std::optional<std::uint32_t> arrived_;   // when the pointer came, while it stays
    bool fired_ = false;                     // this visit has hidden already
};

// No input for the chosen number of minutes hides once per idle spell: a user who comes
// back, shows the windows again and goes away once more gets another hide, but windows shown
// again while nobody touched anything (by another program, by a boss key sent remotely) are
// not hidden a second time.
class TIdleTimer {
public:
    void SetMinutes(int minutes);
    int Minutes() const { return minutes_; }
    // `lastInputMs` is when the user last touched keyboard or mouse, `nowMs` the time now,
    // both on the same wrapping millisecond tick. True once per spell, when it has lasted.
    bool Look(std::uint32_t lastInputMs, std::uint32_t nowMs);

private:
    int minutes_ = 0;
    std::optional<std::uint32_t> firedFor_;   // the spell (its last input) that has hidden
};

} // namespace tw
