#include "common/FileSystem.h"

#include <winioctl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "common/Handles.h"

namespace {

// Only a 32-bit program on 64-bit Windows sees the system folder redirected; the 64-bit edition
// has nothing to turn off.
FileSystemRedirectionCalls DefaultCalls() {
    FileSystemRedirectionCalls calls;
    if (sizeof(void*) == 8) return calls;
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
        calls.disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        calls.revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    }
    if (!calls.disable || !calls.revert) calls.disable = nullptr, calls.revert = nullptr;
    return calls;
}

FileSystemRedirectionCalls& Calls() {
    static FileSystemRedirectionCalls calls = DefaultCalls();
    return calls;
}

// The redirection is turned off once per thread, by the outermost scope.
thread_local int t_depth = 0;
thread_local bool t_turnedOff = false;
thread_local PVOID t_oldValue = nullptr;
thread_local BOOL(WINAPI* t_revert)(PVOID) = nullptr;

void Watch(const std::wstring& systemPath) {
    if (const auto& watch = Calls().watchCall) watch(systemPath);
}

bool IsSeparator(wchar_t c) { return c == L'\\'; }

// True when no piece of `rest` (pieces split at "\") is empty, "." or "..", and it holds no "/".
bool PiecesAreResolved(const std::wstring& rest) {
    if (rest.find(L'/') != std::wstring::npos) return false;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos) end = rest.size();
        const std::wstring piece = rest.substr(start, end - start);
        // A trailing separator ends the path with an empty piece; it is allowed.
        if (piece.empty() && end != rest.size()) return false;
        if (piece == L"." || piece == L"..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::wstring SystemPathOf(const std::wstring& path) {
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
        IsSeparator(path[3]))
        return path;  // already in a system form
    const bool driveLetter = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                             path[1] == L':' && IsSeparator(path[2]);
    if (driveLetter) {
        if (path.size() == 3) return L"\\\\?\\" + path;
        return PiecesAreResolved(path.substr(3)) ? L"\\\\?\\" + path : path;
    }
    const bool unc = path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    if (unc && PiecesAreResolved(path.substr(2))) return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

bool IsAddressableName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (const wchar_t c : name)
        if (c < 0x20 || c == L'\\' || c == L'/' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
            c == L'|')
            return false;
    return true;
}

NativeFileSystem::NativeFileSystem() {
    if (t_depth++ > 0) return;
    const auto& calls = Calls();
    t_turnedOff = false;
    if (calls.disable && calls.revert) {
        PVOID old = nullptr;
        if (calls.disable(&old)) {
            t_turnedOff = true;
            t_oldValue = old;
            t_revert = calls.revert;
        }
    }
}

NativeFileSystem::~NativeFileSystem() {
    if (--t_depth > 0) return;
    if (t_turnedOff && t_revert) t_revert(t_oldValue);
    t_turnedOff = false;
    t_oldValue = nullptr;
    t_revert = nullptr;
}

DWORD FsGetAttributes(const std::wstring& path) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::GetFileAttributesW(system.c_str());
}

bool FsSetAttributes(const std::wstring& path, DWORD attributes) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::SetFileAttributesW(system.c_str(), attributes) != FALSE;
}

HANDLE FsCreateFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::CreateFileW(system.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

bool FsMoveFile(const std::wstring& from, const std::wstring& to) {
    NativeFileSystem native;
    const std::wstring systemFrom = SystemPathOf(from), systemTo = SystemPathOf(to);
    Watch(systemFrom);
    Watch(systemTo);
    return ::MoveFileW(systemFrom.c_str(), systemTo.c_str()) != FALSE;
}

bool FsDeleteFile(const std::wstring& path) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::DeleteFileW(system.c_str()) != FALSE;
}

HANDLE FsFindFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW& entry) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(pattern);
    Watch(system);
    return ::FindFirstFileW(system.c_str(), &entry);
}

namespace {

struct StreamCalls {
    HANDLE(WINAPI* findFirst)(LPCWSTR, STREAM_INFO_LEVELS, LPVOID, DWORD) = nullptr;
    BOOL(WINAPI* findNext)(HANDLE, LPVOID) = nullptr;
};

const StreamCalls& LoadedStreamCalls() {
    static const StreamCalls calls = [] {
        StreamCalls found;
        if (const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
            found.findFirst = reinterpret_cast<decltype(found.findFirst)>(
                reinterpret_cast<void*>(::GetProcAddress(kernel, "FindFirstStreamW")));
            found.findNext = reinterpret_cast<decltype(found.findNext)>(
                reinterpret_cast<void*>(::GetProcAddress(kernel, "FindNextStreamW")));
        }
        return found;
    }();
    return calls;
}

}  // namespace

HANDLE FsFindFirstStream(const std::wstring& path, WIN32_FIND_STREAM_DATA& stream) {
    const StreamCalls& calls = LoadedStreamCalls();
    if (!calls.findFirst || !calls.findNext) return INVALID_HANDLE_VALUE;
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return calls.findFirst(system.c_str(), FindStreamInfoStandard, &stream, 0);
}

bool FsFindNextStream(HANDLE find, WIN32_FIND_STREAM_DATA& stream) {
    const StreamCalls& calls = LoadedStreamCalls();
    return calls.findNext && calls.findNext(find, &stream) != FALSE;
}

bool FsEntryExists(const std::wstring& path) {
    if (FsGetAttributes(path) != INVALID_FILE_ATTRIBUTES) return true;
    // Anything but "not there" means an entry that is there but not for us. (The attributes of a
    // link are its own, so a link that leads nowhere counts on Windows; Wine does not show one.)
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

namespace {

// Wine's call that gives the Unix path of a Windows path (absent on Windows), and the result's
// owner.
using UnixNameCall = char*(CDECL*)(LPCWSTR);

UnixNameCall WineUnixNameCall() {
    static const UnixNameCall call = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<UnixNameCall>(reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")))
                      : nullptr;
    }();
    return call;
}

// The Unix path of an existing folder as a Windows path Wine looks up letter for letter
// ("\\?\unix\home\..."), empty when there is none.
std::wstring ExactFolderPathOf(const std::wstring& folder) {
    const UnixNameCall call = WineUnixNameCall();
    if (!call) return {};
    char* unix = call(folder.c_str());
    if (!unix) return {};
    std::wstring wide;
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unix, -1, nullptr, 0);
    if (n > 1 && unix[0] == '/') {
        wide.resize(static_cast<std::size_t>(n));
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unix, -1, wide.data(), n);
        wide.resize(static_cast<std::size_t>(n) - 1);
    }
    ::HeapFree(::GetProcessHeap(), 0, unix);
    if (wide.empty() || wide.find(L'\\') != std::wstring::npos) return {};
    for (auto& c : wide)
        if (c == L'/') c = L'\\';
    if (wide.back() == L'\\') wide.pop_back();
    return L"\\\\?\\unix" + wide;
}

// Whether Wine spells `name` on the Unix side as it is: no character it stands in for one a
// Windows name cannot hold (U+F000 to U+F0FF).
bool SpelledAsItIs(const std::wstring& name) {
    for (const wchar_t c : name)
        if (c >= 0xF000 && c <= 0xF0FF) return false;
    return !name.empty();
}

}  // namespace

bool FsExactEntryExists(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    const std::wstring name = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    if (WineUnixNameCall() && SpelledAsItIs(name) && IsAddressableName(name)) {
        // The folder is found afresh each time, so a folder moved meanwhile is not missed.
        std::wstring folder = path.substr(0, slash);
        if (!folder.empty() && folder.back() == L':') folder += L'\\';
        const std::wstring exact = ExactFolderPathOf(SystemPathOf(folder));
        if (!exact.empty()) return FsEntryExists(exact + L"\\" + name);
    }
    return FsEntryExists(path);
}

std::wstring FinalPathOf(HANDLE handle, bool* available) {
    using Call = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const Call call = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFinalPathNameByHandleW")))
                      : nullptr;
    }();
    if (available) *available = call != nullptr;
    if (!call) return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = call(handle, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(static_cast<std::size_t>(n) + 1);
    }
    return {};
}

namespace {

using InformationCall = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// GetFileInformationByHandleEx, where the system has it.
InformationCall InformationByHandleCall() {
    static const InformationCall call = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<InformationCall>(
                            reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFileInformationByHandleEx")))
                      : nullptr;
    }();
    return call;
}

}  // namespace

bool FsDescribeOpenFile(HANDLE handle, DWORD& attributes, LONGLONG& size) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (const InformationCall call = InformationByHandleCall();
        call && call(handle, FileBasicInfo, &basic, sizeof(basic)) && call(handle, FileStandardInfo, &standard, sizeof(standard))) {
        attributes = basic.FileAttributes;
        size = standard.EndOfFile.QuadPart;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    attributes = info.dwFileAttributes;
    size = static_cast<LONGLONG>((static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    return true;
}

std::wstring VolumePathOf(HANDLE handle) {
    const InformationCall call = InformationByHandleCall();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!call || !::GetFileInformationByHandle(handle, &info)) return {};
    // Room for the longest path a volume holds.
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(DWORD) + 1);
    if (!call(handle, FileNameInfo, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) return {};
    const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    wchar_t serial[16] = {};
    ::wsprintfW(serial, L"%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber));
    return serial + std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

FileSystemRedirectionCalls SetFileSystemRedirectionCalls(FileSystemRedirectionCalls calls) {
    return std::exchange(Calls(), std::move(calls));
}

// --- what the system says about one file ---

#ifndef IO_REPARSE_TAG_CLOUD
#define IO_REPARSE_TAG_CLOUD 0x9000001AL
#endif
#ifndef FILE_ATTRIBUTE_RECALL_ON_OPEN
#define FILE_ATTRIBUTE_RECALL_ON_OPEN 0x00040000
#endif
#ifndef FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
#define FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS 0x00400000
#endif

namespace {

FileQuestions& Questions() {
    static FileQuestions questions;
    return questions;
}

std::int64_t ReadInt64(const unsigned char* at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | at[i];
    return static_cast<std::int64_t>(value);
}

bool AskAttributes(const std::wstring& systemPath, DWORD& attributes, DWORD& tag) {
    if (const auto& ask = Questions().attributes) return ask(systemPath, attributes, tag);
    attributes = ::GetFileAttributesW(systemPath.c_str());
    tag = 0;
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        WIN32_FIND_DATAW entry{};
        UniqueFind found(::FindFirstFileW(systemPath.c_str(), &entry));
        if (found) tag = entry.dwReserved0;
    }
    return true;
}

bool AskRetrievalPointers(HANDLE file, std::int64_t startVcn, std::vector<unsigned char>& answer, DWORD& error) {
    if (const auto& ask = Questions().retrievalPointers) return ask(file, startVcn, answer, error);
    STARTING_VCN_INPUT_BUFFER input{};
    input.StartingVcn.QuadPart = startVcn;
    answer.assign(64 * 1024, 0);
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(file, FSCTL_GET_RETRIEVAL_POINTERS, &input, sizeof(input), answer.data(),
                                      static_cast<DWORD>(answer.size()), &returned, nullptr);
    error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!ok && error != ERROR_MORE_DATA) return false;
    answer.resize(returned);
    return true;
}

bool AskAllocatedRanges(HANDLE file, std::int64_t size, std::vector<ByteRange>& ranges) {
    if (const auto& ask = Questions().allocatedRanges) return ask(file, size, ranges);
    ranges.clear();
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.FileOffset.QuadPart = 0;
    query.Length.QuadPart = size;
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> answer(512);
    for (;;) {
        DWORD returned = 0;
        const BOOL ok = ::DeviceIoControl(file, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof(query), answer.data(),
                                          static_cast<DWORD>(answer.size() * sizeof(answer[0])), &returned, nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
        if (!ok && error != ERROR_MORE_DATA) return false;
        const std::size_t count = returned / sizeof(answer[0]);
        for (std::size_t i = 0; i < count; ++i)
            ranges.push_back({answer[i].FileOffset.QuadPart, answer[i].Length.QuadPart});
        if (ok) return true;
        if (count == 0) return false;
        // Ask again from the end of the last range given.
        const std::int64_t end = ranges.back().offset + ranges.back().length;
        if (end >= size) return true;
        query.FileOffset.QuadPart = end;
        query.Length.QuadPart = size - end;
    }
}

DWORD AskClusterSize(const std::wstring& root) {
    if (const auto& ask = Questions().clusterSize) return ask(root);
    // A run meets the files of one drive one after another: the last answer is kept.
    static std::wstring lastRoot;
    static DWORD lastSize = 0;
    if (root.empty()) return 0;
    if (!lastRoot.empty() && ::CompareStringOrdinal(root.c_str(), -1, lastRoot.c_str(), -1, TRUE) == CSTR_EQUAL)
        return lastSize;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(root);
    const DWORD size = ::GetDiskFreeSpaceW(system.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                           &totalClusters)
                           ? sectorsPerCluster * bytesPerSector
                           : 0;
    lastRoot = root;
    lastSize = size;
    return size;
}

}  // namespace

bool AppendRetrievalPointers(const void* answer, std::size_t bytes, std::int64_t askedVcn,
                             std::vector<ClusterRun>& runs, std::int64_t& next) {
    // DWORD ExtentCount, (padding), LARGE_INTEGER StartingVcn, then {NextVcn, Lcn} per extent.
    constexpr std::size_t kHead = 16, kExtent = 16;
    const auto* at = static_cast<const unsigned char*>(answer);
    if (!at || bytes < kHead + kExtent) return false;
    const std::uint32_t count = static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
                                (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
    if (count == 0 || count > (bytes - kHead) / kExtent) return false;
    std::int64_t vcn = ReadInt64(at + 8);
    if (vcn != askedVcn || vcn < 0) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int64_t nextVcn = ReadInt64(at + kHead + i * kExtent);
        const std::int64_t lcn = ReadInt64(at + kHead + i * kExtent + 8);
        if (nextVcn <= vcn || lcn < -1) return false;
        runs.push_back({vcn, nextVcn, lcn});
        vcn = nextVcn;
    }
    next = vcn;
    return true;
}

bool ClusterRunsCover(const std::vector<ClusterRun>& runs, std::int64_t allocation, DWORD clusterSize) {
    if (clusterSize == 0 || allocation < 0) return false;
    const std::int64_t clusters = (allocation + clusterSize - 1) / clusterSize;
    if (runs.empty()) return false;
    return runs.front().vcn == 0 && runs.back().nextVcn >= clusters;
}

std::int64_t ClustersFreed(const std::vector<ClusterRun>& before, const std::vector<ClusterRun>& after) {
    // The volume's clusters each holds, as sorted intervals [first, end).
    const auto onVolume = [](const std::vector<ClusterRun>& runs) {
        std::vector<std::pair<std::int64_t, std::int64_t>> spans;
        for (const ClusterRun& run : runs)
            if (run.lcn >= 0) spans.emplace_back(run.lcn, run.lcn + (run.nextVcn - run.vcn));
        std::sort(spans.begin(), spans.end());
        return spans;
    };
    const auto old = onVolume(before);
    const auto now = onVolume(after);
    std::int64_t freed = 0;
    for (auto [first, end] : old) {
        // Take away every part of [first, end) that the file still holds.
        for (const auto& [keptFirst, keptEnd] : now) {
            if (keptEnd <= first) continue;
            if (keptFirst >= end) break;
            if (keptFirst > first) freed += keptFirst - first;
            first = std::max(first, keptEnd);
            if (first >= end) break;
        }
        if (first < end) freed += end - first;
    }
    return freed;
}

bool IsCloudTag(DWORD tag) { return (tag & ~static_cast<DWORD>(0xF000)) == static_cast<DWORD>(IO_REPARSE_TAG_CLOUD); }

FileQuestions SetFileQuestions(FileQuestions questions) { return std::exchange(Questions(), std::move(questions)); }

std::wstring DriveRootOf(const std::wstring& path) {
    std::wstring plain = path;
    if (plain.rfind(L"\\\\?\\UNC\\", 0) == 0) plain = L"\\\\" + plain.substr(8);
    else if (plain.rfind(L"\\\\?\\", 0) == 0) plain = plain.substr(4);
    if (plain.size() >= 3 && plain[1] == L':' && plain[2] == L'\\') return plain.substr(0, 3);
    if (plain.size() > 2 && plain[0] == L'\\' && plain[1] == L'\\') {
        const std::size_t server = plain.find(L'\\', 2);
        if (server == std::wstring::npos) return {};
        const std::size_t share = plain.find(L'\\', server + 1);
        return share == std::wstring::npos ? plain + L"\\" : plain.substr(0, share + 1);
    }
    return {};
}

FileFacts FsFileFactsByName(const std::wstring& path) {
    FileFacts facts;
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    facts.found = AskAttributes(system, facts.attributes, facts.reparseTag);
    if (!facts.found) return facts;
    if (!(facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) facts.reparseTag = 0;
    if (IsCloudTag(facts.reparseTag)) {
        constexpr DWORD kNotHere =
            FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS | FILE_ATTRIBUTE_RECALL_ON_OPEN | FILE_ATTRIBUTE_OFFLINE;
        facts.cloud = (facts.attributes & kNotHere) ? CloudState::CloudOnly : CloudState::Present;
    }
    return facts;
}

bool FsClustersOfOpenFile(HANDLE file, std::int64_t allocation, DWORD clusterSize, std::vector<ClusterRun>& runs) {
    runs.clear();
    if (allocation < 0) {
        FILE_STANDARD_INFO standard{};
        const InformationCall call = InformationByHandleCall();
        if (!call || !call(file, FileStandardInfo, &standard, sizeof(standard))) return false;
        allocation = standard.AllocationSize.QuadPart;
    }
    std::vector<unsigned char> answer;
    std::int64_t vcn = 0;
    // Each answer goes on from where the last one ended; a bound keeps a system that keeps
    // saying "more" from holding the run.
    for (int page = 0; page < 4096; ++page) {
        DWORD error = ERROR_SUCCESS;
        if (!AskRetrievalPointers(file, vcn, answer, error)) {
            // A file whose data lives in its file record (or an empty one) has no clusters.
            if (error == ERROR_HANDLE_EOF && vcn == 0) return true;
            return false;
        }
        // No extent at all from the start: nothing of the file lies in clusters of its own.
        if (vcn == 0 && answer.size() >= 4 && answer[0] == 0 && answer[1] == 0 && answer[2] == 0 && answer[3] == 0)
            return true;
        std::int64_t next = 0;
        if (!AppendRetrievalPointers(answer.data(), answer.size(), vcn, runs, next)) return false;
        vcn = next;
        if (error != ERROR_MORE_DATA) return ClusterRunsCover(runs, allocation, clusterSize);
    }
    return false;
}

void FsFileFactsOfOpenFile(HANDLE file, const std::wstring& path, FileFacts& facts) {
    facts.opened = true;
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (const InformationCall call = InformationByHandleCall();
        call && call(file, FileBasicInfo, &basic, sizeof(basic)) && call(file, FileStandardInfo, &standard, sizeof(standard))) {
        facts.attributes = basic.FileAttributes;
        facts.size = standard.EndOfFile.QuadPart;
        facts.allocation = standard.AllocationSize.QuadPart;
    } else {
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file, &size)) facts.size = size.QuadPart;
    }
    if (const auto& ask = Questions().openFile) ask(file, facts);
    // The tag as the open file has it: what is written is what was opened.
    facts.reparseTag = 0;
    facts.cloud = CloudState::None;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (const InformationCall call = InformationByHandleCall();
        (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) && call && call(file, FileAttributeTagInfo, &tag, sizeof(tag)))
        facts.reparseTag = tag.ReparseTag;
    if (IsCloudTag(facts.reparseTag)) {
        constexpr DWORD kNotHere =
            FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS | FILE_ATTRIBUTE_RECALL_ON_OPEN | FILE_ATTRIBUTE_OFFLINE;
        facts.cloud = (facts.attributes & kNotHere) ? CloudState::CloudOnly : CloudState::Present;
    }
    facts.clusterSize = AskClusterSize(DriveRootOf(SystemPathOf(path)));
    if (!facts.readable) return;
    facts.clustersKnown = facts.allocation >= 0 && facts.clusterSize != 0 &&
                          FsClustersOfOpenFile(file, facts.allocation, facts.clusterSize, facts.clusters);
    if (!facts.clustersKnown) facts.clusters.clear();
    if (facts.attributes & FILE_ATTRIBUTE_SPARSE_FILE)
        facts.rangesKnown = AskAllocatedRanges(file, facts.size, facts.allocatedRanges);
}

DriveFacts FsDriveFacts(const std::wstring& root) {
    if (const auto& ask = Questions().drive) return ask(root);
    DriveFacts facts;
    if (root.empty()) return facts;
    NativeFileSystem native;
    facts.network = ::GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH + 1))
        facts.refs = ::CompareStringOrdinal(fileSystem, -1, L"ReFS", -1, TRUE) == CSTR_EQUAL;
    if (facts.network || root.size() != 3 || root[1] != L':') return facts;
    // The volume, opened with no access rights (enough for the storage properties).
    UniqueFile volume(::CreateFileW((L"\\\\.\\" + root.substr(0, 2)).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume) return facts;
    STORAGE_PROPERTY_QUERY query{};
    query.QueryType = PropertyStandardQuery;
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    DEVICE_SEEK_PENALTY_DESCRIPTOR penalty{};
    DWORD returned = 0;
    if (::DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &penalty, sizeof(penalty),
                          &returned, nullptr) &&
        returned >= sizeof(penalty) && penalty.Size >= sizeof(penalty))
        facts.solidState = !penalty.IncursSeekPenalty;
    query.PropertyId = StorageDeviceTrimProperty;
    DEVICE_TRIM_DESCRIPTOR trim{};
    returned = 0;
    if (::DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &trim, sizeof(trim),
                          &returned, nullptr) &&
        returned >= sizeof(trim) && trim.Size >= sizeof(trim))
        facts.trim = trim.TrimEnabled != FALSE;
    return facts;
}

std::wstring FsSyncRootOf(const std::wstring& folder) {
    if (const auto& ask = Questions().syncRoot) return ask(folder);
    // CfGetSyncRootInfoByPath answers for any folder inside a synchronised folder; the
    // synchronised folder is the outermost one it answers for.
    using Call = HRESULT(WINAPI*)(LPCWSTR, int, PVOID, DWORD, DWORD*);
    static const Call call = [] {
        const HMODULE library = ::LoadLibraryW(L"cldapi.dll");
        return library ? reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(library, "CfGetSyncRootInfoByPath")))
                       : nullptr;
    }();
    if (!call) return {};
    constexpr int kBasicInfo = 0;  // CF_SYNC_ROOT_INFO_BASIC
    std::wstring root;
    std::wstring current = folder;
    while (current.size() > 3) {
        LARGE_INTEGER fileId{};
        DWORD length = 0;
        if (FAILED(call(SystemPathOf(current).c_str(), kBasicInfo, &fileId, sizeof(fileId), &length))) break;
        root = current;
        const std::size_t slash = current.find_last_of(L'\\');
        if (slash == std::wstring::npos) break;
        current.resize(slash);
    }
    return root;
}
