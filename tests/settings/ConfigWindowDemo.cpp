// Shows the settings window on one of its pages, for looking at it (or capturing it) on a
// display:  config_window_demo PAGE [seconds]   (PAGE 0..6)
// The profile lives in a temporary folder, removed at the end.

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"
#include "tests/support/TempFolder.h"
#include "ui/Gdi.h"

namespace {

TConfigWindow* g_config = nullptr;
int g_page = 0;

void CALLBACK TurnPage(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (g_config) g_config->ShowPage(g_page);
}

void CALLBACK EndDemo(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (g_config) g_config->SetModalResult(IDOK);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_page = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 0;
    const UINT seconds = argc > 2 ? static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)) : 30u;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&controls);

    TempFolder folder;
    const std::wstring profile = folder / L"DefaultUser";
    ::CreateDirectoryW(profile.c_str(), nullptr);
    WriteBytes(profile + L"\\Config.ini",
               "[TIDEMARROW]\r\n#Erase=3\r\n#Sound=1\r\n#SoundFile=C:\\Windows\\Media\\chimes.wav\r\n#ShowGrid=1\r\n");

    TConfigWindow config;
    g_config = &config;
    config.OpenWebAddress = nullptr;
    if (!config.Create(nullptr)) return 1;
    ui::ImageList icons(::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_MODE_ICONS),
                                               IDB_GLYPH_SIZE, 0, IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP,
                                               LR_CREATEDIBSECTION));
    config.SetModeIcons(icons.get());
    config.SetProfileFolder(profile);
    config.SetProfileName(L"DefaultUser");
    config.LoadSettings();

    ::SetTimer(nullptr, 0, 200, TurnPage);
    ::SetTimer(nullptr, 0, seconds * 1000u, EndDemo);
    config.ShowSettings();
    config.SetProfileFolder(L"");  // nothing to save
    g_config = nullptr;
    return 0;
}
