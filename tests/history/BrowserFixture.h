#pragma once

// Edge, Chrome and Firefox laid out in the prefix with real SQLite databases, removed afterwards.

#include <map>
#include <string>
#include <vector>

#include "history/BrowserTraces.h"

namespace traces {

// Runs `sql` on the database (made when missing); `keepLog` leaves the WAL log unfolded.
bool Sql(const std::wstring& path, const std::string& sql, bool keepLog = false);
// The first column of a query's first row; "?" when there is none.
std::string Answer(const std::wstring& path, const std::string& sql);

inline constexpr const char* kBookmarkUrl = "https://tm-bookmark.example/";
inline constexpr const char* kLogBookmarkUrl = "https://tm-log-bookmark.example/";

struct BrowserLayout {
    BrowserLayout();
    ~BrowserLayout();
    std::vector<std::wstring> files[3][3];        // made per [Browser][BrowserTrace]
    std::map<std::wstring, std::string> kept;     // files that stay, with their bytes
    std::wstring places;                          // the first Firefox profile's history database
    std::vector<std::wstring> made;
};

}  // namespace traces
