#pragma once

// A read-only view of many text lines, such as a run's log. The lines are kept here and the
// control (a list view with owner data) asks only for the rows it shows, so adding lines costs
// the same however many came before; lines added together are shown together, and lines added
// while the view's panel is hidden are shown when it shows.

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

class LogView {
public:
    LogView() = default;
    ~LogView();
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;

    // A child of `parent` in the UI font, with a client edge and a vertical scroll bar.
    bool Create(HWND parent, int id, int x, int y, int width, int height);
    HWND Handle() const noexcept { return hwnd_; }

    // Appends lines at the end and scrolls to the last one.
    void Append(const std::vector<std::wstring>& lines);
    void Clear();
    const std::vector<std::wstring>& Lines() const noexcept { return lines_; }

private:
    static LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
    void ShowCount();
    bool Shown() const;  // the view and its panel are shown (whatever their ancestors)

    HWND hwnd_ = nullptr;
    HWND parent_ = nullptr;
    std::vector<std::wstring> lines_;
    bool countBehind_ = false;  // lines came while the view was hidden
};

}  // namespace ui
