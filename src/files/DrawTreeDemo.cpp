// TDrawTreeForm's window: its layout, its start, the header, the check boxes and closing.
#include "files/DrawTreeDemo.h"

#include <windowsx.h>

#include <stdexcept>

namespace tw {

std::function<void(const std::string& path)> OnPathChecked;
std::function<void(const std::string& path)> OnPathUnchecked;
std::function<bool(const std::string& path)> OnIsPathChecked;

namespace {

// Posted to ourselves when a check box may have changed: the tree view tells of a click
// before it flips the mark (and under some systems never tells of the flip itself), so the
// mark is read once the click has been handled.
constexpr UINT WM_PICKER_CHECK = WM_APP + 1;

enum Font : int { FontTree, FontButton };

const ui::FontSpec kFonts[] = {
    {L"Trebuchet MS", -13},
    {L"宋体", -13, false, false, GB2312_CHARSET},
};

constexpr int kWidth = 271;
constexpr int kHeight = 330;
constexpr int kTreeHeight = 269;     // header and tree together, aligned to the top
constexpr int kHeaderHeight = 20;
constexpr int kColumnWidth = 217;
constexpr int kIndent = 20;
constexpr int kNodeHeight = 20;

// The tree and its header are not kinds the layout table knows; they are made in CreateTree.
const ui::ControlSpec kLayout[] = {
    // id               name           kind               parent left top  width height text          hint
    {ids::BtnSelFiles,  "BtnSelFiles", ui::Kind::Button,  0,     22,  274, 75,   25,    L"确定(&O)",  nullptr,
     FontButton, ui::Default},
};

} // namespace

TDrawTreeForm::TDrawTreeForm(FileApi& files) : files_(files) {}

void TDrawTreeForm::Create(HWND owner)
{
    RegisterWindowClass(TW_PICKER_WINDOW_CLASS, nullptr, ::GetSysColorBrush(COLOR_BTNFACE));
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    if (!CreateHwnd(TW_PICKER_WINDOW_CLASS, exStyle, style, L"", 0, 0, kWidth, kHeight, owner))
        throw std::runtime_error("cannot create the file picker");
    PickerWork::Options options;
    // Better icons can wait; the window's own thread comes first for the processor.
    options.askerStarts = [] { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); };
    HWND window = hwnd_;
    work_ = std::make_unique<PickerWork>(
        files_, [window] { return ::PostMessageW(window, kListedMessage, 0, 0) != 0; },
        [window] { return ::PostMessageW(window, kAnsweredMessage, 0, 0) != 0; }, std::move(options));
    FitToDpi(kWidth, kHeight, false, Anchor::TopLeft);
    BuildControls(kLayout, kFonts);
    CreateTree();
    FormCreate();
}

void TDrawTreeForm::CreateTree()
{
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    // One column: there is nothing to drag it past, so the header does not offer dragging.
    HWND header = ::CreateWindowExW(0, WC_HEADERW, nullptr, WS_CHILD | WS_VISIBLE | HDS_HORZ | HDS_BUTTONS | HDS_FULLDRAG, 0,
                                    0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::VDT1Header)),
                                    inst, nullptr);
    if (!header)
        throw std::runtime_error("cannot create the picker's header");
    HDITEMW column{};
    column.mask = HDI_TEXT | HDI_FORMAT;
    column.fmt = HDF_LEFT | HDF_STRING;
    column.pszText = const_cast<wchar_t*>(L"文件路径");
    ::SendMessageW(header, HDM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&column));

    // No horizontal scrolling: a name wider than the column is shortened, not scrolled to.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                  TVS_SHOWSELALWAYS | TVS_NOHSCROLL | TVS_NOTOOLTIPS;
    HWND tree = ::CreateWindowExW(0, WC_TREEVIEWW, nullptr, style, 0, 0, 0, 0, hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::VDT1)), inst, nullptr);
    if (!tree)
        throw std::runtime_error("cannot create the picker's tree");
    // Check boxes are switched on after creation, before any item exists, as the control
    // asks: set at creation they may come up in a wrong state.
    ::SetWindowLongPtrW(tree, GWL_STYLE, ::GetWindowLongPtrW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    checkBoxes_.Reset(tree, TVSIL_STATE, reinterpret_cast<HIMAGELIST>(::SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_STATE, 0)));
    ::SendMessageW(tree, TVM_SETEXTENDEDSTYLE, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);
    header_ = header;
    tree_ = tree;
    PlaceTree();
}

// The header and the tree are not rows of the table: they are placed, sized and given
// their font here, at creation and for each new DPI.
void TDrawTreeForm::PlaceTree()
{
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    int headerHeight = Scale(kHeaderHeight);
    ::SetWindowPos(header_, nullptr, 0, 0, client.right, headerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(header_, WM_SETFONT, reinterpret_cast<WPARAM>(Font(FontTree)), TRUE);
    HDITEMW column{};
    column.mask = HDI_WIDTH;
    column.cxy = Scale(kColumnWidth);
    ::SendMessageW(header_, HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&column));
    ::SetWindowPos(tree_, nullptr, 0, headerHeight, client.right, Scale(kTreeHeight) - headerHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(tree_, WM_SETFONT, reinterpret_cast<WPARAM>(Font(FontTree)), TRUE);
    ::SendMessageW(tree_, TVM_SETINDENT, Scale(kIndent), 0);
    ::SendMessageW(tree_, TVM_SETITEMHEIGHT, Scale(kNodeHeight), 0);
}

void TDrawTreeForm::DpiChanged()
{
    PlaceTree();
    UseIconsForDpi();
}

void TDrawTreeForm::FormCreate()
{
    int count = CountDrives(files_.GetLogicalDrives());
    DriveStrings = files_.GetLogicalDriveStringsA();
    SystemImages = reinterpret_cast<HIMAGELIST>(files_.SmallImageList());
    UseIconsForDpi();
    shareOverlay_ = files_.OverlayIndex(false);
    linkOverlay_ = files_.OverlayIndex(true);

    for (int i = 0; i < count; ++i) {
        TShellObjectData drive;
        drive.Path = DriveRootPath(DriveStrings, i);
        drive.TopLevel = true;
        AddNode(TVI_ROOT, std::move(drive));
    }
}

void TDrawTreeForm::BtnSelFilesClick() { EndModal(IDOK); }

TShellObjectData* TDrawTreeForm::NodeOf(HTREEITEM item) const
{
    return reinterpret_cast<TShellObjectData*>(ui::TvGetData(VDT1(), item));
}

void TDrawTreeForm::PostCheck(HTREEITEM item)
{
    if (item)
        ::PostMessageW(hwnd_, WM_PICKER_CHECK, 0, reinterpret_cast<LPARAM>(item));
}

void TDrawTreeForm::CheckPosted(HTREEITEM item)
{
    TShellObjectData* node = NodeOf(item);
    if (!node)
        return;
    // A key may reach a node scrolled into view before it was first drawn: what the list
    // says of it is learnt first, so the change is measured against that.
    if (!node->Initialised)
        VDT1InitNode(*node);
    unsigned state = ui::TvGetCheckState(VDT1(), item);
    if (node->TopLevel) {
        // A whole drive cannot be hidden: a drive has no box, whatever key was pressed on it.
        if (state != 0)
            ui::TvSetCheckState(VDT1(), item, 0);
        return;
    }
    bool checked = state == 2;
    if (checked == node->Checked)
        return;   // told twice (a click and a change notification): act once
    node->Checked = checked;
    VDT1Checked(*node);
}

void TDrawTreeForm::VDT1Checked(TShellObjectData& node)
{
    if (node.Checked) {
        if (OnPathChecked)
            OnPathChecked(node.Path);
        // A path the list could not take (its line could not be saved) was left alone: its
        // tick goes, so the picker does not show as hidden what is not.
        if (OnIsPathChecked && !OnIsPathChecked(node.Path)) {
            node.Checked = false;
            ui::TvSetCheckState(VDT1(), node.Item, 1);
        }
    } else if (OnPathUnchecked) {
        OnPathUnchecked(node.Path);
    }
}

int TDrawTreeForm::ColumnRight() const
{
    RECT rc{};
    if (!::SendMessageW(Header(), HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc)))
        return Scale(kColumnWidth);
    return rc.right;
}

void TDrawTreeForm::VDT1HeaderClick(int column, int button)
{
    if (button != 0)
        return;   // only the left button sorts
    if (column == 0) {
        if (sortColumn_ < 0) {
            sortColumn_ = 0;
            direction_ = SortDirection::Ascending;
        } else {
            direction_ = direction_ == SortDirection::Ascending ? SortDirection::Descending : SortDirection::Ascending;
        }
        SortTree();
    } else {
        sortColumn_ = -1;
    }
    ShowSortGlyph();
}

void TDrawTreeForm::ShowSortGlyph()
{
    HDITEMW column{};
    column.mask = HDI_FORMAT;
    ::SendMessageW(Header(), HDM_GETITEMW, 0, reinterpret_cast<LPARAM>(&column));
    column.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (sortColumn_ == 0)
        column.fmt |= direction_ == SortDirection::Ascending ? HDF_SORTUP : HDF_SORTDOWN;
    ::SendMessageW(Header(), HDM_SETITEMW, 0, reinterpret_cast<LPARAM>(&column));
}

LRESULT TDrawTreeForm::OnHeaderNotify(NMHDR* hdr)
{
    switch (hdr->code) {
    case HDN_ITEMCLICKW: {
        auto* nm = reinterpret_cast<NMHEADERW*>(hdr);
        VDT1HeaderClick(nm->iItem, nm->iButton);
        return 0;
    }
    case HDN_DIVIDERDBLCLICKW:
        FitColumn();
        return 0;
    case HDN_ITEMCHANGEDW:
    case HDN_TRACKW:
        // The column's width decides where names are shortened.
        ::InvalidateRect(VDT1(), nullptr, TRUE);
        return 0;
    }
    return 0;
}

LRESULT TDrawTreeForm::OnTreeNotify(NMHDR* hdr)
{
    HWND tree = VDT1();
    switch (hdr->code) {
    case TVN_GETDISPINFOW:
        VDT1GetDispInfo(*reinterpret_cast<NMTVDISPINFOW*>(hdr));
        return 0;
    case TVN_ITEMEXPANDINGW: {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(hdr);
        if ((nm->action & TVE_EXPAND) != 0)
            if (auto* node = reinterpret_cast<TShellObjectData*>(nm->itemNew.lParam); node && !node->Listed) {
                // Not yet: the node opens once its entries are in (ListingDone).
                VDT1InitChildren(*node);
                return TRUE;
            }
        return FALSE;
    }
    case NM_CUSTOMDRAW:
        return VDT1DrawNode(*reinterpret_cast<NMTVCUSTOMDRAW*>(hdr));
    case NM_CLICK:
    case NM_DBLCLK: {
        DWORD pos = ::GetMessagePos();
        POINT at{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
        ::ScreenToClient(tree, &at);
        UINT where = 0;
        HTREEITEM item = ui::TvHitTest(tree, at, where);
        if (item && (where & TVHT_ONITEMSTATEICON))
            PostCheck(item);
        return 0;
    }
    case TVN_KEYDOWN:
        if (reinterpret_cast<NMTVKEYDOWN*>(hdr)->wVKey == VK_SPACE)
            PostCheck(ui::TvGetSelection(tree));
        return 0;
    case TVN_ITEMCHANGEDW:
        // Sent by newer systems after a mark changes; the click path may already have acted.
        PostCheck(reinterpret_cast<NMTVITEMCHANGE*>(hdr)->hItem);
        return 0;
    }
    return 0;
}

LRESULT TDrawTreeForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->hwndFrom == VDT1() && VDT1())
            return OnTreeNotify(hdr);
        if (hdr->hwndFrom == Header() && Header())
            return OnHeaderNotify(hdr);
        break;
    }
    case WM_COMMAND:
        // The button, Enter (the default button) and Escape all just close the picker.
        if (HIWORD(wParam) == BN_CLICKED &&
            (LOWORD(wParam) == ids::BtnSelFiles || LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            BtnSelFilesClick();
            return 0;
        }
        break;
    case WM_PICKER_CHECK:
        CheckPosted(reinterpret_cast<HTREEITEM>(lParam));
        return 0;
    case kListedMessage:
        TakeListed();
        return 0;
    case kFillMessage:
        fillPosted_ = false;
        // Not after the rest went in at once, nor once the window has let its fills go.
        if (!fills_.empty())
            FillSome();
        return 0;
    case WM_TIMER:
        if (wParam == kFillTimer) {
            FillSome();
            return 0;
        }
        if (wParam == kWatchTimer) {
            WorkWatched();
            return 0;
        }
        if (wParam == kAskTimer) {
            AskWaiting();
            return 0;
        }
        break;
    case kAnsweredMessage:
        TakeAnswers();
        return 0;
    case ids::PickerRefiningMessage:
        return static_cast<LRESULT>(asked_ + PendingEntries());
    case WM_SETCURSOR:
        // The window answers while folders are searched; the cursor says work goes on.
        if (listingsOut_ > 0 && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
            return TRUE;
        }
        break;
    }
    return Form::HandleMessage(msg, wParam, lParam);
}

} // namespace tw
