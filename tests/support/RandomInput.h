#pragma once

// Fixed-seed random input for the tests of readers of outside data: the same cases on every
// run, and the process's peak memory to check afterwards.

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <random>
#include <string>

class RandomInput {
public:
    explicit RandomInput(std::uint32_t seed) : engine_(seed) {}

    // A whole number in [low, high].
    long long Between(long long low, long long high) {
        return std::uniform_int_distribution<long long>(low, high)(engine_);
    }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

    // `count` bytes of any value, or, with `lineSafe`, none of CR, LF and NUL.
    std::string Bytes(std::size_t count, bool lineSafe = false) {
        std::string bytes(count, '\0');
        for (auto& byte : bytes) {
            do byte = static_cast<char>(Between(0, 255));
            while (lineSafe && (byte == '\r' || byte == '\n' || byte == '\0'));
        }
        return bytes;
    }

    // The sample damaged one way or another: cut short, bytes flipped, a stretch overwritten
    // with zeros or 0xFF, or garbage appended.
    std::string Damage(const std::string& sample) {
        std::string bytes = sample;
        switch (Between(0, 4)) {
            case 0:
                bytes.resize(static_cast<std::size_t>(Between(0, static_cast<long long>(bytes.size()))));
                break;
            case 1:
                for (long long n = Between(1, 16); n > 0 && !bytes.empty(); --n)
                    bytes[static_cast<std::size_t>(Between(0, static_cast<long long>(bytes.size()) - 1))] ^=
                        static_cast<char>(Between(1, 255));
                break;
            case 2:
                if (!bytes.empty()) {
                    const auto at = static_cast<std::size_t>(Between(0, static_cast<long long>(bytes.size()) - 1));
                    const auto length = static_cast<std::size_t>(Between(1, 64));
                    for (std::size_t i = at; i < bytes.size() && i < at + length; ++i) bytes[i] = Chance(50) ? '\0' : '\xFF';
                }
                break;
            case 3:
                bytes += Bytes(static_cast<std::size_t>(Between(1, 256)));
                break;
            default:
                bytes = bytes.substr(0, bytes.size() / 2) + Bytes(static_cast<std::size_t>(Between(0, 512)));
                break;
        }
        return bytes;
    }

private:
    std::mt19937 engine_;
};

// The most memory this process has held so far (working set or committed, whichever is more).
inline std::uint64_t PeakMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return 0;
    return counters.PeakWorkingSetSize > counters.PeakPagefileUsage ? counters.PeakWorkingSetSize
                                                                     : counters.PeakPagefileUsage;
}

constexpr std::uint64_t kPeakMemoryLimit = 256ull * 1024 * 1024;
