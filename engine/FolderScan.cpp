#include "common/Assertions.h"
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

void CollectFolder(const std::wstring& folder, const std::wstring& mask,
                   const std::function<void(const std::wstring&)>& append, bool recurse) {
    if (!DirectoryExists(folder)) return;
    const std::wstring pattern = folder + (mask.empty() ? std::wstring(L"\\*.*") : mask);

    WIN32_FIND_DATAW entry{};
    UniqueFind search(::FindFirstFileW(pattern.c_str(), &entry));
    if (!search) return;
    try {
        do {
            if (IsDotEntry(entry.cFileName)) continue;
            const std::wstring path = folder + L"\\" + entry.cFileName;
            const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // A folder that is a junction or symbolic link is never descended into: it may lead
            // back up the tree or out of the chosen folder.
            const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder && recurse && !isLink)
                CollectFolder(path, std::wstring(), append, true);
            else
                append(path);
        } while (::FindNextFileW(search.get(), &entry));
        if (::GetLastError() != ERROR_NO_MORE_FILES) throw EnumerationError{};
    } catch (...) {
        search.reset();
        RaiseAssertion(AssertSite::EraseFuncDirSearch);
    }
}

void CollectFolder(const std::wstring& folder, const std::wstring& mask, std::vector<std::wstring>& list,
                   bool recurse) {
    CollectFolder(folder, mask, [&list](const std::wstring& path) { list.push_back(path); }, recurse);
}
