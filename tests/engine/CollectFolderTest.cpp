#include <windows.h>

#include <winioctl.h>

#include <algorithm>
#include <stdexcept>

#include "common/Handles.h"
#include "tests/engine/EngineFixture.h"

namespace {

class CollectFolderTest : public EngineTest {
protected:
    void Make(const std::wstring& relative) {
        const std::wstring path = folder_ / relative;
        if (!relative.empty() && relative.back() == L'\\')
            ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
        else
            ASSERT_TRUE(WriteBytes(path, "x"));
    }
    std::wstring P(const std::wstring& relative) const { return folder_ / relative; }

    static std::vector<std::wstring> Sorted(std::vector<std::wstring> list) {
        std::sort(list.begin(), list.end());
        return list;
    }
};

TEST_F(CollectFolderTest, MissingOrEmptyFolderAppendsNothingAndReportsNothing) {
    std::vector<std::wstring> list{L"kept"};
    CollectFolder(P(L"missing"), L"", list, true);
    Make(L"empty\\");
    CollectFolder(P(L"empty"), L"", list, true);
    Make(L"file.txt");
    CollectFolder(P(L"file.txt"), L"", list, false);
    EXPECT_EQ(list, std::vector<std::wstring>{L"kept"});
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(CollectFolderTest, WithoutRecursionSubfoldersAreListedAsEntries) {
    Make(L"a.txt");
    Make(L"sub\\");
    Make(L"sub\\b.txt");
    std::vector<std::wstring> list{L"kept"};
    CollectFolder(folder_.Path(), L"", list, false);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], L"kept") << "the list is only appended to";
    EXPECT_EQ(Sorted({list[1], list[2]}), Sorted({P(L"a.txt"), P(L"sub")}));
}

TEST_F(CollectFolderTest, RecursionTakesEverythingBelowDepthFirstButNotTheFolders) {
    Make(L"a.txt");
    Make(L"sub\\");
    Make(L"sub\\b.txt");
    Make(L"sub\\c.txt");
    Make(L"sub\\deeper\\");
    Make(L"sub\\deeper\\d.txt");
    Make(L"sub\\empty\\");
    Make(L"z.txt");
    std::vector<std::wstring> list;
    CollectFolder(folder_.Path(), L"", list, true);
    EXPECT_EQ(Sorted(list),
              Sorted({P(L"a.txt"), P(L"sub\\b.txt"), P(L"sub\\c.txt"), P(L"sub\\deeper\\d.txt"), P(L"z.txt")}));
    // Everything from below sub stands together, where sub was met.
    const auto first = std::find_if(list.begin(), list.end(),
                                    [&](const std::wstring& p) { return p.rfind(P(L"sub\\"), 0) == 0; });
    ASSERT_NE(first, list.end());
    EXPECT_TRUE(std::all_of(first, first + 3, [&](const std::wstring& p) { return p.rfind(P(L"sub\\"), 0) == 0; }));
}

// Names Windows paths cannot spell plainly (a trailing dot or blank) are listed under the plain
// "folder\name" form, with the name as the folder holds it; a subfolder that cannot be read
// gives nothing, and its neighbours are listed still.
TEST_F(CollectFolderTest, OddNamesKeepThePlainFormAndAnUnreadableSubfolderIsPassedOver) {
    for (const wchar_t* name : {L"trail.", L"blank ", L" lead.txt"})
        ASSERT_TRUE(WriteBytes(L"\\\\?\\" + P(name), "x")) << "made through the system form";
    Make(L"a.txt");
    Make(L"shut\\");
    Make(L"shut\\inside.txt");
    Make(L"z\\");
    Make(L"z\\b.txt");
    UniqueFile shut(::CreateFileW(P(L"shut").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(shut);
    std::vector<std::wstring> list;
    CollectFolder(folder_.Path(), L"", list, true);
    EXPECT_EQ(Sorted(list), Sorted({P(L"trail."), P(L"blank "), P(L" lead.txt"), P(L"a.txt"), P(L"z\\b.txt")}));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(CollectFolderTest, HiddenSystemAndReadOnlyEntriesAreIncluded) {
    Make(L"hidden.txt");
    Make(L"system.txt");
    Make(L"ro.txt");
    ::SetFileAttributesW(P(L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(P(L"system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ::SetFileAttributesW(P(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::wstring> list;
    CollectFolder(folder_.Path(), L"", list, true);
    EXPECT_EQ(Sorted(list), Sorted({P(L"hidden.txt"), P(L"system.txt"), P(L"ro.txt")}));
}

TEST_F(CollectFolderTest, MaskFiltersOnlyTheTopFolder) {
    Make(L"a.txt");
    Make(L"b.doc");
    Make(L"x.txt\\");
    Make(L"x.txt\\c.doc");
    Make(L"x.txt\\d.txt");
    Make(L"plain\\");
    Make(L"plain\\e.txt");
    std::vector<std::wstring> list;
    CollectFolder(folder_.Path(), L"\\*.txt", list, true);
    EXPECT_EQ(Sorted(list), Sorted({P(L"a.txt"), P(L"x.txt\\c.doc"), P(L"x.txt\\d.txt")}));
}

TEST_F(CollectFolderTest, FailureWhileAppendingEndsThatFolderOnlyAndIsReported) {
    Make(L"a.txt");
    Make(L"sub\\");
    Make(L"sub\\1.txt");
    Make(L"sub\\2.txt");
    Make(L"sub\\3.txt");
    Make(L"z.txt");
    std::vector<std::wstring> list;
    int appendsInSub = 0;
    CollectFolder(folder_.Path(), L"",
                  [&](const std::wstring& path) {
                      if (path.rfind(P(L"sub\\"), 0) == 0 && ++appendsInSub == 2)
                          throw std::runtime_error("list full");
                      list.push_back(path);
                  },
                  true);
    // One entry of sub got in before the failure; both top-level files did.
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [&](const std::wstring& p) { return p.rfind(P(L"sub\\"), 0) == 0; }), 1);
    EXPECT_NE(std::find(list.begin(), list.end(), P(L"a.txt")), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), P(L"z.txt")), list.end());
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"DirSeachError");
    EXPECT_EQ(reports[0].unit, L"EraseFunc");
    EXPECT_EQ(reports[0].line, 238);
}

bool IsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Makes `link` a junction to `target`; false where the platform does not let us.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
    UniqueFile dir(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!dir) return false;
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
    std::vector<BYTE> buffer(8 + 8 + substituteBytes + 2 + printBytes + 2);
    auto put16 = [&](std::size_t at, USHORT v) { memcpy(&buffer[at], &v, 2); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(&buffer[0], &tag, 4);
    put16(4, static_cast<USHORT>(buffer.size() - 8));
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, static_cast<USHORT>(substituteBytes + 2));
    put16(14, printBytes);
    memcpy(&buffer[16], substitute.data(), substituteBytes);
    memcpy(&buffer[16 + substituteBytes + 2], target.data(), printBytes);
    DWORD returned = 0;
    const bool made = ::DeviceIoControl(dir.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr) != FALSE;
    dir.reset();
    if (!made) ::RemoveDirectoryW(link.c_str());
    return made && IsLink(link);
}

TEST_F(CollectFolderTest, LinkedFoldersAreNotDescendedInto) {
    Make(L"tree\\");
    Make(L"tree\\a.txt");
    Make(L"outside\\");
    Make(L"outside\\victim.txt");
    // Some platforms (Wine among them) accept the call and make nothing.
    const bool symlink = ::CreateSymbolicLinkW(P(L"tree\\symlink").c_str(), P(L"outside").c_str(),
                                               SYMBOLIC_LINK_FLAG_DIRECTORY) &&
                         IsLink(P(L"tree\\symlink"));
    const bool junction = MakeJunction(P(L"tree\\junction"), P(L"outside"));
    if (!symlink && !junction) GTEST_SKIP() << "neither symbolic links nor junctions can be made here";
    std::vector<std::wstring> list;
    CollectFolder(P(L"tree"), L"", list, true);
    std::vector<std::wstring> expected{P(L"tree\\a.txt")};
    if (symlink) expected.push_back(P(L"tree\\symlink"));
    if (junction) expected.push_back(P(L"tree\\junction"));
    EXPECT_EQ(Sorted(list), Sorted(expected));
    EXPECT_TRUE(FileExists(P(L"outside\\victim.txt")));
}

}  // namespace
