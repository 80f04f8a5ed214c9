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
    for (Browser browser : {Browser::Edge, Browser::Chrome}) {
        const std::wstring data = BrowserDataFolder(browser);
        made.push_back(ExtractFilePath(data));
        auto& own = files[static_cast<int>(browser)];
        own[0].push_back(MakeFile(data + L"\\ShaderCache\\data_0"));
        for (const wchar_t* profile : {L"\\Default", L"\\Profile 1", L"\\Guest Profile"}) {
            const std::wstring folder = data + profile;
            for (const wchar_t* name : {L"\\Cache\\Cache_Data\\f_000001", L"\\Code Cache\\js\\index",
                                        L"\\GPUCache\\data_1", L"\\Service Worker\\CacheStorage\\a\\b"})
                own[0].push_back(MakeFile(folder + name));
            Sql(folder + L"\\Network\\Cookies", "CREATE TABLE cookies(host_key); INSERT INTO cookies VALUES('tm');");
            Sql(folder + L"\\History", "CREATE TABLE urls(url); INSERT INTO urls VALUES('https://tm.example/');");
            own[1].insert(own[1].end(), {folder + L"\\Network\\Cookies", MakeFile(folder + L"\\Cookies-journal")});
            own[2].push_back(folder + L"\\History");
            for (const wchar_t* name : {L"\\Visited Links", L"\\Top Sites", L"\\Shortcuts-journal", L"\\Favicons",
                                        L"\\Favicons-journal", L"\\Last Session", L"\\Last Tabs",
                                        L"\\Sessions\\Session_13", L"\\Sessions\\Tabs_13"})
                own[2].push_back(MakeFile(folder + name));
            for (const wchar_t* name : {L"\\Bookmarks", L"\\Login Data", L"\\Preferences", L"\\Sessions\\notes"})
                kept[MakeFile(folder + name)] = "";
        }
    }
    // Firefox: one profile relative to its folder (its cache in the local folder), one by full path.
    const std::wstring firefox = BrowserDataFolder(Browser::Firefox), second = firefox + L"\\Elsewhere\\tm2";
    wchar_t local[MAX_PATH + 1] = {};
    ::SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE);
    made.insert(made.end(), {ExtractFilePath(firefox), std::wstring(local) + L"\\Mozilla\\"});
    MakeFile(firefox + L"\\profiles.ini", "[Profile0]\r\nIsRelative=1\r\nPath=Profiles/tm1\r\n\r\n[Profile1]\r\n"
                                          "IsRelative=0\r\nPath=" + EncodeUtf8(second) + "\r\n[Install1]\r\n");
    auto& own = files[static_cast<int>(Browser::Firefox)];
    own[0] = {MakeFile(std::wstring(local) + L"\\Mozilla\\Firefox\\Profiles\\tm1\\cache2\\entries\\0A1B"),
              MakeFile(second + L"\\cache2\\doomed\\x")};
    for (const std::wstring& profile : {firefox + L"\\Profiles\\tm1", second}) {
        Sql(profile + L"\\cookies.sqlite", "PRAGMA journal_mode=WAL; CREATE TABLE c(v); INSERT INTO c VALUES(1)", 1);
        own[1].insert(own[1].end(), {profile + L"\\cookies.sqlite", profile + L"\\cookies.sqlite-wal"});
        own[2].insert(own[2].end(), {MakeFile(profile + L"\\sessionstore.jsonlz4"),
                                     MakeFile(profile + L"\\sessionstore-backups\\recovery.jsonlz4")});
        own[2].push_back(profile + L"\\formhistory.sqlite");
        Sql(own[2].back(), "CREATE TABLE moz_formhistory(value TEXT); INSERT INTO moz_formhistory VALUES('tm');");
        for (const wchar_t* name : {L"\\logins.json", L"\\prefs.js", L"\\key4.db"}) kept[MakeFile(profile + name)] = "";
    }
    places = firefox + L"\\Profiles\\tm1\\places.sqlite";
    Sql(places, std::string("PRAGMA journal_mode=WAL; CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, host);"
                            "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url, title, visit_count, last_visit_date,"
                            " typed, origin_id); CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id, at);"
                            "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, fk, title);"
                            "CREATE TABLE moz_inputhistory(place_id, input); CREATE TABLE moz_annos(place_id, content);"
                            "INSERT INTO moz_origins VALUES(1, 'tm-visited.example'), (2, 'tm-bookmark.example');"
                            "INSERT INTO moz_places VALUES(1, 'https://tm-visited.example/a', 'Secret', 5, 99, 1, 1),"
                            "(2, '") + kBookmarkUrl + "', 'Kept', 2, 98, 0, 2);"
                "INSERT INTO moz_bookmarks VALUES(1, 2, 'K'); INSERT INTO moz_historyvisits VALUES(1, 1, 97), (2, 2, 96);"
                "INSERT INTO moz_inputhistory VALUES(1, 'tm-vis');"
                "INSERT INTO moz_annos VALUES(1, 'secret note');");
    // A bookmark made just before the browser closed, still only in the log.
    Sql(places, std::string("INSERT INTO moz_places VALUES(3, '") + kLogBookmarkUrl + "', 'Log', 0, NULL, 0, NULL);"
                "INSERT INTO moz_bookmarks VALUES(2, 3, 'Log');", true);
    // The icons of both places: their pages, and each site's root icon.
    favicons = firefox + L"\\Profiles\\tm1\\favicons.sqlite";
    Sql(favicons, std::string("PRAGMA journal_mode=WAL; CREATE TABLE moz_icons(id INTEGER PRIMARY KEY, icon_url,"
                              " root, data); CREATE TABLE moz_pages_w_icons(id INTEGER PRIMARY KEY, page_url);"
                              "CREATE TABLE moz_icons_to_pages(page_id, icon_id);"
                              "INSERT INTO moz_pages_w_icons VALUES(1, 'https://tm-visited.example/a'), (2, '") +
                      kBookmarkUrl + "');"
                      "INSERT INTO moz_icons VALUES(1, 'https://tm-visited.example/i.png', 0, 'v'),"
                      "(2, 'https://tm-visited.example/favicon.ico', 1, 'v'), (3, 'https://tm-bookmark.example/b.png',"
                      " 0, 'b'), (4, 'https://tm-bookmark.example/favicon.ico', 1, 'b');"
                      "INSERT INTO moz_icons_to_pages VALUES(1, 1), (2, 3);");
    kept[MakeFile(second + L"\\places.sqlite", std::string(4096, 'n'))] = "";  // no database: stays as it is
    for (auto& [path, bytes] : kept) bytes = ReadBytes(path);
}

StandInBrowser::StandInBrowser(Browser browser) : job_(::CreateJobObjectW(nullptr, nullptr)) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_) ::SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    const std::wstring program = bin_ / BrowserProcessName(browser);
    if (!::CopyFileW((ProgramFolder() + L"browser_stand_in.exe").c_str(), program.c_str(), FALSE)) return;
    // None of the test's standard handles: the stand-in must not hold the test runner's pipe.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &started))
        return;
    process_.reset(started.hProcess);
    if (job_) ::AssignProcessToJobObject(job_.get(), started.hProcess);
    ::ResumeThread(started.hThread);
    ::CloseHandle(started.hThread);
}

StandInBrowser::~StandInBrowser() {
    if (!process_) return;
    if (job_) ::TerminateJobObject(job_.get(), 0);
    ::TerminateProcess(process_.get(), 0);
    ::WaitForSingleObject(process_.get(), 10000);
}

BrowserLayout::~BrowserLayout() {
    for (const std::wstring& folder : made) RemoveTree(folder.substr(0, folder.size() - 1));
}

}  // namespace traces
