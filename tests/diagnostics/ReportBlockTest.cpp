#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "diagnostics/ErrorFunc.h"

namespace {

// Japanese (Japan), named so that the machine's own locale does not matter.
const LCID kJapanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
const LCID kEnglishUs = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// The Japanese short date is year/month/day; whether month and day get a leading zero is the
// locale data's choice (it differs between system versions).
std::wstring JapaneseDatePattern(int year, int month, int day) {
    return std::to_wstring(year) + L"/0?" + std::to_wstring(month) + L"/0?" + std::to_wstring(day);
}

bool Matches(const std::wstring& text, const std::wstring& pattern) {
    return std::regex_match(text, std::wregex(pattern));
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD milliseconds = 0) {
    SYSTEMTIME when{};
    when.wYear = year;
    when.wMonth = month;
    when.wDay = day;
    when.wHour = hour;
    when.wMinute = minute;
    when.wSecond = second;
    when.wMilliseconds = milliseconds;
    return when;
}

TEST(ReportBlock, FiveLinesInOrderWithDateMessageUnitAddressAndRule) {
    const auto block = FormatReportBlock(At(2024, 3, 5, 7, 8, 9), L"エラー 09", L"Main", 1307, 0x0040ABCDu, kJapanese);
    ASSERT_EQ(block.size(), 5u);
    EXPECT_TRUE(Matches(block[0], L"日時: " + JapaneseDatePattern(2024, 3, 5) + L" 7:08:09")) << block[0];
    EXPECT_EQ(block[1], L"ErrorMessage: エラー 09");
    EXPECT_EQ(block[2], L"ErrorFileLine:  Main (1307)");
    // The address whole: 8 digits in the 32-bit edition, 16 in the 64-bit one.
    EXPECT_EQ(block[3], sizeof(void*) == 8 ? L"ErrorAddress:  0x000000000040ABCD" : L"ErrorAddress:  0x0040ABCD");
    EXPECT_EQ(block[4], std::wstring(89, L'-'));
}

TEST(ReportBlock, DateAndTimeFollowTheGivenLocale) {
    EXPECT_EQ(DateTimeToText(At(2024, 12, 31, 23, 59, 58), kJapanese), L"2024/12/31 23:59:58");
    EXPECT_TRUE(Matches(DateTimeToText(At(2024, 3, 5, 13, 4, 5), kJapanese), JapaneseDatePattern(2024, 3, 5) + L" 13:04:05"));
    EXPECT_EQ(DateTimeToText(At(2024, 3, 5, 13, 4, 5), kEnglishUs), L"3/5/2024 1:04:05 PM");
}

TEST(ReportBlock, TimeIsLeftOutAtMidnightOnly) {
    const std::wstring date = JapaneseDatePattern(2024, 3, 5);
    EXPECT_TRUE(Matches(DateTimeToText(At(2024, 3, 5, 0, 0, 0), kJapanese), date));
    EXPECT_TRUE(Matches(DateTimeToText(At(2024, 3, 5, 0, 0, 0, 500), kJapanese), date));
    EXPECT_TRUE(Matches(DateTimeToText(At(2024, 3, 5, 0, 0, 1), kJapanese), date + L" 0:00:01"));
    EXPECT_TRUE(Matches(DateTimeToText(At(2024, 3, 5, 0, 1, 0), kJapanese), date + L" 0:01:00"));
    EXPECT_TRUE(Matches(DateTimeToText(At(2024, 3, 5, 12, 0, 0), kJapanese), date + L" 12:00:00"));
    EXPECT_EQ(DateTimeToText(At(2024, 3, 5, 0, 0, 0), kEnglishUs), L"3/5/2024");

    const auto block = FormatReportBlock(At(2001, 11, 12, 0, 0, 0), L"Out of zero", L"EraseFunc", 87, 1u, kJapanese);
    ASSERT_EQ(block.size(), 5u);
    EXPECT_EQ(block[0], L"日時: 2001/11/12");
}

TEST(ReportBlock, UnitIsTheSourceFileNameWithoutFolderOrExtension) {
    EXPECT_EQ(UnitNameOf(L"config"), L"config");
    EXPECT_EQ(UnitNameOf(L"C:\\src\\Main.pas"), L"Main");
    EXPECT_EQ(UnitNameOf(L"src\\tools.ie.pas"), L"tools.ie");
    const auto block = FormatReportBlock(At(2024, 3, 5, 7, 8, 9), L"Login Window error", L"D:\\work\\Nuser.pas", 70,
                                         0u, kJapanese);
    ASSERT_EQ(block.size(), 5u);
    EXPECT_EQ(block[2], L"ErrorFileLine:  Nuser (70)");
}

// Eight upper-case digits in the 32-bit edition, sixteen in the 64-bit one: never a digit cut off.
TEST(ReportBlock, AddressIsEveryUpperCaseHexDigitOfTheEditionsWidth) {
    const auto line = [](std::uintptr_t address) {
        return FormatReportBlock(At(2024, 3, 5, 7, 8, 9), L"x", L"Main", 1, address, kJapanese).at(3);
    };
    const std::wstring pad = sizeof(void*) == 8 ? L"00000000" : L"";
    EXPECT_EQ(line(0x1Fu), L"ErrorAddress:  0x" + pad + L"0000001F");
    EXPECT_EQ(line(0u), L"ErrorAddress:  0x" + pad + L"00000000");
    EXPECT_EQ(line(0xFFFFFFFFu), L"ErrorAddress:  0x" + pad + L"FFFFFFFF");
    EXPECT_EQ(line(0x00abcdefu), L"ErrorAddress:  0x" + pad + L"00ABCDEF");
    if (sizeof(void*) == 8) {
        EXPECT_EQ(line(static_cast<std::uintptr_t>(0x00007FF6A1B2C3D4ull)), L"ErrorAddress:  0x00007FF6A1B2C3D4");
    }
}

TEST(ReportBlock, MessageIsTakenAsItIs) {
    const std::wstring message = L"ファイル追加時にエラーが発生しました。FileName:C:\\データ\\a b.txt";
    const auto block = FormatReportBlock(At(2024, 3, 5, 7, 8, 9), message, L"Main", 382, 0u, kJapanese);
    EXPECT_EQ(block.at(1), L"ErrorMessage: " + message);
}

}  // namespace
