#include "engine/FreeSpace.h"

#include <shlobj.h>
#include <winioctl.h>

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
// Sizes tried for the data of a small file kept inside its file record, largest first.
constexpr std::size_t kRecordSizes[] = {720, 640, 512, 384, 256, 128, 64};

const wchar_t kMarkerText[] = L"TIDEMARROW32 SE: 空き領域の抹消の作業フォルダです。";

bool MakeFolder(const std::wstring& path) {
    NativeFileSystem native;
    return ::CreateDirectoryW(SystemPathOf(path).c_str(), nullptr) != FALSE;
}

bool RemoveFolder(const std::wstring& path) {
    NativeFileSystem native;
    return ::RemoveDirectoryW(SystemPathOf(path).c_str()) != FALSE;
}

std::wstring WithSlash(const std::wstring& folder) {
    return !folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\";
}

std::wstring Numbered(const wchar_t* prefix, int digits, std::size_t index) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%ls%0*zu.tmf", prefix, digits, index);
    return text;
}

// The folder of the small files, and its folders ("d" + 6 digits + ".tmf").
const wchar_t kRecordsFolderName[] = L"records";

// "fill" + 5 digits + ".tmf" or "rec" + 6 digits + ".tmf": the names of the files a run makes;
// with `folder`, "d" + 6 digits + ".tmf" or the records folder: those of its folders.
bool IsOwnName(const std::wstring& name, bool folder) {
    const auto digitsThen = [&](std::size_t from, std::size_t count) {
        if (name.size() != from + count + 4 || name.compare(from + count, 4, L".tmf") != 0) return false;
        for (std::size_t i = from; i < from + count; ++i)
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

// The volume's free bytes, or those this user may still fill (quotas and reserves taken off).
std::int64_t FreeBytesOf(const std::wstring& folder, bool forCaller = false) {
    ULARGE_INTEGER available{}, total{}, free{};
    if (!::GetDiskFreeSpaceExW(WithSlash(folder).c_str(), &available, &total, &free)) return -1;
    return static_cast<std::int64_t>(forCaller ? available.QuadPart : free.QuadPart);
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

// Adds or removes the folder's line; nothing to do without a record file.
bool WriteRecord(const std::wstring& recordFile, const std::wstring& folder, bool add) {
    if (recordFile.empty()) return true;
    std::vector<std::wstring> lines = RecordedFolders(recordFile);
    const auto same = [&](const std::wstring& line) { return SameText(line, folder); };
    lines.erase(std::remove_if(lines.begin(), lines.end(), same), lines.end());
    if (add) lines.push_back(folder);
    if (lines.empty()) return FsDeleteFile(recordFile) || !FsEntryExists(recordFile);
    const std::wstring parent = ExtractFilePath(recordFile);
    if (!parent.empty() && !DirectoryExists(parent)) MakeFolder(parent);
    return ReplaceTextFile(recordFile, lines);
}

// Whether the open folder is the entry `path` names in its parent, not a place a link leads to.
bool FolderIsItself(HANDLE folder, const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    UniqueFile parent(FsCreateFile(path.substr(0, slash + 1), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS));
    if (!parent) return false;
    bool available = true;
    const std::wstring mine = FinalPathOf(folder, &available);
    if (!available) return true;  // no links to tell apart on such a system
    const std::wstring expected = FinalPathOf(parent.get());
    if (mine.empty() || expected.empty()) return false;
    return SameText(mine, WithSlash(expected) + path.substr(slash + 1));
}

// Deletes the files of ours in `folder` and, depth first, the folders of ours in it (never one
// that is a link or junction, or leads elsewhere), each when it is empty.
void RemoveOwnEntries(const std::wstring& folder, int& files) {
    WIN32_FIND_DATAW entry{};
    std::vector<std::wstring> ownFiles, ownFolders;
    if (UniqueFind find(FsFindFirstFile(folder + L"\\*", entry)); find) {
        do {
            const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!IsOwnName(entry.cFileName, isFolder)) continue;
            if (isFolder && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
            (isFolder ? ownFolders : ownFiles).push_back(folder + L"\\" + entry.cFileName);
        } while (::FindNextFileW(find.get(), &entry));
    }
    for (const auto& path : ownFiles)
        if (FsDeleteFile(path)) ++files;
    for (const auto& path : ownFolders) {
        UniqueFile inner(FsCreateFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
        if (!inner || !FolderIsItself(inner.get(), path)) continue;
        inner.reset();
        RemoveOwnEntries(path, files);
        RemoveFolder(path);
    }
}

// Removes a fill folder left behind: only our own files in it, and the folder when empty.
FreeSpaceLeftover CleanUpFolder(const std::wstring& fillFolder, bool& found) {
    FreeSpaceLeftover leftover{fillFolder};
    found = false;
    const DWORD attributes = FsGetAttributes(fillFolder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return leftover;
    const std::wstring marker = fillFolder + L"\\" + kFreeSpaceMarkerName;
    const DWORD markerAttributes = FsGetAttributes(marker);
    if (markerAttributes == INVALID_FILE_ATTRIBUTES || (markerAttributes & FILE_ATTRIBUTE_DIRECTORY)) return leftover;
    UniqueFile folder(FsCreateFile(fillFolder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (!folder || !FolderIsItself(folder.get(), fillFolder)) return leftover;
    found = true;
    // A run that works holds the marker open; its folder is left alone.
    UniqueFile held(FsCreateFile(marker, GENERIC_READ, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!held) {
        leftover.inUse = ::GetLastError() == ERROR_SHARING_VIOLATION;
        if (leftover.inUse) return leftover;
    }
    RemoveOwnEntries(fillFolder, leftover.files);
    held.reset();
    // A folder still open when removed goes only when closed.
    folder.reset();
    FsDeleteFile(marker);
    RemoveFolder(fillFolder);
    leftover.removed = !FsEntryExists(fillFolder);
    return leftover;
}

}  // namespace

// --- the run ---

FreeSpaceJob::FreeSpaceJob(std::wstring folder, EraseLevel level, std::wstring recordFile)
    : folder_(std::move(folder)), level_(level), recordFile_(std::move(recordFile)), passes_(PassWriter::Passes(level)) {
    while (folder_.size() > 3 && folder_.back() == L'\\') folder_.pop_back();
    fillFolder_ = WithSlash(folder_) + kFreeSpaceFolderName;
}

FreeSpaceJob::~FreeSpaceJob() {
    if (running_) StopAndCleanUpNow();
}

std::int64_t FreeSpaceJob::VolumeFree() const { return FreeBytesOf(folder_); }

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

FreeSpaceResult FreeSpaceJob::Run() {
    FreeSpaceResult result;
    if (running_) return result;
    running_ = true;
    endedNow_ = false;
    result_ = &result;
    shown_ = FreeSpaceProgress{};
    shown_.passes = passes_;
    RandomizeFromClock();

    bool filled = Prepare(result) && FillPass(result);
    if (filled && !endedNow_) {
        // The disk is full now: what this user may fill must be gone but for a few clusters.
        const std::int64_t left = FreeBytesOf(folder_, true);
        if (left > kFullSlack) {
            result.message = L"空き領域の一部 (" + FreeSpaceBytesText(left) +
                             L") に書き込めませんでした。クォータなどの制限があるドライブです。";
            filled = false;
        }
    }
    if (filled && !endedNow_) FillRecords(result);
    for (int pass = 1; filled && !endedNow_ && pass < passes_; ++pass) filled = RewritePass(pass, result);
    if (endedNow_) return result;  // cleaned up already; `result` is the caller's copy now
    result.overwritten = filled && !result.stopped;
    CleanUp(result);
    running_ = false;
    result_ = nullptr;
    return result;
}

bool FreeSpaceJob::Prepare(FreeSpaceResult& result) {
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
    UniqueFile folder(FsCreateFile(folder_, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !::GetFileInformationByHandle(folder.get(), &info)) {
        result.message = L"フォルダを開けません: " + folder_;
        return false;
    }
    folder.reset();
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
    if (!WriteRecord(recordFile_, fillFolder_, true)) {
        result.message = L"作業の記録を書き込めません: " + recordFile_;
        return false;
    }
    recorded_ = true;
    if (!MakeFolder(fillFolder_)) {
        const DWORD error = ::GetLastError();
        result.message = DiskFull(error) ? L"ドライブに空きがないため作業フォルダを作れません: " + folder_
                         : error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT
                             ? L"このフォルダには書き込めません (読み取り専用か権限がありません): " + folder_
                             : L"作業フォルダを作れません (エラー " + std::to_wstring(error) + L"): " + folder_;
        return false;
    }
    folderMade_ = true;
    FsSetAttributes(fillFolder_, FILE_ATTRIBUTE_HIDDEN);
    marker_.reset(FsCreateFile(fillFolder_ + L"\\" + kFreeSpaceMarkerName, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL));
    const std::string text = JoinLinesCrLf({kMarkerText});
    DWORD written = 0;
    if (!marker_ || !::WriteFile(marker_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        const DWORD error = ::GetLastError();
        result.message = DiskFull(error) ? L"ドライブに空きがないため作業フォルダに書き込めません: " + folder_
                                         : L"作業フォルダに書き込めません (エラー " + std::to_wstring(error) + L"): " + folder_;
        return false;
    }
    // The small files' folder is made while there is room for it and its index.
    recordsFolder_ = fillFolder_ + L"\\" + kRecordsFolderName;
    if (!MakeFolder(recordsFolder_)) {
        result.message = L"作業フォルダに書き込めません (エラー " + std::to_wstring(::GetLastError()) + L"): " + folder_;
        return false;
    }
    return GoOn(true);
}

bool FreeSpaceJob::FillPass(FreeSpaceResult& result) {
    std::size_t chunk = PassWriter::kMaxWrite;
    std::int64_t nextCheck = kShrinkCheckBytes;
    bool full = false;
    while (!full) {
        const std::wstring name = fillFolder_ + L"\\" + Numbered(L"fill", 5, fillFiles_.size());
        current_.reset(FsCreateFile(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
        if (!current_) {
            const DWORD error = ::GetLastError();
            if (!fillFiles_.empty() || DiskFull(error)) break;  // nothing more fits
            result.message = L"作業フォルダにファイルを作れません (エラー " + std::to_wstring(error) + L")。";
            return false;
        }
        fillFiles_.push_back(name);
        fillSizes_.push_back(0);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(current_.get(), &info)) info.dwFileAttributes = FILE_ATTRIBUTE_COMPRESSED;
        if (info.dwFileAttributes & FILE_ATTRIBUTE_COMPRESSED) {
            // A file made in a compressed folder is compressed too; it must take real clusters.
            USHORT none = COMPRESSION_FORMAT_NONE;
            DWORD returned = 0;
            ::DeviceIoControl(current_.get(), FSCTL_SET_COMPRESSION, &none, sizeof none, nullptr, 0, &returned, nullptr);
            if (!::GetFileInformationByHandle(current_.get(), &info)) info.dwFileAttributes = FILE_ATTRIBUTE_COMPRESSED;
        }
        if (info.dwFileAttributes & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE)) {
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
                fillSizes_.back() = size;
                if (!endedNow_) writer.FlushToDisk();
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

void FreeSpaceJob::FillRecords(FreeSpaceResult& result) {
    shown_.stage = FreeSpaceProgress::Records;
    // On a full disk a folder's index cannot grow beyond what its own record holds, so the
    // small files go into a tree of folders: each folder takes two folders and then files
    // until no more fit. Every folder and file takes a free record. The step ends when a
    // folder takes nothing (no free record is left, and the table cannot grow on a full disk)
    // or when a file cannot keep even a little data inside its record (a file system that
    // keeps no data there has no such records to reach).
    std::vector<std::wstring> queue{recordsFolder_};
    std::size_t sizeIndex = 0;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const std::wstring parent = queue[next];
        bool took = false;
        for (int i = 0; i < 2; ++i) {
            const std::wstring folder = parent + L"\\" + Numbered(L"d", 6, recordFolders_.size());
            if (!MakeFolder(folder)) break;
            recordFolders_.push_back(folder);
            queue.push_back(folder);
            took = true;
        }
        for (;;) {
            if (!GoOn()) return;
            const std::wstring name = parent + L"\\" + Numbered(L"rec", 6, recordFiles_.size());
            // A write that does not fit inside the record fails on the full disk; the file
            // then goes and a new one tries a smaller size.
            bool made = false, written = false;
            for (; sizeIndex < std::size(kRecordSizes) && !written; ++sizeIndex) {
                UniqueFile file(FsCreateFile(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
                if (!file) break;
                made = true;
                PassWriter writer(file.get());
                written = writer.Write(level_, 0, kRecordSizes[sizeIndex]) && writer.FlushToDisk();
                if (written) break;
                file.reset();
                FsDeleteFile(name);
            }
            if (!made) break;
            if (!written) return;
            recordFiles_.push_back(name);
            recordSizes_.push_back(static_cast<std::int64_t>(kRecordSizes[sizeIndex]));
            took = true;
            result.recordStepRan = true;
            shown_.recordFiles = ++result.recordFiles;
        }
        if (!took) {
            // The file system may keep the last free records for the table's own growth:
            // a few clusters handed back from the fill let it grow and give those out too.
            if (!GiveBack(result)) return;
            queue.push_back(parent);
        }
    }
}

bool FreeSpaceJob::GiveBack(FreeSpaceResult& result) {
    if (givenBack_ + kGiveBackStep > kGiveBackLimit || result.recordFiles == filesAtGiveBack_) return false;
    for (std::size_t i = fillSizes_.size(); i-- > 0;) {
        if (fillSizes_[i] == 0) continue;
        const std::int64_t size = std::max<std::int64_t>(0, fillSizes_[i] - kGiveBackStep);
        UniqueFile file(FsCreateFile(fillFiles_[i], GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
        if (!file || !SeekTo(file.get(), size) || !::SetEndOfFile(file.get())) return false;
        givenBack_ += fillSizes_[i] - size;
        result.filled -= fillSizes_[i] - size;
        fillSizes_[i] = size;
        filesAtGiveBack_ = result.recordFiles;
        return true;
    }
    return false;
}

bool FreeSpaceJob::RewritePass(int pass, FreeSpaceResult& result) {
    shown_.stage = FreeSpaceProgress::Rewriting;
    shown_.pass = pass;
    const auto rewrite = [&](const std::wstring& path, std::int64_t size, bool counted) {
        current_.reset(FsCreateFile(path, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
        if (!current_) {
            result.message = L"作業ファイルを開けません: " + path;
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
                if (!endedNow_) writer.FlushToDisk();
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
    for (std::size_t i = 0; i < fillFiles_.size(); ++i)
        if (!rewrite(fillFiles_[i], fillSizes_[i], true)) return false;
    for (std::size_t i = 0; i < recordSizes_.size(); ++i)
        if (!rewrite(recordFiles_[i], recordSizes_[i], false)) return false;
    return GoOn(true);
}

void FreeSpaceJob::CleanUp(FreeSpaceResult& result) {
    shown_.stage = FreeSpaceProgress::CleaningUp;
    current_.reset();
    int left = 0;
    for (const auto* files : {&recordFiles_, &fillFiles_})
        for (const auto& path : *files)
            if (!FsDeleteFile(path) && FsEntryExists(path)) ++left;
    for (auto folder = recordFolders_.rbegin(); folder != recordFolders_.rend(); ++folder) RemoveFolder(*folder);
    if (!recordsFolder_.empty()) RemoveFolder(recordsFolder_);
    marker_.reset();
    if (folderMade_) {
        FsDeleteFile(fillFolder_ + L"\\" + kFreeSpaceMarkerName);
        RemoveFolder(fillFolder_);
    }
    const bool folderGone = !FsEntryExists(fillFolder_);
    result.cleanedUp = folderGone && left == 0;
    if (!result.cleanedUp)
        result.leftover = fillFolder_ + (left ? L" (ファイル " + std::to_wstring(left) + L" 個)" : std::wstring());
    if (recorded_ && folderGone) WriteRecord(recordFile_, fillFolder_, false);
    result.freeAfter = VolumeFree();
    volumeLock_.reset();
    fillFiles_.clear();
    fillSizes_.clear();
    recordFiles_.clear();
    recordSizes_.clear();
    recordFolders_.clear();
    recordsFolder_.clear();
    folderMade_ = recorded_ = false;
}

void FreeSpaceJob::StopAndCleanUpNow() {
    if (!running_ || endedNow_) return;
    endedNow_ = true;
    FreeSpaceResult local;
    FreeSpaceResult& result = result_ ? *result_ : local;
    result.stopped = true;
    CleanUp(result);
    running_ = false;
    result_ = nullptr;
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
        if (wasRecorded && !leftover.inUse && !FsEntryExists(place)) WriteRecord(recordFile, place, false);
    }
    return found;
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
