// The record of other programs' top-level windows, and the program's only two window
// operations: hide (minimise, then hide) and restore.
//
// An entry outlives every refresh while its handle is valid: a window the program hid is
// invisible, so the desktop alone would no longer tell us about it. This list is how the
// program remembers what it has to give back.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class THiddenRecord;

class TWindow {
public:
    // `record`, when given, learns of every hide before it happens and of every restore.
    TWindow(WindowApi& api, Hwnd handle, std::string caption, std::string bossKeyText,
            THiddenRecord* record = nullptr);
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    const Hwnd Handle;
    // The title as last read, exactly (UTF-8), and its form in the system's ANSI code page
    // (as GetWindowTextA would give it), by whose bytes the page sorts, so that the order
    // on a system of any code page is the one its users know. At most 254 characters.
    std::string Title;
    std::string Caption;
    std::string BossKeyText;    // e.g. "Alt + Q"; empty when the window has no boss key
    std::uint16_t HotKeyId = 0; // registration id of the boss key; 0 = none
    std::int32_t Key = 0;       // virtual-key code of the boss key's main key; 0 = none
    std::int32_t Modifier = 0;  // virtual-key code of its modifier (18, 17, 16); 0 = none
    bool Selected = false;      // the row's check mark as last clicked
    // This program hid the window and has not given it back. Only such windows are restored
    // at the end: a window its own program hid (a chat client gone to its tray) stays hidden.
    bool HiddenByUs = false;

    // Sets Title and Caption from the title the wide call gave.
    void SetTitle(std::u16string_view wide);
    // Asked of the system every time: a window's own program may hide or show it.
    bool IsVisible() const;
    // Its program runs at a higher integrity level than ours (as administrator, while we do
    // not): the system drops our requests to its window without a word.
    bool IsOutOfReach() const;
    // What the window is, or will be once its thread has carried out our last request:
    // requests are queued to that thread, which may be slow to get to them, or hung.
    bool WillBeVisible();
    // Forgets our last request once the window is seen to have carried it out; without one
    // waiting, the system is not asked.
    void SettleRequest();
    void HideWindow();
    void RestoreWindow();
    // Hiding records the window first and marks it ours (a window that is not visible, or
    // out of reach, is left alone: it is not ours to hide); showing marks it no longer ours.
    void SetShown(bool show);
    // No longer ours, without touching the window: it came back, or it is gone.
    void Forget();

private:
    WindowApi& api_;
    THiddenRecord* record_;
    // The visibility our last request asks for, until the window is seen to have it.
    std::optional<bool> asked_;
};

class TWindowList {
public:
    // Far more top-level windows than a session can hold.
    static constexpr int kMaxWalkSteps = 65536;

    explicit TWindowList(WindowApi& api, THiddenRecord* record = nullptr) : api_(api), record_(record) {}
    TWindowList(const TWindowList&) = delete;
    TWindowList& operator=(const TWindowList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    TWindow& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    TWindow* FindByHandle(Hwnd handle);
    // True while `entry` is one of ours: rows and editors hold raw pointers and check
    // them here before touching an entry that a refresh may have freed.
    bool Contains(const TWindow* entry) const;
    TWindow& AddWindow(Hwnd handle, std::string caption, std::string bossKeyText);

    // Drops entries of destroyed windows, re-captions known ones (hidden or not) and
    // appends titled, visible windows not yet listed, in Z order. `ownWindow` is never listed.
    // The walk ends at a window it has met already and after kMaxWalkSteps windows, so a Z
    // order that changes under it cannot keep it going.
    void RefreshWindows(Hwnd ownWindow);
    // Sorts by caption, byte by byte as unsigned values: no locale, case-sensitive.
    void SortByCaption();
    // Toggles every entry bound to `id` (never 0), each by its own state: the one it has, or
    // will have once its thread has carried out our last request.
    void ToggleByHotKey(std::uint16_t id);
    // Gives back every window we hid that is not visible, or will not be once its thread has
    // carried out our last request; forgets the ones that came back.
    void RestoreHidden();
    // Lists the recorded windows a previous run hid and never gave back, when each is still
    // the recorded window and still hidden: ticked and ours, so Alt+R or the close gives
    // them back. The record forgets every other entry.
    void AdoptRecorded();
    // Records, with one write, the live entries among `entries` before they are hidden.
    void RecordHiding(const std::vector<TWindow*>& entries);

private:
    WindowApi& api_;
    THiddenRecord* record_;
    std::vector<std::unique_ptr<TWindow>> items_;
};

// Byte-order comparison of two captions: -1, 0 or 1.
int CompareCaptions(const std::string& a, const std::string& b);

} // namespace tw
