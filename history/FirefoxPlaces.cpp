// Firefox's history database: the visits and the places no bookmark needs go, the bookmarks
// stay, and the file is rebuilt so the deleted rows are not left in its bytes. Its icon
// database follows it: the pages and icons of places that went go too.

#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/EraseFunc.h"
#include "history/BrowserTraces.h"
#include "history/CookieKeep.h"
#include "history/TraceFiles.h"

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* database) const { ::sqlite3_close_v2(database); }
};
using UniqueDatabase = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { ::sqlite3_finalize(statement); }
};
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The rows of a query, each as its columns' texts; false when it fails.
bool Query(sqlite3* database, const std::string& sql, std::vector<std::vector<std::string>>& rows) {
    sqlite3_stmt* raw = nullptr;
    if (::sqlite3_prepare_v2(database, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return false;
    UniqueStatement statement(raw);
    rows.clear();
    for (;;) {
        const int step = ::sqlite3_step(statement.get());
        if (step == SQLITE_DONE) return true;
        if (step != SQLITE_ROW) return false;
        std::vector<std::string> row;
        for (int column = 0; column < ::sqlite3_column_count(statement.get()); ++column) {
            const unsigned char* text = ::sqlite3_column_text(statement.get(), column);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        rows.push_back(std::move(row));
    }
}

bool Execute(sqlite3* database, const std::string& sql) {
    return ::sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::set<std::string> Names(sqlite3* database, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    std::set<std::string> names;
    if (Query(database, sql, rows))
        for (const auto& row : rows)
            if (!row.empty()) names.insert(row[0]);
    return names;
}

std::set<std::string> Columns(sqlite3* database, const std::string& table) {
    std::string literal = "'";
    for (char c : table) literal += c == '\'' ? std::string("''") : std::string(1, c);
    return Names(database, "SELECT name FROM pragma_table_info(" + literal + "')");
}

// Folds the log into the database and starts it over from its beginning, so the next
// transaction writes over the old frames; true when every frame reached the database.
bool Checkpoint(sqlite3* database) {
    std::vector<std::vector<std::string>> rows;
    if (!Query(database, "PRAGMA wal_checkpoint(RESTART)", rows) || rows.empty() || rows[0].size() < 3) return false;
    return rows[0][0] == "0" && rows[0][1] == rows[0][2];
}

// Folds the log in, rebuilds the file so no freed page keeps deleted rows, folds the rebuild's
// log in, and checks the result.
bool Rebuild(sqlite3* database) {
    if (!Checkpoint(database) || !Execute(database, "VACUUM") || !Checkpoint(database)) return false;
    std::vector<std::vector<std::string>> rows;
    return Query(database, "PRAGMA integrity_check", rows) && rows.size() == 1 && rows[0].size() == 1 &&
           rows[0][0] == "ok";
}

// The query of the places that stay: those bookmarks and keywords name.
std::string KeptPlaces(sqlite3* database, const std::set<std::string>& tables) {
    std::string kept = "SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL";
    if (tables.count("moz_keywords") && Columns(database, "moz_keywords").count("place_id"))
        kept += " UNION SELECT place_id FROM moz_keywords WHERE place_id IS NOT NULL";
    return kept;
}

// Deletes the history rows in one transaction, then rebuilds the file. `changed` is set once
// the database may differ from the copy.
bool DeleteHistory(sqlite3* database, bool& changed) {
    const std::set<std::string> tables = Names(database, "SELECT name FROM sqlite_master WHERE type = 'table'");
    for (const char* needed : {"moz_places", "moz_historyvisits", "moz_bookmarks"})
        if (!tables.count(needed)) return false;
    if (!Execute(database, "PRAGMA secure_delete = ON") || !Execute(database, "BEGIN IMMEDIATE")) return false;
    changed = true;

    std::vector<std::string> statements = {"DELETE FROM moz_historyvisits"};
    for (const char* visitsOnly :
         {"moz_inputhistory", "moz_places_metadata", "moz_places_metadata_search_queries", "moz_historyvisits_extra"})
        if (tables.count(visitsOnly)) statements.push_back("DELETE FROM " + Quoted(visitsOnly));
    // The places bookmarks (and their keywords) name stay, without their visit counts and dates.
    statements.push_back("DELETE FROM moz_places WHERE id NOT IN (" + KeptPlaces(database, tables) + ")");
    const std::set<std::string> placeColumns = Columns(database, "moz_places");
    for (const char* visitColumn : {"visit_count", "typed"})
        if (placeColumns.count(visitColumn))
            statements.push_back("UPDATE moz_places SET " + std::string(visitColumn) + " = 0");
    if (placeColumns.count("last_visit_date")) statements.push_back("UPDATE moz_places SET last_visit_date = NULL");
    // The origins of places that went, and every other row that names a place or a visit that went.
    if (tables.count("moz_origins"))
        statements.push_back(placeColumns.count("origin_id")
                                 ? "DELETE FROM moz_origins WHERE id NOT IN "
                                   "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)"
                                 : "DELETE FROM moz_origins");
    for (const std::string& table : tables) {
        if (table == "moz_places" || table.rfind("sqlite_", 0) == 0) continue;
        const std::set<std::string> columns = Columns(database, table);
        if (columns.count("place_id"))
            statements.push_back("DELETE FROM " + Quoted(table) +
                                 " WHERE place_id IS NOT NULL AND place_id NOT IN (SELECT id FROM moz_places)");
        if (columns.count("visit_id") && table != "moz_historyvisits")
            statements.push_back("DELETE FROM " + Quoted(table) +
                                 " WHERE visit_id IS NOT NULL AND visit_id NOT IN (SELECT id FROM moz_historyvisits)");
    }
    for (const std::string& sql : statements)
        if (!Execute(database, sql)) {
            Execute(database, "ROLLBACK");
            return false;
        }
    if (!Execute(database, "COMMIT")) {
        Execute(database, "ROLLBACK");
        return false;
    }

    return Rebuild(database);
}

// The site part of an address ("https://example.com" of "https://example.com/a/b"); the whole
// address when it has no "//".
std::string Origin(const std::string& url) {
    const std::size_t slashes = url.find("://");
    if (slashes == std::string::npos) return url;
    return url.substr(0, url.find('/', slashes + 3));
}

// Deletes the icons of pages the cleaned history no longer has, then rebuilds the file.
// `places` is the cleaned history database, attached for the judging.
bool DeleteIcons(sqlite3* database, const std::wstring& places, bool& changed) {
    const std::set<std::string> tables = Names(database, "SELECT name FROM sqlite_master WHERE type = 'table'");
    for (const char* needed : {"moz_icons", "moz_pages_w_icons", "moz_icons_to_pages"})
        if (!tables.count(needed)) return false;
    std::string literal = "'";
    for (char c : EncodeUtf8(places)) literal += c == '\'' ? std::string("''") : std::string(1, c);
    if (!Execute(database, "ATTACH DATABASE " + literal + "' AS places")) return false;
    std::vector<std::vector<std::string>> keptUrls;
    if (!Query(database, "SELECT url FROM places.moz_places WHERE url IS NOT NULL", keptUrls) ||
        !Execute(database, "PRAGMA main.secure_delete = ON") || !Execute(database, "BEGIN IMMEDIATE"))
        return false;
    changed = true;

    std::set<std::string> keptOrigins;
    for (const auto& row : keptUrls) keptOrigins.insert(Origin(row[0]));
    bool done = Execute(database, "DELETE FROM main.moz_pages_w_icons WHERE page_url NOT IN "
                                  "(SELECT url FROM places.moz_places WHERE url IS NOT NULL)") &&
                Execute(database, "DELETE FROM main.moz_icons_to_pages WHERE page_id NOT IN "
                                  "(SELECT id FROM main.moz_pages_w_icons)");
    // A site's root icon is used by no page row; it stays for the sites of kept places.
    const bool roots = Columns(database, "moz_icons").count("root") != 0;
    std::vector<std::vector<std::string>> unused;
    done = done && Query(database,
                         std::string("SELECT id, icon_url, ") + (roots ? "root" : "0") +
                             " FROM main.moz_icons WHERE id NOT IN (SELECT icon_id FROM main.moz_icons_to_pages)",
                         unused);
    for (std::size_t index = 0; done && index < unused.size(); ++index) {
        const auto& icon = unused[index];
        if (icon[2] != "0" && keptOrigins.count(Origin(icon[1]))) continue;
        const bool number = !icon[0].empty() && icon[0].find_first_not_of("-0123456789") == std::string::npos;
        done = number && Execute(database, "DELETE FROM main.moz_icons WHERE id = " + icon[0]);
    }
    if (!done || !Execute(database, "COMMIT")) {
        Execute(database, "ROLLBACK");
        return false;
    }
    if (!Execute(database, "DETACH DATABASE places")) return false;
    return Rebuild(database);
}

// Deletes the cookies of every site but the kept ones from `table`, judged by `hostColumn`,
// then rebuilds the file. `persistJournal`: a rollback-journal database keeps its journal
// (which receives the original pages) so that it is destroyed afterwards, not freed.
bool DeleteCookies(sqlite3* database, const char* table, const char* hostColumn, bool persistJournal,
                   const std::vector<std::wstring>& keptSites, bool& changed) {
    if (!Columns(database, table).count(hostColumn)) return false;
    if (persistJournal && !Execute(database, "PRAGMA journal_mode = PERSIST")) return false;
    std::vector<std::vector<std::string>> rows;
    if (!Query(database, "SELECT rowid, " + Quoted(hostColumn) + " FROM " + Quoted(table), rows) ||
        !Execute(database, "PRAGMA secure_delete = ON"))
        return false;
    sqlite3_stmt* raw = nullptr;
    if (::sqlite3_prepare_v2(database, ("DELETE FROM " + Quoted(table) + " WHERE rowid = ?").c_str(), -1, &raw,
                             nullptr) != SQLITE_OK)
        return false;
    UniqueStatement remove(raw);
    if (!Execute(database, "BEGIN IMMEDIATE")) return false;
    changed = true;
    bool done = true;
    for (std::size_t index = 0; done && index < rows.size(); ++index) {
        if (KeepsCookieHost(DecodeUtf8(rows[index][1]), keptSites)) continue;
        ::sqlite3_bind_int64(remove.get(), 1, std::strtoll(rows[index][0].c_str(), nullptr, 10));
        done = ::sqlite3_step(remove.get()) == SQLITE_DONE;
        ::sqlite3_reset(remove.get());
    }
    if (!done || !Execute(database, "COMMIT")) {
        Execute(database, "ROLLBACK");
        return false;
    }
    return Rebuild(database);
}

bool CopyOver(const std::wstring& from, const std::wstring& to) {
    ::SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

// Cleans the database at `path` in place with `clean`: it and its "-wal" are copied to `copy`
// first and put back when the cleaning fails after it may have changed anything; the copy and
// the leftovers are destroyed at `level`.
template <typename Clean>
PlacesOutcome CleanInPlace(const std::wstring& path, const std::wstring& copy, EraseLevel level, Clean clean) {
    const std::wstring wal = path + L"-wal", shm = path + L"-shm", journal = path + L"-journal";
    const std::wstring walCopy = copy + L"-wal";
    if (!FileExists(path) || ReachedThroughLink(path) || (FileExists(wal) && ReachedThroughLink(wal)))
        return PlacesOutcome::Missing;

    // The copy: the database with the log that may hold its latest rows.
    const bool hadLog = FileExists(wal);
    if (!CopyOver(path, copy) || (hadLog && !CopyOver(wal, walCopy))) {
        DestroyTraceFile(copy, level);
        DestroyTraceFile(walCopy, level);
        return PlacesOutcome::Failed;
    }

    bool changed = false, cleaned = false;
    {
        sqlite3* raw = nullptr;
        const int opened = ::sqlite3_open_v2(EncodeUtf8(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        UniqueDatabase database(raw);
        if (opened == SQLITE_OK) {
            // The log stays after the last close, so it is destroyed below rather than left to
            // the file system with the old frames in it.
            int persist = 1;
            ::sqlite3_file_control(database.get(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
            // Nothing of the deleted rows in temporary files on the disk.
            cleaned = Execute(database.get(), "PRAGMA temp_store = MEMORY") && clean(database.get(), changed);
        }
    }

    if (!cleaned && changed) {
        // Back as it was: the database, its log or none, and no stale index of the log.
        const bool back = CopyOver(copy, path) &&
                          (hadLog ? CopyOver(walCopy, wal) : !FileExists(wal) || OverwriteFile(wal, level));
        ::DeleteFileW(shm.c_str());
        if (!back) return PlacesOutcome::Stranded;
    }
    DestroyTraceFile(copy, level);
    DestroyTraceFile(walCopy, level);
    if (!cleaned) return PlacesOutcome::Failed;
    for (const std::wstring& leftover : {wal, shm, journal}) DestroyTraceFile(leftover, level);
    return PlacesOutcome::Cleaned;
}

// Opens a copy of the database (and its log) in a folder of its own under the temporary
// folder, read-only, hands it to `read`, and destroys the copy: the original and its log are
// not opened at all. False when the database is there but could not be copied or read (another
// program holds it locked, say); a missing database is read as empty.
template <typename Read>
bool ReadOnCopy(const std::wstring& path, Read read) {
    if (!FileExists(path) || ReachedThroughLink(path)) return true;
    wchar_t temp[MAX_PATH + 1] = {};
    if (!::GetTempPathW(MAX_PATH + 1, temp)) return false;
    const std::wstring folder = std::wstring(temp) + L"tidemarrow-preview-" + std::to_wstring(::GetCurrentProcessId()) +
                                L"-" + std::to_wstring(::GetTickCount64());
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return false;
    const std::wstring copy = folder + L"\\" + ExtractFileName(path);
    bool done = false;
    if (CopyOver(path, copy) && (!FileExists(path + L"-wal") || CopyOver(path + L"-wal", copy + L"-wal"))) {
        sqlite3* raw = nullptr;
        const int opened = ::sqlite3_open_v2(EncodeUtf8(copy).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        UniqueDatabase database(raw);
        done = opened == SQLITE_OK && read(database.get());
    }
    // The copy holds the history: destroyed, with whatever its opening made beside it.
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm", L"-journal"}) DestroyTraceFile(copy + suffix, EraseLevel::Speed);
    ::RemoveDirectoryW(folder.c_str());
    return done;
}

// The rows `count` counts on such a copy; 0 when the database is missing or cannot be read.
template <typename Count>
std::size_t CountOnCopy(const std::wstring& path, Count count) {
    std::size_t rows = 0;
    ReadOnCopy(path, [&](sqlite3* database) {
        rows = count(database);
        return true;
    });
    return rows;
}

std::size_t Number(sqlite3* database, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    if (!Query(database, sql, rows) || rows.empty() || rows[0].empty()) return 0;
    return static_cast<std::size_t>(std::strtoull(rows[0][0].c_str(), nullptr, 10));
}

}  // namespace

std::size_t CountPlacesRows(const std::wstring& profileFolder) {
    return CountOnCopy(profileFolder + L"\\places.sqlite", [](sqlite3* database) -> std::size_t {
        const std::set<std::string> tables = Names(database, "SELECT name FROM sqlite_master WHERE type = 'table'");
        for (const char* needed : {"moz_places", "moz_historyvisits", "moz_bookmarks"})
            if (!tables.count(needed)) return 0;
        return Number(database, "SELECT count(*) FROM moz_historyvisits") +
               Number(database, "SELECT count(*) FROM moz_places WHERE id NOT IN (" + KeptPlaces(database, tables) + ")");
    });
}

std::size_t CountCookieRows(const std::wstring& path, bool chromium, const std::vector<std::wstring>& keptSites) {
    return CountOnCopy(path, [&](sqlite3* database) -> std::size_t {
        std::vector<std::vector<std::string>> rows;
        if (!Query(database, chromium ? "SELECT host_key FROM cookies" : "SELECT host FROM moz_cookies", rows)) return 0;
        return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [&](const auto& row) {
            return !KeepsCookieHost(DecodeUtf8(row[0]), keptSites);
        }));
    });
}

bool ReadCookieHosts(const std::wstring& path, bool chromium, std::vector<std::wstring>& hosts) {
    return ReadOnCopy(path, [&](sqlite3* database) {
        std::vector<std::vector<std::string>> rows;
        // A database without the browser's table holds no cookies; one that cannot be asked is unread.
        if (!Query(database, "SELECT name FROM sqlite_master WHERE type = 'table'", rows)) return false;
        const char* table = chromium ? "cookies" : "moz_cookies";
        if (std::none_of(rows.begin(), rows.end(), [table](const auto& row) { return !row.empty() && row[0] == table; }))
            return true;
        if (!Query(database, chromium ? "SELECT DISTINCT host_key FROM cookies" : "SELECT DISTINCT host FROM moz_cookies",
                   rows))
            return false;
        for (const auto& row : rows)
            if (!row.empty()) hosts.push_back(DecodeUtf8(row[0]));
        return true;
    });
}

PlacesOutcome CleanFirefoxPlaces(const std::wstring& profileFolder, EraseLevel level) {
    return CleanInPlace(profileFolder + L"\\places.sqlite", profileFolder + L"\\" + kPlacesCopyName, level,
                        DeleteHistory);
}

PlacesOutcome CleanCookieDatabase(const std::wstring& path, bool chromium, const std::vector<std::wstring>& keptSites,
                                  EraseLevel level) {
    return CleanInPlace(path, path + kCookieCopySuffix, level, [&](sqlite3* database, bool& changed) {
        return chromium ? DeleteCookies(database, "cookies", "host_key", true, keptSites, changed)
                        : DeleteCookies(database, "moz_cookies", "host", false, keptSites, changed);
    });
}

PlacesOutcome CleanFirefoxFavicons(const std::wstring& profileFolder, EraseLevel level) {
    const std::wstring places = profileFolder + L"\\places.sqlite";
    const PlacesOutcome outcome =
        CleanInPlace(profileFolder + L"\\favicons.sqlite", profileFolder + L"\\" + kFaviconsCopyName, level,
                     [&places](sqlite3* database, bool& changed) { return DeleteIcons(database, places, changed); });
    // The history database was opened again for the judging: no log of it stays.
    for (const wchar_t* leftover : {L"-wal", L"-shm"}) DestroyTraceFile(places + leftover, level);
    return outcome;
}
