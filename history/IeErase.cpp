// The trace eraser: folder walks through the erase engine, the URL cache walk, the URL history
// and the typed addresses, the browsers' profiles and Explorer's lists.

#include "history/IeErase.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <urlhist.h>
#include <wininet.h>

#include <cwchar>
#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "common/Assertions.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "engine/EraseFunc.h"
#include "history/HistorySeams.h"
#include "history/TraceFiles.h"

namespace {

// {3C374A40-BAE4-11CF-BF7D-00AA006946EE}
const CLSID kUrlHistoryClass = {0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
// {AFA0DC11-C313-11D0-831A-00C04FD5AE38}
const IID kUrlHistoryStg2 = {0xafa0dc11, 0xc313, 0x11d0, {0x83, 0x1a, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};

// The cache's own folders below the cache folder: the one of the classic cache, then the
// one Windows 8.1 and later use.
const wchar_t* const kCacheSubfolders[] = {L"\\Content.IE5", L"\\IE"};

constexpr LONG kShellChangeEvents = SHCNE_DELETE | SHCNE_UPDATEIMAGE;  // 0x8004
constexpr UINT kShellChangeFlags = SHCNF_FLUSH;                        // 0x1000

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct CacheFindCloser {
    void operator()(HANDLE find) const { ::FindCloseUrlCache(find); }
};
using UniqueCacheFind = std::unique_ptr<void, CacheFindCloser>;

// One cache entry as the enumeration hands it out, in a buffer of the size it reported.
using EntryBuffer = std::vector<std::uint8_t>;

const INTERNET_CACHE_ENTRY_INFOW& EntryOf(const EntryBuffer& buffer) {
    return *reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
}

HRESULT MakeInProcess(const CLSID& clsid, const IID& iid, void** object) {
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

UrlHistoryMaker g_makeUrlHistory = MakeInProcess;

// Chromium's session folder keeps only these files of the tabs' back and forward lists.
bool IsNotSessionFile(const std::wstring& path) {
    const std::wstring name = ExtractFileName(path);
    for (const wchar_t* prefix : {L"Session_", L"Tabs_"})
        if (name.size() > std::wcslen(prefix) &&
            ::CompareStringOrdinal(name.c_str(), static_cast<int>(std::wcslen(prefix)), prefix, -1, TRUE) == CSTR_EQUAL)
            return false;
    return true;
}

}  // namespace

UrlHistoryMaker SetUrlHistoryMaker(UrlHistoryMaker maker) {
    const UrlHistoryMaker previous = g_makeUrlHistory;
    g_makeUrlHistory = maker ? maker : MakeInProcess;
    return previous;
}

TIE_ERASE::TIE_ERASE(std::uint16_t targets, EraseLevel cookieLevel, EraseLevel cacheLevel, EraseLevel recentLevel,
                     HWND owner)
    : targets_(static_cast<std::uint16_t>(targets & ~RecycleBin)), cacheLevel_(cacheLevel), cookieLevel_(cookieLevel), recentLevel_(recentLevel),
      owner_(owner) {}

bool TIE_ERASE::IsKeptFile(const std::wstring& path) {
    const std::wstring name = ExtractFileName(path);
    for (const wchar_t* kept : kKeptNames)
        if (::CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), kept, -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

bool TIE_ERASE::BrowserOpen() { return ::FindWindowW(kBrowserClass, nullptr) != nullptr; }

void TIE_ERASE::SetProgress(HWND progressBar, int position) const {
    if (progressBar) ::SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::wstring TIE_ERASE::SpecialFolder(int csidl) const {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(owner_, buffer, csidl, FALSE)) return {};
    return buffer;  // up to the first NUL
}

std::vector<std::wstring> TIE_ERASE::TraceFolders(Target kind) const {
    std::vector<std::wstring> folders;
    const auto add = [&folders](const std::wstring& folder) {
        if (!folder.empty() && DirectoryExists(folder)) folders.push_back(folder);
    };
    switch (kind) {
    case Cookies:
        add(SpecialFolder(CSIDL_COOKIES));
        break;
    case Cache: {
        // Files lying directly in the cache folder are not the cache's.
        const std::wstring cache = SpecialFolder(CSIDL_INTERNET_CACHE);
        if (!cache.empty())
            for (const wchar_t* sub : kCacheSubfolders) add(cache + sub);
        break;
    }
    case RecentFiles:
        add(SpecialFolder(CSIDL_RECENT));
        break;
    case History:
    case ExplorerHistory:
    case RecycleBin:  // the front ends run it through the Recycle Bin engine
        break;
    }
    return folders;
}

std::vector<std::wstring> TIE_ERASE::FolderFilesToErase(Target kind) const {
    const std::wstring pins = kind == RecentFiles ? SpecialFolder(CSIDL_RECENT) + L"\\" + kQuickAccessPins : L"";
    std::vector<std::wstring> erased;
    for (const std::wstring& folder : TraceFolders(kind)) {
        std::vector<std::wstring> files;
        CollectFolder(folder, L"\\*.*", files, true);
        for (const std::wstring& path : files) {
            const bool pinned = !pins.empty() && ::CompareStringOrdinal(path.c_str(), static_cast<int>(path.size()),
                                                                        pins.c_str(), static_cast<int>(pins.size()),
                                                                        TRUE) == CSTR_EQUAL;
            const bool keptCookie = kind == Cookies && KeptIeCookieFile(path);
            if (!pinned && !keptCookie && !IsKeptFile(path) && !ReachedThroughLink(path)) erased.push_back(path);
        }
    }
    return erased;
}

void TIE_ERASE::EraseTraceFolder(Target kind, TraceOutcome& outcome, HWND progressBar, int from, int to) {
    const EraseLevel level = kind == Cookies ? cookieLevel_ : kind == Cache ? cacheLevel_ : recentLevel_;
    try {
        // A file that cannot be destroyed stays as the engine leaves it and is named; the walk
        // goes on.
        const std::vector<std::wstring> files = FolderFilesToErase(kind);
        WalkPacer pacer([&](std::size_t done, std::size_t total) {
            SetProgress(progressBar, from + static_cast<int>(static_cast<std::int64_t>(to - from) *
                                                             static_cast<std::int64_t>(done) /
                                                             static_cast<std::int64_t>(total)));
        });
        for (std::size_t index = 0; index < files.size(); ++index) {
            if (!OverwriteFile(files[index], level) && FileExists(files[index]))
                outcome.left.push_back({static_cast<std::uint16_t>(kind), files[index]});
            pacer.Between(index + 1, files.size());
        }
    } catch (...) {
        RaiseAssertion(AssertSite::IeFolderErase);
    }
    // The shell's own list of recent documents goes with the folder's shortcuts.
    if (kind == RecentFiles) ::SHAddToRecentDocs(SHARD_PIDL, nullptr);
}

bool TIE_ERASE::KeptIeCookieFile(const std::wstring& path) const {
    return std::any_of(keptIeCookieFiles_.begin(), keptIeCookieFiles_.end(), [&path](const std::wstring& kept) {
        return ::CompareStringOrdinal(kept.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
}

// The files of kept sites' cookie entries, which the folder walk leaves.
void TIE_ERASE::FindKeptIeCookieFiles() {
    keptIeCookieFiles_.clear();
    WalkUrlCache([this](const INTERNET_CACHE_ENTRY_INFOW& entry) {
        if (KeptIeCookie(entry) && entry.lpszLocalFileName) keptIeCookieFiles_.push_back(entry.lpszLocalFileName);
    });
}

void TIE_ERASE::CleanFirefoxHistory(EraseLevel level, TraceOutcome& outcome) {
    const std::uint16_t target = BrowserTarget(Browser::Firefox, BrowserTrace::History);
    for (const BrowserProfile& profile : BrowserProfiles(Browser::Firefox)) {
        const PlacesOutcome places = CleanFirefoxPlaces(profile.folder, level);
        if (places == PlacesOutcome::Failed || places == PlacesOutcome::Stranded) {
            outcome.places.push_back({places, profile.folder});
            outcome.left.push_back({target, profile.folder + L"\\places.sqlite"});
        }
        // The icons' page addresses are judged by the cleaned history, and only by it.
        const std::wstring favicons = profile.folder + L"\\favicons.sqlite";
        const PlacesOutcome icons = places == PlacesOutcome::Cleaned ? CleanFirefoxFavicons(profile.folder, level)
                                    : FileExists(favicons)           ? PlacesOutcome::Failed
                                                                     : PlacesOutcome::Missing;
        if (icons == PlacesOutcome::Failed) outcome.left.push_back({target, favicons});
        if (icons == PlacesOutcome::Stranded)
            outcome.left.push_back({target, profile.folder + L"\\" + kFaviconsCopyName});
    }
}

// The cookies of the kept sites stay inside each profile's database; the others go from it.
void TIE_ERASE::KeepCookieDatabases(Browser browser, TraceOutcome& outcome) {
    const std::uint16_t target = BrowserTarget(browser, BrowserTrace::Cookies);
    const bool chromium = browser != Browser::Firefox;
    for (const BrowserProfile& profile : BrowserProfiles(browser))
        for (const wchar_t* name : chromium ? std::vector<const wchar_t*>{L"\\Network\\Cookies", L"\\Cookies"}
                                            : std::vector<const wchar_t*>{L"\\cookies.sqlite"}) {
            const std::wstring database = profile.folder + name;
            const PlacesOutcome cleaned = CleanCookieDatabase(database, chromium, keptCookies_.sites, cookieLevel_);
            if (cleaned == PlacesOutcome::Failed) outcome.left.push_back({target, database});
            if (cleaned == PlacesOutcome::Stranded) outcome.left.push_back({target, database + kCookieCopySuffix});
            // Without its database a log or journal is only what it held.
            if (cleaned == PlacesOutcome::Missing && !FileExists(database))
                for (const wchar_t* log : {L"-journal", L"-wal", L"-shm"})
                    if (!DestroyTraceFile(database + log, cookieLevel_))
                        outcome.left.push_back({target, database + log});
        }
}

void TIE_ERASE::EraseBrowserTraces(Browser browser, BrowserTrace kind, TraceOutcome& outcome) {
    const EraseLevel level = kind == BrowserTrace::Cache     ? cacheLevel_
                             : kind == BrowserTrace::Cookies ? cookieLevel_
                                                             : recentLevel_;
    const std::uint16_t target = BrowserTarget(browser, kind);
    try {
        if (kind == BrowserTrace::Cookies && !keptCookies_.sites.empty()) {
            KeepCookieDatabases(browser, outcome);
            return;
        }
        if (browser == Browser::Firefox && kind == BrowserTrace::History) CleanFirefoxHistory(level, outcome);
        const TraceSet set = BrowserTraceSet(browser, kind);
        std::vector<std::wstring> stayed;
        for (const std::wstring& folder : set.folders) {
            const std::vector<std::wstring> files = DestroyTraceFolder(folder, level);
            stayed.insert(stayed.end(), files.begin(), files.end());
        }
        for (const std::wstring& folder : set.sessionFolders) {
            const std::vector<std::wstring> files = DestroyTraceFolder(folder, level, IsNotSessionFile);
            stayed.insert(stayed.end(), files.begin(), files.end());
        }
        for (const std::wstring& file : set.files)
            if (!DestroyTraceFile(file, level)) stayed.push_back(file);
        for (const std::wstring& file : stayed) outcome.left.push_back({target, file});
    } catch (...) {
        RaiseAssertion(AssertSite::IeFolderErase);
    }
}

void TIE_ERASE::CleanUrlCache(bool cache, bool cookies) {
    WalkUrlCache([this, cache, cookies](const INTERNET_CACHE_ENTRY_INFOW& entry) {
        const bool cookie = (entry.CacheEntryType & COOKIE_CACHE_ENTRY) != 0;
        if ((cache && !cookie) || (cookies && cookie && !KeptIeCookie(entry)))
            ::DeleteUrlCacheEntryW(entry.lpszSourceUrlName);
    });
}

// A cookie entry of a kept site: "Cookie:user@host/path".
bool TIE_ERASE::KeptIeCookie(const INTERNET_CACHE_ENTRY_INFOW& entry) const {
    if (keptCookies_.sites.empty() || !(entry.CacheEntryType & COOKIE_CACHE_ENTRY)) return false;
    return KeepsCookieHost(CookieEntryHost(entry.lpszSourceUrlName), keptCookies_.sites);
}

std::wstring TIE_ERASE::CookieEntryHost(const std::wstring& sourceUrl) {
    const std::size_t at = sourceUrl.find(L'@');
    const std::wstring host =
        sourceUrl.substr(at != std::wstring::npos ? at + 1 : std::min(sourceUrl.find(L':') + 1, sourceUrl.size()));
    return host.substr(0, host.find(L'/'));
}

void TIE_ERASE::WalkUrlCache(const std::function<void(const INTERNET_CACHE_ENTRY_INFOW&)>& visit) {
    try {
        const auto judge = [&visit](const EntryBuffer& buffer) {
            if (buffer.size() < sizeof(INTERNET_CACHE_ENTRY_INFOW)) return;
            const INTERNET_CACHE_ENTRY_INFOW& entry = EntryOf(buffer);
            if (entry.lpszSourceUrlName) visit(entry);
        };

        // The first entry: its size, then the entry itself.
        DWORD size = 0;
        UniqueCacheFind find(::FindFirstUrlCacheEntryW(nullptr, nullptr, &size));
        if (!find && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
        EntryBuffer buffer;
        // The entry may change between the calls; a few tries, never an endless loop.
        constexpr int kTries = 8;
        for (int tries = 0; !find; ++tries) {
            if (tries == kTries) return;
            if (size < sizeof(INTERNET_CACHE_ENTRY_INFOW)) return;
            buffer.assign(size, 0);
            find.reset(::FindFirstUrlCacheEntryW(nullptr, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()),
                                                 &size));
            if (!find && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
        }
        judge(buffer);

        // The rest, one size query per entry; anything but a size answer ends the walk.
        for (int tries = 0; tries < kTries;) {
            size = 0;
            if (::FindNextUrlCacheEntryW(find.get(), nullptr, &size) ||
                ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(INTERNET_CACHE_ENTRY_INFOW))
                break;
            buffer.assign(size, 0);
            if (!::FindNextUrlCacheEntryW(find.get(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()),
                                          &size)) {
                if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
                ++tries;  // the entry grew meanwhile: its size again
                continue;
            }
            tries = 0;
            judge(buffer);
        }
    } catch (...) {
        RaiseAssertion(AssertSite::IeCacheEntries);
    }
}

TraceOutcome TIE_ERASE::EraseTraces(HWND progressBar) {
    TraceOutcome outcome;
    outcome.targets = targets_;
    // Internet Explorer's entries wait for its window; the others go on.
    const bool ieHeld = (targets_ & kIeEntries) != 0 && BrowserOpen();
    outcome.ieWindowOpen = ieHeld;

    // The later kinds, in the order of their bits; the browsers that run keep theirs.
    struct Later {
        Browser browser;
        BrowserTrace kind;
        bool explorer;
    };
    std::vector<Later> later;
    std::set<Browser> running;
    for (Browser browser : kBrowsers)
        for (BrowserTrace kind : kBrowserTraces)
            if (targets_ & BrowserTarget(browser, kind)) {
                later.push_back({browser, kind, false});
                if (!running.count(browser) && BrowserRunning(browser)) running.insert(browser);
            }
    if (targets_ & ExplorerHistory) later.push_back({Browser::Edge, BrowserTrace::History, true});
    outcome.running.assign(running.begin(), running.end());
    // An unreadable list of kept sites never turns into erasing every cookie.
    const std::uint16_t heldCookies = keptCookies_.readable ? 0 : (targets_ & CookieEntries());
    outcome.keepListUnreadable = heldCookies != 0;

    // Internet Explorer's part has the share of its chosen kinds and its cache walk.
    int ieWeight = 1;
    for (Target kind : {Cookies, Cache, RecentFiles, History})
        if (targets_ & kind) ++ieWeight;
    const int ieEnd = 90 * ieWeight / (ieWeight + static_cast<int>(later.size()));
    const auto progress = [&](int position) { SetProgress(progressBar, position * ieEnd / 90); };

    const auto at = [&](int position) { return position * ieEnd / 90; };
    progress(10);
    if (targets_ & RecentFiles) EraseTraceFolder(RecentFiles, outcome, progressBar, at(10), at(30));
    progress(30);
    if (ieHeld) {
        for (Target kind : {Cookies, Cache, History})
            if (targets_ & kind) outcome.left.push_back({static_cast<std::uint16_t>(kind), kIeOpenReason});
    } else {
        if (heldCookies & Cookies) {
            outcome.left.push_back({Cookies, kKeepCookieUnreadableText});
        } else if ((targets_ & Cookies) && !keptCookies_.sites.empty()) {
            FindKeptIeCookieFiles();
        }
        if ((targets_ & Cookies) && !(heldCookies & Cookies)) {
            EraseTraceFolder(Cookies, outcome, progressBar, at(30), at(50));
            progress(50);
        }
        if (targets_ & Cache) {
            EraseTraceFolder(Cache, outcome, progressBar, at(50), at(70));
            progress(70);
        }
        CleanUrlCache((targets_ & Cache) != 0, (targets_ & Cookies) != 0 && !(heldCookies & Cookies));
        progress(80);
        if (targets_ & History) ClearBrowserHistory();
    }
    progress(90);

    for (std::size_t index = 0; index < later.size(); ++index) {
        const Later& step = later[index];
        if (step.explorer)
            ClearExplorerHistory();
        else if (running.count(step.browser))
            outcome.left.push_back({BrowserTarget(step.browser, step.kind), kBrowserRunningReason});
        else if (heldCookies & BrowserTarget(step.browser, step.kind))
            outcome.left.push_back({BrowserTarget(step.browser, step.kind), kKeepCookieUnreadableText});
        else
            EraseBrowserTraces(step.browser, step.kind, outcome);
        SetProgress(progressBar, ieEnd + (90 - ieEnd) * static_cast<int>(index + 1) / static_cast<int>(later.size()));
    }
    ::SHChangeNotify(kShellChangeEvents, kShellChangeFlags, nullptr, nullptr);
    return outcome;
}

std::vector<EntryPreview> TIE_ERASE::Preview() {
    const bool ieHeld = (targets_ & kIeEntries) != 0 && BrowserOpen();
    if ((targets_ & Cookies) && keptCookies_.readable && !keptCookies_.sites.empty() && !ieHeld)
        FindKeptIeCookieFiles();
    const auto addFiles = [](EntryPreview& preview, const std::vector<std::wstring>& files) {
        for (const std::wstring& path : files) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (ReachedThroughLink(path) || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
                (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            ++preview.files;
            preview.bytes += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    };
    const auto folderFiles = [](const std::wstring& folder, bool (*keep)(const std::wstring&)) {
        std::vector<std::wstring> files;
        if (DirectoryExists(folder)) CollectFolder(folder, L"\\*.*", files, true);
        files.erase(std::remove_if(files.begin(), files.end(), [keep](const std::wstring& f) { return keep && keep(f); }),
                    files.end());
        return files;
    };

    std::vector<std::uint16_t> entries;
    for (Target kind : {RecentFiles, Cookies, Cache, History})
        if (targets_ & kind) entries.push_back(kind);
    for (Browser browser : kBrowsers)
        for (BrowserTrace kind : kBrowserTraces)
            if (targets_ & BrowserTarget(browser, kind)) entries.push_back(BrowserTarget(browser, kind));
    if (targets_ & ExplorerHistory) entries.push_back(ExplorerHistory);

    std::vector<EntryPreview> previews;
    for (std::uint16_t entry : entries) {
        EntryPreview preview;
        preview.target = entry;
        const bool cookies = (entry & CookieEntries()) != 0;
        if ((entry & kIeEntries) && ieHeld) {
            preview.passedOver = kPreviewIeOpenText;
        } else if (cookies && !keptCookies_.readable) {
            preview.passedOver = kKeepCookieUnreadableText;
        } else if (entry == History) {
            preview.hasRows = true;
            HKEY opened = nullptr;
            if (::RegOpenKeyExW(HKEY_CURRENT_USER, kTypedUrlsKey, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
                UniqueKey key(opened);
                DWORD values = 0;
                if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                       nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
                    preview.rows = values;
            }
        } else if (entry == ExplorerHistory) {
            preview.hasRows = true;
            preview.rows = CountExplorerHistory();
        } else if (entry & kIeEntries || entry == RecentFiles) {
            addFiles(preview, FolderFilesToErase(static_cast<Target>(entry)));
        } else {
            for (Browser browser : kBrowsers)
                for (BrowserTrace kind : kBrowserTraces) {
                    if (BrowserTarget(browser, kind) != entry) continue;
                    if (BrowserRunning(browser)) {
                        preview.passedOver = kPreviewRunningText;
                        continue;
                    }
                    const bool firefox = browser == Browser::Firefox;
                    if (kind == BrowserTrace::Cookies && !keptCookies_.sites.empty()) {
                        preview.hasRows = true;
                        for (const BrowserProfile& profile : BrowserProfiles(browser))
                            for (const wchar_t* name : firefox ? std::vector<const wchar_t*>{L"\\cookies.sqlite"}
                                                               : std::vector<const wchar_t*>{L"\\Network\\Cookies",
                                                                                             L"\\Cookies"})
                                preview.rows += CountCookieRows(profile.folder + name, !firefox, keptCookies_.sites);
                        continue;
                    }
                    const TraceSet set = BrowserTraceSet(browser, kind);
                    addFiles(preview, set.files);
                    for (const std::wstring& folder : set.folders) addFiles(preview, folderFiles(folder, nullptr));
                    for (const std::wstring& folder : set.sessionFolders)
                        addFiles(preview, folderFiles(folder, IsNotSessionFile));
                    if (firefox && kind == BrowserTrace::History) {
                        preview.hasRows = true;
                        for (const BrowserProfile& profile : BrowserProfiles(browser))
                            preview.rows += CountPlacesRows(profile.folder);
                    }
                }
        }
        previews.push_back(preview);
    }
    return previews;
}

std::wstring TIE_ERASE::EntryName(std::uint16_t target) {
    static constexpr struct {
        std::uint16_t target;
        const wchar_t* name;
    } kOwnNames[] = {
        {RecentFiles, L"最近使ったファイル"},
        {Cookies, L"インターネットエクスプローラ\u3000クッキー"},
        {Cache, L"インターネットエクスプローラ\u3000キャッシュ"},
        {History, L"インターネットエクスプローラ\u3000履歴"},
        {ExplorerHistory, L"エクスプローラ\u3000履歴"},
        {RecycleBin, L"ごみ箱"},
    };
    for (const auto& own : kOwnNames)
        if (own.target == target) return own.name;
    for (Browser browser : kBrowsers)
        for (BrowserTrace kind : kBrowserTraces)
            if (BrowserTarget(browser, kind) == target)
                return std::wstring(BrowserName(browser)) + L"\u3000" +
                       (kind == BrowserTrace::Cache     ? L"キャッシュ"
                        : kind == BrowserTrace::Cookies ? L"クッキー"
                                                        : L"履歴");
    return {};
}

std::wstring TIE_ERASE::CommandName(std::uint16_t target) {
    static constexpr struct {
        std::uint16_t target;
        const wchar_t* name;
    } kOwnNames[] = {{RecentFiles, L"recent"},    {Cookies, L"ie-cookies"},
                     {Cache, L"ie-cache"},         {History, L"ie-history"},
                     {ExplorerHistory, L"explorer-history"}, {RecycleBin, L"recycle-bin"}};
    for (const auto& own : kOwnNames)
        if (own.target == target) return own.name;
    static constexpr const wchar_t* kBrowserWords[] = {L"edge-", L"chrome-", L"firefox-"};
    static constexpr const wchar_t* kKindWords[] = {L"cache", L"cookies", L"history"};
    for (Browser browser : kBrowsers)
        for (BrowserTrace kind : kBrowserTraces)
            if (BrowserTarget(browser, kind) == target)
                return std::wstring(kBrowserWords[static_cast<int>(browser)]) + kKindWords[static_cast<int>(kind)];
    return {};
}

std::uint16_t TIE_ERASE::TargetOfCommandName(const std::wstring& name) {
    for (unsigned bit = 0; bit < 16; ++bit) {
        const auto target = static_cast<std::uint16_t>(1u << bit);
        const std::wstring known = CommandName(target);
        if (!known.empty() && ::CompareStringOrdinal(known.c_str(), -1, name.c_str(), static_cast<int>(name.size()),
                                                     TRUE) == CSTR_EQUAL)
            return target;
    }
    return 0;
}

void ClearBrowserHistory() {
    IUrlHistoryStg2* raw = nullptr;
    const HRESULT made = g_makeUrlHistory(kUrlHistoryClass, kUrlHistoryStg2, reinterpret_cast<void**>(&raw));
    if (FAILED(made) || !raw) throw std::runtime_error("URL history object");
    {
        UniqueCom<IUrlHistoryStg2> history(raw);
        history->ClearHistory();  // what it answers does not change what follows
    }

    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kTypedUrlsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &opened) !=
        ERROR_SUCCESS)
        return;
    UniqueKey key(opened);
    // All the names first: deleting while enumerating would shift the indexes.
    std::vector<std::wstring> names;
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status = ::RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    for (const std::wstring& value : names) ::RegDeleteValueW(key.get(), value.c_str());
}
