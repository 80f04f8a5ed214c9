// freespace_bench: how fast the free-space fill writes, against a plain program in the same
// process that writes the same number of bytes into the same folder with the same open
// flags, 64 KiB writes of zeros, files of at most 1 GiB and a flush per file.
//   freespace_bench FOLDER [--rounds R] [--level speed|normal|high]
// FOLDER must be on a volume made for the purpose (bench/vs_sfill.sh makes a loop-mounted
// image and checks it): the fill takes all of its free space. Prints, the medians of R rounds
// (default 5) taken in turns,
//   level=speed fill_mbps=... fair_mbps=... ratio=<fill to fair>
// MB/s counts the bytes of all passes.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "common/Handles.h"
#include "engine/FreeSpace.h"
#include "engine/PassWriter.h"

namespace {

// The plain program: `bytes` per pass, in files of at most 1 GiB, each pass rewriting them.
double PlainSeconds(const std::wstring& folder, std::int64_t bytes, int passes) {
    const std::wstring work = folder + L"\\plain.bench";
    ::CreateDirectoryW(work.c_str(), nullptr);
    std::vector<char> zeros(64 * 1024, 0);
    std::vector<std::wstring> files;
    const double start = Now();
    for (int pass = 0; pass < passes; ++pass) {
        std::int64_t left = bytes;
        for (int index = 0; left > 0; ++index) {
            const std::wstring name = work + L"\\" + std::to_wstring(index) + L".bin";
            if (pass == 0) files.push_back(name);
            UniqueFile file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, pass == 0 ? CREATE_NEW : OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) return -1;
            for (std::int64_t size = 0; size < (std::int64_t{1} << 30) && left > 0;) {
                const DWORD n = static_cast<DWORD>(std::min<std::int64_t>(zeros.size(), left));
                DWORD written = 0;
                if (!::WriteFile(file.get(), zeros.data(), n, &written, nullptr) || written != n) return -1;
                size += n;
                left -= n;
            }
            ::FlushFileBuffers(file.get());
        }
    }
    const double seconds = Now() - start;
    for (const auto& name : files) ::DeleteFileW(name.c_str());
    ::RemoveDirectoryW(work.c_str());
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: freespace_bench FOLDER [--rounds R] [--level speed|normal|high]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    int rounds = 5;
    EraseLevel level = EraseLevel::Speed;
    const char* levelName = "speed";
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i], value = argv[i + 1];
        if (option == L"--rounds") rounds = std::max(1, _wtoi(value.c_str()));
        if (option == L"--level" && value == L"normal") level = EraseLevel::Normal, levelName = "normal";
        if (option == L"--level" && value == L"high") level = EraseLevel::High, levelName = "high";
    }
    const int passes = PassWriter::Passes(level);
    std::vector<double> fill, fair;
    double megabytes = 0;
    for (int round = 0; round < rounds; ++round) {
        FreeSpaceJob job(folder, level, std::wstring());
        const double start = Now();
        const FreeSpaceResult result = job.Run();
        const double seconds = Now() - start;
        if (!result.Succeeded()) {
            std::fprintf(stderr, "the fill failed: %ls\n", result.message.c_str());
            return 1;
        }
        megabytes = static_cast<double>(result.filled) * passes / 1e6;
        fill.push_back(megabytes / seconds);
        // The same bytes, less a little so that the plain program never meets the full disk.
        const double plain = PlainSeconds(folder, result.filled - (std::int64_t{4} << 20), passes);
        if (plain <= 0) {
            std::fprintf(stderr, "the plain writer failed\n");
            return 1;
        }
        fair.push_back((static_cast<double>(result.filled - (std::int64_t{4} << 20)) * passes / 1e6) / plain);
    }
    const double fillMbps = Median(fill), fairMbps = Median(fair);
    std::printf("level=%s mb=%.0f fill_mbps=%.1f fair_mbps=%.1f ratio=%.3f\n", levelName, megabytes, fillMbps, fairMbps,
                fillMbps / fairMbps);
    return 0;
}
