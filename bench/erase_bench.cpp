// erase_bench: how fast the engine erases, against a plain program that does the same
// file-system work, all measured in one process.
//   erase_bench [--mib N] [--repeat R] [--verify]
// For each level it prints
//   level=<level> variant=<fair|writes|engine|display|verify> mbps=<MB/s> ratio=<to the level's fair baseline>
// fair:    what every erasure must do, done plainly: the passes with 64 KiB writes and a flush
//          each, the same passes over the tip past the file's end (to the end of its last
//          cluster), the cut to 5 and to 0 bytes, the rename and the delete;
// writes:  the passes alone (64 KiB writes and a flush per pass), without cut, rename or delete;
// engine:  OverwriteFile without display or message servicing (the console's situation);
// display: OverwriteFile with a progress bar and label in a window, servicing the window's
//          messages as the GUI program does;
// verify:  (with --verify) OverwriteFile reading the last pass back before the cut, without
//          display, and then "level=<level> verify/engine=<ratio>". The read-back opens the
//          file a second time and reads it unbuffered.
// MB/s counts the bytes of the passes; every variant starts from a freshly written file.
//   erase_bench --files N [--repeat R] [--verify]
// erases folders of N files of 12 bytes at Speed, the variants taking turns, and prints the
// medians over R rounds (default 5)
//   files=<N> variant=<plain|engine|display|notips|verify> ms_per_file=<ms> ratio=<plain's time / the variant's>
// and then "files=<N> engine/notips=<ratio> cluster_bytes=<the volume's>" (what the tips cost:
// above 1 the engine is slower with them) and, with --verify, "files=<N> verify/engine=<ratio>".
// plain:   the folder listed, then each file opened, written, flushed, its tip written and
//          flushed, cut to 5 and 0 bytes,
//          closed, renamed to "$" + name and deleted, with the plain calls and nothing else;
// engine:  the folder gathered by the engine's scan and each file erased by OverwriteFile;
// display: the same with a progress bar and label, servicing the window's messages;
// notips:  the engine's run with the volume's cluster size answered as unknown, so that no tip
//          is planned (each file's passes end at its own length);
// verify:  (with --verify) the engine's run reading each file's last pass back.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "common/Handles.h"
#include "common/FileSystem.h"
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

// The volume's cluster size, asked once (the benchmark's files all lie on one drive).
DWORD ClusterSize(const std::wstring& path) {
    static const DWORD size = [&path] {
        DWORD sectors = 0, bytes = 0, free = 0, total = 0;
        const std::wstring root = path.substr(0, 3);
        return ::GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &free, &total) ? sectors * bytes : 0;
    }();
    return size;
}

// The passes over the tip: from the end of what the passes wrote (`written`) to the end of the
// last cluster, no further than the file's allocation, then the file's own length back.
bool WriteTip(HANDLE file, const std::wstring& path, std::int64_t size, std::int64_t written, int passes) {
    FILE_STANDARD_INFO standard{};
    const std::int64_t cluster = ClusterSize(path);
    if (cluster == 0 || !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard))) return true;
    const std::int64_t end = std::min<std::int64_t>(standard.AllocationSize.QuadPart, (size + cluster - 1) / cluster * cluster);
    if (end <= written) return true;
    std::vector<char> block(64 * 1024, 0);
    for (int pass = 0; pass < passes; ++pass) {
        if (!SeekTo(file, written)) return false;
        for (std::int64_t left = end - written; left > 0;) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
            DWORD done = 0;
            if (!::WriteFile(file, block.data(), chunk, &done, nullptr)) return false;
            left -= chunk;
        }
        if (!::FlushFileBuffers(file)) return false;
    }
    return SeekTo(file, size) && ::SetEndOfFile(file);
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
    if (!file || !WritePasses(file.get(), bytes, passes) ||
        !WriteTip(file.get(), path, bytes, std::max<std::int64_t>(2, (bytes + 1) / 2 * 2), passes))
        return -1;
    if (!SeekTo(file.get(), 5) || !::SetEndOfFile(file.get()) || !SeekTo(file.get(), 0) ||
        !::SetEndOfFile(file.get()))
        return -1;
    file.reset();
    if (!::MoveFileW(path.c_str(), renamed.c_str()) || !::DeleteFileW(renamed.c_str())) return -1;
    return Now() - start;
}

double Engine(const std::wstring& path, EraseLevel level, HWND bar, HWND label, bool verify = false) {
    ReadBack readBack = ReadBack::NotChecked;
    const double start = Now();
    if (!OverwriteFile(path, level, bar, label, verify ? &readBack : nullptr)) return -1;
    if (verify && readBack != ReadBack::Matched) return -1;
    return Now() - start;
}

// Fills `folder` with `count` files of 12 bytes.
bool MakeFolder(const std::wstring& folder, int count) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        const std::wstring path = folder + L"\\mail" + std::to_wstring(i) + L".eml";
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.get(), "hello world\n", 12, &written, nullptr) || written != 12) return false;
    }
    return true;
}

// The plain erasure of a folder's files: seconds, or a negative value on failure.
double PlainFolder(const std::wstring& folder) {
    const double start = Now();
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    UniqueFind search(::FindFirstFileW((folder + L"\\*.*").c_str(), &found));
    if (!search) return -1;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    search.reset();
    std::vector<char> zeros(64 * 1024, 0);
    for (const auto& name : names) {
        const std::wstring path = folder + L"\\" + name;
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        LARGE_INTEGER size{};
        if (!file || !::GetFileSizeEx(file.get(), &size)) return -1;
        DWORD written = 0;
        const DWORD bytes = static_cast<DWORD>(std::max<LONGLONG>(2, (size.QuadPart + 1) / 2 * 2));
        if (!::WriteFile(file.get(), zeros.data(), bytes, &written, nullptr) || !::FlushFileBuffers(file.get()) ||
            !WriteTip(file.get(), path, size.QuadPart, bytes, 1) || !SeekTo(file.get(), 5) || !::SetEndOfFile(file.get()) || !SeekTo(file.get(), 0) ||
            !::SetEndOfFile(file.get()))
            return -1;
        file.reset();
        const std::wstring renamed = folder + L"\\$" + name;
        if (!::MoveFileW(path.c_str(), renamed.c_str()) || !::DeleteFileW(renamed.c_str())) return -1;
    }
    return Now() - start;
}

// The engine's erasure of a folder's files: seconds, or a negative value when a file failed.
double EngineFolder(const std::wstring& folder, HWND bar, HWND label, bool verify = false) {
    const double start = Now();
    std::vector<std::wstring> paths;
    CollectFolder(folder, std::wstring(), paths, true);
    ReadBack readBack = ReadBack::NotChecked;
    for (const auto& path : paths) {
        if (!OverwriteFile(path, EraseLevel::Speed, bar, label, verify ? &readBack : nullptr)) return -1;
        if (verify && readBack != ReadBack::Matched) return -1;
    }
    return Now() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The folder rounds; 0 when every variant erased every file.
int RunFolders(const std::wstring& folder, int files, int repeat, bool verify, HWND bar, HWND label) {
    std::vector<double> plain, engine, display, notips, verified;
    for (int r = 0; r < repeat; ++r) {
        if (!MakeFolder(folder, files)) return 1;
        plain.push_back(PlainFolder(folder));
        if (!MakeFolder(folder, files)) return 1;
        SetEraseEnvironment({});
        engine.push_back(EngineFolder(folder, nullptr, nullptr));
        if (!MakeFolder(folder, files)) return 1;
        SetEraseEnvironment({nullptr, ui::ProcessMessages, {}});
        display.push_back(EngineFolder(folder, bar, label));
        SetEraseEnvironment({});
        if (!MakeFolder(folder, files)) return 1;
        FileQuestions noClusterSize;
        noClusterSize.clusterSize = [](const std::wstring&) -> DWORD { return 0; };
        const FileQuestions asked = SetFileQuestions(std::move(noClusterSize));
        notips.push_back(EngineFolder(folder, nullptr, nullptr));
        SetFileQuestions(asked);
        if (verify) {
            if (!MakeFolder(folder, files)) return 1;
            verified.push_back(EngineFolder(folder, nullptr, nullptr, true));
        }
        if (plain.back() <= 0 || engine.back() <= 0 || display.back() <= 0 || notips.back() <= 0 ||
            (verify && verified.back() <= 0)) {
            std::fprintf(stderr, "erase_bench: a folder run failed\n");
            return 1;
        }
    }
    const double base = Median(plain);
    std::vector<std::pair<const char*, double>> variants = {
        {"plain", base}, {"engine", Median(engine)}, {"display", Median(display)}, {"notips", Median(notips)}};
    if (verify) variants.push_back({"verify", Median(verified)});
    for (const auto& [name, seconds] : variants)
        std::printf("files=%d variant=%s ms_per_file=%.3f ratio=%.2f\n", files, name, seconds * 1000 / files,
                    base / seconds);
    std::printf("files=%d engine/notips=%.2f cluster_bytes=%lu\n", files, Median(engine) / Median(notips),
                static_cast<unsigned long>(ClusterSize(folder + L"\\")));
    if (verify) std::printf("files=%d verify/engine=%.2f\n", files, Median(verified) / Median(engine));
    std::fflush(stdout);
    return 0;
}

void Print(const char* level, const char* variant, double mbps, double baseline) {
    std::printf("level=%s variant=%s mbps=%.1f ratio=%.2f\n", level, variant, mbps, mbps / baseline);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int mib = 64;
    int repeat = 0;
    int files = 0;
    bool verify = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verify") verify = true;
        else if (arg == "--mib" && i + 1 < argc) mib = std::atoi(argv[++i]);
        else if (arg == "--repeat" && i + 1 < argc) repeat = std::atoi(argv[++i]);
        else if (arg == "--files" && i + 1 < argc) files = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: erase_bench [--mib N | --files N] [--repeat R] [--verify]\n");
            return 2;
        }
    }
    if (repeat == 0) repeat = files ? 5 : 3;
    if (mib <= 0 || repeat <= 0 || files < 0) return 2;
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
    if (files > 0) {
        std::fprintf(stderr, "files=%d repeat=%d\n", files, repeat);
        const int result = RunFolders(folder + L"\\files", files, repeat, verify, bar, label);
        ::DestroyWindow(window);
        ::RemoveDirectoryW((folder + L"\\files").c_str());
        ::RemoveDirectoryW(folder.c_str());
        return result;
    }
    std::fprintf(stderr, "file=%d MiB repeat=%d\n", mib, repeat);

    const std::wstring renamed = folder + L"\\$bench.dat";
    int status = 0;
    for (const Level& level : kLevels) {
        const double written = static_cast<double>(bytes) * level.passes / 1e6;
        // Best MB/s of the repeats; the variants take turns within each repeat.
        double fair = 0, writes = 0, engine = 0, display = 0, verified = 0;
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
            double v = 1;
            if (verify) {
                if (!MakeFile(path, bytes)) return 1;
                v = Engine(path, level.level, nullptr, nullptr, true);
                verified = std::max(verified, written / v);
            }
            if (f <= 0 || w <= 0 || e <= 0 || d <= 0 || v <= 0) {
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
        if (verify) {
            Print(level.name, "verify", verified, fair);
            std::printf("level=%s verify/engine=%.2f\n", level.name, verified / engine);
        }
        std::fflush(stdout);
    }
    ::DestroyWindow(window);
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
    return status;
}
