// The history tools panel through the real main window: opening and closing it, its ticks,
// and runs over the prefix's own trace folders, URL cache and typed addresses.

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

#include "engine/EraseSeams.h"
#include "history/HistorySeams.h"
#include "history/IeErase.h"
#include "tests/app/WorkflowFixture.h"
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
    ASSERT_EQ(window->TraceList.RowCount(), 4);
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

TEST_F(ToolsPanelTest, CookiesAndCacheGoWithTheirEntriesAndTheUserIsTold) {
    WriteConfig({L"#IE_TOOLS_02=2", L"#IE_TOOL_01=0", L"#E_TOOLS_01=0"});
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
                            L"処理を開始してよろしいですか？");
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

TEST_F(ToolsPanelTest, AnOpenBrowserErasesNothingAndBothMessagesShow) {
    Make();
    const std::wstring recent = guard.Made(MakeFile(RecentFolder() + L"\\tm-browser-panel.lnk"));
    WriteTypedUrls({{L"url1", L"http://example.com/"}});
    BrowserWindow browser;
    ASSERT_NE(browser.Handle(), nullptr);

    Open();
    for (int i = 0; i < 4; ++i) Tick(i, true);
    ASSERT_EQ(RunWith({{kAsk, IDYES}, {kAsk, IDOK}, {kTitle, IDOK}}), 3u);
    EXPECT_EQ(lastTexts[1], L"インターネットエクスプローラーを終了させて下さい。");
    EXPECT_EQ(lastTexts[2], L"処理が完了しました ");
    EXPECT_TRUE(FileExists(recent));
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

}  // namespace
