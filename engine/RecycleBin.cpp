// The current user's Recycle Bin: its folder per fixed drive (found by the user's SID, never by
// listing the bins of others), its records, and the destruction of its items.

#include "engine/RecycleBin.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/TextCompare.h"
#include "engine/EraseFunc.h"
#include "engine/FileHolders.h"
#include "engine/FreeSpace.h"

namespace {

RecycleBinSeams& Seams() {
    static RecycleBinSeams seams;
    return seams;
}

std::vector<std::wstring> SystemFixedDrives() {
    std::vector<std::wstring> roots;
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        const std::wstring root = std::wstring(1, static_cast<wchar_t>(L'A' + i)) + L":\\";
        if (::GetDriveTypeW(root.c_str()) == DRIVE_FIXED) roots.push_back(root);
    }
    return roots;
}

std::uint64_t ReadUint64(const std::string& bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::wstring ReadName(const std::string& bytes, std::size_t at, std::size_t maxChars) {
    std::wstring name;
    for (std::size_t i = 0; i < maxChars && at + 2 * i + 1 < bytes.size(); ++i) {
        const wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(bytes[at + 2 * i]) |
                                               (static_cast<unsigned char>(bytes[at + 2 * i + 1]) << 8));
        if (c == L'\0') break;
        name += c;
    }
    return name;
}

// Reads at most `limit` bytes of a file, not through a link; nothing when it cannot be opened.
std::optional<std::string> ReadSmallFile(const std::wstring& path, DWORD limit) {
    UniqueFile file(FsCreateFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN));
    if (!file) return std::nullopt;
    std::string bytes(limit, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), limit, &read, nullptr)) return std::nullopt;
    bytes.resize(read);
    return bytes;
}

std::wstring Upper(std::wstring text) {
    if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

UniqueFile OpenEntry(const std::wstring& path, DWORD access, DWORD share) {
    return UniqueFile(FsCreateFile(path, access, share, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
}

// Whether an owner may have made a user's Recycle Bin folder: the user, SYSTEM, Administrators.
bool TrustedOwner(PSID owner, PSID user) {
    if (!owner || !::IsValidSid(owner)) return false;
    return (user && ::EqualSid(owner, user)) || ::IsWellKnownSid(owner, WinLocalSystemSid) ||
           ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
}

struct UserSid {
    std::vector<BYTE> token;
    PSID sid = nullptr;
};

UserSid QueryUserSid() {
    UserSid user;
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return user;
    UniqueKernelHandle token(raw);
    DWORD needed = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
    if (needed == 0) return user;
    user.token.resize(needed);
    if (!::GetTokenInformation(token.get(), TokenUser, user.token.data(), needed, &needed)) return user;
    user.sid = reinterpret_cast<TOKEN_USER*>(user.token.data())->User.Sid;
    return user;
}

// What an entry is when opened without following it.
enum class EntryKind { Unopenable, File, Folder, FileLink, FolderLink };

EntryKind InspectEntry(const std::wstring& path, const std::wstring& parentFinal) {
    UniqueFile entry = OpenEntry(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!entry) return EntryKind::Unopenable;
    DWORD attributes = 0;
    LONGLONG size = 0;
    if (!FsDescribeOpenFile(entry.get(), attributes, size)) return EntryKind::Unopenable;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return folder ? EntryKind::FolderLink : EntryKind::FileLink;
    // A Unix link shows as a plain entry under Wine; it opens as what it leads to, elsewhere.
    const std::wstring final = FinalPathOf(entry.get());
    const std::size_t slash = path.find_last_of(L'\\');
    if (!final.empty() && !parentFinal.empty() &&
        !SameTextIgnoreCase(final, parentFinal + L"\\" + path.substr(slash + 1)))
        return folder ? EntryKind::FolderLink : EntryKind::FileLink;
    return folder ? EntryKind::Folder : EntryKind::File;
}

std::wstring FinalPathOfPath(const std::wstring& path) {
    UniqueFile entry = OpenEntry(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    return entry ? FinalPathOf(entry.get()) : std::wstring();
}

// Removes a link itself, through a handle that is the link (opened without following it, its
// final path its own); a system that opened what it leads to instead (Wine shows a Unix link as
// what it leads to) gets nothing deleted.
bool RemoveLink(const std::wstring& path, const std::wstring& parentFinal) {
    UniqueFile link = OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!link) return false;
    const std::wstring final = FinalPathOf(link.get());
    if (final.empty() || parentFinal.empty() ||
        !SameTextIgnoreCase(final, parentFinal + L"\\" + path.substr(path.find_last_of(L'\\') + 1)))
        return false;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(link.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool RemoveFolder(const std::wstring& path) {
    const std::wstring system = SystemPathOf(path);
    NativeFileSystem native;
    return ::RemoveDirectoryW(system.c_str()) != FALSE;
}

bool EraseEntry(const std::wstring& path, const std::wstring& parentFinal, EraseLevel level, HWND bar, HWND label,
                ReadBack* readBack, Leftover* leftover);

// Destroys what a folder holds, depth first, never following a link; true when it is empty.
bool EraseFolderContents(const std::wstring& folder, EraseLevel level, HWND bar, HWND label, ReadBack* readBack,
                         Leftover* leftover) {
    std::vector<FolderEntry> entries;
    CollectFolderEntries(folder, std::wstring(), [&](const FolderEntry& entry) { entries.push_back(entry); }, false);
    const std::wstring final = FinalPathOfPath(folder);
    bool all = true;
    for (const FolderEntry& entry : entries) {
        if (!entry.addressable) {
            all = false;
            continue;
        }
        if (entry.link) {
            all = RemoveLink(entry.path, final) && all;
            continue;
        }
        all = EraseEntry(entry.path, final, level, bar, label, readBack, leftover) && all;
    }
    return all;
}

bool EraseEntry(const std::wstring& path, const std::wstring& parentFinal, EraseLevel level, HWND bar, HWND label,
                ReadBack* readBack, Leftover* leftover) {
    switch (InspectEntry(path, parentFinal)) {
        case EntryKind::Unopenable:
            return false;
        case EntryKind::FileLink:
        case EntryKind::FolderLink:
            return RemoveLink(path, parentFinal);
        case EntryKind::Folder:
            return EraseFolderContents(path, level, bar, label, readBack, leftover) && RemoveFolder(path);
        case EntryKind::File: {
            // With a read-back, the item's result is its first file that was not read back as written.
            const EraseOutcome outcome = EraseFile(path, level, bar, label, readBack != nullptr);
            if (readBack && (*readBack == ReadBack::NotChecked || *readBack == ReadBack::Matched))
                *readBack = outcome.readBack;
            if (leftover && outcome.leftoverClustersSeen > 0) *leftover = Leftover::Seen;
            else if (leftover && outcome.LeftSomething() && *leftover == Leftover::None) *leftover = Leftover::Possible;
            return outcome.kind == EraseOutcome::Kind::Erased;
        }
    }
    return false;
}

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

}  // namespace

// The "$I" layout is not documented by Microsoft; it is as the forensic literature describes
// it. Version 1 (Windows Vista to 8.1): the 8-byte header 1, the original size (8 bytes), the
// deletion time as a FILETIME (8 bytes), then the original path in 260 UTF-16 characters.
// Version 2 (Windows 10 and later): the header 2, size and time as above, the path's length in
// characters including its terminating null (4 bytes), then the path. All little-endian.
std::optional<RecycleRecord> ParseRecycleRecord(const std::string& bytes) {
    if (bytes.size() < 24) return std::nullopt;
    RecycleRecord record;
    const std::uint64_t header = ReadUint64(bytes, 0);
    record.size = ReadUint64(bytes, 8);
    const std::uint64_t time = ReadUint64(bytes, 16);
    record.deleted.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    record.deleted.dwHighDateTime = static_cast<DWORD>(time >> 32);
    if (header == 1) {
        if (bytes.size() < 24 + 2 * 260) return std::nullopt;
        record.version = 1;
        record.originalPath = ReadName(bytes, 24, 260);
    } else if (header == 2) {
        if (bytes.size() < 28) return std::nullopt;
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(bytes[24 + i]);
        if (length == 0 || bytes.size() < 28 + 2 * static_cast<std::size_t>(length)) return std::nullopt;
        record.version = 2;
        record.originalPath = ReadName(bytes, 28, length);
        if (record.originalPath.size() != length - 1) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (record.originalPath.empty()) return std::nullopt;
    return record;
}

std::wstring RecycleItem::LogName() const {
    if (!originalPath.empty()) return originalPath;
    const std::wstring& entry = contentPath.empty() ? recordPath : contentPath;
    return entry.substr(entry.find_last_of(L'\\') + 1) + L"(元の名前不明)";
}

RecycleBinSeams SetRecycleBinSeams(RecycleBinSeams seams) {
    std::swap(Seams(), seams);
    return seams;
}

std::wstring CurrentUserSid() {
    const UserSid user = QueryUserSid();
    if (!user.sid) return {};
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(user.sid, &text)) return {};
    std::wstring sid = text;
    ::LocalFree(text);
    return sid;
}

std::vector<RecycleBinDrive> FindRecycleBins(const std::vector<std::wstring>& roots) {
    std::vector<RecycleBinDrive> drives;
    const UserSid user = QueryUserSid();
    const std::wstring sid = CurrentUserSid();
    if (sid.empty()) return drives;
    for (std::wstring root : roots) {
        if (root.empty()) continue;
        if (root.back() != L'\\') root += L'\\';
        RecycleBinDrive drive;
        drive.root = root;
        drive.folder = root + L"$Recycle.Bin\\" + sid;
        const DWORD binAttributes = FsGetAttributes(root + L"$Recycle.Bin");
        const DWORD attributes = FsGetAttributes(drive.folder);
        if (binAttributes == INVALID_FILE_ATTRIBUTES || attributes == INVALID_FILE_ATTRIBUTES) continue;
        // Held without delete sharing, the folder cannot be renamed or replaced while it is read.
        UniqueFile folder = OpenEntry(drive.folder, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
        PSID owner = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        const bool owned = folder && ::GetSecurityInfo(folder.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                                       nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS;
        const bool trusted = owned && TrustedOwner(owner, user.sid);
        if (descriptor) ::LocalFree(descriptor);
        const std::wstring rootFinal = FinalPathOfPath(root);
        const std::wstring final = folder ? FinalPathOf(folder.get()) : std::wstring();
        std::wstring expected = rootFinal;
        if (!expected.empty() && expected.back() != L'\\') expected += L'\\';
        expected += L"$Recycle.Bin\\" + sid;
        const bool linked = (binAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                            !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                            (!final.empty() && !rootFinal.empty() && !SameTextIgnoreCase(final, expected));
        if (!folder || !trusted || linked) {
            drive.foreign = true;
            drives.push_back(std::move(drive));
            continue;
        }
        // "$R…" and "$I…" entries paired by what follows the two letters.
        std::map<std::wstring, RecycleItem> byEnding;
        CollectFolderEntries(
            drive.folder, std::wstring(),
            [&](const FolderEntry& entry) {
                if (entry.name.size() < 3 || entry.name[0] != L'$' || !entry.addressable) return;
                const wchar_t kind = Upper(entry.name.substr(1, 1))[0];
                RecycleItem& item = byEnding[Upper(entry.name.substr(2))];
                if (kind == L'R') {
                    item.contentPath = entry.path;
                    item.folder = entry.folder && !entry.link;
                } else if (kind == L'I') {
                    item.recordPath = entry.path;
                }
            },
            false);
        for (auto& [ending, item] : byEnding) {
            if (item.contentPath.empty() && item.recordPath.empty()) continue;
            item.binFinal = final;
            if (!item.recordPath.empty() && !item.contentPath.empty()) {
                if (const auto bytes = ReadSmallFile(item.recordPath, 4096)) {
                    if (const auto record = ParseRecycleRecord(*bytes)) {
                        item.originalPath = record->originalPath;
                        item.size = record->size;
                    }
                }
            }
            if (item.originalPath.empty() && !item.contentPath.empty() && !item.folder) {
                WIN32_FILE_ATTRIBUTE_DATA data{};
                const std::wstring system = SystemPathOf(item.contentPath);
                NativeFileSystem native;
                if (::GetFileAttributesExW(system.c_str(), GetFileExInfoStandard, &data))
                    item.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
            drive.items.push_back(std::move(item));
        }
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::vector<RecycleBinDrive> FindRecycleBins() {
    return FindRecycleBins(Seams().fixedDrives ? Seams().fixedDrives() : SystemFixedDrives());
}

bool EraseRecycleItem(const RecycleItem& item, EraseLevel level, HWND progressBar, HWND percentLabel,
                      ReadBack* readBack, Leftover* leftover) {
    const std::wstring& any = item.contentPath.empty() ? item.recordPath : item.contentPath;
    const std::wstring parentFinal = FinalPathOfPath(ParentOf(any));
    // The folder must still be the one checked (not replaced by a link since).
    if (parentFinal.empty() || (!item.binFinal.empty() && !SameTextIgnoreCase(parentFinal, item.binFinal))) return false;
    if (!item.contentPath.empty() &&
        !EraseEntry(item.contentPath, parentFinal, level, progressBar, percentLabel, readBack, leftover))
        return false;
    return item.recordPath.empty() ||
           EraseEntry(item.recordPath, parentFinal, level, progressBar, percentLabel, readBack, leftover);
}

std::wstring RecycleItemLogEnding(const RecycleItem& item, bool erased, ReadBack readBack, Leftover leftover) {
    if (erased) {
        EraseOutcome outcome;
        outcome.kind = EraseOutcome::Kind::Erased;
        outcome.leftoverClustersSeen = leftover == Leftover::Seen ? 1 : 0;
        outcome.leftoverPossible = leftover == Leftover::Possible;
        return EraseLogEnding(outcome);
    }
    if (readBack == ReadBack::Differed)
        return L"は読み戻した内容が書き込んだ内容と一致しなかったため、削除しませんでした。";
    if (readBack == ReadBack::Unreadable) return L"は書き込んだ内容を読み戻せなかったため、削除しませんでした。";
    // A file another program holds names the programs holding it.
    return NotErasedEnding(item.folder ? std::wstring() : item.contentPath);
}

void RefreshRecycleBinIcon() {
    if (Seams().refreshShell) {
        Seams().refreshShell();
        return;
    }
    // Not declared by every SDK: looked up in shell32.
    if (HMODULE shell = ::GetModuleHandleW(L"shell32.dll")) {
        using UpdateIcon = void(WINAPI*)();
        if (FARPROC update = ::GetProcAddress(shell, "SHUpdateRecycleBinIcon"))
            reinterpret_cast<UpdateIcon>(reinterpret_cast<void*>(update))();
    }
    ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_IDLIST | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
}

std::wstring ForeignRecycleBinMessage(const std::wstring& root) {
    return L"ドライブ " + root + L" のごみ箱は他のユーザーが作った可能性があるため抹消しませんでした。";
}

std::size_t RecycleItemCount(const std::vector<RecycleBinDrive>& drives) {
    std::size_t count = 0;
    for (const auto& drive : drives) count += drive.items.size();
    return count;
}

std::uint64_t RecycleItemBytes(const std::vector<RecycleBinDrive>& drives) {
    std::uint64_t bytes = 0;
    for (const auto& drive : drives)
        for (const auto& item : drive.items) bytes += item.size;
    return bytes;
}

std::wstring RecycleBinSummary(const std::vector<RecycleBinDrive>& drives) {
    return std::to_wstring(RecycleItemCount(drives)) + L" 個 (" +
           FreeSpaceBytesText(static_cast<std::int64_t>(RecycleItemBytes(drives))) + L")";
}

std::wstring RecycleBinQuestion(const std::vector<RecycleBinDrive>& drives) {
    const std::size_t count = RecycleItemCount(drives);
    std::wstring text = L"ごみ箱の " + std::to_wstring(count) + L" 個の項目 (" +
                        FreeSpaceBytesText(static_cast<std::int64_t>(RecycleItemBytes(drives))) +
                        L") を抹消します。抹消した項目は元に戻せません。\r\n\r\n";
    std::size_t shown = 0;
    for (const auto& drive : drives)
        for (const auto& item : drive.items)
            if (shown < 5) {
                text += L"・" + item.LogName() + L"\r\n";
                ++shown;
            }
    if (count > shown) text += L"ほか " + std::to_wstring(count - shown) + L" 個\r\n";
    return text + L"\r\nよろしいですか？";
}
