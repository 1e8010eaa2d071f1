// A form is a top-level window whose controls come from a layout table: one row per
// control with its kind, parent, position, caption or hint, font and colours, read the way
// the form's design reads. The table is in 96-DPI pixels; the form scales it (positions,
// sizes, fonts, columns, images) to the DPI of its monitor, and again when it moves to a
// monitor of another DPI. Panels, pages and group boxes are containers that pass their
// children's notifications up to the form, so every handler lives on the form.
#pragma once

#include "platform/ui/Handles.h"
#include "platform/ui/Window.h"

#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tw::ui {

enum class Kind {
    Panel,       // raised container
    Page,        // one page of the nearest preceding Tabs control; a container
    GroupBox,    // etched container
    Tabs,        // page control: its pages are the Page rows that name it as parent
    Label,
    CheckBox,
    Button,      // push button
    FlatButton,  // flat push button with a caption
    ImageButton, // flat button showing an icon resource, its hint on hover
    ListView,    // report view with a check box per row (columns from the column table)
    ListBox,
    Edit,
    ComboBox,    // drop-down list to choose from; its height is the dropped list's
};

enum Flags : unsigned {
    NoFlags = 0,
    Hidden = 1u << 0,      // created invisible
    FillParent = 1u << 1,  // covers its parent's client area; position ignored
    WordWrap = 1u << 2,    // labels only
    Default = 1u << 3,     // default push button of the form
    NoTabStop = 1u << 4,
    Digits = 1u << 5,      // edits only: takes digits alone
    Later = 1u << 6,       // built by BuildLater, with its children; a page's tab shows at once
    Covered = 1u << 7,     // pages only: a control always covers it, so it is no window
};

// Colours: an RGB value, a system colour as SysColor(COLOR_*), or the default.
inline constexpr DWORD kDefaultColor = 0xFFFFFFFFu;
constexpr DWORD SysColor(int index) { return 0x80000000u | static_cast<DWORD>(index); }

struct FontSpec {
    const wchar_t* face;
    int height;             // LOGFONT height: negative is the character height in pixels
    bool bold = false;
    bool underline = false;
    BYTE charset = DEFAULT_CHARSET;
};

struct ControlSpec {
    int id;                 // control id; also the key for Control(id)
    const char* name;       // the control's name in the form's design
    Kind kind;
    int parent;             // id of the containing row; 0 for the form itself
    int left, top, width, height;
    const wchar_t* text;    // caption (tab caption for a Page), or nullptr
    const wchar_t* hint;    // hover hint, or nullptr
    int font = 0;           // index into the form's font table
    unsigned flags = NoFlags;
    DWORD textColor = kDefaultColor;
    DWORD backColor = kDefaultColor;
    int image = 0;          // icon resource id of an ImageButton
};

struct ColumnSpec {
    int control;            // id of the list view
    const wchar_t* caption;
    int width;
};

class Form : public Window {
public:
    Form();
    ~Form() override;

    HWND Control(int id) const;

    // The DPI the form is laid out for, and a length of its tables scaled to it.
    UINT Dpi() const { return dpi_; }
    int Scale(int value) const;

protected:
    enum class Anchor { TopLeft, Centre };
    // Right after the window is made, before BuildControls: takes its monitor's DPI and
    // sizes the window so that its client area (or, with `client` false, the whole window)
    // is `width` x `height` scaled, keeping the top-left corner or the centre in place.
    void FitToDpi(int width, int height, bool client, Anchor anchor);
    enum class Hints { Now, Later };
    // Creates the form's controls in table order; parents must precede their children.
    // With Hints::Later the hover hints wait for AttachHints: their window is a top-level
    // window of its own, which a window that must show quickly can do without at first.
    void BuildControls(std::span<const ControlSpec> controls, std::span<const FontSpec> fonts,
                       std::span<const ColumnSpec> columns = {}, Hints hints = Hints::Now);
    // Gives every control of the table that has a hint its hover hint; once.
    void AttachHints();
    // Builds the rows marked Later (what the first paint does not show); once.
    void BuildLater();
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The current hover hint of a control; by default the table's.
    virtual std::wstring HintFor(int id);
    // The user switched a page control to page `index`; pages are already switched.
    virtual void PageChanged(int tabsId, int index) { (void)tabsId; (void)index; }
    // The table's controls were laid out again for a new DPI; the form places what the
    // table does not hold.
    virtual void DpiChanged() {}

    int ActivePage(int tabsId) const;
    // Shows or hides a control of the table; one on a page that is not shown shows with it.
    void ShowControl(int id, bool show);
    void SetHint(int id, std::wstring hint);
    HFONT Font(int index) const { return fonts_.at(static_cast<std::size_t>(index)).Get(); }
    const ControlSpec* Spec(int id) const;

private:
    class Container;

    // The window a row lies on, and where its parent row's area starts in that window.
    struct Host {
        HWND window;
        POINT origin;
    };
    // A row that is a place on another window rather than a window: a panel on the form
    // (framed) or a covered page of a page control (its controls are the form's, shown and
    // hidden with their page). A window costs its creation, its show and its paint, and
    // these only frame or group their rows.
    struct Area {
        HWND host;
        RECT rc;
        bool framed;
    };
    Host HostOf(const ControlSpec& spec) const;
    const Area* AreaOf(int id) const;
    // The covered page a control lies on directly, or 0.
    int PageOf(const ControlSpec& spec) const;
    bool PageShown(int pageId) const;
    void PaintPanels();
    HWND CreateControl(const ControlSpec& spec, const Host& host, bool visible);
    void BuildRow(const ControlSpec& spec);
    void PutPagesOverTabs();
    void InsertColumns(bool built);
    void AddHint(int id);
    void AddTab(const ControlSpec& spec);
    RECT PlaceIn(const ControlSpec& spec, const Host& host) const;
    RECT PageArea(HWND tabs) const;
    void CreateFonts();
    void SetImage(const ControlSpec& spec, HWND button);
    void SizeWindow(Anchor anchor);
    void ApplyDpi(UINT old);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void ShowPage(int tabsId, int index);
    HBRUSH BrushFor(DWORD color);
    LRESULT ColorStatic(HDC dc, HWND control);

    UINT dpi_ = 96;
    SIZE design_{};                             // the window's size in the table's pixels
    bool designIsClient_ = true;
    std::vector<ControlSpec> specs_;
    std::vector<ColumnSpec> columns_;
    std::vector<int> later_;                    // rows BuildLater builds, in table order
    std::vector<FontSpec> fontSpecs_;
    std::map<int, UniqueIcon> images_;          // control id -> icon at the current DPI
    std::map<int, HWND> controls_;
    std::vector<UniqueFont> fonts_;
    std::map<DWORD, UniqueBrush> brushes_;
    std::vector<std::unique_ptr<Container>> containers_;
    std::map<int, std::vector<int>> pages_;     // tabs id -> page ids in order
    std::map<int, Area> areas_;                 // row id -> its place, for rows that are no window
    std::map<int, int> activePage_;             // tabs id -> index of the page shown
    std::map<int, bool> shownInPage_;           // control on a page -> shown while its page is
    std::map<int, std::wstring> hints_;
    HWND tooltip_ = nullptr;
};

// Resolves a colour of the table (system colours included) to RGB.
COLORREF ResolveColor(DWORD color);

} // namespace tw::ui
