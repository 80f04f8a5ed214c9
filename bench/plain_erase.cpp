// plain_erase: the least a program under Wine can do to erase a file the way the engine
// must, for bench/vs_shred.sh to show the bound of what Wine allows: the passes with 64 KiB
// writes and a flush each, the same passes over the tip past the file's end (to the end of its
// last cluster), the cut to 5 and to 0 bytes, the rename and the delete. It writes
// zeros in every pass and shows nothing. A folder has its files listed, then erased one by one.
//   plain_erase PASSES PATH

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool SeekTo(HANDLE file, LONGLONG position) {
    LARGE_INTEGER at{};
    at.QuadPart = position;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

bool Erase(const std::wstring& path, int passes) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(file, &size) != FALSE;
    std::vector<char> block(64 * 1024, 0);
    for (int pass = 0; ok && pass < passes; ++pass) {
        ok = SeekTo(file, 0);
        for (LONGLONG left = size.QuadPart; ok && left > 0;) {
            const DWORD chunk = static_cast<DWORD>(left < static_cast<LONGLONG>(block.size()) ? left : block.size());
            DWORD written = 0;
            ok = ::WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
            left -= chunk;
        }
        ok = ok && ::FlushFileBuffers(file);
    }
    // The tip: from the end of what the passes wrote to the end of the last cluster, no further
    // than what the file has allocated; then the file's own length back.
    DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
    FILE_STANDARD_INFO standard{};
    const LONGLONG written = size.QuadPart < 2 ? 2 : (size.QuadPart + 1) / 2 * 2;
    if (ok && path.size() > 3 && ::GetDiskFreeSpaceW(path.substr(0, 3).c_str(), &sectors, &bytes, &freeClusters, &total) &&
        ::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard))) {
        const LONGLONG cluster = static_cast<LONGLONG>(sectors) * bytes;
        LONGLONG end = (size.QuadPart + cluster - 1) / cluster * cluster;
        if (standard.AllocationSize.QuadPart < end) end = standard.AllocationSize.QuadPart;
        for (int pass = 0; ok && end > written && pass < passes; ++pass) {
            ok = SeekTo(file, written);
            for (LONGLONG left = end - written; ok && left > 0;) {
                const DWORD chunk = static_cast<DWORD>(left < static_cast<LONGLONG>(block.size()) ? left : block.size());
                DWORD done = 0;
                ok = ::WriteFile(file, block.data(), chunk, &done, nullptr) && done == chunk;
                left -= chunk;
            }
            ok = ok && ::FlushFileBuffers(file);
        }
        ok = ok && SeekTo(file, size.QuadPart) && ::SetEndOfFile(file);
    }
    ok = ok && SeekTo(file, 5) && ::SetEndOfFile(file) && SeekTo(file, 0) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    const std::wstring renamed = path.substr(0, slash + 1) + L"$" + path.substr(slash + 1);
    return ok && ::MoveFileW(path.c_str(), renamed.c_str()) && ::DeleteFileW(renamed.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const int passes = std::wcstol(argv[1], nullptr, 10);
    if (passes < 1 || passes > 3) return 2;
    const std::wstring path = argv[2];
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Erase(path, passes) ? 0 : 1;
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 1;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(path + L"\\" + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    bool all = true;
    for (const auto& file : files) all = Erase(file, passes) && all;
    return all ? 0 : 1;
}
