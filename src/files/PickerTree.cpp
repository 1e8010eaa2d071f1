// TDrawTreeForm's nodes: what each holds, what it shows before the shell has spoken, and their order.
#include "files/DrawTreeDemo.h"

#include "platform/ui/Text.h"

namespace tw {

HTREEITEM TDrawTreeForm::AddNode(HTREEITEM parent, TShellObjectData data)
{
    TShellObjectData& node = nodes_.emplace_back(std::move(data));
    if (node.TopLevel) {
        VDT1InitNode(node);
        node.SortKey = SortKey(files_, node.Path);
    } else if (node.ShownName.empty()) {
        node.ShownName = ui::FromUtf8(LastComponent(node.Path));
    }

    // The name is the tree's to keep: a tree that measures every entry it opens then asks us
    // nothing. Icons, expand button and check mark are asked for when the tree first draws
    // the node, and only then is the node initialised and queued for the shell's answers.
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    ins.item.pszText = node.ShownName.data();
    ins.item.iImage = I_IMAGECALLBACK;
    ins.item.iSelectedImage = I_IMAGECALLBACK;
    ins.item.cChildren = I_CHILDRENCALLBACK;
    ins.item.lParam = reinterpret_cast<LPARAM>(&node);
    HWND tree = VDT1();
    node.Item = ui::TvInsertItem(tree, ins);
    if (!node.Item) {
        nodes_.pop_back();
        return nullptr;
    }
    // A new item comes with a clear box; a drive gets none.
    if (node.TopLevel)
        ui::TvSetCheckState(tree, node.Item, 0);
    return node.Item;
}

int TDrawTreeForm::OverlayOf(std::uint32_t shellAttributes) const
{
    return (shellAttributes & shell::kShared) ? shareOverlay_ : (shellAttributes & shell::kLink) ? linkOverlay_ : -1;
}

void TDrawTreeForm::ShowOverlay(const TShellObjectData& node)
{
    int overlay = OverlayOf(node.ShellAttributes);
    if (overlay <= 0)
        return;
    if (scaled_.Get())
        InvalidateRow(node.Item);
    else
        ui::TvSetOverlay(VDT1(), node.Item, overlay);
}

void TDrawTreeForm::VDT1InitNode(TShellObjectData& node)
{
    node.Initialised = true;
    if (node.TopLevel) {
        node.ShownName = ui::FromUtf8(node.Path);
    } else if (OnIsPathChecked && OnIsPathChecked(node.Path)) {
        // A path in the list starts ticked, set directly: no hiding is asked for.
        node.Checked = true;
        ui::TvSetCheckState(VDT1(), node.Item, 2);
    }
}

// What needs no disk: the icon of the node's type, asked once per type. The shell is asked
// about a made-up name of that type, not the node's path: a drive's root could otherwise
// lend its drive icon to every folder.
int TDrawTreeForm::TypeIconIndex(const TShellObjectData& node, bool open)
{
    std::string key = TypeIconKey(node.ShellAttributes, node.Path, node.TopLevel, open);
    auto [it, added] = typeIcons_.try_emplace(key, -1);
    if (added) {
        bool folder = node.TopLevel || (node.ShellAttributes & shell::kFolder);
        it->second = files_.TypeIconIndex(folder ? "folder" : "file" + key, folder,
                                          open ? kOpenIconFlags : kClosedIconFlags);
    }
    return it->second;
}

// The node's own icon once the shell has named it, its type's until then (or if it cannot).
int TDrawTreeForm::ShownIconIndex(TShellObjectData& node, bool open)
{
    int own = open ? node.OpenIconIndex : node.ClosedIconIndex;
    bool looked = open ? node.OpenIconLooked : node.ClosedIconLooked;
    return looked && own >= 0 ? own : TypeIconIndex(node, open);
}

// Until the shell has said, a folder or drive shows the expand button it most likely has;
// a click on it lists the folder, which settles the question either way.
int TDrawTreeForm::ShownChildren(const TShellObjectData& node) const
{
    if (node.HasChildren >= 0)
        return node.HasChildren;
    return node.TopLevel || (node.ShellAttributes & shell::kFolder) ? 1 : 0;
}

void TDrawTreeForm::VDT1GetDispInfo(NMTVDISPINFOW& info)
{
    auto* node = reinterpret_cast<TShellObjectData*>(info.item.lParam);
    if (!node)
        return;
    if (!node->Initialised)
        VDT1InitNode(*node);
    // Answered from what is known now; what the shell still has to tell comes later.
    if (info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        bool open = (info.item.state & TVIS_EXPANDED) != 0;
        int index = DrawnIcon(ShownIconIndex(*node, open), OverlayOf(node->ShellAttributes));
        info.item.iImage = index;
        info.item.iSelectedImage = index;
        if (!(open ? node->OpenIconLooked : node->ClosedIconLooked) || !node->ShellAsked)
            QueueRefine(*node);
    }
    if (info.item.mask & TVIF_CHILDREN) {
        info.item.cChildren = ShownChildren(*node);
        if (node->HasChildren < 0)
            QueueRefine(*node);
    }
}

int CALLBACK TDrawTreeForm::VDT1CompareNodes(LPARAM a, LPARAM b, LPARAM direction)
{
    auto* n1 = reinterpret_cast<const TShellObjectData*>(a);
    auto* n2 = reinterpret_cast<const TShellObjectData*>(b);
    return CompareNodes(n1->ShellAttributes, n1->SortKey, n2->ShellAttributes, n2->SortKey,
                        static_cast<SortDirection>(direction));
}

void TDrawTreeForm::SortTree()
{
    FinishFills();
    HWND tree = VDT1();
    ui::RedrawPause pause(tree);
    auto direction = static_cast<LPARAM>(direction_);
    ui::TvSortChildren(tree, TVI_ROOT, &TDrawTreeForm::VDT1CompareNodes, direction);
    for (const TShellObjectData& node : nodes_)
        if (node.Listed && node.Item)
            ui::TvSortChildren(tree, node.Item, &TDrawTreeForm::VDT1CompareNodes, direction);
}

} // namespace tw
