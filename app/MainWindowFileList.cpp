// The main window's file list: the add gate, tick and removal commands, reloading, sorting,
// the pop-up menu and files dropped from the shell.

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/FileSystem.h"
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

const wchar_t kNoExtension[] = L"ファイル";

// Column indexes of the row texts (the first column is the tick box and icon).
enum Column : int { ColumnTick = 0, ColumnName = 1, ColumnExtension = 2, ColumnSize = 3, ColumnPath = 4 };

std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t text[16] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 16) <= 1) return fallback;
    return text;
}

// Whether the byte starts a double-byte character of code page 932.
bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Rows compare by the code page 932 bytes of their texts, the letters of single-byte characters
// folded. The second byte of a double-byte character is never folded (カ is 83 4A, ニ 83 6A).
// Both texts are equal up to the byte compared, so they are inside a character alike.
int CompareFolded(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    bool secondByte = false;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (secondByte) {
            secondByte = false;
        } else {
            secondByte = IsCp932LeadByte(x);
            if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
            if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        }
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

// --- small icons ---
//
// Asking the shell for one file's icon costs milliseconds, most of it spent finding the file and
// its type. For most types the picture depends only on the extension, so it is asked for once
// per extension (without touching any file) and every row of that type gets a copy. Types
// registered with "%1" as their icon (programs) show the first icon stored in the file, read
// straight from it, or their type's picture when the file holds none. Types with an icon
// handler, and icons, cursors, shortcuts and the like, are asked from the shell file by file.

struct IconOwner {
    HICON icon = nullptr;
    IconOwner() = default;
    explicit IconOwner(HICON i) : icon(i) {}
    IconOwner(const IconOwner&) = delete;
    IconOwner& operator=(const IconOwner&) = delete;
    IconOwner(IconOwner&& other) noexcept : icon(std::exchange(other.icon, nullptr)) {}
    ~IconOwner() {
        if (icon) ::DestroyIcon(icon);
    }
    HICON get() const { return icon; }
};

// A row's picture: 16 x 16, 24-bit image and mask bitmaps.
struct SmallIcon {
    ui::Bitmap image;
    ui::Bitmap mask;
};

struct RegKeyTraits {
    using handle_type = HKEY;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type key) noexcept { ::RegCloseKey(key); }
};
using UniqueRegKey = UniqueHandleT<RegKeyTraits>;

UniqueRegKey OpenClassKey(const std::wstring& name) {
    HKEY key = nullptr;
    if (name.empty() || ::RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return UniqueRegKey();
    return UniqueRegKey(key);
}

bool ClassKeyExists(const std::wstring& name) { return static_cast<bool>(OpenClassKey(name)); }

// The default value of a key under HKEY_CLASSES_ROOT; empty when it has none.
std::wstring ClassDefaultValue(const std::wstring& name) {
    UniqueRegKey key = OpenClassKey(name);
    if (!key) return L"";
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0 || bytes > 64 * 1024)
        return L"";
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return L"";
    value.resize(std::min<std::size_t>(size / sizeof(wchar_t), value.size()));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

// Where a type's small icon comes from.
enum class IconSource {
    Type,          // the type's own picture, the same for every file of it
    FileResource,  // the first icon stored in the file ("%1"), or the type's picture without one
    Shell,         // an icon handler or some other arrangement: the shell is asked file by file
};

// What the registration of a class (an extension key or a program identifier) says; Type when
// it says nothing about the file.
IconSource ClassIconSource(const std::wstring& name) {
    if (name.empty()) return IconSource::Type;
    if (ClassKeyExists(name + L"\\shellex\\IconHandler")) return IconSource::Shell;
    std::wstring icon = ClassDefaultValue(name + L"\\DefaultIcon");
    if (icon.find(L"%1") == std::wstring::npos) return IconSource::Type;
    icon.erase(std::remove(icon.begin(), icon.end(), L'"'), icon.end());
    return icon == L"%1" ? IconSource::FileResource : IconSource::Shell;
}

IconSource TypeIconSource(const std::wstring& extension) {
    if (extension.empty()) return IconSource::Type;
    if (ClassKeyExists(L"SystemFileAssociations\\" + extension + L"\\shellex\\IconHandler"))
        return IconSource::Shell;
    IconSource source = ClassIconSource(extension);
    const std::wstring program = ClassDefaultValue(extension);
    if (source == IconSource::Type) source = ClassIconSource(program);
    if (source == IconSource::Type && !program.empty()) source = ClassIconSource(ClassDefaultValue(program + L"\\CurVer"));
    if (source != IconSource::Type) return source;
    // Programs, libraries, icons, cursors, shortcuts, screen savers and control panel items
    // show a picture of their own even where the registry does not say so.
    static const wchar_t* const kOwnIcon[] = {L".exe", L".dll", L".ico", L".cur", L".ani", L".lnk", L".url",
                                              L".scr", L".cpl", L".pif", L".icl", L".ocx", L".msc"};
    for (const wchar_t* own : kOwnIcon)
        if (extension == own) return IconSource::Shell;
    return IconSource::Type;
}

// The file's type as the shell reads it from the name (the lower-case text from the last dot,
// empty without one) and where its icon comes from. A name odd enough (a blank after its last
// dot, a trailing dot or blank) is left to the shell.
IconSource IconSourceOf(const std::wstring& path, std::wstring& type) {
    const std::wstring name = ExtractFileName(path);
    if (name.empty() || name.back() == L' ' || name.back() == L'.') return IconSource::Shell;
    const std::size_t dot = name.rfind(L'.');
    type = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    if (type.find(L' ') != std::wstring::npos) return IconSource::Shell;
    ::CharLowerBuffW(type.data(), static_cast<DWORD>(type.size()));
    // The registry is read once per type.
    static std::map<std::wstring, IconSource> known;
    const auto found = known.find(type);
    if (found != known.end()) return found->second;
    const IconSource source = TypeIconSource(type);
    if (known.size() < 1024) known.emplace(type, source);
    return source;
}

IconOwner ShellIcon(const std::wstring& path, bool byTypeOnly) {
    SHFILEINFOW info{};
    UINT flags = SHGFI_ICON | SHGFI_SMALLICON;
    if (byTypeOnly) flags |= SHGFI_USEFILEATTRIBUTES;
    ::SHGetFileInfoW(path.c_str(), byTypeOnly ? FILE_ATTRIBUTE_NORMAL : 0, &info, sizeof(info), flags);
    return IconOwner(info.hIcon);
}

// The small version of the first icon stored in the file; none when it holds no icons.
IconOwner FirstIconIn(const std::wstring& path) {
    HICON small = nullptr;
    if (::ExtractIconExW(path.c_str(), 0, nullptr, &small, 1) == 0) small = nullptr;
    return IconOwner(small);
}

// Draws the icon into a 16 x 16 image on black and a mask on white; without an icon the whole
// square is transparent.
SmallIcon DrawSmallIcon(HICON icon) {
    ui::WindowDC screen(nullptr);
    SmallIcon result;
    result.image.reset(ui::CreateDib24(screen.get(), 16, 16, false));
    result.mask.reset(ui::CreateDib24(screen.get(), 16, 16, false));
    if (!result.image || !result.mask) throw std::runtime_error("icon bitmaps");
    ui::MemoryDC memory(screen.get());
    const RECT all{0, 0, 16, 16};
    {
        ui::ScopedSelect select(memory.get(), result.image.get());
        ::FillRect(memory.get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        if (icon) ::DrawIconEx(memory.get(), 0, 0, icon, 16, 16, 0, nullptr, DI_IMAGE);
    }
    {
        ui::ScopedSelect select(memory.get(), result.mask.get());
        ::FillRect(memory.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        if (icon) ::DrawIconEx(memory.get(), 0, 0, icon, 16, 16, 0, nullptr, DI_MASK);
    }
    return result;
}

// Types seen so far; a folder of countless odd extensions stops filling it and asks the shell
// by type for each further one.
constexpr std::size_t kMaxSharedIcons = 64;

const SmallIcon* SharedIconOf(const std::wstring& type, const std::wstring& path) {
    static std::map<std::wstring, SmallIcon> shared;
    const auto found = shared.find(type);
    if (found != shared.end()) return &found->second;
    if (shared.size() >= kMaxSharedIcons) return nullptr;
    return &shared.emplace(type, DrawSmallIcon(ShellIcon(path, true).get())).first->second;
}

int AppendIcon(HIMAGELIST images, const SmallIcon& icon) {
    const int index = ::ImageList_Add(images, icon.image.get(), icon.mask.get());
    if (index < 0) throw std::runtime_error("ImageList_Add");
    return index;
}

// --- drives ---

// While a batch of files is added, each drive's type is asked for once.
std::map<std::wstring, UINT>* batchDriveTypes = nullptr;

struct BatchDriveTypes {
    std::map<std::wstring, UINT> types;
    std::map<std::wstring, UINT>* outer;
    BatchDriveTypes() : outer(batchDriveTypes) {
        if (!outer) batchDriveTypes = &types;
    }
    ~BatchDriveTypes() {
        if (!outer) batchDriveTypes = nullptr;
    }
    BatchDriveTypes(const BatchDriveTypes&) = delete;
    BatchDriveTypes& operator=(const BatchDriveTypes&) = delete;
};

// --- folders ---

// Gathers a folder's entries for the list, counting the files among them that no path can
// reach (names the Windows rules forbid, links that lead nowhere): the list could not take them.
// The listing's attributes and size go with each file; a link's are read from what it leads to.
void GatherFolder(const std::wstring& folder, bool recurse, std::vector<TMainWindow::ListedFile>& found,
                  int& unreachable) {
    CollectFolderEntries(
        folder, L"",
        [&](const FolderEntry& entry) {
            if (!entry.addressable) {
                // A folder counts only where its files were wanted.
                if (!entry.folder || recurse) ++unreachable;
            } else if (entry.size < 0) {
                if (!entry.folder && !FileExists(entry.path))
                    ++unreachable;
                else
                    found.push_back({entry.path});
            } else {
                found.push_back({entry.path, entry.attributes, entry.size});
            }
        },
        recurse);
}

UINT DriveTypeOf(const std::wstring& root) {
    if (!batchDriveTypes) return ::GetDriveTypeW(root.c_str());
    std::wstring key = root;
    ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    const auto known = batchDriveTypes->find(key);
    if (known != batchDriveTypes->end()) return known->second;
    const UINT type = ::GetDriveTypeW(root.c_str());
    batchDriveTypes->emplace(std::move(key), type);
    return type;
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

// Only paths under a drive letter name a local disk.
bool TMainWindow::OnFixedDrive(const std::wstring& path) {
    if (path.size() < 2 || path[1] != L':' || !((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
        return false;
    const std::wstring root = path.substr(0, 2) + L"\\";
    return DriveTypeOf(root) == DRIVE_FIXED;
}

bool TMainWindow::IsOnFixedDisk(const std::wstring& path) {
    return FileExists(path) && OnFixedDrive(path);  // a folder is not a file
}

void TMainWindow::PrepareShellIcons() {
    // The shell wants COM on a thread that asks it for icons.
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    SHFILEINFOW info{};
    ::SHGetFileInfoW(L"x.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                     SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    if (com) ::CoUninitialize();
}

int TMainWindow::AddSmallIcon(const std::wstring& path, HIMAGELIST images) {
    if (!images) throw std::runtime_error("FileIcons");
    std::wstring type;
    switch (IconSourceOf(path, type)) {
    case IconSource::Type:
        break;
    case IconSource::FileResource:
        if (IconOwner own = FirstIconIn(path); own.get()) return AppendIcon(images, DrawSmallIcon(own.get()));
        break;  // a file without icons shows its type's picture
    case IconSource::Shell:
        return AppendIcon(images, DrawSmallIcon(ShellIcon(path, false).get()));
    }
    if (const SmallIcon* shared = SharedIconOf(type, path)) return AppendIcon(images, *shared);
    return AppendIcon(images, DrawSmallIcon(ShellIcon(path, true).get()));
}

int TMainWindow::ListIcon(const std::wstring& path, DWORD attributes) {
    HIMAGELIST images = FileIcons.get();
    if (!images) throw std::runtime_error("FileIcons");
    // Offline, recall on open (0x40000), recall on data access (0x400000).
    constexpr DWORD kPlaceholder = FILE_ATTRIBUTE_OFFLINE | 0x00040000 | 0x00400000;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & kPlaceholder)) return AddSmallIcon(path, images);
    // A placeholder shows its type's picture: the shell would read the file for one of its own.
    std::wstring type;
    const bool oddName = IconSourceOf(path, type) == IconSource::Shell && type.empty();
    if (const SmallIcon* shared = oddName ? nullptr : SharedIconOf(type, path)) return AppendIcon(images, *shared);
    return AppendIcon(images, DrawSmallIcon(ShellIcon(path, true).get()));
}

// --- the gate ---

void TMainWindow::AddFileToList(const std::wstring& path, bool excludeReadOnly, bool useExclusions) {
    AddFileToList(ListedFile{path}, excludeReadOnly, useExclusions);
}

void TMainWindow::AddFileToList(const ListedFile& file, bool excludeReadOnly, bool useExclusions) {
    if (visiblePanel_ != ContentPanel::List) return;
    const std::wstring& path = file.path;
    const DWORD attributes = file.attributes != INVALID_FILE_ATTRIBUTES ? file.attributes : FsGetAttributes(path);
    // Only an existing file (a folder is not one) on a fixed local disk.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) || !OnFixedDrive(path)) return;
    try {
        if (FileList.RowCount() >= kMaxRows) return;
        const std::wstring extension = ExtensionText(path);
        if (excludeReadOnly && useExclusions && (attributes & FILE_ATTRIBUTE_READONLY)) return;
        if (useExclusions) {
            TConfigWindow* config = application_.Config();
            if (config && config->IsExcludedExtension(extension)) return;
        }
        const std::int64_t size = file.size >= 0 ? file.size : FileSizeOf(path);
        if (size < 0) return;
        const int image = ListIcon(path, attributes);
        const int row = FileList.AddRow({L"", ExtractFileName(path), extension, SizeText(size), path}, true, image);
        if (row < 0) throw std::runtime_error("row");
        if (addingBatch_) return;
        ::UpdateWindow(FileList.Handle());
        UpdateListActions();
    } catch (...) {
        RaiseAssertion(AssertSite::MainAddFile, path);
    }
}

void TMainWindow::AddFilesToList(const std::vector<std::wstring>& paths, bool excludeReadOnly, bool useExclusions) {
    std::vector<ListedFile> files;
    files.reserve(paths.size());
    for (const std::wstring& path : paths) files.push_back({path});
    AddFilesToList(files, excludeReadOnly, useExclusions);
}

void TMainWindow::AddFilesToList(const std::vector<ListedFile>& files, bool excludeReadOnly, bool useExclusions) {
    // The list is drawn once after the batch instead of after every row: each row still gets
    // its own icon, size and tick, but a large folder is not repainted thousands of times.
    struct BatchPause {
        TMainWindow& window;
        bool outer;
        explicit BatchPause(TMainWindow& w) : window(w), outer(w.addingBatch_) {
            if (outer) return;
            window.addingBatch_ = true;
            ::SendMessageW(window.FileList.Handle(), WM_SETREDRAW, FALSE, 0);
        }
        ~BatchPause() {
            if (outer) return;
            window.addingBatch_ = false;
            HWND list = window.FileList.Handle();
            ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            ::InvalidateRect(list, nullptr, TRUE);
            ::UpdateWindow(list);
            window.UpdateListActions();
        }
        BatchPause(const BatchPause&) = delete;
        BatchPause& operator=(const BatchPause&) = delete;
    } pause(*this);
    BatchDriveTypes drives;
    for (const ListedFile& file : files) AddFileToList(file, excludeReadOnly, useExclusions);
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
        std::vector<ListedFile> survivors;
        const int rows = FileList.RowCount();
        for (int row = 0; row < rows; ++row) {
            if (static_cast<std::size_t>(row) < erasedRows_.size() && erasedRows_[static_cast<std::size_t>(row)])
                continue;
            std::wstring path = FileList.Text(row, ColumnPath);
            // The size is read again; the attributes just read are the gate's.
            const DWORD attributes = FsGetAttributes(path);
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                survivors.push_back({std::move(path), attributes});
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

void TMainWindow::AddFiles() { ChooseFilesToAdd(); }

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

void TMainWindow::AddFolder() {
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
    std::vector<ListedFile> found;
    int unreachable = 0;
    GatherFolder(folder, recurse, found, unreachable);
    AddFilesToList(found, RemoveReadOnlySetting(), ExclusionSetting());
    TellUnreachable(unreachable);
}

void TMainWindow::TellUnreachable(int count) {
    if (count <= 0 || visiblePanel_ != ContentPanel::List) return;
    const std::wstring text = L"リストに追加できないファイルが" + std::to_wstring(count) + L"個ありました。";
    ::MessageBoxW(Handle(), text.c_str(), application_.Title().c_str(), MB_OK | MB_ICONWARNING);
}

void TMainWindow::ClearList() {
    if (::MessageBoxW(Handle(), L"ファイルリストをクリアします。よろしいですか？\u3000", L"リストクリアの確認",
                      MB_YESNO | MB_ICONQUESTION) == IDYES)
        ClearFileList();
}

void TMainWindow::TickAll() { SetAllTicks(true); }
void TMainWindow::UntickAll() { SetAllTicks(false); }
void TMainWindow::RemoveUnticked() { RemoveRowsByTick(false); }
void TMainWindow::RemoveTicked() { RemoveRowsByTick(true); }
void TMainWindow::RemoveSelected() { RemoveSelectedRow(); }
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
    int unreachable = 0;
    try {
        std::vector<std::wstring> names;
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            // Names of any length are taken whole (the file-system door reaches long paths).
            const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
            if (length == 0) continue;
            std::wstring name(length + 1, L'\0');
            name.resize(::DragQueryFileW(drop, i, name.data(), length + 1));
            names.push_back(std::move(name));
        }
        unreachable = AddShellPaths(names);
    } catch (...) {
        RaiseAssertion(AssertSite::MainShellDrop);
    }
    // The shell is let go before any message is shown.
    ::DragFinish(drop);
    TellUnreachable(unreachable);
}

int TMainWindow::AddShellPaths(const std::vector<std::wstring>& names) {
    std::vector<ListedFile> found;
    int unreachable = 0;
    const bool recurse = application_.Config() && application_.Config()->Dropfile();
    for (const std::wstring& name : names) {
        if (DirectoryExists(name))
            GatherFolder(name, recurse, found, unreachable);
        else if (FileExists(name))
            found.push_back({name});
    }
    AddFilesToList(found, RemoveReadOnlySetting(), ExclusionSetting());
    return unreachable;
}
