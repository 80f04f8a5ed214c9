#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/TextCodec.h"
#include "diagnostics/SystemInfo.h"

namespace {

// Processor keys of the test's own under HKEY_CURRENT_USER, removed afterwards.
class ProcessorKeys : public testing::Test {
protected:
    void SetUp() override {
        base_ = L"Software\\TidemarrowTests\\SystemInfo" + std::to_wstring(::GetCurrentProcessId());
        source_.root = HKEY_CURRENT_USER;
        source_.keyPrefix = base_ + L"\\CentralProcessor\\";
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str()); }

    void Processor(int n, const wchar_t* valueName, const std::wstring& text) {
        HKEY key = Key(n);
        ::RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
    void Speed(int n, DWORD mhz) {
        HKEY key = Key(n);
        ::RegSetValueExW(key, L"~MHz", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mhz), sizeof(mhz));
        ::RegCloseKey(key);
    }
    void EmptyProcessor(int n) { ::RegCloseKey(Key(n)); }

    std::pair<std::wstring, std::wstring> Probe(bool ntFamily = true) {
        source_.ntFamily = ntFamily;
        std::wstring name, speed;
        ProbeProcessors(source_, name, speed);
        return {name, speed};
    }

    ProcessorSource source_;

private:
    HKEY Key(int n) {
        HKEY key = nullptr;
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (source_.keyPrefix + std::to_wstring(n)).c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    std::wstring base_;
};

using ProcessorProbe = ProcessorKeys;

TEST_F(ProcessorProbe, OneProcessorWithNameAndSpeed) {
    Processor(0, L"ProcessorNameString", L"  Intel(R) Core(TM) Family 6 Model 8");
    Speed(0, 2394);
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"  Intel(R) Core(TM) Family 6 Model 8"), std::wstring(L"2394Mhz")))
        << "the name string is taken as stored, without the name table";
}

TEST_F(ProcessorProbe, TwoProcessorsWithSpeedsAreDual) {
    Processor(0, L"ProcessorNameString", L"First");
    Speed(0, 1000);
    Processor(1, L"ProcessorNameString", L"Second");
    Speed(1, 2000);
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"[DUAL] First"), std::wstring(L"1000Mhz")));
}

TEST_F(ProcessorProbe, NameWithoutSpeedIsNoSuccessAndZeroSpeedIs) {
    Processor(0, L"ProcessorNameString", L"First");
    Processor(1, L"ProcessorNameString", L"Second");
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"First"), std::wstring()));
    Speed(0, 0);
    Speed(1, 0);
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"[DUAL] First"), std::wstring()));
}

TEST_F(ProcessorProbe, IdentifierGoesThroughTheNameTable) {
    Processor(0, L"Identifier", L"x86 Family 6 Model 3 Stepping 1 AMD");
    Speed(0, 700);
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"AMD Duron"), std::wstring(L"700Mhz")));
    Processor(0, L"Identifier", L"GenuineIntel Family 6 Model 13");
    EXPECT_EQ(Probe().first, L"Intel(R) Pentium");
    Processor(0, L"Identifier", L"GenuineIntel x86 Family 6 Model 8 Stepping 3");
    const std::wstring pentium3 = Probe().first;
    EXPECT_EQ(pentium3, L"Intel(R) Pentium \u2162");
    EXPECT_EQ(EncodeCp932(pentium3), "Intel(R) Pentium \x87\x56");
    Processor(0, L"Identifier", L"Intel Family 6 Model 3");
    EXPECT_EQ(EncodeCp932(Probe().first), "Intel(R) Pentium \x87\x55");
    Processor(0, L"Identifier", L"CentaurHauls VIA Family 6 Model 9");
    EXPECT_EQ(Probe().first, L"VIA C3");
    Processor(0, L"Identifier", L"Intel Family 15 Model 2");
    EXPECT_EQ(Probe().first, L"Intel Family 15 Model 2") << "no pattern: the name stays";
}

TEST_F(ProcessorProbe, NineXFamilyTakesTheLastIdentifierWithoutSpeed) {
    Processor(0, L"Identifier", L"Zero");
    Speed(0, 500);
    Processor(1, L"Identifier", L"One");
    EXPECT_EQ(Probe(false), std::make_pair(std::wstring(L"[DUAL] One"), std::wstring()));
}

TEST_F(ProcessorProbe, MissingKeysOrValuesGiveUnknown) {
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"unKnow"), std::wstring()));
    EmptyProcessor(0);
    EXPECT_EQ(Probe(), std::make_pair(std::wstring(L"unKnow"), std::wstring()));
}

TEST(OsDescription, NamesTheSystemWithServicePackAndBuild) {
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 5, 1, 2600, L"Service Pack 2"}),
              L"WindowsXP Service Pack 2 [Build:2600]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 5, 0, 2195, L""}), L"Windows2000  [Build:2195]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 5, 2, 3790, L""}), L"WinNT  [Build:3790]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 6, 3, 9600, L""}), L"Windows8.1  [Build:9600]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 10, 0, 19045, L""}), L"Windows10  [Build:19045]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 10, 0, 22000, L""}), L"Windows11  [Build:22000]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 4, 0, 1381, L"Service Pack 6"}),
              L"WindowsNT 4.0 Service Pack 6 [Build:1381]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_NT, 3, 51, 1057, L""}), L"WindowsNT 3.51  [Build:1057]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, L" A "}), L"Windows98  A  [Build:2222]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, L""}), L"Windows95  [Build:950]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, L""}), L"WindowsMe  [Build:3000]");
    EXPECT_EQ(DescribeOs({VER_PLATFORM_WIN32_WINDOWS, 4, 3, 1, L""}), L"Win9x  [Build:1]");
    EXPECT_EQ(DescribeOs({7, 1, 0, 5, L""}), L"UnKnow  [Build:5]");
}

TEST(SystemInfo, DescribesTheRunningSystemAndSwitchesThePriority) {
    TESysteminfo withProcessor(true);
    EXPECT_NE(withProcessor.OSDescription.find(L"[Build:"), std::wstring::npos);
    EXPECT_NE(withProcessor.OSDescription.rfind(L"WinNT", 0), 0u) << "today's systems are named";
    EXPECT_FALSE(withProcessor.CPUName.empty()) << "the prefix's processor keys, or unKnow";
    TESysteminfo plain(false);
    EXPECT_TRUE(plain.CPUName.empty());
    EXPECT_TRUE(plain.CPUSpeed.empty());
    EXPECT_EQ(plain.PriorityClass, ::GetPriorityClass(::GetCurrentProcess()));

    plain.SetPriority(HIGH_PRIORITY_CLASS);
    EXPECT_EQ(plain.PriorityClass, static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(TESysteminfo(false).PriorityClass, static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    TESysteminfo(false).SetPriority(NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
}

}  // namespace
