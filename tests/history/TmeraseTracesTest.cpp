// tmerase --traces on the browsers laid out in the prefix, from a copy of the program with a
// profile folder of its own.

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/RecycleBin.h"
#include "history/CookieKeep.h"
#include "tests/history/BrowserFixture.h"
#include "tests/history/TraceFixture.h"
#include "tests/support/Gui.h"
#include "tests/support/Tmerase.h"

using namespace traces;

namespace {

TEST(TmeraseTraces, EntriesRunWithTheProfileAndTheLinesSayWhatEachLeft) {
    BrowserLayout layout;
    TempFolder program;
    const std::wstring tmerase = program / L"tmerase.exe";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"tmerase.exe").c_str(), tmerase.c_str(), FALSE));
    MakeFile(program / L"User\\tm\\Config.ini", "[TIDEMARROW]\r\n#IE_TOOLS_02=2\r\n");
    StandInBrowser edge(Browser::Edge);
    ASSERT_TRUE(edge.Started());
    ASSERT_TRUE(PumpUntil([] { return BrowserRunning(Browser::Edge); }));
    const std::wstring held = layout.files[static_cast<int>(Browser::Chrome)][2].front();
    UniqueFile holder(::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    // The look before changes nothing and counts what the run then erases.
    const std::string places = ReadBytes(layout.places), log = ReadBytes(layout.places + L"-wal");
    const TmeraseOutcome look = RunTmerase(L"--traces chrome-history,edge-history,firefox-history --profile tm "
                                           L"--preview", tmerase);
    EXPECT_EQ(look.exitCode, 0u);
    const std::wstring chromeFiles = std::to_wstring(layout.files[static_cast<int>(Browser::Chrome)][2].size());
    EXPECT_EQ(look.out, EncodeCp932(L"chrome-history: " + chromeFiles + L" ファイル, 0.0 MB\r\nedge-history: "
                                    L"ブラウザー動作中のため対象外\r\nfirefox-history: 6 ファイル, 0.0 MB, 3 行\r\n"));
    EXPECT_TRUE(ReadBytes(layout.places) == places && ReadBytes(layout.places + L"-wal") == log);

    const TmeraseOutcome run =
        RunTmerase(L"--traces chrome-history,EDGE-history,firefox-cookies --profile tm", tmerase);
    EXPECT_EQ(run.exitCode, 1u) << "something was left";
    EXPECT_EQ(run.out, EncodeCp932(L"Google Chrome\u3000履歴: " + held +
                                   L"\r\nedge-history: ブラウザーが動いているため抹消しませんでした\r\n"
                                   L"firefox-cookies: 抹消しました\r\n"));
    for (const std::wstring& file : layout.files[static_cast<int>(Browser::Firefox)][1]) EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(FileExists(layout.files[static_cast<int>(Browser::Edge)][2].front()));

    EXPECT_EQ(RunTmerase(L"--traces firefox-cookies --profile tm", tmerase).exitCode, 0u);
    EXPECT_EQ(RunTmerase(L"--traces cookies --profile tm", tmerase).exitCode, 2u) << "no such entry";
    EXPECT_EQ(RunTmerase(L"--traces recent --profile elsewhere", tmerase).exitCode, 2u) << "no such profile";
}


TEST(TmeraseTraces, CookiesOfKeptSitesStayInEveryBrowserAndAnUnreadableListKeepsThemAll) {
    TraceGuard guard;
    BrowserLayout layout;
    TempFolder program;
    const std::wstring tmerase = program / L"tmerase.exe";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"tmerase.exe").c_str(), tmerase.c_str(), FALSE));
    const std::wstring list = MakeFile(program / L"User\\tm\\Savedat\\keepcookie.txt", " .kept.example\r\n\r\n");
    const std::string rows = "('.kept.example', 'K1'), ('sub.kept.example', 'K2'), ('other.example', 'SECRET1'),"
                             " ('xkept.example', 'SECRET2')";
    const std::wstring chrome = BrowserDataFolder(Browser::Chrome) + L"\\Default\\Network\\Cookies";
    ASSERT_TRUE(Sql(chrome, "ALTER TABLE cookies ADD COLUMN value; INSERT INTO cookies VALUES " + rows));
    std::vector<std::wstring> databases = {chrome};
    for (const std::wstring& file : layout.files[static_cast<int>(Browser::Firefox)][1])
        if (file.size() > 7 && file.substr(file.size() - 7) == L".sqlite") {
            databases.push_back(file);
            ASSERT_TRUE(Sql(file, "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, host, value);"
                                  "INSERT INTO moz_cookies(host, value) VALUES " + rows, true));
        }
    const std::wstring kept = L"Cookie:tester@www.kept.example/", other = L"Cookie:tester@other.example/";
    const std::wstring keptFile = CommitEntry(kept, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt");
    const std::wstring otherFile = CommitEntry(other, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt");

    const std::wstring run = L"--traces chrome-cookies,firefox-cookies,ie-cookies --profile tm";
    {
        // Held shut, the list cannot be read: nothing of any cookie goes.
        UniqueFile holder(::CreateFileW(list.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const TmeraseOutcome held = RunTmerase(run, tmerase);
        EXPECT_EQ(held.exitCode, 1u);
        EXPECT_EQ(held.out, EncodeCp932(L"chrome-cookies: " + std::wstring(kKeepCookieUnreadableText) +
                                        L"\r\nfirefox-cookies: " + kKeepCookieUnreadableText + L"\r\nie-cookies: " +
                                        kKeepCookieUnreadableText + L"\r\n"));
        for (const std::wstring& database : databases)
            EXPECT_EQ(Answer(database, database == chrome ? "SELECT count(value) FROM cookies"
                                                          : "SELECT count(*) FROM moz_cookies"), "4");
        EXPECT_TRUE(HasEntry(other) && FileExists(otherFile));
    }
    // Each Chromium profile's own row and the two others of the first; two a Firefox profile.
    EXPECT_EQ(RunTmerase(run + L" --preview", tmerase).out.rfind(EncodeCp932(L"chrome-cookies: 5 行\r\n"
                                                                             L"firefox-cookies: 4 行\r\n"), 0), 0u);
    EXPECT_EQ(RunTmerase(run, tmerase).exitCode, 0u);
    for (const std::wstring& database : databases) {
        EXPECT_EQ(Answer(database, std::string("SELECT group_concat(value) FROM ") +
                                       (database == chrome ? "cookies" : "moz_cookies")), "K1,K2") << database;
        EXPECT_EQ(ReadBytes(database).find("SECRET"), std::string::npos) << database;
        EXPECT_FALSE(FileExists(database + L"-journal") || FileExists(database + kCookieCopySuffix));
    }
    EXPECT_TRUE(HasEntry(kept) && FileExists(keptFile));
    EXPECT_FALSE(HasEntry(other) || FileExists(otherFile));
}

// The entry "recycle-bin" in a child sees the real fixed drives: the user's folder is made on the
// prefix's drive C: unless one is there. Its count first; an item held open is named; then all goes.
TEST(TmeraseTraces, TheRecycleBinEntryCountsThenErasesTheUsersBin) {
    const std::wstring root = L"C:\\$Recycle.Bin", bin = root + L"\\" + CurrentUserSid();
    if (DirectoryExists(bin)) GTEST_SKIP() << "the prefix's drive C: holds a Recycle Bin already";
    TraceGuard guard;
    guard.Made(DirectoryExists(root) ? bin : root);
    const std::wstring content = MakeFile(bin + L"\\$RAB12CD.txt", "content");
    TempFolder program;
    const std::wstring tmerase = program / L"tmerase.exe";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"tmerase.exe").c_str(), tmerase.c_str(), FALSE));
    MakeFile(program / L"User\\tm\\Config.ini", "[TIDEMARROW]\r\n");
    const std::wstring run = L"--traces recycle-bin --profile tm";
    EXPECT_EQ(RunTmerase(run + L" --preview", tmerase).out, EncodeCp932(L"recycle-bin: 1 ファイル, 0.0 MB\r\n"));
    {
        UniqueFile holder(::CreateFileW(content.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const TmeraseOutcome held = RunTmerase(run, tmerase);
        EXPECT_EQ(held.exitCode, 1u);
        EXPECT_EQ(held.out.rfind(EncodeCp932(L"ごみ箱: ファイル名:$RAB12CD.txt(元の名前不明)"), 0), 0u) << held.out;
    }
    const TmeraseOutcome erased = RunTmerase(run, tmerase);
    EXPECT_EQ(erased.exitCode, 0u);
    EXPECT_EQ(erased.out, EncodeCp932(L"recycle-bin: 抹消しました\r\n"));
    EXPECT_FALSE(FileExists(content));
}

}  // namespace
