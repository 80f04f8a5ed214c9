#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "tests/support/TempFolder.h"

namespace {

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

std::string Drain(HANDLE pipe) {
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

// Runs tmerase.exe (beside this test) with the arguments, its output going to pipes.
Outcome RunTmerase(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    ::CreatePipe(&outRead, &outWrite, &inherit, 0);
    ::CreatePipe(&errRead, &errWrite, &inherit, 0);
    UniqueKernelHandle outReader(outRead), errReader(errRead);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring commandLine = L"\"" + ProgramFolder() + L"tmerase.exe\" " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                          nullptr, nullptr, &startup, &process);
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    Outcome outcome;
    if (!started) return outcome;
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    std::thread errThread([&] { outcome.err = Drain(errRead); });
    outcome.out = Drain(outRead);
    errThread.join();
    ::WaitForSingleObject(process.hProcess, 60000);
    ::GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    return outcome;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::string ErasedLine(const std::wstring& name) {
    return EncodeCp932(L"ファイル名:" + name + L"をディスクから抹消しました。") + "\r\n";
}
std::string FailedLine(const std::wstring& name) {
    return EncodeCp932(L"ファイル名:" + name + L"を正しく処理出来ませんでした。") + "\r\n";
}

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

TEST(Tmerase, UsageErrorsExitWithTwoAndTouchNothing) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"a.txt", "x"));
    const std::wstring file = Quoted(folder / L"a.txt");
    for (const std::wstring& arguments :
         std::vector<std::wstring>{L"", L"--level", L"--level extreme " + file, L"--bogus " + file, L"--recurse"}) {
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

}  // namespace
