#include "engine/FreeSpace.h"

#include <sddl.h>
#include <shlobj.h>
#include <winioctl.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/EraseFunc.h"
#include "engine/PassWriter.h"
#include "engine/Random.h"

namespace {

constexpr std::int64_t kMaxFillFile = std::int64_t{1} << 30;
// Every so many bytes of fill the volume must show less free space.
constexpr std::int64_t kShrinkCheckBytes = std::int64_t{64} << 20;
// Free space a full volume may still show (clusters the file system keeps for itself).
constexpr std::int64_t kFullSlack = std::int64_t{1} << 20;
// Fill the record step may hand back, a little at a time, so that the table of file records
// can take the records it keeps for its own growth.
constexpr std::int64_t kGiveBackStep = 64 * 1024;
constexpr std::int64_t kGiveBackLimit = 64 * 1024;
// Sizes tried for the data of a small file kept inside its file record, largest first: from
// what a record of 4 KiB keeps down to what one of 1 KiB keeps, then less.
constexpr std::size_t kRecordSizes[] = {3800, 3400, 3000, 2600, 2200, 1800, 1400, 1000, 720, 640, 512, 384, 256, 128, 64};
// What a file record spends on its header and attributes besides the data.
constexpr DWORD kRecordOverhead = 296;
// A file someone else holds for a moment (a virus scanner, the indexer) is asked for again.
constexpr int kOpenAttempts = 8;
constexpr DWORD kOpenRetryMs = 200;

const wchar_t kMarkerText[] = L"TIDEMARROW32 SE: 空き領域の抹消の作業フォルダです。";
const wchar_t kRecordsFolderName[] = L"records";
const wchar_t kRecordLockName[] = L"Local\\TIDEMARROW32 SE FreeSpace record";

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

std::wstring WithSlash(const std::wstring& folder) {
    return !folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\";
}

// `prefix` + the number with at least `digits` digits + ".tmf".
std::wstring Numbered(const wchar_t* prefix, int digits, std::size_t index) {
    wchar_t text[48];
    std::swprintf(text, 48, L"%ls%0*zu.tmf", prefix, digits, index);
    return text;
}
std::wstring FillName(std::size_t index) { return Numbered(L"fill", 5, index); }
std::wstring RecordFileName(std::size_t index) { return Numbered(L"rec", 6, index); }
std::wstring RecordFolderName(std::size_t index) { return Numbered(L"d", 6, index); }

// "fill" + 5 or more digits + ".tmf" or "rec" + 6 or more: the names of the files a run makes;
// with `folder`, "d" + 6 or more digits + ".tmf" or the records folder: those of its folders.
bool IsOwnName(const std::wstring& name, bool folder) {
    const auto digitsThen = [&](std::size_t from, std::size_t least) {
        if (name.size() < from + least + 4 || name.compare(name.size() - 4, 4, L".tmf") != 0) return false;
        for (std::size_t i = from; i < name.size() - 4; ++i)
            if (name[i] < L'0' || name[i] > L'9') return false;
        return true;
    };
    if (folder) return name == kRecordsFolderName || (name.rfind(L"d", 0) == 0 && digitsThen(1, 6));
    return (name.rfind(L"fill", 0) == 0 && digitsThen(4, 5)) || (name.rfind(L"rec", 0) == 0 && digitsThen(3, 6));
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool SeekTo(HANDLE file, std::int64_t position) {
    LARGE_INTEGER at{};
    at.QuadPart = position;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

bool DiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

FreeSpaceSeams& Seams() {
    static FreeSpaceSeams seams;
    return seams;
}

// The volume's free bytes, or those this user may still fill (quotas and reserves taken off).
std::int64_t FreeBytesOf(const std::wstring& folder, bool forCaller = false) {
    if (Seams().freeBytes) return Seams().freeBytes(folder, forCaller);
    ULARGE_INTEGER available{}, total{}, free{};
    if (!::GetDiskFreeSpaceExW(WithSlash(folder).c_str(), &available, &total, &free)) return -1;
    return static_cast<std::int64_t>(forCaller ? available.QuadPart : free.QuadPart);
}

DWORD FileRecordSizeOf(HANDLE folder) {
    if (Seams().fileRecordSize) return Seams().fileRecordSize(folder);
    NTFS_VOLUME_DATA_BUFFER data{};
    DWORD returned = 0;
    if (!::DeviceIoControl(folder, FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, &data, sizeof data, &returned, nullptr))
        return 0;
    return data.BytesPerFileRecordSegment;
}

DWORD AttributesOf(HANDLE file) {
    if (Seams().fileAttributes) return Seams().fileAttributes(file);
    DWORD attributes = 0;
    LONGLONG size = 0;
    return FsDescribeOpenFile(file, attributes, size) ? attributes : FILE_ATTRIBUTE_COMPRESSED;
}

std::wstring LocalDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path))) return {};
    const std::wstring folder = WithSlash(path) + L"TIDEMARROW32 SE";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The record file's folders, one a line.
std::vector<std::wstring> RecordedFolders(const std::wstring& recordFile) {
    std::vector<std::wstring> lines;
    if (recordFile.empty() || !ReadListFile(recordFile, lines)) return {};
    lines.erase(std::remove(lines.begin(), lines.end(), std::wstring()), lines.end());
    return lines;
}

// Holds the lock under which the record file is read and rewritten, so that two runs (of any
// profile, the window's or tmerase's) cannot lose each other's line.
class RecordLock {
public:
    RecordLock() : mutex_(::CreateMutexW(nullptr, FALSE, kRecordLockName)) {
        if (mutex_) {
            const DWORD waited = ::WaitForSingleObject(mutex_.get(), 10000);
            held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    ~RecordLock() {
        if (held_) ::ReleaseMutex(mutex_.get());
    }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    UniqueKernelHandle mutex_;
    bool held_ = false;
};

// Adds or removes folders' lines; nothing to do without a record file.
bool WriteRecord(const std::wstring& recordFile, const std::vector<std::wstring>& folders, bool add) {
    if (recordFile.empty()) return true;
    RecordLock lock;
    std::vector<std::wstring> lines = RecordedFolders(recordFile);
    for (const auto& folder : folders) {
        const auto same = [&](const std::wstring& line) { return SameText(line, folder); };
        lines.erase(std::remove_if(lines.begin(), lines.end(), same), lines.end());
        if (add) lines.push_back(folder);
    }
    if (lines.empty()) return FsDeleteFile(recordFile) || !FsEntryExists(recordFile);
    const std::wstring parent = ExtractFilePath(recordFile);
    if (!parent.empty() && !DirectoryExists(parent)) ::CreateDirectoryW(SystemPathOf(parent).c_str(), nullptr);
    return ReplaceTextFile(recordFile, lines);
}

// A security descriptor that lets only this user and SYSTEM in, not inherited from above.
class ProtectedDescriptor {
public:
    ProtectedDescriptor() {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        UniqueKernelHandle owner(token);
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> user(size ? size : 1);
        wchar_t* sid = nullptr;
        if (!size || !::GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
            !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
            return;
        const std::wstring text = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;" + std::wstring(sid) + L")";
        ::LocalFree(sid);
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
    }
    ~ProtectedDescriptor() {
        if (descriptor_) ::LocalFree(descriptor_);
    }
    ProtectedDescriptor(const ProtectedDescriptor&) = delete;
    ProtectedDescriptor& operator=(const ProtectedDescriptor&) = delete;
    PSECURITY_DESCRIPTOR get() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// Opens or makes `name` inside the open folder `root`, never following a link at the end;
// INVALID_HANDLE_VALUE with the error set when the system refuses.
HANDLE OpenAt(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
              ULONG attributes = FILE_ATTRIBUTE_NORMAL, PSECURITY_DESCRIPTOR descriptor = nullptr) {
    UNICODE_STRING text{};
    text.Buffer = const_cast<PWSTR>(name.c_str());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES object{};
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, root, descriptor);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&handle, access | SYNCHRONIZE, &object, &io, nullptr, attributes, share, disposition,
                       options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (status < 0) {
        ::SetLastError(::RtlNtStatusToDosError(status));
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

HANDLE OpenFolderAt(HANDLE root, const std::wstring& name, ACCESS_MASK access = 0) {
    return OpenAt(root, name, kFolderAccess | access, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE);
}

// Marks an open file or folder for deletion; it goes when its last handle closes.
bool DeleteByHandle(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool EntryMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Whether `entry`, opened as `name` inside the open folder `parent`, is that entry and not a
// link or junction leading elsewhere.
bool IsItself(HANDLE entry, HANDLE parent, const std::wstring& name) {
    DWORD attributes = 0;
    LONGLONG size = 0;
    if (!FsDescribeOpenFile(entry, attributes, size) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    bool available = true;
    const std::wstring mine = FinalPathOf(entry, &available);
    if (!available) return true;  // no links to tell apart on such a system
    const std::wstring expected = FinalPathOf(parent);
    return !mine.empty() && !expected.empty() && SameText(mine, WithSlash(expected) + name);
}

// Which file an open handle is: its volume and its number there.
struct FileId {
    DWORD volume = 0, high = 0, low = 0;
    bool operator==(const FileId&) const = default;
};

bool IdOf(HANDLE handle, FileId& id) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

// Deletes the entry `path` names when it is the file or folder `expected` (one the run opened
// relative to a folder it holds): the path is opened without following a link at its end and
// must lead to that same file, so a name that leads elsewhere (a folder on the way swapped for a
// link meanwhile) deletes nothing.
bool DeleteIfSame(const FileId& expected, const std::wstring& path) {
    UniqueFile named(FsCreateFile(path, DELETE | FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!named) return false;
    FileId found;
    if (!IdOf(named.get(), found) || !(found == expected)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const bool folder = (FsGetAttributes(path) & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!DeleteByHandle(named.get())) return false;
    named.reset();
    if (!FsEntryExists(path)) return true;
    // Wine on some file systems (NTFS through ntfs-3g) accepts the deletion through the handle
    // and then keeps the entry; only there is the entry, just found to be the same file, deleted
    // by its path.
    if (folder) {
        NativeFileSystem native;
        return ::RemoveDirectoryW(SystemPathOf(path).c_str()) != FALSE;
    }
    return FsDeleteFile(path);
}

// Deletes `name` in the open folder `root`, whose path is `folderPath`: only when the entry of
// that name in that folder is itself (no link followed) and the path leads to it.
bool DeleteAt(HANDLE root, const std::wstring& folderPath, const std::wstring& name, bool folder) {
    UniqueFile entry(OpenAt(root, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                            folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE));
    if (!entry) return false;
    FileId id;
    if (!IsItself(entry.get(), root, name) || !IdOf(entry.get(), id)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    entry.reset();
    return DeleteIfSame(id, folderPath + L"\\" + name);
}

// Closes a handle the run holds without sharing its deletion, then deletes the entry by its path
// when that still leads to the same file.
bool CloseAndDelete(UniqueFile& held, const std::wstring& path) {
    FileId id;
    const bool known = held && IdOf(held.get(), id);
    held.reset();
    return known && DeleteIfSame(id, path);
}

// The names in an open folder, with whether each is a folder.
std::vector<std::pair<std::wstring, bool>> EntriesIn(HANDLE folder) {
    std::vector<std::pair<std::wstring, bool>> entries;
    std::vector<std::uint64_t> buffer(8192);
    for (auto kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!::GetFileInformationByHandleEx(folder, kind, buffer.data(), static_cast<DWORD>(buffer.size() * 8))) break;
        const auto* bytes = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                entries.emplace_back(std::move(name), (entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
            if (!entry->NextEntryOffset) break;
            bytes += entry->NextEntryOffset;
        }
    }
    return entries;
}

// Deletes the files of ours in the open `folder` and, depth first, the folders of ours in it,
// each opened relative to the folder above and only when it is that entry (never a link or
// junction, which stay where they are with what they lead to).
void RemoveOwnEntries(HANDLE folder, const std::wstring& folderPath, int& files) {
    for (const auto& [name, isFolder] : EntriesIn(folder)) {
        if (!IsOwnName(name, isFolder)) continue;
        UniqueFile entry(OpenAt(folder, name, DELETE | FILE_READ_ATTRIBUTES | (isFolder ? kFolderAccess : 0), kShareAll,
                                FILE_OPEN, isFolder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE));
        FileId id;
        if (!entry || !IsItself(entry.get(), folder, name) || !IdOf(entry.get(), id)) continue;
        if (isFolder) RemoveOwnEntries(entry.get(), folderPath + L"\\" + name, files);
        entry.reset();
        if (DeleteIfSame(id, folderPath + L"\\" + name) && !isFolder) ++files;
    }
}

// Removes a fill folder left behind: only our own files in it, and the folder when empty.
FreeSpaceLeftover CleanUpFolder(const std::wstring& fillFolder, bool& found) {
    FreeSpaceLeftover leftover{fillFolder};
    found = false;
    const std::size_t slash = fillFolder.find_last_of(L'\\');
    if (slash == std::wstring::npos) return leftover;
    const std::wstring name = fillFolder.substr(slash + 1);
    UniqueFile parent(FsCreateFile(fillFolder.substr(0, slash + 1), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                   kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!parent) return leftover;
    // A run that works holds its folder and marker without sharing their deletion.
    UniqueFile folder(OpenAt(parent.get(), name, kFolderAccess | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                             FILE_DIRECTORY_FILE));
    if (!folder) {
        if (::GetLastError() == ERROR_SHARING_VIOLATION) found = leftover.inUse = true;
        return leftover;
    }
    if (!IsItself(folder.get(), parent.get(), name)) return leftover;
    UniqueFile marker(OpenAt(folder.get(), kFreeSpaceMarkerName, GENERIC_READ | DELETE, 0, FILE_OPEN, FILE_NON_DIRECTORY_FILE));
    if (!marker) {
        found = leftover.inUse = ::GetLastError() == ERROR_SHARING_VIOLATION;
        return leftover;
    }
    if (!IsItself(marker.get(), folder.get(), kFreeSpaceMarkerName)) return leftover;
    found = true;
    RemoveOwnEntries(folder.get(), fillFolder, leftover.files);
    CloseAndDelete(marker, fillFolder + L"\\" + kFreeSpaceMarkerName);
    CloseAndDelete(folder, fillFolder);
    leftover.removed = !FsEntryExists(fillFolder);
    return leftover;
}

}  // namespace

FreeSpaceSeams SetFreeSpaceSeams(FreeSpaceSeams seams) { return std::exchange(Seams(), std::move(seams)); }

std::vector<std::size_t> FreeSpaceRecordSizes(DWORD recordSize) {
    std::vector<std::size_t> sizes(std::begin(kRecordSizes), std::end(kRecordSizes));
    if (recordSize > kRecordOverhead) {
        const auto fits = [&](std::size_t size) { return size <= recordSize - kRecordOverhead; };
        sizes.erase(sizes.begin(), std::find_if(sizes.begin(), sizes.end(), fits));
    }
    return sizes;
}

// --- the record step's folders ---

class FreeSpaceJob::FolderChain {
public:
    FolderChain(HANDLE records, const std::vector<std::int64_t>& parents) : records_(records), parents_(parents) {}

    // The open folder `index` (-1: the records folder); INVALID_HANDLE_VALUE when it cannot be opened.
    HANDLE Open(std::int64_t index) {
        std::vector<std::int64_t> path;
        for (std::int64_t at = index; at >= 0; at = parents_[static_cast<std::size_t>(at)]) path.push_back(at);
        std::reverse(path.begin(), path.end());
        std::size_t same = 0;
        while (same < path.size() && same < open_.size() && open_[same].first == path[same]) ++same;
        open_.resize(same);
        for (std::size_t i = same; i < path.size(); ++i) {
            UniqueFile folder(OpenFolderAt(open_.empty() ? records_ : open_.back().second.get(),
                                           RecordFolderName(static_cast<std::size_t>(path[i]))));
            if (!folder) return INVALID_HANDLE_VALUE;
            open_.emplace_back(path[i], std::move(folder));
        }
        return open_.empty() ? records_ : open_.back().second.get();
    }
    void Close() { open_.clear(); }

private:
    HANDLE records_;
    const std::vector<std::int64_t>& parents_;
    std::vector<std::pair<std::int64_t, UniqueFile>> open_;
};

// --- the run ---

FreeSpaceJob::FreeSpaceJob(std::wstring folder, EraseLevel level, std::wstring recordFile)
    : folder_(std::move(folder)), level_(level), recordFile_(std::move(recordFile)), passes_(PassWriter::Passes(level)) {
    while (folder_.size() > 3 && folder_.back() == L'\\') folder_.pop_back();
    fillFolder_ = WithSlash(folder_) + kFreeSpaceFolderName;
}

FreeSpaceJob::~FreeSpaceJob() {
    if (running_) StopAndCleanUpNow();
}

std::int64_t FreeSpaceJob::VolumeFree(bool forCaller) const { return FreeBytesOf(folder_, forCaller); }

bool FreeSpaceJob::GoOn(bool force) {
    const ULONGLONG now = ::GetTickCount64();
    const auto& environment = CurrentEraseEnvironment();
    if (force || now - lastService_ >= kServiceIntervalMs) {
        lastService_ = now;
        if (progress) progress(shown_);
        if (environment.serviceMessages) environment.serviceMessages();
    }
    if (endedNow_) return false;
    return !(environment.abortRequested && environment.abortRequested->load());
}

HANDLE FreeSpaceJob::OpenInFolder(HANDLE folder, const std::wstring& name, DWORD disposition) {
    // A reopened file may stay open for reading elsewhere (a scanner that met it a moment ago);
    // no one else may write or delete it meanwhile.
    const DWORD share = disposition == FILE_OPEN ? FILE_SHARE_READ : 0;
    for (int attempt = 1;; ++attempt) {
        HANDLE file = OpenAt(folder, name, GENERIC_READ | GENERIC_WRITE, share, disposition, FILE_NON_DIRECTORY_FILE);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION || attempt == kOpenAttempts)
            return file;
        ::Sleep(kOpenRetryMs);
        if (const auto& service = CurrentEraseEnvironment().serviceMessages) service();
        if (endedNow_) {
            ::SetLastError(ERROR_OPERATION_ABORTED);
            return INVALID_HANDLE_VALUE;
        }
    }
}

std::wstring FreeSpaceJob::RecordFolderPath(std::int64_t index) const {
    return index < 0 ? fillFolder_ + L"\\" + kRecordsFolderName
                     : RecordFolderPath(folderParents_[static_cast<std::size_t>(index)]) + L"\\" +
                           RecordFolderName(static_cast<std::size_t>(index));
}

HANDLE FreeSpaceJob::RecordFolder(std::int64_t index) {
    if (!chain_) chain_ = std::make_unique<FolderChain>(recordsDir_.get(), folderParents_);
    return chain_->Open(index);
}

FreeSpaceResult FreeSpaceJob::Run() {
    if (running_) return {};
    running_ = true;
    endedNow_ = false;
    result_ = FreeSpaceResult{};
    shown_ = FreeSpaceProgress{};
    shown_.passes = passes_;
    cleanStep_ = 0;
    cleanLeft_ = 0;
    try {
        return Work();
    } catch (...) {
        // Nothing made stays behind a failure; nothing of this call is kept.
        if (running_ && !endedNow_) StopAndCleanUpNow();
        throw;
    }
}

FreeSpaceResult FreeSpaceJob::Work() {
    RandomizeFromClock();
    bool filled = Prepare() && FillPass();
    if (filled && !endedNow_) {
        // The disk is full now: what this user may fill must be gone but for a few clusters.
        const std::int64_t left = VolumeFree(true);
        if (left > kFullSlack) {
            result_.message = L"空き領域の一部 (" + FreeSpaceBytesText(left) +
                              L") に書き込めませんでした。クォータなどの制限があるドライブです。";
            filled = false;
        }
    }
    if (filled && !endedNow_) {
        FillRecords();
        if (!endedNow_) GoOn(true);  // told at the end of the step; an abort is seen by the next
    }
    for (int pass = 1; filled && !endedNow_ && pass < passes_; ++pass) filled = RewritePass(pass);
    if (endedNow_) return result_;  // the session end cleaned up already
    result_.overwritten = filled && !result_.stopped;
    CleanUp(true);
    if (endedNow_) return result_;
    running_ = false;
    return result_;
}

bool FreeSpaceJob::Prepare() {
    FreeSpaceResult& result = result_;
    const DWORD attributes = FsGetAttributes(folder_);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.message = L"フォルダが見つかりません: " + folder_;
        return false;
    }
    result.freeBefore = VolumeFree();
    if (result.freeBefore < 0) {
        result.message = L"ドライブの空き領域を調べられません: " + folder_;
        return false;
    }
    shown_.total = result.freeBefore * passes_;

    // The volume: its serial number names its lock; its sector is the smallest write.
    UniqueFile folder(FsCreateFile(folder_, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES, kShareAll,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !::GetFileInformationByHandle(folder.get(), &info)) {
        result.message = L"フォルダを開けません: " + folder_;
        return false;
    }
    wchar_t volume[MAX_PATH] = {};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (::GetVolumePathNameW(WithSlash(folder_).c_str(), volume, MAX_PATH) &&
        ::GetDiskFreeSpaceW(volume, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
        bytesPerSector >= 2 && bytesPerSector <= PassWriter::kMaxWrite)
        sector_ = bytesPerSector;

    const std::wstring lockFolder = LocalDataFolder();
    wchar_t serial[16];
    std::swprintf(serial, 16, L"%08lX", static_cast<unsigned long>(info.dwVolumeSerialNumber));
    volumeLock_.reset(::CreateFileW((WithSlash(lockFolder) + L"FreeSpace-" + serial + L".lock").c_str(), GENERIC_WRITE, 0,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!volumeLock_) {
        result.message = ::GetLastError() == ERROR_SHARING_VIOLATION
                             ? L"このドライブでは別の空き領域の抹消が実行中です。"
                             : L"ロックファイルを作れません: " + lockFolder;
        return false;
    }

    if (FsEntryExists(fillFolder_)) {
        bool found = false;
        CleanUpFolder(fillFolder_, found);
        if (FsEntryExists(fillFolder_)) {
            result.message = L"前回の作業フォルダを削除できません: " + fillFolder_;
            return false;
        }
    }
    // The record comes before anything is written on the volume.
    if (!WriteRecord(recordFile_, {fillFolder_}, true)) {
        result.message = L"作業の記録を書き込めません: " + recordFile_;
        return false;
    }
    recorded_ = true;
    // Made and held in one step, for this user and SYSTEM only (a file system without security
    // descriptors takes it without one). No one else may delete or rename it while it is held.
    const ProtectedDescriptor descriptor;
    fillDir_.reset(OpenAt(folder.get(), kFreeSpaceFolderName, kFolderAccess | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          FILE_CREATE, FILE_DIRECTORY_FILE, FILE_ATTRIBUTE_HIDDEN, descriptor.get()));
    if (!fillDir_) {
        const DWORD error = ::GetLastError();
        result.message = DiskFull(error) ? L"ドライブに空きがないため作業フォルダを作れません: " + folder_
                         : error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT
                             ? L"このフォルダには書き込めません (読み取り専用か権限がありません): " + folder_
                             : L"作業フォルダを作れません (エラー " + std::to_wstring(error) + L"): " + folder_;
        return false;
    }
    folder.reset();
    const std::vector<std::size_t> sizes = FreeSpaceRecordSizes(FileRecordSizeOf(fillDir_.get()));
    firstRecordSize_ = std::size(kRecordSizes) - sizes.size();
    marker_.reset(OpenAt(fillDir_.get(), kFreeSpaceMarkerName, GENERIC_WRITE | DELETE, FILE_SHARE_READ, FILE_CREATE,
                         FILE_NON_DIRECTORY_FILE));
    const std::string text = JoinLinesCrLf({kMarkerText});
    DWORD written = 0;
    if (!marker_ || !::WriteFile(marker_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        const DWORD error = ::GetLastError();
        result.message = DiskFull(error) ? L"ドライブに空きがないため作業フォルダに書き込めません: " + folder_
                                         : L"作業フォルダに書き込めません (エラー " + std::to_wstring(error) + L"): " + folder_;
        return false;
    }
    // The small files' folder is made while there is room for it and its index.
    recordsDir_.reset(OpenAt(fillDir_.get(), kRecordsFolderName, kFolderAccess | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             FILE_CREATE, FILE_DIRECTORY_FILE));
    if (!recordsDir_) {
        result.message = L"作業フォルダに書き込めません (エラー " + std::to_wstring(::GetLastError()) + L"): " + folder_;
        return false;
    }
    return GoOn(true);
}

bool FreeSpaceJob::FillPass() {
    FreeSpaceResult& result = result_;
    std::size_t chunk = PassWriter::kMaxWrite;
    std::int64_t nextCheck = kShrinkCheckBytes;
    bool full = false;
    while (!full) {
        // Read access too: a file made in a compressed folder can be made uncompressed only so.
        current_.reset(OpenInFolder(fillDir_.get(), FillName(fillSizes_.size()), FILE_CREATE));
        if (!current_) {
            const DWORD error = ::GetLastError();
            if (endedNow_) return false;
            if (!fillSizes_.empty() || DiskFull(error)) break;  // nothing more fits
            result.message = L"作業フォルダにファイルを作れません (エラー " + std::to_wstring(error) + L")。";
            return false;
        }
        fillSizes_.push_back(0);
        if (AttributesOf(current_.get()) & FILE_ATTRIBUTE_COMPRESSED) {
            // A file made in a compressed folder is compressed too; it must take real clusters.
            USHORT none = COMPRESSION_FORMAT_NONE;
            DWORD returned = 0;
            ::DeviceIoControl(current_.get(), FSCTL_SET_COMPRESSION, &none, sizeof none, nullptr, 0, &returned, nullptr);
        }
        if (AttributesOf(current_.get()) & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE)) {
            result.message = L"このフォルダでは圧縮されたファイルしか作れないため、空き領域を埋められません。";
            return false;
        }

        PassWriter writer(current_.get());
        std::int64_t size = 0;
        while (size < kMaxFillFile) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(chunk, kMaxFillFile - size));
            if (writer.Write(level_, 0, n)) {
                size += static_cast<std::int64_t>(n);
                shown_.written += static_cast<std::int64_t>(n);
            } else {
                const DWORD error = ::GetLastError();
                // Where the file really ends (part of the write may have gone out), on a word.
                LARGE_INTEGER end{};
                if (!::GetFileSizeEx(current_.get(), &end)) end.QuadPart = size;
                const std::int64_t at = end.QuadPart & ~std::int64_t{1};
                if (at != end.QuadPart) {
                    SeekTo(current_.get(), at);
                    ::SetEndOfFile(current_.get());
                }
                SeekTo(current_.get(), at);
                shown_.written += at - size;
                size = at;
                if (!DiskFull(error)) {
                    fillSizes_.back() = size;
                    result.message = L"書き込みが拒否されました (エラー " + std::to_wstring(error) + L")。";
                    return false;
                }
                // The disk is full: smaller writes reach the last clusters too.
                if (chunk <= sector_) {
                    full = true;
                    break;
                }
                chunk /= 2;
            }
            if (!GoOn()) {
                // A session end met there has cleaned up everything: nothing of the run is left to touch.
                if (endedNow_) return false;
                fillSizes_.back() = size;
                writer.FlushToDisk();
                result.stopped = true;
                return false;
            }
            if (shown_.written >= nextCheck) {
                nextCheck = shown_.written + kShrinkCheckBytes;
                const std::int64_t free = VolumeFree();
                if (free >= 0 && result.freeBefore - free < shown_.written / 2) {
                    fillSizes_.back() = size;
                    result.message = L"書き込んでも空き領域が減りません (圧縮やクォータが働いています)。中止しました。";
                    return false;
                }
            }
        }
        fillSizes_.back() = size;
        result.filled += size;
        if (!writer.FlushToDisk()) {
            result.message = L"ディスクへの書き込みが拒否されました (エラー " + std::to_wstring(::GetLastError()) + L")。";
            return false;
        }
        current_.reset();
        if (size == 0) break;  // the disk was full when this file began
    }
    current_.reset();
    return GoOn(true);
}

void FreeSpaceJob::FillRecords() {
    FreeSpaceResult& result = result_;
    shown_.stage = FreeSpaceProgress::Records;
    // On a full disk a folder's index cannot grow beyond what its own record holds, so the
    // small files go into a tree of folders: each folder takes two folders and then files
    // until no more fit. Every folder and file takes a free record. The step ends when a
    // folder takes nothing (no free record is left, and the table cannot grow on a full disk)
    // or when a file cannot keep even a little data inside its record (a file system that
    // keeps no data there has no such records to reach). The sizes start where the volume's
    // records say (the largest when it does not say) and keep their place from file to file.
    if (!GoOn(true)) return;
    std::vector<std::int64_t> queue{-1};
    std::size_t sizeIndex = firstRecordSize_;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const std::int64_t parent = queue[next];
        bool took = false;
        for (int i = 0; i < 2; ++i) {
            const HANDLE above = RecordFolder(parent);
            if (above == INVALID_HANDLE_VALUE) return;
            UniqueFile made(OpenAt(above, RecordFolderName(folderParents_.size()), kFolderAccess, kShareAll, FILE_CREATE,
                                   FILE_DIRECTORY_FILE));
            if (!made) break;
            queue.push_back(static_cast<std::int64_t>(folderParents_.size()));
            folderParents_.push_back(parent);
            took = true;
        }
        for (;;) {
            if (!GoOn()) return;
            const HANDLE folder = RecordFolder(parent);
            if (folder == INVALID_HANDLE_VALUE) return;
            const std::wstring name = RecordFileName(fileParents_.size());
            // A write that does not fit inside the record fails on the full disk; the file
            // then goes and a new one tries a smaller size.
            bool made = false, written = false;
            for (; sizeIndex < std::size(kRecordSizes) && !written; ++sizeIndex) {
                UniqueFile file(OpenInFolder(folder, name, FILE_CREATE));
                if (!file) break;
                made = true;
                PassWriter writer(file.get());
                written = writer.Write(level_, 0, kRecordSizes[sizeIndex]) && writer.FlushToDisk();
                if (written) break;
                CloseAndDelete(file, RecordFolderPath(parent) + L"\\" + name);
            }
            if (endedNow_ || !made) break;
            if (!written) return;
            fileParents_.push_back(parent);
            recordSizes_.push_back(static_cast<std::int64_t>(kRecordSizes[sizeIndex]));
            took = true;
            result.recordStepRan = true;
            result.recordBytes = recordSizes_.back();
            shown_.recordFiles = ++result.recordFiles;
        }
        if (endedNow_) return;
        if (!took) {
            // The file system may keep the last free records for the table's own growth:
            // a few clusters handed back from the fill let it grow and give those out too.
            if (!GiveBack()) return;
            queue.push_back(parent);
        }
    }
}

bool FreeSpaceJob::GiveBack() {
    FreeSpaceResult& result = result_;
    if (givenBack_ + kGiveBackStep > kGiveBackLimit || result.recordFiles == filesAtGiveBack_) return false;
    for (std::size_t i = fillSizes_.size(); i-- > 0;) {
        if (fillSizes_[i] == 0) continue;
        const std::int64_t size = std::max<std::int64_t>(0, fillSizes_[i] - kGiveBackStep);
        UniqueFile file(OpenInFolder(fillDir_.get(), FillName(i), FILE_OPEN));
        if (endedNow_ || !file || !SeekTo(file.get(), size) || !::SetEndOfFile(file.get())) return false;
        givenBack_ += fillSizes_[i] - size;
        result.filled -= fillSizes_[i] - size;
        fillSizes_[i] = size;
        filesAtGiveBack_ = result.recordFiles;
        return true;
    }
    return false;
}

bool FreeSpaceJob::RewritePass(int pass) {
    FreeSpaceResult& result = result_;
    shown_.stage = FreeSpaceProgress::Rewriting;
    shown_.pass = pass;
    if (!GoOn(true)) {
        result.stopped = !endedNow_;
        return false;
    }
    const auto rewrite = [&](HANDLE folder, const std::wstring& name, std::int64_t size, bool counted) {
        current_.reset(folder == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : OpenInFolder(folder, name, FILE_OPEN));
        if (endedNow_) return false;
        if (!current_) {
            result.message = L"作業ファイルを開けません: " + fillFolder_ + L"\\" + name;
            return false;
        }
        PassWriter writer(current_.get());
        for (std::int64_t at = 0; at < size;) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(PassWriter::kMaxWrite, size - at));
            if (!writer.Write(level_, pass, n)) {
                result.message = L"書き込みが拒否されました (エラー " + std::to_wstring(::GetLastError()) + L")。";
                return false;
            }
            at += static_cast<std::int64_t>(n);
            if (counted) shown_.written += static_cast<std::int64_t>(n);
            if (!GoOn()) {
                if (endedNow_) return false;
                writer.FlushToDisk();
                result.stopped = true;
                return false;
            }
        }
        if (!writer.FlushToDisk()) {
            result.message = L"ディスクへの書き込みが拒否されました (エラー " + std::to_wstring(::GetLastError()) + L")。";
            return false;
        }
        current_.reset();
        return true;
    };
    for (std::size_t i = 0; i < fillSizes_.size(); ++i)
        if (!rewrite(fillDir_.get(), FillName(i), fillSizes_[i], true)) return false;
    for (std::size_t i = 0; i < recordSizes_.size(); ++i)
        if (!rewrite(RecordFolder(fileParents_[i]), RecordFileName(i), recordSizes_[i], false)) return false;
    return GoOn(true);
}

void FreeSpaceJob::CleanUp(bool service) {
    FreeSpaceResult& result = result_;
    shown_.stage = FreeSpaceProgress::CleaningUp;
    current_.reset();
    // The fill first: it holds the disk full. Then the small files, the folders below the
    // last first, and the run's own folders.
    const std::size_t fills = fillSizes_.size(), files = fileParents_.size(), folders = folderParents_.size();
    const std::size_t steps = fills + files + folders;
    shown_.toClean = static_cast<std::int64_t>(steps);
    const auto tick = [&](bool force) {
        shown_.cleaned = static_cast<std::int64_t>(cleanStep_);
        if (!service) return true;
        GoOn(force);
        return !endedNow_;  // a session end met there finished the cleanup
    };
    if (!tick(true)) return;
    while (cleanStep_ < steps) {
        const std::size_t step = cleanStep_++;
        bool gone = false;
        if (step < fills) {
            gone = DeleteAt(fillDir_.get(), fillFolder_, FillName(step), false);
        } else if (step < fills + files) {
            const std::size_t file = step - fills;
            const HANDLE folder = RecordFolder(fileParents_[file]);
            gone = folder != INVALID_HANDLE_VALUE &&
                   DeleteAt(folder, RecordFolderPath(fileParents_[file]), RecordFileName(file), false);
        } else {
            const std::size_t folder = folders - 1 - (step - fills - files);
            const HANDLE above = RecordFolder(folderParents_[folder]);
            gone = above != INVALID_HANDLE_VALUE &&
                   DeleteAt(above, RecordFolderPath(folderParents_[folder]), RecordFolderName(folder), true);
        }
        if (!gone && !EntryMissing(::GetLastError())) ++cleanLeft_;
        if (!tick(step + 1 == fills)) return;
    }
    if (chain_) chain_->Close();
    shown_.cleaned = static_cast<std::int64_t>(steps);
    CloseAndDelete(recordsDir_, fillFolder_ + L"\\" + kRecordsFolderName);
    CloseAndDelete(marker_, fillFolder_ + L"\\" + kFreeSpaceMarkerName);
    CloseAndDelete(fillDir_, fillFolder_);
    chain_.reset();
    const bool folderGone = !FsEntryExists(fillFolder_);
    result.cleanedUp = folderGone && cleanLeft_ == 0;
    if (!result.cleanedUp)
        result.leftover = fillFolder_ + (cleanLeft_ ? L" (ファイル " + std::to_wstring(cleanLeft_) + L" 個)" : std::wstring());
    if (recorded_ && folderGone) WriteRecord(recordFile_, {fillFolder_}, false);
    result.freeAfter = VolumeFree();
    volumeLock_.reset();
    fillSizes_.clear();
    folderParents_.clear();
    fileParents_.clear();
    recordSizes_.clear();
    cleanStep_ = 0;
    recorded_ = false;
}

void FreeSpaceJob::StopAndCleanUpNow() {
    if (!running_ || endedNow_) return;
    endedNow_ = true;
    result_.stopped = true;
    CleanUp(false);
    running_ = false;
}

// --- leftovers ---

std::vector<FreeSpaceLeftover> CleanUpFreeSpaceLeftovers(const std::wstring& recordFile) {
    std::vector<std::wstring> places = RecordedFolders(recordFile);
    const std::vector<std::wstring> recorded = places;
    wchar_t drives[256] = {};
    const DWORD length = ::GetLogicalDriveStringsW(255, drives);
    for (const wchar_t* drive = drives; length && length < 255 && *drive; drive += wcslen(drive) + 1)
        if (::GetDriveTypeW(drive) == DRIVE_FIXED) places.push_back(std::wstring(drive) + kFreeSpaceFolderName);

    std::vector<FreeSpaceLeftover> found;
    std::vector<std::wstring> gone;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const auto& place = places[i];
        if (std::any_of(places.begin(), places.begin() + static_cast<std::ptrdiff_t>(i),
                        [&](const std::wstring& earlier) { return SameText(earlier, place); }))
            continue;
        bool isOurs = false;
        FreeSpaceLeftover leftover = CleanUpFolder(place, isOurs);
        if (isOurs) found.push_back(leftover);
        const bool wasRecorded = std::any_of(recorded.begin(), recorded.end(),
                                             [&](const std::wstring& line) { return SameText(line, place); });
        if (wasRecorded && !leftover.inUse && !FsEntryExists(place)) gone.push_back(place);
    }
    if (!gone.empty()) WriteRecord(recordFile, gone, false);
    return found;
}

void MoveFreeSpaceRecord(const std::wstring& olderRecord, const std::wstring& recordFile) {
    if (olderRecord.empty() || recordFile.empty() || SameText(olderRecord, recordFile) || !FsEntryExists(olderRecord)) return;
    const std::vector<std::wstring> lines = RecordedFolders(olderRecord);
    if (!lines.empty() && WriteRecord(recordFile, lines, true)) FsDeleteFile(olderRecord);
}

std::wstring ConsoleFreeSpaceRecord() {
    const std::wstring folder = LocalDataFolder();
    return folder.empty() ? std::wstring() : WithSlash(folder) + L"FreeSpace.txt";
}

std::wstring FreeSpaceTimeText(std::uint64_t seconds) {
    if (seconds >= 3600) return std::to_wstring(seconds / 3600) + L" 時間 " + std::to_wstring(seconds % 3600 / 60) + L" 分";
    if (seconds >= 60) return std::to_wstring(seconds / 60) + L" 分 " + std::to_wstring(seconds % 60) + L" 秒";
    return std::to_wstring(seconds) + L" 秒";
}

std::wstring FreeSpaceBytesText(std::int64_t bytes) {
    wchar_t text[64];
    const double value = static_cast<double>(bytes);
    if (bytes >= (std::int64_t{1} << 30)) std::swprintf(text, 64, L"%.1f GB", value / (1 << 30));
    else if (bytes >= (1 << 20)) std::swprintf(text, 64, L"%.1f MB", value / (1 << 20));
    else if (bytes >= (1 << 10)) std::swprintf(text, 64, L"%.0f KB", value / (1 << 10));
    else std::swprintf(text, 64, L"%lld バイト", static_cast<long long>(bytes));
    return text;
}
