#include <windows.h>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"
#include "engine/EraseFunc.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"
#include "ui/MessagePump.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // One instance per desktop: a main window with exactly the product title means one runs.
    if (::FindWindowW(TMainWindow::kClassName, TMainWindow::kTitle)) return 0;

    // Failures are reported from the very start; before the settings exist they are shown.
    InstallErrorReport();
    SetErrorReportSettings([] { return !ConfigWindow() || ConfigWindow()->ErrorReport(); },
                           [] { return !ConfigWindow() || ConfigWindow()->UseExitFunction(); });
    ui::SetMessageFilter(IsErrorLogMessage);

    TApplication& application = Application();
    if (!application.Initialize()) return 1;
    application.SetTitle(kProductTitle);
    application.SetIcon(::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TIDEMARROW)));

    TMainWindow mainWindow;
    // Every erasure in this program keeps the windows alive and honours the Stop command.
    SetEraseEnvironment({&mainWindow.AbortRequested, ui::ProcessMessages, {}});
    if (!mainWindow.Create(application.Handle(), showCommand)) return 1;
    application.SetMainWindow(mainWindow.Handle());

    const int exitCode = application.Run();
    FreeErrorLogWindow();
    return exitCode;
}
