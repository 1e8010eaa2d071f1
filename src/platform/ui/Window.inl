#pragma once

#include "platform/ui/Text.h"

#include <exception>
#include <string>

namespace tw::ui {

template <typename F>
void Guarded(HWND owner, F&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        ShowErrorBox(owner, FromAnsi(e.what()).c_str());
    } catch (...) {
        ShowErrorBox(owner, L"Unexpected error");
    }
}

} // namespace tw::ui
