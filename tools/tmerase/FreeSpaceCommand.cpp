#include "tools/tmerase/FreeSpaceCommand.h"

#include <algorithm>

#include "common/Handles.h"
#include "engine/EraseFunc.h"
#include "engine/FreeSpace.h"
#include "report/ErasureReport.h"

namespace {

constexpr ULONGLONG kProgressLineMs = 3000;
// How long the console handler waits for the cleanup (Windows ends the process after about five seconds).
constexpr DWORD kConsoleCleanUpMs = 4500;

// What the console handler reaches: the abort flag of the command that runs, and the event set
// when its cleanup is done. Both live as long as the process.
std::atomic<std::atomic<bool>*> g_runningAbort{nullptr};

HANDLE CleanedUpEvent() {
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

void ServiceMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* job = reinterpret_cast<FreeSpaceJob*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    try {
        if (message == WM_QUERYENDSESSION) return job && job->Running() ? FALSE : TRUE;
        if (message == WM_ENDSESSION) {
            if (wParam && job) job->StopAndCleanUpNow();
            return 0;
        }
    } catch (...) {
        // Nothing leaves a handler.
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The hidden top-level window that hears of the session's end, serviced by the fill's message servicing.
class SessionWindow {
public:
    explicit SessionWindow(FreeSpaceJob& job) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = SessionWindowProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kFreeSpaceSessionClass;
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, kFreeSpaceSessionClass, L"tmerase", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
        if (window_) ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&job));
    }
    ~SessionWindow() {
        if (window_) ::DestroyWindow(window_);
    }
    SessionWindow(const SessionWindow&) = delete;
    SessionWindow& operator=(const SessionWindow&) = delete;

private:
    HWND window_ = nullptr;
};

// Installs the console handler and the message servicing for one command, and tells the
// handler when the command's cleanup is done.
class SessionEndWatch {
public:
    explicit SessionEndWatch(std::atomic<bool>& abort) : previous_(CurrentEraseEnvironment()) {
        ::ResetEvent(CleanedUpEvent());
        g_runningAbort = &abort;
        ::SetConsoleCtrlHandler(FreeSpaceConsoleEvent, TRUE);
        EraseEnvironment environment = previous_;
        environment.abortRequested = &abort;
        environment.serviceMessages = ServiceMessages;
        SetEraseEnvironment(environment);
    }
    ~SessionEndWatch() {
        SetEraseEnvironment(previous_);
        ::SetConsoleCtrlHandler(FreeSpaceConsoleEvent, FALSE);
        g_runningAbort = nullptr;
        ::SetEvent(CleanedUpEvent());
    }
    SessionEndWatch(const SessionEndWatch&) = delete;
    SessionEndWatch& operator=(const SessionEndWatch&) = delete;
    void CleanedUp() { ::SetEvent(CleanedUpEvent()); }

private:
    EraseEnvironment previous_;
};

}  // namespace

BOOL WINAPI FreeSpaceConsoleEvent(DWORD event) {
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
    std::atomic<bool>* abort = g_runningAbort.load();
    if (!abort) return FALSE;
    abort->store(true);
    ::WaitForSingleObject(CleanedUpEvent(), kConsoleCleanUpMs);
    return TRUE;
}

int RunFreeSpaceCommand(const std::wstring& folder, EraseLevel level,
                        const std::function<void(const std::wstring&)>& shown, std::atomic<bool>& abort,
                        ErasureRecorder* report) {
    SessionEndWatch watch(abort);
    // The result lines are the report's reason too.
    std::wstring said;
    const auto print = [&](const std::wstring& line) {
        shown(line);
        said += (said.empty() ? L"" : L"\r\n") + line;
    };
    const std::wstring record = ConsoleFreeSpaceRecord();
    for (const auto& leftover : CleanUpFreeSpaceLeftovers(record)) {
        if (leftover.inUse) print(L"実行中の空き領域の抹消の作業フォルダがあります: " + leftover.folder);
        else if (leftover.removed) print(L"前回の空き領域の抹消の残りを削除しました: " + leftover.folder);
        else print(L"前回の空き領域の抹消の残りを削除できませんでした: " + leftover.folder);
    }

    FreeSpaceJob job(folder, level, record);
    SessionWindow sessionWindow(job);
    const ULONGLONG start = ::GetTickCount64();
    ULONGLONG lastLine = start;
    std::int64_t written = 0;
    job.progress = [&](const FreeSpaceProgress& progress) {
        written = std::max(written, progress.written);
        const ULONGLONG now = ::GetTickCount64();
        if (now - lastLine < kProgressLineMs) return;
        lastLine = now;
        std::wstring line;
        if (progress.stage == FreeSpaceProgress::Records) {
            line = L"ファイルレコードを上書きしています: " + std::to_wstring(progress.recordFiles) + L" 個";
        } else {
            const std::int64_t total = std::max<std::int64_t>(progress.total, 1);
            const std::int64_t percent = std::min<std::int64_t>(100, progress.written * 100 / total);
            line = L"空き領域の抹消: " + std::to_wstring(percent) + L"% (" + FreeSpaceBytesText(progress.written) + L" / " +
                   FreeSpaceBytesText(progress.total) + L")";
            if (progress.written > 0 && progress.written < progress.total) {
                const double seconds = static_cast<double>(now - start) / 1000.0;
                const double left = seconds * static_cast<double>(progress.total - progress.written) /
                                    static_cast<double>(progress.written);
                line += L" 残り約 " + FreeSpaceTimeText(static_cast<ULONGLONG>(left));
            }
        }
        print(line);
    };
    const FreeSpaceResult result = job.Run();
    watch.CleanedUp();
    said.clear();  // the lines before are progress and the leftovers of earlier runs

    if (!result.message.empty()) print(result.message);
    if (result.overwritten) {
        print(L"空き領域 " + FreeSpaceBytesText(result.filled) + L" を上書きしました。" +
              (result.recordStepRan ? L"ファイルレコード " + std::to_wstring(result.recordFiles) + L" 個を上書きしました (" +
                                        std::to_wstring(result.recordBytes) + L" バイトずつ)。"
                                    : std::wstring(L"ファイルレコードの上書きは行われませんでした。")));
    } else if (result.stopped) {
        print(L"空き領域の抹消を中止しました。");
    } else {
        print(L"空き領域の抹消を完了できませんでした。");
    }
    if (!result.cleanedUp) print(L"作業ファイルが残っています: " + result.leftover);
    else if (result.freeBefore >= 0 && result.freeAfter >= 0)
        print(L"空き領域: 開始時 " + FreeSpaceBytesText(result.freeBefore) + L"、終了時 " + FreeSpaceBytesText(result.freeAfter));
    if (report) {
        const FileResult outcome = result.overwritten ? FileResult::Erased
                                   : result.stopped   ? FileResult::Stopped
                                                      : FileResult::NotProcessed;
        report->RecordFile(folder, result.freeBefore, written, L"空き領域の抹消 " + LevelText(level), outcome, said, L"");
    }
    return result.Succeeded() ? 0 : 1;
}
