#include "dialogs/TidemarrowDialog.h"

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
extern "C" {
#include <jpeglib.h>
}

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "dialogs/DialogIds.h"
#include "resources/ResourceIds.h"
#include "ui/Subclass.h"

namespace {

// A text preview reads at most this much of the file: enough to fill the box many times over,
// and a huge log never stalls the dialog.
constexpr DWORD kTextPreviewBytes = 1024 * 1024;
// JPEG files larger than this are not previewed.
constexpr DWORD kJpegMaxBytes = 64 * 1024 * 1024;
// Nor are pictures with more pixels than this.
constexpr unsigned long long kJpegMaxPixels = 40ull * 1000 * 1000;

const wchar_t kHookProperty[] = L"TTidemarrowOpenDialog";

// Reads up to `limit` bytes from the start of a file; false when it cannot be read.
bool ReadFileStart(const std::wstring& path, DWORD limit, std::string& bytes, bool* whole = nullptr) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
    if (whole) *whole = size.QuadPart <= limit;
    const DWORD wanted = size.QuadPart > limit ? limit : static_cast<DWORD>(size.QuadPart);
    bytes.assign(wanted, '\0');
    DWORD done = 0;
    while (done < wanted) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, wanted - done, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return true;
}

ui::Bitmap FilledBitmap(int width, int height, COLORREF colour) {
    ui::Bitmap bitmap(ui::CreateDib24(nullptr, width, height, true));
    if (!bitmap) return bitmap;
    ui::MemoryDC dc(nullptr);
    if (!dc.get()) return ui::Bitmap();
    ui::ScopedSelect select(dc.get(), bitmap.get());
    ui::Brush brush(::CreateSolidBrush(colour));
    RECT all{0, 0, width, height};
    ::FillRect(dc.get(), &all, brush.get());
    return bitmap;
}

// ---- JPEG decoding: plain C, so the decoder's long jump on an error leaves nothing undone ----

struct JpegErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
};

struct JpegPixels {
    unsigned char* rows = nullptr;  // top-down BGR rows of `stride` bytes, from malloc
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int stride = 0;
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

// A warning (a truncated or corrupt stream) counts as damage; trace messages are dropped.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0) std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

extern "C" void JpegOutputMessage(j_common_ptr) {}

// Decodes `size` bytes of JPEG into `out` (rows freed by the caller); false when damaged.
bool DecodeJpegPixels(const unsigned char* data, unsigned long size, JpegPixels* out) {
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    std::memset(&info, 0, sizeof(info));
    info.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = JpegErrorExit;
    errors.standard.emit_message = JpegEmitMessage;
    errors.standard.output_message = JpegOutputMessage;
    out->rows = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        std::free(out->rows);
        out->rows = nullptr;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_components != 3 ||
        static_cast<unsigned long long>(info.output_width) * info.output_height > kJpegMaxPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    out->width = info.output_width;
    out->height = info.output_height;
    out->stride = (info.output_width * 3 + 3) & ~3u;
    out->rows = static_cast<unsigned char*>(std::calloc(out->height, out->stride));
    if (!out->rows) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->rows + static_cast<std::size_t>(info.output_scanline) * out->stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// ---- other picture kinds ----

HBITMAP LoadBitmapFile(const std::wstring& path) {
    return static_cast<HBITMAP>(
        ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

// A Windows metafile, with or without the placeable header, played onto a bitmap of its size
// (150 × 150 when the file does not say).
ui::Bitmap LoadMetafile(const std::wstring& path) {
    std::string bytes;
    if (!ReadFileStart(path, kJpegMaxBytes, bytes)) return ui::Bitmap();
    int width = kPreviewSize, height = kPreviewSize;
    std::size_t offset = 0;
    auto word = [&](std::size_t at) {
        return static_cast<short>(static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    if (bytes.size() >= 22 && static_cast<unsigned char>(bytes[0]) == 0xD7 &&
        static_cast<unsigned char>(bytes[1]) == 0xCD && static_cast<unsigned char>(bytes[2]) == 0xC6 &&
        static_cast<unsigned char>(bytes[3]) == 0x9A) {
        const int inch = static_cast<unsigned short>(word(14));
        if (inch > 0) {
            width = (word(10) - word(6)) * 96 / inch;
            height = (word(12) - word(8)) * 96 / inch;
        }
        offset = 22;
    }
    if (width <= 0 || height <= 0 || width > 4000 || height > 4000) return ui::Bitmap();
    if (bytes.size() <= offset + 18) return ui::Bitmap();
    METAFILEPICT picture{MM_ANISOTROPIC, width * 2540 / 96, height * 2540 / 96, nullptr};
    HENHMETAFILE metafile = ::SetWinMetaFileBits(static_cast<UINT>(bytes.size() - offset),
                                                 reinterpret_cast<const BYTE*>(bytes.data() + offset), nullptr, &picture);
    if (!metafile) return ui::Bitmap();
    ui::Bitmap bitmap = FilledBitmap(width, height, RGB(255, 255, 255));
    bool played = false;
    if (bitmap) {
        ui::MemoryDC dc(nullptr);
        if (dc.get()) {
            ui::ScopedSelect select(dc.get(), bitmap.get());
            RECT all{0, 0, width, height};
            played = ::PlayEnhMetaFile(dc.get(), metafile, &all) != FALSE;
        }
    }
    ::DeleteEnhMetaFile(metafile);
    if (!played) bitmap.reset();
    return bitmap;
}

ui::Bitmap LoadIconPreview(const std::wstring& path, COLORREF panelColour) {
    HICON icon = static_cast<HICON>(::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    if (!icon) return ui::Bitmap();
    ui::Bitmap bitmap = FilledBitmap(kPreviewSize, kPreviewSize, panelColour);
    bool drawn = false;
    if (bitmap) {
        ui::MemoryDC dc(nullptr);
        if (dc.get()) {
            ui::ScopedSelect select(dc.get(), bitmap.get());
            drawn = ::DrawIconEx(dc.get(), 60, 60, icon, 0, 0, 0, nullptr, DI_NORMAL) != FALSE;
        }
    }
    ::DestroyIcon(icon);
    if (!drawn) bitmap.reset();
    return bitmap;
}

bool LoadTextPreview(const std::wstring& path, std::wstring& text) {
    std::string bytes;
    bool whole = false;
    if (!ReadFileStart(path, kTextPreviewBytes, bytes, &whole)) return false;
    // The same forms as the program's own text files: UTF-16 or UTF-8 by their marks, UTF-8
    // without one, Shift_JIS.
    std::vector<std::wstring> lines = DecodeTextFile(bytes, nullptr, !whole);
    // The start of a long file ends with its last whole line.
    if (!whole && lines.size() > 1) lines.pop_back();
    text.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += L"\r\n";
        text += lines[i];
    }
    return true;
}

const wchar_t* ModeName(int eraseMode) {
    switch (eraseMode) {
    case 1: return L"Normal";
    case 2: return L"High";
    case 3: return L"Custom";
    default: return L"Speed";
    }
}

// The text preview offers no context menu.
LRESULT CALLBACK NoContextMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CONTEXTMENU) return 0;
    return ui::DefSubclass(window, message, wParam, lParam);
}

bool IsExistingFile(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// ---- plain functions ----

std::wstring LowerExtension(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/:");
    const std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return L"";
    std::wstring extension = path.substr(dot);
    for (auto& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

ui::Bitmap MakePlaceholder() { return FilledBitmap(kPreviewSize, kPreviewSize, RGB(0x80, 0x80, 0x80)); }

HBITMAP DecodeJpeg(const std::wstring& path) {
    std::string bytes;
    bool whole = false;
    if (!ReadFileStart(path, kJpegMaxBytes, bytes, &whole) || !whole || bytes.empty()) return nullptr;
    JpegPixels pixels;
    if (!DecodeJpegPixels(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()),
                          &pixels))
        return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = ui::CreateDib24(nullptr, static_cast<int>(pixels.width), static_cast<int>(pixels.height), true, &bits);
    if (bitmap && bits) std::memcpy(bits, pixels.rows, static_cast<std::size_t>(pixels.stride) * pixels.height);
    std::free(pixels.rows);
    return bitmap;
}

PreviewContent LoadPreview(const std::wstring& path, COLORREF panelColour) {
    PreviewContent content;
    try {
        const std::wstring extension = LowerExtension(path);
        ui::Bitmap picture;
        if (extension == L".bmp") {
            picture.reset(LoadBitmapFile(path));
        } else if (extension == L".wmf") {
            picture = LoadMetafile(path);
        } else if (extension == L".jpg") {
            picture.reset(DecodeJpeg(path));
        } else if (extension == L".ico") {
            picture = LoadIconPreview(path, panelColour);
        } else if (extension == L".txt" || extension == L".log" || extension == L".doc") {
            std::wstring text;
            if (LoadTextPreview(path, text)) {
                content.kind = PreviewKind::Text;
                content.text = std::move(text);
            }
            return content;
        }
        if (picture) {
            content.kind = PreviewKind::Image;
            content.bitmap = std::move(picture);
        }
    } catch (...) {
        content = PreviewContent();
    }
    return content;
}

namespace {

// The settings group right of the preview and its text, in the panel's pixels.
constexpr int kPanelMargin = 7;
constexpr int kSettingsLeft = 7 + kPreviewSize + 6;
constexpr int kSettingsTop = 13;
constexpr int kSettingsHeight = 125;
constexpr int kSettingsTextLeft = 12;
constexpr int kSettingsTextTop = 18;
constexpr int kSettingsTextRight = 8;

// Labels of the standard controls and the controls right of them, one column: where a label's
// text (in the dialog's font) is wider than the room before its control, every control of the
// column moves right by the largest shortfall and gives up that much width, and the labels
// take their texts' widths.
void FitStandardLabels(HWND dialog, std::initializer_list<std::pair<int, int>> rows) {
    struct Row {
        HWND label;
        HWND next;
        RECT labelPlace;
        RECT nextPlace;
        int textWidth;
    };
    std::vector<Row> found;
    int missing = 0;
    for (const auto& [labelId, nextId] : rows) {
        Row row{::GetDlgItem(dialog, labelId), ::GetDlgItem(dialog, nextId), {}, {}, 0};
        if (!row.label || !row.next) continue;
        const std::wstring caption = ui::WindowText(row.label);
        ui::WindowDC dc(row.label);
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(row.label, WM_GETFONT, 0, 0));
        ui::ScopedSelect select(dc.get(), font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
        RECT bounds{0, 0, 0, 0};
        ::DrawTextW(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &bounds, DT_CALCRECT | DT_SINGLELINE);
        row.textWidth = static_cast<int>(bounds.right) + 2;
        ::GetWindowRect(row.label, &row.labelPlace);
        ::GetWindowRect(row.next, &row.nextPlace);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&row.labelPlace), 2);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&row.nextPlace), 2);
        missing = std::max(missing, row.textWidth - static_cast<int>(row.nextPlace.left - row.labelPlace.left));
        found.push_back(row);
    }
    for (const Row& row : found)
        if (missing > 0 && ui::Width(row.nextPlace) <= missing * 2) return;
    for (const Row& row : found) {
        const int room = static_cast<int>(row.nextPlace.left - row.labelPlace.left) + std::max(missing, 0);
        ::SetWindowPos(row.label, nullptr, 0, 0, std::min(std::max(row.textWidth, static_cast<int>(ui::Width(row.labelPlace))), room),
                       ui::Height(row.labelPlace), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (missing > 0)
            ::SetWindowPos(row.next, nullptr, row.nextPlace.left + missing, row.nextPlace.top,
                           ui::Width(row.nextPlace) - missing, ui::Height(row.nextPlace), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

std::wstring SettingsText(int fileCount, int eraseMode, bool exclusionOn) {
    std::wstring text = L"現在のファイルリスト総数:\r\n";
    text += L" " + std::to_wstring(fileCount) + L"\r\n";
    text += L"現在のファイル抹消モード:\r\n";
    text += std::wstring(L" ") + ModeName(eraseMode) + L"\r\n";
    text += L"除外設定:\r\n";
    text += exclusionOn ? L" 有効\r\n" : L" 無効\r\n";
    text += L"\r\n";
    text += L"*除外設定を一時的に無効にするには、右下のボタンを押し下げます。";
    return text;
}

// ---- TPreviewImage ----

bool TPreviewImage::CreatePreview(HWND parent, int x, int y, int width, int height, int id) {
    return CreateControlOfClass(L"TPreviewImage", parent, x, y, width, height, id);
}

RECT TPreviewImage::PictureRect() const {
    RECT client{};
    if (Handle()) ::GetClientRect(Handle(), &client);
    const SIZE size = PictureSize();
    int width = size.cx, height = size.cy;
    const int boxWidth = ui::Width(client), boxHeight = ui::Height(client);
    if (width <= 0 || height <= 0) return RECT{0, 0, 0, 0};
    if (width > boxWidth || height > boxHeight) {
        // Scale down to fit, keeping the proportions.
        if (static_cast<long long>(width) * boxHeight > static_cast<long long>(height) * boxWidth) {
            height = static_cast<int>(static_cast<long long>(height) * boxWidth / width);
            width = boxWidth;
        } else {
            width = static_cast<int>(static_cast<long long>(width) * boxHeight / height);
            height = boxHeight;
        }
        if (width < 1) width = 1;
        if (height < 1) height = 1;
    }
    const int left = (boxWidth - width) / 2, top = (boxHeight - height) / 2;
    return RECT{left, top, left + width, top + height};
}

void TPreviewImage::PaintPreview(HDC dc) const {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!Picture()) return;
    const RECT target = PictureRect();
    const SIZE size = PictureSize();
    ui::MemoryDC source(dc);
    if (!source.get()) return;
    ui::ScopedSelect select(source.get(), Picture());
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchBlt(dc, target.left, target.top, ui::Width(target), ui::Height(target), source.get(), 0, 0, size.cx,
                 size.cy, SRCCOPY);
}

void TPreviewImage::PaintFrame(HDC dc) const {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    ::DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
}

LRESULT TPreviewImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Handle(), &paint);
        if (dc) {
            PaintPreview(dc);
            if (framed_) PaintFrame(dc);
        }
        ::EndPaint(Handle(), &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintPreview(reinterpret_cast<HDC>(wParam));
        if (framed_) PaintFrame(reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        return TImageControl::HandleMessage(message, wParam, lParam);
    }
}

// ---- TTidemarrowOpenDialog ----

TTidemarrowOpenDialog::TTidemarrowOpenDialog() : placeholder_(MakePlaceholder()) {}

TTidemarrowOpenDialog::~TTidemarrowOpenDialog() = default;

void TTidemarrowOpenDialog::SetCurrentSettings(int fileCount, int eraseMode, bool exclusionOn) {
    fileCount_ = fileCount;
    eraseMode_ = eraseMode;
    exclusionOn_ = exclusionOn ? 1 : 0;
}

bool TTidemarrowOpenDialog::Execute(HWND owner) {
    files_.clear();
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool explorerStyle = ::GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                               version.dwMajorVersion >= 5;
#pragma GCC diagnostic pop
    if (!explorerStyle) return ExecuteFallback(owner);

    static const wchar_t kFilter[] =
        L"すべてのファイル\0*.*\0"
        L"テキストファイル\0*.txt\0"
        L"オフィスファイル\0*.doc;*.xls;*.rtf;*.htm;*.html\0"
        L"圧縮ファイル\0*.zip;*.cab;*.lzh;*.rar;*.gca\0"
        L"画像ファイル\0*.ico;*.wmf;*.bmp;*.jpg;*.jpeg;*.png;*.gif\0"
        L"マルチメディアファイル\0*.mpg;*.avi;*.wav;*.mp3;*.wma;*.wmv\0";
    std::vector<wchar_t> buffer(64 * 1024, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.hInstance = ::GetModuleHandleW(nullptr);
    request.lpstrFilter = kFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
    request.Flags = OFN_EXPLORER | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST |
                    OFN_DONTADDTORECENT | OFN_HIDEREADONLY;
    request.lpTemplateName = MAKEINTRESOURCEW(IDD_OPEN_PREVIEW);
    request.lpfnHook = HookProc;
    request.lCustData = reinterpret_cast<LPARAM>(this);
    const bool confirmed = ::GetOpenFileNameW(&request) != FALSE;
    extension_ = nullptr;
    if (confirmed) CollectFiles(buffer);
    return confirmed;
}

// Systems before NT 5 get the plain open dialog with one filter.
bool TTidemarrowOpenDialog::ExecuteFallback(HWND owner) {
    static const wchar_t kFilter[] = L"すべてのファイル\0*.*\0";
    std::vector<wchar_t> buffer(64 * 1024, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = kFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
    request.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    const bool confirmed = ::GetOpenFileNameW(&request) != FALSE;
    if (confirmed) CollectFiles(buffer);
    return confirmed;
}

// The result is one full path, or the folder followed by the names chosen in it.
void TTidemarrowOpenDialog::CollectFiles(const std::vector<wchar_t>& buffer) {
    std::vector<std::wstring> parts;
    std::size_t at = 0;
    while (at < buffer.size() && buffer[at] != L'\0') {
        std::size_t end = at;
        while (end < buffer.size() && buffer[end] != L'\0') ++end;
        parts.emplace_back(buffer.data() + at, end - at);
        at = end + 1;
    }
    if (parts.empty()) return;
    if (parts.size() == 1) {
        files_.push_back(parts[0]);
        return;
    }
    std::wstring folder = parts[0];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (std::size_t i = 1; i < parts.size(); ++i) files_.push_back(folder + parts[i]);
}

UINT_PTR CALLBACK TTidemarrowOpenDialog::HookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        auto* self = static_cast<TTidemarrowOpenDialog*>(::GetPropW(dialog, kHookProperty));
        if (message == WM_INITDIALOG) {
            const auto* request = reinterpret_cast<const OPENFILENAMEW*>(lParam);
            self = reinterpret_cast<TTidemarrowOpenDialog*>(request->lCustData);
            ::SetPropW(dialog, kHookProperty, self);
            self->extension_ = dialog;
        }
        if (!self) return 0;
        const INT_PTR result = self->Hook(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            ::RemovePropW(dialog, kHookProperty);
            self->extension_ = nullptr;
        }
        return static_cast<UINT_PTR>(result);
    } catch (...) {
        return 0;
    }
}

INT_PTR TTidemarrowOpenDialog::Hook(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        DoShow();
        return TRUE;
    case WM_SIZE:
        PlacePanel();
        return 0;
    case WM_DESTROY:
        DoClose();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == CDN_INITDONE) {
            PlacePanel();
            MakeRoomForPanel();
        }
        if (header->code == CDN_SELCHANGE) DoSelectionChange();
        return 0;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDC_PICKER_EXCLUSION_TOGGLE && code == BN_CLICKED) ExclusionToggleClick();
        if (id == IDC_PICKER_PREVIEW_CHECK && (code == BN_CLICKED || code == BN_SETFOCUS)) PreviewCheckBoxClick();
        return 0;
    }
    default:
        return 0;
    }
}

void TTidemarrowOpenDialog::DoShow() {
    const HWND dialog = extension_;
    // 1. The panel below the standard controls (placed again once the dialog has its size).
    previewPanel_.Create(dialog, IDC_PICKER_PREVIEWPANEL, 0, 0, 0, 0);
    const HWND panel = previewPanel_.Handle();

    // The frame first, so the picture lies above it.
    previewFrame_ = ui::CreateControl(panel, L"STATIC", L"", WS_VISIBLE | SS_SUNKEN, 7, 15, kPreviewSize, kPreviewSize,
                              IDC_PICKER_PREVIEW_FRAME);
    preview_.CreatePreview(panel, 7, 15, kPreviewSize, kPreviewSize, IDC_PICKER_PREVIEW);
    // The frame lies over the picture's edge, as it is drawn after it.
    preview_.SetFramed(true);
    textPreview_ = ui::CreateControl(panel, L"EDIT", L"", ES_MULTILINE | ES_READONLY, 7, 15, kPreviewSize,
                                  kPreviewSize, IDC_PICKER_TEXT_PREVIEW, WS_EX_CLIENTEDGE);
    if (textPreview_) ui::SetSubclass(textPreview_, NoContextMenu, 1, 0);
    {
        ui::WindowDC screen(nullptr);
        const int height = -::MulDiv(7, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
        textFont_.reset(::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                      L"MS UI Gothic"));
        if (textPreview_ && textFont_) ::SendMessageW(textPreview_, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), FALSE);
    }
    previewCheckBox_ = ui::CreateControl(panel, L"BUTTON", L"ファイルプレビューを有効にする",
                                        WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY, 5, 150, 180, 15,
                                        IDC_PICKER_PREVIEW_CHECK);
    ::SendMessageW(previewCheckBox_, BM_SETCHECK, BST_CHECKED, 0);
    // The group's width and the label's size follow the panel (PlacePanel) and the text.
    settingsGroup_ = ui::CreateControl(panel, L"BUTTON", L"現在の設定値", WS_VISIBLE | BS_GROUPBOX, kSettingsLeft,
                                       kSettingsTop, 0, kSettingsHeight, IDC_PICKER_SETTINGS_GROUP);
    settingsLabel_ = ui::CreateControl(settingsGroup_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                       kSettingsTextLeft, kSettingsTextTop, 0, 0, IDC_PICKER_SETTINGS_TEXT);
    exclusionToggle_ =
        ui::CreateControl(panel, L"BUTTON", L"除外設定無効", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE, 0,
                          0, 75, 23, IDC_PICKER_EXCLUSION_TOGGLE);

    // 2. The placeholder in the image.
    ClearPreview();
    // 3. The check box right of the image; the toggle at the lower right.
    ::SetWindowPos(previewCheckBox_, nullptr, 7 + kPreviewSize + 6, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlacePanel();
    // 4.
    UpdateSettingsText();
}

// The panel takes the client area of the extension below the standard controls; the toggle
// sits at its lower right.
void TTidemarrowOpenDialog::PlacePanel() {
    const HWND dialog = extension_;
    if (!dialog || !previewPanel_.Handle()) return;
    RECT client{}, standard{};
    ::GetClientRect(dialog, &client);
    if (HWND stc = ::GetDlgItem(dialog, stc32)) {
        ::GetWindowRect(stc, &standard);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&standard), 2);
    }
    ::SetWindowPos(previewPanel_.Handle(), nullptr, 0, standard.bottom, client.right,
                   client.bottom > standard.bottom ? client.bottom - standard.bottom : 0, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT panelClient{};
    ::GetClientRect(previewPanel_.Handle(), &panelClient);
    RECT check{};
    ::GetWindowRect(previewCheckBox_, &check);
    ::MapWindowPoints(nullptr, previewPanel_.Handle(), reinterpret_cast<POINT*>(&check), 2);
    ::SetWindowPos(exclusionToggle_, nullptr, panelClient.right - 75 - 20, check.top - 5, 87, 23,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // The settings group from the right of the preview to the panel's right margin.
    ::SetWindowPos(settingsGroup_, nullptr, kSettingsLeft, kSettingsTop,
                   std::max(0, static_cast<int>(panelClient.right) - kSettingsLeft - kPanelMargin), kSettingsHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    FitSettingsLabel();
}

SIZE TTidemarrowOpenDialog::SettingsTextSize(int width) const {
    if (!settingsLabel_) return {0, 0};
    const std::wstring text = ui::WindowText(settingsLabel_);
    ui::WindowDC dc(settingsLabel_);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(settingsLabel_, WM_GETFONT, 0, 0));
    ui::ScopedSelect select(dc.get(), font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT bounds{0, 0, width, 0};
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &bounds,
                DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : 0));
    return {bounds.right, bounds.bottom};
}

void TTidemarrowOpenDialog::FitSettingsLabel() {
    if (!settingsGroup_ || !settingsLabel_) return;
    RECT group{};
    ::GetClientRect(settingsGroup_, &group);
    const int room = static_cast<int>(group.right) - kSettingsTextLeft - kSettingsTextRight;
    SIZE size = SettingsTextSize(0);
    // Lines the group cannot hold whole wrap inside it (the dialog is widened first when it can be).
    if (room > 0 && size.cx > room) size = SettingsTextSize(room);
    ::SetWindowPos(settingsLabel_, nullptr, kSettingsTextLeft, kSettingsTextTop, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// Where the template's dialog units come out smaller than the panel's pixel layout (another
// font in place of the template's), the dialog grows so the preview and the toggle are not cut.
// The same for the width: the settings group is made wide enough for its longest line.
void TTidemarrowOpenDialog::MakeRoomForPanel() {
    constexpr int kPanelContentHeight = 15 + kPreviewSize + 7;
    const HWND parent = ::GetParent(extension_);
    FitStandardLabels(parent, {{stc4, cmb2}});
    FitStandardLabels(parent, {{stc3, ::GetDlgItem(parent, cmb13) ? cmb13 : edt1}, {stc2, cmb1}});
    RECT panel{};
    if (!previewPanel_.Handle() || !::GetClientRect(previewPanel_.Handle(), &panel)) return;
    const int missingHeight = std::max(0, kPanelContentHeight - static_cast<int>(ui::Height(panel)));
    const int panelContentWidth =
        kSettingsLeft + kSettingsTextLeft + static_cast<int>(SettingsTextSize(0).cx) + kSettingsTextRight + kPanelMargin;
    const int missingWidth = std::max(0, panelContentWidth - static_cast<int>(ui::Width(panel)));
    if (missingHeight == 0 && missingWidth == 0) return;
    RECT extension{}, openDialog{};
    ::GetWindowRect(extension_, &extension);
    ::GetWindowRect(parent, &openDialog);
    ::SetWindowPos(parent, nullptr, 0, 0, ui::Width(openDialog) + missingWidth, ui::Height(openDialog) + missingHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(extension_, nullptr, 0, 0, ui::Width(extension) + missingWidth,
                   ui::Height(extension) + missingHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlacePanel();
}

void TTidemarrowOpenDialog::DoClose() {
    // The controls go with their windows; the picture stays until the next showing.
    previewCheckBox_ = previewFrame_ = textPreview_ = settingsGroup_ = exclusionToggle_ = settingsLabel_ = nullptr;
}

void TTidemarrowOpenDialog::UpdateSettingsText() {
    std::wstring text;
    try {
        text = SettingsText(fileCount_, eraseMode_, exclusionOn_ == 1);
    } catch (...) {
        text.clear();
    }
    if (settingsLabel_) {
        ::SetWindowTextW(settingsLabel_, text.c_str());
        // Sized to its text, as a label that sizes itself.
        FitSettingsLabel();
    }
    if (exclusionToggle_)
        ::SendMessageW(exclusionToggle_, BM_SETCHECK, exclusionOn_ != 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TTidemarrowOpenDialog::ExclusionToggleClick() {
    const bool down = ::SendMessageW(exclusionToggle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    exclusionOn_ = down ? 0 : 1;
    UpdateSettingsText();
}

void TTidemarrowOpenDialog::PreviewCheckBoxClick() {
    if (::SendMessageW(previewCheckBox_, BM_GETCHECK, 0, 0) != BST_CHECKED) ClearPreview();
}

void TTidemarrowOpenDialog::ClearPreview() {
    if (preview_.Handle()) {
        // The image takes its own copy of the grey placeholder.
        preview_.SetPicture(
            ui::Bitmap(static_cast<HBITMAP>(::CopyImage(placeholder_.get(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))));
        ::ShowWindow(preview_.Handle(), SW_SHOW);
    }
    showsPlaceholder_ = true;
    if (textPreview_) {
        ::SetWindowTextW(textPreview_, L"");
        ::ShowWindow(textPreview_, SW_HIDE);
    }
}

void TTidemarrowOpenDialog::PreviewFile(const std::wstring& path) {
    ClearPreview();
    if (!previewCheckBox_ || ::SendMessageW(previewCheckBox_, BM_GETCHECK, 0, 0) != BST_CHECKED) return;
    if (!IsExistingFile(path)) return;
    PreviewContent content = LoadPreview(path, ::GetSysColor(COLOR_BTNFACE));
    if (content.kind == PreviewKind::Image) {
        preview_.SetPicture(std::move(content.bitmap));
        showsPlaceholder_ = false;
    } else if (content.kind == PreviewKind::Text && textPreview_) {
        ::SetWindowTextW(textPreview_, content.text.c_str());
        ::ShowWindow(preview_.Handle(), SW_HIDE);
        ::ShowWindow(textPreview_, SW_SHOW);
        showsPlaceholder_ = false;
    }
}

void TTidemarrowOpenDialog::DoSelectionChange() {
    std::wstring path;
    const HWND openDialog = ::GetParent(extension_);
    const int length = static_cast<int>(::SendMessageW(openDialog, CDM_GETFILEPATH, 0, 0));
    if (length > 1) {
        std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
        ::SendMessageW(openDialog, CDM_GETFILEPATH, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
        path = buffer.data();
    }
    PreviewFile(path);
}
