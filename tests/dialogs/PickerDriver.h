#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// Drives the platform's open dialog from outside, as a user would: finds the shell view's list
// of files and selects rows in it, which makes the dialog send its selection-change notice.

// The list view of files inside an open dialog; null while it is not there yet.
inline HWND ShellFileList(HWND openDialog) {
    HWND view = ::FindWindowExW(openDialog, nullptr, L"SHELLDLL_DefView", nullptr);
    return view ? ::FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
}

// The row showing `name` (with or without its extension, as the shell shows it); -1 when none.
inline int ShellRowOf(HWND list, const std::wstring& name) {
    const std::wstring stem = name.substr(0, name.rfind(L'.'));
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t text[MAX_PATH] = {};
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        if (_wcsicmp(text, name.c_str()) == 0) return row;
    }
    for (int row = 0; row < count; ++row) {
        wchar_t text[MAX_PATH] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        if (_wcsicmp(text, stem.c_str()) == 0) return row;
    }
    return -1;
}

// Makes `names` the selection of the list (the first focused); false when one is not shown.
inline bool SelectInShellList(HWND list, const std::vector<std::wstring>& names) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    none.state = 0;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    bool first = true;
    for (const auto& name : names) {
        const int row = ShellRowOf(list, name);
        if (row < 0) return false;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = first ? (LVIS_SELECTED | LVIS_FOCUSED) : LVIS_SELECTED;
        ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        first = false;
    }
    return true;
}
