// Where the browsers keep their traces, which of them run, and Explorer's lists.

#include "history/BrowserTraces.h"

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <type_traits>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// What one browser is to this module.
struct BrowserPlace {
    const wchar_t* name;
    const wchar_t* process;
    int base;              // CSIDL_ of the folder its data folder lies under
    const wchar_t* below;  // the data folder below it
};
const BrowserPlace kPlaces[] = {
    {L"Microsoft Edge", L"msedge.exe", CSIDL_LOCAL_APPDATA, L"\\Microsoft\\Edge\\User Data"},
    {L"Google Chrome", L"chrome.exe", CSIDL_LOCAL_APPDATA, L"\\Google\\Chrome\\User Data"},
    {L"Firefox", L"firefox.exe", CSIDL_APPDATA, L"\\Mozilla\\Firefox"},
};
const BrowserPlace& PlaceOf(Browser browser) { return kPlaces[static_cast<int>(browser)]; }

// A Chromium profile's traces, relative to the profile's folder.
const wchar_t* const kChromiumCacheFolders[] = {L"Cache", L"Code Cache", L"GPUCache", L"Service Worker\\CacheStorage"};
// ... and to the user-data folder.
const wchar_t* const kChromiumSharedCacheFolders[] = {L"ShaderCache", L"GrShaderCache"};
const wchar_t* const kChromiumCookieFiles[] = {L"Network\\Cookies", L"Network\\Cookies-journal", L"Cookies",
                                               L"Cookies-journal"};
// The history with the icons of visited pages and the tabs' back and forward lists (the
// older single files of the sessions too).
const wchar_t* const kChromiumHistoryFiles[] = {
    L"History",   L"History-journal",  L"Visited Links",   L"Top Sites",     L"Top Sites-journal",
    L"Shortcuts", L"Shortcuts-journal", L"Favicons",        L"Favicons-journal", L"Current Session",
    L"Current Tabs", L"Last Session",   L"Last Tabs"};
// A Firefox profile's, relative to its folder (the cache to its local folder).
const wchar_t* const kFirefoxCookieFiles[] = {L"cookies.sqlite", L"cookies.sqlite-wal", L"cookies.sqlite-shm"};
const wchar_t* const kFirefoxHistoryFiles[] = {L"formhistory.sqlite", L"formhistory.sqlite-wal",
                                               L"formhistory.sqlite-shm", L"formhistory.sqlite-journal",
                                               L"sessionstore.jsonlz4"};
const wchar_t* const kFirefoxHistoryFolders[] = {L"sessionstore-backups"};

std::wstring Special(int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return {};
    return buffer;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// "Default", "Guest Profile", or "Profile " followed by digits.
bool IsChromiumProfileName(const std::wstring& name) {
    if (SameText(name, L"Default") || SameText(name, L"Guest Profile")) return true;
    const std::wstring prefix = L"Profile ";
    if (name.size() <= prefix.size() || !SameText(name.substr(0, prefix.size()), prefix)) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::vector<BrowserProfile> ChromiumProfiles(const std::wstring& userData) {
    std::vector<BrowserProfile> profiles;
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((userData + L"\\*").c_str(), &entry));
    if (!find) return profiles;
    do {
        const std::wstring folder = userData + L"\\" + entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsChromiumProfileName(entry.cFileName))
            profiles.push_back({folder, folder});
    } while (::FindNextFileW(find.get(), &entry));
    return profiles;
}

// A relative profile path that stays inside Firefox's folder: no drive, no root, no "..".
bool StaysInside(const std::wstring& relative) {
    if (relative.empty() || relative.front() == L'\\' || relative.find(L':') != std::wstring::npos) return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = std::min(relative.find(L'\\', start), relative.size());
        if (Trimmed(relative.substr(start, end - start)) == L"..") return false;
        start = end + 1;
    }
    return true;
}

std::vector<BrowserProfile> FirefoxProfiles(const std::wstring& firefox) {
    std::vector<std::wstring> lines;
    if (!ReadUtf8TextFile(firefox + L"\\profiles.ini", lines)) return {};
    const std::wstring localFirefox = Special(CSIDL_LOCAL_APPDATA) + PlaceOf(Browser::Firefox).below;

    std::vector<BrowserProfile> profiles;
    std::wstring path;
    bool inProfile = false, relative = true;
    const auto take = [&] {
        if (inProfile && !path.empty()) {
            std::replace(path.begin(), path.end(), L'/', L'\\');
            while (!path.empty() && path.back() == L'\\') path.pop_back();
            BrowserProfile profile;
            if (!relative)
                profile = {path, path};
            else if (StaysInside(path))
                profile = {firefox + L"\\" + path, localFirefox + L"\\" + path};
            const bool known = std::any_of(profiles.begin(), profiles.end(),
                                           [&](const BrowserProfile& p) { return SameText(p.folder, profile.folder); });
            if (!profile.folder.empty() && !known && DirectoryExists(profile.folder)) profiles.push_back(profile);
        }
        path.clear();
        relative = true;
    };
    for (const std::wstring& raw : lines) {
        const std::wstring line = Trimmed(raw);
        if (!line.empty() && line.front() == L'[') {
            take();
            inProfile = line.size() > 8 && SameText(line.substr(0, 8), L"[Profile");
            continue;
        }
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        const std::wstring key = Trimmed(line.substr(0, equals));
        const std::wstring value = Trimmed(line.substr(equals + 1));
        if (SameText(key, L"Path")) path = value;
        if (SameText(key, L"IsRelative")) relative = value != L"0";
    }
    take();
    return profiles;
}

template <std::size_t N>
void AddBelow(std::vector<std::wstring>& to, const std::wstring& folder, const wchar_t* const (&names)[N]) {
    for (const wchar_t* name : names) to.push_back(folder + L"\\" + name);
}

// Deletes (or only counts, into `count`) the values of the key and of every sub-key below it.
void ClearValuesBelow(HKEY parent, const std::wstring& path, std::size_t* count = nullptr) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS, &opened) !=
        ERROR_SUCCESS)
        return;
    UniqueKey key(opened);
    // All the names first: deleting while enumerating would shift the indexes.
    std::vector<std::wstring> names, subkeys;
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name.data(), length);
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), length);
    }
    if (count)
        *count += names.size();
    else
        for (const std::wstring& value : names) ::RegDeleteValueW(key.get(), value.c_str());
    for (const std::wstring& subkey : subkeys) ClearValuesBelow(key.get(), subkey, count);
}

}  // namespace

const wchar_t* BrowserName(Browser browser) { return PlaceOf(browser).name; }
const wchar_t* BrowserProcessName(Browser browser) { return PlaceOf(browser).process; }

std::wstring BrowserDataFolder(Browser browser) {
    const std::wstring base = Special(PlaceOf(browser).base);
    return base.empty() ? base : base + PlaceOf(browser).below;
}

bool BrowserInstalled(Browser browser) {
    const std::wstring folder = BrowserDataFolder(browser);
    return !folder.empty() && DirectoryExists(folder);
}

std::vector<BrowserProfile> BrowserProfiles(Browser browser) {
    if (!BrowserInstalled(browser)) return {};
    const std::wstring data = BrowserDataFolder(browser);
    return browser == Browser::Firefox ? FirefoxProfiles(data) : ChromiumProfiles(data);
}

TraceSet BrowserTraceSet(Browser browser, BrowserTrace kind) {
    TraceSet set;
    const std::vector<BrowserProfile> profiles = BrowserProfiles(browser);
    const bool firefox = browser == Browser::Firefox;
    for (const BrowserProfile& profile : profiles) {
        switch (kind) {
        case BrowserTrace::Cache:
            if (firefox)
                set.folders.push_back(profile.localFolder + L"\\cache2");
            else
                AddBelow(set.folders, profile.folder, kChromiumCacheFolders);
            break;
        case BrowserTrace::Cookies:
            firefox ? AddBelow(set.files, profile.folder, kFirefoxCookieFiles)
                    : AddBelow(set.files, profile.folder, kChromiumCookieFiles);
            break;
        case BrowserTrace::History:
            if (firefox) {
                AddBelow(set.files, profile.folder, kFirefoxHistoryFiles);
                AddBelow(set.folders, profile.folder, kFirefoxHistoryFolders);
            } else {
                AddBelow(set.files, profile.folder, kChromiumHistoryFiles);
                set.sessionFolders.push_back(profile.folder + L"\\Sessions");
            }
            break;
        }
    }
    if (!firefox && kind == BrowserTrace::Cache && BrowserInstalled(browser))
        AddBelow(set.folders, BrowserDataFolder(browser), kChromiumSharedCacheFolders);
    return set;
}

bool BrowserRunning(Browser browser) {
    DWORD ownSession = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &ownSession)) return false;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        DWORD session = 0;
        if (SameText(entry.szExeFile, BrowserProcessName(browser)) &&
            ::ProcessIdToSessionId(entry.th32ProcessID, &session) && session == ownSession)
            return true;
    }
    return false;
}

void ClearExplorerHistory() {
    for (const wchar_t* key : kExplorerHistoryKeys) ClearValuesBelow(HKEY_CURRENT_USER, key);
}

std::size_t CountExplorerHistory() {
    std::size_t count = 0;
    for (const wchar_t* key : kExplorerHistoryKeys) ClearValuesBelow(HKEY_CURRENT_USER, key, &count);
    return count;
}
