// The free-space fill on a folder of the test's own, with the volume's answers (the free space,
// a full disk, compression, the size of a file record) given through the seams, and
// tmerase's free-space command run in this process for the ends of the console and session.

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/EraseSeams.h"
#include "engine/FreeSpace.h"
#include "tests/support/HostShell.h"
#include "tests/support/TempFolder.h"
#include "tools/tmerase/FreeSpaceCommand.h"

namespace {

// Each test works in a folder of its own and leaves the seams and environment as it found them (the defaults).
class FreeSpaceTest : public testing::Test {
protected:
    void SetUp() override { ::CreateDirectoryW(work.c_str(), nullptr); }
    void TearDown() override { SetEraseSeams({}), SetFreeSpaceSeams({}), SetEraseEnvironment({}); }
    std::wstring Fill(const std::wstring& name = {}) const {
        return work + L"\\" + kFreeSpaceFolderName + (name.empty() ? L"" : L"\\" + name);
    }

    TempFolder temp;
    const std::wstring work = temp / L"work";
};

std::wstring NameOf(HANDLE file) {
    const std::wstring path = FinalPathOf(file);
    return path.substr(path.find_last_of(L'\\') + 1);
}

// A scanner holding a fill file, without sharing, until the second message servicing after it met it.
std::optional<UniqueFileLock> g_scanner;
int g_servicesSeen = 0;
void ScannerLetsGoSoon() {
    if (g_scanner && ++g_servicesSeen == 2) g_scanner.reset();
}

}  // namespace

// A disk of 256 KiB + 1536 bytes for the fill and records that keep 720 bytes of data, five
// of them; the volume does not say its record size. While the record step ends, `records`
// is renamed and replaced by a link to a folder holding files of the run's names; as the
// second pass begins, a scanner holds the fill file for a moment.
TEST_F(FreeSpaceTest, LinkSwappedForTheRecordsFolderLeadsNowhereAndTheFillGoesFirst) {
    const std::wstring outside = temp / L"outside";
    ::CreateDirectoryW(outside.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(outside + L"\\rec000000.tmf", "the user's record") &&
                WriteBytes(outside + L"\\fill00000.tmf", "the user's fill"));
    constexpr DWORD kRoom = 256 * 1024 + 1536;
    FreeSpaceProgress::Stage stage = FreeSpaceProgress::Filling;
    DWORD filled = 0;
    int records = 0;
    bool swapped = false;  // at the end of the record step
    std::vector<DWORD> fillWrites, firstRecordWrites;
    EraseSeams seams;
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) -> BOOL {
        const std::wstring name = NameOf(file);
        bool full = false;
        if (stage == FreeSpaceProgress::Filling && name.rfind(L"fill", 0) == 0) {
            fillWrites.push_back(size);
            full = filled + size > kRoom;
            if (!full) filled += size;
        } else if (stage == FreeSpaceProgress::Records) {
            if (name == L"rec000000.tmf") firstRecordWrites.push_back(size);
            full = size > 720 || records == 5;
            if (!full) ++records;
        }
        if (!full) return ::WriteFile(file, data, size, written, nullptr);
        *written = 0;
        return ::SetLastError(ERROR_DISK_FULL), FALSE;
    };
    SetEraseSeams(seams);
    FreeSpaceSeams volume;
    volume.freeBytes = [&](const std::wstring&, bool forCaller) -> std::int64_t { return forCaller ? 0 : kRoom; };
    SetFreeSpaceSeams(volume);

    FreeSpaceJob job(work, EraseLevel::Normal, temp / L"FreeSpace.txt");
    g_servicesSeen = 0;
    SetEraseEnvironment({nullptr, ScannerLetsGoSoon, {}});
    bool fillGoneFirst = false, scanned = false;
    job.progress = [&](const FreeSpaceProgress& progress) {
        stage = progress.stage;
        if (progress.stage == FreeSpaceProgress::Records && progress.recordFiles == 5 && !swapped) {
            const std::string records = UnixNameOf(Fill(L"records"));
            swapped = RunHostShell("mv '" + records + "' '" + records + ".old' && ln -s '" + UnixNameOf(outside) + "' '" +
                                       records + "'",
                                   [&] { return FsEntryExists(Fill(L"records.old")); });
        }
        if (progress.stage == FreeSpaceProgress::Rewriting && !scanned)
            scanned = g_scanner.emplace(Fill(L"fill00000.tmf")).Held();
        if (progress.stage == FreeSpaceProgress::CleaningUp && progress.cleaned == 1)
            fillGoneFirst = !FsEntryExists(Fill(L"fill00000.tmf")) && FsEntryExists(Fill(L"records.old\\rec000004.tmf"));
    };
    const FreeSpaceResult result = job.Run();
    ASSERT_TRUE(swapped) << "the host's shell renames and links";
    EXPECT_TRUE(scanned && !g_scanner);

    EXPECT_EQ(ReadBytes(outside + L"\\rec000000.tmf"), "the user's record");
    EXPECT_EQ(ReadBytes(outside + L"\\fill00000.tmf"), "the user's fill");
    EXPECT_TRUE(fillGoneFirst);
    // The disk full: the write halves down to the sector, the last clusters taken too.
    const std::vector<DWORD> halving = {65536, 65536, 65536, 65536, 65536, 32768, 16384, 8192, 4096, 2048, 1024, 1024, 512, 512};
    EXPECT_EQ(fillWrites, halving);
    EXPECT_EQ(result.filled, kRoom);
    // Not told the record size, the first record file tries from the size of a 4 KiB record
    // down; the others start where it ended.
    EXPECT_EQ(firstRecordWrites, (std::vector<DWORD>{3800, 3400, 3000, 2600, 2200, 1800, 1400, 1000, 720}));
    EXPECT_EQ(result.recordFiles, 5);
    EXPECT_EQ(result.recordBytes, 720);
    EXPECT_TRUE(result.overwritten) << result.message;
    // What the swap hid from the run stays, and the run says so.
    EXPECT_FALSE(result.cleanedUp);
    EXPECT_NE(result.leftover.find(kFreeSpaceFolderName), std::wstring::npos);
    EXPECT_EQ(FreeSpaceRecordSizes(1024).front(), 720u);
    EXPECT_EQ(FreeSpaceRecordSizes(4096).front(), 3800u);
    // The link's dangling after the test's folder goes; the host removes it.
    RunHostShell("rm -rf '" + UnixNameOf(work) + "'", [&] { return !FsEntryExists(work); });
}

TEST_F(FreeSpaceTest, FillFileThatStaysCompressedIsRefusedAndNothingStays) {
    FreeSpaceSeams volume;
    volume.freeBytes = [](const std::wstring&, bool) -> std::int64_t { return 1 << 20; };
    volume.fileAttributes = [](HANDLE) -> DWORD { return FILE_ATTRIBUTE_COMPRESSED; };
    SetFreeSpaceSeams(volume);
    FreeSpaceJob job(work, EraseLevel::Speed, temp / L"FreeSpace.txt");
    const FreeSpaceResult result = job.Run();
    EXPECT_FALSE(result.overwritten);
    EXPECT_EQ(result.message, L"このフォルダでは圧縮されたファイルしか作れないため、空き領域を埋められません。");
    EXPECT_TRUE(result.cleanedUp);
    EXPECT_TRUE(EntriesOf(work).empty());
}

// Two leftovers: one of only our entries, one that also holds what is not ours and links.
TEST_F(FreeSpaceTest, LeftoverCleanupRemovesOnlyItsOwnEntriesAndNeverFollowsALink) {
    const std::wstring other = temp / L"other", outside = temp / L"outside";
    for (const std::wstring& folder : {other, outside, Fill(), Fill(L"records"), Fill(L"records\\d000000.tmf"),
                                       other + L"\\" + kFreeSpaceFolderName, other + L"\\" + kFreeSpaceFolderName + L"\\d12.tmf"})
        ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring mine[] = {L"fill00000.tmf", L"fill123456.tmf", L"records\\rec000000.tmf",
                                 L"records\\d000000.tmf\\rec1234567.tmf", kFreeSpaceMarkerName};
    for (const auto& name : mine) WriteBytes(Fill(name), "x");
    const std::wstring leftover = other + L"\\" + kFreeSpaceFolderName;
    const std::wstring foreign[] = {L"notes.txt", L"fill12.tmf", L"rec00000x.tmf", L"d12.tmf\\rec000000.tmf"};
    for (const auto& name : foreign) WriteBytes(leftover + L"\\" + name, "keep");
    WriteBytes(leftover + L"\\" + kFreeSpaceMarkerName, "x");
    WriteBytes(leftover + L"\\fill00000.tmf", "x");
    WriteBytes(outside + L"\\rec000000.tmf", "outside");
    const std::string unixLeftover = UnixNameOf(leftover), unixOutside = UnixNameOf(outside);
    ASSERT_TRUE(RunHostShell("mkdir '" + unixLeftover + "/records' && ln -s '" + unixOutside + "' '" + unixLeftover +
                                 "/records/d000001.tmf' && ln -s '" + unixOutside + "/rec000000.tmf' '" + unixLeftover +
                                 "/fill00001.tmf'",
                             [&] { return FsEntryExists(leftover + L"\\fill00001.tmf"); }));

    // The record of earlier versions moves into the shared one.
    const std::wstring older = temp / L"older.txt", shared = temp / L"FreeSpace.txt";
    ASSERT_TRUE(ReplaceTextFile(older, {work + L"\\" + kFreeSpaceFolderName}));
    ASSERT_TRUE(ReplaceTextFile(shared, {leftover}));
    MoveFreeSpaceRecord(older, shared);
    EXPECT_FALSE(FsEntryExists(older));

    const auto found = CleanUpFreeSpaceLeftovers(shared);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_FALSE(found[0].removed);
    EXPECT_TRUE(found[1].removed);
    EXPECT_EQ(found[1].files, 4);
    EXPECT_FALSE(DirectoryExists(Fill()));
    EXPECT_EQ(EntriesOf(leftover), (std::vector<std::wstring>{L"d12.tmf", L"fill00001.tmf", L"fill12.tmf", L"notes.txt",
                                                              L"rec00000x.tmf", L"records"}));
    for (const auto& name : foreign) EXPECT_EQ(ReadBytes(leftover + L"\\" + name), "keep");
    EXPECT_EQ(EntriesOf(leftover + L"\\records"), std::vector<std::wstring>{L"d000001.tmf"});
    EXPECT_EQ(ReadBytes(outside + L"\\rec000000.tmf"), "outside");
    std::vector<std::wstring> recorded;
    ReadTextFile(shared, recorded);
    EXPECT_EQ(recorded, std::vector<std::wstring>{leftover});
    RunHostShell("rm -rf '" + unixLeftover + "'", [&] { return !FsEntryExists(leftover); });
}

// The fill grows (its writes only counted) until the console is closed, and again until the
// session ends; each time the fill is gone before the event's handler returns.
TEST_F(FreeSpaceTest, ConsoleCloseAndSessionEndDeleteTheFillBeforeTheyReturn) {
    std::atomic<std::int64_t> written{0};
    EraseSeams seams;
    seams.writeFile = [&](HANDLE, const void*, DWORD size, DWORD* done) -> BOOL {
        written += size;
        *done = size;
        return TRUE;
    };
    SetEraseSeams(seams);
    FreeSpaceSeams volume;
    volume.freeBytes = [&](const std::wstring&, bool) -> std::int64_t { return (std::int64_t{1} << 40) - written; };
    SetFreeSpaceSeams(volume);
    const auto runUntil = [&](const std::function<bool()>& end, bool& ended) {
        written = 0;
        std::atomic<bool> abort{false};
        std::wstring lines;
        std::thread user([&] {
            while (written < (8 << 20)) ::Sleep(1);
            ended = end() && !FsEntryExists(Fill());
        });
        const int status = RunFreeSpaceCommand(work, EraseLevel::Speed, [&](const std::wstring& line) { lines += line; }, abort);
        user.join();
        EXPECT_EQ(status, 1);
        EXPECT_NE(lines.find(L"空き領域の抹消を中止しました。"), std::wstring::npos) << lines;
    };
    bool closed = false, sessionEnded = false, refused = false;
    runUntil([] { return FreeSpaceConsoleEvent(CTRL_CLOSE_EVENT) == TRUE; }, closed);
    EXPECT_TRUE(closed);
    runUntil(
        [&] {
            const HWND window = ::FindWindowW(kFreeSpaceSessionClass, nullptr);
            refused = window && ::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == FALSE;
            return window && ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) == 0;
        },
        sessionEnded);
    EXPECT_TRUE(refused) << "the session may not end while the disk is full";
    EXPECT_TRUE(sessionEnded);
    EXPECT_FALSE(FsEntryExists(Fill()));
    EXPECT_EQ(FreeSpaceConsoleEvent(CTRL_CLOSE_EVENT), FALSE) << "no run: the next handler decides";
}
