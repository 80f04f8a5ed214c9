#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "tests/support/Csv.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Tmerase.h"

namespace {

using Outcome = TmeraseOutcome;

TEST(Tmerase, ErasesFilesAtEachLevelAndPrintsTheRunLogLineInCodePage932) {
    TempFolder folder;
    const std::wstring names[] = {L"speed.txt", L"ノーマル.txt", L"high file.txt"};
    const wchar_t* levels[] = {L"", L"--level normal ", L"--level=high "};
    for (int i = 0; i < 3; ++i) {
        const std::wstring path = folder / names[i];
        ASSERT_TRUE(WriteBytes(path, "secret data"));
        const Outcome outcome = RunTmerase(levels[i] + Quoted(path));
        EXPECT_EQ(outcome.exitCode, 0u) << i;
        EXPECT_EQ(outcome.out, ErasedLine(names[i]));
        EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(FileExists(folder / (L"$" + names[i])));
    }
}

TEST(Tmerase, FolderIsGatheredWithOrWithoutItsSubfolders) {
    TempFolder folder;
    ::CreateDirectoryW((folder / L"sub").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(folder / L"top.txt", "1"));
    ASSERT_TRUE(WriteBytes(folder / L"sub\\inner.txt", "2"));

    // A trailing backslash (doubled before the closing quote) names the same folder.
    Outcome outcome = RunTmerase(Quoted(folder.Path() + L"\\\\"));
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.out, ErasedLine(L"top.txt"));
    EXPECT_FALSE(FileExists(folder / L"top.txt"));
    EXPECT_TRUE(FileExists(folder / L"sub\\inner.txt"));

    outcome = RunTmerase(L"--recurse " + Quoted(folder.Path()));
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.out, ErasedLine(L"inner.txt"));
    EXPECT_FALSE(FileExists(folder / L"sub\\inner.txt"));
    EXPECT_TRUE(DirectoryExists(folder / L"sub")) << "folders are left in place";
}

TEST(Tmerase, MissingOrBusyFileFailsTheRunButTheOthersAreErased) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"busy.txt", "keep me"));
    ASSERT_TRUE(WriteBytes(folder / L"free.txt", "erase me"));
    UniqueFile busy(::CreateFileW((folder / L"busy.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(busy);
    const Outcome outcome = RunTmerase(Quoted(folder / L"missing.txt") + L" " + Quoted(folder / L"busy.txt") + L" " +
                                       Quoted(folder / L"free.txt"));
    busy.reset();
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.out, FailedLine(L"missing.txt") + FailedLine(L"busy.txt") + ErasedLine(L"free.txt"));
    EXPECT_EQ(ReadBytes(folder / L"busy.txt"), "keep me");
    EXPECT_FALSE(FileExists(folder / L"free.txt"));
}

TEST(Tmerase, VerifyReadsEveryFileBackAndCountsTheMatches) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"odd.txt", std::string(4097, 'x')) && WriteBytes(folder / L"even.txt", "secret"));
    const Outcome outcome =
        RunTmerase(L"--verify --level high " + Quoted(folder / L"odd.txt") + L" " + Quoted(folder / L"even.txt"));
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.out, ErasedLine(L"odd.txt") + ErasedLine(L"even.txt") + EncodeCp932(L"確認数:2ファイル") + "\r\n");
}

TEST(Tmerase, UsageErrorsExitWithTwoAndTouchNothing) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"a.txt", "x"));
    const std::wstring file = Quoted(folder / L"a.txt");
    for (const std::wstring& arguments :
         std::vector<std::wstring>{L"", L"--level", L"--level extreme " + file, L"--bogus " + file, L"--recurse",
                                   L"--free-space --verify " + Quoted(folder.Path())}) {
        const Outcome outcome = RunTmerase(arguments);
        EXPECT_EQ(outcome.exitCode, 2u) << std::string(arguments.begin(), arguments.end());
        EXPECT_TRUE(outcome.out.empty());
        EXPECT_NE(outcome.err.find("tmerase [--level"), std::string::npos);
    }
    EXPECT_EQ(ReadBytes(folder / L"a.txt"), "x");

    const Outcome help = RunTmerase(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find("--recurse"), std::string::npos);
}

TEST(Tmerase, DoubleDashEndsTheOptions) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"--recurse", "x"));
    ::SetCurrentDirectoryW(folder.Path().c_str());
    const Outcome outcome = RunTmerase(L"-- --recurse");
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.out, ErasedLine(L"--recurse"));
    EXPECT_FALSE(FileExists(folder / L"--recurse"));
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH, temp);
    ::SetCurrentDirectoryW(temp);
}

TEST(Tmerase, ReportIsWrittenAtTheEndInTheFormItsNameAsksForAlsoWhenTheRunFailed) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"busy.txt", "keep me"));
    ASSERT_TRUE(WriteBytes(folder / L"free,&.txt", "erase"));
    UniqueFile busy(::CreateFileW((folder / L"busy.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(busy);
    const std::wstring files = L" " + Quoted(folder / L"busy.txt") + L" " + Quoted(folder / L"free,&.txt");
    Outcome outcome = RunTmerase(L"--level normal --report " + Quoted(folder / L"run.CSV") + files);
    busy.reset();
    EXPECT_EQ(outcome.exitCode, 1u);
    const auto records = ParseCsv(ReadUtf8WithMark(folder / L"run.CSV"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0][0], L"製品");
    EXPECT_EQ(records[1][9], L"Normal");
    EXPECT_EQ(records[1][5], L"") << "tmerase has no profile";
    // Nothing reached the held file; the erased one got its passes and the tip of its cluster.
    EXPECT_EQ(records[1][16] + L"|" + records[1][18] + L"|" + records[1][20], folder / L"busy.txt" + L"|0|処理できませんでした");
    EXPECT_EQ(records[2][16] + L"|" + records[2][20], folder / L"free,&.txt" + L"|抹消済み");
    EXPECT_GE(std::stoll(records[2][18]), 12);
    EXPECT_EQ(records[2][19], L"Normal: 2 回 (0xFFFE, 0x0000)");
    EXPECT_EQ(EncodeCp932(records[2][21]) + "\r\n", ErasedLine(L"free,&.txt"));

    outcome = RunTmerase(L"--report=" + Quoted(folder / L"run.html") + L" " + Quoted(folder / L"missing.txt"));
    EXPECT_EQ(outcome.exitCode, 1u);
    const std::wstring page = ReadUtf8WithMark(folder / L"run.html");
    EXPECT_NE(page.find(L"missing.txt</td>"), std::wstring::npos) << "a failed run has its report";

    // A report that could not be written is refused before anything is erased.
    for (const std::wstring& report : {folder / L"no such folder\\r.html", folder / L"r.txt"}) {
        outcome = RunTmerase(L"--report " + Quoted(report) + L" " + Quoted(folder / L"busy.txt"));
        EXPECT_EQ(outcome.exitCode, 2u);
        EXPECT_EQ(ReadBytes(folder / L"busy.txt"), "keep me");
    }
}

}  // namespace
