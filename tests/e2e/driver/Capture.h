// Pictures of what is on the screen, for docs/screenshots.
#pragma once

#include <windows.h>

#include <string>

namespace tw::e2e {

// Saves the screen pixels under `window` (as the user sees it, including anything on top)
// as a 24-bit BMP. Records a failure and returns false when it cannot.
bool SaveWindowBitmap(HWND window, const std::wstring& bmpPath);

// For a failure message: the whole screen saved under the test's folder ("failures\"), named
// after the running test; returns the file's path.
std::string FailureScreenshot();

} // namespace tw::e2e
