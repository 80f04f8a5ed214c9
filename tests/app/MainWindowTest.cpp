#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "dialogs/ImageControl.h"
#include "dialogs/OsterlanActionImages.h"
#include "profiles/NewUserWindow.h"
#include "profiles/UsersWindow.h"
#include "settings/ConfigWindow.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"

namespace {

// One top-level window lives as long as the test program: under Wine the thread's input
// method window stays tied to the first top-level window of the thread.
const HWND keeper = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);

std::wstring ButtonText(HWND button) { return ui::WindowText(button); }

bool FontIsBold(HWND control) {
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW info{};
    if (!font || !::GetObjectW(font, sizeof(info), &info)) return false;
    return info.lfWeight >= FW_BOLD;
}

bool IsGrayed(HMENU menu, UINT item, UINT by) {
    const UINT state = ::GetMenuState(menu, item, by);
    return state != static_cast<UINT>(-1) && (state & MF_GRAYED) != 0;
}

// Closes the profile chooser from another thread as soon as it shows, taking no profile.
class ChooserCloser {
public:
    ChooserCloser()
        : watcher_([this] {
              const ULONGLONG deadline = ::GetTickCount64() + 10000;
              while (::GetTickCount64() < deadline) {
                  if (HWND chooser = FindOwnWindow(TNewUserWindow::kClassName, nullptr)) {
                      ::PostMessageW(chooser, WM_CLOSE, 0, 0);
                      closed_ = true;
                      return;
                  }
                  ::Sleep(20);
              }
          }) {}
    ~ChooserCloser() {
        if (watcher_.joinable()) watcher_.join();
    }
    bool Closed() {
        if (watcher_.joinable()) watcher_.join();
        return closed_;
    }

private:
    std::atomic<bool> closed_{false};
    std::thread watcher_;
};

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(application.Initialize()); }

    void TearDown() override {
        window.reset();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    std::wstring ProfileFolder(const std::wstring& name = L"DefaultUser") const {
        return folder / (L"User\\" + name);
    }

    // Writes the profile's Config.ini before the window starts.
    void WriteConfig(const std::vector<std::wstring>& keys, const std::wstring& name = L"DefaultUser") {
        ::CreateDirectoryW((folder / L"User").c_str(), nullptr);
        ::CreateDirectoryW(ProfileFolder(name).c_str(), nullptr);
        std::vector<std::wstring> lines{L"[TIDEMARROW]"};
        lines.insert(lines.end(), keys.begin(), keys.end());
        ASSERT_TRUE(WriteTextFile(ProfileFolder(name) + L"\\Config.ini", lines));
    }

    // Makes the window with the profiles under the temporary program folder; with only
    // DefaultUser there the chooser takes it by itself.
    void Make(std::vector<std::wstring> arguments = {}) {
        window = std::make_unique<TMainWindow>(application, folder.Path(), std::move(arguments));
        ASSERT_TRUE(window->Create(application.Handle(), SW_SHOWNORMAL));
        application.SetMainWindow(window->Handle());
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(window->Handle()) != FALSE; }));
    }

    TConfigWindow& Config() { return *application.Config(); }
    HWND Main() const { return window->Handle(); }
    bool Closed() const { return !::IsWindow(handle_); }
    void Close() {
        handle_ = Main();
        ::SendMessageW(Main(), WM_CLOSE, 0, 0);
    }

    TempFolder folder;
    TApplication application;
    std::unique_ptr<TMainWindow> window;
    HWND handle_ = nullptr;
};

// --- start-up failure ---

// A main window whose start-up fails at the profile step.
class FailingMainWindow : public TMainWindow {
public:
    using TMainWindow::TMainWindow;

protected:
    std::wstring ChooseProfile() override { throw std::runtime_error("no profiles"); }
};

TEST_F(MainWindowTest, FailureDuringStartUpShowsTheInitialisationErrorAndEndsTheProgram) {
    FailingMainWindow failing(application, folder.Path());
    DialogAnswerer box(L"初期化エラー", IDOK);
    EXPECT_FALSE(failing.Create(application.Handle(), SW_SHOWNORMAL));
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(box.Text(), L"正しくアプリケーションを初期化出来ませんでした。サポートへご連絡下さい");
    EXPECT_TRUE(application.Terminated());
    EXPECT_FALSE(::IsWindow(failing.Handle()));
    EXPECT_EQ(application.Config(), nullptr) << "nothing was loaded, so nothing will be saved";
}

// --- layout ---

TEST_F(MainWindowTest, LayoutHasTheFixedClientSizeThePanelsAndTheStatusTexts) {
    Make();
    RECT client{};
    ::GetClientRect(Main(), &client);
    EXPECT_EQ(ui::Width(client), 686);
    EXPECT_EQ(ui::Height(client), 444);
    const LONG style = ::GetWindowLongW(Main(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME) << "a fixed single border";
    wchar_t className[64] = {};
    ::GetClassNameW(Main(), className, 64);
    EXPECT_STREQ(className, L"TMainWindow");
    EXPECT_EQ(ui::WindowText(Main()), L"TIDEMARROW32 SE");
    EXPECT_EQ(application.Title(), L"TIDEMARROW32 SE");

    RECT bar{};
    ::GetClientRect(window->ControlBar.Handle(), &bar);
    EXPECT_EQ(ui::Height(bar), 34);
    const std::pair<HWND, SIZE> pieces[] = {{window->MainToolBar, {260, 28}},
                                            {window->ModePanel.Handle(), {207, 28}},
                                            {window->HelpToolBar, {77, 28}},
                                            {window->BusyPanel.Handle(), {88, 28}}};
    for (const auto& [piece, size] : pieces) {
        RECT r{};
        ::GetWindowRect(piece, &r);
        EXPECT_EQ(ui::Width(r), size.cx);
        EXPECT_EQ(ui::Height(r), size.cy);
    }
    EXPECT_EQ(ui::WindowText(window->ModeLabel), L"抹消モード");

    // Exactly the list panel shows at start; the others wait in the same place, and the
    // history tools' panel is made there when first shown.
    EXPECT_TRUE(::IsWindowVisible(window->MainPanel.Handle()));
    EXPECT_EQ(window->Toolspanel.Handle(), nullptr);
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::List);
    window->ShowContentPanel(TMainWindow::ContentPanel::Tools);
    window->ShowContentPanel(TMainWindow::ContentPanel::List);
    EXPECT_EQ(ui::WindowText(window->ToolsTitle), L"TIDEMARROW32 SE");
    for (HWND hidden : {window->ErasePanel.Handle(), window->ResultPanel.Handle(), window->Toolspanel.Handle()}) {
        EXPECT_FALSE(::IsWindowVisible(hidden));
        RECT a{}, b{};
        ::GetWindowRect(hidden, &a);
        ::GetWindowRect(window->MainPanel.Handle(), &b);
        EXPECT_TRUE(::EqualRect(&a, &b));
    }

    // The file list's columns.
    HWND header = ListView_GetHeader(window->FileList.Handle());
    ASSERT_EQ(Header_GetItemCount(header), 5);
    const wchar_t* captions[] = {L" ", L"ファイル名", L"拡張子", L"ファイルサイズ(Byte)", L"ファイルパス"};
    const int widths[] = {40, 200, 55, 205, 180};
    for (int i = 0; i < 5; ++i) {
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(ListView_GetColumn(window->FileList.Handle(), i, &column));
        EXPECT_STREQ(text, captions[i]);
        EXPECT_EQ(column.cx, widths[i]);
    }

    // Panel captions and the buttons' actions.
    EXPECT_EQ(ui::WindowText(window->StartButton.Handle()), L"開始");
    EXPECT_EQ(ui::WindowText(window->ExitButton.Handle()), L"終了(&C)");
    EXPECT_EQ(ui::WindowText(window->AddFilesButton.Handle()), L"ファイルを追加(&A)...");
    EXPECT_EQ(ui::WindowText(window->StopButton.Handle()), L"中止");
    EXPECT_EQ(ui::WindowText(window->SaveLogButton.Handle()), L"　ログの保存");
    EXPECT_EQ(ui::WindowText(window->FinishButton), L">> 終了");
    EXPECT_EQ(ui::WindowText(window->PercentLabel), L"0%");
    EXPECT_EQ(ui::WindowText(window->ResultLabel), L"作業が完了しました。");
    for (auto* button : {&window->StartButton, &window->StopButton, &window->AddFilesButton, &window->SaveLogButton,
                         &window->SaveReportButton,
                         &window->ExitButton})
        EXPECT_TRUE(button->HasGlyph());
    EXPECT_NE(window->Logo->Picture(), nullptr);
    EXPECT_TRUE(window->Logo->Transparent());
    EXPECT_NE(window->ErasePicture->Picture(), nullptr);
    EXPECT_NE(window->ToolsHeader->Picture(), nullptr) << "the tools header is drawn with its panel";

    // Status bar.
    EXPECT_EQ(window->StatusBar.Text(0), L"モード:Speed");
    EXPECT_EQ(window->StatusBar.Text(1), L"全体の経過(0/0)");
    EXPECT_EQ(window->StatusBar.Text(3), kProductNotice);
    EXPECT_EQ(::GetParent(window->OverallProgress), window->StatusBar.Handle());
    RECT progress{};
    ::GetWindowRect(window->OverallProgress, &progress);
    ::MapWindowPoints(nullptr, window->StatusBar.Handle(), reinterpret_cast<POINT*>(&progress), 2);
    EXPECT_EQ(progress.left, 238);
    EXPECT_EQ(progress.top, 3);
    EXPECT_EQ(ui::Width(progress), 186);
    EXPECT_EQ(ui::Height(progress), 15);

    // The busy animation sits in its frame.
    ASSERT_NE(window->BusyAnimation(), nullptr);
    EXPECT_EQ(::GetParent(window->BusyAnimation()->Handle()), window->BusyPanel.Handle());
    EXPECT_EQ(window->BusyAnimation()->List().Count(), 5);
    EXPECT_EQ(window->BusyAnimation()->Timer().Interval(), 1800u);
    EXPECT_FALSE(window->BusyAnimation()->Running());
    ASSERT_NE(window->Notifier(), nullptr);
}

TEST_F(MainWindowTest, ModeSelectorListsTheFourModesWithTheirIcons) {
    Make();
    ASSERT_EQ(window->ModeSelector.Count(), 4);
    const wchar_t* modes[] = {L"Speed", L"Normal", L"High", L"Custom"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(window->ModeSelector.ItemText(i), modes[i]);
        EXPECT_EQ(window->ModeSelector.ItemImage(i), i);
    }
    EXPECT_EQ(::ImageList_GetImageCount(window->ModeIcons.get()), 4);
    EXPECT_EQ(window->ModeSelector.Selection(), 0);
    EXPECT_EQ(window->HintOf(window->ModeSelector.Handle()), L"抹消モードを選択します(変更後は適用を押して下さい)");
    EXPECT_EQ(window->HintOf(window->ApplyModeButton), L"変更した抹消モードを適用");
}

// --- actions and menus ---

TEST_F(MainWindowTest, ActionTableHasItsCaptionsHintsImagesAndStartStates) {
    Make();
    struct Row {
        int id;
        const wchar_t* caption;
        const wchar_t* hint;
        int image;
    };
    const Row rows[] = {
        {Command::AddFiles, L"ファイルを追加(&A)...", L"ファイルを追加", 0},
        {Command::StartRun, L"開始", L"処理を開始します", -1},
        {Command::ExitProgram, L"終了(&C)", L"", 4},
        {Command::ClearList, L"リストをすべてクリア（&A）", L"ファイルリストをすべてクリアします", 12},
        {Command::TickAll, L"リストすべてにチェックを入れる（&O）", L"ファイルリスト内すべてのファイルを対象とします",
         9},
        {Command::UntickAll, L"リストのチェックをすべて解除(&U)", L"ファイルリスト内の選択を解除", 8},
        {Command::OpenSettings, L"設定(&C)...", L"設定ウインドウを開きます", 11},
        {Command::StopRun, L"中止", L"", -1},
        {Command::AddFolder, L"フォルダ内のファイルを追加(&F)...", L"フォルダ内のファイルを追加", 10},
        {Command::ShowHelp, L"ヘルプの表示(&H)...", L"ヘルプを表示", 7},
        {Command::RemoveUnticked, L"チェックが入っていないファイルのみリストからクリア(&N)", L"", -1},
        {Command::RemoveTicked, L"チェックが入っているファイルのみリストからクリア(&Y)", L"", -1},
        {Command::ShowAbout, L"バージョン情報(&V)...", L"", -1},
        {Command::OpenWebSite, L"ウェブサイトを表示(&W)...", L"ウェブサイトを表示", 2},
        {Command::ApplyMode, L"適用", L"変更した抹消モードを適用", -1},
        {Command::RunHistoryTools, L"選択した作業を開始", L"", -1},
        {Command::OpenHistoryTools, L"履歴抹消ツール(&H)", L"履歴を消去する追加機能", 13},
        {Command::ManageProfiles, L"ユーザープロファイル管理(&U)...", L"ユーザープロファイルの作成と削除を行います",
         14},
        {Command::ShowFileProperties, L"ファイルのプロパティ(&P)...", L"", -1},
        {Command::ImportList, L"インポート(&I)", L"", 16},
        {Command::ExportList, L"エクスポート(&E)", L"", 15},
        {Command::RemoveSelected, L"選択したファイルをリストから削除(&R)", L"", -1},
    };
    for (const Row& row : rows) {
        ui::Action* action = window->Actions.Find(row.id);
        ASSERT_NE(action, nullptr) << row.id;
        EXPECT_EQ(action->Caption(), row.caption) << row.id;
        EXPECT_EQ(action->Hint(), row.hint) << row.id;
        EXPECT_EQ(action->ImageIndex(), row.image) << row.id;
    }
    EXPECT_EQ(::ImageList_GetImageCount(window->Actions.Images()), 17);
    // An empty list: the list actions are off, the rest on.
    using C = Command;
    const int listActions[] = {C::StartRun,       C::ClearList,    C::TickAll,   C::UntickAll,
                               C::RemoveUnticked, C::RemoveTicked, C::ExportList};
    const int otherActions[] = {C::AddFiles,         C::ExitProgram,    C::OpenSettings, C::AddFolder,
                                C::ShowHelp,         C::ShowAbout,      C::OpenWebSite,  C::ApplyMode,
                                C::OpenHistoryTools, C::ManageProfiles, C::ImportList};
    for (int id : listActions) EXPECT_FALSE(window->Actions[id].Enabled()) << id;
    for (int id : otherActions) EXPECT_TRUE(window->Actions[id].Enabled()) << id;
    EXPECT_FALSE(::IsWindowEnabled(window->StartButton.Handle())) << "Start follows its action";

    // A row switches them on; an empty list off again.
    window->FileList.AddRow({L"", L"a.txt", L"TXT", L"1", L"C:\\a.txt"}, true);
    window->UpdateListActions();
    for (int id : listActions) EXPECT_TRUE(window->Actions[id].Enabled()) << id;
    window->ClearFileList();
    for (int id : listActions) EXPECT_FALSE(window->Actions[id].Enabled()) << id;
    EXPECT_EQ(window->StatusBar.Text(1), L"全体の経過(0/0)");
}

TEST_F(MainWindowTest, MenusBarsAndPopupHoldTheirActions) {
    using C = Command;
    Make();
    HMENU bar = ::GetMenu(Main());
    ASSERT_EQ(bar, window->MenuBar);
    ASSERT_EQ(::GetMenuItemCount(bar), 5);
    const wchar_t* menus[] = {L"ファイル(&F)", L"編集(&E)", L"追加機能(&T)", L"設定(&C)", L"ヘルプ(&H)"};
    const std::vector<std::vector<int>> items = {
        {C::AddFiles, C::AddFolder, 0, C::ImportList, C::ExportList, 0, C::ExitProgram},
        {C::TickAll, C::UntickAll, 0, C::ClearList, 0, C::RemoveUnticked, C::RemoveTicked},
        {C::OpenHistoryTools, C::OpenFreeSpace, C::EraseRecycleBin},
        {C::OpenSettings, 0, C::ManageProfiles},
        {C::ShowHelp, C::OpenWebSite, 0, C::ShowAbout}};
    for (int m = 0; m < 5; ++m) {
        wchar_t text[64] = {};
        ::GetMenuStringW(bar, m, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, menus[m]);
        HMENU sub = ::GetSubMenu(bar, m);
        ASSERT_EQ(::GetMenuItemCount(sub), static_cast<int>(items[m].size())) << m;
        for (int i = 0; i < static_cast<int>(items[m].size()); ++i) {
            const UINT id = ::GetMenuItemID(sub, i);
            if (items[m][i] == 0) {
                EXPECT_TRUE(::GetMenuState(sub, i, MF_BYPOSITION) & MF_SEPARATOR) << m << "," << i;
            } else {
                EXPECT_EQ(id, static_cast<UINT>(ui::kFirstActionCommand + items[m][i])) << m << "," << i;
            }
        }
    }
    // The tool bars, with the two caption overrides.
    const std::vector<int> mainBar = {C::AddFiles, C::AddFolder,        0, C::TickAll,      C::UntickAll,     C::ClearList,
                                   0,           C::OpenHistoryTools, 0, C::OpenSettings, C::ManageProfiles};
    ASSERT_EQ(::SendMessageW(window->MainToolBar, TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(mainBar.size()));
    for (int i = 0; i < static_cast<int>(mainBar.size()); ++i) {
        TBBUTTON button{};
        ::SendMessageW(window->MainToolBar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        if (mainBar[i] == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP);
        } else {
            EXPECT_EQ(button.idCommand, ui::kFirstActionCommand + mainBar[i]);
        }
    }
    EXPECT_EQ(window->Actions.ShownCaption(window->MainToolBar, ui::kFirstActionCommand + Command::ClearList),
              L"リストをすべてクリア（A）(&Z)");
    EXPECT_EQ(window->Actions.ShownCaption(window->MainToolBar, ui::kFirstActionCommand + Command::ManageProfiles),
              L"ユーザーの切り替え(&Y)...");
    EXPECT_EQ(::SendMessageW(window->HelpToolBar, TB_BUTTONCOUNT, 0, 0), 3);
    EXPECT_EQ(window->Actions.ShownCaption(window->HelpToolBar, ui::kFirstActionCommand + Command::ShowHelp),
              L"ヘルプの表示(&H)...");
    EXPECT_EQ(window->Actions.ShownCaption(window->HelpToolBar, ui::kFirstActionCommand + Command::OpenWebSite),
              L"ウェブサイトを表示(&W)...");

    // The file list's pop-up menu.
    HMENU popup = window->FileListPopup.get();
    ASSERT_NE(popup, nullptr);
    const std::vector<int> popupItems = {
        C::ShowFileProperties, 0, C::TickAll,       C::UntickAll, 0, C::ClearList, C::RemoveUnticked,
        C::RemoveTicked,       0, C::RemoveSelected};
    ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(popupItems.size()));
    for (int i = 0; i < static_cast<int>(popupItems.size()); ++i) {
        if (popupItems[i] != 0) {
            EXPECT_EQ(::GetMenuItemID(popup, i), static_cast<UINT>(ui::kFirstActionCommand + popupItems[i]));
        }
    }
}

// --- the mode selector and Apply ---

TEST_F(MainWindowTest, ChangingTheModeWaitsForApplyWhichSetsTheSettingAndTheStatusBar) {
    Make();
    HWND combo = window->ModeSelector.Handle();
    EXPECT_EQ(ButtonText(window->ApplyModeButton), L"適用");
    EXPECT_FALSE(FontIsBold(window->ApplyModeButton));

    window->ModeSelector.Select(2);
    ::SendMessageW(window->ModePanel.Handle(), WM_COMMAND, MAKEWPARAM(TMainWindow::IDC_MODE_SELECTOR, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    EXPECT_TRUE(window->ModeChangePending());
    EXPECT_TRUE(FontIsBold(window->ApplyModeButton)) << "a pending change shows in bold";
    EXPECT_EQ(ButtonText(window->ApplyModeButton), L"適用");
    EXPECT_EQ(window->StatusBar.Text(0), L"モード:Speed") << "nothing changes before Apply";
    EXPECT_EQ(Config().CurrentEraseMode(), EraseMode::Speed);

    // Apply, as the button's click does.
    ::SendMessageW(window->ModePanel.Handle(), WM_COMMAND, MAKEWPARAM(TMainWindow::IDC_APPLY_MODE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(window->ApplyModeButton));
    EXPECT_FALSE(window->ModeChangePending());
    EXPECT_FALSE(FontIsBold(window->ApplyModeButton));
    EXPECT_EQ(Config().CurrentEraseMode(), EraseMode::High);
    EXPECT_EQ(window->StatusBar.Text(0), L"モード:High");

    // Closing saves it in the profile.
    Close();
    EXPECT_TRUE(Closed());
    EXPECT_EQ(::GetPrivateProfileIntW(L"TIDEMARROW", L"#Erase", -1, (ProfileFolder() + L"\\Config.ini").c_str()), 2);
}

TEST_F(MainWindowTest, DisplaySettingsComeFromTheProfile) {
    WriteConfig({L"#Erase=3", L"#ShowGrid=1", L"#ShowUserName=1"});
    Make();
    EXPECT_EQ(window->ProfileName, L"DefaultUser");
    EXPECT_EQ(ui::WindowText(Main()), L"TIDEMARROW32 SE DefaultUser");
    EXPECT_TRUE(window->FileList.GridLines());
    EXPECT_EQ(window->StatusBar.Text(0), L"モード:Custom");
    EXPECT_EQ(window->ModeSelector.Selection(), 3);
    EXPECT_EQ(Config().ProfileFolder(), folder.Path() + L"\\User\\DefaultUser");
}

TEST_F(MainWindowTest, ShowOverallProgressWritesTheCountsAndMovesTheBar) {
    Make();
    ::SendMessageW(window->OverallProgress, PBM_SETRANGE32, 0, 10);
    window->ShowOverallProgress(3, 10);
    EXPECT_EQ(window->StatusBar.Text(1), L"全体の経過(3/10)");
    EXPECT_EQ(::SendMessageW(window->OverallProgress, PBM_GETPOS, 0, 0), 3);
}

TEST_F(MainWindowTest, SetButtonGlyphKeepsAGlyphAndReportsAFailure) {
    Make();
    HBITMAP before = window->StartButton.Glyph();
    EXPECT_TRUE(window->SetButtonGlyph(window->StartButton, 5, window->Actions.Images()));
    EXPECT_EQ(window->StartButton.Glyph(), before) << "a button with a glyph keeps it";

    ui::BitmapButton fresh;
    ASSERT_TRUE(fresh.Create(Main(), L"x", 0, 0, 40, 20, 999));
    ClearRecordedAssertions();
    EXPECT_FALSE(window->SetButtonGlyph(fresh, 99, window->Actions.Images()));
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"正しい描写が完了しませんでした");
    EXPECT_EQ(reports[0].unit, L"Main");
}

// --- system commands, the lock and window states ---

TEST_F(MainWindowTest, ToolsPanelIgnoresMaximizeAndCloseButNotOtherCommands) {
    Make();
    window->ShowContentPanel(TMainWindow::ContentPanel::Tools);
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_FALSE(::IsZoomed(Main()));
    ::SendMessageW(Main(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_FALSE(::IsZoomed(Main()));
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(::IsWindow(Main()));
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(application.Handle())) << "minimize still works";
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(::IsIconic(application.Handle()));

    // Back on the list the same command maximizes.
    window->ShowContentPanel(TMainWindow::ContentPanel::List);
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(::IsZoomed(Main()));
}

TEST_F(MainWindowTest, WhileBusyEverySystemCommandIsIgnored) {
    Make();
    window->Busy = true;
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(::IsIconic(application.Handle()));
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_FALSE(::IsZoomed(Main()));
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(::IsWindow(Main()));
    window->Busy = false;
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(application.Handle()));
}

TEST_F(MainWindowTest, LockUserInterfaceGreysCloseInBothSystemMenusAndDisablesTheBars) {
    Make();
    window->LockUserInterface(true);
    EXPECT_TRUE(IsGrayed(::GetSystemMenu(Main(), FALSE), SC_CLOSE, MF_BYCOMMAND));
    EXPECT_TRUE(IsGrayed(::GetSystemMenu(application.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(IsGrayed(window->MenuBar, i, MF_BYPOSITION)) << i;
    for (HWND piece :
         {window->MainToolBar, window->HelpToolBar, window->ModePanel.Handle(), window->BusyPanel.Handle()})
        EXPECT_FALSE(::IsWindowEnabled(piece));
    // The buttons show it too: Add files (always enabled) and Check all (enabled by a row).
    const auto buttonEnabled = [&](int action) {
        return ::SendMessageW(window->MainToolBar, TB_ISBUTTONENABLED,
                              static_cast<WPARAM>(ui::kFirstActionCommand + action), 0) != 0;
    };
    EXPECT_FALSE(buttonEnabled(Command::AddFiles));
    EXPECT_FALSE(buttonEnabled(Command::TickAll));

    window->LockUserInterface(false);
    EXPECT_TRUE(buttonEnabled(Command::AddFiles));
    EXPECT_FALSE(buttonEnabled(Command::TickAll)) << "the empty list keeps Check all disabled";
    EXPECT_FALSE(IsGrayed(::GetSystemMenu(Main(), FALSE), SC_CLOSE, MF_BYCOMMAND));
    EXPECT_FALSE(IsGrayed(::GetSystemMenu(application.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(IsGrayed(window->MenuBar, i, MF_BYPOSITION)) << i;
    for (HWND piece :
         {window->MainToolBar, window->HelpToolBar, window->ModePanel.Handle(), window->BusyPanel.Handle()})
        EXPECT_TRUE(::IsWindowEnabled(piece));
}

TEST_F(MainWindowTest, SavedWindowStateComesBackThroughRestoreWindowState) {
    Make();
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(::IsZoomed(Main()));
    window->SaveWindowState();
    EXPECT_EQ(window->SavedWindowState, 2);
    EXPECT_FALSE(::IsZoomed(Main())) << "the job runs in the normal state";
    window->RestoreWindowState(window->SavedWindowState);
    EXPECT_TRUE(::IsZoomed(Main()));

    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    window->SaveWindowState();
    EXPECT_EQ(window->SavedWindowState, 0);
}

// --- closing ---

TEST_F(MainWindowTest, CloseWithAnEmptyListIsAllowedAndSavesTheSettings) {
    Make();
    Close();
    EXPECT_TRUE(Closed());
    EXPECT_TRUE(application.Terminated());
    EXPECT_EQ(application.Config(), nullptr) << "the settings object is freed";
    EXPECT_TRUE(FileExists(ProfileFolder() + L"\\Config.ini")) << "and so saved";
}

TEST_F(MainWindowTest, CloseWithAnEmptyListIsRefusedWhileMinimized) {
    Make();
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(::IsIconic(application.Handle()));
    Close();
    ASSERT_FALSE(Closed());
    Config().EditValues().WarningClose = false;
    Close();
    EXPECT_TRUE(Closed()) << "without the warning the close goes through";
}

TEST_F(MainWindowTest, CloseWithFilesListedAsksAndFollowsTheAnswer) {
    Make();
    window->FileList.AddRow({L"", L"a.txt", L"TXT", L"1", L"C:\\a.txt"}, true);
    {
        DialogAnswerer answer(L"終了の確認", IDNO);
        Close();
        ASSERT_TRUE(answer.Wait());
        EXPECT_NE(answer.Text().find(L"未終了のファイルがありますが終了してもよろしいですか？"), std::wstring::npos);
    }
    EXPECT_FALSE(Closed()) << "No keeps the window";
    {
        DialogAnswerer answer(L"終了の確認", IDYES);
        Close();
        ASSERT_TRUE(answer.Wait());
    }
    EXPECT_TRUE(Closed());
}

TEST_F(MainWindowTest, TheProgramMinimizesAndRestoresAsOneWhicheverWayItIsAsked) {
    Make();
    HWND app = application.Handle();
    application.ShowTaskbarButton(true);
    const auto minimized = [&] { return ::IsIconic(app) && !::IsWindowVisible(Main()); };
    const auto shown = [&](BOOL zoomed) { return !::IsIconic(app) && ::IsWindowVisible(Main()) && ::IsZoomed(Main()) == zoomed; };
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);  // caption, system menu
    EXPECT_TRUE(minimized());
    ::SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0);  // the taskbar button
    EXPECT_TRUE(shown(FALSE));
    // Maximized, minimized from the taskbar and restored from outside (Alt+Tab, a later start).
    ::SendMessageW(Main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ::SendMessageW(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(minimized());
    ::ShowWindow(app, SW_RESTORE);
    EXPECT_TRUE(shown(TRUE));
    ::ShowWindow(Main(), SW_MINIMIZE);  // minimize-all
    EXPECT_TRUE(minimized());
    ::SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(shown(TRUE) && !::IsIconic(Main()));
}

TEST_F(MainWindowTest, PowerOffAfterRunClosesWhateverTheAnswer) {
    Make();
    window->FileList.AddRow({L"", L"a.txt", L"TXT", L"1", L"C:\\a.txt"}, true);
    Config().EditValues().PowerOffAfterRun = true;
    // A refusing answer is ready; power-off overrides whatever the question decided.
    {
        DialogAnswerer answer(L"終了の確認", IDNO);
        Close();
        EXPECT_TRUE(answer.Wait()) << "the question is still asked";
    }
    EXPECT_TRUE(Closed());
}

TEST_F(MainWindowTest, CloseWithoutTheWarningGoesThroughWithFilesListed) {
    WriteConfig({L"#Warning close=0"});
    Make();
    window->FileList.AddRow({L"", L"a.txt", L"TXT", L"1", L"C:\\a.txt"}, true);
    Close();
    EXPECT_TRUE(Closed());
}

TEST_F(MainWindowTest, CloseIsRefusedWhileTheProfileManagerIsOpen) {
    Make();
    Config().EditValues().WarningClose = false;
    {
        TUsersWindow manager(folder.Path() + L"\\");
        ASSERT_TRUE(manager.Create(Main()));
        ::ShowWindow(manager.Handle(), SW_SHOW);
        Close();
        ASSERT_FALSE(Closed());
    }
    Close();
    EXPECT_TRUE(Closed());
}

// --- start-up ---

TEST_F(MainWindowTest, NoProfileChosenLoadsAndSavesNothingAndEnds) {
    for (const wchar_t* name : {L"Alpha", L"Beta"}) {
        ::CreateDirectoryW((folder / L"User").c_str(), nullptr);
        ::CreateDirectoryW(ProfileFolder(name).c_str(), nullptr);
    }
    ChooserCloser closer;
    window = std::make_unique<TMainWindow>(application, folder.Path());
    ASSERT_TRUE(window->Create(application.Handle(), SW_SHOWNORMAL));
    EXPECT_TRUE(closer.Closed());
    EXPECT_TRUE(window->ProfileName.empty());
    EXPECT_TRUE(application.Terminated()) << "the program ends when its loop starts";
    EXPECT_EQ(application.Config(), nullptr) << "no settings were loaded";
    EXPECT_FALSE(::IsWindowVisible(window->Handle()));
    window.reset();
    for (const wchar_t* name : {L"Alpha", L"Beta", L"DefaultUser"})
        EXPECT_FALSE(FileExists(ProfileFolder(name) + L"\\Config.ini")) << "nothing saved in " << name;
}

TEST_F(MainWindowTest, AQuotedCommandLineFileGoesToTheList) {
    const std::wstring file = folder / L"secret file.txt";
    ASSERT_TRUE(WriteBytes(file, "data"));
    Make({L"\"" + file + L"\""});
    EXPECT_TRUE(window->PendingCommandLineFile.empty());
    ASSERT_EQ(window->FileList.RowCount(), 1);
    EXPECT_EQ(window->FileList.Text(0, 4), file);
}

TEST_F(MainWindowTest, AFolderOnTheCommandLineIsNotKept) {
    Make({L"\"" + folder.Path() + L"\""});
    EXPECT_TRUE(window->PendingCommandLineFile.empty());
}

TEST_F(MainWindowTest, AMissingFileOnTheCommandLineIsNotKept) {
    Make({folder / L"missing.txt"});
    EXPECT_TRUE(window->PendingCommandLineFile.empty());
}

}  // namespace
