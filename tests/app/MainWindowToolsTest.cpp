// The history tools panel through the real main window: opening and closing it, its ticks,
// the look before a run, and runs over the prefix's own trace folders, URL cache and typed
// addresses.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/Handles.h"
#include "common/TextCodec.h"
#include "engine/EraseSeams.h"
#include "engine/RecycleBin.h"
#include "history/HistorySeams.h"
#include "history/IeErase.h"
#include "history/TraceRun.h"
#include "app/TraceScheduleWindow.h"
#include "tests/profiles/ModalScript.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/history/BrowserFixture.h"
#include "tests/history/TraceFixture.h"

using namespace traces;

namespace {

const HWND keeper = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);

const wchar_t kAsk[] = L"確認";
const wchar_t kTitle[] = L"TIDEMARROW32 SE";

// Answers message boxes one after another from a thread of its own: each step waits for a box
// with its caption that has its button, runs its check (on the watcher's thread) and presses it.
class BoxSequence {
public:
    struct Step {
        std::wstring caption;
        int button;
        std::function<void()> whileShown = {};
    };

    explicit BoxSequence(std::vector<Step> steps, DWORD timeoutMs = 30000)
        : steps_(std::move(steps)), timeoutMs_(timeoutMs), watcher_([this] { Watch(); }) {}
    ~BoxSequence() { Wait(); }

    // The number of boxes answered, after all steps or the deadline.
    std::size_t Wait() {
        if (watcher_.joinable()) watcher_.join();
        return answered_;
    }
    // The text of each answered box.
    std::vector<std::wstring> texts;

private:
    void Watch() {
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs_;
        HWND previous = nullptr;
        for (const Step& step : steps_) {
            HWND box = nullptr;
            while (!box && ::GetTickCount64() < deadline) {
                box = FindOwnDialog([&](HWND dialog) {
                    return dialog != previous && ui::WindowText(dialog) == step.caption &&
                           ::GetDlgItem(dialog, step.button) != nullptr;
                });
                if (!box) ::Sleep(20);
            }
            if (!box) return;
            texts.push_back(ui::WindowText(::GetDlgItem(box, 0xFFFF)));  // the box's text
            if (step.whileShown) step.whileShown();
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(box, step.button)));
            previous = box;
            ++answered_;
        }
    }

    std::vector<Step> steps_;
    DWORD timeoutMs_;
    std::atomic<std::size_t> answered_{0};
    std::thread watcher_;
};

bool IsGrayed(HMENU menu, UINT item) {
    const UINT state = ::GetMenuState(menu, item, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_GRAYED) != 0;
}

class ToolsPanelTest : public WorkflowTest {
protected:
    HWND Main() { return window->Handle(); }
    bool RunEnabled() { return ::IsWindowEnabled(window->RunToolsButton) != FALSE; }
    void Tick(int item, bool ticked) { window->TraceList.SetTicked(item, ticked); }
    void Open() {
        SendCommand(Command::OpenHistoryTools);
        ASSERT_TRUE(::IsWindowVisible(window->Toolspanel.Handle()));
    }
    // Presses the run button with the answers given.
    std::size_t RunWith(std::vector<BoxSequence::Step> steps) {
        BoxSequence boxes(std::move(steps));
        Click(window->RunToolsButton);
        const std::size_t answered = boxes.Wait();
        lastTexts = boxes.texts;
        return answered;
    }
    // After a run: not busy, the controls enabled, the waiting text and the bar hidden, the bar at 0.
    bool Settled() {
        return !window->Busy && RunEnabled() && ::IsWindowEnabled(window->CloseToolsButton) &&
               ::IsWindowEnabled(window->TraceList.Handle()) && !::IsWindowVisible(window->ToolsWaitLabel) &&
               !::IsWindowVisible(window->ToolsProgress) &&
               ::SendMessageW(window->ToolsProgress, PBM_GETPOS, 0, 0) == 0;
    }

    std::vector<std::wstring> lastTexts;
    TraceGuard guard;
};

TEST_F(ToolsPanelTest, OpeningShowsUntickedKindsLocksTheFrameAndClosingGivesTheWindowBack) {
    Make();
    const std::wstring listed = File(L"listed.txt");
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(::IsZoomed(Main()));
    Open();
    EXPECT_FALSE(::IsWindowVisible(window->MainPanel.Handle()));
    EXPECT_FALSE(::IsZoomed(Main())) << "the panel shows in the normal state";
    EXPECT_EQ(window->SavedWindowState, 2);
    const std::wstring ie = L"インターネットエクスプローラ\u3000";
    const std::vector<std::wstring> items = {L"最近使ったファイル", ie + L"クッキー", ie + L"キャッシュ", ie + L"履歴"};
    ASSERT_GE(window->TraceList.RowCount(), 5);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(window->TraceList.Text(i, 0), items[i]);
    EXPECT_EQ(window->CountToolsTicked(), 0);
    EXPECT_EQ(ui::WindowText(window->RunToolsButton), L"選択した作業を開始");
    EXPECT_FALSE(::IsWindowVisible(window->ToolsWaitLabel) || ::IsWindowVisible(window->ToolsProgress));

    // Alt+S on the label's letter takes the focus to the list.
    ::SetFocus(window->CloseToolsButton);
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_KEYMENU, L's');
    EXPECT_EQ(::GetFocus(), window->TraceList.Handle());

    // The ticks drive the run button.
    EXPECT_FALSE(RunEnabled());
    Tick(2, true);
    EXPECT_TRUE(RunEnabled());
    Tick(0, true);
    Tick(2, false);
    EXPECT_TRUE(RunEnabled());
    Tick(0, false);
    EXPECT_FALSE(RunEnabled());

    // The frame neither maximizes nor closes; files are not added meanwhile.
    for (HMENU menu : {::GetSystemMenu(Main(), FALSE), ::GetSystemMenu(App().Handle(), FALSE)})
        EXPECT_TRUE(IsGrayed(menu, SC_CLOSE));
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ::SendMessageW(Main(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_FALSE(::IsZoomed(Main()));
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(::IsWindow(Main()));
    Add(listed);
    EXPECT_EQ(Rows(), 0);

    // No to the question leaves everything as it was.
    Tick(1, true);
    ASSERT_EQ(RunWith({{kAsk, IDNO}}), 1u);
    EXPECT_TRUE(Settled());

    // Closing: the list again, maximized again, the frame free.
    Click(window->CloseToolsButton);
    EXPECT_FALSE(::IsWindowVisible(window->Toolspanel.Handle()));
    EXPECT_TRUE(::IsWindowVisible(window->MainPanel.Handle()));
    EXPECT_TRUE(::IsZoomed(Main()));
    for (HMENU menu : {::GetSystemMenu(Main(), FALSE), ::GetSystemMenu(App().Handle(), FALSE)})
        EXPECT_FALSE(IsGrayed(menu, SC_CLOSE));
    EXPECT_TRUE(::IsWindowEnabled(window->MainToolBar));
    Add(listed);
    EXPECT_EQ(Rows(), 1);

    // Opened again, every kind is unticked.
    Open();
    EXPECT_EQ(window->CountToolsTicked(), 0);
    EXPECT_FALSE(RunEnabled());
}

TEST_F(ToolsPanelTest, AScheduledRunHoldsTheRunBackAndTheScheduleWindowRegistersAndRemovesTheTask) {
    Make();
    Open();
    Tick(0, true);  // the recent files
    Tick(3, true);  // Internet Explorer's history
    {
        // A scheduled run holds the lock past the wait: the panel says so and runs nothing.
        RunLockHolder scheduled;
        const DWORD wait = TraceRunLockWait();
        SetTraceRunLockWait(300);
        ASSERT_EQ(RunWith({{kAsk, IDYES}, {kTitle, IDOK}}), 2u);
        SetTraceRunLockWait(wait);
        EXPECT_NE(lastTexts[1].find(L"スケジュールによる履歴抹消が実行中"), std::wstring::npos) << lastTexts[1];
        EXPECT_TRUE(Settled());
    }

    // The schedule window: the ticked entries, a time checked, then 登録 and 解除 through the
    // prefix's Task Scheduler (which keeps no trigger: only that the task is there).
    struct TaskCleanup {
        ~TaskCleanup() { RemoveTraceTask(); }
    } cleanup;
    using W = TTraceScheduleWindow;
    HWND form = nullptr;
    const auto item = [&](int id) { return ::GetDlgItem(form, id); };
    const auto text = [&](int id) { return ui::WindowText(item(id)); };
    const auto click = [&](int id) { ::SendMessageW(item(id), BM_CLICK, 0, 0); };
    const auto registered = [] {
        RegisteredTraceTask task;
        return ReadTraceTask(task) == S_OK && task.exists;
    };
    ModalScript script;
    script.Until([&] { return (form = FindOwnWindow(L"TTraceScheduleWindow", L"履歴抹消のスケジュール")) != nullptr; })
        .Do([&] {
            EXPECT_EQ(::SendMessageW(item(W::IDC_SCHEDULE_ENTRIES), LB_GETCOUNT, 0, 0), 2);
            EXPECT_EQ(text(W::IDC_SCHEDULE_CURRENT), L"登録されているスケジュール: なし");
            EXPECT_FALSE(::IsWindowEnabled(item(W::IDC_REMOVE_SCHEDULE)));
            EXPECT_FALSE(::IsWindowEnabled(item(W::IDC_SCHEDULE_TIME))) << "a logon has no time";
            click(W::IDC_SCHEDULE_WEEKLY);
            EXPECT_TRUE(::IsWindowEnabled(item(W::IDC_SCHEDULE_TIME)) && ::IsWindowEnabled(item(W::IDC_SCHEDULE_DAY)));
            ::SetWindowTextW(item(W::IDC_SCHEDULE_TIME), L"24:00");
            DialogAnswerer bad(L"履歴抹消のスケジュール", IDOK);
            click(W::IDC_REGISTER_SCHEDULE);
            EXPECT_TRUE(bad.Wait());
            EXPECT_NE(bad.Text().find(L"23:59"), std::wstring::npos);
            EXPECT_FALSE(registered());

            ::SetWindowTextW(item(W::IDC_SCHEDULE_TIME), L"7:05");
            click(W::IDC_REGISTER_SCHEDULE);
            EXPECT_TRUE(registered());
            EXPECT_NE(text(W::IDC_SCHEDULE_CURRENT), L"登録されているスケジュール: なし");
            EXPECT_EQ(text(W::IDC_SCHEDULE_LAST_RUN), L"前回の実行: 未実行");
            EXPECT_TRUE(::IsWindowEnabled(item(W::IDC_REMOVE_SCHEDULE)));

            click(W::IDC_REMOVE_SCHEDULE);
            EXPECT_FALSE(registered());
            EXPECT_EQ(text(W::IDC_SCHEDULE_CURRENT), L"登録されているスケジュール: なし");
            click(W::IDC_CLOSE_SCHEDULE);
        });
    ASSERT_TRUE(script.Run(Main(), [&] { window->OpenTraceSchedule(); }));
    EXPECT_FALSE(::IsWindow(form));
}

TEST_F(ToolsPanelTest, CookiesAndCacheGoWithTheirEntriesAndTheUserIsTold) {
    WriteConfig({L"#IE_TOOLS_02=2", L"#IE_TOOL_01=0", L"#E_TOOLS_01=0"});
    MakeFile(Savedat() + L"\\keepcookie.txt", "kept.example\r\nalso-kept.example\r\n");
    Make();
    const std::wstring cookies = guard.Made(CookieFolder() + L"\\tm-panel");
    const std::wstring content = guard.Made(CacheFolder() + L"\\Content.IE5\\tm-panel");
    const std::wstring cookieFile = MakeFile(cookies + L"\\tester@site[2].txt", std::string(3000, 'c'));
    const std::wstring cacheFile = MakeFile(content + L"\\sub\\logo.png", std::string(3000, 'p'));
    const std::wstring page = L"http://tm-panel.example/index.html";
    const std::wstring cookie = L"Cookie:tester@tm-panel.example/";
    ASSERT_FALSE(CommitEntry(page, NORMAL_CACHE_ENTRY, L"html").empty());
    ASSERT_FALSE(CommitEntry(cookie, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt").empty());

    // The passes each file got, by name: the levels come from the profile.
    std::map<std::wstring, int> passes;
    SetEraseSeams({[&](const OverwriteEvent& event) {
                       wchar_t path[1024] = {};
                       const DWORD length = ::GetFinalPathNameByHandleW(event.file, path, 1024, 0);
                       if (event.kind == OverwriteEvent::PassEnd && length > 0 && length < 1024)
                           passes[ExtractFileName(path)] = event.passesDone;
                   },
                   {},
                   {},
                   {},
                   {}});

    Open();
    Tick(1, true);
    Tick(2, true);
    // While the completion shows, the run has its controls disabled and its progress on show.
    std::atomic<bool> lockedDuringRun{false};
    const std::size_t answered = RunWith({{kAsk, IDYES}, {kTitle, IDOK, [&] {
                                              lockedDuringRun = window->Busy && !RunEnabled() &&
                                                                !::IsWindowEnabled(window->CloseToolsButton) &&
                                                                !::IsWindowEnabled(window->TraceList.Handle()) &&
                                                                ::IsWindowVisible(window->ToolsWaitLabel) &&
                                                                ::IsWindowVisible(window->ToolsProgress);
                                          }}});
    SetEraseSeams({});
    ASSERT_EQ(answered, 2u);
    EXPECT_EQ(passes[L"tester@site[2].txt"], 3) << "cookies at High";
    EXPECT_EQ(passes[L"logo.png"], 1) << "the cache at Speed";
    EXPECT_EQ(lastTexts[0], L"選択した作業を開始します。ファイル数が多いと時間が掛かる場合があります。\r\n"
                            L"クッキーを残すサイト: 2 件\r\n処理を開始してよろしいですか？");
    EXPECT_EQ(lastTexts[1], L"処理が完了しました ");
    EXPECT_TRUE(lockedDuringRun);

    EXPECT_FALSE(FileExists(cookieFile));
    EXPECT_FALSE(FileExists(cacheFile));
    EXPECT_FALSE(HasEntry(page) || HasEntry(cookie));
    EXPECT_TRUE(Settled());
    EXPECT_EQ(window->CountToolsTicked(), 2) << "the ticks stay";
    EXPECT_TRUE(::IsWindowVisible(window->Toolspanel.Handle()));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(ToolsPanelTest, AnOpenInternetExplorerHoldsBackOnlyItsOwnEntriesAndTheResultNamesThem) {
    Make();
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-browser-panel.lnk"));
    WriteTypedUrls({{L"url1", L"http://example.com/"}});
    BrowserWindow browser;
    ASSERT_NE(browser.Handle(), nullptr);

    Open();
    for (int i = 0; i < 4; ++i) Tick(i, true);
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kAsk, IDOK}, {kTitle, IDOK}}), 3u);
    EXPECT_EQ(lastTexts[1], L"インターネットエクスプローラーを終了させて下さい。");
    std::wstring left = L"一部を抹消できませんでした。";
    for (const wchar_t* kind : {L"クッキー", L"キャッシュ", L"履歴"})
        left += std::wstring(L"\r\n\u30FBインターネットエクスプローラ\u3000") + kind + L": " + kIeOpenReason;
    EXPECT_EQ(lastTexts[2], left);
    EXPECT_FALSE(FileExists(recent)) << "the recent files are not Internet Explorer's";
    EXPECT_EQ(ReadTypedUrls().values.size(), 1u);
    EXPECT_TRUE(Settled());
}

TEST_F(ToolsPanelTest, AFailedHistoryStepIsReportedAndTheRunStillCleansUp) {
    Make();
    WriteTypedUrls({{L"url1", L"http://example.com/"}});
    Open();
    Tick(3, true);
    // The history object is not registered.
    SetUrlHistoryMaker([](const CLSID&, const IID&, void** object) -> HRESULT {
        *object = nullptr;
        return REGDB_E_CLASSNOTREG;
    });
    // The run is over when the click returns: a completion box would have shown by then.
    BoxSequence boxes({{kAsk, IDYES}, {kTitle, IDOK}}, 3000);
    Click(window->RunToolsButton);
    SetUrlHistoryMaker(nullptr);
    EXPECT_EQ(boxes.Wait(), 1u) << "no completion message after a failure";
    EXPECT_TRUE(Reported(L"Error 5E"));
    EXPECT_EQ(ReadTypedUrls().values.size(), 1u) << "the typed addresses stay";
    EXPECT_TRUE(Settled());
}

// --- today's browsers and Explorer's lists ---

class BrowserToolsTest : public ToolsPanelTest {
protected:
    // Ticks the rows after Internet Explorer's whose text holds `part`.
    void TickRows(const std::wstring& part) {
        for (int row = 4; row < window->TraceList.RowCount(); ++row)
            if (window->TraceList.Text(row, 0).find(part) != std::wstring::npos) Tick(row, true);
    }
    // Each made file of a kind is gone exactly when `gone` says so; the kept files are unchanged.
    void ExpectGone(const std::function<bool(Browser, int kind)>& gone) {
        for (Browser browser : kBrowsers)
            for (int kind = 0; kind < 3; ++kind)
                for (const std::wstring& file : layout.files[static_cast<int>(browser)][kind])
                    EXPECT_EQ(FileExists(file), !gone(browser, kind)) << file;
        for (const auto& [path, bytes] : layout.kept) EXPECT_EQ(ReadBytes(path), bytes) << path;
    }
    BrowserLayout layout;
};

TEST_F(BrowserToolsTest, InstalledBrowsersAreListedAndTheirCachesAndCookiesGoAtTheirLevels) {
    WriteConfig({L"#IE_TOOLS_02=2", L"#IE_TOOL_01=1", L"#E_TOOLS_01=0"});
    Make();
    std::map<std::wstring, int> passes;
    EraseSeams seams;
    seams.observer = [&](const OverwriteEvent& event) {
        wchar_t path[1024] = {};
        const DWORD length = ::GetFinalPathNameByHandleW(event.file, path, 1024, 0);
        if (event.kind == OverwriteEvent::PassEnd && length > 0 && length < 1024)
            passes[ExtractFileName(path)] = event.passesDone;
    };
    SetEraseSeams(seams);
    Open();
    std::vector<std::wstring> rows;
    for (int row = 4; row < window->TraceList.RowCount(); ++row) rows.push_back(window->TraceList.Text(row, 0));
    const std::vector<std::wstring> expected = {
        L"Microsoft Edge\u3000キャッシュ", L"Microsoft Edge\u3000クッキー", L"Microsoft Edge\u3000履歴",
        L"Google Chrome\u3000キャッシュ",  L"Google Chrome\u3000クッキー",  L"Google Chrome\u3000履歴",
        L"Firefox\u3000キャッシュ",        L"Firefox\u3000クッキー",        L"Firefox\u3000履歴",
        L"エクスプローラ\u3000履歴", L"ごみ箱"};
    EXPECT_EQ(rows, expected);
    TickRows(L"キャッシュ");
    TickRows(L"クッキー");
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kTitle, IDOK}}), 2u);
    SetEraseSeams({});
    ExpectGone([](Browser, int kind) { return kind != 2; });
    EXPECT_EQ(passes[L"Cookies"], 3) << "cookies at High";
    EXPECT_EQ(passes[L"f_000001"], 2) << "caches at Normal";
    EXPECT_TRUE(Settled());
}

TEST_F(BrowserToolsTest, HistoryGoesBookmarksStayAndARunningBrowserIsLeftAlone) {
    Make();
    // Edge still runs in this session; another program holds one of Chrome's session files.
    StandInBrowser edge(Browser::Edge);
    ASSERT_TRUE(edge.Started());
    ASSERT_TRUE(PumpUntil([] { return BrowserRunning(Browser::Edge); }));
    const std::wstring held = MakeFile(BrowserDataFolder(Browser::Chrome) + L"\\Default\\Current Session");
    UniqueFile holder(::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    Open();
    TickRows(L"\u3000履歴");
    Tick(window->TraceList.RowCount() - 2, false);  // not Explorer's
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kAsk, IDOK}, {kAsk, IDOK}, {kTitle, IDOK}}), 4u);
    EXPECT_NE(lastTexts[1].find(L"\u30FBMicrosoft Edge"), std::wstring::npos);
    EXPECT_NE(lastTexts[1].find(L"スタートアップ ブースト"), std::wstring::npos) << "how to end Edge fully";
    EXPECT_EQ(lastTexts[1].find(L"Chrome"), std::wstring::npos);
    EXPECT_NE(lastTexts[2].find(L"\\tm2"), std::wstring::npos) << "the profile whose database is none";
    ExpectGone([](Browser browser, int kind) { return kind == 2 && browser != Browser::Edge; });

    // Both bookmarks stay, the one only in the log too; visits, visited places and their traces go.
    const std::wstring profile = ExtractFilePath(layout.places);
    for (const std::wstring& gone : {layout.places + L"-wal", profile + kPlacesCopyName, layout.favicons + L"-wal",
                                     profile + kFaviconsCopyName})
        EXPECT_FALSE(FileExists(gone)) << gone;
    EXPECT_EQ(Answer(layout.places, "SELECT group_concat(url, ' ') FROM (SELECT url FROM moz_places ORDER BY id)"),
              std::string(kBookmarkUrl) + " " + kLogBookmarkUrl);
    EXPECT_EQ(Answer(layout.places, "SELECT (SELECT count(*) FROM moz_historyvisits) + (SELECT count(*) FROM moz_annos)"
                                    " + (SELECT count(*) FROM moz_inputhistory) + sum(visit_count) FROM moz_places"),
              "0");
    EXPECT_EQ(Answer(layout.places, "SELECT group_concat(host) || count(*) FROM moz_origins"), "tm-bookmark.example1");
    for (const std::wstring& file : {layout.places, layout.favicons})
        for (const char* secret : {"tm-visited.example", "secret note", "tm-vis"})
            EXPECT_EQ(ReadBytes(file).find(secret), std::string::npos) << secret;
    // The icons of the bookmark's page and site stay.
    EXPECT_EQ(Answer(layout.favicons, "SELECT group_concat(id) FROM moz_icons"), "3,4");
    EXPECT_EQ(Answer(layout.favicons, "SELECT group_concat(page_url) FROM moz_pages_w_icons"), kBookmarkUrl);
    EXPECT_EQ(lastTexts[3], L"一部を抹消できませんでした。\r\n\u30FBMicrosoft Edge\u3000履歴: " +
                                std::wstring(kBrowserRunningReason) + L"\r\n\u30FBGoogle Chrome\u3000履歴: " + held +
                                L"\r\n\u30FBFirefox\u3000履歴: " + BrowserDataFolder(Browser::Firefox) +
                                L"\\Elsewhere\\tm2\\places.sqlite");
    EXPECT_TRUE(Settled());
}

TEST_F(BrowserToolsTest, AFirefoxCleaningThatFailsMidwayPutsTheDatabaseBackAndLeavesTheIcons) {
    Make();
    // A row the cleaning must delete refuses, after the visits and places went.
    ASSERT_TRUE(Sql(layout.places, "CREATE TRIGGER tm_refuse BEFORE DELETE ON moz_annos BEGIN "
                                   "SELECT RAISE(ABORT, 'refused'); END;", true));
    const std::wstring profile = ExtractFilePath(layout.places);
    std::map<std::wstring, std::string> before;
    for (const std::wstring& file : {layout.places, layout.places + L"-wal", layout.favicons})
        before[file] = ReadBytes(file);
    Open();
    TickRows(L"Firefox\u3000履歴");
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kAsk, IDOK}, {kAsk, IDOK}, {kTitle, IDOK}}), 4u);
    EXPECT_EQ(lastTexts[1], std::wstring(TIE_ERASE::kPlacesFailedText) + L"\r\n" +
                                profile.substr(0, profile.size() - 1));
    for (const auto& [file, bytes] : before) EXPECT_EQ(ReadBytes(file), bytes) << file;
    EXPECT_FALSE(FileExists(profile + kPlacesCopyName));
    EXPECT_EQ(lastTexts[3], L"一部を抹消できませんでした。\r\n\u30FBFirefox\u3000履歴: " + layout.places +
                                L"\r\n\u30FBFirefox\u3000履歴: " + layout.favicons + L"\r\n\u30FBFirefox\u3000履歴: " +
                                BrowserDataFolder(Browser::Firefox) + L"\\Elsewhere\\tm2\\places.sqlite");
}

TEST_F(BrowserToolsTest, ExplorerListsLoseTheirValuesAndTheQuickAccessPinsStay) {
    Make();
    std::vector<std::wstring> madeKeys;
    for (const std::wstring key : kExplorerHistoryKeys) {
        if (HKEY opened = nullptr; ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) == 0)
            ::RegCloseKey(opened);
        else
            madeKeys.push_back(key);
        ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"MRUList", REG_SZ, L"a", 4);
        ::RegSetKeyValueW(HKEY_CURRENT_USER, (key + L"\\txt").c_str(), L"a", REG_SZ, L"secret", 14);
    }
    const std::wstring jumps = RecentFolder() + L"\\AutomaticDestinations";
    if (!DirectoryExists(jumps)) guard.Made(jumps);
    const std::wstring pins = guard.Made(MakeFile(jumps + L"\\f01b4d95cf55d32a.automaticDestinations-ms", "pins"));
    const std::vector<std::wstring> gone = {guard.Made(MakeFile(jumps + L"\\1b4dd67f29cb.automaticDestinations-ms")),
                                            guard.Made(MakeFile(RecentFolder() + L"\\tm-report.txt.lnk"))};
    Open();
    Tick(0, true);
    Tick(window->TraceList.RowCount() - 2, true);
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kTitle, IDOK}}), 2u);
    EXPECT_EQ(ReadBytes(pins), "pins");
    for (const std::wstring& file : gone) EXPECT_FALSE(FileExists(file)) << file;
    for (const std::wstring key : kExplorerHistoryKeys) {
        HKEY opened = nullptr;
        DWORD values = 1;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (key + L"\\txt").c_str(), 0, KEY_READ, &opened), 0) << key;
        ::RegQueryInfoKeyW(opened, 0, 0, 0, 0, 0, 0, &values, 0, 0, 0, 0);
        ::RegCloseKey(opened);
        EXPECT_EQ(values, 0u) << key;
        EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"MRUList", RRF_RT_ANY, 0, 0, 0), 2) << "not found";
    }
    for (const std::wstring& key : madeKeys) ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

// "内容を確認" fills the ticked rows' "内容" (a running browser's row says so) and erases nothing;
// a changed tick empties its row; the run then destroys as many files and bytes as were counted.
TEST_F(BrowserToolsTest, TheLookBeforeCountsWhatTheRunThenErases) {
    MakeFile(Data() + L"\\$Recycle.Bin\\" + CurrentUserSid() + L"\\$RAB12CD.txt", "content");
    const RecycleBinSeams previous =
        SetRecycleBinSeams({[this] { return std::vector<std::wstring>{Data() + L"\\"}; }, [] {}});
    Make();
    StandInBrowser edge(Browser::Edge);
    ASSERT_TRUE(edge.Started() && PumpUntil([] { return BrowserRunning(Browser::Edge); }));
    Open();
    TickRows(L"キャッシュ");
    Tick(window->TraceList.RowCount() - 1, true);  // the Recycle Bin
    Click(window->PreviewTracesButton);
    EXPECT_TRUE(Settled());
    EntryPreview made[2];  // Chrome's and Firefox's caches as the fixture made them
    for (int at = 0; at < 2; ++at)
        for (const std::wstring& file : layout.files[at + 1][0]) {
            ++made[at].files;
            made[at].bytes += ReadBytes(file).size();
        }
    std::vector<std::wstring> texts;
    for (int row = 0; row < window->TraceList.RowCount(); ++row) texts.push_back(window->TraceList.Text(row, 1));
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"", L"", L"", L"", kPreviewRunningText, L"", L"", PreviewText(made[0]),
                                                L"", L"", PreviewText(made[1]), L"", L"", L"", L"1 ファイル, 0.0 MB"}));
    Tick(4, false);
    EXPECT_EQ(window->TraceList.Text(4, 1), L"");

    std::uint64_t files = 0, bytes = 0;
    EraseSeams seams;
    seams.observer = [&](const OverwriteEvent& event) {
        LARGE_INTEGER size{};
        if (event.kind == OverwriteEvent::BeforeCut && ::GetFileSizeEx(event.file, &size))
            ++files, bytes += static_cast<std::uint64_t>(size.QuadPart);
    };
    SetEraseSeams(seams);
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kTitle, IDOK}}), 2u);
    SetEraseSeams({});
    SetRecycleBinSeams(previous);
    EXPECT_EQ(files, made[0].files + made[1].files + 1);
    EXPECT_EQ(bytes, made[0].bytes + made[1].bytes + 7);
}

}  // namespace
