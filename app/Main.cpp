#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"
#include "engine/EraseFunc.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"
#include "common/Paths.h"
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

    // The command-line arguments after the program's own name.
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.emplace_back(words[i]);
        ::LocalFree(words);
    }

    TMainWindow mainWindow(application, ProgramFolder(), arguments);
    // Every erasure in this program keeps the windows alive and honours the Stop command.
    SetEraseEnvironment({&mainWindow.AbortRequested, ui::ProcessMessages, {}});
    if (!mainWindow.Create(application.Handle(), showCommand)) return 1;
    application.SetMainWindow(mainWindow.Handle());
    application.ShowTaskbarButton(true);

    // Without a profile the application has been told to end already.
    const int exitCode = application.Terminated() ? 0 : application.Run();
    FreeErrorLogWindow();
    application.FreeConfigWindow();
    return exitCode;
}
