#pragma once

// Edge, Chrome and Firefox laid out in the prefix with real SQLite databases, removed afterwards.

#include <map>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "history/BrowserTraces.h"
#include "tests/support/TempFolder.h"

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
    std::wstring favicons;                        // ... and its icons
    std::vector<std::wstring> made;
};

// The stand-in program running under the browser's process name, from a folder of its own, in
// a job that ends it however the test ends (a failed assertion, or the test process dying).
class StandInBrowser {
public:
    explicit StandInBrowser(Browser browser);
    ~StandInBrowser();
    StandInBrowser(const StandInBrowser&) = delete;
    StandInBrowser& operator=(const StandInBrowser&) = delete;
    bool Started() const { return static_cast<bool>(process_); }

private:
    TempFolder bin_;  // outlives the process
    UniqueKernelHandle job_, process_;
};

}  // namespace traces
