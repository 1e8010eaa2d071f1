#include "TargetWindows.h"

#include "Paths.h"
#include "Remote.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace tw::e2e {

bool TargetWindows::Start(const std::wstring& helperExe)
{
    if (!helper_.Start(helperExe))
        return false;
    const std::optional<std::string> line = helper_.ReadLine();
    const std::string prefix = target::kControlLinePrefix;
    if (!line || line->rfind(prefix, 0) != 0) {
        ADD_FAILURE() << "target_windows said " << (line ? *line : std::string("nothing")) << " instead of its window";
        return false;
    }
    control_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(line->c_str() + prefix.size(), nullptr, 10)));
    return IsWindow(control_) != FALSE;
}

HWND TargetWindows::Create(std::wstring_view title, target::Command how)
{
    COPYDATASTRUCT data{};
    data.dwData = how;
    data.cbData = static_cast<DWORD>(title.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(title.data());
    LRESULT answer = 0;
    if (!SendTimed(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), answer, 10000) || !answer) {
        ADD_FAILURE() << "target_windows could not create \"" << WideToUtf8(title) << "\"";
        return nullptr;
    }
    return reinterpret_cast<HWND>(answer);
}

bool TargetWindows::Destroy(HWND window, Ms timeout)
{
    PostMessageW(window, WM_CLOSE, 0, 0);
    return WaitUntil([&] { return !IsWindow(window); }, timeout);
}

namespace {

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM out)
{
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
    return TRUE;
}

std::vector<HWND> ZOrder()
{
    std::vector<HWND> all;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&all));
    return all;
}

} // namespace

bool TargetWindows::SettleZOrder(Ms still, Ms timeout)
{
    return WaitUntil(
        [&] {
            const std::vector<HWND> before = ZOrder();
            return HoldsFor([&] { return ZOrder() == before; }, still);
        },
        timeout);
}

} // namespace tw::e2e
