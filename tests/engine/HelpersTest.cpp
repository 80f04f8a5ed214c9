#include <vector>

#include "tests/engine/EngineFixture.h"

namespace {

TEST(ProgressPercent, TruncatesTowardZero) {
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(0, 300), 0);
    EXPECT_EQ(ProgressPercent(150, 300), 50);
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(300, 300), 100);
    EXPECT_EQ(ProgressPercent(8, 7), 114);
    // Files above 4 GiB: three passes over 5 GiB.
    const std::int64_t total = 3 * (5LL << 30);
    EXPECT_EQ(ProgressPercent(total / 2, total), 50);
    EXPECT_EQ(ProgressPercent(total - 1, total), 99);
}

TEST_F(EngineTest, FileSizeOfReadsTheLengthOrReportsOutOfZero) {
    ASSERT_TRUE(WriteBytes(folder_ / L"seven.txt", "1234567"));
    ASSERT_TRUE(WriteBytes(folder_ / L"empty.txt", ""));
    EXPECT_EQ(FileSizeOf(folder_ / L"seven.txt"), 7);
    EXPECT_EQ(FileSizeOf(folder_ / L"empty.txt"), 0);
    EXPECT_TRUE(RecordedAssertions().empty());
    EXPECT_EQ(FileSizeOf(folder_ / L"missing.txt"), -1);
    EXPECT_EQ(FileSizeOf(folder_.Path()), -1);
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].message, L"Out of zero");
}

// Records the platform calls PowerOffComputer makes; nothing reaches the system.
struct PowerOffLog {
    static inline DWORD platform = 0;
    static inline std::vector<std::string> calls;
    static inline DWORD tokenAccess = 0;
    static inline std::wstring privilege;
    static inline TOKEN_PRIVILEGES adjusted{};
    static inline UINT exitFlags = 0;

    static PowerOffCalls Fake() {
        return PowerOffCalls{
            [] { return platform; },
            [](DWORD access, HANDLE* token) -> BOOL {
                calls.push_back("open");
                tokenAccess = access;
                *token = reinterpret_cast<HANDLE>(0x1234);
                return TRUE;
            },
            [](const wchar_t* name, LUID* luid) -> BOOL {
                calls.push_back("lookup");
                privilege = name;
                luid->LowPart = 19;
                luid->HighPart = 0;
                return TRUE;
            },
            [](HANDLE token, const TOKEN_PRIVILEGES* privileges) -> BOOL {
                calls.push_back(token == reinterpret_cast<HANDLE>(0x1234) ? "adjust" : "adjust-other-token");
                adjusted = *privileges;
                return TRUE;
            },
            [](UINT flags, DWORD) -> BOOL {
                calls.push_back("exit");
                exitFlags = flags;
                return TRUE;
            },
            [](HANDLE) { calls.push_back("close"); },
        };
    }
};

class PowerOffComputerTest : public testing::Test {
protected:
    void SetUp() override {
        PowerOffLog::calls.clear();
        previous_ = SetPowerOffCalls(PowerOffLog::Fake());
    }
    void TearDown() override { SetPowerOffCalls(previous_); }
    PowerOffCalls previous_{};
};

TEST_F(PowerOffComputerTest, NtFamilyEnablesTheShutdownPrivilegeAndPowersOff) {
    PowerOffLog::platform = VER_PLATFORM_WIN32_NT;
    PowerOffComputer();
    EXPECT_EQ(PowerOffLog::calls, (std::vector<std::string>{"open", "lookup", "adjust", "exit", "close"}));
    EXPECT_EQ(PowerOffLog::tokenAccess, static_cast<DWORD>(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY));
    EXPECT_EQ(PowerOffLog::privilege, L"SeShutdownPrivilege");
    EXPECT_EQ(PowerOffLog::adjusted.PrivilegeCount, 1u);
    EXPECT_EQ(PowerOffLog::adjusted.Privileges[0].Luid.LowPart, 19u);
    EXPECT_EQ(PowerOffLog::adjusted.Privileges[0].Attributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
    EXPECT_EQ(PowerOffLog::exitFlags, static_cast<UINT>(EWX_POWEROFF));
}

TEST_F(PowerOffComputerTest, Windows95FamilyShutsDownWithForce) {
    PowerOffLog::platform = VER_PLATFORM_WIN32_WINDOWS;
    PowerOffComputer();
    EXPECT_EQ(PowerOffLog::calls, std::vector<std::string>{"exit"});
    EXPECT_EQ(PowerOffLog::exitFlags, static_cast<UINT>(EWX_SHUTDOWN | EWX_FORCE));
}

TEST_F(PowerOffComputerTest, OtherPlatformsDoNothing) {
    PowerOffLog::platform = VER_PLATFORM_WIN32s;
    PowerOffComputer();
    EXPECT_TRUE(PowerOffLog::calls.empty());
}

}  // namespace
