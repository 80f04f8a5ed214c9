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

// Unmarked files valid both as code page 932 and as UTF-8: the program's own lists read back
// exactly, an editor's UTF-8 list reads as UTF-8, decided by the paths that exist.
TEST(TextCodec, UnmarkedListsValidInBothFormsAreDecidedByThePathsThatExist) {
    TempFolder folder;
    for (const wchar_t* name : {L"痼フ", L"ﾃｽ", L"日本", L"José"}) ASSERT_TRUE(::CreateDirectoryW((folder / name).c_str(), nullptr));
    const std::wstring katakana = folder / L"ﾃｽ\\a.txt", mixed = folder / L"痼フ\\b.txt", kanji = folder / L"日本";
    const std::wstring accented = folder / L"José";
    for (const std::wstring& file : {katakana, mixed}) ASSERT_TRUE(WriteBytes(file, "x"));
    const std::wstring path = folder / L"ResList.txt";
    std::vector<std::wstring> read;

    // Written by the program (code page 932, no mark): as they were, alone or together.
    for (const auto& lines : {std::vector<std::wstring>{L"[TIDEMARROW32 SE]", katakana, L"[END TEXT]"},
                              std::vector<std::wstring>{mixed}, std::vector<std::wstring>{katakana, mixed, kanji}}) {
        bool unicode = true;
        ASSERT_TRUE(WriteTextFile(path, lines, &unicode));
        ASSERT_FALSE(unicode);
        ASSERT_TRUE(ReadListFile(path, read));
        EXPECT_EQ(read, lines);
    }
    // Those bytes are valid UTF-8 too: another program's file of them reads as UTF-8.
    EXPECT_NE(DecodeTextFile(EncodeCp932(katakana)), std::vector<std::wstring>{katakana});
    EXPECT_NE(DecodeTextFile(EncodeCp932(mixed)), std::vector<std::wstring>{mixed});

    // UTF-8 without a mark, as today's Notepad writes it: read as UTF-8.
    const std::vector<std::wstring> notepad{accented, kanji, L"C:\\no such\\file.txt"};
    ASSERT_TRUE(WriteBytes(path, EncodeUtf8(notepad[0]) + "\r\n" + EncodeUtf8(notepad[1]) + "\r\n" +
                                     EncodeUtf8(notepad[2]) + "\r\n"));
    ASSERT_TRUE(ReadListFile(path, read));
    EXPECT_EQ(read, notepad);

    // When neither reading names more existing paths, code page 932.
    ASSERT_TRUE(::RemoveDirectoryW(accented.c_str()) && ::RemoveDirectoryW(kanji.c_str()));
    ASSERT_TRUE(ReadListFile(path, read));
    EXPECT_EQ(read, (std::vector<std::wstring>{DecodeCp932(EncodeUtf8(accented)), DecodeCp932(EncodeUtf8(kanji)),
                                               notepad[2]}));
}

TEST(TextCodec, UnmarkedSettingsFilesValidInBothFormsAreUtf8OnlyWithALongSequence) {
    // Half-width katakana in code page 932: two-byte UTF-8 sequences at most.
    EXPECT_EQ(DecodeSettingsFile(EncodeCp932(L"ﾃｽ\r\n.ｿｽ\r\n")), (std::vector<std::wstring>{L"ﾃｽ", L".ｿｽ"}));
    // UTF-8 with a kanji (three bytes), valid code page 932 as well.
    EXPECT_EQ(DecodeSettingsFile(EncodeUtf8(L".TXT\r\n日本\r\n")), (std::vector<std::wstring>{L".TXT", L"日本"}));
    EXPECT_EQ(DecodeSettingsFile(EncodeUtf8(L"ﾃｽ")), std::vector<std::wstring>{L"ﾃｽ"}) << "valid in UTF-8 only";
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"remove.txt", EncodeCp932(L"ﾃｽ\r\n")));
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadTextFile(folder / L"remove.txt", lines));
    EXPECT_EQ(lines, std::vector<std::wstring>{L"ﾃｽ"});
}

}  // namespace
