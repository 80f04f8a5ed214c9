#pragma once

// The eraser of the traces the desktop shell and the browsers keep: the files of the
// recent-documents, cookie and cache folders (destroyed through the erase engine at a level per
// kind), the URL cache entries, the URL history and the typed addresses of Internet Explorer;
// the cache, cookies and history of Microsoft Edge, Google Chrome and Firefox in every profile
// (`BrowserTraces.h`); and Explorer's own lists.
//
//   TIE_ERASE eraser(TIE_ERASE::Cookies | TIE_ERASE::BrowserTarget(Browser::Chrome, BrowserTrace::Cache),
//                    cookieLevel, cacheLevel, recentLevel, Application().Handle());
//   const TraceOutcome outcome = eraser.EraseTraces(progressBar);   // the bar may be null
//
// Internet Explorer's entries wait while a window of the class "IEFrame" is open; a browser
// that still runs in this session keeps its traces. The run shows nothing itself: what it
// left, and why, is in the outcome it returns (`TraceOutcome.h`).

#include <windows.h>

#include <wininet.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Types.h"
#include "history/BrowserTraces.h"
#include "history/CookieKeep.h"
#include "history/TraceOutcome.h"

class TIE_ERASE {
public:
    // Bits of `targets`: Internet Explorer's and the shell's four kinds, then three per
    // browser (`BrowserTarget`), then Explorer's lists.
    enum Target : std::uint16_t {
        Cookies = 1,
        Cache = 2,
        RecentFiles = 4,
        History = 8,
        ExplorerHistory = 0x2000,
        // The current user's Recycle Bin: an entry of the tools' lists that the front ends run
        // with the Recycle Bin engine (`RecycleBinEntry.h`); the eraser itself passes it over.
        RecycleBin = 0x8000,
    };
    static constexpr std::uint16_t BrowserTarget(Browser browser, BrowserTrace kind) {
        return static_cast<std::uint16_t>(0x10u << (3 * static_cast<unsigned>(browser) + static_cast<unsigned>(kind)));
    }

    // Internet Explorer's own entries (not the recent files).
    static constexpr std::uint16_t kIeEntries = Cookies | Cache | History;

    // The class of the browser's top-level window, whose presence holds back its entries.
    static constexpr const wchar_t* kBrowserClass = L"IEFrame";
    static constexpr const wchar_t* kBrowserOpenText = L"インターネットエクスプローラーを終了させて下さい。";
    static constexpr const wchar_t* kBrowserOpenCaption = L"確認";
    // Files of these names (in any letter case) stay in every folder.
    static constexpr const wchar_t* kKeptNames[] = {L"index.dat", L"desktop.ini"};
    // The folders pinned to Quick Access, kept in the recent-documents folder.
    static constexpr const wchar_t* kQuickAccessPins =
        L"AutomaticDestinations\\f01b4d95cf55d32a.automaticDestinations-ms";
    // The warning for browsers that still run; their names follow, one a line.
    static constexpr const wchar_t* kBrowsersRunningText =
        L"次のブラウザーが動いているため、その履歴などは抹消しませんでした。"
        L"ブラウザーを終了させてから、もう一度実行して下さい。";
    static constexpr const wchar_t* kEdgeRunningText =
        L"Microsoft Edge はウインドウを閉じても、スタートアップ ブーストやバックグラウンドの拡張機能とアプリのために"
        L"動き続けることがあります。Edge の「設定」の「システムとパフォーマンス」で「スタートアップ ブースト」と"
        L"「Microsoft Edge が終了してもバックグラウンドの拡張機能およびアプリの実行を続行する」をオフにするか、"
        L"タスク マネージャーで msedge.exe をすべて終了させて下さい。";
    // The report of a Firefox history database that could not be cleaned; its folder follows.
    static constexpr const wchar_t* kPlacesFailedText =
        L"Firefox の履歴を抹消できませんでした。履歴とブックマークのデータベースは元のままです。";
    static constexpr const wchar_t* kPlacesStrandedText =
        L"Firefox の履歴を抹消できず、データベースを元に戻せませんでした。元のデータベースの複製 "
        L"places.sqlite.tidemarrow-copy がプロファイルのフォルダに残っています。";

    // `owner` is the window the shell's folder lookups are made for (the application window).
    TIE_ERASE(std::uint16_t targets, EraseLevel cookieLevel, EraseLevel cacheLevel, EraseLevel recentLevel,
              HWND owner = nullptr);

    // Runs the chosen kinds in their fixed order, moving `progressBar` (range 0..100, may be
    // null) to 10, 30, [50], [70], 80 and 90; the browsers' kinds and Explorer's lists follow
    // in the order of their bits, and with them chosen Internet Explorer's positions shrink in
    // proportion so that each later kind gets its share before 90. With an "IEFrame" window
    // open Internet Explorer's entries (and the URL cache walk) are passed over; a browser of
    // a chosen kind that still runs has its kinds passed over; the rest goes on. A file that
    // stays (held open elsewhere, say) is named in the outcome. A failure of the history step
    // leaves through here (std::runtime_error); the other steps' failures are reported to the
    // error handler and the run goes on.
    TraceOutcome EraseTraces(HWND progressBar);

    // What each chosen entry would erase, in the order of the entries, without changing
    // anything: the files (and their bytes) it would destroy, and the rows it would delete
    // inside a database or the registry; an entry passed over says why instead.
    std::vector<EntryPreview> Preview();

    // The entry's name as the tools list it: "最近使ったファイル",
    // "インターネットエクスプローラ　クッキー", …, "Google Chrome　履歴", "エクスプローラ　履歴",
    // "ごみ箱".
    static std::wstring EntryName(std::uint16_t target);
    // The entry's name on a command line: "recent", "ie-cookies", "ie-cache", "ie-history",
    // "edge-cache", "edge-cookies", "edge-history", "chrome-…", "firefox-…", "explorer-history",
    // "recycle-bin";
    // and the entry of such a name (in any letter case), 0 for none.
    static std::wstring CommandName(std::uint16_t target);
    static std::uint16_t TargetOfCommandName(const std::wstring& name);

    std::uint16_t Targets() const { return targets_; }

    // The sites whose cookies every cookie entry keeps (`CookieKeep.h`). An unreadable list
    // keeps the cookie entries from running at all; an empty one lets them destroy every
    // cookie file whole, as without a list.
    void SetKeptCookieSites(KeptCookieSites kept) { keptCookies_ = std::move(kept); }
    // Every cookie entry: Internet Explorer's and each browser's.
    static std::uint16_t CookieEntries() {
        std::uint16_t entries = Cookies;
        for (Browser browser : kBrowsers) entries |= BrowserTarget(browser, BrowserTrace::Cookies);
        return entries;
    }

    // The folders whose files a kind destroys, in the order they are processed; only those
    // that exist. Empty for the history kinds.
    std::vector<std::wstring> TraceFolders(Target kind) const;

    // True for the names that are left alone ("index.dat", "desktop.ini", in any case).
    static bool IsKeptFile(const std::wstring& path);

    // Hands every entry of the URL cache to `visit` (a failure is reported and ends the walk).
    static void WalkUrlCache(const std::function<void(const INTERNET_CACHE_ENTRY_INFOW&)>& visit);
    // The host of a cookie entry's name "Cookie:user@host/path".
    static std::wstring CookieEntryHost(const std::wstring& sourceUrl);

private:
    void SetProgress(HWND progressBar, int position) const;
    std::wstring SpecialFolder(int csidl) const;
    // Walks the folders of `kind`; the bar moves from `from` towards `to` as the files go.
    void EraseTraceFolder(Target kind, TraceOutcome& outcome, HWND progressBar = nullptr, int from = 0, int to = 0);
    void CleanUrlCache(bool cache, bool cookies);
    bool KeptIeCookie(const INTERNET_CACHE_ENTRY_INFOW& entry) const;
    bool KeptIeCookieFile(const std::wstring& path) const;
    void FindKeptIeCookieFiles();
    std::vector<std::wstring> FolderFilesToErase(Target kind) const;
    void KeepCookieDatabases(Browser browser, TraceOutcome& outcome);
    void EraseBrowserTraces(Browser browser, BrowserTrace kind, TraceOutcome& outcome);
    void CleanFirefoxHistory(EraseLevel level, TraceOutcome& outcome);
    static bool BrowserOpen();

    std::uint16_t targets_;
    EraseLevel cacheLevel_;
    EraseLevel cookieLevel_;
    EraseLevel recentLevel_;
    HWND owner_;
    KeptCookieSites keptCookies_;
    std::vector<std::wstring> keptIeCookieFiles_;  // the local files of kept cookie entries
};

// Clears the URL history store and deletes every value of the typed-address key
// (HKCU\Software\Microsoft\Internet Explorer\TypedURLs; the key itself stays). Throws
// std::runtime_error when the history object cannot be made or lacks the interface; the typed
// addresses then stay.
void ClearBrowserHistory();

// The key of the typed addresses under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kTypedUrlsKey = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
