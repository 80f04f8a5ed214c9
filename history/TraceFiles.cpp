// Destroying the files of a trace, and the link test every walk makes first.

#include "history/TraceFiles.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "common/Handles.h"
#include "common/Paths.h"
#include "engine/EraseFunc.h"

namespace {

// The path the system resolves an open handle to; empty when it cannot tell.
std::wstring FinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int tries = 0; tries < 2; ++tries) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return {};
}

HANDLE OpenForQuery(const std::wstring& path, DWORD flags) {
    return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
}

}  // namespace

bool ReachedThroughLink(const std::wstring& path) {
    UniqueFile file(OpenForQuery(path, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    std::wstring folderPath = ExtractFilePath(path);
    if (!folderPath.empty()) folderPath.pop_back();
    UniqueFile folder(OpenForQuery(folderPath, FILE_FLAG_BACKUP_SEMANTICS));
    if (!file || !folder) return false;  // the engine decides what to do with it
    const std::wstring resolved = FinalPath(file.get());
    const std::wstring folderResolved = FinalPath(folder.get());
    if (resolved.empty() || folderResolved.empty()) return false;
    const std::wstring expected = folderResolved + L"\\" + ExtractFileName(path);
    return ::CompareStringOrdinal(resolved.c_str(), static_cast<int>(resolved.size()), expected.c_str(),
                                  static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL;
}

bool DestroyTraceFile(const std::wstring& path, EraseLevel level) {
    if (!FileExists(path) || ReachedThroughLink(path)) return true;
    return OverwriteFile(path, level) || !FileExists(path);
}

std::vector<std::wstring> DestroyTraceFolder(const std::wstring& folder, EraseLevel level,
                                             bool (*keep)(const std::wstring& path)) {
    std::vector<std::wstring> stayed;
    if (folder.empty() || !DirectoryExists(folder)) return stayed;
    std::vector<std::wstring> files;
    CollectFolder(folder, L"\\*.*", files, true);
    // A file that cannot be destroyed stays as the engine leaves it; the walk goes on.
    WalkPacer pacer;
    for (std::size_t index = 0; index < files.size(); ++index) {
        const std::wstring& path = files[index];
        if (!(keep && keep(path)) && !DestroyTraceFile(path, level)) stayed.push_back(path);
        pacer.Between(index + 1, files.size());
    }
    return stayed;
}

namespace {

// How often a walk services the window and shows how far it is.
constexpr ULONGLONG kWalkServiceIntervalMs = 50;

}  // namespace

WalkPacer::WalkPacer(std::function<void(std::size_t, std::size_t)> show)
    : show_(std::move(show)), last_(ServiceClockNow()) {}

void WalkPacer::Between(std::size_t done, std::size_t total) {
    const ULONGLONG now = ServiceClockNow();
    if (now - last_ < kWalkServiceIntervalMs) return;
    last_ = now;
    if (show_) show_(done, total);
    if (const auto service = CurrentEraseEnvironment().serviceMessages) service();
}
