#include "windows/uWindowsHider.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace tw {

namespace {
// GetWindowTextA's count includes the terminating NUL: 255 leaves 254 characters.
constexpr int kTitleBufferSize = 255;
} // namespace

TWindow::TWindow(WindowApi& api, Hwnd handle, std::string caption, std::string bossKeyText)
    : Handle(handle), Caption(std::move(caption)), BossKeyText(std::move(bossKeyText)), api_(api)
{
}

bool TWindow::IsVisible() const { return api_.IsWindowVisible(Handle); }

bool TWindow::WillBeVisible()
{
    bool visible = api_.IsWindowVisible(Handle);
    // Once the window has done as asked, what its own program does with it counts again.
    if (asked_ && *asked_ == visible)
        asked_.reset();
    return asked_.value_or(visible);
}

void TWindow::HideWindow()
{
    // Minimising first takes the window off the screen the way the user knows, and its
    // taskbar button with it; hiding then removes what minimising leaves behind. Both are
    // queued to the window's thread in this order.
    api_.ShowWindowAsync(Handle, ShowCmd::Minimize);
    api_.ShowWindowAsync(Handle, ShowCmd::Hide);
}

void TWindow::RestoreWindow() { api_.ShowWindowAsync(Handle, ShowCmd::Restore); }

void TWindow::SetShown(bool show)
{
    // A destroyed window's handle may one day name another program's window; an entry
    // whose window is gone is left alone until the next refresh drops it.
    if (!api_.IsWindow(Handle))
        return;
    asked_ = show;
    try {
        if (show)
            RestoreWindow();
        else
            HideWindow();
    } catch (...) {
        // One window that cannot be shown must not stop the others being restored.
    }
}

TWindow* TWindowList::FindByHandle(Hwnd handle)
{
    for (auto& item : items_)
        if (item->Handle == handle)
            return item.get();
    return nullptr;
}

bool TWindowList::Contains(const TWindow* entry) const
{
    return entry && std::any_of(items_.begin(), items_.end(),
                                [entry](const auto& item) { return item.get() == entry; });
}

TWindow& TWindowList::AddWindow(Hwnd handle, std::string caption, std::string bossKeyText)
{
    items_.push_back(std::make_unique<TWindow>(api_, handle, std::move(caption), std::move(bossKeyText)));
    return *items_.back();
}

void TWindowList::RefreshWindows(Hwnd ownWindow)
{
    for (std::size_t i = items_.size(); i-- > 0;)
        if (!api_.IsWindow(items_[i]->Handle))
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));

    char title[kTitleBufferSize];
    std::unordered_set<Hwnd> met;
    int steps = 0;
    for (Hwnd w = api_.GetFirstSibling(ownWindow); w != 0 && steps < kMaxWalkSteps;
         w = api_.GetNextSibling(w), ++steps) {
        // A window met again means the order changed under us; what the walk missed, the
        // next refresh finds.
        if (!met.insert(w).second)
            break;
        if (w == ownWindow)
            continue;
        int length = api_.GetWindowTextA(w, title, kTitleBufferSize);
        if (length <= 0)
            continue;
        std::string caption(title, static_cast<std::size_t>(std::min(length, kTitleBufferSize - 1)));
        if (TWindow* known = FindByHandle(w))
            known->Caption = std::move(caption);   // hidden or not: we still owe it back
        else if (api_.IsWindowVisible(w))
            AddWindow(w, std::move(caption), std::string());
    }
}

int CompareCaptions(const std::string& a, const std::string& b)
{
    std::size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;   // memcmp compares as unsigned char
    if (c == 0)
        c = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TWindowList::SortByCaption()
{
    std::stable_sort(items_.begin(), items_.end(), [](const auto& x, const auto& y) {
        return CompareCaptions(x->Caption, y->Caption) < 0;
    });
}

void TWindowList::ToggleByHotKey(std::uint16_t id)
{
    // Every entry with this id toggles: two windows may share one boss key. Entries without
    // a boss key hold 0, which is therefore no hot key's id.
    if (id == 0)
        return;
    for (auto& item : items_)
        if (item->HotKeyId == id)
            item->SetShown(!item->WillBeVisible());
}

void TWindowList::RestoreHidden()
{
    // A window whose hide is still queued counts as hidden: it will be, once its thread
    // runs, even after we are gone.
    for (auto& item : items_)
        if (!item->WillBeVisible())
            item->SetShown(true);
}

} // namespace tw
