// Firefox's history database: the visits and the places no bookmark needs go, the bookmarks
// stay, and the file is rebuilt so the deleted rows are not left in its bytes.

#include <windows.h>

#include <sqlite3.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/EraseFunc.h"
#include "history/BrowserTraces.h"
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
    std::string kept = "SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL";
    if (tables.count("moz_keywords") && Columns(database, "moz_keywords").count("place_id"))
        kept += " UNION SELECT place_id FROM moz_keywords WHERE place_id IS NOT NULL";
    statements.push_back("DELETE FROM moz_places WHERE id NOT IN (" + kept + ")");
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

    if (!Checkpoint(database) || !Execute(database, "VACUUM") || !Checkpoint(database)) return false;
    std::vector<std::vector<std::string>> rows;
    return Query(database, "PRAGMA integrity_check", rows) && rows.size() == 1 && rows[0].size() == 1 &&
           rows[0][0] == "ok";
}

bool CopyOver(const std::wstring& from, const std::wstring& to) {
    ::SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

}  // namespace

PlacesOutcome CleanFirefoxPlaces(const std::wstring& profileFolder, EraseLevel level) {
    const std::wstring places = profileFolder + L"\\places.sqlite";
    const std::wstring wal = places + L"-wal", shm = places + L"-shm", journal = places + L"-journal";
    const std::wstring copy = profileFolder + L"\\" + kPlacesCopyName, walCopy = copy + L"-wal";
    if (!FileExists(places) || ReachedThroughLink(places) || (FileExists(wal) && ReachedThroughLink(wal)))
        return PlacesOutcome::Missing;

    // The copy: the database with the log that may hold its latest bookmarks.
    const bool hadLog = FileExists(wal);
    if (!CopyOver(places, copy) || (hadLog && !CopyOver(wal, walCopy))) {
        DestroyTraceFile(copy, level);
        DestroyTraceFile(walCopy, level);
        return PlacesOutcome::Failed;
    }

    bool changed = false, cleaned = false;
    {
        sqlite3* raw = nullptr;
        const int opened = ::sqlite3_open_v2(EncodeUtf8(places).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        UniqueDatabase database(raw);
        if (opened == SQLITE_OK) {
            // The log stays after the last close, so it is destroyed below rather than left to
            // the file system with the old frames in it.
            int persist = 1;
            ::sqlite3_file_control(database.get(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
            cleaned = DeleteHistory(database.get(), changed);
        }
    }

    if (!cleaned && changed) {
        // Back as it was: the database, its log or none, and no stale index of the log.
        const bool back = CopyOver(copy, places) &&
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
