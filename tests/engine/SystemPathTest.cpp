// Names the plain path forms cannot reach, and the redirection every file call is made without.

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/FileSystem.h"
#include "tests/engine/EngineFixture.h"

namespace {

using SystemPaths = EngineTest;

TEST_F(SystemPaths, OnlyFullPathsThatNeedNoResolvingTakeTheLongForm) {
    EXPECT_EQ(SystemPathOf(L"C:\\data\\a.txt"), L"\\\\?\\C:\\data\\a.txt");
    EXPECT_EQ(SystemPathOf(L"c:\\"), L"\\\\?\\c:\\");
    EXPECT_EQ(SystemPathOf(L"C:\\data\\trail."), L"\\\\?\\C:\\data\\trail.");
    EXPECT_EQ(SystemPathOf(L"\\\\server\\share\\a.txt"), L"\\\\?\\UNC\\server\\share\\a.txt");
    EXPECT_EQ(SystemPathOf(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    for (const wchar_t* plain : {L"a.txt", L"C:a.txt", L"C:\\data\\..\\a.txt", L"C:\\data\\.\\a.txt", L"C:\\data\\\\a.txt",
                                 L"C:/data/a.txt", L"\\data\\a.txt", L""})
        EXPECT_EQ(SystemPathOf(plain), plain);
    EXPECT_FALSE(IsAddressableName(L"back\\slash"));
    EXPECT_FALSE(IsAddressableName(L"q?.txt"));
    EXPECT_TRUE(IsAddressableName(L"trail."));
    EXPECT_TRUE(IsAddressableName(L"データ ファイル.txt"));
}

TEST_F(SystemPaths, TrailingDotsBlanksAndLongPathsAreGatheredAndErased) {
    std::wstring deep = folder_.Path();
    for (int i = 0; i < 5; ++i) {
        deep += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + i));
        ASSERT_TRUE(::CreateDirectoryW(SystemPathOf(deep).c_str(), nullptr));
    }
    const std::vector<std::wstring> files{folder_ / L"trail.", folder_ / L"blank ", deep + L"\\deep.txt"};
    for (const auto& file : files) ASSERT_TRUE(WriteBytes(SystemPathOf(file), "secret")) << file.size();
    ASSERT_GT(files[2].size(), static_cast<std::size_t>(MAX_PATH));

    std::vector<std::wstring> gathered;
    CollectFolder(folder_.Path(), L"", gathered, true);
    EXPECT_EQ(gathered.size(), 3u);
    for (const auto& file : files) {
        EXPECT_EQ(std::count(gathered.begin(), gathered.end(), file), 1);
        EXPECT_TRUE(FileExists(file));
        EXPECT_EQ(FileSizeOf(file), 6);
        EXPECT_TRUE(OverwriteFile(file, EraseLevel::Normal));
        EXPECT_FALSE(FsEntryExists(file));
    }
    EXPECT_TRUE(RecordedAssertions().empty());
}

// A stand-in for the system's redirection switch that tells whether it is off.
struct FakeRedirection {
    static inline bool off = false;
    static inline int disables = 0;
    static inline int reverts = 0;
    static inline PVOID lastRevertValue = nullptr;
    static BOOL WINAPI Disable(PVOID* old) {
        ++disables;
        *old = reinterpret_cast<PVOID>(static_cast<INT_PTR>(0x5A5A));
        off = true;
        return TRUE;
    }
    static BOOL WINAPI Revert(PVOID old) {
        ++reverts;
        lastRevertValue = old;
        off = false;
        return TRUE;
    }
};

TEST_F(SystemPaths, EveryFileCallOfTheEngineIsMadeWithTheRedirectionOff) {
    const std::wstring readOnly = folder_ / L"ro.txt";
    ASSERT_TRUE(WriteBytes(readOnly, "secret"));
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteBytes(folder_ / L"b.txt", "12345"));

    FakeRedirection::off = false;
    FakeRedirection::disables = FakeRedirection::reverts = 0;
    std::vector<std::pair<std::wstring, bool>> calls;
    FileSystemRedirectionCalls fake;
    fake.disable = FakeRedirection::Disable;
    fake.revert = FakeRedirection::Revert;
    fake.watchCall = [&](const std::wstring& path) { calls.emplace_back(path, FakeRedirection::off); };
    const FileSystemRedirectionCalls previous = SetFileSystemRedirectionCalls(fake);
    std::vector<std::wstring> gathered;
    CollectFolder(folder_.Path(), L"", gathered, true);
    const std::int64_t size = FileSizeOf(folder_ / L"b.txt");
    const bool erased = OverwriteFile(readOnly, EraseLevel::High);
    {
        NativeFileSystem outer;
        NativeFileSystem inner;
        EXPECT_TRUE(FakeRedirection::off);
    }
    SetFileSystemRedirectionCalls(previous);

    EXPECT_EQ(gathered.size(), 2u);
    EXPECT_EQ(size, 5);
    EXPECT_TRUE(erased);
    EXPECT_FALSE(FileExists(readOnly));
    ASSERT_GT(calls.size(), 5u);
    for (const auto& [path, off] : calls) EXPECT_TRUE(off) << std::string(path.begin(), path.end());
    EXPECT_EQ(calls.front().first, SystemPathOf(folder_.Path()));
    EXPECT_FALSE(FakeRedirection::off) << "turned back on after each call";
    EXPECT_EQ(FakeRedirection::disables, FakeRedirection::reverts);
    EXPECT_EQ(FakeRedirection::reverts, static_cast<int>(calls.size()))
        << "one switch per call (the one move names two paths) and one for the nested scopes";
    EXPECT_EQ(FakeRedirection::lastRevertValue, reinterpret_cast<PVOID>(static_cast<INT_PTR>(0x5A5A)));
}

}  // namespace
