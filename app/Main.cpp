#include <windows.h>
#include <commctrl.h>

#include "app/MainWindow.h"
#include "engine/EraseFunc.h"
#include "ui/MessagePump.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    TMainWindow mainWindow;
    // Every erasure in this program keeps the windows alive and honours the Stop command.
    SetEraseEnvironment({&mainWindow.AbortRequested, ui::ProcessMessages, {}});
    if (!mainWindow.Create(showCommand)) return 1;

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
