#include <gtest/gtest.h>

#include "settings/IniFile.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(IniFile, IntegersAreDecimalOrHexadecimal) {
    EXPECT_EQ(ParseIniInteger(L"0"), 0);
    EXPECT_EQ(ParseIniInteger(L"-1"), -1);
    EXPECT_EQ(ParseIniInteger(L"+7"), 7);
    EXPECT_EQ(ParseIniInteger(L"0x2"), 2);
    EXPECT_EQ(ParseIniInteger(L"0X1f"), 31);
    EXPECT_EQ(ParseIniInteger(L"$10"), 16);
    EXPECT_EQ(ParseIniInteger(L"$FFFFFFFF"), -1);
    EXPECT_EQ(ParseIniInteger(L"2147483647"), 2147483647);
    EXPECT_EQ(ParseIniInteger(L"-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(ParseIniInteger(L"2147483648"));
    EXPECT_FALSE(ParseIniInteger(L"0x"));
    EXPECT_FALSE(ParseIniInteger(L""));
    EXPECT_FALSE(ParseIniInteger(L"yes"));
    EXPECT_FALSE(ParseIniInteger(L"1 "));
    EXPECT_FALSE(ParseIniInteger(L"$"));
    EXPECT_FALSE(ParseIniInteger(L"$123456789"));
}

TEST(IniFile, TextValuesAreCutAt2047BytesWithoutSplittingACharacter) {
    TempFolder folder;
    const std::wstring path = folder / L"long.ini";
    // 1 byte, then 1100 two-byte characters: 2201 bytes.
    std::string value = "a";
    for (int i = 0; i < 1100; ++i) value += "\x89\xb9";
    ASSERT_TRUE(WriteBytes(path, "[S]\r\nkey=" + value + "\r\n"));
    const IniSection ini(path, L"S");
    const std::wstring read = ini.ReadString(L"key", L"");
    EXPECT_EQ(read.size(), 1u + 1023u) << "1 + 1023 × 2 = 2047 bytes";
    EXPECT_EQ(read.back(), L'音');
    EXPECT_EQ(ini.ReadString(L"missing", L"fallback"), L"fallback");
    EXPECT_FALSE(ini.ReadValue(L"missing"));
}

}  // namespace
