#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"

namespace {

// A copy of the real program in a folder of its own, so that its profiles live there.
class ProgramCopy {
public:
    ProgramCopy() {
        exe_ = folder_ / L"TIDEMARROW32SE.exe";
        copied_ = ::CopyFileW((ProgramFolder() + L"TIDEMARROW32SE.exe").c_str(), exe_.c_str(), FALSE) != FALSE;
    }
    bool Copied() const { return copied_; }
    const std::wstring& Exe() const { return exe_; }
    // Writes the default profile's Config.ini before the program starts.
    bool WriteConfig(const std::vector<std::wstring>& keys) {
        ::CreateDirectoryW((folder_ / L"User").c_str(), nullptr);
        ::CreateDirectoryW((folder_ / L"User\\DefaultUser").c_str(), nullptr);
        std::vector<std::wstring> lines{L"[TIDEMARROW]"};
        lines.insert(lines.end(), keys.begin(), keys.end());
        return WriteTextFile(folder_ / L"User\\DefaultUser\\Config.ini", lines);
    }

private:
    TempFolder folder_;
    std::wstring exe_;
    bool copied_ = false;
};

// The real program, started as a child process.
class Program {
public:
    explicit Program(const std::wstring& exe) {
        std::wstring commandLine = L"\"" + exe + L"\"";
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

HWND FindMainWindow(const wchar_t* caption = L"TIDEMARROW32 SE") { return ::FindWindowW(L"TMainWindow", caption); }

TEST(Program, ASecondStartEndsAtOnceWhileTheFirstRuns) {
    ProgramCopy copy;
    ASSERT_TRUE(copy.Copied());
    Program first(copy.Exe());
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(PumpUntil([] { return FindMainWindow() != nullptr; }, 20000)) << "the main window shows";

    Program second(copy.Exe());
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(20000), 0u) << "the second instance ends by itself";
    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));

    ::PostMessageW(FindMainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

TEST(Program, WithTheProfileNameInTheCaptionASecondCanStart) {
    ProgramCopy named;
    ASSERT_TRUE(named.Copied());
    ASSERT_TRUE(named.WriteConfig({L"#ShowUserName=1"}));
    ProgramCopy plain;
    ASSERT_TRUE(plain.Copied());

    Program first(named.Exe());
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(PumpUntil([] { return FindMainWindow(L"TIDEMARROW32 SE DefaultUser") != nullptr; }, 20000))
        << "the caption carries the profile's name";

    Program second(plain.Exe());
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(PumpUntil([] { return FindMainWindow() != nullptr; }, 20000)) << "the second one starts";
    EXPECT_EQ(second.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));

    ::PostMessageW(FindMainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(second.WaitForExit(20000), 0u);
    ::PostMessageW(FindMainWindow(L"TIDEMARROW32 SE DefaultUser"), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

}  // namespace
