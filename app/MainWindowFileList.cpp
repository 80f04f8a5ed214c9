// The main window's file list: the add gate, tick and removal commands, reloading, sorting,
// the pop-up menu and files dropped from the shell.

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "dialogs/TidemarrowDialog.h"
#include "engine/EraseFunc.h"
#include "settings/ConfigWindow.h"
#include "ui/Gdi.h"

namespace {

// The list holds no more rows than this.
constexpr int kMaxRows = 99999999;
// Width of the size text.
constexpr std::size_t kSizeWidth = 40;
// Longest name taken from a drop.
constexpr UINT kMaxDropName = 260;

const wchar_t kNoExtension[] = L"ファイル";

// Column indexes of the row texts (the first column is the tick box and icon).
enum Column : int { ColumnTick = 0, ColumnName = 1, ColumnExtension = 2, ColumnSize = 3, ColumnPath = 4 };

std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t text[16] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 16) <= 1) return fallback;
    return text;
}

// Rows compare by the code page 932 bytes of their texts, ASCII letters folded.
int CompareFolded(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

struct SortKeys {
    std::vector<std::string> keys;
    bool ascending = true;
};

// The rows carry their position before the sort as their parameter; equal keys keep that order.
int CALLBACK FileListCompare(LPARAM first, LPARAM second, LPARAM data) {
    const auto& sort = *reinterpret_cast<const SortKeys*>(data);
    const auto a = static_cast<std::size_t>(first), b = static_cast<std::size_t>(second);
    const int order = sort.ascending ? CompareFolded(sort.keys[a], sort.keys[b])
                                     : CompareFolded(sort.keys[b], sort.keys[a]);
    if (order != 0) return order;
    return a < b ? -1 : (a > b ? 1 : 0);
}

int FirstSelectedRow(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

}  // namespace

// --- settings the list follows ---

bool TMainWindow::RemoveReadOnlySetting() const {
    const TConfigWindow* config = application_.Config();
    return config && config->RemoveReadOnly();
}

bool TMainWindow::ExclusionSetting() const {
    const TConfigWindow* config = application_.Config();
    return config && config->ExclusionActive();
}

// --- pieces of a row ---

std::wstring TMainWindow::ExtensionText(const std::wstring& path) {
    std::wstring extension = ExtractFileExt(ExtractFileName(path));
    extension.erase(std::remove(extension.begin(), extension.end(), L'.'), extension.end());
    if (extension.empty()) return kNoExtension;
    ::CharUpperBuffW(extension.data(), static_cast<DWORD>(extension.size()));
    return extension;
}

std::wstring TMainWindow::SizeText(std::int64_t size) {
    const std::wstring digits = std::to_wstring(size);
    std::wstring thousands = LocaleText(LOCALE_STHOUSAND, L",");
    std::wstring decimal = LocaleText(LOCALE_SDECIMAL, L".");
    NUMBERFMTW format{};
    format.NumDigits = 0;
    format.LeadingZero = 1;  // zero shows as "0"
    format.Grouping = 3;
    format.lpDecimalSep = decimal.data();
    format.lpThousandSep = thousands.data();
    format.NegativeOrder = 1;
    wchar_t text[64] = {};
    std::wstring number = digits;
    if (::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, text, 64) > 0) number = text;
    if (number.size() < kSizeWidth) number.insert(0, kSizeWidth - number.size(), L' ');
    return number;
}

bool TMainWindow::IsOnFixedDisk(const std::wstring& path) {
    if (!FileExists(path) || DirectoryExists(path)) return false;
    // Only paths under a drive letter name a local disk.
    if (path.size() < 2 || path[1] != L':' || !((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        return false;
    const std::wstring root = path.substr(0, 2) + L"\\";
    return ::GetDriveTypeW(root.c_str()) == DRIVE_FIXED;
}

int TMainWindow::AddSmallIcon(const std::wstring& path, HIMAGELIST images) {
    if (!images) throw std::runtime_error("ImageList2");
    SHFILEINFOW info{};
    ::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON);
    struct IconOwner {
        HICON icon;
        ~IconOwner() {
            if (icon) ::DestroyIcon(icon);
        }
    } icon{info.hIcon};

    ui::WindowDC screen(nullptr);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = 16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    ui::Bitmap image(::CreateDIBSection(screen.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    ui::Bitmap mask(::CreateDIBSection(screen.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!image || !mask) throw std::runtime_error("icon bitmaps");
    ui::MemoryDC memory(screen.get());
    const RECT all{0, 0, 16, 16};
    {
        ui::ScopedSelect select(memory.get(), image.get());
        ::FillRect(memory.get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        if (icon.icon) ::DrawIconEx(memory.get(), 0, 0, icon.icon, 16, 16, 0, nullptr, DI_IMAGE);
    }
    {
        // Without an icon the whole square is transparent.
        ui::ScopedSelect select(memory.get(), mask.get());
        ::FillRect(memory.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        if (icon.icon) ::DrawIconEx(memory.get(), 0, 0, icon.icon, 16, 16, 0, nullptr, DI_MASK);
    }
    const int index = ::ImageList_Add(images, image.get(), mask.get());
    if (index < 0) throw std::runtime_error("ImageList_Add");
    return index;
}

// --- the gate ---

void TMainWindow::AddFileToList(const std::wstring& path, bool excludeReadOnly, bool useExclusions) {
    if (visiblePanel_ != ContentPanel::List || !FileExists(path) || !IsOnFixedDisk(path)) return;
    try {
        if (FileList.RowCount() >= kMaxRows) return;
        const std::wstring extension = ExtensionText(path);
        if (excludeReadOnly && useExclusions) {
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;
        }
        if (useExclusions) {
            TConfigWindow* config = application_.Config();
            if (config && config->IsExcludedExtension(extension)) return;
        }
        const std::int64_t size = FileSizeOf(path);
        if (size < 0) return;
        const int image = AddSmallIcon(path, ImageList2.get());
        const int row = FileList.AddRow({L"", ExtractFileName(path), extension, SizeText(size), path}, true, image);
        if (row < 0) throw std::runtime_error("row");
        ::UpdateWindow(FileList.Handle());
        UpdateListActions();
    } catch (...) {
        RaiseAssertion(AssertSite::MainAddFile, path);
    }
}

void TMainWindow::AddFilesToList(const std::vector<std::wstring>& paths, bool excludeReadOnly, bool useExclusions) {
    // The list is drawn once after the batch instead of after every row: each row still gets
    // its own icon, size and tick, but a large folder is not repainted thousands of times.
    struct RedrawPause {
        HWND list;
        explicit RedrawPause(HWND l) : list(l) { ::SendMessageW(list, WM_SETREDRAW, FALSE, 0); }
        ~RedrawPause() {
            ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            ::InvalidateRect(list, nullptr, TRUE);
            ::UpdateWindow(list);
        }
    } pause(FileList.Handle());
    for (const std::wstring& path : paths) AddFileToList(path, excludeReadOnly, useExclusions);
}

// --- whole-list operations ---

void TMainWindow::SetAllTicks(bool ticked) { FileList.SetAllTicked(ticked); }

int TMainWindow::CountTicked() const { return FileList.TickedCount(); }

void TMainWindow::RemoveRowsByTick(bool ticked) {
    try {
        // Deleting from the bottom up removes exactly the rows in that state, in one pass.
        for (int row = FileList.RowCount() - 1; row >= 0; --row) {
            if (FileList.IsTicked(row) != ticked) continue;
            if (!FileList.RemoveRow(row)) throw std::runtime_error("remove");
        }
        UpdateListActions();
    } catch (...) {
        RaiseAssertion(AssertSite::MainDeleteFileList);
    }
}

void TMainWindow::ReloadFileList() {
    try {
        std::vector<std::wstring> survivors;
        const int rows = FileList.RowCount();
        for (int row = 0; row < rows; ++row) {
            std::wstring path = FileList.Text(row, ColumnPath);
            if (FileExists(path)) survivors.push_back(std::move(path));
        }
        ClearFileList();
        AddFilesToList(survivors, RemoveReadOnlySetting(), ExclusionSetting());
    } catch (...) {
        RaiseAssertion(AssertSite::MainReload);
    }
}

void TMainWindow::SortFileList() {
    HWND list = FileList.Handle();
    const int rows = FileList.RowCount();
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SortKeys sort;
    sort.ascending = SortAscending;
    sort.keys.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        // The first column holds no text: it sorts the ticked rows first.
        if (SortColumn <= ColumnTick)
            sort.keys.push_back(FileList.IsTicked(row) ? "0" : "1");
        else
            sort.keys.push_back(EncodeCp932(FileList.Text(row, SortColumn)));
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = row;
        ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    ::SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&sort), reinterpret_cast<LPARAM>(FileListCompare));
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void TMainWindow::FileListColumnClick(int column) {
    SortColumn = column;
    SortAscending = !SortAscending;
    SortFileList();
}

// --- commands ---

void TMainWindow::Action1Execute() { ChooseFilesToAdd(); }

void TMainWindow::ChooseFilesToAdd() {
    // The picker shows the list's size, the mode and the exclusion gate, and lets the user turn
    // the exclusions off for the files it adds.
    TTidemarrowOpenDialog picker;
    const TConfigWindow* config = application_.Config();
    picker.SetCurrentSettings(FileList.RowCount(), config ? static_cast<int>(config->CurrentEraseMode()) : 0,
                              ExclusionSetting());
    if (!picker.Execute(Handle())) return;
    AddFilesToList(picker.Files(), RemoveReadOnlySetting(), picker.ExclusionInForce());
}

void TMainWindow::Action9Execute() {
    BROWSEINFOW browse{};
    browse.hwndOwner = Handle();
    browse.lpszTitle = L"フォルダを選択して下さい";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (!chosen) return;
    wchar_t folder[MAX_PATH] = {};
    const bool named = ::SHGetPathFromIDListW(chosen, folder) != FALSE;
    ::CoTaskMemFree(chosen);
    if (named) AddFolderFiles(folder);
}

void TMainWindow::AddFolderFiles(const std::wstring& folder) {
    if (!DirectoryExists(folder)) return;
    const std::wstring question = L"フォルダ内のファイルを追加します。\r\n\r\n\"" + folder +
                                  L"\"\r\n のサブフォルダも検索し追加しますか？";
    const bool recurse = ::MessageBoxW(Handle(), question.c_str(), application_.Title().c_str(),
                                       MB_YESNO | MB_ICONQUESTION) == IDYES;
    std::vector<std::wstring> found;
    CollectFolder(folder, L"", found, recurse);
    AddFilesToList(found, RemoveReadOnlySetting(), ExclusionSetting());
}

void TMainWindow::Action4Execute() {
    if (::MessageBoxW(Handle(), L"ファイルリストをクリアします。よろしいですか？\u3000", L"リストクリアの確認",
                      MB_YESNO | MB_ICONQUESTION) == IDYES)
        ClearFileList();
}

void TMainWindow::Action5Execute() { SetAllTicks(true); }
void TMainWindow::Action6Execute() { SetAllTicks(false); }
void TMainWindow::Action11Execute() { RemoveRowsByTick(false); }
void TMainWindow::Action12Execute() { RemoveRowsByTick(true); }
void TMainWindow::Action22Execute() { RemoveSelectedRow(); }
void TMainWindow::FileListDblClick() { RemoveSelectedRow(); }

void TMainWindow::RemoveSelectedRow() {
    if (FileList.RowCount() == 0 || FirstSelectedRow(FileList.Handle()) < 0) return;
    if (::MessageBoxW(Handle(), L"このファイルをリストから削除します。よろしいですか？", L"確認",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The selection is read again: the list may have changed while the box showed.
    const int row = FirstSelectedRow(FileList.Handle());
    if (row >= 0) FileList.RemoveRow(row);
    UpdateListActions();
}

void TMainWindow::FileListContextPopup() {
    try {
        if (PopupBusy || FileList.RowCount() == 0 || FirstSelectedRow(FileList.Handle()) < 0 || !FileListPopup.get())
            return;
        PopupBusy = true;
        POINT at{};
        ::GetCursorPos(&at);
        ::TrackPopupMenu(FileListPopup.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
        PopupBusy = false;
    } catch (...) {
        PopupBusy = false;
    }
}

bool TMainWindow::FileListNotify(const NMHDR& header, LRESULT& result) {
    if (!FileList.Handle() || header.hwndFrom != FileList.Handle()) return false;
    switch (header.code) {
    case LVN_COLUMNCLICK:
        FileListColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        result = 0;
        return true;
    case NM_DBLCLK:
        FileListDblClick();
        result = 0;
        return true;
    case NM_RCLICK:
        FileListContextPopup();
        result = 0;
        return true;
    default:
        return false;
    }
}

// --- files from the shell ---

void TMainWindow::FormDropFiles(HDROP drop) {
    if (Busy) {
        ::DragFinish(drop);
        return;
    }
    try {
        std::vector<std::wstring> found;
        const bool recurse = application_.Config() && application_.Config()->Dropfile();
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            // A longer name is left out rather than cut short into some other path.
            const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
            if (length == 0 || length > kMaxDropName) continue;
            std::wstring name(length + 1, L'\0');
            name.resize(::DragQueryFileW(drop, i, name.data(), length + 1));
            if (DirectoryExists(name))
                CollectFolder(name, L"", found, recurse);
            else if (FileExists(name))
                found.push_back(name);
        }
        AddFilesToList(found, RemoveReadOnlySetting(), ExclusionSetting());
    } catch (...) {
        RaiseAssertion(AssertSite::MainShellDrop);
    }
    ::DragFinish(drop);
}
