// erase_bench: how fast the engine erases, against a plain program that does the same
// file-system work, all measured in one process.
//   erase_bench [--mib N] [--repeat R]
// For each level it prints
//   level=<level> variant=<fair|writes|engine|display> mbps=<MB/s> ratio=<to the level's fair baseline>
// fair:    what every erasure must do, done plainly: the passes with 64 KiB writes and a flush
//          each, the cut to 5 and to 0 bytes, the rename and the delete;
// writes:  the passes alone (64 KiB writes and a flush per pass), without cut, rename or delete;
// engine:  OverwriteFile without display or message servicing (the console's situation);
// display: OverwriteFile with a progress bar and label in a window, servicing the window's
//          messages as the GUI program does.
// MB/s counts the bytes of the passes; every variant starts from a freshly written file.

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

bool SeekTo(HANDLE file, LONGLONG position) {
    LARGE_INTEGER at{};
    at.QuadPart = position;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

// The passes: 64 KiB writes over the file, pass after pass, with a flush per pass.
bool WritePasses(HANDLE file, std::int64_t bytes, int passes) {
    std::vector<char> block(64 * 1024, 0);
    for (int pass = 0; pass < passes; ++pass) {
        if (!SeekTo(file, 0)) return false;
        for (std::int64_t left = bytes; left > 0;) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
            DWORD written = 0;
            if (!::WriteFile(file, block.data(), chunk, &written, nullptr)) return false;
            left -= chunk;
        }
        if (!::FlushFileBuffers(file)) return false;
    }
    return true;
}

// Seconds for the passes alone, or a negative value on failure.
double WritesOnly(const std::wstring& path, std::int64_t bytes, int passes) {
    const double start = Now();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file || !WritePasses(file.get(), bytes, passes)) return -1;
    return Now() - start;
}

// Seconds for the plain erasure: the passes, the cut to 5 and 0 bytes, the rename and the
// delete, or a negative value on failure.
double Fair(const std::wstring& path, const std::wstring& renamed, std::int64_t bytes, int passes) {
    const double start = Now();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file || !WritePasses(file.get(), bytes, passes)) return -1;
    if (!SeekTo(file.get(), 5) || !::SetEndOfFile(file.get()) || !SeekTo(file.get(), 0) ||
        !::SetEndOfFile(file.get()))
        return -1;
    file.reset();
    if (!::MoveFileW(path.c_str(), renamed.c_str()) || !::DeleteFileW(renamed.c_str())) return -1;
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
    int repeat = 3;
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

    const std::wstring renamed = folder + L"\\$bench.dat";
    int status = 0;
    for (const Level& level : kLevels) {
        const double written = static_cast<double>(bytes) * level.passes / 1e6;
        // Best MB/s of the repeats; the variants take turns within each repeat.
        double fair = 0, writes = 0, engine = 0, display = 0;
        for (int r = 0; r < repeat && status == 0; ++r) {
            if (!MakeFile(path, bytes)) return 1;
            const double f = Fair(path, renamed, bytes, level.passes);
            if (!MakeFile(path, bytes)) return 1;
            const double w = WritesOnly(path, bytes, level.passes);
            if (!MakeFile(path, bytes)) return 1;
            SetEraseEnvironment({});
            const double e = Engine(path, level.level, nullptr, nullptr);
            if (!MakeFile(path, bytes)) return 1;
            SetEraseEnvironment({nullptr, ui::ProcessMessages, {}});
            const double d = Engine(path, level.level, bar, label);
            SetEraseEnvironment({});
            if (f <= 0 || w <= 0 || e <= 0 || d <= 0) {
                std::fprintf(stderr, "erase_bench: the %s run failed\n", level.name);
                status = 1;
                break;
            }
            fair = std::max(fair, written / f);
            writes = std::max(writes, written / w);
            engine = std::max(engine, written / e);
            display = std::max(display, written / d);
        }
        if (status) break;
        Print(level.name, "fair", fair, fair);
        Print(level.name, "writes", writes, fair);
        Print(level.name, "engine", engine, fair);
        Print(level.name, "display", display, fair);
        std::printf("level=%s display/engine=%.2f\n", level.name, display / engine);
        std::fflush(stdout);
    }
    ::DestroyWindow(window);
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
    return status;
}
