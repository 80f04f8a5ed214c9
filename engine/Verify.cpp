#include "engine/Verify.h"

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/Random.h"

namespace {

constexpr DWORD kDefaultSectorSize = 4096;
// The largest read; a multiple of every sector size taken.
constexpr DWORD kReadBytes = 1024 * 1024;

ReadBackSeams& Seams() {
    static ReadBackSeams seams;
    return seams;
}

// FILE_STORAGE_INFO, which the headers give only to programs for Windows 8 and later, and the
// class number that asks for it.
struct StorageInfoAnswer {
    ULONG LogicalBytesPerSector;
    ULONG PhysicalBytesPerSectorForAtomicity;
    ULONG PhysicalBytesPerSectorForPerformance;
    ULONG FileSystemEffectivePhysicalBytesPerSectorForAtomicity;
    ULONG Flags;
    ULONG ByteOffsetForSectorAlignment;
    ULONG ByteOffsetForPartitionAlignment;
};
constexpr auto kFileStorageInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(16);

StorageSectors AskStorageSectors(HANDLE file) {
    StorageInfoAnswer answer{};
    StorageSectors sectors;
    if (!::GetFileInformationByHandleEx(file, kFileStorageInfo, &answer, sizeof(answer))) return sectors;
    sectors.answered = true;
    sectors.logical = answer.LogicalBytesPerSector;
    sectors.performance = answer.PhysicalBytesPerSectorForPerformance;
    return sectors;
}

// Whether the system keeps the handle's reads out of its cache (FILE_NO_INTERMEDIATE_BUFFERING
// in the handle's mode); true when it cannot tell, as the handle was opened so.
bool OpenedUnbuffered(HANDLE file) {
    using QueryFile = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
    static const auto query = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<QueryFile>(
                           reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryInformationFile")))
                     : nullptr;
    }();
    constexpr ULONG kFileModeInformation = 16;
    constexpr ULONG kNoIntermediateBuffering = 0x00000008;
    IO_STATUS_BLOCK status{};
    ULONG mode = 0;
    if (!query || query(file, &status, &mode, sizeof(mode), kFileModeInformation) < 0) return true;
    return (mode & kNoIntermediateBuffering) != 0;
}

bool SameFile(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return ::GetFileInformationByHandle(one, &a) && ::GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Memory for unbuffered reads: whole pages from the system, aligned for any sector size taken.
class PageBuffer {
public:
    explicit PageBuffer(std::size_t bytes)
        : data_(static_cast<unsigned char*>(::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~PageBuffer() {
        if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
    }
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    unsigned char* get() const { return data_; }

private:
    unsigned char* data_;
};

// The bytes one range of the last pass holds, made again in order from its start.
class ExpectedBytes {
public:
    ExpectedBytes(const PassWords& words, std::uint32_t state) : words_(words), state_(state) {}

    void Next(unsigned char* out, std::size_t count) {
        if (count == 0) return;
        if (!words_.random) {
            const unsigned char low = static_cast<unsigned char>(words_.word & 0xFF);
            const unsigned char high = static_cast<unsigned char>(words_.word >> 8);
            if (low == high) {
                std::memset(out, low, count);
            } else {
                for (std::size_t i = 0; i < count; ++i) out[i] = ((position_ + i) % 2 == 0) ? low : high;
            }
            position_ += count;
            return;
        }
        std::size_t i = 0;
        if (position_ % 2 == 1) out[i++] = pendingHigh_;  // the second byte of a word begun before
        const std::size_t words = (count - i) / 2;
        Draw(out + i, words);
        i += 2 * words;
        if (i < count) {
            unsigned char word[2];
            Draw(word, 1);
            out[i] = word[0];
            pendingHigh_ = word[1];
        }
        position_ += count;
    }

private:
    // `count` words from this range's own place in the generator's sequence; the process's
    // generator is left as it was.
    void Draw(unsigned char* out, std::size_t count) {
        if (count == 0) return;
        const std::uint32_t saved = RandomState();
        RandomSeed(state_);
        FillRandomWords(out, count);
        state_ = RandomState();
        RandomSeed(saved);
    }

    PassWords words_;
    std::uint32_t state_;
    std::uint64_t position_ = 0;
    unsigned char pendingHigh_ = 0;
};

BOOL Read(const ReadBackRequest& request, DWORD* got) {
    const auto& read = Seams().read;
    return read ? read(request, got) : ReadBackFromDisk(request, got);
}

}  // namespace

DWORD ReadBackSectorSize(const StorageSectors& sectors) {
    if (!sectors.answered) return kDefaultSectorSize;
    const DWORD size = std::max(sectors.logical, sectors.performance);
    // A power of two from 512 bytes up to 64 KiB: the read size is a multiple of it and the
    // buffers' pages meet it.
    if (size < 512 || size > 64 * 1024 || (size & (size - 1)) != 0) return kDefaultSectorSize;
    return size;
}

BOOL ReadBackFromDisk(const ReadBackRequest& request, DWORD* got) {
    *got = 0;
    const std::uint64_t sector = request.sectorSize;
    if (request.unbuffered &&
        (sector == 0 || request.offset < 0 || static_cast<std::uint64_t>(request.offset) % sector != 0 ||
         request.length % sector != 0 || reinterpret_cast<std::uintptr_t>(request.buffer) % sector != 0)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(request.offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(request.offset) >> 32);
    return ::ReadFile(request.file, request.buffer, request.length, got, &at);
}

ReadBackSeams SetReadBackSeams(ReadBackSeams seams) { return std::exchange(Seams(), std::move(seams)); }

ReadBack ReadBackWritten(HANDLE eraseHandle, const std::wstring& path, const PassWords& words,
                         const std::vector<WrittenRange>& ranges, const std::function<bool(std::int64_t)>& tick) {
    // Opened again by name, never through a link, and only the very file being erased counts.
    UniqueFile check(FsCreateFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                  FILE_FLAG_NO_BUFFERING | FILE_FLAG_OPEN_REPARSE_POINT));
    if (!check || !SameFile(check.get(), eraseHandle)) return ReadBack::Unreadable;
    const auto& askSectors = Seams().storageSectors;
    const std::int64_t sector =
        ReadBackSectorSize(askSectors ? askSectors(check.get()) : AskStorageSectors(check.get()));
    const bool unbuffered = OpenedUnbuffered(check.get());
    PageBuffer data(kReadBytes);
    std::vector<unsigned char> expected(kReadBytes);
    if (!data.get()) return ReadBack::Unreadable;

    std::int64_t compared = 0;
    for (const WrittenRange& range : ranges) {
        if (range.length <= 0 || range.offset < 0) continue;
        ExpectedBytes bytes(words, range.randomState);
        const std::int64_t end = range.offset + range.length;
        const std::int64_t readEnd = (end + sector - 1) / sector * sector;
        for (std::int64_t at = range.offset; at < end;) {
            // Whole sectors around what is still to compare, the last one past an odd end.
            const std::int64_t from = at / sector * sector;
            const std::int64_t to = std::min<std::int64_t>(readEnd, from + kReadBytes);
            DWORD got = 0;
            if (!Read({check.get(), unbuffered, static_cast<DWORD>(sector), from, data.get(), static_cast<DWORD>(to - from)},
                      &got)) {
                if (::GetLastError() != ERROR_HANDLE_EOF) return ReadBack::Unreadable;
                got = 0;
            }
            const std::int64_t until = std::min(end, to);
            const auto skip = static_cast<std::size_t>(at - from);
            const auto count = static_cast<std::size_t>(until - at);
            // A file that ends before what was written does not hold it.
            if (got < skip + count) return ReadBack::Differed;
            bytes.Next(expected.data(), count);
            if (std::memcmp(data.get() + skip, expected.data(), count) != 0) return ReadBack::Differed;
            compared += until - at;
            at = until;
            if (tick && !tick(compared)) return ReadBack::Stopped;
        }
    }
    return ReadBack::Matched;
}
