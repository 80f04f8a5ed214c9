#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/RandomInput.h"

namespace {

const wchar_t kCaption[] = L"確認";

std::wstring Slashed(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}
// Long enough for a message box to show, when one is coming.
constexpr DWORD kNoBoxWithinMs = 600;

class ListTransferTest : public WorkflowTest {
protected:
    std::wstring FileListTxt() const { return Savedat() + L"\\FileList.txt"; }
    std::wstring ResListTxt() const { return Savedat() + L"\\ResList.txt"; }

    // Runs the command `action` and gives the text of the box it shows ("" when none shows;
    // without `expectBox` the wait for one is short).
    std::wstring RunAndRead(int action, bool expectBox = true) {
        DialogAnswerer box(kCaption, IDOK, expectBox ? 10000 : kNoBoxWithinMs);
        SendCommand(action);
        return box.Wait() ? box.Text() : L"";
    }

    void WriteList(const std::wstring& path, const std::vector<std::wstring>& lines) {
        ::CreateDirectoryW(Savedat().c_str(), nullptr);
        ASSERT_TRUE(WriteTextFile(path, lines));
    }

    std::vector<std::wstring> ReadList(const std::wstring& path) {
        std::vector<std::wstring> lines;
        EXPECT_TRUE(ReadTextFile(path, lines));
        return lines;
    }
};

// --- export ---

TEST_F(ListTransferTest, ExportWritesTitleEveryRowInOrderAndTheEndMarker) {
    Make();
    RemoveTree(Savedat());
    const std::wstring a = File(L"b-first.txt"), b = File(L"a-second.txt"), c = File(L"日本語.txt");
    for (const std::wstring& path : {a, b, c}) Add(path);
    List().SetTicked(1, false);

    EXPECT_EQ(RunAndRead(Command::ExportList), L"3ファイルをリストから書き出しました。");
    EXPECT_EQ(ReadList(FileListTxt()), (std::vector<std::wstring>{L"[TIDEMARROW32 SE]", a, b, c, L"[END TEXT]"}))
        << "the missing Savedat folder was made";
    const std::string bytes = ReadBytes(FileListTxt());
    EXPECT_EQ(bytes.rfind("[TIDEMARROW32 SE]\r\n", 0), 0u);
    EXPECT_NE(bytes.find("\x93\xfa\x96\x7b\x8c\xea.txt\r\n"), std::string::npos) << "Shift_JIS, CR LF";

    // A second export replaces the first entirely.
    window->RemoveRowsByTick(true);
    EXPECT_EQ(RunAndRead(Command::ExportList), L"1ファイルをリストから書き出しました。");
    EXPECT_EQ(ReadList(FileListTxt()), (std::vector<std::wstring>{L"[TIDEMARROW32 SE]", b, L"[END TEXT]"}));
    EXPECT_FALSE(FileExists(FileListTxt() + L".new"));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(ListTransferTest, ExportIsOffWithAnEmptyListAndWarnsWhenRunAllTheSame) {
    Make();
    EXPECT_FALSE(window->Actions[Command::ExportList].Enabled());
    Add(File(L"a.txt"));
    EXPECT_TRUE(window->Actions[Command::ExportList].Enabled());
    window->ClearFileList();
    EXPECT_FALSE(window->Actions[Command::ExportList].Enabled());

    window->Actions[Command::ExportList].SetEnabled(true);
    DialogAnswerer warning(L"TIDEMARROW32 SE", IDOK);
    SendCommand(Command::ExportList);
    ASSERT_TRUE(warning.Wait());
    EXPECT_EQ(warning.Text(), L"ファイルリストに登録されているファイルがありません。");
    EXPECT_FALSE(FileExists(FileListTxt()));
}

TEST_F(ListTransferTest, AFailedExportKeepsThePreviousListWhole) {
    const std::vector<std::wstring> saved{L"[TIDEMARROW32 SE]", L"C:\\saved\\one.txt", L"[END TEXT]"};
    WriteList(FileListTxt(), saved);
    Make();
    Add(File(L"a.txt"));

    // The new list cannot be written beside the old one.
    ASSERT_TRUE(::CreateDirectoryW((FileListTxt() + L".new").c_str(), nullptr));
    EXPECT_EQ(RunAndRead(Command::ExportList, false), L"") << "no success message after a failure";
    EXPECT_TRUE(Reported(L"エラー 09"));
    EXPECT_EQ(ReadList(FileListTxt()), saved);
    ::RemoveDirectoryW((FileListTxt() + L".new").c_str());

    // The old list cannot be replaced.
    ClearRecordedAssertions();
    ASSERT_TRUE(::SetFileAttributesW(FileListTxt().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RunAndRead(Command::ExportList, false), L"");
    EXPECT_TRUE(Reported(L"エラー 09"));
    ::SetFileAttributesW(FileListTxt().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadList(FileListTxt()), saved);
    EXPECT_FALSE(FileExists(FileListTxt() + L".new")) << "nothing is left beside it";
}

// --- import ---

TEST_F(ListTransferTest, ImportTakesOnlyExistingDriveLetterPathsFromAnyLine) {
    WriteConfig({L"#Remove enable=1"});
    const std::wstring one = File(L"one.txt"), two = File(L"two.log"), after = File(L"after.txt");
    const std::wstring excluded = File(L"skip.scr");
    const std::wstring vanished = Data() + L"\\vanished.txt";
    WriteList(FileListTxt(), {L"[TIDEMARROW32 SE]",
                              one,
                              L"",
                              L"\\\\server\\share\\one.txt",
                              L"data\\one.txt",
                              // The same existing file in forms other than a drive path.
                              L"\\\\?\\" + one,
                              L"\\\\.\\" + one,
                              Slashed(one),
                              L" " + one,
                              L"[" + two,
                              L"free text: C:\\x",
                              vanished,
                              two,
                              excluded,
                              L"[END TEXT]",
                              after});
    Make();
    ASSERT_TRUE(Config().IsExcludedExtension(L"SCR")) << "the test needs .scr excluded";
    const std::wstring already = File(L"already.txt");
    Add(already);

    EXPECT_EQ(RunAndRead(Command::ImportList), L"4ファイルを読み出しリストへ追加しました。")
        << "the excluded file counts, the vanished one does not";
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{already, one, two, after})) << "appended to the rows there";
    EXPECT_TRUE(FileExists(FileListTxt())) << "FileList.txt stays";

    // The same list again appends the rows again.
    EXPECT_EQ(RunAndRead(Command::ImportList), L"4ファイルを読み出しリストへ追加しました。");
    EXPECT_EQ(Rows(), 7);
}

TEST_F(ListTransferTest, ImportWithoutAFileDoesNothingAndAnEmptyOneCountsZero) {
    Make();
    Add(File(L"a.txt"));
    EXPECT_EQ(RunAndRead(Command::ImportList, false), L"");
    EXPECT_EQ(Rows(), 1);
    EXPECT_TRUE(RecordedAssertions().empty());

    WriteList(FileListTxt(), {L"[TIDEMARROW32 SE]", L"[END TEXT]"});
    EXPECT_EQ(RunAndRead(Command::ImportList), L"0ファイルを読み出しリストへ追加しました。");
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ListTransferTest, AnUnreadableListIsReportedAndLeftAlone) {
    WriteList(FileListTxt(), {L"[TIDEMARROW32 SE]", File(L"a.txt"), L"[END TEXT]"});
    Make();
    {
        UniqueFileLock lock(FileListTxt());
        ASSERT_TRUE(lock.Held());
        EXPECT_EQ(RunAndRead(Command::ImportList, false), L"");
    }
    EXPECT_TRUE(Reported(L"エラー 09"));
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(FileExists(FileListTxt()));
}

// --- the list left at closing ---

TEST_F(ListTransferTest, ClosingWithFilesAsksAndYesLeavesTheListForTheNextStart) {
    WriteConfig({L"#Warning close=1", L"#AutoIn=1"});
    Make();
    const std::wstring a = File(L"a.txt"), b = File(L"b.txt");
    Add(a);
    Add(b);
    {
        DialogAnswerer no(L"終了の確認", IDNO);
        EXPECT_FALSE(CloseWindow());
        EXPECT_TRUE(no.Wait());
    }
    EXPECT_FALSE(FileExists(ResListTxt())) << "No writes nothing";
    {
        DialogAnswerer yes(L"終了の確認", IDYES);
        EXPECT_TRUE(CloseWindow());
        EXPECT_TRUE(yes.Wait());
    }
    EXPECT_EQ(ReadList(ResListTxt()), (std::vector<std::wstring>{L"[TIDEMARROW32 SE]", a, b, L"[END TEXT]"}));
    NextStart();

    // The next start without arguments puts the rows back silently and deletes the file.
    DialogAnswerer none(kCaption, IDOK, kNoBoxWithinMs);
    Make();
    EXPECT_FALSE(none.Wait());
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{a, b}));
    EXPECT_FALSE(FileExists(ResListTxt()));
}

TEST_F(ListTransferTest, NamesOutsideCodePage932ComeBackAtTheNextStartAndThroughImport) {
    WriteConfig({L"#Warning close=1", L"#AutoIn=1"});
    Make();
    const std::wstring korean = File(L"한글.txt"), japanese = File(L"データ.txt");
    Add(korean);
    Add(japanese);
    EXPECT_EQ(RunAndRead(Command::ExportList), L"2ファイルをリストから書き出しました。");
    EXPECT_EQ(ReadBytes(FileListTxt()).substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 when code page 932 cannot hold a path";
    {
        DialogAnswerer yes(L"終了の確認", IDYES);
        EXPECT_TRUE(CloseWindow());
        EXPECT_TRUE(yes.Wait());
    }
    EXPECT_EQ(ReadList(ResListTxt()), (std::vector<std::wstring>{L"[TIDEMARROW32 SE]", korean, japanese, L"[END TEXT]"}));
    NextStart();
    Make();
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{korean, japanese}));
    EXPECT_FALSE(FileExists(ResListTxt()));
    EXPECT_EQ(RunAndRead(Command::ImportList), L"2ファイルを読み出しリストへ追加しました。");
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{korean, japanese, korean, japanese}));

    // A list that fits code page 932 is written as before.
    window->ClearFileList();
    Add(japanese);
    RunAndRead(Command::ExportList);
    EXPECT_EQ(ReadBytes(FileListTxt()), EncodeCp932(L"[TIDEMARROW32 SE]\r\n" + japanese + L"\r\n[END TEXT]\r\n"));
}

// Names whose code page 932 bytes are valid UTF-8 as well, among a kanji name, then Notepad's
// UTF-8 without a mark.
TEST_F(ListTransferTest, ListsOfNamesValidInBothFormsComeBackAsTheyWere) {
    WriteConfig({L"#AutoIn=1"});
    for (const wchar_t* name : {L"ﾃｽ", L"痼フ", L"José"}) ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\" + name).c_str(), nullptr));
    const std::wstring a = File(L"ﾃｽ\\a.txt"), b = File(L"痼フ\\b.txt"), c = File(L"José\\c.txt"), d = File(L"日本.txt");
    WriteList(ResListTxt(), {L"[TIDEMARROW32 SE]", a, b, L"[END TEXT]"});  // as the program writes it
    Make();
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{a, b}));
    WriteList(FileListTxt(), {b, d, a});
    ASSERT_TRUE(WriteBytes(ResListTxt(), EncodeUtf8(c + L"\r\n")));
    window->TransferFileList(TMainWindow::TransferDirection::Import, false, TMainWindow::ListFile::ResList);
    EXPECT_EQ(RunAndRead(Command::ImportList), L"3ファイルを読み出しリストへ追加しました。");
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{a, b, c, b, d, a}));
}

std::string Utf8(const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                                bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

TEST_F(ListTransferTest, ImportReadsUtf8WithoutAMarkAndTellsOfLinesItCouldNotRead) {
    Make();
    const std::wstring text = L"[TIDEMARROW32 SE]\r\n" + File(L"データ.txt") + L"\r\n" + File(L"日本語.txt") + L"\r\n";
    ::CreateDirectoryW(Savedat().c_str(), nullptr);
    // UTF-8 without a mark, then Shift_JIS with a line of broken bytes.
    for (const std::string& bytes : {Utf8(text), EncodeCp932(text) + "C:\\\x81\x7F.txt\r\n"}) {
        ASSERT_TRUE(WriteBytes(FileListTxt(), bytes));
        const bool broken = bytes.find("\x81\x7F") != std::string::npos;
        DialogAnswerer warning(L"TIDEMARROW32 SE", IDOK, broken ? 10000 : kNoBoxWithinMs);
        EXPECT_EQ(RunAndRead(Command::ImportList), L"2ファイルを読み出しリストへ追加しました。");
        EXPECT_EQ(warning.Wait() ? warning.Text() : L"", broken ? L"読み込めなかった行が1行ありました。" : L"");
    }
    EXPECT_EQ(Rows(), 4);
}

TEST_F(ListTransferTest, ListFilesOfAnyShapeAddExactlyTheirExistingDrivePaths) {
    Make();
    const std::vector<std::wstring> real{File(L"a.txt"), File(L"データ.txt"), File(L"한글.txt")};
    const std::vector<std::string> noise{"[TIDEMARROW32 SE]", "[END TEXT]", "\\\\server\\share\\x.txt", "relative\\x.txt",
                                         "C:\\no\\such\\file.txt", "", "Z:", ":\\", "[" + std::string(300, 'x')};
    RandomInput random(1999);
    for (int round = 0; round < 200; ++round) {
        // UTF-8 after a byte order mark, or code page 932 when every real path fits it.
        const bool utf8 = random.Chance(50);
        std::string text = utf8 ? "\xEF\xBB\xBF" : "";
        int expected = 0;
        for (long long n = random.Between(0, 20); n > 0; --n) {
            const long long what = random.Between(0, 9);
            if (what < 3) {
                const std::wstring& path = real[static_cast<std::size_t>(what)];
                if (!utf8 && what == 2) continue;  // code page 932 cannot hold it
                text += (utf8 ? Utf8(path) : EncodeCp932(path)) + "\r\n";
                ++expected;
            } else if (what < 6) {
                text += noise[static_cast<std::size_t>(random.Between(0, static_cast<long long>(noise.size()) - 1))] + "\r\n";
            } else {
                text += random.Bytes(static_cast<std::size_t>(random.Between(0, 600)), true) + (random.Chance(50) ? "\n" : "\r");
            }
        }
        ::CreateDirectoryW(Savedat().c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(ResListTxt(), text));
        window->ClearFileList();
        window->TransferFileList(TMainWindow::TransferDirection::Import, false, TMainWindow::ListFile::ResList);
        ASSERT_EQ(Rows(), expected) << round;
        for (const std::wstring& path : Paths()) EXPECT_EQ(std::count(real.begin(), real.end(), path), 1);
        EXPECT_FALSE(FileExists(ResListTxt()));
    }
    EXPECT_TRUE(RecordedAssertions().empty());
    EXPECT_LT(PeakMemoryBytes(), kPeakMemoryLimit);
}

TEST_F(ListTransferTest, ClosingWithoutTheWarningOrWithoutAutoInWritesNothing) {
    for (const auto& keys : {std::vector<std::wstring>{L"#Warning close=0", L"#AutoIn=1"},
                             std::vector<std::wstring>{L"#Warning close=1", L"#AutoIn=0"}}) {
        WriteConfig(keys);
        Make();
        Add(File(L"a.txt"));
        DialogAnswerer yes(L"終了の確認", IDYES, keys[0].back() == L'1' ? 10000 : kNoBoxWithinMs);
        EXPECT_TRUE(CloseWindow());
        yes.Wait();
        EXPECT_FALSE(FileExists(ResListTxt())) << keys[0] << " " << keys[1];
        NextStart();
    }
}

TEST_F(ListTransferTest, AStartWithAFileArgumentLeavesTheLeftListAlone) {
    WriteConfig({L"#AutoIn=1"});
    const std::wstring left = File(L"left.txt"), argument = File(L"argument.txt");
    WriteList(ResListTxt(), {L"[TIDEMARROW32 SE]", left, L"[END TEXT]"});
    Make({argument});
    EXPECT_EQ(Paths(), std::vector<std::wstring>{argument});
    EXPECT_TRUE(FileExists(ResListTxt()));
}

TEST_F(ListTransferTest, TheLeftListIsDeletedAfterReadingEvenWhenNothingCouldBeAdded) {
    WriteConfig({L"#AutoIn=1"});
    WriteList(ResListTxt(), {L"[TIDEMARROW32 SE]", Data() + L"\\gone.txt", L"\\\\server\\share\\x.txt", L"[END TEXT]"});
    Make();
    EXPECT_EQ(Rows(), 0);
    EXPECT_FALSE(FileExists(ResListTxt()));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(ListTransferTest, ALeftListThatCannotBeReadIsKeptForTheNextStart) {
    WriteConfig({L"#AutoIn=1"});
    const std::wstring left = File(L"left.txt");
    WriteList(ResListTxt(), {L"[TIDEMARROW32 SE]", left, L"[END TEXT]"});
    {
        // Held shut to readers, but not to a delete.
        UniqueFile lock(
            ::CreateFileW(ResListTxt().c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        Make();
    }
    EXPECT_TRUE(Reported(L"エラー 09"));
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(FileExists(ResListTxt())) << "the paths not read are not lost";
    NextStart();

    Make();
    EXPECT_EQ(Paths(), std::vector<std::wstring>{left});
    EXPECT_FALSE(FileExists(ResListTxt()));
}

}  // namespace
