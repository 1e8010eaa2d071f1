#include "Tabs.h"

#include "Capture.h"
#include "Controls.h"
#include "Input.h"
#include "Remote.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace tw::e2e {

std::optional<RECT> TabRect(HWND tabs, int index)
{
    // TCM_GETITEMRECT writes into a RECT that must live in the control's process.
    RemoteBuffer buffer(tabs, sizeof(RECT));
    RECT rect{};
    LRESULT ok = 0;
    if (!SendTimed(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), buffer.Param(), ok) || !ok ||
        !buffer.Read(rect)) {
        return std::nullopt;
    }
    MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int TabCount(HWND tabs) { return static_cast<int>(SendTimed(tabs, TCM_GETITEMCOUNT)); }

int ActiveTab(HWND tabs) { return static_cast<int>(SendTimed(tabs, TCM_GETCURSEL)); }

std::wstring TabText(HWND tabs, int index)
{
    // The item and its text buffer in one block of the control's process, text after the item.
    constexpr size_t kTextCount = 256;
    RemoteBuffer buffer(tabs, sizeof(TCITEMW) + kTextCount * sizeof(wchar_t));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = static_cast<LPWSTR>(buffer.Address(sizeof(TCITEMW)));
    item.cchTextMax = static_cast<int>(kTextCount);
    LRESULT ok = 0;
    if (!buffer.Write(item) || !SendTimed(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), buffer.Param(), ok) || !ok)
        return {};
    std::wstring text(kTextCount, L'\0');
    buffer.Read(text.data(), kTextCount * sizeof(wchar_t), sizeof(TCITEMW));
    text.resize(wcsnlen(text.c_str(), kTextCount));
    return text;
}

bool ClickTab(HWND tabs, int index, Ms timeout)
{
    const std::optional<RECT> rect = TabRect(tabs, index);
    if (!rect)
        return false;
    const POINT at = Center(*rect);
    const std::string before = DescribeInputState(tabs);
    if (Click(at, tabs) && WaitUntil([&] { return ActiveTab(tabs) == index; }, timeout))
        return true;
    ADD_FAILURE() << "tab " << index << " did not become active; active: " << ActiveTab(tabs)
                  << "; at the click point: " << DescribeWindowAt(at) << "; input before the click: " << before
                  << "; after: " << DescribeInputState(tabs) << "; screen: " << FailureScreenshot();
    return false;
}

} // namespace tw::e2e
