// The engine and tmerase on real file systems that fixtures.sh made natively before the run:
// Unix links, names the plain Windows path forms cannot reach, a full ext4 image and a folder
// that refuses renames and deletes. What the machine could not make is skipped.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/EraseFunc.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Tmerase.h"

namespace {

// The fixtures' folder as this program sees it, empty when there is none.
std::wstring FixtureRoot() {
    const wchar_t* unix = _wgetenv(L"TM_REALFS");
    if (!unix || unix[0] != L'/') return {};
    std::wstring root = std::wstring(L"Z:") + unix;
    std::replace(root.begin(), root.end(), L'/', L'\\');
    return root;
}

// Whether fixtures.sh could make `what` ("links", "odd", "full", "immutable").
bool Ready(const std::string& what) {
    const std::wstring root = FixtureRoot();
    if (root.empty()) return false;
    std::ifstream ready(std::string(root.begin(), root.end()) + "\\ready");
    for (std::string line; std::getline(ready, line);)
        if (line == what) return true;
    return false;
}

#define REQUIRE_FIXTURE(what) \
    if (!Ready(what)) GTEST_SKIP() << "fixtures.sh could not make '" what "' here (needs the ctest fixture; root for mounts)"

// Every level refuses the links of `links` (made by make_links), and a folder erase of its docs
// fails on each of them without reaching out of the folder.
void ExpectLinksRefused(const std::wstring& links) {
    const std::wstring docs = links + L"\\docs";
    const std::wstring outside = links + L"\\outside";
    const DWORD targetAttributes = ::GetFileAttributesW((outside + L"\\ro-target.txt").c_str());
    for (EraseLevel level : {EraseLevel::Speed, EraseLevel::Normal, EraseLevel::High}) {
        for (const wchar_t* link : {L"rel.txt", L"same.txt", L"ro-link.txt", L"dangling.txt"}) {
            EXPECT_FALSE(OverwriteFile(docs + L"\\" + link, level)) << link;
            // Wine does not list a link that leads nowhere at all.
            const auto entries = EntriesOf(docs);
            if (std::wstring(link) != L"dangling.txt") {
                EXPECT_EQ(std::count(entries.begin(), entries.end(), link), 1) << link << " is left in place";
            }
            EXPECT_FALSE(FsEntryExists(docs + L"\\$" + link)) << link;
        }
        EXPECT_EQ(ReadBytes(outside + L"\\target.txt"), "outside target");
        EXPECT_EQ(ReadBytes(docs + L"\\plain.txt"), "plain");
        EXPECT_EQ(ReadBytes(outside + L"\\ro-target.txt"), "read-only target");
        EXPECT_EQ(::GetFileAttributesW((outside + L"\\ro-target.txt").c_str()), targetAttributes)
            << "the target's read-only attribute is not cleared";
    }
    // A file reached through a link to its folder is the file itself.
    EXPECT_TRUE(OverwriteFile(docs + L"\\dirlink\\inner.txt", EraseLevel::Speed));
    EXPECT_FALSE(FileExists(outside + L"\\inner.txt"));
    // A hard link is the same file under another name: erasing it empties the file.
    EXPECT_TRUE(OverwriteFile(docs + L"\\hard-b.txt", EraseLevel::Normal));
    EXPECT_FALSE(FsEntryExists(docs + L"\\hard-b.txt"));
    EXPECT_EQ(ReadBytes(docs + L"\\hard-a.txt"), "");
    std::vector<std::wstring> gathered;
    CollectFolder(links + L"\\docs", L"", gathered, true);
    EXPECT_EQ(std::count(gathered.begin(), gathered.end(), links + L"\\docs\\rel.txt"), 1);
    EXPECT_EQ(std::count(gathered.begin(), gathered.end(), links + L"\\docs\\dirlink"), 1) << "not descended into";

    const TmeraseOutcome outcome = RunTmerase(L"--recurse --level high " + Quoted(links + L"\\docs"));
    EXPECT_EQ(outcome.exitCode, 1u);
    for (const wchar_t* link : {L"rel.txt", L"same.txt", L"ro-link.txt", L"dirlink"})
        EXPECT_NE(outcome.out.find(FailedLine(link)), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find(ErasedLine(L"plain.txt")), std::string::npos);
    EXPECT_EQ(ReadBytes(links + L"\\outside\\target.txt"), "outside target");
    EXPECT_EQ(ReadBytes(links + L"\\outside\\ro-target.txt"), "read-only target");
    EXPECT_TRUE(FsEntryExists(links + L"\\docs\\rel.txt"));
}

TEST(RealFileSystem, LinksToFilesAreRefusedAtEveryLevelAndTheirTargetsSurvive) {
    REQUIRE_FIXTURE("links");
    ExpectLinksRefused(FixtureRoot() + L"\\links");
}

TEST(RealFileSystem, LinksOnNtfsAreRefusedToo) {
    REQUIRE_FIXTURE("ntfs");
    ExpectLinksRefused(FixtureRoot() + L"\\ntfs\\links");
}

// The sparse file on the full disk `full` (made by make_full) fails and stays; with room it goes.
void ExpectFullDiskLeavesTheFile(const std::wstring& full) {
    const std::wstring sparse = full + L"\\sparse.bin";
    TmeraseOutcome outcome = RunTmerase(Quoted(sparse));
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.out, FailedLine(L"sparse.bin"));
    ASSERT_TRUE(FileExists(sparse)) << "left under its own name";
    EXPECT_FALSE(FsEntryExists(full + L"\\$sparse.bin"));
    {
        UniqueFileLock open(sparse);
        ASSERT_TRUE(open.Held());
    }
    EXPECT_EQ(FileSizeOf(sparse), 2 * 1024 * 1024) << "not cut";

    // With room again the same file is erased.
    ASSERT_TRUE(::DeleteFileW((full + L"\\filler").c_str()));
    outcome = RunTmerase(Quoted(sparse));
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.out, ErasedLine(L"sparse.bin"));
    EXPECT_FALSE(FsEntryExists(sparse));
}

TEST(RealFileSystem, ARefusedWriteOnAFullDiskLeavesTheFileToTryAgain) {
    REQUIRE_FIXTURE("full");
    ExpectFullDiskLeavesTheFile(FixtureRoot() + L"\\full");
}

TEST(RealFileSystem, AFullNtfsDiskLeavesTheFileToo) {
    REQUIRE_FIXTURE("ntfs");
    ExpectFullDiskLeavesTheFile(FixtureRoot() + L"\\ntfs\\full");
}

TEST(RealFileSystem, ADeleteThatDoesNotHappenIsAFailure) {
    REQUIRE_FIXTURE("immutable");
    const std::wstring kept = FixtureRoot() + L"\\locked\\folder\\kept.txt";
    // The folder refuses new, renamed and removed entries, not writes to its files.
    ASSERT_TRUE(WriteBytes(kept, "secret"));
    const TmeraseOutcome outcome = RunTmerase(Quoted(kept));
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.out, FailedLine(L"kept.txt"));
    EXPECT_TRUE(FileExists(kept));
    EXPECT_EQ(ReadBytes(kept), "") << "overwritten and cut, but still there";
    EXPECT_FALSE(FsEntryExists(FixtureRoot() + L"\\locked\\folder\\$kept.txt"));
    EXPECT_FALSE(OverwriteFile(kept, EraseLevel::Speed));
}

TEST(RealFileSystem, EveryEntryOfAFolderWithOddNamesEndsInALine) {
    REQUIRE_FIXTURE("odd");
    const std::wstring odd = FixtureRoot() + L"\\odd";
    const std::wstring longName = std::wstring(240, L'L') + L".txt";
    // Not descending: the file named "back\slash" fails and the file slash in the folder back
    // is not touched for it.
    TmeraseOutcome outcome = RunTmerase(Quoted(odd));
    EXPECT_EQ(outcome.exitCode, 1u);
    for (const std::wstring& name : {std::wstring(L"trail."), std::wstring(L"blank "), std::wstring(L"a:b.txt"), longName})
        EXPECT_NE(outcome.out.find(ErasedLine(name)), std::string::npos) << name.size();
    for (const wchar_t* name : {L"q?.txt", L"st*r", L"pi|pe", L"back\\slash"})
        EXPECT_NE(outcome.out.find(FailedLine(name)), std::string::npos);
    EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 8) << outcome.out;
    EXPECT_EQ(ReadBytes(odd + L"\\back\\slash"), "the real slash");
    for (const std::wstring& name : {std::wstring(L"trail."), std::wstring(L"blank "), longName})
        EXPECT_FALSE(FsEntryExists(odd + L"\\" + name));

    // Descending: the deep file beyond the classic path limit is erased too.
    outcome = RunTmerase(L"--recurse " + Quoted(odd));
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_NE(outcome.out.find(ErasedLine(L"deep.txt")), std::string::npos);
    EXPECT_NE(outcome.out.find(ErasedLine(L"slash")), std::string::npos);
    EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 6) << outcome.out;
    std::wstring deep = odd + L"\\deep";
    for (int i = 0; i < 6; ++i) deep += L"\\" + std::wstring(50, L'D');
    EXPECT_GT(deep.size(), 300u);
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_FALSE(FsEntryExists(deep + L"\\deep.txt"));
}

}  // namespace
