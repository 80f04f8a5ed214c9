#include <atomic>
#include <memory>

#include "engine/Verify.h"
#include "tests/engine/EngineFixture.h"

namespace {

// Every read of the read-back is recorded as the engine made it, then goes to the real door.
class ReadBackTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previous_ = SetReadBackSeams({[this](const ReadBackRequest& r, DWORD* got) {
            reads_.push_back(r);
            if (onRead_) onRead_();
            return ReadBackFromDisk(r, got);
        }, {}});
    }
    void TearDown() override {
        SetReadBackSeams(previous_);
        EngineTest::TearDown();
    }
    // Erases `size` bytes of 'x' with the read-back into found_; true when the file went.
    bool Erase(EraseLevel level, int size) {
        path_ = folder_ / (L"f" + std::to_wstring(size) + L".bin");
        EXPECT_TRUE(WriteBytes(path_, std::string(static_cast<std::size_t>(size), 'x')));
        return OverwriteFile(path_, level, nullptr, nullptr, &found_);
    }
    // The last of `passes` passes goes through `write` instead of the system.
    static void SpoilLastPass(int passes, std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> write) {
        auto done = std::make_shared<int>(0);
        EraseSeams seams = SteppingClockSeams();
        seams.observer = [done](const OverwriteEvent& e) { *done = e.passesDone; };
        seams.writeFile = [=](HANDLE file, const void* data, DWORD size, DWORD* written) {
            return *done == passes - 1 ? write(file, data, size, written) : ::WriteFile(file, data, size, written, nullptr);
        };
        SetEraseSeams(seams);
    }

    std::vector<ReadBackRequest> reads_;
    std::function<void()> onRead_;
    std::wstring path_;
    ReadBack found_ = ReadBack::NotChecked;
    ReadBackSeams previous_;
};

TEST_F(ReadBackTest, HonestWritesMatchAtEveryLevelAndLengthThroughAlignedUnbufferedReads) {
    for (const EraseLevel level : {EraseLevel::Speed, EraseLevel::Normal, EraseLevel::High}) {
        for (const int size : {0, 1, 7, 4095, 4097, (3 << 20) + 5}) {
            EXPECT_TRUE(Erase(level, size)) << size;
            EXPECT_EQ(found_, ReadBack::Matched) << static_cast<int>(level) << " " << size;
        }
    }
    ASSERT_GE(reads_.size(), 18u);
    for (const ReadBackRequest& r : reads_)  // Wine keeps the handle's mode and gives no sector sizes
        EXPECT_TRUE(r.unbuffered && r.sectorSize == 4096 && r.offset % 4096 == 0 && r.length % 4096 == 0 &&
                    reinterpret_cast<std::uintptr_t>(r.buffer) % 4096 == 0) << r.offset << " " << r.length;
    // The door refuses what Windows refuses on such a handle, whatever the system does.
    ReadBackRequest misaligned = reads_.front();
    DWORD got = 0;
    EXPECT_FALSE(ReadBackFromDisk((misaligned.offset = 512, misaligned), &got));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A volume of 512-byte sectors is read 512 bytes at a time.
    ReadBackSeams seams = SetReadBackSeams({});
    seams.storageSectors = [](HANDLE) { return StorageSectors{true, 512, 512}; };
    SetReadBackSeams(seams);
    reads_.clear();
    EXPECT_TRUE(Erase(EraseLevel::High, 7));
    ASSERT_EQ(reads_.size(), 1u);
    EXPECT_EQ(reads_[0].length, 512u);
}

TEST_F(ReadBackTest, ALastPassThatDidNotReachTheDiskFailsAndTheFileStaysAsItIs) {
    // One byte of the last pass flipped on its way, two reads in.
    SpoilLastPass(2, [](HANDLE file, const void* data, DWORD size, DWORD* written) {
        std::string bytes(static_cast<const char*>(data), size);
        LARGE_INTEGER at{};
        ::SetFilePointerEx(file, at, &at, FILE_CURRENT);
        if (at.QuadPart <= (2 << 20) && (2 << 20) < at.QuadPart + size) bytes[(2 << 20) - at.QuadPart] ^= 1;
        return ::WriteFile(file, bytes.data(), size, written, nullptr);
    });
    EXPECT_FALSE(Erase(EraseLevel::Normal, (3 << 20) + 1));
    EXPECT_EQ(found_, ReadBack::Differed);
    // The file keeps its length (the byte past an odd end goes with the tip's cut, where there is one).
    const std::string left = ReadBytes(path_);
    EXPECT_TRUE(left.substr(0, (2 << 20) + 1) == std::string(2 << 20, '\0') + '\x01');
    EXPECT_GE(left.size(), (3u << 20) + 1);
    EXPECT_EQ(left.find_first_not_of('\0', (2 << 20) + 1), std::string::npos);

    // A read the system refuses.
    SetEraseSeams(SteppingClockSeams());
    SetReadBackSeams({[](const ReadBackRequest&, DWORD*) { return ::SetLastError(ERROR_CRC), FALSE; }, {}});
    EXPECT_FALSE(Erase(EraseLevel::Speed, 300));
    EXPECT_EQ(found_, ReadBack::Unreadable);
    EXPECT_EQ(ReadBytes(path_), std::string(300, '\0'));
}

TEST_F(ReadBackTest, TheBarCountsTheReadAsAPassAndAStopDuringItLeavesTheFileUncut) {
    std::atomic<bool> abort{false};
    std::vector<int> shown;
    SetEraseEnvironment({&abort, nullptr, [&](int percent) { shown.push_back(percent); }});
    int atFirstRead = -1;
    onRead_ = [&] { atFirstRead = atFirstRead < 0 ? shown.back() : atFirstRead; };
    EXPECT_TRUE(Erase(EraseLevel::Speed, 3 << 20));
    EXPECT_TRUE(atFirstRead >= 45 && atFirstRead <= 50) << atFirstRead << ": the pass is half the file's work";
    EXPECT_GT(shown[shown.size() - 2], 50) << "the read moves the bar on";

    onRead_ = [&] { abort = true; };
    EXPECT_FALSE(Erase(EraseLevel::Speed, 3 << 20));
    EXPECT_EQ(found_, ReadBack::Stopped);
    EXPECT_EQ(ReadBytes(path_), std::string(3 << 20, '\0'));
}

}  // namespace
