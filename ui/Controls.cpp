#include "ui/Controls.h"

#include <utility>

#include "ui/Subclass.h"

namespace ui {

namespace {

constexpr wchar_t kBitmapButtonProperty[] = L"TmBitmapButton";
constexpr int kGlyphSize = 16;
constexpr int kGlyphGap = 4;
constexpr UINT_PTR kPaintedLaterSubclass = 0x7450;

}  // namespace

HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                   int width, int height, int id, DWORD exStyle) {
    HWND control = ::CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD, x, y, width, height, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                     nullptr);
    if (control) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    return control;
}

// ---- CheckListView ----

bool CheckListView::Create(HWND parent, int id, int x, int y, int width, int height, DWORD extraStyle) {
    hwnd_ = CreateControl(parent, WC_LISTVIEWW, L"",
                          WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | extraStyle, x, y, width, height,
                          id, WS_EX_CLIENTEDGE);
    if (!hwnd_) return false;
    ListView_SetExtendedListViewStyleEx(hwnd_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                        LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    return true;
}

void CheckListView::AddColumn(const std::wstring& caption, int width, int format) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(caption.c_str());
    column.iSubItem = columns_;
    if (::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(columns_), reinterpret_cast<LPARAM>(&column)) >=
        0)
        ++columns_;
}

void CheckListView::SetImages(HIMAGELIST images) {
    ::SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

int CheckListView::AddRow(const std::vector<std::wstring>& texts, bool ticked, int image) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | (image == kNoRowImage ? 0 : LVIF_IMAGE);
    item.iItem = RowCount();
    item.iImage = image;
    std::wstring first = texts.empty() ? std::wstring() : texts[0];
    item.pszText = first.data();
    const int row = static_cast<int>(::SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return -1;
    for (std::size_t column = 1; column < texts.size(); ++column) {
        std::wstring text = texts[column];
        LVITEMW sub{};
        sub.iSubItem = static_cast<int>(column);
        sub.pszText = text.data();
        ::SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
    SetTicked(row, ticked);
    return row;
}

bool CheckListView::RemoveRow(int row) { return ::SendMessageW(hwnd_, LVM_DELETEITEM, row, 0) != 0; }

void CheckListView::Clear() { ::SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }

int CheckListView::RowCount() const { return static_cast<int>(::SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring CheckListView::Text(int row, int column) const {
    std::wstring text(260, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const int got = static_cast<int>(
            ::SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (got < static_cast<int>(text.size()) - 1) {
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            return text;
        }
        text.assign(text.size() * 2, L'\0');
    }
}

void CheckListView::SetText(int row, int column, const std::wstring& text) {
    std::wstring copy = text;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = copy.data();
    ::SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool CheckListView::IsTicked(int row) const {
    const auto state = static_cast<UINT>(::SendMessageW(hwnd_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

void CheckListView::SetTicked(int row, bool ticked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    ::SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void CheckListView::SetAllTicked(bool ticked) { SetTicked(-1, ticked); }

int CheckListView::TickedCount() const {
    int count = 0;
    const int rows = RowCount();
    for (int row = 0; row < rows; ++row)
        if (IsTicked(row)) ++count;
    return count;
}

void CheckListView::SetGridLines(bool on) {
    ListView_SetExtendedListViewStyleEx(hwnd_, LVS_EX_GRIDLINES, on ? LVS_EX_GRIDLINES : 0);
}

bool CheckListView::GridLines() const {
    return (ListView_GetExtendedListViewStyle(hwnd_) & LVS_EX_GRIDLINES) != 0;
}

// ---- ComboBoxEx ----

bool ComboBoxEx::Create(HWND parent, int id, int x, int y, int width, int dropHeight) {
    hwnd_ = CreateControl(parent, WC_COMBOBOXEXW, L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, x,
                          y, width, dropHeight, id);
    return hwnd_ != nullptr;
}

void ComboBoxEx::SetImages(HIMAGELIST images) {
    ::SendMessageW(hwnd_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
}

int ComboBoxEx::AddItem(const std::wstring& text, int image) {
    std::wstring copy = text;
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iItem = -1;
    item.pszText = copy.data();
    item.iImage = image;
    item.iSelectedImage = image;
    return static_cast<int>(::SendMessageW(hwnd_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int ComboBoxEx::Count() const { return static_cast<int>(::SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }

std::wstring ComboBoxEx::ItemText(int index) const {
    std::wstring text(260, L'\0');
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    if (!::SendMessageW(hwnd_, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

int ComboBoxEx::ItemImage(int index) const {
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_IMAGE;
    item.iItem = index;
    if (!::SendMessageW(hwnd_, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return item.iImage;
}

int ComboBoxEx::Selection() const { return static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }

void ComboBoxEx::Select(int index) { ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

bool ComboBoxEx::IsSelectionChange(WPARAM wParam, LPARAM lParam) const {
    return hwnd_ && reinterpret_cast<HWND>(lParam) == hwnd_ && HIWORD(wParam) == CBN_SELCHANGE;
}

// ---- StatusBar ----

bool StatusBar::Create(HWND parent, int id, const std::vector<StatusPanel>& panels) {
    hwnd_ = CreateControl(parent, STATUSCLASSNAMEW, L"", WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, id);
    if (!hwnd_) return false;
    panels_ = panels;
    std::vector<int> edges;
    int right = 0;
    for (const StatusPanel& panel : panels_) {
        right = panel.width == kRestOfBar ? -1 : right + panel.width;
        edges.push_back(right);
    }
    ::SendMessageW(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    return true;
}

void StatusBar::SetText(int panel, const std::wstring& text) {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) return;
    const StatusPanel& layout = panels_[static_cast<std::size_t>(panel)];
    // Text after two tabs is right-aligned.
    const std::wstring shown = (layout.alignRight ? L"\t\t" : L"") + text;
    WPARAM flags = static_cast<WPARAM>(panel);
    if (layout.rightToLeft) flags |= SBT_RTLREADING;
    ::SendMessageW(hwnd_, SB_SETTEXTW, flags, reinterpret_cast<LPARAM>(shown.c_str()));
}

std::wstring StatusBar::Text(int panel) const {
    const LRESULT info = ::SendMessageW(hwnd_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0);
    std::wstring text(LOWORD(info) + 1u, L'\0');
    ::SendMessageW(hwnd_, SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcsnlen(text.c_str(), text.size()));
    const std::size_t start = text.find_first_not_of(L'\t');
    return start == std::wstring::npos ? std::wstring() : text.substr(start);
}

RECT StatusBar::PanelRect(int panel) const {
    RECT rect{};
    ::SendMessageW(hwnd_, SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

void StatusBar::Place(HWND child, int x, int y, int width, int height) {
    ::SetParent(child, hwnd_);
    ::MoveWindow(child, x, y, width, height, TRUE);
}

// ---- BitmapButton ----

BitmapButton::~BitmapButton() {
    if (hwnd_ && ::IsWindow(hwnd_)) ::RemovePropW(hwnd_, kBitmapButtonProperty);
}

bool BitmapButton::Create(HWND parent, const std::wstring& caption, int x, int y, int width, int height, int id,
                          DWORD extraStyle) {
    hwnd_ = CreateControl(parent, L"BUTTON", caption, WS_VISIBLE | BS_OWNERDRAW | extraStyle, x, y, width, height,
                          id);
    if (!hwnd_) return false;
    ::SetPropW(hwnd_, kBitmapButtonProperty, this);
    return true;
}

bool BitmapButton::SetGlyph(HIMAGELIST images, int index) {
    if (!images || index < 0 || index >= ::ImageList_GetImageCount(images)) return false;
    WindowDC screen(nullptr);
    Bitmap glyph(CreateDib24(screen.get(), kGlyphSize, kGlyphSize, false));
    if (!glyph) return false;
    MemoryDC memory(screen.get());
    if (!memory.get()) return false;
    {
        ScopedSelect select(memory.get(), glyph.get());
        RECT all{0, 0, kGlyphSize, kGlyphSize};
        ::FillRect(memory.get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
        if (!::ImageList_Draw(images, index, memory.get(), 0, 0, ILD_TRANSPARENT)) return false;
    }
    glyph_ = std::move(glyph);
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

bool BitmapButton::DrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_BUTTON || !item.hwndItem) return false;
    const auto* button = static_cast<const BitmapButton*>(::GetPropW(item.hwndItem, kBitmapButtonProperty));
    if (!button || button->hwnd_ != item.hwndItem) return false;
    button->Draw(item);
    return true;
}

void BitmapButton::Draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT frame = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    ::DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const std::wstring caption = WindowText(hwnd_);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    ScopedSelect selectFont(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT measure{0, 0, 0, 0};
    if (!caption.empty())
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
    const int textWidth = measure.right - measure.left;
    const int glyphWidth = glyph_ ? kGlyphSize + (caption.empty() ? 0 : kGlyphGap) : 0;
    const int shift = pushed ? 1 : 0;
    int x = item.rcItem.left + ((item.rcItem.right - item.rcItem.left) - glyphWidth - textWidth) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;

    if (glyph_) {
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(glyph_.get()), 0, x, middle - kGlyphSize / 2,
                     kGlyphSize, kGlyphSize, DST_BITMAP | (disabled ? DSS_DISABLED : DSS_NORMAL));
        x += glyphWidth;
    }
    if (!caption.empty()) {
        RECT text{x, item.rcItem.top + shift, x + textWidth, item.rcItem.bottom + shift};
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                    DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -4, -4);
        ::DrawFocusRect(dc, &focus);
    }
}

// ---- Panel ----

bool Panel::Create(HWND parent, int id, int x, int y, int width, int height, Edge edge) {
    edge_ = edge;
    return Window::Create(L"TmPanel", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                          WS_EX_CONTROLPARENT, x, y, width, height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

LRESULT Panel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return ::SendMessageW(::GetParent(Handle()), message, wParam, lParam);
    case WM_PAINT:
        if (edge_ != Edge::None) {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(Handle(), &paint);
            RECT client{};
            ::GetClientRect(Handle(), &client);
            ::DrawEdge(dc, &client, edge_ == Edge::Raised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
            ::EndPaint(Handle(), &paint);
            return 0;
        }
        break;
    default:
        break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

namespace {

// The status bar whose text is being set: it draws the part at once, and that drawing waits.
thread_local HWND settingStatusText = nullptr;

// What a label or progress bar showed when it was last painted, so that a value that goes and
// comes back between two paintings (a file's bar at 0 and at 100 again) is not drawn again.
struct PaintedValue {
    enum class Kind { Text, Position, Parts } kind = Kind::Text;  // a label, a progress bar, a status bar
    bool known = false;
    LRESULT position = 0;
    std::wstring text;
    // The pending repaint, if any, was asked for only by changes of the value.
    bool onlyChanges = false;
};

PaintedValue::Kind KindOf(HWND hwnd) {
    wchar_t name[32] = {};
    ::GetClassNameW(hwnd, name, 32);
    if (::lstrcmpiW(name, PROGRESS_CLASSW) == 0) return PaintedValue::Kind::Position;
    if (::lstrcmpiW(name, STATUSCLASSNAMEW) == 0) return PaintedValue::Kind::Parts;
    return PaintedValue::Kind::Text;
}

// After the value changed (`pending`: whether a repaint was pending before): the control is
// drawn again at the next painting, unless it is back at what was last painted and nothing
// else asked for a repaint.
void ValueChanged(HWND hwnd, PaintedValue& painted, bool pending, bool asPainted) {
    if (asPainted && (!pending || painted.onlyChanges)) {
        ::ValidateRect(hwnd, nullptr);
        painted.onlyChanges = false;
        return;
    }
    if (!asPainted && !pending) painted.onlyChanges = true;
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT CALLBACK PaintedLaterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    PaintedValue& painted = *reinterpret_cast<PaintedValue*>(data);
    switch (message) {
    case SB_SETTEXTW: {
        const HWND outer = std::exchange(settingStatusText, hwnd);
        const LRESULT result = ui::DefSubclass(hwnd, message, wParam, lParam);
        settingStatusText = outer;
        return result;
    }
    case WM_PAINT: {
        // Left invalid, the part is drawn when the window's messages are next serviced.
        if (hwnd == settingStatusText) return 0;
        const LRESULT result = ui::DefSubclass(hwnd, message, wParam, lParam);
        painted.known = true;
        painted.onlyChanges = false;
        if (painted.kind == PaintedValue::Kind::Position)
            painted.position = ::SendMessageW(hwnd, PBM_GETPOS, 0, 0);
        else if (painted.kind == PaintedValue::Kind::Text)
            painted.text = ui::WindowText(hwnd);
        return result;
    }
    case WM_SETTEXT: {
        // A static label would draw its new text at once.
        const bool pending = ::GetUpdateRect(hwnd, nullptr, FALSE);
        const LRESULT result = ::DefWindowProcW(hwnd, message, wParam, lParam);
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        ValueChanged(hwnd, painted, pending, painted.known && painted.text == (text ? text : L""));
        return result;
    }
    case PBM_SETPOS: {
        // Some progress bars draw the new position at once: not while their drawing is off.
        const bool pending = ::GetUpdateRect(hwnd, nullptr, FALSE);
        ::SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
        const LRESULT result = ui::DefSubclass(hwnd, message, wParam, lParam);
        ::SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
        const LRESULT position = ::SendMessageW(hwnd, PBM_GETPOS, 0, 0);
        ValueChanged(hwnd, painted, pending, painted.known && painted.position == position);
        return result;
    }
    case WM_NCDESTROY: {
        ui::RemoveSubclass(hwnd, PaintedLaterProc, kPaintedLaterSubclass);
        const LRESULT result = ui::DefSubclass(hwnd, message, wParam, lParam);
        delete &painted;
        return result;
    }
    default:
        break;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

}  // namespace

void PaintChangesLater(HWND control) {
    // Its record of what was painted goes with the control.
    if (!control) return;
    auto* painted = new PaintedValue;
    painted->kind = KindOf(control);
    ui::SetSubclass(control, PaintedLaterProc, kPaintedLaterSubclass, reinterpret_cast<DWORD_PTR>(painted));
}

}  // namespace ui
