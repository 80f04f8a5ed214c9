// The settings window's pictures: the mode description (page 抹消モードの選択), the details
// picture (page 詳細) and its banner, and the sound page's icon.

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/Assertions.h"
#include "diagnostics/SystemInfo.h"
#include "resources/ProductInfo.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"
#include "settings/ConfigWindowIds.h"
#include "ui/Subclass.h"

namespace {

// The mode description's background, drawn as transparent.
constexpr COLORREF kModeKey = RGB(0, 128, 0);

const wchar_t* const kModeLines[] = {
    L"[Speed]  速度を重視した抹消を行います。",
    L"[Normal] バランスのとれたベストな抹消方法です。",
    L"[High]    セキュリティを考慮した最も強力な抹消方法です。",
    L"[Custom] ファイルタイプ毎に抹消方法を選択します。",
};

// A font of the window's face at `points` (96 dots per inch).
HFONT MakeTextFont(HWND window, int points, bool bold) {
    LOGFONTW font{};
    if (HFONT current = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)))
        ::GetObjectW(current, sizeof(font), &font);
    font.lfHeight = -::MulDiv(points, 96, 72);
    font.lfWidth = 0;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    return ::CreateFontIndirectW(&font);
}

void Text(HDC dc, int x, int y, const std::wstring& text) {
    ::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// A bitmap of width × height with `bitsPerPixel` (16 or 24), bottom-up.
HBITMAP CreateDib(HDC reference, int width, int height, WORD bitsPerPixel) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return ::CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

LRESULT CALLBACK HandCursorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_SETCURSOR) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

}  // namespace

void TConfigWindow::LoadDetailsBackground() {
    auto background = static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_DETAILS_PAGE),
                                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!background) {
        // Without the program's resources: a white page.
        ui::WindowDC screen(nullptr);
        background = ui::CreateDib24(screen.get(), kDetailsWidth, kDetailsHeight, false);
        if (!background) return;
        ui::MemoryDC memory(screen.get());
        ui::ScopedSelect select(memory.get(), background);
        RECT all{0, 0, kDetailsWidth, kDetailsHeight};
        ::FillRect(memory.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    detailsPicture_.reset(background);
    ::SendMessageW(detailsControl_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(detailsPicture_.get()));
}

void TConfigWindow::DrawModeInfo() {
    try {
        ui::WindowDC screen(nullptr);
        ui::Bitmap picture(CreateDib(screen.get(), kModePictureWidth, kModePictureHeight, 16));
        if (!picture) throw std::runtime_error("mode picture");
        ui::MemoryDC memory(screen.get());
        if (!memory.get()) throw std::runtime_error("mode picture");
        {
            ui::ScopedSelect selectPicture(memory.get(), picture.get());
            RECT all{0, 0, kModePictureWidth, kModePictureHeight};
            ui::Brush key(::CreateSolidBrush(kModeKey));
            ::FillRect(memory.get(), &all, key.get());
            ui::Font font(MakeTextFont(Handle(), 9, false));
            ui::ScopedSelect selectFont(memory.get(), font.get());
            ::SetBkMode(memory.get(), TRANSPARENT);
            ::SetTextColor(memory.get(), RGB(0, 0, 0));
            const int icons = modeIcons_.get() ? ::ImageList_GetImageCount(modeIcons_.get()) : 0;
            for (int i = 0; i < icons && i < kEraseModeCount; ++i) {
                ::ImageList_Draw(modeIcons_.get(), i, memory.get(), 12, 10 + 22 * i, ILD_TRANSPARENT);
                Text(memory.get(), 35, 11 + 22 * i, kModeLines[i]);
            }
        }
        modePicture_ = std::move(picture);
        if (modePictureControl_) ::InvalidateRect(modePictureControl_, nullptr, TRUE);
    } catch (...) {
        RaiseAssertion(AssertSite::ConfigDrawModeInfo);
    }
}

bool TConfigWindow::DrawModePictureItem(const DRAWITEMSTRUCT& item) const {
    if (item.hwndItem != modePictureControl_ || !modePictureControl_) return false;
    HDC dc = item.hDC;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!modePicture_) return true;
    ui::MemoryDC source(dc);
    ui::ScopedSelect selectSource(source.get(), modePicture_.get());
    // The key colour as the 16-bit picture holds it: its corner is never drawn on.
    const COLORREF key = ::GetPixel(source.get(), 0, 0);
    ui::MemoryDC maskDc(dc);
    ui::Bitmap mask(::CreateBitmap(kModePictureWidth, kModePictureHeight, 1, 1, nullptr));
    ui::ScopedSelect selectMask(maskDc.get(), mask.get());
    ::SetBkColor(source.get(), key);
    ::BitBlt(maskDc.get(), 0, 0, kModePictureWidth, kModePictureHeight, source.get(), 0, 0, SRCCOPY);
    // Page where the mask is white, picture where it is black.
    ::SetBkColor(dc, RGB(255, 255, 255));
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::BitBlt(dc, 0, 0, kModePictureWidth, kModePictureHeight, source.get(), 0, 0, SRCINVERT);
    ::BitBlt(dc, 0, 0, kModePictureWidth, kModePictureHeight, maskDc.get(), 0, 0, SRCAND);
    ::BitBlt(dc, 0, 0, kModePictureWidth, kModePictureHeight, source.get(), 0, 0, SRCINVERT);
    return true;
}

void TConfigWindow::DrawDetails() {
    try {
        ui::WindowDC screen(nullptr);
        ui::Bitmap picture(ui::CreateDib24(screen.get(), kDetailsWidth, kDetailsHeight, false));
        if (!picture) throw std::runtime_error("details picture");
        ui::MemoryDC memory(screen.get());
        ui::MemoryDC previous(screen.get());
        if (!memory.get() || !previous.get()) throw std::runtime_error("details picture");
        const TESysteminfo system(true);
        std::wstring cpu = system.CPUName;
        if (!system.CPUSpeed.empty()) cpu += L" (" + system.CPUSpeed + L")";
        std::vector<std::wstring> lines = {
            std::wstring(L"アプリケーション名： ") + kProductTitle,
            std::wstring(L"アプリケーションのバージョン：") + kProductVersion,
            std::wstring(L"会社/組織名：") + kProductOrganisation,
        };
        // A build without a web address or contact leaves its line out.
        if (!ProductWebAddress().empty()) lines.push_back(L"サポートサイト：" + ProductWebAddress());
        if (!ProductContact().empty()) lines.push_back(L"連絡先：" + ProductContact());
        lines.insert(lines.end(), {L"OS：" + system.OSDescription, L"CPU：" + cpu, L"ユーザー名：" + profileName_});
        {
            ui::ScopedSelect selectPicture(memory.get(), picture.get());
            RECT all{0, 0, kDetailsWidth, kDetailsHeight};
            ::FillRect(memory.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            // Over what the picture showed last: the same lines land on themselves.
            if (detailsPicture_) {
                ui::ScopedSelect selectPrevious(previous.get(), detailsPicture_.get());
                ::BitBlt(memory.get(), 0, 0, kDetailsWidth, kDetailsHeight, previous.get(), 0, 0, SRCCOPY);
            }
            ui::Font font(MakeTextFont(Handle(), 9, false));
            ui::ScopedSelect selectFont(memory.get(), font.get());
            ::SetBkMode(memory.get(), TRANSPARENT);
            ::SetTextColor(memory.get(), RGB(0, 0, 0));
            int y = 75;
            for (const auto& line : lines) {
                Text(memory.get(), 195, y, line);
                y += 25;
            }
        }
        detailsPicture_ = std::move(picture);
        ::SendMessageW(detailsControl_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(detailsPicture_.get()));
    } catch (...) {
        RaiseAssertion(AssertSite::ConfigDrawInfoPage);
    }
}

void TConfigWindow::DrawBanner() {
    constexpr int kWidth = 200;
    constexpr int kHeight = 40;
    ui::WindowDC screen(nullptr);
    ui::Bitmap picture(ui::CreateDib24(screen.get(), kWidth, kHeight, false));
    if (!picture) return;
    ui::MemoryDC memory(screen.get());
    {
        ui::ScopedSelect selectPicture(memory.get(), picture.get());
        // A band from deep to light blue, the organisation and the web address on it.
        for (int x = 0; x < kWidth; ++x) {
            ui::Pen pen(::CreatePen(PS_SOLID, 1, RGB(16 + x / 4, 48 + x / 3, 120 + x / 2)));
            ui::ScopedSelect selectPen(memory.get(), pen.get());
            ::MoveToEx(memory.get(), x, 0, nullptr);
            ::LineTo(memory.get(), x, kHeight);
        }
        ::SetBkMode(memory.get(), TRANSPARENT);
        ::SetTextColor(memory.get(), RGB(255, 255, 255));
        {
            ui::Font bold(MakeTextFont(Handle(), 10, true));
            ui::ScopedSelect selectFont(memory.get(), bold.get());
            Text(memory.get(), 8, 4, kProductOrganisation);
        }
        ui::Font small(MakeTextFont(Handle(), 8, false));
        ui::ScopedSelect selectFont(memory.get(), small.get());
        // The address without its scheme, so that it fits the band.
        std::wstring address = ProductWebAddress();
        if (const auto scheme = address.find(L"://"); scheme != std::wstring::npos) address.erase(0, scheme + 3);
        Text(memory.get(), 8, 22, address);
    }
    bannerPicture_ = std::move(picture);
    ::SendMessageW(bannerControl_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bannerPicture_.get()));
    // A hand over the banner: it opens the web address (a build without one has no link).
    if (!ProductWebAddress().empty()) ui::SetSubclass(bannerControl_, HandCursorProc, 0, 0);
}

void TConfigWindow::DrawSoundIcon() {
    constexpr int kSize = 32;
    ui::WindowDC screen(nullptr);
    ui::Bitmap picture(ui::CreateDib24(screen.get(), kSize, kSize, false));
    if (!picture) return;
    ui::MemoryDC memory(screen.get());
    {
        ui::ScopedSelect selectPicture(memory.get(), picture.get());
        RECT all{0, 0, kSize, kSize};
        ::FillRect(memory.get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
        // A loudspeaker and two sound waves.
        ui::Brush body(::CreateSolidBrush(RGB(48, 64, 96)));
        ui::Pen edge(::CreatePen(PS_SOLID, 1, RGB(16, 24, 40)));
        ui::ScopedSelect selectBrush(memory.get(), body.get());
        ui::ScopedSelect selectPen(memory.get(), edge.get());
        const POINT speaker[] = {{4, 12}, {10, 12}, {18, 5}, {18, 27}, {10, 20}, {4, 20}};
        ::Polygon(memory.get(), speaker, 6);
        ui::Pen wave(::CreatePen(PS_SOLID, 2, RGB(32, 96, 200)));
        ui::ScopedSelect selectWave(memory.get(), wave.get());
        ::Arc(memory.get(), 14, 10, 26, 22, 22, 10, 22, 22);
        ::Arc(memory.get(), 14, 5, 31, 27, 25, 5, 25, 27);
    }
    soundIconPicture_ = std::move(picture);
    ::SendMessageW(soundIconControl_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(soundIconPicture_.get()));
}
