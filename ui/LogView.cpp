#include "ui/LogView.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/Controls.h"
#include "ui/Subclass.h"

namespace ui {

namespace {
constexpr UINT_PTR kLogViewSubclass = 0x4C4F47;  // the parent answers the view's questions here
}

LogView::~LogView() {
    if (parent_) ui::RemoveSubclass(parent_, ParentProc, kLogViewSubclass);
}

bool LogView::Create(HWND parent, int id, int x, int y, int width, int height) {
    hwnd_ = CreateControl(parent, WC_LISTVIEWW, L"",
                          WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER |
                              LVS_SHOWSELALWAYS | LVS_SINGLESEL,
                          x, y, width, height, id, WS_EX_CLIENTEDGE);
    if (!hwnd_) return false;
    ::SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = width - ::GetSystemMetrics(SM_CXVSCROLL) - 4 * ::GetSystemMetrics(SM_CXEDGE);
    ::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    parent_ = parent;
    return ui::SetSubclass(parent_, ParentProc, kLogViewSubclass, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

void LogView::Append(const std::vector<std::wstring>& lines) {
    if (lines.empty()) return;
    lines_.insert(lines_.end(), lines.begin(), lines.end());
    // A view on a hidden panel (a run's log before its result shows) is brought up to date when
    // the panel shows: each update lays the view out again for nobody to see.
    if (Shown())
        ShowCount();
    else
        countBehind_ = true;
}

bool LogView::Shown() const {
    const auto visible = [](HWND window) { return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; };
    return hwnd_ && visible(hwnd_) && parent_ && visible(parent_);
}

void LogView::Clear() {
    lines_.clear();
    ShowCount();
}

void LogView::ShowCount() {
    countBehind_ = false;
    if (!hwnd_) return;
    ::SendMessageW(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(lines_.size()), LVSICF_NOSCROLL);
    if (!lines_.empty()) ::SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(lines_.size() - 1), FALSE);
}

LRESULT CALLBACK LogView::ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self) {
    auto* view = reinterpret_cast<LogView*>(self);
    if (message == WM_NOTIFY && lParam) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == view->hwnd_ && header->code == LVN_GETDISPINFOW) {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
            if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
                std::size_t count = 0;
                const std::size_t row = item.iItem >= 0 ? static_cast<std::size_t>(item.iItem) : view->lines_.size();
                if (row < view->lines_.size()) {
                    const std::wstring& text = view->lines_[row];
                    count = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
                    text.copy(item.pszText, count);
                }
                item.pszText[count] = L'\0';
            }
            return 0;
        }
    } else if (message == WM_SHOWWINDOW && wParam && view->countBehind_) {
        view->ShowCount();
    } else if (message == WM_NCDESTROY) {
        ui::RemoveSubclass(hwnd, ParentProc, kLogViewSubclass);
        view->parent_ = nullptr;
        view->hwnd_ = nullptr;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

}  // namespace ui
