#include <gtest/gtest.h>

#include "common/TextCodec.h"
#include "tests/support/TempFolder.h"

namespace {

// "ファイル名" in code page 932.
const std::string kFileNameSjis = "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC";

TEST(TextCodec, EncodesAndDecodesJapaneseInCodePage932) {
    bool lossy = true;
    EXPECT_EQ(EncodeCp932(L"ファイル名", &lossy), kFileNameSjis);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(DecodeCp932(kFileNameSjis), L"ファイル名");
    // Half-width katakana and the ideographic space are single and double bytes.
    EXPECT_EQ(EncodeCp932(L"ｱ　"), std::string("\xB1\x81\x40"));
    EXPECT_EQ(DecodeCp932("\xB1\x81\x40"), L"ｱ　");
}

TEST(TextCodec, TellsWhenACharacterHasNoShiftJisForm) {
    bool lossy = false;
    const std::string bytes = EncodeCp932(L"a\u00e4b", &lossy);  // a umlaut is not in code page 932
    EXPECT_TRUE(lossy);
    EXPECT_EQ(bytes.size(), 3u);
    EncodeCp932(L"plain", &lossy);
    EXPECT_FALSE(lossy);
    EncodeCp932(L"\U0001F600", &lossy);
    EXPECT_TRUE(lossy);
}

TEST(TextCodec, SplitsAtCrLfCrOrLfAndStopsAtNul) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(SplitLines("\r\n\r\n"), (std::vector<std::wstring>{L"", L""}));
    EXPECT_EQ(SplitLines(std::string("one\r\ntw\0o\r\nthree", 16)), (std::vector<std::wstring>{L"one", L"tw"}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("x\n\ry"), (std::vector<std::wstring>{L"x", L"", L"y"}));
}

TEST(TextCodec, SplitsWideTextAtCrLfOnly) {
    EXPECT_EQ(SplitCrLf(L"a\r\n\r\nb\r\n"), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(SplitCrLf(L"one\ntwo"), std::vector<std::wstring>{L"one\ntwo"});
    EXPECT_TRUE(SplitCrLf(L"").empty());
}

TEST(TextCodec, WritesCodePage932WithCrLfAndReadsItBack) {
    TempFolder folder;
    const std::wstring path = folder / L"リスト.txt";
    ASSERT_TRUE(WriteTextFile(path, {L"ファイル名", L"", L"C:\\データ\\a.txt"}));
    EXPECT_EQ(ReadBytes(path), kFileNameSjis + "\r\n\r\nC:\\\x83\x66\x81\x5B\x83\x5E\\a.txt\r\n");

    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadTextFile(path, lines));
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"ファイル名", L"", L"C:\\データ\\a.txt"}));
}

TEST(TextCodec, TextThatCodePage932CannotHoldIsWrittenAsUtf8AndReadBack) {
    TempFolder folder;
    const std::wstring path = folder / L"list.txt";
    // One line outside code page 932 turns the whole file into UTF-8 after a byte order mark.
    const std::vector<std::wstring> lines{L"[TIDEMARROW32 SE]", L"C:\\한글.txt", L"C:\\データ\\a.txt", L"[END TEXT]"};
    bool unicode = false;
    ASSERT_TRUE(ReplaceTextFile(path, lines, &unicode));
    EXPECT_TRUE(unicode);
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[TIDEMARROW32 SE]\r\nC:\\\xED\x95\x9C\xEA\xB8\x80.txt\r\n"
                               "C:\\\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\\a.txt\r\n[END TEXT]\r\n");
    std::vector<std::wstring> read;
    ASSERT_TRUE(ReadTextFile(path, read));
    EXPECT_EQ(read, lines);

    // A character that code page 932 changes on the way (the wave dash has no exact form)
    // counts as one it cannot hold.
    ASSERT_TRUE(WriteTextFile(path, {L"a\u301Cb"}, &unicode));
    EXPECT_TRUE(unicode);
    ASSERT_TRUE(ReadTextFile(path, read));
    EXPECT_EQ(read, std::vector<std::wstring>{L"a\u301Cb"});

    // Everything that fits stays in code page 932, and a UTF-8 file with lone CRs and LFs
    // splits by the same rules.
    ASSERT_TRUE(WriteTextFile(path, {L"ファイル名"}, &unicode));
    EXPECT_FALSE(unicode);
    EXPECT_EQ(ReadBytes(path), kFileNameSjis + "\r\n");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "a\rb\nc\r\n\r\nd"), (std::vector<std::wstring>{L"a", L"b", L"c", L"", L"d"}));
    EXPECT_TRUE(DecodeTextFile("\xEF\xBB\xBF").empty());
}

TEST(TextCodec, ReportsFilesItCannotReadOrWrite) {
    TempFolder folder;
    std::vector<std::wstring> lines{L"kept"};
    EXPECT_FALSE(ReadTextFile(folder / L"missing.txt", lines));
    EXPECT_EQ(lines, std::vector<std::wstring>{L"kept"});
    EXPECT_FALSE(WriteTextFile(folder / L"no\\such\\folder.txt", {L"x"}));
    EXPECT_FALSE(WriteTextFile(folder.Path(), {L"x"}));  // a folder is not a file
    const std::wstring readOnly = folder / L"ro.txt";
    ASSERT_TRUE(WriteBytes(readOnly, "old\r\n"));
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteTextFile(readOnly, {L"new"}));
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(readOnly), "old\r\n");
}

// Unmarked bytes valid both as code page 932 and as UTF-8 (the lists' round trips through the
// main window are in MainWindowTransferTest).
TEST(TextCodec, UnmarkedFilesValidInBothFormsTieToCodePage932OrGoByTheirLongSequences) {
    // A list: no line names an existing entry under either form.
    const std::string utf8 = EncodeUtf8(L"C:\\no such\\José\r\nC:\\no such\\日本\r\n");
    EXPECT_EQ(DecodeListFile(utf8), SplitLines(utf8)) << "code page 932";
    EXPECT_EQ(DecodeListFile(utf8, [](const std::wstring& line) { return line.back() == L'本'; }),
              (std::vector<std::wstring>{L"C:\\no such\\José", L"C:\\no such\\日本"}));
    // A settings file: UTF-8 only with a three- or four-byte sequence.
    EXPECT_EQ(DecodeSettingsFile(EncodeCp932(L"ﾃｽ\r\n")), std::vector<std::wstring>{L"ﾃｽ"});
    EXPECT_EQ(DecodeSettingsFile(EncodeUtf8(L".TXT\r\n日本\r\n")), (std::vector<std::wstring>{L".TXT", L"日本"}));
}

}  // namespace
