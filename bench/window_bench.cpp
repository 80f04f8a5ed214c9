// window_bench: the window's run of a folder, as a user gives it: the folder named on the
// command line, Start, the confirmation answered Yes, until the result panel shows.
//   window_bench <folder>
//   window_bench --hold-desktop   (keeps Wine's desktop up until standard input ends)
// The window is the program's own main window on a temporary program folder with the profile
// DefaultUser, the engine wired to it as the program wires it. Prints
//   files=<N> list_s=<seconds to list the folder> run_s=<seconds from Start to the result>
//     service_s=<of which servicing the window's messages> services=<how many times>
//     wmain_at=<the wall clock, Unix seconds, when wmain began (what came before is the process's
//     start and its libraries)> result_at=<the same clock when the painted result panel showed>
// and exits 0 when the run completed with every file erased, 1 otherwise. bench/window_vs_console.sh
// times it from the process's start to result_at against tmerase on the same files.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "bench/BenchClock.h"
#include "engine/EraseFunc.h"
#include "ui/Action.h"
#include "ui/MessagePump.h"

namespace {

// Time spent servicing the window's messages (painting included) during the run.
double serviceSeconds = 0;
int serviceCalls = 0;
void TimedService() {
    const double start = Now();
    ui::ProcessMessages();
    serviceSeconds += Now() - start;
    ++serviceCalls;
}

// Presses Yes on the run's confirmation ("確認") once it shows, from a thread of its own.
void AnswerConfirmation(std::atomic<bool>& answered, std::atomic<bool>& stop) {
    const DWORD process = ::GetCurrentProcessId();
    while (!answered && !stop) {
        HWND box = nullptr;
        while ((box = ::FindWindowExW(nullptr, box, L"#32770", L"確認")) != nullptr) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(box, &owner);
            if (owner == process && ::IsWindowVisible(box)) {
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
                answered = true;
                break;
            }
        }
        ::Sleep(1);
    }
}

// The wall clock in Unix seconds, the clock `date +%s.%N` reads.
double UnixNow() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7 - 11644473600.0;
}

void RemoveTree(const std::wstring& folder) {
    std::vector<std::wstring> entries;
    CollectFolder(folder, L"", entries, false);
    for (const std::wstring& entry : entries) {
        const DWORD attributes = ::GetFileAttributesW(entry.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(entry);
        else
            ::DeleteFileW(entry.c_str());
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const double wmainAt = UnixNow();
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_bench <folder> | window_bench --hold-desktop\n");
        return 2;
    }
    if (std::wstring(argv[1]) == L"--hold-desktop") {
        // Windows' desktop is always up; Wine's goes with the last program that uses it, and the
        // next window waits for it to start again. Held until standard input ends.
        if (!::GetDesktopWindow()) return 1;
        std::printf("holding\n");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"window_bench_" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(root.c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\User").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\User\\DefaultUser").c_str(), nullptr);

    int status = 1;
    {
        TApplication& application = Application();
        if (!application.Initialize()) return 1;
        const double listStart = Now();
        TMainWindow window(application, root, {argv[1]});
        SetEraseEnvironment({&window.AbortRequested, TimedService, {}});
        if (window.Create(application.Handle(), SW_SHOWNORMAL) && !application.Terminated()) {
            application.SetMainWindow(window.Handle());
            ui::ProcessMessages();
            const double listed = Now() - listStart;
            const int files = window.FileList.RowCount();

            std::atomic<bool> answered{false}, stop{false};
            std::thread answerer(AnswerConfirmation, std::ref(answered), std::ref(stop));
            serviceSeconds = 0;
            serviceCalls = 0;
            const double runStart = Now();
            ::SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::StartRun, 0), 0);
            ::UpdateWindow(window.Handle());
            const double ran = Now() - runStart;
            const double resultAt = UnixNow();
            stop = true;
            answerer.join();

            // Every file has its line saying it was erased.
            int erased = 0;
            const std::wstring done = L"をディスクから抹消しました。";
            for (const std::wstring& line : window.EraseLogLines())
                if (line.size() > done.size() && line.compare(line.size() - done.size(), done.size(), done) == 0) ++erased;
            const bool complete = window.VisibleContentPanel() == TMainWindow::ContentPanel::Result && erased == files;
            std::printf("files=%d list_s=%.3f run_s=%.3f service_s=%.3f services=%d wmain_at=%.4f result_at=%.4f\n",
                        files, listed, ran, serviceSeconds, serviceCalls, wmainAt, resultAt);
            std::fflush(stdout);
            status = answered && complete && files > 0 ? 0 : 1;
            if (status) std::fprintf(stderr, "window_bench: the run did not complete\n");
            ::SendMessageW(window.FinishButton, BM_CLICK, 0, 0);
            ::DestroyWindow(window.Handle());
        }
        SetEraseEnvironment({});
        application.FreeConfigWindow();
    }
    RemoveTree(root);
    return status;
}
