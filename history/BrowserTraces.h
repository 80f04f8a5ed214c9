#pragma once

// The traces today's browsers and Explorer keep for this user: where Microsoft Edge, Google
// Chrome and Firefox keep each profile's cache, cookies and history, which of them still run
// in this logon session, the cleaning of Firefox's history database (its bookmarks live in
// the same database and stay), and Explorer's own lists of what was run, typed and opened.
//
//   if (BrowserInstalled(Browser::Chrome) && !BrowserRunning(Browser::Chrome))
//       for (const std::wstring& folder : BrowserTraceSet(Browser::Chrome, BrowserTrace::Cache).folders) ...

#include <cstdint>
#include <string>
#include <vector>

#include "common/Types.h"

enum class Browser : std::uint8_t { Edge, Chrome, Firefox };
inline constexpr Browser kBrowsers[] = {Browser::Edge, Browser::Chrome, Browser::Firefox};

// The three kinds of a browser's traces, in the order the tools list them.
enum class BrowserTrace : std::uint8_t { Cache, Cookies, History };
inline constexpr BrowserTrace kBrowserTraces[] = {BrowserTrace::Cache, BrowserTrace::Cookies, BrowserTrace::History};

// The name Windows shows for the browser: "Microsoft Edge", "Google Chrome", "Firefox".
const wchar_t* BrowserName(Browser browser);
// The file name of its processes: "msedge.exe", "chrome.exe", "firefox.exe".
const wchar_t* BrowserProcessName(Browser browser);

// The folder whose presence says the browser is installed for this user: Chromium's
// "User Data" folder under the local application-data folder, or Firefox's folder (the one
// holding "profiles.ini") under the roaming one. Empty when the shell does not name the base.
std::wstring BrowserDataFolder(Browser browser);
bool BrowserInstalled(Browser browser);

// One profile of a browser: the folder of its files, and the folder of its local files
// (the cache). Both are the same folder for Chromium.
struct BrowserProfile {
    std::wstring folder;
    std::wstring localFolder;
};
// Chromium: "Default", "Profile N" and "Guest Profile" of the user-data folder; Firefox: every
// profile "profiles.ini" names (a relative path that climbs out of Firefox's folder is not
// taken). Only profiles whose folder exists.
std::vector<BrowserProfile> BrowserProfiles(Browser browser);

// What one kind of a browser's traces is made of, over all its profiles: folders whose every
// file goes, and single files; each named whether it exists or not. Firefox's history
// database is not among them: it is cleaned, not destroyed (`CleanFirefoxPlaces`).
struct TraceSet {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> files;
    // Chromium's "Sessions" folders, of which only the "Session_*" and "Tabs_*" files go.
    std::vector<std::wstring> sessionFolders;
};
TraceSet BrowserTraceSet(Browser browser, BrowserTrace kind);

// True when a process of the browser runs in this logon session.
bool BrowserRunning(Browser browser);

// Cleans the history out of the profile's "places.sqlite" and leaves its bookmarks: the
// database and its "-wal" are copied first, the visits and every place no bookmark refers to
// are deleted with secure deletion on, the log is folded in and the file rebuilt; a database
// that then fails its integrity check is put back from the copy. The copy and any leftover
// "-wal", "-shm" or "-journal" are destroyed at `level`.
enum class PlacesOutcome : std::uint8_t {
    Cleaned,
    Missing,   // no database in the profile (or only one reached through a link)
    Failed,    // the cleaning failed; the database is as it was
    Stranded,  // the cleaning failed and the copy could not be put back; it stays beside the database
};
PlacesOutcome CleanFirefoxPlaces(const std::wstring& profileFolder, EraseLevel level);
// The name of the copy beside the database (its log's copy adds "-wal").
inline constexpr const wchar_t* kPlacesCopyName = L"places.sqlite.tidemarrow-copy";

// Cleans the profile's "favicons.sqlite" by its just cleaned "places.sqlite" (attached): the
// pages no kept place has, their links to icons, and the icons no kept page uses go (the root
// icons of the kept places' sites stay), with the same copy, secure deletion, rebuild and
// putting back as the history database. Call it only after `CleanFirefoxPlaces` answered
// Cleaned: judged by a history that was not cleaned, every page would look kept.
PlacesOutcome CleanFirefoxFavicons(const std::wstring& profileFolder, EraseLevel level);
inline constexpr const wchar_t* kFaviconsCopyName = L"favicons.sqlite.tidemarrow-copy";

// Deletes, inside a cookie database, the cookies of every site but `keptSites`
// (`KeepsCookieHost`), with the same copy, secure deletion, rebuild and putting back:
// Chromium's "Network\Cookies" (its rollback journal kept for the cleaning and then destroyed
// at `level`), or Firefox's "cookies.sqlite". The copy is the database's name followed by
// `kCookieCopySuffix`.
PlacesOutcome CleanCookieDatabase(const std::wstring& path, bool chromium, const std::vector<std::wstring>& keptSites,
                                  EraseLevel level);
inline constexpr const wchar_t* kCookieCopySuffix = L".tidemarrow-copy";

// What those cleanings would delete, counted on a copy in the temporary folder (the profile's
// files are only read): the visits and the places that would go; the cookies of other sites.
std::size_t CountPlacesRows(const std::wstring& profileFolder);
std::size_t CountCookieRows(const std::wstring& path, bool chromium, const std::vector<std::wstring>& keptSites);
// Appends the hosts of a cookie database's cookies (Chromium's "host_key", Firefox's "host";
// never their values), read from such a copy. False when the database is there but could not
// be read (held locked by its browser, say); a missing one has no hosts.
bool ReadCookieHosts(const std::wstring& path, bool chromium, std::vector<std::wstring>& hosts);

// The keys under HKEY_CURRENT_USER whose values (and their sub-keys' values) are Explorer's
// history: what was run, typed into the address bar and searched, and what the common file
// dialogs opened and saved.
inline constexpr const wchar_t* kExplorerHistoryKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TypedPaths",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\WordWheelQuery",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedPidlMRU",
};
// Deletes every value of those keys and of all their sub-keys; the keys themselves stay.
void ClearExplorerHistory();
// How many values that would delete.
std::size_t CountExplorerHistory();
