#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/Gdi.h"
#include "ui/Window.h"

namespace ui {

// Creates a child control in the UI font; null on failure.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                   int width, int height, int id, DWORD exStyle = 0);

// A list view in report mode with a tick box on every row, full-row select.
class CheckListView {
public:
    bool Create(HWND parent, int id, int x, int y, int width, int height, DWORD extraStyle = 0);
    HWND Handle() const noexcept { return hwnd_; }

    void AddColumn(const std::wstring& caption, int width, int format = LVCFMT_LEFT);
    // Small images of the rows; the list view does not destroy it.
    void SetImages(HIMAGELIST images);
    // Appends a row (first text in the row, the rest in the sub-items); its index, or -1.
    int AddRow(const std::vector<std::wstring>& texts, bool ticked, int image = kNoRowImage);
    bool RemoveRow(int row);
    void Clear();
    int RowCount() const;
    std::wstring Text(int row, int column) const;
    void SetText(int row, int column, const std::wstring& text);

    bool IsTicked(int row) const;
    void SetTicked(int row, bool ticked);
    void SetAllTicked(bool ticked);
    int TickedCount() const;

    void SetGridLines(bool on);
    bool GridLines() const;

    static constexpr int kNoRowImage = -1;

private:
    HWND hwnd_ = nullptr;
    int columns_ = 0;
};

// An extended combo box as a drop-down list whose items carry images.
class ComboBoxEx {
public:
    bool Create(HWND parent, int id, int x, int y, int width, int dropHeight);
    HWND Handle() const noexcept { return hwnd_; }

    // Images of the items; the combo box does not destroy it.
    void SetImages(HIMAGELIST images);
    int AddItem(const std::wstring& text, int image);
    int Count() const;
    std::wstring ItemText(int index) const;
    int ItemImage(int index) const;
    int Selection() const;  // -1: none
    void Select(int index);

    // True for the WM_COMMAND the combo box sends its parent when the user changes the selection.
    bool IsSelectionChange(WPARAM wParam, LPARAM lParam) const;

private:
    HWND hwnd_ = nullptr;
};

// A panel of a status bar: its width (kRestOfBar for the last one taking the rest), and how its
// text is laid out.
struct StatusPanel {
    int width = 0;
    bool alignRight = false;
    bool rightToLeft = false;  // right-to-left reading order
};
constexpr int kRestOfBar = -1;

// A status bar with panels of fixed widths, which can hold child controls.
class StatusBar {
public:
    bool Create(HWND parent, int id, const std::vector<StatusPanel>& panels);
    HWND Handle() const noexcept { return hwnd_; }

    void SetText(int panel, const std::wstring& text);
    std::wstring Text(int panel) const;  // as set, without layout marks
    RECT PanelRect(int panel) const;
    // Moves a control into the status bar at the given place of its client area.
    void Place(HWND child, int x, int y, int width, int height);

private:
    HWND hwnd_ = nullptr;
    std::vector<StatusPanel> panels_;
};

// A push button drawing a 16 × 16 glyph left of its caption. Its parent passes WM_DRAWITEM to
// DrawItem (a Panel passes it on to its own parent).
class BitmapButton {
public:
    BitmapButton() = default;
    ~BitmapButton();
    BitmapButton(const BitmapButton&) = delete;
    BitmapButton& operator=(const BitmapButton&) = delete;

    bool Create(HWND parent, const std::wstring& caption, int x, int y, int width, int height, int id,
                DWORD extraStyle = WS_TABSTOP);
    HWND Handle() const noexcept { return hwnd_; }

    bool HasGlyph() const noexcept { return static_cast<bool>(glyph_); }
    HBITMAP Glyph() const noexcept { return glyph_.get(); }
    // Draws image `index` of `images` into a new 16 × 16, 24-bit glyph with the button face
    // behind it; false when it could not be drawn (the button keeps no glyph).
    bool SetGlyph(HIMAGELIST images, int index);

    // Draws an owner-drawn BitmapButton; false when the item is not one.
    static bool DrawItem(const DRAWITEMSTRUCT& item);

private:
    void Draw(const DRAWITEMSTRUCT& item) const;

    HWND hwnd_ = nullptr;
    Bitmap glyph_;
};

// A plain child window with the button face, as a container of controls: commands,
// notifications and owner drawing of its children go to its parent, so the form handles them.
class Panel : public Window {
public:
    enum class Edge { None, Raised, Lowered };
    bool Create(HWND parent, int id, int x, int y, int width, int height, Edge edge = Edge::None);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    Edge edge_ = Edge::None;
};

// A static label, progress bar or status bar whose new text or position is drawn with the next
// painting of the window instead of at once: one set often (a file's percentage through a run
// of many small files) costs no drawing each time, and a value back at what was last painted
// (a file's bar at 0 and at 100 again) none at all. Once per control.
void PaintChangesLater(HWND control);

}  // namespace ui
