#include <windows.h>
#include <commctrl.h>

#include "app/MainWindow.h"
#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"
#include "engine/EraseFunc.h"
#include "settings/ConfigWindow.h"
#include "ui/MessagePump.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // Failures are reported from the very start; before the settings exist they are shown.
    InstallErrorReport();
    SetErrorReportSettings([] { return !ConfigWindow() || ConfigWindow()->ErrorReport(); },
                           [] { return !ConfigWindow() || ConfigWindow()->UseExitFunction(); });
    ui::SetMessageFilter(IsErrorLogMessage);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    TMainWindow mainWindow;
    // Every erasure in this program keeps the windows alive and honours the Stop command.
    SetEraseEnvironment({&mainWindow.AbortRequested, ui::ProcessMessages, {}});
    if (!mainWindow.Create(showCommand)) return 1;

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (ui::FilterMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    FreeErrorLogWindow();
    return static_cast<int>(msg.wParam);
}
