#pragma once

// The read-back: after the last pass over a file has been flushed, what it wrote is read back
// from the disk through a handle of its own that bypasses the system's cache, and compared byte
// for byte with what the pass wrote. Only the file's content as the drive gives it back is
// checked; freed clusters, a solid-state drive's old cells or the drive's own cache are not.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The words of the last pass: all alike, or drawn from the process's generator.
struct PassWords {
    bool random = false;
    std::uint16_t word = 0;  // the word of a pass whose words are all alike
};

// One stretch the last pass wrote: `length` bytes from `offset`. Its words start at its own first
// byte (low byte first); for a random pass `randomState` is the generator's state before its
// first word, so each stretch can be made again on its own.
struct WrittenRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::uint32_t randomState = 0;
};

// What the read-back found.
enum class ReadBack {
    NotChecked,  // verification was off, or the writing never got that far
    Matched,     // every byte as written
    Differed,    // a byte differs, or the file ends before what was written
    Unreadable,  // the file could not be opened again as the same file, or a read failed
    Stopped,     // the abort flag ended the read
};

// Reads the ranges back from the file `path` that `eraseHandle` holds open (for reading and
// writing, sharing reading) and compares them with `words`. `tick` is told after every read
// how many bytes of the ranges have been compared so far; when it answers false the read-back
// ends (Stopped).
ReadBack ReadBackWritten(HANDLE eraseHandle, const std::wstring& path, const PassWords& words,
                         const std::vector<WrittenRange>& ranges, const std::function<bool(std::int64_t)>& tick);

// The sector sizes the system gives for a file's volume (FileStorageInfo of
// GetFileInformationByHandleEx, from Windows 8 on).
struct StorageSectors {
    bool answered = false;
    DWORD logical = 0;      // LogicalBytesPerSector
    DWORD performance = 0;  // PhysicalBytesPerSectorForPerformance
};

// The sector size the reads are aligned to: the larger of the two sizes, or 4096 when the
// system gives none or an answer that no unbuffered read could meet.
DWORD ReadBackSectorSize(const StorageSectors& sectors);

// One read of the read-back, as the engine makes it.
struct ReadBackRequest {
    HANDLE file;
    bool unbuffered;  // the handle's mode as the system tells it (or as it was opened, when it cannot tell)
    DWORD sectorSize;
    std::int64_t offset;
    void* buffer;
    DWORD length;
};

// Reads `length` bytes at `offset`. A request on an unbuffered handle whose offset, length or
// buffer address is not a multiple of the sector size is refused (ERROR_INVALID_PARAMETER), as
// Windows refuses it (some systems ignore the unbuffered mode and would read anything).
BOOL ReadBackFromDisk(const ReadBackRequest& request, DWORD* got);

// Seams through which tests watch and steer the read-back. The program never changes them.
struct ReadBackSeams {
    // Stand-in for ReadBackFromDisk.
    std::function<BOOL(const ReadBackRequest&, DWORD* got)> read;
    // Stand-in for the question of the volume's sector sizes.
    std::function<StorageSectors(HANDLE)> storageSectors;
};

// Replaces the seams and returns the previous ones.
ReadBackSeams SetReadBackSeams(ReadBackSeams seams);
