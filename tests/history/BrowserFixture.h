#pragma once

// The three browsers as they lie in a user's folders, made in the prefix for a test and removed
// afterwards: Edge and Chrome with the profiles "Default", "Profile 1" and "Guest Profile",
// Firefox with two profiles named in "profiles.ini" (one with its cache under the local folder),
// real SQLite databases for cookies and history (Firefox's in WAL mode, one bookmark only in its
// log), cache files, and the files that must stay (bookmarks, logins, preferences).

#include <map>
#include <string>
#include <vector>

#include "history/BrowserTraces.h"

namespace traces {

// Runs `sql` on the database (made when missing); with `keepLog` the last close leaves the WAL
// log unfolded. False on any failure.
bool Sql(const std::wstring& path, const std::string& sql, bool keepLog = false);
// The first column of the first row of a query, as text; "?" when it fails.
std::string Answer(const std::wstring& path, const std::string& sql);

// A visited address that only Firefox's history names, and two bookmarked ones.
inline constexpr const char* kVisitedUrl = "https://tm-visited.example/secret-page";
inline constexpr const char* kBookmarkUrl = "https://tm-bookmark.example/";
inline constexpr const char* kLogBookmarkUrl = "https://tm-log-bookmark.example/";

class BrowserLayout {
public:
    BrowserLayout();
    ~BrowserLayout();
    BrowserLayout(const BrowserLayout&) = delete;
    BrowserLayout& operator=(const BrowserLayout&) = delete;

    // The files made for one kind of one browser's traces.
    std::vector<std::wstring> files[3][3];  // [Browser][BrowserTrace]
    // The files that stay whatever is chosen, with their bytes.
    std::map<std::wstring, std::string> kept;
    std::wstring places;     // the first Firefox profile's history database
    std::wstring badPlaces;  // the second profile's, which is no database

private:
    std::vector<std::wstring> made_;
};

}  // namespace traces
