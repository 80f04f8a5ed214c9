#pragma once

// The engine's pass writer for callers that decide themselves how much goes out per write
// (the free-space fill): the same 64 KiB buffer, the same words of each pass and the same
// flush as `OverwriteFile` uses for a listed file.

#include <windows.h>

#include <cstddef>
#include <memory>

#include "common/Types.h"

class PassWriter {
public:
    // The largest write.
    static constexpr std::size_t kMaxWrite = 64 * 1024;

    explicit PassWriter(HANDLE file);
    ~PassWriter();
    PassWriter(const PassWriter&) = delete;
    PassWriter& operator=(const PassWriter&) = delete;

    // The number of passes of `level` (1, 2 or 3).
    static int Passes(EraseLevel level);

    // Writes `bytes` (even, at most kMaxWrite) of pass `passIndex` of `level` at the file's
    // position in one request. False when the system refused it; part of it may have gone out.
    bool Write(EraseLevel level, int passIndex, std::size_t bytes);
    // Asks the system to put what was written on the disk.
    bool FlushToDisk();

private:
    struct Buffer;
    std::unique_ptr<Buffer> buffer_;
};
