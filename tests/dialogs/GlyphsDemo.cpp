// Shows the main window's command glyphs and erase mode icons, four times enlarged and at
// their real size, to look at them or capture them on a display:
//   glyphs_demo [seconds]
// Ends after the given number of seconds (default 60), or when the window is closed.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "resources/ResourceIds.h"
#include "ui/Gdi.h"

namespace {

constexpr int kScale = 4;
constexpr int kCell = 96;
constexpr int kPerRow = 9;

const wchar_t* const kGlyphNames[IDB_ACTION_GLYPH_COUNT] = {
    L"0 add file", L"1 start",     L"2 web site",  L"3 save log",      L"4 exit",          L"5 stop",
    L"6 document", L"7 help",      L"8 untick all", L"9 tick all",     L"10 add folder",   L"11 settings",
    L"12 clear list", L"13 history", L"14 users",  L"15 export",       L"16 import"};
const wchar_t* const kModeNames[IDB_MODE_ICON_COUNT] = {L"Speed", L"Normal", L"High", L"Custom"};

ui::ImageList g_glyphs;
ui::ImageList g_modes;

HIMAGELIST LoadStrip(int id) {
    return ::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IDB_GLYPH_SIZE, 0,
                                  IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

// One image enlarged at (x, y) over the button face colour, its name underneath, and the
// image at its real size beside the name.
void DrawCell(HDC dc, HIMAGELIST list, int index, const wchar_t* name, int x, int y) {
    ui::MemoryDC memory(dc);
    ui::Bitmap small(::CreateCompatibleBitmap(dc, IDB_GLYPH_SIZE, IDB_GLYPH_SIZE));
    {
        ui::ScopedSelect select(memory.get(), small.get());
        RECT all{0, 0, IDB_GLYPH_SIZE, IDB_GLYPH_SIZE};
        ::FillRect(memory.get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
        ::ImageList_Draw(list, index, memory.get(), 0, 0, ILD_TRANSPARENT);
        ::StretchBlt(dc, x + (kCell - 16 * kScale) / 2, y, 16 * kScale, 16 * kScale, memory.get(), 0, 0,
                     IDB_GLYPH_SIZE, IDB_GLYPH_SIZE, SRCCOPY);
    }
    ::ImageList_Draw(list, index, dc, x + 2, y + 16 * kScale + 6, ILD_TRANSPARENT);
    RECT text{x + 20, y + 16 * kScale + 4, x + kCell, y + 16 * kScale + 24};
    ::DrawTextW(dc, name, -1, &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    ::SetBkMode(dc, TRANSPARENT);
    ui::ScopedSelect font(dc, ui::UiFont());
    for (int index = 0; index < IDB_ACTION_GLYPH_COUNT; ++index)
        DrawCell(dc, g_glyphs.get(), index, kGlyphNames[index], 8 + (index % kPerRow) * kCell,
                 8 + (index / kPerRow) * (kCell + 8));
    for (int index = 0; index < IDB_MODE_ICON_COUNT; ++index)
        DrawCell(dc, g_modes.get(), index, kModeNames[index], 8 + index * kCell, 8 + 2 * (kCell + 8) + 16);
    ::EndPaint(window, &paint);
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void CALLBACK EndDemo(HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(0); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const UINT seconds = argc > 1 ? static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10)) : 60u;
    ::LocalFree(argv);
    g_glyphs.reset(LoadStrip(IDB_ACTION_GLYPHS));
    g_modes.reset(LoadStrip(IDB_MODE_ICONS));
    if (!g_glyphs.get() || !g_modes.get()) return 1;

    WNDCLASSW type{};
    type.lpfnWndProc = DemoProc;
    type.hInstance = instance;
    type.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    type.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = L"TmGlyphsDemo";
    if (!::RegisterClassW(&type)) return 1;
    RECT frame{0, 0, 16 + kPerRow * kCell, 16 + 3 * (kCell + 8) + 16};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = ::CreateWindowW(L"TmGlyphsDemo", L"TIDEMARROW32 SE glyphs", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20,
                                  20, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                  nullptr);
    if (!window) return 1;
    ::SetTimer(nullptr, 0, seconds * 1000u, EndDemo);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
