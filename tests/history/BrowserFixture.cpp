#include "tests/history/BrowserFixture.h"

#include <windows.h>
#include <shlobj.h>

#include <sqlite3.h>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "tests/history/TraceFixture.h"
#include "tests/support/TempFolder.h"

namespace traces {

bool Sql(const std::wstring& path, const std::string& sql, bool keepLog) {
    if (!FileExists(path)) MakeFile(path, "");  // an empty file is an empty database
    sqlite3* db = nullptr;
    bool done = ::sqlite3_open(EncodeUtf8(path).c_str(), &db) == SQLITE_OK;
    if (done && keepLog) ::sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    done = done && ::sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    ::sqlite3_close(db);
    return done;
}

std::string Answer(const std::wstring& path, const std::string& sql) {
    std::string answer = "?";
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (::sqlite3_open_v2(EncodeUtf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        ::sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        ::sqlite3_step(statement) == SQLITE_ROW && ::sqlite3_column_text(statement, 0))
        answer = reinterpret_cast<const char*>(::sqlite3_column_text(statement, 0));
    ::sqlite3_finalize(statement);
    ::sqlite3_close(db);
    return answer;
}

BrowserLayout::BrowserLayout() {
    const std::string history = "CREATE TABLE urls(id INTEGER PRIMARY KEY, url TEXT); "
                                "INSERT INTO urls(url) VALUES('https://tm-chromium.example/');";
    for (Browser browser : {Browser::Edge, Browser::Chrome}) {
        const std::wstring data = BrowserDataFolder(browser);
        made_.push_back(ExtractFilePath(data).substr(0, ExtractFilePath(data).size() - 1));
        auto& own = files[static_cast<int>(browser)];
        own[0].push_back(MakeFile(data + L"\\ShaderCache\\data_0"));
        for (const wchar_t* profile : {L"\\Default", L"\\Profile 1", L"\\Guest Profile"}) {
            const std::wstring folder = data + profile;
            for (const wchar_t* cache : {L"\\Cache\\Cache_Data\\f_000001", L"\\Code Cache\\js\\index",
                                         L"\\GPUCache\\data_1", L"\\Service Worker\\CacheStorage\\a\\b"})
                own[0].push_back(MakeFile(folder + cache));
            own[1].push_back(folder + L"\\Network\\Cookies");
            Sql(own[1].back(), "CREATE TABLE cookies(host_key TEXT); INSERT INTO cookies VALUES('tm-cookie');");
            own[1].push_back(MakeFile(folder + L"\\Network\\Cookies-journal"));
            own[2].push_back(folder + L"\\History");
            Sql(own[2].back(), history);
            for (const wchar_t* name : {L"\\Visited Links", L"\\Top Sites", L"\\Shortcuts-journal"})
                own[2].push_back(MakeFile(folder + name));
            for (const wchar_t* name : {L"\\Bookmarks", L"\\Login Data", L"\\Preferences", L"\\Favicons"})
                kept[MakeFile(folder + name, "kept " + EncodeUtf8(folder + name))] = "";
        }
        kept[MakeFile(data + L"\\Local State", "{}")] = "";
    }

    // Firefox: one profile relative to its folder, one given by its full path.
    const std::wstring firefox = BrowserDataFolder(Browser::Firefox);
    made_.push_back(ExtractFilePath(firefox).substr(0, ExtractFilePath(firefox).size() - 1));
    wchar_t localBase[MAX_PATH + 1] = {};
    ::SHGetSpecialFolderPathW(nullptr, localBase, CSIDL_LOCAL_APPDATA, FALSE);
    const std::wstring local = std::wstring(localBase) + L"\\Mozilla\\Firefox";
    made_.push_back(local);
    const std::wstring first = firefox + L"\\Profiles\\tm1.default-release";
    const std::wstring second = firefox + L"\\Elsewhere\\tm2";
    MakeFile(firefox + L"\\profiles.ini", "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
                                          "IsRelative=1\r\nPath=Profiles/tm1.default-release\r\n\r\n[Profile1]\r\n"
                                          "Name=other\r\nIsRelative=0\r\nPath=" +
                                              EncodeUtf8(second) + "\r\n\r\n[Install1]\r\nDefault=Profiles/x\r\n");
    auto& own = files[static_cast<int>(Browser::Firefox)];
    own[0].push_back(MakeFile(local + L"\\Profiles\\tm1.default-release\\cache2\\entries\\0A1B"));
    own[0].push_back(MakeFile(second + L"\\cache2\\doomed\\x"));
    for (const std::wstring& profile : {first, second}) {
        own[1].push_back(profile + L"\\cookies.sqlite");
        Sql(own[1].back(), "PRAGMA journal_mode=WAL; CREATE TABLE moz_cookies(host TEXT); "
                           "INSERT INTO moz_cookies VALUES('tm-cookie');", true);
        own[1].push_back(own[1].back() + L"-wal");
        own[2].push_back(profile + L"\\formhistory.sqlite");
        Sql(own[2].back(), "CREATE TABLE moz_formhistory(value TEXT); INSERT INTO moz_formhistory VALUES('tm-typed');");
        for (const wchar_t* name : {L"\\logins.json", L"\\prefs.js", L"\\key4.db"})
            kept[MakeFile(profile + name, "kept")] = "";
    }
    places = first + L"\\places.sqlite";
    Sql(places, std::string("PRAGMA journal_mode=WAL; PRAGMA secure_delete=OFF;"
                            "CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, host TEXT);"
                            "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, title TEXT, visit_count INTEGER,"
                            " last_visit_date INTEGER, typed INTEGER, origin_id INTEGER);"
                            "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id INTEGER, visit_date INTEGER);"
                            "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, fk INTEGER, title TEXT);"
                            "CREATE TABLE moz_inputhistory(place_id INTEGER, input TEXT);"
                            "CREATE TABLE moz_annos(id INTEGER PRIMARY KEY, place_id INTEGER, content TEXT);"
                            "INSERT INTO moz_origins VALUES(1, 'tm-visited.example'), (2, 'tm-bookmark.example');"
                            "INSERT INTO moz_places VALUES(1, '") + kVisitedUrl + "', 'Secret', 5, 99, 1, 1),"
                            "(2, '" + kBookmarkUrl + "', 'Kept', 2, 98, 0, 2);"
                            "INSERT INTO moz_historyvisits VALUES(1, 1, 97), (2, 2, 96);"
                            "INSERT INTO moz_inputhistory VALUES(1, 'tm-vis');"
                            "INSERT INTO moz_annos VALUES(1, 1, 'secret note');"
                            "INSERT INTO moz_bookmarks VALUES(1, 2, 'Kept');");
    // A bookmark made just before the browser closed, still only in the log.
    Sql(places, std::string("INSERT INTO moz_places VALUES(3, '") + kLogBookmarkUrl + "', 'Log', 0, NULL, 0, NULL);"
                "INSERT INTO moz_bookmarks VALUES(2, 3, 'Log');", true);
    badPlaces = MakeFile(second + L"\\places.sqlite", std::string(4096, 'n'));
    kept[badPlaces] = "";
    for (auto& [path, bytes] : kept) bytes = ReadBytes(path);
}

BrowserLayout::~BrowserLayout() {
    for (const std::wstring& folder : made_) RemoveTree(folder);
}

}  // namespace traces
