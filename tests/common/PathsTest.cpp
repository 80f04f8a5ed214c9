#include <gtest/gtest.h>

#include "common/Paths.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(Paths, SplitsFolderNameAndExtension) {
    EXPECT_EQ(ExtractFilePath(L"C:\\data\\report.doc"), L"C:\\data\\");
    EXPECT_EQ(ExtractFileName(L"C:\\data\\report.doc"), L"report.doc");
    EXPECT_EQ(ExtractFileExt(L"C:\\data\\report.doc"), L".doc");
    EXPECT_EQ(ExtractFileExt(L"C:\\data\\archive.tar.gz"), L".gz");
    EXPECT_EQ(ExtractFileExt(L"C:\\data.old\\README"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\data\\.profile"), L".profile");
    EXPECT_EQ(ExtractFilePath(L"C:x.txt"), L"C:");
    EXPECT_EQ(ExtractFileName(L"C:x.txt"), L"x.txt");
    EXPECT_EQ(ExtractFilePath(L"plain.txt"), L"");
    EXPECT_EQ(ExtractFileName(L"C:\\data\\"), L"");
}

TEST(Paths, ProgramFolderHoldsTheRunningExecutable) {
    const std::wstring folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_TRUE(FileExists(folder + L"common_tests.exe"));
}

TEST(Paths, TellsFilesFromFolders) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"a.txt", "x"));
    EXPECT_TRUE(FileExists(folder / L"a.txt"));
    EXPECT_FALSE(DirectoryExists(folder / L"a.txt"));
    EXPECT_TRUE(DirectoryExists(folder.Path()));
    EXPECT_FALSE(FileExists(folder.Path()));
    EXPECT_FALSE(FileExists(folder / L"missing"));
    EXPECT_FALSE(DirectoryExists(folder / L"missing"));
}

}  // namespace
