#include "profiles/TidemarrowUsers.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "common/Handles.h"
#include "common/TextCompare.h"

namespace {

// The list files of the data folder, in the order they are deleted.
constexpr const wchar_t* kDataFiles[] = {L"customerase.txt", L"remove.txt", L"FileList.txt", L"ResList.txt"};

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void DeleteIfPresent(const std::wstring& path) {
    // An ordinary deletion: a read-only or locked file stays, and so does its folder.
    if (FileExists(path)) ::DeleteFileW(path.c_str());
}

}  // namespace

bool IsProfileName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    if (name.back() == L'.' || name.back() == L' ') return false;
    for (const wchar_t c : name) {
        if (c < 0x20) return false;
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    }
    return true;
}

TTidemarrowUsers::TTidemarrowUsers(std::wstring programFolder) : programFolder_(std::move(programFolder)) {
    if (!programFolder_.empty() && programFolder_.back() != L'\\') programFolder_ += L'\\';
    Reload();
}

void TTidemarrowUsers::Reload() {
    names_.clear();
    const std::wstring root = RootPath();
    if (!DirectoryExists(root)) ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring defaultUser = ProfilePath(kDefaultUser);
    if (!DirectoryExists(defaultUser)) ::CreateDirectoryW(defaultUser.c_str(), nullptr);

    // Every folder is a profile, hidden and system ones too; plain files are not.
    WIN32_FIND_DATAW entry{};
    UniqueFind search(::FindFirstFileW((root + L"\\*.*").c_str(), &entry));
    if (search) {
        do {
            if (IsDotEntry(entry.cFileName)) continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names_.emplace_back(entry.cFileName);
        } while (::FindNextFileW(search.get(), &entry));
    }
    SortNames();
}

int TTidemarrowUsers::Count() const { return static_cast<int>(names_.size()); }

std::wstring TTidemarrowUsers::NameAt(int index, bool asPath) const {
    if (index < 0 || index >= Count()) return {};
    const std::wstring& name = names_[static_cast<std::size_t>(index)];
    return asPath ? ProfilePath(name) : name;
}

bool TTidemarrowUsers::CreateProfile(const std::wstring& name) {
    // A name that is not one folder name would make or take over a folder outside the root.
    if (!IsProfileName(name)) return false;
    if (Listed(name)) return false;
    const std::wstring folder = ProfilePath(name);
    if (!DirectoryExists(folder) && !::CreateDirectoryW(folder.c_str(), nullptr)) return false;
    // The data folder is also made by the lists when they are first loaded or saved.
    ::CreateDirectoryW((folder + L"\\" + kDataFolder).c_str(), nullptr);
    names_.push_back(name);
    SortNames();
    return true;
}

void TTidemarrowUsers::DeleteProfile(const std::wstring& name) {
    // An empty name or "..", for one, would reach the root's or the program folder's files.
    if (!IsProfileName(name)) return;
    const std::wstring folder = ProfilePath(name);
    if (names_.empty() || !DirectoryExists(folder)) return;

    const std::wstring data = folder + L"\\" + kDataFolder;
    if (DirectoryExists(data)) {
        for (const wchar_t* file : kDataFiles) DeleteIfPresent(data + L"\\" + file);
        ::RemoveDirectoryW(data.c_str());
    }
    DeleteIfPresent(folder + L"\\" + kConfigFile);

    // A folder that still holds anything stays, and the profile with it.
    if (!::RemoveDirectoryW(folder.c_str())) return;
    // The exact spelling first: a case-sensitive disk may hold names differing only in case.
    auto found = std::find(names_.begin(), names_.end(), name);
    if (found == names_.end()) {
        const int index = IndexOfTextIgnoreCase(names_, name);
        if (index >= 0) found = names_.begin() + index;
    }
    if (found != names_.end()) names_.erase(found);
    SortNames();
}

std::wstring TTidemarrowUsers::ProfilePath(const std::wstring& name) const { return RootPath() + L"\\" + name; }

std::wstring TTidemarrowUsers::RootPath() const { return programFolder_ + L"User"; }

void TTidemarrowUsers::SortNames() { SortTextIgnoreCase(names_); }

bool TTidemarrowUsers::Listed(const std::wstring& name) const { return IndexOfTextIgnoreCase(names_, name) >= 0; }
