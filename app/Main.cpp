#include <windows.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "app/PendingList.h"
#include "app/ScheduledTraces.h"
#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"
#include "engine/EraseFunc.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"
#include "settings/ExplorerVerb.h"
#include "common/Paths.h"
#include "ui/MessagePump.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The command-line arguments after the program's own name.
    std::vector<std::wstring> arguments = CommandLineArguments();

    // A scheduled run of the history tools, and the uninstaller's removal of its task: no
    // window, no box, no hand-over to a running main window.
    if (!arguments.empty() && ::_wcsicmp(arguments.front().c_str(), kTracesSwitch) == 0)
        return RunScheduledTraces({arguments.begin() + 1, arguments.end()}, ProgramFolder());
    if (!arguments.empty() && ::_wcsicmp(arguments.front().c_str(), kUnscheduleSwitch) == 0) return RunUnschedule();

    // The start at logon that erases a profile's pending files: "/Pending" and the profile's
    // name, nothing else. It never joins a window that runs (the list waits for the next one)
    // and never shows the chooser.
    std::wstring pendingProfile;
    if (!arguments.empty() && arguments.front() == kPendingSwitch) {
        pendingProfile = arguments.size() > 1 ? arguments[1] : std::wstring();
        arguments.clear();
        if (FindMainWindowForVerb() || ::FindWindowW(TMainWindow::kClassName, TMainWindow::kTitle)) return 0;
        if (!PendingStartWanted(ProgramFolder(), pendingProfile)) return 0;
        showCommand = SW_SHOWMINNOACTIVE;
    }

    // The Recycle Bin's own right-click menu: a switch of its own, taken off before any path.
    const bool recycleBin = !arguments.empty() && arguments.front() == kRecycleBinSwitch;
    if (recycleBin) arguments.erase(arguments.begin());
    // Explorer's right-click menu starts the program once per selected item, all at once: each
    // start in turn hands its item to the main window that runs, whatever its caption, or makes
    // it, and the others wait until it exists.
    const bool fromVerb = !arguments.empty() && arguments.front() == kExplorerVerbSwitch;
    VerbStartLock verbLock(fromVerb);
    if (fromVerb) {
        arguments.erase(arguments.begin());
        if (HWND running = FindMainWindowForVerb()) {
            verbLock.Release();
            return HandOverToRunningWindow(running, arguments, true) ? 0 : 1;
        }
    } else {
        // One instance per desktop: a main window with exactly the product title means one
        // runs. It takes this start's files and comes to the front.
        if (HWND running = ::FindWindowW(TMainWindow::kClassName, TMainWindow::kTitle)) {
            if (recycleBin && !HandOverRecycleBin(running)) {
                ::MessageBoxW(nullptr, kRecycleBinRefused, kProductTitle, MB_OK | MB_ICONINFORMATION);
                return 1;
            }
            return HandOverToRunningWindow(running, arguments) ? 0 : 1;
        }
    }

    // Failures are reported from the very start; before the settings exist they are shown.
    InstallErrorReport();
    SetErrorReportSettings([] { return !ConfigWindow() || ConfigWindow()->ErrorReport(); },
                           [] { return !ConfigWindow() || ConfigWindow()->UseExitFunction(); });
    ui::SetMessageFilter(IsErrorLogMessage);

    TApplication& application = Application();
    if (!application.Initialize()) return 1;
    application.SetTitle(kProductTitle);
    application.SetIcon(::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TIDEMARROW)));

    TMainWindow mainWindow(application, ProgramFolder(), arguments);
    mainWindow.WindowMade = [&verbLock] { verbLock.Release(); };
    mainWindow.EraseRecycleBinAtStart = recycleBin;
    mainWindow.PendingStartProfile = pendingProfile;
    // Every erasure in this program keeps the windows alive and honours the Stop command.
    SetEraseEnvironment({&mainWindow.AbortRequested, ui::ProcessMessages, {}});
    if (!mainWindow.Create(application.Handle(), showCommand)) return 1;
    application.SetMainWindow(mainWindow.Handle());
    application.ShowTaskbarButton(true);
    // Started minimized (a shortcut's "minimized"): the program minimizes as one.
    if (::IsIconic(mainWindow.Handle())) application.Minimize();

    // Without a profile the application has been told to end already.
    const int exitCode = application.Terminated() ? 0 : application.Run();
    FreeErrorLogWindow();
    application.FreeConfigWindow();
    return exitCode;
}
