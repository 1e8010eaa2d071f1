#include "hotkeys/uHideTriggers.h"

namespace tw {

namespace {
int ReadUpTo(TIniFileMgr& ini, const char* key, int most)
{
    const int value = ini.ReadInteger(kSettingsSection, key, 0);
    return value >= 0 && value <= most ? value : 0;
}
} // namespace

ScreenCorner ReadHotCorner(TIniFileMgr& ini)
{
    return static_cast<ScreenCorner>(ReadUpTo(ini, kHotCornerKey, static_cast<int>(ScreenCorner::BottomRight)));
}

int ReadIdleMinutes(TIniFileMgr& ini) { return ReadUpTo(ini, kIdleMinutesKey, kMaxIdleMinutes); }

void THotCorner::SetCorner(ScreenCorner corner)
{
    if (corner == corner_)
        return;
    corner_ = corner;
    arrived_.reset();
    fired_ = false;
}

bool THotCorner::InCorner(int x, int y, int width, int height) const
{
    const bool left = x <= 0;
    const bool top = y <= 0;
    const bool right = x >= width - 1;
    const bool bottom = y >= height - 1;
    switch (corner_) {
    case ScreenCorner::TopLeft: return left && top;
    case ScreenCorner::TopRight: return right && top;
    case ScreenCorner::BottomLeft: return left && bottom;
    case ScreenCorner::BottomRight: return right && bottom;
    case ScreenCorner::None: break;
    }
    return false;
}

bool THotCorner::Look(int x, int y, int width, int height, std::uint32_t nowMs)
{
    if (!InCorner(x, y, width, height)) {
        arrived_.reset();
        fired_ = false;
        return false;
    }
    if (!arrived_)
        arrived_ = nowMs;
    // Unsigned, so a tick that wrapped meanwhile still gives the time between.
    if (fired_ || nowMs - *arrived_ < kDwellMs)
        return false;
    fired_ = true;
    return true;
}

void TIdleTimer::SetMinutes(int minutes)
{
    minutes_ = minutes >= 0 && minutes <= kMaxIdleMinutes ? minutes : 0;
}

bool TIdleTimer::Look(std::uint32_t lastInputMs, std::uint32_t nowMs)
{
    if (minutes_ == 0 || firedFor_ == lastInputMs)
        return false;
    if (nowMs - lastInputMs < static_cast<std::uint32_t>(minutes_) * 60000u)
        return false;
    firedFor_ = lastInputMs;
    return true;
}

} // namespace tw
