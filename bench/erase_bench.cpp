// erase_bench: how fast the engine overwrites, against plain sequential writes of the same
// bytes on the same disk, all measured in one process.
//   erase_bench [--mib N] [--repeat R]
// For each level it prints
//   level=<level> variant=<baseline|engine|display> mbps=<MB/s> ratio=<to the level's baseline>
// baseline: 64 KiB writes over the file, pass after pass, with a flush per pass;
// engine:   OverwriteFile without display or message servicing (the console's situation);
// display:  OverwriteFile with a progress bar and label in a window, servicing the window's
//           messages at every tick as the GUI program does.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "common/Handles.h"
#include "common/Types.h"
#include "engine/EraseFunc.h"
#include "ui/MessagePump.h"

namespace {

struct Level {
    EraseLevel level;
    const char* name;
    int passes;
};

const Level kLevels[] = {
    {EraseLevel::Speed, "speed", 1},
    {EraseLevel::Normal, "normal", 2},
    {EraseLevel::High, "high", 3},
};

bool MakeFile(const std::wstring& path, std::int64_t bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    std::vector<char> block(1 << 20, 'x');
    for (std::int64_t left = bytes; left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        DWORD written = 0;
        if (!::WriteFile(file.get(), block.data(), chunk, &written, nullptr) || written != chunk) return false;
        left -= chunk;
    }
    return ::FlushFileBuffers(file.get()) != FALSE;
}

// Seconds for the plain writes, or a negative value on failure.
double Baseline(const std::wstring& path, std::int64_t bytes, int passes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return -1;
    std::vector<char> block(64 * 1024, 0);
    const double start = Now();
    for (int pass = 0; pass < passes; ++pass) {
        LARGE_INTEGER zero{};
        ::SetFilePointerEx(file.get(), zero, nullptr, FILE_BEGIN);
        for (std::int64_t left = bytes; left > 0;) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
            DWORD written = 0;
            if (!::WriteFile(file.get(), block.data(), chunk, &written, nullptr)) return -1;
            left -= chunk;
        }
        if (!::FlushFileBuffers(file.get())) return -1;
    }
    return Now() - start;
}

// Seconds to cut a written file to 5 and 0 bytes and delete it, as every erasure ends; the
// baseline does not do this, so it bounds the engine's ratio from above.
double CutAndDelete(const std::wstring& path, std::int64_t bytes) {
    if (!MakeFile(path, bytes)) return -1;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return -1;
    const double start = Now();
    LARGE_INTEGER at{};
    at.QuadPart = 5;
    ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file.get());
    at.QuadPart = 0;
    ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file.get());
    file.reset();
    ::DeleteFileW(path.c_str());
    return Now() - start;
}

double Engine(const std::wstring& path, EraseLevel level, HWND bar, HWND label) {
    const double start = Now();
    if (!OverwriteFile(path, level, bar, label)) return -1;
    return Now() - start;
}

void Print(const char* level, const char* variant, double mbps, double baseline) {
    std::printf("level=%s variant=%s mbps=%.1f ratio=%.2f\n", level, variant, mbps, mbps / baseline);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int mib = 64;
    int repeat = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mib" && i + 1 < argc) mib = std::atoi(argv[++i]);
        else if (arg == "--repeat" && i + 1 < argc) repeat = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: erase_bench [--mib N] [--repeat R]\n");
            return 2;
        }
    }
    if (mib <= 0 || repeat <= 0) return 2;
    const std::int64_t bytes = static_cast<std::int64_t>(mib) * 1024 * 1024;

    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"erase_bench." + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\bench.dat";

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    HWND window = ::CreateWindowExW(0, L"STATIC", L"erase_bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 120,
                                    nullptr, nullptr, nullptr, nullptr);
    HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 20, window, nullptr,
                                 nullptr, nullptr);
    HWND label = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 320, 10, 60, 20, window, nullptr,
                                   nullptr, nullptr);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    std::fprintf(stderr, "file=%d MiB repeat=%d\n", mib, repeat);

    double cut = 1e9;
    for (int r = 0; r < repeat; ++r) cut = std::min(cut, CutAndDelete(path, bytes));
    std::fprintf(stderr, "cutting and deleting the file alone takes %.1f ms\n", cut * 1e3);

    int status = 0;
    for (const Level& level : kLevels) {
        const double written = static_cast<double>(bytes) * level.passes / 1e6;
        double baseline = 0, engine = 0, display = 0;  // best MB/s of the repeats
        for (int r = 0; r < repeat; ++r) {
            if (!MakeFile(path, bytes)) return 1;
            const double b = Baseline(path, bytes, level.passes);
            SetEraseEnvironment({});
            const double e = Engine(path, level.level, nullptr, nullptr);
            if (b <= 0 || e <= 0) {
                std::fprintf(stderr, "erase_bench: the %s run failed\n", level.name);
                status = 1;
                break;
            }
            baseline = std::max(baseline, written / b);
            engine = std::max(engine, written / e);
        }
        if (status) break;
        // The display variant is slow under Wine (each servicing is a round trip to the
        // server); one run of it is enough.
        if (!MakeFile(path, bytes)) return 1;
        SetEraseEnvironment({nullptr, ui::ProcessMessages, {}});
        const double d = Engine(path, level.level, bar, label);
        SetEraseEnvironment({});
        if (d <= 0) {
            status = 1;
            break;
        }
        display = written / d;
        Print(level.name, "baseline", baseline, baseline);
        Print(level.name, "engine", engine, baseline);
        Print(level.name, "display", display, baseline);
    }
    ::DestroyWindow(window);
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
    return status;
}
