// The file picker: a modal window with the computer's drives, folders and files as a tree,
// a check box before every folder and file. Ticking an entry hides it at once, clearing the
// tick restores it; the picker reaches the hidden-file list only through the three callbacks
// below, which the main window binds once at start-up.
//
// The tree is the common controls' tree view with a header above it for the one sortable
// column. Nothing is read before it is needed: a folder's entries when it is first expanded,
// the check mark when a node is first drawn. A node is first drawn with the icon of its type
// (folder, or file by extension), which needs no disk; its own icon, its overlays, its expand
// button and a drive's attributes are asked of the shell afterwards, on a thread that asks
// for one node after another. Folders are listed, one after another, on another thread, and a
// big one opens with its first screenful, the rest added between the user's moves. So the
// window answers while a slow or huge folder is searched or the shell is slow to say things,
// and a call that never comes back holds up neither the window nor its close (PickerWork).
//
// The class is one form written in five files: DrawTreeDemo.cpp (the window, its header,
// check boxes and closing), PickerTree.cpp (the nodes and their order), PickerFill.cpp (folder
// listings and how their entries go into the tree), PickerAnswers.cpp (what the shell is asked
// about drawn nodes) and PickerPaint.cpp (names, grid lines and icons as they are drawn).
#pragma once

#include "files/PickerIds.h"
#include "files/PickerRules.h"
#include "files/PickerWork.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <commctrl.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tw {

// The picker's three callbacks: each an object together with one of its methods, bound by
// the main window's FormCreate. Empty until then; an empty one is not called.
extern std::function<void(const std::string& path)> OnPathChecked;
extern std::function<void(const std::string& path)> OnPathUnchecked;
extern std::function<bool(const std::string& path)> OnIsPathChecked;

// What the picker keeps for each node. Paths are UTF-8 as the wide file search gave them
// (that is what the callbacks hand on); only the shown name is widened.
struct TShellObjectData {
    std::string Path;                 // a drive root as the system lists it, or parent + "\" + name
    std::string SortKey;              // what the name sorts by (SortKey in PickerRules)
    std::wstring ShownName;           // what the tree shows
    std::uint32_t ShellAttributes = 0;
    int OpenIconIndex = -1;
    int ClosedIconIndex = -1;

    // The tree's own bookkeeping.
    HTREEITEM Item = nullptr;
    bool TopLevel = false;
    bool Initialised = false;         // check mark: done when first drawn
    bool ClosedIconLooked = false;    // each icon asked once, after it was first drawn
    bool OpenIconLooked = false;
    bool ShellAsked = false;          // overlays, subfolders, a drive's attributes: asked once
    bool Refining = false;            // a question about it is with the shell
    bool Listing = false;             // the folder's entries are being searched for
    bool Listed = false;              // the folder's entries are children now
    int HasChildren = -1;             // expand button: -1 not yet decided
    bool Checked = false;             // the check mark as the callbacks last heard of it
};

class TDrawTreeForm final : public ui::Form {
public:
    explicit TDrawTreeForm(FileApi& files);

    // Creates the window (hidden) owned by `owner` and runs FormCreate.
    void Create(HWND owner);

    // --- Handlers ------------------------------------------------------------------------
    void FormCreate();
    void VDT1InitNode(TShellObjectData& node);
    void VDT1InitChildren(TShellObjectData& node);
    void VDT1GetDispInfo(NMTVDISPINFOW& info);
    LRESULT VDT1DrawNode(NMTVCUSTOMDRAW& draw);
    int VDT1GetNodeWidth(HDC dc, const TShellObjectData& node);
    void VDT1HeaderClick(int column, int button);
    void VDT1Checked(TShellObjectData& node);
    void BtnSelFilesClick();

    HWND VDT1() const { return tree_; }
    HWND Header() const { return header_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void DpiChanged() override;
    // Icons at the size the window's DPI asks for: one of the system's lists when one has
    // that size, else our own list of that size, filled from a larger one as icons are drawn.
    void UseIconsForDpi();

private:
    // Posted to ourselves: folders have been listed.
    static constexpr UINT kListedMessage = WM_APP + 2;
    // Posted to ourselves: the shell has answered about drawn nodes.
    static constexpr UINT kAnsweredMessage = WM_APP + 4;
    // Posted to ourselves: the next slice of a big folder, when nothing else waited.
    static constexpr UINT kFillMessage = WM_APP + 5;
    enum Timer : UINT_PTR {
        // A folder of up to kAtOnce entries goes in whole before it opens, which costs the
        // tree least: under a closed node an entry costs nothing until the node opens, and the
        // node is measured and drawn once (a few thousand entries take a few tens of
        // milliseconds). A bigger one opens with its first screenful and the rest goes in a
        // slice at a time: at once (kFillMessage) while no input and no paint wait, else on
        // this timer, whose message comes only after them, so the window answers meanwhile.
        // A timer alone would leave the thread idle for its period (10 ms at the least, a
        // clock tick of about 15.6 on most systems) after every slice. Some trees redo the
        // whole list's layout for each entry added to an open node: a slice is added with
        // drawing paused.
        kFillTimer = 2,
        // While work waits behind a call into the disk or the shell, it is looked at every
        // kWatchMs: a call that holds it too long is left to itself and a fresh thread takes
        // the work.
        kWatchTimer,
        // The shell takes tens of milliseconds a node to answer, on a thread that shares the
        // processor with this one and with the folder search: what drawn nodes ask waits until
        // the tree has shown what it opened or scrolled to, and kAskAfterMs more, and then goes
        // in one go; while a folder is searched, or a big one still goes into the tree a slice
        // at a time, even questions already handed over wait.
        kAskTimer,
    };
    static constexpr std::size_t kAtOnce = 4096;
    static constexpr std::size_t kFirstFill = 256;
    // Each slice into an open node ends with the tree measuring every row the node shows
    // again: slices that grow with what is already in keep that work in proportion to the
    // folder, not to its square; the largest bounds how long the window is held.
    static constexpr std::size_t kFillSlice = 2048;
    static constexpr std::size_t kLargestSlice = 16384;
    static constexpr UINT kWatchMs = 500;
    static constexpr UINT kAskAfterMs = 200;

    // Entries of a listed folder still to be added, in the order they will be shown.
    struct PendingFill {
        TShellObjectData* node = nullptr;
        std::vector<ListedEntry> entries;
        std::size_t next = 0;
        HTREEITEM last = nullptr;   // the last of them in the tree so far
    };

    static int CALLBACK VDT1CompareNodes(LPARAM a, LPARAM b, LPARAM direction);

    void CreateTree();
    void PlaceTree();
    HTREEITEM AddNode(HTREEITEM parent, TShellObjectData data);
    TShellObjectData* NodeOf(HTREEITEM item) const;
    int TypeIconIndex(const TShellObjectData& node, bool open);
    int ShownIconIndex(TShellObjectData& node, bool open);
    int ShownChildren(const TShellObjectData& node) const;
    int OverlayOf(std::uint32_t shellAttributes) const;
    // The overlay shown over the node's icon: on the tree's item, or, with icons of our own
    // size, in the icon itself, which is asked for again.
    void ShowOverlay(const TShellObjectData& node);
    // The index the tree draws for the system's icon `index` with `overlay`.
    int DrawnIcon(int index, int overlay);
    void InvalidateRow(HTREEITEM item);
    void QueueRefine(TShellObjectData& node);
    bool AskingHeld() const;
    void AskSoon();
    void AskAfterNow();
    void AskWaiting();
    void KeepFilling();
    void StopFilling();
    void WatchWork();
    void WorkWatched();
    void TakeAnswers();
    void Refine(const ShellQuestion& answered);
    void TakeListed();
    void ListingDone(FolderListing& listing);
    void AddChildren(PendingFill& fill, std::size_t count);
    bool BelowView(HTREEITEM item) const;
    void FillSome();
    void FinishFills();
    std::size_t PendingEntries() const;
    LRESULT OnTreeNotify(NMHDR* hdr);
    LRESULT OnHeaderNotify(NMHDR* hdr);
    // A check box may have changed; the tree has applied it by the time this runs.
    void CheckPosted(HTREEITEM item);
    void PostCheck(HTREEITEM item);
    void SortTree();
    void ShowSortGlyph();
    int ColumnRight() const;
    void FitColumn();
    void DrawShortened(const NMTVCUSTOMDRAW& draw, TShellObjectData& node);
    COLORREF TextColor(const NMTVCUSTOMDRAW& draw, const TShellObjectData* node) const;

    FileApi& files_;
    HWND tree_ = nullptr;
    HWND header_ = nullptr;
    std::string DriveStrings;
    HIMAGELIST SystemImages = nullptr;    // the system's list: shared, never destroyed by us
    ui::TvImageList checkBoxes_;          // the tree makes it for its check boxes, but never frees it
    // Icons of our own size, when no system list has it: each made once per icon and overlay
    // from `scaleFrom_` (a system list), and kept.
    ui::TvImageList scaled_;
    HIMAGELIST scaleFrom_ = nullptr;
    std::map<std::pair<int, int>, int> scaledIcons_;
    std::deque<TShellObjectData> nodes_;  // stable addresses: tree items point at them
    // Folders searched on one thread, the shell asked on another; made with the window.
    std::unique_ptr<PickerWork> work_;
    bool watchTimer_ = false;
    std::vector<ShellQuestion> toAsk_;    // drawn nodes' questions, until kAskTimer
    bool askTimer_ = false;
    std::size_t listingsOut_ = 0;         // folders being searched
    PickerWork::Clock::time_point listingSince_;   // since when, the first of them
    std::size_t asked_ = 0;               // questions whose answers are not yet shown
    std::deque<PendingFill> fills_;       // oldest listing first
    bool fillTimer_ = false;
    bool fillPosted_ = false;             // a kFillMessage is on its way
    std::map<std::string, int> typeIcons_;        // by TypeIconKey
    int sortColumn_ = -1;                 // -1: the header has no sort column yet
    SortDirection direction_ = SortDirection::Ascending;
    int shareOverlay_ = -1;
    int linkOverlay_ = -1;
};

} // namespace tw
