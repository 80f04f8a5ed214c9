// The trace eraser on the prefix's own folders, URL cache and typed-address key.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <stdexcept>
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

// A progress bar in a window of its own that remembers every position it is given.
class RecordingBar {
public:
    RecordingBar() { ::SetWindowSubclass(window_.Bar(), Record, 1, reinterpret_cast<DWORD_PTR>(this)); }
    ~RecordingBar() { ::RemoveWindowSubclass(window_.Bar(), Record, 1); }
    HWND Bar() const { return window_.Bar(); }
    Positions positions;

private:
    static LRESULT CALLBACK Record(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        if (message == PBM_SETPOS) reinterpret_cast<RecordingBar*>(self)->positions.push_back(static_cast<int>(wParam));
        return ::DefSubclassProc(bar, message, wParam, lParam);
    }
    ProgressWindow window_;
};

class TraceEraseTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ClearRecordedAssertions();
        ASSERT_FALSE(CookieFolder().empty());
        ASSERT_TRUE(DirectoryExists(CacheFolder() + L"\\Content.IE5")) << "the prefix's cache";
    }
    void TearDown() override { ::CoUninitialize(); }

    // Runs the eraser with the levels cookie, cache, recent; the positions the bar was given.
    Positions Run(std::uint8_t targets, EraseLevel cookie = EraseLevel::Speed, EraseLevel cache = EraseLevel::Speed,
                  EraseLevel recent = EraseLevel::Speed) {
        RecordingBar bar;
        TIE_ERASE(targets, cookie, cache, recent).EraseTraces(bar.Bar());
        return bar.positions;
    }

    TraceGuard guard;
};

TEST_F(TraceEraseTest, CookiesAndCacheDestroyTheirFilesAndEntriesButKeepIndexAndDesktopFiles) {
    const std::wstring cookies = guard.Made(CookieFolder() + L"\\tm-trace");
    const std::wstring content = guard.Made(CacheFolder() + L"\\Content.IE5\\tm-trace");
    const bool newCacheFolder = !DirectoryExists(CacheFolder() + L"\\IE");
    const std::wstring ie = CacheFolder() + L"\\IE";
    if (newCacheFolder) guard.Made(ie);
    const std::wstring direct = guard.Made(MakeFile(CacheFolder() + L"\\tm-direct.dat"));
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-report.lnk"));

    const std::vector<std::wstring> kept = {
        MakeFile(cookies + L"\\INDEX.DAT"),           MakeFile(cookies + L"\\nested\\Desktop.ini"),
        MakeFile(content + L"\\index.dat"),           MakeFile(content + L"\\deep\\er\\DESKTOP.INI"),
        guard.Made(MakeFile(ie + L"\\Index.Dat")),
    };
    std::vector<std::wstring> gone = {
        MakeFile(cookies + L"\\user@example[1].txt"), MakeFile(cookies + L"\\nested\\deeper\\x.txt"),
        MakeFile(cookies + L"\\hidden.txt"),          MakeFile(cookies + L"\\readonly.txt"),
        MakeFile(content + L"\\picture.gif"),         MakeFile(content + L"\\deep\\er\\script.js"),
        guard.Made(MakeFile(ie + L"\\tm-trace\\page.htm")),
    };
    ::SetFileAttributesW((cookies + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((cookies + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring pageFile = CommitEntry(L"http://tm-trace.example/page.html", NORMAL_CACHE_ENTRY, L"html");
    const std::wstring cookieFile =
        CommitEntry(L"Cookie:tester@tm-trace.example/", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt");
    ASSERT_FALSE(pageFile.empty());
    ASSERT_FALSE(cookieFile.empty());
    gone.push_back(pageFile);
    gone.push_back(cookieFile);
    // A file held open by another program stays; the walk goes on past it.
    const std::wstring locked = MakeFile(cookies + L"\\a-locked.txt");
    {
        UniqueFileLock lock(locked);
        ASSERT_TRUE(lock.Held());
        EXPECT_EQ(Run(TIE_ERASE::Cookies | TIE_ERASE::Cache), (Positions{10, 30, 50, 70, 80, 90}));
    }

    for (const std::wstring& path : kept) EXPECT_TRUE(FileExists(path)) << "kept: " << std::string(path.begin(), path.end());
    for (const std::wstring& path : gone) EXPECT_FALSE(FileExists(path)) << "left: " << std::string(path.begin(), path.end());
    EXPECT_TRUE(FileExists(locked));
    EXPECT_TRUE(FileExists(direct)) << "files directly in the cache folder are not the cache's";
    EXPECT_TRUE(FileExists(recent)) << "recent files were not chosen";
    EXPECT_FALSE(HasEntry(L"http://tm-trace.example/page.html"));
    EXPECT_FALSE(HasEntry(L"Cookie:tester@tm-trace.example/"));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(TraceEraseTest, EachKindTakesOnlyItsOwnEntries) {
    const std::wstring page = L"http://tm-kinds.example/a.css";
    const std::wstring cookie = L"Cookie:tester@tm-kinds.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"css").empty());
    ASSERT_FALSE(CommitEntry(cookie, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt").empty());

    // Neither kind: the cache is walked and nothing goes.
    EXPECT_EQ(Run(TIE_ERASE::RecentFiles), (Positions{10, 30, 80, 90}));
    EXPECT_TRUE(HasEntry(page));
    EXPECT_TRUE(HasEntry(cookie));

    EXPECT_EQ(Run(TIE_ERASE::Cookies), (Positions{10, 30, 50, 80, 90}));
    EXPECT_TRUE(HasEntry(page));
    EXPECT_FALSE(HasEntry(cookie));

    EXPECT_EQ(Run(TIE_ERASE::Cache), (Positions{10, 30, 70, 80, 90}));
    EXPECT_FALSE(HasEntry(page));
}

TEST_F(TraceEraseTest, RecentFilesAreDestroyedWithTheirOwnLevel) {
    const std::wstring folder = guard.Made(RecentFolder() + L"\\tm-recent");
    const std::wstring shortcut = MakeFile(folder + L"\\報告書 (最終).doc.lnk", std::string(1000, 's'));
    const std::wstring kept = MakeFile(folder + L"\\desktop.ini");
    int passes = 0;
    SetEraseSeams({[&](const OverwriteEvent& event) {
                       if (event.kind == OverwriteEvent::PassEnd) passes = event.passesDone;
                   },
                   {},
                   {}});
    const Positions positions = Run(TIE_ERASE::RecentFiles, EraseLevel::Speed, EraseLevel::Speed, EraseLevel::High);
    SetEraseSeams({});
    EXPECT_EQ(positions, (Positions{10, 30, 80, 90}));
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_TRUE(FileExists(kept));
    EXPECT_EQ(passes, 3) << "the High level of recent files, not the cookie or cache level";
}

TEST_F(TraceEraseTest, HistoryClearsTheTypedAddressesAndTouchesNoFile) {
    const std::wstring cookie = guard.Made(MakeFile(CookieFolder() + L"\\tm-history.txt"));
    const std::wstring page = L"http://tm-history.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"htm").empty());
    WriteTypedUrls({{L"url1", L"http://example.com/"}, {L"url2", L"http://例え.jp/"}, {L"url3", L"ftp://x/"}});
    HKEY sub = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kTypedUrlsKey) + L"\\Kept").c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(sub);

    // Wine's history object answers E_NOTIMPL to the clearing; the run goes on all the same.
    EXPECT_EQ(Run(TIE_ERASE::History), (Positions{10, 30, 80, 90}));
    const TypedUrls typed = ReadTypedUrls();
    EXPECT_TRUE(typed.exists) << "the key stays";
    EXPECT_TRUE(typed.values.empty());
    EXPECT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(kTypedUrlsKey) + L"\\Kept").c_str()), ERROR_SUCCESS)
        << "sub-keys are not touched";
    EXPECT_TRUE(FileExists(cookie));
    EXPECT_TRUE(HasEntry(page));

    // An empty key, then no key at all: nothing to do, no failure.
    EXPECT_NO_THROW(ClearBrowserHistory());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kTypedUrlsKey);
    EXPECT_NO_THROW(ClearBrowserHistory());
    EXPECT_FALSE(ReadTypedUrls().exists) << "a missing key is not made";
    Run(TIE_ERASE::Cache);
}

TEST_F(TraceEraseTest, WithoutTheHistoryObjectTheRunEndsWithAnErrorAndTheTypedAddressesStay) {
    WriteTypedUrls({{L"url1", L"http://example.com/"}});
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-before-history.lnk"));
    RecordingBar bar;
    {
        // Without COM on this thread the history object cannot be made.
        WithoutCom noCom;
        EXPECT_THROW(TIE_ERASE(TIE_ERASE::RecentFiles | TIE_ERASE::History, EraseLevel::Speed, EraseLevel::Speed,
                               EraseLevel::Speed)
                         .EraseTraces(bar.Bar()),
                     std::runtime_error);
    }
    EXPECT_EQ(bar.positions, (Positions{10, 30, 80}));
    EXPECT_FALSE(FileExists(recent)) << "the steps before the history ran";
    EXPECT_EQ(ReadTypedUrls().values.size(), 1u);
}

TEST_F(TraceEraseTest, AnOpenBrowserWindowBlocksEverything) {
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-browser.lnk"));
    const std::wstring cookie = guard.Made(MakeFile(CookieFolder() + L"\\tm-browser.txt"));
    const std::wstring page = L"http://tm-browser.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"htm").empty());
    WriteTypedUrls({{L"url1", L"http://example.com/"}});

    WNDCLASSW browserClass{};
    browserClass.lpfnWndProc = ::DefWindowProcW;
    browserClass.hInstance = ::GetModuleHandleW(nullptr);
    browserClass.lpszClassName = TIE_ERASE::kBrowserClass;
    ::RegisterClassW(&browserClass);
    HWND browser = ::CreateWindowExW(0, TIE_ERASE::kBrowserClass, L"Browser", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                     nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(browser, nullptr);

    DialogAnswerer ok(TIE_ERASE::kBrowserOpenCaption, IDOK);
    const Positions positions = Run(0xFF);
    ASSERT_TRUE(ok.Wait());
    EXPECT_NE(ok.Text().find(TIE_ERASE::kBrowserOpenText), std::wstring::npos);
    EXPECT_TRUE(positions.empty()) << "the bar is not moved";
    EXPECT_TRUE(FileExists(recent));
    EXPECT_TRUE(FileExists(cookie));
    EXPECT_TRUE(HasEntry(page));
    EXPECT_EQ(ReadTypedUrls().values.size(), 1u);

    ::DestroyWindow(browser);
    EXPECT_EQ(Run(TIE_ERASE::Cache), (Positions{10, 30, 70, 80, 90})) << "closed, it blocks no more";
    EXPECT_FALSE(HasEntry(page));
}

TEST_F(TraceEraseTest, WithoutAProgressBarNothingIsShownAndTheWorkIsDone) {
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-no-bar.lnk"));
    TIE_ERASE(TIE_ERASE::RecentFiles, EraseLevel::Speed, EraseLevel::Speed, EraseLevel::Speed).EraseTraces(nullptr);
    EXPECT_FALSE(FileExists(recent));
}

}  // namespace
