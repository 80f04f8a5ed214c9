// The trace eraser on the prefix's own folders, URL cache and typed-address key.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Assertions.h"
#include "common/Paths.h"
#include "engine/EraseSeams.h"
#include "history/IeErase.h"
#include "tests/history/TraceFixture.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"

using namespace traces;

namespace {

using Positions = std::vector<int>;

// Remembers every position a progress bar is given.
LRESULT CALLBACK RecordPosition(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR list) {
    if (message == PBM_SETPOS) reinterpret_cast<Positions*>(list)->push_back(static_cast<int>(wParam));
    return ::DefSubclassProc(bar, message, wParam, lParam);
}

class TraceEraseTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ClearRecordedAssertions();
        // A fresh prefix makes its cache folders when the URL cache is first asked.
        DWORD size = 0;
        if (HANDLE find = ::FindFirstUrlCacheEntryW(nullptr, nullptr, &size)) ::FindCloseUrlCache(find);
        ASSERT_TRUE(DirectoryExists(CacheFolder() + L"\\Content.IE5")) << "the prefix's cache";
    }
    void TearDown() override { ::CoUninitialize(); }

    // Runs the eraser (levels: cookie, cache, recent); the positions its bar was given.
    Positions Run(std::uint8_t targets, EraseLevel cookie = EraseLevel::Speed, EraseLevel cache = EraseLevel::Speed,
                  EraseLevel recent = EraseLevel::Speed) {
        // The service clock stands still: the walk's pacer moves the bar between files only once
        // 50 ms have passed, and a slow disk must not add positions to the steps'.
        EraseSeams still;
        still.clock = [] { return ULONGLONG{0}; };
        SetEraseSeams(still);
        ProgressWindow window;
        Positions positions;
        ::SetWindowSubclass(window.Bar(), RecordPosition, 1, reinterpret_cast<DWORD_PTR>(&positions));
        outcome = TIE_ERASE(targets, cookie, cache, recent).EraseTraces(window.Bar());
        ::RemoveWindowSubclass(window.Bar(), RecordPosition, 1);
        SetEraseSeams({});
        return positions;
    }

    TraceOutcome outcome;  // of the last run
    TempFolder elsewhere;  // outlives what the guard removes, so links never dangle
    TraceGuard guard;
};

TEST_F(TraceEraseTest, CookiesAndCacheDestroyTheirFilesAndEntriesButKeepIndexAndDesktopFiles) {
    const std::wstring cookies = guard.Made(CookieFolder() + L"\\tm-trace");
    const std::wstring content = guard.Made(CacheFolder() + L"\\Content.IE5\\tm-trace");
    // The cache of Windows 8.1 and later, processed the same way where it exists.
    const std::wstring ie = CacheFolder() + L"\\IE";
    if (!DirectoryExists(ie)) guard.Made(ie);
    const std::wstring direct = guard.Made(MakeFile(CacheFolder() + L"\\tm-direct.dat"));
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-report.lnk"));
    const std::vector<std::wstring> kept = {MakeFile(cookies + L"\\INDEX.DAT"), MakeFile(cookies + L"\\a\\Desktop.ini"),
                                            MakeFile(content + L"\\b\\c\\DESKTOP.INI"),
                                            guard.Made(MakeFile(ie + L"\\Index.Dat"))};
    std::vector<std::wstring> gone = {MakeFile(cookies + L"\\user@example[1].txt"), MakeFile(cookies + L"\\a\\b\\x"),
                                      MakeFile(cookies + L"\\hidden.txt"),          MakeFile(cookies + L"\\readonly"),
                                      MakeFile(content + L"\\b\\c\\script.js"),      MakeFile(ie + L"\\d\\page.htm")};
    ::SetFileAttributesW((cookies + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((cookies + L"\\readonly").c_str(), FILE_ATTRIBUTE_READONLY);
    // A link to a file elsewhere is not a trace: neither it nor its target is touched.
    const std::wstring target = MakeFile(elsewhere / L"precious.txt", "precious");
    ASSERT_TRUE(MakeUnixLink(target, cookies + L"\\linked.txt"));
    gone.push_back(CommitEntry(L"http://tm-trace.example/page.html", NORMAL_CACHE_ENTRY, L"html"));
    gone.push_back(CommitEntry(L"Cookie:tester@tm-trace.example/", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt"));
    // A file held open by another program stays; the walk goes on past it.
    const std::wstring locked = MakeFile(cookies + L"\\a-locked.txt");
    {
        UniqueFileLock lock(locked);
        ASSERT_TRUE(lock.Held());
        EXPECT_EQ(Run(TIE_ERASE::Cookies | TIE_ERASE::Cache), (Positions{10, 30, 50, 70, 80, 90}));
    }

    for (const std::wstring& path : kept) EXPECT_TRUE(FileExists(path)) << "kept";
    for (const std::wstring& path : gone) EXPECT_FALSE(path.empty() || FileExists(path)) << "destroyed";
    EXPECT_TRUE(FileExists(locked));
    EXPECT_EQ(ReadBytes(target), "precious");
    EXPECT_TRUE(RemoveUnixLink(cookies + L"\\linked.txt"));
    EXPECT_TRUE(FileExists(direct)) << "files directly in the cache folder are not the cache's";
    EXPECT_TRUE(FileExists(recent)) << "recent files were not chosen";
    EXPECT_FALSE(HasEntry(L"http://tm-trace.example/page.html"));
    EXPECT_FALSE(HasEntry(L"Cookie:tester@tm-trace.example/"));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(TraceEraseTest, EachKindTakesOnlyItsOwnEntries) {
    const std::wstring page = L"http://tm-kinds.example/a.css", cookie = L"Cookie:tester@tm-kinds.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"css").empty());
    ASSERT_FALSE(CommitEntry(cookie, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt").empty());

    EXPECT_EQ(Run(TIE_ERASE::RecentFiles), (Positions{10, 30, 80, 90})) << "the cache is walked, nothing goes";
    EXPECT_TRUE(HasEntry(page) && HasEntry(cookie));
    EXPECT_EQ(Run(TIE_ERASE::Cookies), (Positions{10, 30, 50, 80, 90}));
    EXPECT_TRUE(HasEntry(page));
    EXPECT_FALSE(HasEntry(cookie));
    EXPECT_EQ(Run(TIE_ERASE::Cache), (Positions{10, 30, 70, 80, 90}));
    EXPECT_FALSE(HasEntry(page));
}

TEST_F(TraceEraseTest, RecentFilesTakeTheirOwnLevelAndNeedNoProgressBar) {
    const std::wstring folder = guard.Made(RecentFolder() + L"\\tm-recent");
    const std::wstring shortcut = MakeFile(folder + L"\\報告書 (最終).doc.lnk", std::string(1000, 's'));
    const std::wstring kept = MakeFile(folder + L"\\desktop.ini");
    int passes = 0;
    EraseSeams seams;
    seams.observer = [&](const OverwriteEvent& event) { passes = event.passesDone; };
    SetEraseSeams(seams);
    TIE_ERASE(TIE_ERASE::RecentFiles, EraseLevel::Speed, EraseLevel::Speed, EraseLevel::High).EraseTraces(nullptr);
    SetEraseSeams({});
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_TRUE(FileExists(kept));
    EXPECT_EQ(passes, 3) << "the High level of recent files, not the cookie or cache level";
}

TEST_F(TraceEraseTest, HistoryEmptiesTheTypedAddressesAndTouchesNoFile) {
    const std::wstring cookie = guard.Made(MakeFile(CookieFolder() + L"\\tm-history.txt"));
    const std::wstring page = L"http://tm-history.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"htm").empty());
    WriteTypedUrls({{L"url1", L"http://example.com/"}, {L"url2", L"http://例え.jp/"}, {L"url3", L"ftp://x/"}});
    const std::wstring subKey = std::wstring(kTypedUrlsKey) + L"\\Kept";
    HKEY sub = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(sub);

    // Wine's history object answers E_NOTIMPL to the clearing; the run goes on all the same.
    EXPECT_EQ(Run(TIE_ERASE::History), (Positions{10, 30, 80, 90}));
    const TypedUrls typed = ReadTypedUrls();
    EXPECT_TRUE(typed.exists && typed.values.empty()) << "the key stays, empty";
    EXPECT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, subKey.c_str()), ERROR_SUCCESS) << "sub-keys are not touched";
    EXPECT_TRUE(FileExists(cookie));
    EXPECT_TRUE(HasEntry(page));

    // An empty key, then none at all (which is not made): nothing to do.
    EXPECT_NO_THROW(ClearBrowserHistory());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kTypedUrlsKey);
    EXPECT_NO_THROW(ClearBrowserHistory());
    EXPECT_FALSE(ReadTypedUrls().exists);
    Run(TIE_ERASE::Cache);
}

TEST_F(TraceEraseTest, AnOpenBrowserWindowHoldsBackOnlyItsOwnEntries) {
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-browser.lnk"));
    const std::wstring page = L"http://tm-browser.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"htm").empty());
    WriteTypedUrls({{L"url1", L"http://example.com/"}});
    {
        BrowserWindow browser;
        ASSERT_NE(browser.Handle(), nullptr);
        Run(TIE_ERASE::RecentFiles | TIE_ERASE::Cache | TIE_ERASE::History);
        EXPECT_TRUE(outcome.ieWindowOpen);
        EXPECT_EQ(LeftLines(outcome), (std::vector<std::wstring>{
                                          TIE_ERASE::EntryName(TIE_ERASE::Cache) + L": " + kIeOpenReason,
                                          TIE_ERASE::EntryName(TIE_ERASE::History) + L": " + kIeOpenReason}));
        EXPECT_FALSE(FileExists(recent)) << "not Internet Explorer's";
        EXPECT_TRUE(HasEntry(page));
        EXPECT_EQ(ReadTypedUrls().values.size(), 1u);
    }
    EXPECT_EQ(Run(TIE_ERASE::Cache), (Positions{10, 30, 70, 80, 90})) << "closed, it blocks no more";
    EXPECT_FALSE(HasEntry(page));
    EXPECT_EQ(CompletionText(outcome), L"処理が完了しました ");
}

TEST(TraceOutcomeTexts, TheCompletionMessageShowsTwentyLinesAndCountsTheRest) {
    TraceOutcome outcome;
    for (int index = 0; index < 22; ++index)
        outcome.left.push_back({TIE_ERASE::Cookies, L"C:\\c\\" + std::to_wstring(index) + L".txt"});
    const std::wstring text = CompletionText(outcome);
    EXPECT_EQ(text.substr(0, text.find(L"\r\n\u30FB")), L"一部を抹消できませんでした。");
    EXPECT_NE(text.find(L"\r\n\u30FBインターネットエクスプローラ\u3000クッキー: C:\\c\\19.txt\r\nほか 2 件"),
              std::wstring::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\u30FB'), 20);
}

}  // namespace
