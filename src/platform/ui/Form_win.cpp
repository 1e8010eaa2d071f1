#include "platform/ui/Form.h"

#include "platform/ui/Dpi.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tw::ui {

COLORREF ResolveColor(DWORD color)
{
    if (color & 0x80000000u)
        return ::GetSysColor(static_cast<int>(color & 0xFFu));
    return color;
}

// Panels, pages and group boxes: they paint their frame and hand every notification of
// their children to the form, which is where the handlers are.
class Form::Container final : public Window {
public:
    Container(Form& form, const ControlSpec& spec, HWND parent, const RECT& rc) : form_(form), kind_(spec.kind)
    {
        RegisterWindowClass(L"TwContainer", nullptr, nullptr);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        if (!(spec.flags & Hidden) && spec.kind != Kind::Page)
            style |= WS_VISIBLE;
        CreateHwnd(L"TwContainer", WS_EX_CONTROLPARENT, style, spec.text ? spec.text : L"", rc.left, rc.top,
                   rc.right - rc.left, rc.bottom - rc.top, parent);
        if (!hwnd_)
            throw std::runtime_error("cannot create a container window");
        ::SetWindowLongPtrW(hwnd_, GWLP_ID, spec.id);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CONTEXTMENU:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
            return ::SendMessageW(form_.Handle(), msg, wParam, lParam);
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint();
            return 0;
        }
        return Window::HandleMessage(msg, wParam, lParam);
    }

private:
    void Paint()
    {
        PAINTSTRUCT ps{};
        HDC dc = ::BeginPaint(hwnd_, &ps);
        RECT rc{};
        ::GetClientRect(hwnd_, &rc);
        ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
        if (kind_ == Kind::Panel) {
            ::DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
        } else if (kind_ == Kind::GroupBox) {
            rc.top += form_.Scale(6);   // the frame runs through the middle of a caption line
            ::DrawEdge(dc, &rc, EDGE_ETCHED, BF_RECT);
        }
        ::EndPaint(hwnd_, &ps);
    }

    Form& form_;
    Kind kind_;
};

Form::Form() = default;

// Controls go with the window; containers are ours and go after it.
// The controls draw with the form's fonts, brushes and icons until they are destroyed, so
// the window goes here, before those members do, not in the base's destructor after them.
Form::~Form() { DestroyHwnd(); }

HWND Form::Control(int id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

const ControlSpec* Form::Spec(int id) const
{
    for (const auto& s : specs_)
        if (s.id == id)
            return &s;
    return nullptr;
}

void Form::BuildControls(std::span<const ControlSpec> controls, std::span<const FontSpec> fonts,
                         std::span<const ColumnSpec> columns, Hints hints)
{
    fontSpecs_.assign(fonts.begin(), fonts.end());
    CreateFonts();

    specs_.assign(controls.begin(), controls.end());
    columns_.assign(columns.begin(), columns.end());
    for (const ControlSpec& spec : specs_) {
        const bool later = (spec.flags & Later) ||
                           std::find(later_.begin(), later_.end(), spec.parent) != later_.end();
        // The tab's caption is part of the tab control, which shows at once.
        if (spec.kind == Kind::Page)
            AddTab(spec);
        if (later)
            later_.push_back(spec.id);
        else
            BuildRow(spec);
    }
    InsertColumns(true);

    for (const auto& [tabs, pages] : pages_)
        ShowPage(tabs, 0);
    PutPagesOverTabs();
    if (hints == Hints::Now)
        AttachHints();
}

void Form::BuildLater()
{
    if (later_.empty())
        return;
    for (const ControlSpec& spec : specs_)
        if (std::find(later_.begin(), later_.end(), spec.id) != later_.end())
            BuildRow(spec);
    InsertColumns(false);
    for (const auto& [tabs, pages] : pages_)
        ShowPage(tabs, ActivePage(tabs));
    PutPagesOverTabs();
    if (tooltip_)
        for (int id : later_)
            AddHint(id);
    later_.clear();
}

// A page's controls lie over their page control, which paints its whole client area: the
// page control goes under its siblings, once for all of them rather than each control
// raised on its own.
void Form::PutPagesOverTabs()
{
    for (const auto& [tabs, pages] : pages_)
        ::SetWindowPos(Control(tabs), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::BuildRow(const ControlSpec& spec)
{
    const Host host = HostOf(spec);
    if (!host.window)
        throw std::logic_error(std::string("layout row before its parent: ") + spec.name);
    if (spec.kind == Kind::Panel && host.window == hwnd_ && !(spec.flags & Hidden)) {
        areas_[spec.id] = Area{hwnd_, PlaceIn(spec, host), true};
        return;
    }
    if (spec.kind == Kind::Page) {
        HWND tabs = Control(spec.parent);
        if (spec.flags & Covered) {
            areas_[spec.id] = Area{::GetParent(tabs), PageArea(tabs), false};
            return;
        }
        // A page whose background may show is a window that paints it.
        containers_.push_back(std::make_unique<Container>(*this, spec, ::GetParent(tabs), PageArea(tabs)));
        controls_[spec.id] = containers_.back()->Handle();
        return;
    }
    const int page = PageOf(spec);
    if (page)
        shownInPage_[spec.id] = !(spec.flags & Hidden);
    HWND h = CreateControl(spec, host, !(spec.flags & Hidden) && (!page || PageShown(page)));
    if (!h)
        throw std::runtime_error(std::string("cannot create control ") + spec.name);
    controls_[spec.id] = h;
    if (spec.hint)
        hints_[spec.id] = spec.hint;
}

// The columns of the list views built now (`built`), or of those BuildLater built.
void Form::InsertColumns(bool built)
{
    std::map<int, int> columnCount;
    for (const ColumnSpec& c : columns_) {
        const bool isLater = std::find(later_.begin(), later_.end(), c.control) != later_.end();
        int& index = columnCount[c.control];
        if (isLater == built)
            continue;
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = const_cast<wchar_t*>(c.caption);
        col.cx = Scale(c.width);
        ::SendMessageW(Control(c.control), LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                       reinterpret_cast<LPARAM>(&col));
    }
}

void Form::AttachHints()
{
    if (tooltip_)
        return;
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    for (const ControlSpec& spec : specs_)
        AddHint(spec.id);
}

// The text is asked for when the hint shows, so a hint changed since is the one shown.
void Form::AddHint(int id)
{
    const ControlSpec* spec = Spec(id);
    HWND control = Control(id);
    if (!tooltip_ || !spec || !spec->hint || !control)
        return;
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

int Form::Scale(int value) const { return ScaleBy(value, dpi_); }

// The edges are scaled rather than the sizes, so that rows that meet in the table still
// meet when a half pixel rounds.
RECT Form::PlaceIn(const ControlSpec& spec, const Host& host) const
{
    RECT rc{Scale(spec.left), Scale(spec.top), Scale(spec.left + spec.width), Scale(spec.top + spec.height)};
    if (spec.flags & FillParent) {
        if (const Area* area = AreaOf(spec.parent))
            return area->rc;
        ::GetClientRect(host.window, &rc);
        return rc;
    }
    ::OffsetRect(&rc, host.origin.x, host.origin.y);
    return rc;
}

const Form::Area* Form::AreaOf(int id) const
{
    auto it = areas_.find(id);
    return it == areas_.end() ? nullptr : &it->second;
}

Form::Host Form::HostOf(const ControlSpec& spec) const
{
    if (!spec.parent)
        return {hwnd_, {0, 0}};
    if (const Area* area = AreaOf(spec.parent))
        return {area->host, {area->rc.left, area->rc.top}};
    return {Control(spec.parent), {0, 0}};
}

int Form::PageOf(const ControlSpec& spec) const
{
    const ControlSpec* parent = spec.parent ? Spec(spec.parent) : nullptr;
    return parent && parent->kind == Kind::Page && AreaOf(parent->id) ? parent->id : 0;
}

bool Form::PageShown(int pageId) const
{
    const ControlSpec* page = Spec(pageId);
    if (!page)
        return false;
    auto pages = pages_.find(page->parent);
    auto active = activePage_.find(page->parent);
    if (pages == pages_.end() || active == activePage_.end())
        return false;
    const auto& ids = pages->second;
    return active->second >= 0 && static_cast<std::size_t>(active->second) < ids.size() &&
           ids[static_cast<std::size_t>(active->second)] == pageId;
}

void Form::PaintPanels()
{
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(hwnd_, &ps);
    for (auto& [id, area] : areas_)
        if (area.framed)
            ::DrawEdge(dc, &area.rc, BDR_RAISEDINNER, BF_RECT);
    ::EndPaint(hwnd_, &ps);
}

// A page covers the display area of its page control, in the coordinates of the control's
// parent.
RECT Form::PageArea(HWND tabs) const
{
    RECT area{};
    ::GetClientRect(tabs, &area);
    ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    ::MapWindowPoints(tabs, ::GetParent(tabs), reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void Form::CreateFonts()
{
    fonts_.clear();
    for (const FontSpec& f : fontSpecs_) {
        LOGFONTW lf{};
        lf.lfHeight = Scale(f.height);
        lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
        lf.lfUnderline = f.underline;
        lf.lfCharSet = f.charset;
        lf.lfQuality = DEFAULT_QUALITY;
        lstrcpynW(lf.lfFaceName, f.face, LF_FACESIZE);
        fonts_.emplace_back(::CreateFontIndirectW(&lf));
    }
    if (!fonts_.empty())
        ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font(0)), FALSE);
}

// The icons are drawn at several sizes; the system picks the nearest to the one asked for.
// Not shared: a shared icon keeps the size it was first loaded at.
void Form::SetImage(const ControlSpec& spec, HWND button)
{
    int size = Scale(16);
    auto icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(spec.image), IMAGE_ICON,
                                                size, size, LR_DEFAULTCOLOR));
    ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    images_[spec.id].Reset(icon);
}

void Form::FitToDpi(int width, int height, bool client, Anchor anchor)
{
    dpi_ = DpiOf(hwnd_);
    design_ = SIZE{width, height};
    designIsClient_ = client;
    SizeWindow(anchor);
}

// The frame is measured rather than computed: its size at a DPI depends on the system's
// awareness and version, and only the window knows what it got.
void Form::SizeWindow(Anchor anchor)
{
    RECT window{};
    RECT client{};
    ::GetWindowRect(hwnd_, &window);
    ::GetClientRect(hwnd_, &client);
    int oldWidth = window.right - window.left;
    int oldHeight = window.bottom - window.top;
    int width = Scale(design_.cx);
    int height = Scale(design_.cy);
    if (designIsClient_) {
        width += oldWidth - client.right;
        height += oldHeight - client.bottom;
    }
    int x = window.left;
    int y = window.top;
    if (anchor == Anchor::Centre) {
        x += (oldWidth - width) / 2;
        y += (oldHeight - height) / 2;
    }
    // At the designed DPI the window was made at this size already.
    if (x == window.left && y == window.top && width == oldWidth && height == oldHeight)
        return;
    ::SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Every control of the table is placed, given its font and image again at the DPI the form
// now has; columns keep the widths the user gave them, in proportion to the `old` DPI's.
void Form::ApplyDpi(UINT old)
{
    std::vector<UniqueFont> oldFonts = std::move(fonts_);   // in use until each control has its new one
    CreateFonts();
    for (const ControlSpec& spec : specs_) {
        if (auto area = areas_.find(spec.id); area != areas_.end()) {
            area->second.rc = spec.kind == Kind::Page ? PageArea(Control(spec.parent)) : PlaceIn(spec, HostOf(spec));
            ::InvalidateRect(area->second.host, nullptr, TRUE);
            continue;
        }
        HWND h = Control(spec.id);
        if (!h)
            continue;
        RECT rc = spec.kind == Kind::Page ? PageArea(Control(spec.parent)) : PlaceIn(spec, HostOf(spec));
        ::SetWindowPos(h, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (spec.kind == Kind::Page || spec.kind == Kind::Panel || spec.kind == Kind::GroupBox) {
            ::InvalidateRect(h, nullptr, TRUE);
            continue;
        }
        ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(spec.font)), TRUE);
        if (spec.kind == Kind::ImageButton && spec.image) {
            SetImage(spec, h);
        } else if (spec.kind == Kind::ListBox) {
            ::SendMessageW(h, LB_SETITEMHEIGHT, 0, Scale(13));
        } else if (spec.kind == Kind::ListView) {
            HWND header = reinterpret_cast<HWND>(::SendMessageW(h, LVM_GETHEADER, 0, 0));
            int count = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
            for (int i = 0; i < count; ++i) {
                int width = static_cast<int>(::SendMessageW(h, LVM_GETCOLUMNWIDTH, i, 0));
                ::SendMessageW(h, LVM_SETCOLUMNWIDTH, i, ::MulDiv(width, static_cast<int>(dpi_), static_cast<int>(old)));
            }
        }
    }
    DpiChanged();
}

// The system suggests where the window goes on the new monitor; its size is then made
// exact for the table, as the frame at the new DPI may not scale the same way.
void Form::OnDpiChanged(UINT dpi, const RECT& suggested)
{
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    UINT old = dpi_;
    dpi_ = dpi;
    if (design_.cx && design_.cy)
        SizeWindow(Anchor::TopLeft);
    ApplyDpi(old);
}

namespace {

// The system class of a control of the table and the styles it adds to a child's own;
// panels, group boxes and pages are our containers, not system controls.
struct SystemControl {
    const wchar_t* cls;
    DWORD style;
    DWORD exStyle;
};

SystemControl SystemControlFor(const ControlSpec& spec)
{
    const DWORD tab = (spec.flags & NoTabStop) ? 0 : WS_TABSTOP;
    switch (spec.kind) {
    case Kind::Tabs:
        return {WC_TABCONTROLW, tab, 0};
    case Kind::CheckBox:
        return {WC_BUTTONW, BS_AUTOCHECKBOX | tab, 0};
    case Kind::Button:
        return {WC_BUTTONW, ((spec.flags & Default) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | tab, 0};
    case Kind::FlatButton:
        return {WC_BUTTONW, BS_PUSHBUTTON | BS_FLAT | tab, 0};
    case Kind::ImageButton:
        return {WC_BUTTONW, BS_PUSHBUTTON | BS_FLAT | BS_ICON | tab, 0};
    case Kind::ListView:
        return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | tab, WS_EX_CLIENTEDGE};
    case Kind::ListBox:
        return {WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | tab, WS_EX_CLIENTEDGE};
    case Kind::Edit:
        return {WC_EDITW, ES_AUTOHSCROLL | ((spec.flags & Digits) ? ES_NUMBER : 0) | tab, WS_EX_CLIENTEDGE};
    case Kind::ComboBox:
        return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | tab, 0};
    case Kind::Label:
    case Kind::Panel:
    case Kind::GroupBox:
    case Kind::Page:
        break;
    }
    return {WC_STATICW, SS_NOPREFIX | ((spec.flags & WordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP), 0};
}

} // namespace

void Form::AddTab(const ControlSpec& spec)
{
    activePage_.emplace(spec.parent, 0);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(spec.text ? spec.text : L"");
    auto& pages = pages_[spec.parent];
    ::SendMessageW(Control(spec.parent), TCM_INSERTITEMW, pages.size(), reinterpret_cast<LPARAM>(&item));
    pages.push_back(spec.id);
}

HWND Form::CreateControl(const ControlSpec& spec, const Host& host, bool visible)
{
    HWND parent = host.window;
    RECT rc = PlaceIn(spec, host);
    // An icon button shows its icon alone; its text is its hint, which is what a screen
    // reader says for it.
    const wchar_t* text = spec.text ? spec.text : (spec.kind == Kind::ImageButton && spec.hint ? spec.hint : L"");
    if (spec.kind == Kind::Panel || spec.kind == Kind::GroupBox) {
        containers_.push_back(std::make_unique<Container>(*this, spec, parent, rc));
        return containers_.back()->Handle();
    }

    const SystemControl system = SystemControlFor(spec);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0) | system.style;
    HWND h = ::CreateWindowExW(system.exStyle, system.cls, text, style, rc.left, rc.top, rc.right - rc.left,
                               rc.bottom - rc.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!h)
        return nullptr;
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font(spec.font)), FALSE);

    if (spec.kind == Kind::ImageButton && spec.image) {
        SetImage(spec, h);
    } else if (spec.kind == Kind::ListView) {
        DWORD ex = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
        ::SendMessageW(h, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
    } else if (spec.kind == Kind::ListBox) {
        ::SendMessageW(h, LB_SETITEMHEIGHT, 0, Scale(13));
    }
    return h;
}

// The controls of a page that goes keep whether they were shown, for when it comes back; a
// page that is a window takes its controls with it.
void Form::ShowPage(int tabsId, int index)
{
    const auto& pages = pages_[tabsId];
    const int old = std::exchange(activePage_[tabsId], index);
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (HWND page = Control(pages[i]))
            ::ShowWindow(page, static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
    for (const ControlSpec& spec : specs_) {
        const int page = PageOf(spec);
        HWND h = Control(spec.id);
        if (!page || !h)
            continue;
        auto at = std::find(pages.begin(), pages.end(), page);
        if (at == pages.end())
            continue;
        const int i = static_cast<int>(at - pages.begin());
        const bool visible = (::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0;
        if (i == old && i != index)
            shownInPage_[spec.id] = visible;
        const bool show = i == index && shownInPage_[spec.id];
        if (show != visible)
            ::ShowWindow(h, show ? SW_SHOW : SW_HIDE);
    }
}

void Form::ShowControl(int id, bool show)
{
    HWND h = Control(id);
    const ControlSpec* spec = Spec(id);
    if (!h || !spec)
        return;
    if (const int page = PageOf(*spec)) {
        shownInPage_[id] = show;
        if (!PageShown(page))
            return;
    }
    ::ShowWindow(h, show ? SW_SHOW : SW_HIDE);
}

int Form::ActivePage(int tabsId) const
{
    return static_cast<int>(::SendMessageW(Control(tabsId), TCM_GETCURSEL, 0, 0));
}

void Form::SetHint(int id, std::wstring hint)
{
    const ControlSpec* spec = Spec(id);
    // An icon button's text is its hint; the same text again would still repaint it.
    if (spec && spec->kind == Kind::ImageButton && hint != Form::HintFor(id))
        ::SetWindowTextW(Control(id), hint.c_str());
    hints_[id] = std::move(hint);
}

std::wstring Form::HintFor(int id)
{
    auto it = hints_.find(id);
    return it == hints_.end() ? std::wstring() : it->second;
}

HBRUSH Form::BrushFor(DWORD color)
{
    auto& brush = brushes_[color];
    if (!brush)
        brush.Reset(::CreateSolidBrush(ResolveColor(color)));
    return brush.Get();
}

LRESULT Form::ColorStatic(HDC dc, HWND control)
{
    const ControlSpec* spec = Spec(::GetDlgCtrlID(control));
    DWORD back = spec && spec->backColor != kDefaultColor ? spec->backColor : SysColor(COLOR_BTNFACE);
    if (spec && spec->textColor != kDefaultColor)
        ::SetTextColor(dc, ResolveColor(spec->textColor));
    ::SetBkColor(dc, ResolveColor(back));
    return reinterpret_cast<LRESULT>(BrushFor(back));
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_PAINT:
        if (std::none_of(areas_.begin(), areas_.end(), [](const auto& a) { return a.second.framed; }))
            break;
        PaintPanels();
        return 0;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->code == TTN_GETDISPINFOW && hdr->hwndFrom == tooltip_) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            static std::wstring shown;   // must outlive this message
            shown = HintFor(::GetDlgCtrlID(reinterpret_cast<HWND>(hdr->idFrom)));
            info->lpszText = shown.data();
            return 0;
        }
        if (hdr->code == TCN_SELCHANGE) {
            int tabs = static_cast<int>(hdr->idFrom);
            int index = ActivePage(tabs);
            ShowPage(tabs, index);
            PageChanged(tabs, index);
            return 0;
        }
        break;
    }
    }
    return Window::HandleMessage(msg, wParam, lParam);
}

} // namespace tw::ui
