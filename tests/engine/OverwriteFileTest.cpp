#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <numeric>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/Random.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/Gui.h"

namespace {

const std::string kFe = "\xFE\xFF";
const std::string kZero = std::string("\0\0", 2);

using OverwriteFilePasses = EngineTest;

TEST_F(OverwriteFilePasses, SpeedWritesZerosOnceThenCutsAndDeletes) {
    const std::wstring path = folder_ / L"a.txt";
    ASSERT_TRUE(WriteBytes(path, "0123456789"));
    ObservePasses();
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_EQ(passes_, std::vector<std::string>{Repeat(kZero, 5)});
    EXPECT_EQ(beforeCut_, std::vector<std::string>{Repeat(kZero, 5)});
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(folder_ / L"$a.txt"));
}

TEST_F(OverwriteFilePasses, NormalWritesFeFfThenZeros) {
    const std::wstring path = folder_ / L"a.txt";
    ASSERT_TRUE(WriteBytes(path, "0123456789"));
    ObservePasses();
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_EQ(passes_, (std::vector<std::string>{Repeat(kFe, 5), Repeat(kZero, 5)}));
    EXPECT_FALSE(FileExists(path));
}

// Finds the generator state behind the first word and checks that every later word follows
// from it: the third pass at High draws each word anew from the process's generator.
bool FollowsTheGenerator(const std::vector<std::uint16_t>& words) {
    const std::uint64_t first = words.at(0);
    const std::uint64_t low = (first << 32) / 0xFFFE;
    for (std::uint64_t seed = low; seed <= 0xFFFFFFFFu && seed < low + 0x10002; ++seed) {
        if (((seed * 0xFFFE) >> 32) != first) continue;
        RandomSeed(static_cast<std::uint32_t>(seed));
        bool all = true;
        for (std::size_t i = 1; i < words.size() && all; ++i) all = RandomBelow(0xFFFE) == words[i];
        if (all) return true;
    }
    return false;
}

std::vector<std::uint16_t> Words(const std::string& bytes) {
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        words.push_back(static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                                   (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return words;
}

TEST_F(OverwriteFilePasses, HighAddsAPassOfGeneratorWordsBelowFffe) {
    RandomSeed(1);
    EXPECT_EQ(RandomBelow(0xFFFE), 0x0808u);
    EXPECT_EQ(RandomBelow(0xFFFE), 0xDC6Bu);
    RandomSeed(0x12345678);
    EXPECT_EQ(RandomBelow(0xFFFE), 0xCB59u);

    const std::wstring first = folder_ / L"first.bin";
    const std::wstring second = folder_ / L"second.bin";
    ASSERT_TRUE(WriteBytes(first, std::string(1000, 'x')));
    ASSERT_TRUE(WriteBytes(second, std::string(1000, 'x')));
    ObservePasses();
    EXPECT_TRUE(OverwriteFile(first, EraseLevel::High));
    EXPECT_TRUE(OverwriteFile(second, EraseLevel::High));
    ASSERT_EQ(passes_.size(), 6u);
    EXPECT_EQ(passes_[0], Repeat(kFe, 500));
    EXPECT_EQ(passes_[1], Repeat(kZero, 500));
    const auto random = Words(passes_[2]);
    ASSERT_EQ(random.size(), 500u);
    EXPECT_LT(*std::max_element(random.begin(), random.end()), 0xFFFE);
    EXPECT_TRUE(FollowsTheGenerator(random));
    EXPECT_EQ(passes_[5].size(), 1000u);
    EXPECT_NE(passes_[5], passes_[2]) << "the generator is reseeded for every file";
}

TEST_F(OverwriteFilePasses, LongRandomPassFollowsTheGeneratorWhateverTheTicks) {
    // Several buffers' worth, an odd length, once in one run per pass and once tick by tick.
    const std::string original(200001, 'x');
    std::atomic<bool> neverSet{false};
    for (const bool ticking : {false, true}) {
        SCOPED_TRACE(ticking ? "tick by tick" : "one run per pass");
        SetEraseEnvironment({ticking ? &neverSet : nullptr, nullptr, {}});
        passes_.clear();
        const std::wstring path = folder_ / L"long.bin";
        ASSERT_TRUE(WriteBytes(path, original));
        ObservePasses();
        EXPECT_TRUE(OverwriteFile(path, EraseLevel::High));
        ASSERT_EQ(passes_.size(), 3u);
        EXPECT_EQ(passes_[1], std::string(200002, '\0'));
        const auto random = Words(passes_[2]);
        ASSERT_EQ(random.size(), 100001u);
        EXPECT_LT(*std::max_element(random.begin(), random.end()), 0xFFFE);
        EXPECT_TRUE(FollowsTheGenerator(random));
    }
}

TEST(WordGenerators, EveryWayGivesTheGeneratorsOwnWordsAtAnyLengthAndOffset) {
    std::vector<WordGenerator> generators{WordGenerator::Portable};
    if (BestWordGenerator() != WordGenerator::Portable) generators.push_back(WordGenerator::Sse2);
    if (BestWordGenerator() == WordGenerator::Avx2) generators.push_back(WordGenerator::Avx2);
    for (const WordGenerator generator : generators) {
        for (const std::size_t count : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 150u, 32768u}) {
            SCOPED_TRACE(testing::Message() << "generator " << static_cast<int>(generator) << ", " << count);
            std::vector<unsigned char> out(2 * count + 3, 0xAA);
            RandomSeed(0x9E3779B9u + static_cast<std::uint32_t>(count));
            FillRandomWords(out.data() + 1, count, generator);
            const std::uint32_t after = RandomBelow(0xFFFE);
            RandomSeed(0x9E3779B9u + static_cast<std::uint32_t>(count));
            bool same = true;
            for (std::size_t i = 0; i < count && same; ++i) {
                const std::uint32_t expected = RandomBelow(0xFFFE);
                same = out[1 + 2 * i] == (expected & 0xFF) && out[2 + 2 * i] == (expected >> 8);
            }
            EXPECT_TRUE(same);
            EXPECT_EQ(after, RandomBelow(0xFFFE)) << "the generator goes on after the last word";
            EXPECT_EQ(out.front(), 0xAA);
            EXPECT_EQ(out[2 * count + 1], 0xAA) << "nothing past the words is written";
        }
    }
}

TEST_F(OverwriteFilePasses, EmptyFileGetsOneWordPerPass) {
    const std::wstring path = folder_ / L"empty";
    ASSERT_TRUE(WriteBytes(path, ""));
    ObservePasses();
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_EQ(passes_, (std::vector<std::string>{kFe, kZero}));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(OverwriteFilePasses, OddLengthOvershootsByOneByteAndEveryPassReachesTheDisk) {
    NoTips();
    const std::wstring path = folder_ / L"odd.bin";
    ASSERT_TRUE(WriteBytes(path, "1234567"));
    ObservePasses();
    // Count what is handed to the system between two flushes.
    std::vector<std::uint64_t> flushed;
    std::uint64_t pending = 0;
    EraseSeams seams;
    seams.observer = [this](const OverwriteEvent& event) {
        if (event.kind == OverwriteEvent::PassEnd)
            passes_.push_back(ReadHandle(event.file, static_cast<std::size_t>(HandleSize(event.file))));
    };
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) {
        pending += size;
        return ::WriteFile(file, data, size, written, nullptr);
    };
    seams.flushFile = [&](HANDLE file) {
        flushed.push_back(pending);
        pending = 0;
        return ::FlushFileBuffers(file);
    };
    SetEraseSeams(seams);
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::High));
    ASSERT_EQ(passes_.size(), 3u);
    EXPECT_EQ(passes_[0], Repeat(kFe, 4));
    EXPECT_EQ(passes_[1], Repeat(kZero, 4));
    EXPECT_EQ(passes_[2].size(), 8u);
    EXPECT_EQ(flushed, (std::vector<std::uint64_t>{8, 8, 8}));
    EXPECT_EQ(pending, 0u);
}

TEST_F(OverwriteFilePasses, LargeFileIsFlushedOncePerPassWithAllItsBytes) {
    NoTips();
    const std::wstring path = folder_ / L"large.bin";
    ASSERT_TRUE(WriteBytes(path, std::string(200001, 'x')));
    std::vector<std::uint64_t> flushed;
    std::uint64_t pending = 0;
    EraseSeams seams;
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) {
        pending += size;
        return ::WriteFile(file, data, size, written, nullptr);
    };
    seams.flushFile = [&](HANDLE file) {
        flushed.push_back(pending);
        pending = 0;
        return ::FlushFileBuffers(file);
    };
    SetEraseSeams(seams);
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_EQ(flushed, (std::vector<std::uint64_t>{200002, 200002}));
}

using OverwriteFileNames = EngineTest;

TEST_F(OverwriteFileNames, ReadOnlyHiddenAndJapaneseNamedFilesAreErased) {
    const std::wstring readOnly = folder_ / L"ro.txt";
    const std::wstring japanese = folder_ / L"データ ファイル.txt";
    ASSERT_TRUE(WriteBytes(readOnly, "secret"));
    ASSERT_TRUE(WriteBytes(japanese, "secret"));
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(OverwriteFile(readOnly, EraseLevel::Normal));
    EXPECT_TRUE(OverwriteFile(japanese, EraseLevel::Speed));
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_FALSE(FileExists(japanese));
    EXPECT_FALSE(FileExists(folder_ / L"$データ ファイル.txt"));
}

TEST_F(OverwriteFileNames, ExistingDollarFileIsLeftAloneAndTheFileDeletedUnderItsOwnName) {
    const std::wstring path = folder_ / L"report.doc";
    ASSERT_TRUE(WriteBytes(path, "secret"));
    ASSERT_TRUE(WriteBytes(folder_ / L"$report.doc", "keep"));
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ReadBytes(folder_ / L"$report.doc"), "keep");
}

// The rename is the one call that finds the "$" name taken, also in other letter case; and the
// exact look-up of the gone check finds entries of every kind of name (a wrong "gone" would
// count a file the delete left as erased).
TEST_F(OverwriteFileNames, DollarNameInOtherCaseIsLeftAloneAndTheGoneCheckFindsOddNames) {
    const std::wstring path = folder_ / L"Mail.eml";
    ASSERT_TRUE(WriteBytes(path, "secret"));
    ASSERT_TRUE(WriteBytes(folder_ / L"$MAIL.EML", "keep"));
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_EQ(EntriesOf(folder_.Path()), std::vector<std::wstring>{L"$MAIL.EML"});
    EXPECT_EQ(ReadBytes(folder_ / L"$MAIL.EML"), "keep");
    for (const wchar_t* name : {L"$MAIL.EML", L"$データ ファイル.txt", L"$trail.", L"$blank "}) {
        const std::wstring entry = folder_ / name;
        if (!FsEntryExists(entry)) {
            ASSERT_TRUE(WriteBytes(SystemPathOf(entry), "x"));
        }
        EXPECT_TRUE(FsExactEntryExists(entry)) << entry.size();
        EXPECT_FALSE(FsExactEntryExists(folder_ / (std::wstring(name) + L"x")));
    }
}

// Watches a folder for renames and removals with the system's change notification.
class FolderWatch {
public:
    explicit FolderWatch(const std::wstring& folder)
        : folder_(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr)),
          event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        Arm();
    }

    // The actions seen until `last` arrives (or a deadline passes), as "verb:name".
    std::vector<std::wstring> CollectUntil(const std::wstring& last) {
        std::vector<std::wstring> seen;
        const ULONGLONG deadline = ::GetTickCount64() + 5000;
        while (::GetTickCount64() < deadline) {
            if (::WaitForSingleObject(event_.get(), 100) != WAIT_OBJECT_0) continue;
            DWORD bytes = 0;
            if (!::GetOverlappedResult(folder_.get(), &overlapped_, &bytes, FALSE)) break;
            for (std::size_t offset = 0; bytes > 0;) {
                const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_ + offset);
                const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
                const wchar_t* verb = info->Action == FILE_ACTION_RENAMED_OLD_NAME   ? L"from:"
                                      : info->Action == FILE_ACTION_RENAMED_NEW_NAME ? L"to:"
                                      : info->Action == FILE_ACTION_REMOVED          ? L"removed:"
                                                                                     : nullptr;
                if (verb) seen.push_back(verb + name);
                if (!info->NextEntryOffset) break;
                offset += info->NextEntryOffset;
            }
            if (!seen.empty() && seen.back() == last) break;
            Arm();
        }
        return seen;
    }

private:
    void Arm() {
        ::ResetEvent(event_.get());
        overlapped_ = {};
        overlapped_.hEvent = event_.get();
        ::ReadDirectoryChangesW(folder_.get(), buffer_, sizeof(buffer_), FALSE,
                                FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped_, nullptr);
    }

    UniqueFile folder_;
    UniqueKernelHandle event_;
    OVERLAPPED overlapped_{};
    alignas(DWORD) unsigned char buffer_[8192];
};

// A file listed under other letter case than the folder has it is that very entry, not a link:
// it is erased; and it has been cut to nothing by the time it is renamed.
TEST_F(OverwriteFileNames, FileListedInOtherCaseIsCutToNothingBeforeTheRename) {
    ASSERT_TRUE(WriteBytes(folder_ / L"Secret.TXT", std::string(70000, 'x')));
    const std::wstring listed = folder_ / L"sECRET.txt";
    std::vector<long long> sizesAtRename;
    FileSystemRedirectionCalls calls = SetFileSystemRedirectionCalls({});
    FileSystemRedirectionCalls watching = calls;
    watching.watchCall = [&](const std::wstring& systemPath) {
        if (systemPath.find(L"\\$") == std::wstring::npos || !sizesAtRename.empty()) return;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        sizesAtRename.push_back(::GetFileAttributesExW(SystemPathOf(listed).c_str(), GetFileExInfoStandard, &data)
                                    ? (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                                    : -1);
    };
    SetFileSystemRedirectionCalls(watching);
    ObservePasses();
    const bool erased = OverwriteFile(listed, EraseLevel::Normal);
    SetFileSystemRedirectionCalls(calls);
    EXPECT_TRUE(erased);
    EXPECT_EQ(beforeCut_, std::vector<std::string>{std::string(70000, '\0')});
    EXPECT_EQ(sizesAtRename, std::vector<long long>{0});
    EXPECT_TRUE(EntriesOf(folder_.Path()).empty());
}

TEST_F(OverwriteFileNames, RenamesToDollarNameBeforeDeleting) {
    const std::wstring path = folder_ / L"report.doc";
    ASSERT_TRUE(WriteBytes(path, "secret"));
    FolderWatch watch(folder_.Path());
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed));
    const auto seen = watch.CollectUntil(L"removed:$report.doc");
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"from:report.doc", L"to:$report.doc", L"removed:$report.doc"}));
}

using OverwriteFileFailures = EngineTest;

TEST_F(OverwriteFileFailures, MissingFileOrFolderGivesFalseWithoutTouchingTheDisplay) {
    ProgressWindow display;
    ::SendMessageW(display.Bar(), PBM_SETPOS, 37, 0);
    ::SetWindowTextW(display.Label(), L"x");
    EXPECT_FALSE(OverwriteFile(folder_ / L"missing.txt", EraseLevel::Speed, display.Bar(), display.Label()));
    EXPECT_FALSE(OverwriteFile(folder_.Path(), EraseLevel::Speed, display.Bar(), display.Label()));
    EXPECT_EQ(display.BarPosition(), 37);
    EXPECT_EQ(display.LabelText(), L"x");
    EXPECT_TRUE(DirectoryExists(folder_.Path()));
}

TEST_F(OverwriteFileFailures, FileOpenElsewhereKeepsItsContentAndHasNoSize) {
    const std::wstring path = folder_ / L"busy.txt";
    ASSERT_TRUE(WriteBytes(path, "secret"));
    UniqueFile other(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(other);
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::High));
    EXPECT_EQ(FileSizeOf(path), -1);
    other.reset();
    EXPECT_EQ(ReadBytes(path), "secret");

    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"Out of zero");
    EXPECT_EQ(reports[0].unit, L"EraseFunc");
    EXPECT_EQ(reports[0].line, 87);
    EXPECT_EQ(FileSizeOf(path), 6);
    EXPECT_EQ(RecordedAssertions().size(), 1u);
}

TEST_F(OverwriteFileFailures, RefusedWriteEndsTheWritingAndLeavesTheFileInPlace) {
    const std::wstring path = folder_ / L"full-disk.bin";
    ASSERT_TRUE(WriteBytes(path, std::string(300000, 'x')));
    int writes = 0;
    std::size_t firstWrite = 0;
    EraseSeams seams;
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) -> BOOL {
        if (++writes > 1) {
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        firstWrite = size;
        return ::WriteFile(file, data, size, written, nullptr);
    };
    SetEraseSeams(seams);
    ProgressWindow display;
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::Normal, display.Bar(), display.Label()));
    EXPECT_EQ(writes, 2) << "no write follows the refused one";
    EXPECT_EQ(display.BarPosition(), 100);
    EXPECT_EQ(display.LabelText(), L"100%");
    // Neither cut, renamed nor deleted: what was written is there, the rest is as it was.
    EXPECT_FALSE(FileExists(folder_ / L"$full-disk.bin"));
    const std::string left = ReadBytes(path);
    ASSERT_EQ(left.size(), 300000u);
    ASSERT_GT(firstWrite, 0u);
    EXPECT_EQ(left.substr(0, firstWrite), Repeat(kFe, firstWrite / 2));
    EXPECT_EQ(left.substr(firstWrite), std::string(300000 - firstWrite, 'x'));

    // Once the system takes the writes again, the same file is erased.
    SetEraseSeams({});
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(OverwriteFileFailures, RefusedFlushGivesFalseAndLeavesTheFileInPlace) {
    const std::wstring path = folder_ / L"io-error.bin";
    ASSERT_TRUE(WriteBytes(path, std::string(1000, 'x')));
    int flushes = 0;
    EraseSeams seams;
    seams.flushFile = [&](HANDLE) -> BOOL {
        ++flushes;
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    };
    SetEraseSeams(seams);
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::High));
    EXPECT_EQ(flushes, 1) << "no pass follows the refused flush";
    EXPECT_EQ(ReadBytes(path), Repeat(kFe, 500)) << "the first pass, not cut";
    EXPECT_FALSE(FileExists(folder_ / L"$io-error.bin"));
}

TEST_F(OverwriteFileFailures, FailedDeleteLeavesTheFileCutToNothing) {
    const std::wstring path = folder_ / L"held.txt";
    ASSERT_TRUE(WriteBytes(path, "0123456789"));
    // A second handle to the open file, taken just before the cut, keeps it from being
    // renamed or deleted.
    UniqueFile held;
    EraseSeams seams;
    seams.observer = [&](const OverwriteEvent& event) {
        if (event.kind != OverwriteEvent::BeforeCut) return;
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), event.file, ::GetCurrentProcess(), &copy, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        held.reset(copy);
    };
    SetEraseSeams(seams);
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::Normal));
    ASSERT_TRUE(held);
    EXPECT_EQ(HandleSize(held.get()), 0);
    held.reset();
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(FileExists(folder_ / L"$held.txt"));
    EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(OverwriteFileFailures, LinkIsNeitherFollowedNorRemoved) {
    const std::wstring target = folder_ / L"target.txt";
    const std::wstring link = folder_ / L"link.txt";
    ASSERT_TRUE(WriteBytes(target, "elsewhere"));
    // Some platforms (Wine among them) accept the call and make nothing.
    const bool made = ::CreateSymbolicLinkW(link.c_str(), target.c_str(), 0) &&
                      ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!made) GTEST_SKIP() << "symbolic links cannot be made here";
    ASSERT_NE(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_FALSE(OverwriteFile(link, EraseLevel::High));
    EXPECT_EQ(ReadBytes(target), "elsewhere");
    EXPECT_NE(::GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
}

using OverwriteFileProgress = EngineTest;

TEST_F(OverwriteFileProgress, SmallFileShowsOnlyZeroAndHundred) {
    NoTips();
    const std::wstring path = folder_ / L"small.txt";
    ASSERT_TRUE(WriteBytes(path, std::string(298, 'x')));
    std::vector<int> shown;
    int serviced = 0;
    static int* s_serviced = nullptr;
    s_serviced = &serviced;
    SetEraseEnvironment({nullptr, [] { ++*s_serviced; }, [&](int percent) { shown.push_back(percent); }});
    ProgressWindow display;
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed, display.Bar(), display.Label()));
    EXPECT_EQ(shown, (std::vector<int>{0, 100}));
    EXPECT_EQ(serviced, 0);
    EXPECT_EQ(display.BarPosition(), 100);
    EXPECT_EQ(display.LabelText(), L"100%");
}

TEST_F(OverwriteFileProgress, TicksEveryHundredFiftyWords) {
    NoTips();
    const std::wstring path = folder_ / L"ticks.txt";
    ASSERT_TRUE(WriteBytes(path, std::string(3000, 'x')));
    std::vector<int> shown;
    static int serviced;
    serviced = 0;
    SetEraseEnvironment({nullptr, [] { ++serviced; }, [&](int percent) { shown.push_back(percent); }});
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_EQ(shown, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(serviced, 9) << "no tick after the last pass ends";

    ASSERT_TRUE(WriteBytes(path, std::string(3000, 'x')));
    shown.clear();
    serviced = 0;
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_EQ(serviced, 19);
    EXPECT_EQ(shown.front(), 0);
    EXPECT_EQ(shown[1], 5);
    EXPECT_EQ(shown.back(), 100);
}

TEST_F(OverwriteFileProgress, WithinTheServiceIntervalTicksOnlyReadTheAbortFlag) {
    const std::wstring path = folder_ / L"quick.bin";
    const std::string original(300000, 'x');
    ASSERT_TRUE(WriteBytes(path, original));
    static int serviced;
    serviced = 0;
    std::vector<int> shown;
    std::atomic<bool> abortRequested{false};
    SetEraseEnvironment({&abortRequested, [] { ++serviced; }, [&](int percent) { shown.push_back(percent); }});
    ObservePasses();
    EraseSeams seams = SetEraseSeams({});
    seams.clock = [] { return ULONGLONG{1000}; };  // the interval never passes
    // The first 64 KiB reaching the system stands for a Stop that comes from elsewhere.
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) {
        abortRequested = true;
        return ::WriteFile(file, data, size, written, nullptr);
    };
    SetEraseSeams(seams);
    ProgressWindow display;
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::Normal, display.Bar(), display.Label()));
    EXPECT_EQ(serviced, 0);
    EXPECT_EQ(shown, (std::vector<int>{0, 100}));
    EXPECT_EQ(display.LabelText(), L"100%");
    // The flag was read at the first tick after those 32768 words: 219 ticks of 150 words.
    EXPECT_TRUE(beforeCut_.empty());
    EXPECT_EQ(ReadBytes(path), Repeat(kFe, 219 * 150) + original.substr(2 * 219 * 150));
}

// Counts the messages that change a control.
struct ChangeCounter {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<ChangeCounter*>(data);
        if (message == WM_SETTEXT) self->texts.push_back(reinterpret_cast<const wchar_t*>(lParam));
        if (message == PBM_SETPOS) self->positions.push_back(static_cast<int>(wParam));
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    std::vector<std::wstring> texts;
    std::vector<int> positions;
};

TEST_F(OverwriteFileProgress, ControlsAreSetOnlyWhenTheirValueChanges) {
    const std::wstring path = folder_ / L"steps.txt";
    ASSERT_TRUE(WriteBytes(path, std::string(60000, 'x')));  // a tick is half a percent
    ProgressWindow display;
    ChangeCounter bar, label;
    ::SetWindowSubclass(display.Bar(), ChangeCounter::Proc, 1, reinterpret_cast<DWORD_PTR>(&bar));
    ::SetWindowSubclass(display.Label(), ChangeCounter::Proc, 1, reinterpret_cast<DWORD_PTR>(&label));
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed, display.Bar(), display.Label()));
    ::RemoveWindowSubclass(display.Bar(), ChangeCounter::Proc, 1);
    ::RemoveWindowSubclass(display.Label(), ChangeCounter::Proc, 1);

    std::vector<int> expected(101);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(bar.positions, expected);
    ASSERT_EQ(label.texts.size(), 101u);
    EXPECT_EQ(label.texts.front(), L"0%");
    EXPECT_EQ(label.texts[50], L"50%");
    EXPECT_EQ(label.texts.back(), L"100%");
}

}  // namespace
