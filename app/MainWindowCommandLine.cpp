// The main window's command line and later starts: every argument of the program's own start,
// and the paths a later start hands over while this window runs.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "profiles/NewUserWindow.h"
#include "ui/Window.h"

namespace {

// Why the window cannot take handed-over files now.
const wchar_t kNoProfileYet[] =
    L"ユーザープロファイルが選択されていないため、ファイルを追加できません。\r\n"
    L"プロファイルを選択してから、もう一度ファイルを送って下さい。";
const wchar_t kResultShowing[] =
    L"作業結果の表示中は、ファイルを追加できません。\r\n"
    L"「>> 終了」を押してから、もう一度ファイルを送って下さい。";
const wchar_t kToolsShowing[] =
    L"履歴抹消ツールの表示中は、ファイルを追加できません。\r\n"
    L"ツールを閉じてから、もう一度ファイルを送って下さい。";
const wchar_t kWindowOpen[] =
    L"ほかのウインドウが開いているため、ファイルを追加できません。\r\n"
    L"そのウインドウを閉じてから、もう一度ファイルを送って下さい。";

}  // namespace

void TMainWindow::AddCommandLinePaths() {
    std::vector<std::wstring> names;
    for (const std::wstring& argument : arguments_) {
        std::wstring path;
        try {
            path = CommandLinePath(argument);
        } catch (...) {
            RaiseAssertion(AssertSite::MainCommandLine);
            path.clear();
        }
        if (!path.empty()) names.push_back(std::move(path));
    }
    // One file alone goes the way it always went.
    if (arguments_.size() == 1 && names.size() == 1 && FileExists(names.front()) &&
        !DirectoryExists(names.front())) {
        PendingCommandLineFile = names.front();
        AddCommandLineFile();
    } else if (!names.empty()) {
        try {
            TellUnreachable(AddShellPaths(names));
        } catch (...) {
            RaiseAssertion(AssertSite::MainCommandLine);
        }
    }
    // Paths a later start handed over while this one was still starting.
    if (!HandedOverPaths.empty()) ::PostMessageW(Handle(), kHandOverMessage, 0, 0);
}

LRESULT TMainWindow::ReceiveHandOver(const COPYDATASTRUCT& data) {
    std::vector<std::wstring> paths;
    bool fromVerb = false;
    if (!UnpackHandOver(data, paths, &fromVerb)) return kHandOverNotTaken;
    // The free-space panel takes no files; the later start tells why, in its own process, so
    // that no box shows here inside the fill's message servicing.
    if (visiblePanel_ == ContentPanel::FreeSpace)
        return FreeSpaceRunning() ? kHandOverRefusedRunning : kHandOverRefusedFreeSpacePanel;
    // Kept within bounds however often later starts come.
    if (HandedOverPaths.size() + paths.size() > kHandOverMaxChars) return kHandOverNotTaken;
    if (fromVerb) HandOverWaitsForProfile = true;
    const bool waiting = !HandedOverPaths.empty();
    HandedOverPaths.insert(HandedOverPaths.end(), paths.begin(), paths.end());
    if (!waiting && !HandedOverPaths.empty()) ::PostMessageW(Handle(), kHandOverMessage, 0, 0);
    return kHandOverTaken;
}

void TMainWindow::AddHandedOverPaths() {
    // A message box of an earlier hand-over is still showing: these wait for it. Paths taken
    // before the free-space panel showed wait until it closes: no box may show inside a fill.
    if (handingOver_ || HandedOverPaths.empty() || visiblePanel_ == ContentPanel::FreeSpace) return;
    if (!application_.Terminated() && !application_.Config() &&
        (HandOverWaitsForProfile || !ui::FindThreadWindow(TNewUserWindow::kClassName, nullptr, true))) {
        // Still starting, before the settings are loaded: the paths wait for the end of the
        // start, which posts them again.
        return;
    }
    handingOver_ = true;
    std::vector<std::wstring> paths = std::move(HandedOverPaths);
    HandedOverPaths.clear();
    HandOverWaitsForProfile = false;

    const wchar_t* refusal = nullptr;
    if (application_.Terminated()) {
        refusal = L"";  // the program is ending: nothing to add to and no one to tell
    } else if (!application_.Config()) {
        refusal = kNoProfileYet;  // the profile chooser shows
    } else if (visiblePanel_ == ContentPanel::Running || (Busy && visiblePanel_ != ContentPanel::Tools)) {
        refusal = kHandOverRunningText;
    } else if (visiblePanel_ == ContentPanel::Tools) {
        refusal = kToolsShowing;
    } else if (visiblePanel_ == ContentPanel::Result) {
        refusal = kResultShowing;
    } else if (!::IsWindowEnabled(Handle())) {
        refusal = kWindowOpen;
    }

    if (!refusal) {
        try {
            TellUnreachable(AddShellPaths(paths));
        } catch (...) {
            RaiseAssertion(AssertSite::MainCommandLine);
        }
    } else if (*refusal) {
        // Over whatever window is on top, so that a modal window keeps its owner disabled.
        HWND owner = ::GetLastActivePopup(Handle());
        if (!owner || !::IsWindowEnabled(owner) || !::IsWindowVisible(owner)) owner = ::GetActiveWindow();
        ::MessageBoxW(owner, refusal, application_.Title().c_str(), MB_OK | MB_ICONINFORMATION);
    }

    handingOver_ = false;
    if (!HandedOverPaths.empty()) ::PostMessageW(Handle(), kHandOverMessage, 0, 0);
}
