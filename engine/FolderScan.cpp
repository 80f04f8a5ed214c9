#include <cstdint>

#include "common/Assertions.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "engine/EraseFunc.h"

namespace {

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Signals an enumeration error that is not the normal end of the entries.
struct EnumerationError {};

}  // namespace

void CollectFolderEntries(const std::wstring& folder, const std::wstring& mask,
                          const std::function<void(const FolderEntry&)>& take, bool recurse) {
    if (!DirectoryExists(folder)) return;
    const std::wstring pattern = folder + (mask.empty() ? std::wstring(L"\\*.*") : mask);

    WIN32_FIND_DATAW found{};
    UniqueFind search(FsFindFirstFile(pattern, found));
    if (!search) return;
    try {
        do {
            if (IsDotEntry(found.cFileName)) continue;
            FolderEntry entry;
            entry.name = found.cFileName;
            entry.path = folder + L"\\" + entry.name;
            entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.attributes = found.dwFileAttributes;
            const bool leads = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                               (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
            if (!leads)
                entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
            // A folder that is a junction or symbolic link is never descended into: it may lead
            // back up the tree or out of the chosen folder.
            entry.link = entry.folder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            // A name that cannot follow "folder\" would name some other entry, or none.
            entry.addressable = IsAddressableName(entry.name);
            if (entry.folder && recurse && !entry.link && entry.addressable)
                CollectFolderEntries(entry.path, std::wstring(), take, true);
            else
                take(entry);
        } while (::FindNextFileW(search.get(), &found));
        if (::GetLastError() != ERROR_NO_MORE_FILES) throw EnumerationError{};
    } catch (...) {
        search.reset();
        RaiseAssertion(AssertSite::EraseFuncDirSearch);
    }
}

void CollectFolder(const std::wstring& folder, const std::wstring& mask,
                   const std::function<void(const std::wstring&)>& append, bool recurse) {
    CollectFolderEntries(
        folder, mask,
        [&append](const FolderEntry& entry) {
            if (entry.addressable) append(entry.path);
        },
        recurse);
}

void CollectFolder(const std::wstring& folder, const std::wstring& mask, std::vector<std::wstring>& list,
                   bool recurse) {
    CollectFolder(folder, mask, [&list](const std::wstring& path) { list.push_back(path); }, recurse);
}
