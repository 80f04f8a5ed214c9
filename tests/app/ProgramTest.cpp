#include <windows.h>

#include <gtest/gtest.h>

#include "common/Handles.h"
#include "common/Paths.h"
#include "tests/support/Gui.h"

namespace {

// The real program, started from the build folder beside this test.
class Program {
public:
    Program() {
        std::wstring commandLine = L"\"" + ProgramFolder() + L"TIDEMARROW32SE.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process)) {
            process_.reset(process.hProcess);
            ::CloseHandle(process.hThread);
        }
    }
    ~Program() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.get(), 9);
    }
    bool Started() const { return process_.valid(); }
    // Waits for the program to end; its exit code, or STILL_ACTIVE after the deadline.
    DWORD WaitForExit(DWORD timeoutMs) const {
        ::WaitForSingleObject(process_.get(), timeoutMs);
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    UniqueKernelHandle process_;
};

HWND FindMainWindow() { return ::FindWindowW(L"TMainWindow", L"TIDEMARROW32 SE"); }

TEST(Program, ASecondStartEndsAtOnceWhileTheFirstRuns) {
    Program first;
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(PumpUntil([] { return FindMainWindow() != nullptr; }, 20000)) << "the main window shows";

    Program second;
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(20000), 0u) << "the second instance ends by itself";
    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));

    ::PostMessageW(FindMainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

}  // namespace
