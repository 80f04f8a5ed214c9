// The window program's scheduled start: a copy of the program with a profile of its own runs
// history tools' entries on the browsers laid out in the prefix, without a window, after the
// session's other run, and logs them.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "app/ScheduledTraces.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "history/IeErase.h"
#include "history/TraceRun.h"
#include "history/TraceSchedule.h"
#include "tests/history/BrowserFixture.h"
#include "tests/history/TraceFixture.h"

using namespace traces;

namespace {

UniqueKernelHandle StartProgram(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {};
    ::CloseHandle(process.hThread);
    return UniqueKernelHandle(process.hProcess);
}

DWORD ExitCode(const UniqueKernelHandle& process) {
    DWORD code = 0xFFFF;
    if (::WaitForSingleObject(process.get(), 90000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
    return code;
}

BOOL CALLBACK NoteWindowOf(HWND window, LPARAM data) {
    auto& [id, found] = *reinterpret_cast<std::pair<DWORD, bool>*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    found = found || owner == id;
    return TRUE;
}

bool HasWindows(DWORD processId) {
    std::pair<DWORD, bool> search{processId, false};
    ::EnumWindows(NoteWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

TEST(ScheduledTraces, TheProgramWaitsForTheOtherRunThenErasesAndLogsWithoutAWindow) {
    TraceGuard guard;
    BrowserLayout layout;
    TempFolder program;
    const std::wstring exe = program / L"TIDEMARROW32SE.exe";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"TIDEMARROW32SE.exe").c_str(), exe.c_str(), FALSE));
    MakeFile(program / L"User\\my tm\\Config.ini", "[TIDEMARROW]\r\n");
    const std::wstring log = program / L"User\\my tm\\Savedat\\TraceLog.txt";
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-scheduled.lnk"));
    const auto logLines = [&] { return SplitLines(ReadBytes(log)); };

    // Usage errors: only a profile that exists gets the line.
    EXPECT_EQ(ExitCode(StartProgram(exe, L"/Traces recent /Profile nobody")), 2u);
    EXPECT_FALSE(FileExists(log));
    EXPECT_EQ(ExitCode(StartProgram(exe, L"/Traces recent,nothing /Profile \"my tm\"")), 2u);
    ASSERT_EQ(logLines().size(), 2u);
    EXPECT_EQ(logLines()[0].rfind(L"日時:", 0), 0u);
    EXPECT_EQ(logLines()[1], L"抹消対象 \"recent,nothing\" がわかりません。");

    {
        // Another run holds the lock past the wait: the entries are left for the next run.
        RunLockHolder panel;
        const DWORD wait = TraceRunLockWait();
        SetTraceRunLockWait(0);
        EXPECT_EQ(RunScheduledTraces({L"recent", L"/Profile", L"my tm"}, program.Path() + L"\\"), 1);
        SetTraceRunLockWait(wait);
        EXPECT_EQ(logLines().back(), std::wstring(L"recent: ") + kTracesBusyReason);
        EXPECT_TRUE(FileExists(recent));

        // The program waits for the other run, showing nothing, and goes on once it ends.
        UniqueKernelHandle run = StartProgram(exe, L"/Traces recent,firefox-history /Profile \"my tm\"");
        ASSERT_TRUE(run);
        EXPECT_EQ(::WaitForSingleObject(run.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_FALSE(HasWindows(::GetProcessId(run.get())));
        EXPECT_TRUE(FileExists(recent));
        panel.Release();
        EXPECT_EQ(ExitCode(run), 1u) << "the second Firefox profile's places.sqlite is no database and stays";
    }
    EXPECT_FALSE(FileExists(recent));
    EXPECT_EQ(Answer(layout.places, "SELECT count(*) FROM moz_places WHERE url LIKE '%tm-visited%'"), "0");
    const std::vector<std::wstring> lines = logLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4].rfind(L"日時:", 0), 0u);
    EXPECT_EQ(lines[5], L"recent: 抹消しました");
    EXPECT_EQ(lines[6].rfind(L"Firefox\u3000履歴: ", 0), 0u);
    EXPECT_EQ(lines[6].substr(lines[6].size() - 18), L"\\tm2\\places.sqlite");

    // The uninstaller's start removes the user's task.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_EQ(RegisterTraceTask({ScheduleWhen::Daily, 0, 8, 0, {TIE_ERASE::RecentFiles}, L"my tm"}, exe), S_OK);
    EXPECT_EQ(ExitCode(StartProgram(exe, L"/Unschedule")), 0u);
    RegisteredTraceTask task;
    EXPECT_TRUE(ReadTraceTask(task) == S_OK && !task.exists);
    RemoveTraceTask();
    ::CoUninitialize();
}

}  // namespace
