#include <algorithm>
#include <atomic>

#include "engine/Verify.h"
#include "tests/engine/EngineFixture.h"

namespace {

// Every read of the read-back is recorded as the engine made it, then goes to the real door.
class ReadBackTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ReadBackSeams seams;
        seams.read = [this](const ReadBackRequest& r, DWORD* got) {
            reads_.push_back(r);
            if (onRead_) onRead_();
            return ReadBackFromDisk(r, got);
        };
        previous_ = SetReadBackSeams(seams);
    }
    void TearDown() override {
        SetReadBackSeams(previous_);
        EngineTest::TearDown();
    }
    // Erases `size` bytes of 'x' with the read-back; true when the file went.
    bool Erase(EraseLevel level, std::int64_t size, ReadBack& found) {
        path_ = folder_ / (L"f" + std::to_wstring(size) + L".bin");
        EXPECT_TRUE(WriteBytes(path_, std::string(static_cast<std::size_t>(size), 'x')));
        return OverwriteFile(path_, level, nullptr, nullptr, &found);
    }
    // Writes of the last pass go through `write` instead of the system.
    void SpoilLastPass(int passes, std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> write) {
        passesDone_ = 0;
        EraseSeams seams = SteppingClockSeams();
        seams.observer = [this](const OverwriteEvent& e) { passesDone_ = e.passesDone; };
        seams.writeFile = [=, this](HANDLE file, const void* data, DWORD size, DWORD* written) {
            if (passesDone_ == passes - 1) return write(file, data, size, written);
            return ::WriteFile(file, data, size, written, nullptr);
        };
        SetEraseSeams(seams);
    }

    std::vector<ReadBackRequest> reads_;
    std::function<void()> onRead_;
    std::wstring path_;
    int passesDone_ = 0;
    ReadBackSeams previous_;
};

TEST_F(ReadBackTest, HonestWritesMatchAtEveryLevelAndLengthThroughAlignedUnbufferedReads) {
    for (const EraseLevel level : {EraseLevel::Speed, EraseLevel::Normal, EraseLevel::High}) {
        for (const std::int64_t size : {0, 1, 7, 4095, 4097, (3 << 20) + 5}) {
            ReadBack found = ReadBack::NotChecked;
            EXPECT_TRUE(Erase(level, size, found)) << size;
            EXPECT_EQ(found, ReadBack::Matched) << static_cast<int>(level) << " " << size;
            EXPECT_FALSE(FileExists(path_));
        }
    }
    ASSERT_GE(reads_.size(), 18u);
    for (const ReadBackRequest& r : reads_) {
        EXPECT_TRUE(r.unbuffered) << "the system keeps the checking handle out of its cache";
        EXPECT_EQ(r.sectorSize, 4096u) << "Wine gives no sector sizes";
        EXPECT_EQ(r.offset % 4096, 0);
        EXPECT_EQ(r.length % 4096, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r.buffer) % 4096, 0u);
    }
    // The door refuses what Windows refuses on such a handle, however the system behaves.
    DWORD got = 0;
    ReadBackRequest misaligned = reads_.front();
    misaligned.offset = 512;
    EXPECT_FALSE(ReadBackFromDisk(misaligned, &got));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Sizes the system gives: the larger of the two, or 4096 for an answer no read could meet.
    EXPECT_EQ(ReadBackSectorSize({true, 512, 4096}), 4096u);
    EXPECT_EQ(ReadBackSectorSize({true, 3000, 0}), 4096u);
    ReadBackSeams seams = SetReadBackSeams({});
    seams.storageSectors = [](HANDLE) { return StorageSectors{true, 512, 512}; };
    SetReadBackSeams(seams);
    reads_.clear();
    ReadBack found = ReadBack::NotChecked;
    EXPECT_TRUE(Erase(EraseLevel::High, 7, found));
    ASSERT_EQ(reads_.size(), 1u);
    EXPECT_EQ(reads_[0].length, 512u);
}

TEST_F(ReadBackTest, ALastPassThatDidNotReachTheDiskFailsAndTheFileStaysAsItIs) {
    // A write that claims success and changes nothing.
    SpoilLastPass(2, [](HANDLE, const void*, DWORD size, DWORD* written) { return *written = size, TRUE; });
    ReadBack found = ReadBack::NotChecked;
    EXPECT_FALSE(Erase(EraseLevel::Normal, 10000, found));
    EXPECT_EQ(found, ReadBack::Differed);
    EXPECT_EQ(ReadBytes(path_), Repeat("\xFE\xFF", 5000)) << "the first pass, under its own name";
    EXPECT_FALSE(FileExists(folder_ / L"$f10000.bin"));

    // One byte flipped on its way, past the first read.
    SpoilLastPass(3, [](HANDLE file, const void* data, DWORD size, DWORD* written) {
        std::string bytes(static_cast<const char*>(data), size);
        LARGE_INTEGER at{};
        ::SetFilePointerEx(file, at, &at, FILE_CURRENT);
        if (at.QuadPart <= (2 << 20) && (2 << 20) < at.QuadPart + size) bytes[(2 << 20) - at.QuadPart] ^= 1;
        return ::WriteFile(file, bytes.data(), size, written, nullptr);
    });
    EXPECT_FALSE(Erase(EraseLevel::High, (3 << 20) + 1, found));
    EXPECT_EQ(found, ReadBack::Differed);
    EXPECT_EQ(ReadBytes(path_).size(), static_cast<std::size_t>((3 << 20) + 2));

    // A read the system refuses.
    SetEraseSeams(SteppingClockSeams());
    ReadBackSeams failing;
    failing.read = [](const ReadBackRequest&, DWORD*) { return ::SetLastError(ERROR_CRC), FALSE; };
    SetReadBackSeams(failing);
    EXPECT_FALSE(Erase(EraseLevel::Speed, 300, found));
    EXPECT_EQ(found, ReadBack::Unreadable);
    EXPECT_EQ(ReadBytes(path_), std::string(300, '\0'));
}

TEST_F(ReadBackTest, TheBarCountsTheReadAsAPassAndAStopDuringItLeavesTheFileUncut) {
    std::atomic<bool> abort{false};
    std::vector<int> shown;
    SetEraseEnvironment({&abort, nullptr, [&](int percent) { shown.push_back(percent); }});
    std::vector<int> atFirstRead;
    onRead_ = [&] { atFirstRead.push_back(shown.back()); };
    ReadBack found = ReadBack::NotChecked;
    EXPECT_TRUE(Erase(EraseLevel::Speed, 3 << 20, found));
    ASSERT_FALSE(atFirstRead.empty());
    EXPECT_GE(atFirstRead.front(), 45);
    EXPECT_LE(atFirstRead.front(), 50) << "the pass is half of the file's work";
    EXPECT_NE(std::find_if(shown.begin(), shown.end(), [](int p) { return p > 50 && p < 100; }), shown.end());

    onRead_ = [&] { abort = true; };
    EXPECT_FALSE(Erase(EraseLevel::Speed, 3 << 20, found));
    EXPECT_EQ(found, ReadBack::Stopped);
    EXPECT_EQ(ReadBytes(path_), std::string(3 << 20, '\0'));
}

}  // namespace
