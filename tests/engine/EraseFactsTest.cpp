#include <windows.h>

#include <cstdint>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "tests/engine/EngineFixture.h"

namespace {

// An answer of FSCTL_GET_RETRIEVAL_POINTERS as Windows lays it out.
std::vector<unsigned char> Answer(std::int64_t startVcn, const std::vector<std::pair<std::int64_t, std::int64_t>>& extents) {
    std::vector<unsigned char> out(16 + 16 * extents.size());
    const auto put = [&out](std::size_t at, std::int64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<unsigned char>(static_cast<std::uint64_t>(value) >> (8 * i));
    };
    put(0, static_cast<std::int64_t>(extents.size()), 4);
    put(8, startVcn, 8);
    for (std::size_t i = 0; i < extents.size(); ++i) put(16 + 16 * i, extents[i].first, 8), put(24 + 16 * i, extents[i].second, 8);
    return out;
}

// Answers the cluster question with `pages` in turn (each with ERROR_MORE_DATA but the last).
FileQuestions PagedClusters(std::vector<std::vector<unsigned char>> pages) {
    FileQuestions questions;
    questions.retrievalPointers = [pages, n = std::size_t{0}](HANDLE, std::int64_t, std::vector<unsigned char>& answer,
                                                              DWORD& error) mutable {
        answer = pages.at(n % pages.size());
        error = ++n % pages.size() ? ERROR_MORE_DATA : ERROR_SUCCESS;
        return true;
    };
    return questions;
}

TEST(FileFacts, RetrievalPointersAreReadOnlyWhenWellFormed) {
    // A compressed unit (16 clusters, 5 on the disk) and a second extent, over two pages.
    SetFileQuestions(PagedClusters({Answer(0, {{5, 800}, {16, -1}}), Answer(16, {{20, 900}})}));
    std::vector<ClusterRun> runs;
    EXPECT_TRUE(FsClustersOfOpenFile(nullptr, 20 * 4096, 4096, runs));
    EXPECT_EQ(runs, (std::vector<ClusterRun>{{0, 5, 800}, {5, 16, -1}, {16, 20, 900}}));
    EXPECT_FALSE(FsClustersOfOpenFile(nullptr, 21 * 4096, 4096, runs)) << "the allocation is not covered";
    // Wine's made-up extent, a NextVcn going back, a start other than the one asked.
    for (const auto& odd : {Answer(1, {{0, 0}}), Answer(0, {{4, 10}, {3, 20}}), Answer(2, {{4, 10}})}) {
        SetFileQuestions(PagedClusters({odd}));
        EXPECT_FALSE(FsClustersOfOpenFile(nullptr, 4096, 4096, runs));
    }
    // A file whose data lives in its file record answers with an error: no clusters.
    FileQuestions resident;
    resident.retrievalPointers = [](HANDLE, std::int64_t, std::vector<unsigned char>&, DWORD& error) {
        error = ERROR_HANDLE_EOF;
        return false;
    };
    SetFileQuestions(resident);
    EXPECT_TRUE(FsClustersOfOpenFile(nullptr, 0, 4096, runs));
    EXPECT_TRUE(runs.empty());
    SetFileQuestions({});
    EXPECT_EQ(ClustersFreed({{0, 4, 100}, {4, 8, -1}, {8, 12, 300}}, {{0, 2, 102}, {2, 6, 500}}), 6);
}

TEST(FileFacts, PlanWritesTheTipOnlyOfPlainFilesAndOnlyTheDataOfSparseOnes) {
    FileFacts facts;
    facts.found = facts.opened = true;
    facts.size = 4999, facts.allocation = 12288, facts.clusterSize = 4096;
    ErasePlan plan = PlanErase(facts, EraseLevel::Normal);
    EXPECT_EQ(plan.ranges, (std::vector<ByteRange>{{0, 4999}}));
    EXPECT_EQ(plan.tip, (std::vector<ByteRange>{{5000, 3192}})) << "to the cluster's end, not the preallocation";
    facts.allocation = 0;  // in its file record
    EXPECT_TRUE(PlanErase(facts, EraseLevel::Normal).tip.empty());
    facts.allocation = 8192, facts.attributes = FILE_ATTRIBUTE_COMPRESSED;
    plan = PlanErase(facts, EraseLevel::Normal);
    EXPECT_TRUE(plan.tip.empty());
    EXPECT_TRUE(plan.movesItsClusters);
    facts.attributes = FILE_ATTRIBUTE_SPARSE_FILE, facts.size = 1 << 30;
    EXPECT_EQ(PlanErase(facts, EraseLevel::Normal).refusal, ErasePlan::Refusal::HolesUnknown);
    facts.rangesKnown = true, facts.allocatedRanges = {{0, 65536}, {(1 << 30) - 4096, 65536}, {1 << 30, 4096}};
    EXPECT_EQ(PlanErase(facts, EraseLevel::Normal).ranges, (std::vector<ByteRange>{{0, 65536}, {(1 << 30) - 4096, 4096}}));
    facts.attributes = FILE_ATTRIBUTE_REPARSE_POINT;
    EXPECT_EQ(PlanErase(facts, EraseLevel::Normal).refusal, ErasePlan::Refusal::Link);
    facts.cloud = CloudState::Present;
    EXPECT_EQ(PlanErase(facts, EraseLevel::Normal).refusal, ErasePlan::Refusal::None);
}

using EraseFileFacts = EngineTest;

TEST_F(EraseFileFacts, TipGetsThePassesAfterTheFileAndTheFileKeepsItsLength) {
    const std::wstring path = folder_ / L"tip.bin";
    ASSERT_TRUE(WriteBytes(path, std::string(5000, 'x')));
    FileQuestions questions;
    questions.clusterSize = [](const std::wstring&) -> DWORD { return 4096; };
    questions.openFile = [](HANDLE, FileFacts& facts) { facts.allocation = 65536; };
    SetFileQuestions(questions);
    std::vector<std::pair<std::int64_t, DWORD>> writes;  // position and size
    std::int64_t refusedFrom = INT64_MAX;                // writes from here on are refused
    EraseSeams seams = SteppingClockSeams();
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) {
        LARGE_INTEGER at{};
        ::SetFilePointerEx(file, at, &at, FILE_CURRENT);
        if (at.QuadPart >= refusedFrom) return ::SetLastError(ERROR_DISK_FULL), FALSE;
        writes.emplace_back(at.QuadPart, size);
        return ::WriteFile(file, data, size, written, nullptr);
    };
    seams.observer = [this](const OverwriteEvent& event) {
        if (event.kind == OverwriteEvent::BeforeCut) beforeCut_.push_back(ReadHandle(event.file, static_cast<std::size_t>(HandleSize(event.file))));
    };
    SetEraseSeams(seams);
    const EraseOutcome outcome = EraseFile(path, EraseLevel::Normal);
    EXPECT_EQ(outcome.kind, EraseOutcome::Kind::Erased);
    EXPECT_EQ(writes, (std::vector<std::pair<std::int64_t, DWORD>>{{0, 5000}, {0, 5000}, {5000, 3192}, {5000, 3192}}));
    EXPECT_EQ(outcome.bytesWritten, 2 * 8192);
    EXPECT_EQ(beforeCut_, std::vector<std::string>{std::string(5000, '\0')});
    EXPECT_EQ(outcome.logEnding, L"をディスクから抹消しました。");

    // A write to the tip refused: the file itself is overwritten and goes; its line says why
    // something may be left.
    ASSERT_TRUE(WriteBytes(path, std::string(5000, 'x')));
    refusedFrom = 5000;
    const EraseOutcome refused = EraseFile(path, EraseLevel::Normal);
    EXPECT_EQ(refused.kind, EraseOutcome::Kind::Erased);
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(refused.tipRefused && refused.LeftSomething());
    EXPECT_EQ(refused.logEnding, L"を抹消しましたが、ファイルの末尾の先（最後のクラスタの残り）を上書きし終えられなかったため、"
                                 L"元のデータの一部が空き領域に残っている可能性があります。");
}

TEST_F(EraseFileFacts, CompressedEncryptedAndSparseFilesSayWhatIsLeft) {
    const std::wstring path = folder_ / L"packed.bin";
    const auto erase = [&](DWORD attributes, FileQuestions questions) {
        EXPECT_TRUE(WriteBytes(path, std::string(8192, 'x')));
        questions.openFile = [attributes](HANDLE, FileFacts& facts) { facts.attributes |= attributes, facts.allocation = 8192; };
        questions.clusterSize = [](const std::wstring&) -> DWORD { return 4096; };
        SetFileQuestions(questions);
        EraseOutcome outcome = EraseFile(path, EraseLevel::Speed);
        EXPECT_FALSE(FileExists(path)) << "cut, renamed and deleted all the same";
        return outcome;
    };
    // The clusters moved: the old ones were freed with their content.
    FileQuestions twice;
    twice.retrievalPointers = [n = 0](HANDLE, std::int64_t, std::vector<unsigned char>& answer, DWORD& error) mutable {
        answer = Answer(0, {{2, n++ ? 900 : 700}});
        error = ERROR_SUCCESS;
        return true;
    };
    const EraseOutcome moved = erase(FILE_ATTRIBUTE_COMPRESSED, twice);
    EXPECT_EQ(moved.leftoverClustersSeen, 2);
    EXPECT_EQ(moved.logEnding, L"を抹消しましたが、圧縮・暗号化・スパースのいずれかのファイルだったため、元のデータの一部が空き領域に残っています。");
    // Clusters that stayed: nothing left of a compressed file; an encrypted one may keep its plain copy.
    EXPECT_FALSE(erase(FILE_ATTRIBUTE_COMPRESSED, PagedClusters({Answer(0, {{2, 700}})})).LeftSomething());
    EXPECT_TRUE(erase(FILE_ATTRIBUTE_ENCRYPTED, PagedClusters({Answer(0, {{2, 700}})})).leftoverPossible);
    // Wine's answer cannot be used: the attribute decides.
    const EraseOutcome unknown = erase(FILE_ATTRIBUTE_COMPRESSED, {});
    EXPECT_TRUE(unknown.leftoverPossible);
    EXPECT_EQ(unknown.logEnding, L"を抹消しましたが、圧縮・暗号化・スパースのいずれかのファイルだったため、元のデータの一部が空き領域に残っている可能性があります。");
}

TEST_F(EraseFileFacts, SparseGigabyteWritesOnlyItsDataAndACloudOnlyFileIsNeverOpened) {
    const std::wstring path = folder_ / L"disk.img";
    {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = 1LL << 30;
        ASSERT_TRUE(file && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get()));
    }
    FileQuestions questions;
    questions.openFile = [](HANDLE, FileFacts& facts) { facts.attributes |= FILE_ATTRIBUTE_SPARSE_FILE; };
    questions.allocatedRanges = [](HANDLE, std::int64_t, std::vector<ByteRange>& ranges) {
        ranges = {{1LL << 29, 1 << 20}};
        return true;
    };
    SetFileQuestions(questions);
    std::int64_t written = 0;
    EraseSeams seams = SteppingClockSeams();
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* done) {
        written += size;
        return ::WriteFile(file, data, size, done, nullptr);
    };
    SetEraseSeams(seams);
    const EraseOutcome sparse = EraseFile(path, EraseLevel::High);
    EXPECT_EQ(sparse.kind, EraseOutcome::Kind::Erased);
    EXPECT_EQ(written, 3 << 20);
    EXPECT_EQ(sparse.bytesWritten, 3 << 20);
    EXPECT_TRUE(sparse.leftoverPossible);

    const std::wstring cloud = folder_ / L"cloud.docx";
    ASSERT_TRUE(WriteBytes(cloud, "in the cloud"));
    questions.attributes = [](const std::wstring&, DWORD& attributes, DWORD& tag) {
        attributes = FILE_ATTRIBUTE_REPARSE_POINT | 0x00400000;  // recall on data access
        tag = 0x9000101A;  // IO_REPARSE_TAG_CLOUD_1
        return true;
    };
    SetFileQuestions(questions);
    const EraseOutcome placeholder = EraseFile(cloud, EraseLevel::High);
    EXPECT_EQ(placeholder.kind, EraseOutcome::Kind::CloudOnly);
    EXPECT_EQ(placeholder.logEnding, L"はクラウドにのみ保存されているため処理しませんでした。クラウド上の内容と以前のバージョンはこのコンピュータから抹消できません。");
    EXPECT_EQ(ReadBytes(cloud), "in the cloud");
    EXPECT_EQ(written, 3 << 20) << "nothing written";
}

TEST_F(EraseFileFacts, NotesComeOncePerDriveAndSynchronisedFolder) {
    FileQuestions questions;
    questions.drive = [](const std::wstring& root) {
        DriveFacts facts;
        facts.solidState = root == L"C:\\";
        facts.refs = root == L"C:\\";
        facts.network = root == L"\\\\nas\\share\\";
        return facts;
    };
    SetFileQuestions(questions);
    EraseRunNotes notes;
    EraseOutcome onC, onNas, inSync, onD;
    onC.driveRoot = DriveRootOf(L"C:\\a.txt"), onNas.driveRoot = DriveRootOf(L"\\\\nas\\share\\x\\b.txt");
    inSync = onC, inSync.syncRoot = L"C:\\Users\\u\\OneDrive";
    onD.driveRoot = L"D:\\";
    EXPECT_EQ(notes.Before(onC), (std::vector<std::wstring>{
        L"ドライブ C:\\ はSSDです。上書きが元のデータのあった場所に届くとは限りません。削除後のTRIMと、BitLockerなどのドライブ全体の暗号化が有効です。",
        L"ドライブ C:\\ (ReFS) では上書きが元の場所に行われる保証がありません。"}));
    EXPECT_EQ(notes.Before(inSync), std::vector<std::wstring>{
        L"同期フォルダ:C:\\Users\\u\\OneDrive はクラウドと同期されています。クラウドには以前のバージョンとクラウドのごみ箱が残ります。"});
    EXPECT_TRUE(notes.Before(inSync).empty());
    EXPECT_EQ(notes.Before(onNas), std::vector<std::wstring>{
        L"ドライブ \\\\nas\\share\\ (ネットワーク) では上書きが元の場所に行われる保証がありません。"});
    EXPECT_TRUE(notes.Before(onD).empty()) << "a drive that says nothing gets no note";
}

}  // namespace
