#include "app/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "app/Application.h"
#include "app/HandOver.h"
#include "common/Assertions.h"
#include "common/Types.h"
#include "dialogs/ImageControl.h"
#include "dialogs/OsterlanActionImages.h"
#include "engine/FreeSpace.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "profiles/NewUserWindow.h"
#include "profiles/TidemarrowUsers.h"
#include "profiles/UsersWindow.h"
#include "report/ErasureReport.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"
#include "ui/Subclass.h"

namespace {

const wchar_t kWindowFace[] = L"ＭＳ Ｐゴシック";
const wchar_t kInitErrorCaption[] = L"初期化エラー";
const wchar_t kInitErrorText[] = L"正しくアプリケーションを初期化出来ませんでした。サポートへご連絡下さい";
const wchar_t* const kModeNames[] = {L"Speed", L"Normal", L"High", L"Custom"};

// The frame: a fixed single border with the caption buttons.
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

// Fixed sizes of the control bar's pieces.
constexpr int kMainToolBarWidth = 260, kModePanelWidth = 207, kHelpToolBarWidth = 77, kBusyPanelWidth = 88;
constexpr int kBarPieceHeight = 28;

std::vector<ui::ActionInfo> ActionTable() {
    return {
        {Command::AddFiles, L"ファイルを追加(&A)...", L"ファイルを追加", 0},
        {Command::StartRun, L"開始", L"処理を開始します", ui::kNoImage},
        {Command::ExitProgram, L"終了(&C)", L"", 4},
        {Command::ClearList, L"リストをすべてクリア（&A）", L"ファイルリストをすべてクリアします", 12},
        {Command::TickAll, L"リストすべてにチェックを入れる（&O）", L"ファイルリスト内すべてのファイルを対象とします",
         9},
        {Command::UntickAll, L"リストのチェックをすべて解除(&U)", L"ファイルリスト内の選択を解除", 8},
        {Command::OpenSettings, L"設定(&C)...", L"設定ウインドウを開きます", 11},
        {Command::StopRun, L"中止", L"", ui::kNoImage},
        {Command::AddFolder, L"フォルダ内のファイルを追加(&F)...", L"フォルダ内のファイルを追加", 10},
        {Command::ShowHelp, L"ヘルプの表示(&H)...", L"ヘルプを表示", 7},
        {Command::RemoveUnticked, L"チェックが入っていないファイルのみリストからクリア(&N)", L"", ui::kNoImage},
        {Command::RemoveTicked, L"チェックが入っているファイルのみリストからクリア(&Y)", L"", ui::kNoImage},
        {Command::ShowAbout, L"バージョン情報(&V)...", L"", ui::kNoImage},
        {Command::OpenWebSite, L"ウェブサイトを表示(&W)...", L"ウェブサイトを表示", 2},
        {Command::ApplyMode, L"適用", L"変更した抹消モードを適用", ui::kNoImage},
        {Command::RunHistoryTools, L"選択した作業を開始", L"", ui::kNoImage},
        {Command::OpenHistoryTools, L"履歴抹消ツール(&H)", L"履歴を消去する追加機能", 13},
        {Command::ManageProfiles, L"ユーザープロファイル管理(&U)...", L"ユーザープロファイルの作成と削除を行います",
         14},
        {Command::ShowFileProperties, L"ファイルのプロパティ(&P)...", L"", ui::kNoImage},
        {Command::ImportList, L"インポート(&I)", L"", 16},
        {Command::ExportList, L"エクスポート(&E)", L"", 15},
        {Command::RemoveSelected, L"選択したファイルをリストから削除(&R)", L"", ui::kNoImage},
        {Command::OpenFreeSpace, L"空き領域の抹消(&F)...", L"ドライブの空き領域を上書きする追加機能", ui::kNoImage},
        {Command::EraseRecycleBin, L"ごみ箱の抹消(&R)...", L"ごみ箱の中身を抹消する追加機能", ui::kNoImage},
    };
}

std::vector<ui::MenuSpec> MenuBarTable() {
    using ui::Separator;
    using C = Command;
    return {
        {L"ファイル(&F)",
         {{C::AddFiles}, {C::AddFolder}, Separator(), {C::ImportList}, {C::ExportList}, Separator(), {C::ExitProgram}}},
        {L"編集(&E)",
         {{C::TickAll}, {C::UntickAll}, Separator(), {C::ClearList}, Separator(), {C::RemoveUnticked},
          {C::RemoveTicked}}},
        {L"追加機能(&T)", {{C::OpenHistoryTools}, {C::OpenFreeSpace}, {C::EraseRecycleBin}}},
        {L"設定(&C)", {{C::OpenSettings}, Separator(), {C::ManageProfiles}}},
        {L"ヘルプ(&H)", {{C::ShowHelp}, {C::OpenWebSite}, Separator(), {C::ShowAbout}}},
    };
}

std::vector<ui::BarItem> MainToolBarTable() {
    using ui::Separator;
    using C = Command;
    return {{C::AddFiles},
            {C::AddFolder},
            {Separator()},
            {C::TickAll},
            {C::UntickAll},
            {C::ClearList, L"リストをすべてクリア（A）(&Z)"},
            Separator(),
            {C::OpenHistoryTools},
            Separator(),
            {C::OpenSettings},
            {C::ManageProfiles, L"ユーザーの切り替え(&Y)..."}};
}

std::vector<ui::BarItem> HelpToolBarTable() { return {{Command::ShowHelp}, ui::Separator(), {Command::OpenWebSite}}; }

std::vector<ui::BarItem> PopupTable() {
    using ui::Separator;
    using C = Command;
    return {{C::ShowFileProperties}, Separator(),         {C::TickAll},      {C::UntickAll}, Separator(),
            {C::ClearList},          {C::RemoveUnticked}, {C::RemoveTicked}, Separator(),    {C::RemoveSelected}};
}

// The mode selector's edit part: typed keys are swallowed.
LRESULT CALLBACK SwallowTypedKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR) return 0;
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

// The window's face at `height` pixels; the UI font's face where the system lacks it.
HFONT MakeWindowFont(int height, bool bold) {
    if (!ui::HasFontFace(kWindowFace)) {
        LOGFONTW ui{};
        ::GetObjectW(ui::UiFont(bold), sizeof(ui), &ui);
        ui.lfHeight = -height;
        return ::CreateFontIndirectW(&ui);
    }
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    wcsncpy(font.lfFaceName, kWindowFace, LF_FACESIZE - 1);
    return ::CreateFontIndirectW(&font);
}

HWND Require(HWND control) {
    if (!control) throw std::runtime_error("control");
    return control;
}

void Require(bool made) {
    if (!made) throw std::runtime_error("control");
}

}  // namespace

TMainWindow::TMainWindow(TApplication& application, std::wstring programFolder, std::vector<std::wstring> arguments)
    : application_(application), programFolder_(std::move(programFolder)), arguments_(std::move(arguments)) {
    if (!programFolder_.empty() && programFolder_.back() != L'\\') programFolder_ += L'\\';
}

TMainWindow::~TMainWindow() {
    if (Handle()) ::DestroyWindow(Handle());
    if (shellIconsReady_.joinable()) shellIconsReady_.join();
}

bool TMainWindow::Create(HWND owner, int showCommand) {
    try {
        // The first icon asked of the shell fills its store, which takes a while under some
        // systems: done meanwhile, the listing of the command line's files finds it ready.
        // Without a thread to spare, the listing fills it itself.
        try {
            if (!shellIconsReady_.joinable()) shellIconsReady_ = std::thread(PrepareShellIcons);
        } catch (const std::system_error&) {
        }
        windowFont_.reset(MakeWindowFont(12, false));
        windowBoldFont_.reset(MakeWindowFont(12, true));
        listFont_.reset(MakeWindowFont(13, false));
        BuildFrame(owner);
        FormCreate();
    } catch (...) {
        ::MessageBoxW(Handle(), kInitErrorText, kInitErrorCaption, MB_OK | MB_ICONERROR);
        application_.Terminate();
        if (Handle()) ::DestroyWindow(Handle());
        return false;
    }
    // Without a profile the program ends before anything shows.
    if (application_.Terminated()) return true;
    ::ShowWindow(Handle(), showCommand);
    ::UpdateWindow(Handle());
    return true;
}

std::wstring TMainWindow::ChooseProfile() {
    // With a single profile there is nothing to choose: the chooser would only flash up and
    // take it.
    try {
        TTidemarrowUsers users(programFolder_);
        if (users.Count() == 1 && !users.NameAt(0).empty()) return users.NameAt(0);
    } catch (...) {
        // The chooser reads the profiles again and reports what fails.
    }
    TNewUserWindow chooser(programFolder_);
    if (chooser.Create(Handle())) chooser.ShowModal();
    return chooser.ChosenName();
}

// --- the frame ---

HWND TMainWindow::AddChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x,
                           int y, int width, int height, int id, DWORD exStyle) {
    HWND control = ::CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD | WS_VISIBLE, x, y, width,
                                     height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    if (control) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    return Require(control);
}

void TMainWindow::BuildFrame(HWND owner) {
    BuildActions();
    ui::UniqueMenu menuBar = Actions.BuildMenuBar(MenuBarTable());
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, kWindowStyle, TRUE, 0);
    const int width = ui::Width(frame), height = ui::Height(frame);
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = std::max<int>(0, area.left + (ui::Width(area) - width) / 2);
    const int y = std::max<int>(0, area.top + (ui::Height(area) - height) / 2);
    Require(ui::Window::Create(kClassName, kTitle, kWindowStyle, 0, x, y, width, height, owner));
    MarkProgramWindow(Handle());
    if (WindowMade) WindowMade();
    MenuBar = menuBar.release();
    ::SetMenu(Handle(), MenuBar);
    // The menu bar may wrap to two lines; the client area keeps its size.
    RECT client{};
    ::GetClientRect(Handle(), &client);
    if (ui::Height(client) != kClientHeight || ui::Width(client) != kClientWidth) {
        RECT window{};
        ::GetWindowRect(Handle(), &window);
        ::SetWindowPos(Handle(), nullptr, 0, 0, ui::Width(window) + kClientWidth - ui::Width(client),
                       ui::Height(window) + kClientHeight - ui::Height(client), SWP_NOMOVE | SWP_NOZORDER);
    }
    BuildBars();
    BuildStatusBar();
    BuildPanels();
}

void TMainWindow::BuildActions() {
    Actions.SetBarColours(true);
    Actions.Add(ActionTable());
    HIMAGELIST glyphs = ::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_ACTION_GLYPHS),
                                               IDB_GLYPH_SIZE, 0, IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP,
                                               LR_CREATEDIBSECTION);
    if (!glyphs) throw std::runtime_error("command glyphs");
    Actions.SetImages(glyphs);
    ModeIcons.reset(::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_MODE_ICONS),
                                           IDB_GLYPH_SIZE, 0, IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP,
                                           LR_CREATEDIBSECTION));
    if (!ModeIcons.get()) throw std::runtime_error("ModeIcons");

    const std::pair<Command::Id, void (TMainWindow::*)()> handlers[] = {
        {Command::AddFiles, &TMainWindow::AddFiles},
        {Command::StartRun, &TMainWindow::StartRun},
        {Command::ExitProgram, &TMainWindow::ExitProgram},
        {Command::ClearList, &TMainWindow::ClearList},
        {Command::TickAll, &TMainWindow::TickAll},
        {Command::UntickAll, &TMainWindow::UntickAll},
        {Command::OpenSettings, &TMainWindow::OpenSettings},
        {Command::StopRun, &TMainWindow::StopRun},
        {Command::AddFolder, &TMainWindow::AddFolder},
        {Command::ShowHelp, &TMainWindow::ShowHelp},
        {Command::RemoveUnticked, &TMainWindow::RemoveUnticked},
        {Command::RemoveTicked, &TMainWindow::RemoveTicked},
        {Command::ShowAbout, &TMainWindow::ShowAbout},
        {Command::OpenWebSite, &TMainWindow::OpenWebSite},
        {Command::ApplyMode, &TMainWindow::ApplyMode},
        {Command::RunHistoryTools, &TMainWindow::RunHistoryTools},
        {Command::OpenHistoryTools, &TMainWindow::OpenHistoryTools},
        {Command::ManageProfiles, &TMainWindow::ManageProfiles},
        {Command::ShowFileProperties, &TMainWindow::ShowFileProperties},
        {Command::ImportList, &TMainWindow::ImportList},
        {Command::ExportList, &TMainWindow::ExportList},
        {Command::RemoveSelected, &TMainWindow::RemoveSelected},
        {Command::OpenFreeSpace, &TMainWindow::OpenFreeSpace},
        {Command::EraseRecycleBin, &TMainWindow::EraseRecycleBin},
    };
    for (const auto& [id, handler] : handlers) Actions[id].OnExecute = [this, handler] { (this->*handler)(); };
    // A build without a web address has no web page to show.
    Actions[Command::OpenWebSite].SetEnabled(!ProductWebAddress().empty());
}

void TMainWindow::BuildBars() {
    Require(ControlBar.Create(Handle(), IDC_CONTROL_BAR, 0, 0, kClientWidth, kControlBarHeight));
    HWND bar = ControlBar.Handle();
    int x = 2;
    MainToolBar = Require(
        Actions.BuildToolBar(bar, IDC_MAIN_TOOLBAR, MainToolBarTable(), x, 3, kMainToolBarWidth, kBarPieceHeight));
    x += kMainToolBarWidth + 2;
    Require(ModePanel.Create(bar, IDC_MODE_PANEL, x, 3, kModePanelWidth, kBarPieceHeight));
    ModeLabel = AddChild(ModePanel.Handle(), L"STATIC", L"抹消モード", SS_LEFT, 4, 8, 56, 14);
    Require(ModeSelector.Create(ModePanel.Handle(), IDC_MODE_SELECTOR, 62, 3, 90, 200));
    ::SendMessageW(ModeSelector.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    ModeSelector.SetImages(ModeIcons.get());
    for (int mode = 0; mode < 4; ++mode) ModeSelector.AddItem(kModeNames[mode], mode);
    // A drop-down list that takes no typed keys: a mode changes only by choosing it.
    if (HWND combo = reinterpret_cast<HWND>(::SendMessageW(ModeSelector.Handle(), CBEM_GETCOMBOCONTROL, 0, 0)))
        ui::SetSubclass(combo, SwallowTypedKeys, 1, 0);
    ApplyModeButton =
        AddChild(ModePanel.Handle(), L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON, 155, 3, 48, 22, IDC_APPLY_MODE);
    Actions.BindButton(ApplyModeButton, Command::ApplyMode);
    Hints = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    const std::wstring modeHint = L"抹消モードを選択します(変更後は適用を押して下さい)";
    AddHint(ModeSelector.Handle(), modeHint);
    if (HWND combo = reinterpret_cast<HWND>(::SendMessageW(ModeSelector.Handle(), CBEM_GETCOMBOCONTROL, 0, 0)))
        AddHint(combo, modeHint);
    AddHint(ApplyModeButton, Actions[Command::ApplyMode].Hint());
    x += kModePanelWidth + 2;
    HelpToolBar = Require(
        Actions.BuildToolBar(bar, IDC_HELP_TOOLBAR, HelpToolBarTable(), x, 3, kHelpToolBarWidth, kBarPieceHeight));
    x += kHelpToolBarWidth + 2;
    Require(BusyPanel.Create(bar, IDC_BUSY_PANEL, x, 3, kBusyPanelWidth, kBarPieceHeight));
    BusyFrame = AddChild(BusyPanel.Handle(), L"STATIC", L"", SS_ETCHEDFRAME, 3, 3, 78, 21);
}

void TMainWindow::AddHint(HWND control, const std::wstring& text) {
    if (!Hints || !control) return;
    std::wstring copy = text;  // the tool tip keeps its own copy
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = Handle();
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = copy.data();
    ::SendMessageW(Hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

std::wstring TMainWindow::HintOf(HWND control) const {
    if (!Hints) return {};
    wchar_t text[256] = {};
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = Handle();
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text;
    ::SendMessageW(Hints, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
    return text;
}

void TMainWindow::BuildStatusBar() {
    Require(
        StatusBar.Create(Handle(), IDC_STATUS_BAR, {{100}, {135}, {190, true, false}, {ui::kRestOfBar, false, true}}));
    ::SendMessageW(StatusBar.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), TRUE);
    OverallProgress = AddChild(Handle(), PROGRESS_CLASSW, L"", 0, 0, 0, 186, 15, IDC_OVERALL_PROGRESS);
    RECT status{};
    ::GetWindowRect(StatusBar.Handle(), &status);
    contentHeight_ = kClientHeight - kControlBarHeight - ui::Height(status);
}

void TMainWindow::BuildPanels() {
    const int w = kClientWidth, h = contentHeight_, top = contentTop_;

    // The list.
    Require(MainPanel.Create(Handle(), IDC_MAINPANEL, 0, top, w, h));
    HWND main = MainPanel.Handle();
    const int buttonTop = h - 34;
    // The list view only borrows its icons: FileIcons owns and frees them.
    Require(FileList.Create(main, IDC_FILELIST, 4, 4, w - 8, buttonTop - 8 - 30, LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS));
    ::SendMessageW(FileList.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
    FileList.AddColumn(L" ", 40);
    FileList.AddColumn(L"ファイル名", 200);
    FileList.AddColumn(L"拡張子", 55, LVCFMT_RIGHT);
    FileList.AddColumn(L"ファイルサイズ(Byte)", 205, LVCFMT_RIGHT);
    FileList.AddColumn(L"ファイルパス", 180);
    FileIcons.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 16, 256));
    FileList.SetImages(FileIcons.get());
    Logo = std::make_unique<TImageControl>();
    Require(Logo->CreateControl(main, 4, h - 65, 185, 61));
    Require(AddFilesButton.Create(main, L"", w - 3 * 124 - 4, buttonTop, 150, 28, IDC_ADD_FILES));
    Require(StartButton.Create(main, L"", w - 2 * 104 - 4, buttonTop, 100, 28, IDC_START_RUN));
    Require(ExitButton.Create(main, L"", w - 104 - 4, buttonTop, 100, 28, IDC_EXIT));
    for (HWND button : {AddFilesButton.Handle(), StartButton.Handle(), ExitButton.Handle()})
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    Actions.BindButton(AddFilesButton.Handle(), Command::AddFiles);
    Actions.BindButton(StartButton.Handle(), Command::StartRun);
    Actions.BindButton(ExitButton.Handle(), Command::ExitProgram);
    // The add and exit buttons carry their own glyphs from the design.
    AddFilesButton.SetGlyph(Actions.Images(), 0);
    ExitButton.SetGlyph(Actions.Images(), 4);

    // The run in progress.
    Require(ErasePanel.Create(Handle(), IDC_ERASEPANEL, 0, top, w, h));
    HWND erase = ErasePanel.Handle();
    ErasePicture = std::make_unique<TImageControl>();
    Require(ErasePicture->CreateControl(erase, 0, 0, w, h));
    EraseFrame = AddChild(erase, L"STATIC", L"", SS_ETCHEDFRAME, 40, 60, w - 80, 200);
    CurrentFileCaption = AddChild(erase, L"STATIC", L"処理中のファイル", SS_LEFT, 60, 80, 200, 16);
    ::SendMessageW(CurrentFileCaption, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    CurrentFileLabel =
        AddChild(erase, L"STATIC", L"", SS_LEFT | SS_EDITCONTROL, 60, 104, w - 120, 48, IDC_CURRENT_FILE);
    ProgressCaption = AddChild(erase, L"STATIC", L"進行状況:", SS_LEFT, 60, 170, 70, 16);
    PercentLabel = AddChild(erase, L"STATIC", L"0%", SS_LEFT, 132, 170, 60, 16, IDC_PERCENT);
    FileProgress = AddChild(erase, PROGRESS_CLASSW, L"", 0, 60, 194, w - 120, 18, IDC_FILE_PROGRESS);
    // Through a run of many small files these change far more often than the window is painted.
    for (HWND control : {PercentLabel, CurrentFileLabel, FileProgress, OverallProgress, StatusBar.Handle()})
        ui::PaintChangesLater(control);
    ::SendMessageW(FileProgress, PBM_SETRANGE32, 0, 100);
    Require(StopButton.Create(erase, L"", w - 104 - 4, h - 34, 100, 28, IDC_STOP_RUN));
    ::SendMessageW(StopButton.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    Actions.BindButton(StopButton.Handle(), Command::StopRun);
    ::SetWindowPos(ErasePicture->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    // The run's log.
    Require(ResultPanel.Create(Handle(), IDC_RESULTPANEL, 0, top, w, h));
    HWND result = ResultPanel.Handle();
    ResultIcon = AddChild(result, L"STATIC", L"", SS_ICON, 12, 8, 32, 32);
    ::SendMessageW(ResultIcon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_INFORMATION)), 0);
    ResultLabel = AddChild(result, L"STATIC", L"作業が完了しました。", SS_LEFT, 52, 18, 300, 16);
    ::SendMessageW(ResultLabel, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    // A view whose cost does not grow with the lines already there: a run logs every file.
    Require(EraseLog.Create(result, IDC_ERASELOG, 8, 44, w - 16, h - 44 - 42));
    Require(SaveLogButton.Create(result, L"　ログの保存", w - 2 * 124 - 4, h - 34, 120, 28, IDC_SAVE_LOG));
    ::SendMessageW(SaveLogButton.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    Require(SaveReportButton.Create(result, L"　レポートの保存", w - 3 * 124 - 4, h - 34, 120, 28, IDC_SAVE_REPORT));
    ::SendMessageW(SaveReportButton.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    FinishButton = AddChild(result, L"BUTTON", L">> 終了", WS_TABSTOP | BS_PUSHBUTTON, w - 124 - 4, h - 34, 120, 28,
                            IDC_FINISH_RUN);
    EraseAtNextStartButton = AddChild(result, L"BUTTON", L"次回起動時に抹消する", WS_TABSTOP | BS_PUSHBUTTON, 0, h - 34,
                                      120, 28, IDC_ERASE_AT_NEXT_START);
    ::ShowWindow(EraseAtNextStartButton, SW_HIDE);
    OfferFreeSpaceButton = AddChild(result, L"BUTTON", L"空き領域の抹消(&F)...", WS_TABSTOP | BS_PUSHBUTTON, 0,
                                    h - 34, 120, 28, IDC_OFFER_FREESPACE);
    ::ShowWindow(OfferFreeSpaceButton, SW_HIDE);
    LayOutResultButtons();

    // The history tools' panel and the free-space panel are made when first shown.

    ShowContentPanel(ContentPanel::List);
}

void TMainWindow::ShowContentPanel(ContentPanel panel) {
    // The panels most starts never show are made the first time they are.
    if (panel == ContentPanel::Tools && !Toolspanel.Handle()) BuildToolsPanel();
    if (panel == ContentPanel::FreeSpace && !FreeSpacePanel.Handle()) BuildFreeSpacePanel();
    visiblePanel_ = panel;
    const std::pair<ContentPanel, HWND> panels[] = {{ContentPanel::List, MainPanel.Handle()},
                                                    {ContentPanel::Running, ErasePanel.Handle()},
                                                    {ContentPanel::Result, ResultPanel.Handle()},
                                                    {ContentPanel::Tools, Toolspanel.Handle()},
                                                    {ContentPanel::FreeSpace, FreeSpacePanel.Handle()}};
    for (const auto& [which, window] : panels)
        if (window) ::ShowWindow(window, which == panel ? SW_SHOW : SW_HIDE);
    // Paths taken before the free-space panel showed waited for it to close.
    if (panel == ContentPanel::List && !HandedOverPaths.empty()) ::PostMessageW(Handle(), kHandOverMessage, 0, 0);
}

// --- the start-up sequence ---

void TMainWindow::FormCreate() {
    HMODULE module = ::GetModuleHandleW(nullptr);
    // 1. Title and notice line.
    application_.SetTitle(kProductTitle);
    StatusBar.SetText(3, kProductNotice);
    // 2. The application window's menu loses its second item; the program's icon.
    if (HMENU system = ::GetSystemMenu(application_.Handle(), FALSE)) ::DeleteMenu(system, 1, MF_BYPOSITION);
    HICON icon = ::LoadIconW(module, MAKEINTRESOURCEW(IDI_TIDEMARROW));
    application_.SetIcon(icon);
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    // 3. Captions.
    ::SetWindowTextW(Handle(), application_.Title().c_str());
    // 4. Pictures.
    ErasePicture->LoadPicture(module, IDB_ERASE_PANEL);
    Logo->SetTransparent(true);
    Logo->LoadPicture(module, IDB_LOGO);
    FinishFrame();
    ::ShowWindow(EraseFrame, SW_SHOW);
    // 5. Notifier and busy animation.
    notifier_ = std::make_unique<TSSTP>();
    busyAnimation_ = std::make_unique<TOsterlanActionImage>(BusyPanel.Handle());
    busyAnimation_->SetInterval(1800);
    busyAnimation_->LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    busyAnimation_->SetTransparent(false);
    busyAnimation_->SetBounds(4, 4, 77, 20);
    ::SetWindowPos(BusyFrame, nullptr, 3, 3, 78, 21, SWP_NOZORDER | SWP_NOACTIVATE);
    // 6. The window never gets smaller than it starts.
    RECT frame{};
    ::GetWindowRect(Handle(), &frame);
    minimumSize_ = {ui::Width(frame), ui::Height(frame)};
    // 7. The overall progress bar sits inside the status bar.
    StatusBar.Place(OverallProgress, 238, 3, 186, 15);
    ::ShowWindow(OverallProgress, SW_SHOW);
    // 8. The tools panel's caption and header come when the panel is first opened.
    // 9. Speed in the selector.
    ModeSelector.Select(0);
    // 10. Glyphs of the buttons that have none yet.
    SetButtonGlyph(StartButton, 1, Actions.Images());
    SetButtonGlyph(StopButton, 5, Actions.Images());
    SetButtonGlyph(AddFilesButton, 0, Actions.Images());
    SetButtonGlyph(SaveLogButton, 3, Actions.Images());
    SetButtonGlyph(SaveReportButton, 3, Actions.Images());
    SetButtonGlyph(ExitButton, 4, Actions.Images());
    // 11. Files dropped from the shell come to this window.
    ::DragAcceptFiles(Handle(), TRUE);
    // 12. An empty list.
    ClearFileList();
    // 13. The profile.
    // A /Pending start takes its profile as it is: it was checked before the window was made.
    ProfileName = PendingStartProfile.empty() ? ChooseProfile() : PendingStartProfile;
    if (ProfileName.empty()) {
        // Without a profile there is nothing to load and nothing may be saved: the program
        // ends as soon as its loop starts.
        application_.Terminate();
    } else {
        // 14. The profile's settings and lists.
        TConfigWindow& config = application_.CreateConfigWindow();
        config.CreateWhenShown(Handle());
        config.SetModeIcons(ModeIcons.get());
        config.SetProfileFolder(programFolder_ + L"User\\" + ProfileName);
        config.SetProfileName(ProfileName);
        config.SetSaveFailureNotice(SaveFailureNotice::MessageBox);
        config.LoadSettings();
    }
    // 15. The file list's pop-up menu.
    PopupBusy = false;
    FileListPopup = Actions.BuildPopupMenu(PopupTable());
    if (TConfigWindow* config = application_.Config()) {
        // 16. The companion's port.
        const std::uint16_t port = config->SSTPPort();
        if (port != TSSTP::kDefaultPort && port != notifier_->Port()) notifier_->SetPort(port);
        // 17. Start-up notification.
        NotifyCompanion(*notifier_, config, CompanionNotice::Start);
        // 18. The list left at the last close.
        // (A /Pending start leaves it for the next ordinary start.)
        if (arguments_.empty() && PendingStartProfile.empty() && config->AutoIn()) ImportLeftList();
        // 19. The files and folders named on the command line.
        TakeCommandLineArgument();
        // 20. What a free-space erase cut short left behind.
        CheckFreeSpaceLeftovers();
    }
}

void TMainWindow::DrawToolsHeader() {
    RECT area{};
    ::GetClientRect(ToolsHeader->Handle(), &area);
    ui::WindowDC screen(Handle());
    ui::Bitmap picture(ui::CreateDib24(screen.get(), ui::Width(area), ui::Height(area), false));
    if (!picture) throw std::runtime_error("ToolsHeader");
    ui::MemoryDC memory(screen.get());
    {
        ui::ScopedSelect selectPicture(memory.get(), picture.get());
        ::FillRect(memory.get(), &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        if (HICON icon = application_.Icon()) ::DrawIconEx(memory.get(), 40, 10, icon, 32, 32, 0, nullptr, DI_NORMAL);
        ::SetBkMode(memory.get(), TRANSPARENT);
        ::SetTextColor(memory.get(), RGB(0, 0, 0));
        const std::wstring heading = L"ファイル履歴を抹消します";
        const std::wstring line1 = L"インターネットエクスプローラが開いている場合は閉じて下さい。";
        const std::wstring line2 = L"選択された履歴はオプション設定に基づき精度が変更されます。";
        {
            ui::ScopedSelect bold(memory.get(), windowBoldFont_.get());
            ::TextOutW(memory.get(), 100, 15, heading.c_str(), static_cast<int>(heading.size()));
        }
        ui::ScopedSelect normal(memory.get(), windowFont_.get());
        ::TextOutW(memory.get(), 135, 40, line1.c_str(), static_cast<int>(line1.size()));
        ::TextOutW(memory.get(), 135, 55, line2.c_str(), static_cast<int>(line2.size()));
    }
    ToolsHeader->SetPicture(std::move(picture));
}

void TMainWindow::TakeCommandLineArgument() {
    AddCommandLinePaths();
    if (EraseRecycleBinAtStart)
        ::PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::EraseRecycleBin, 0), 0);
    PostPendingWork();
}

void TMainWindow::FormShow() {
    if (shownOnce_) return;
    shownOnce_ = true;
    ApplyDisplaySettings();
}

// --- calls into the parts that come later ---

void TMainWindow::ClearFileList() {
    FileList.Clear();
    if (FileIcons.get()) ::ImageList_RemoveAll(FileIcons.get());
    UpdateListActions();
    ShowOverallProgress(0, 0);
}

// The file named on the command line goes through the add gate like any other.
void TMainWindow::AddCommandLineFile() {
    const std::wstring path = std::move(PendingCommandLineFile);
    PendingCommandLineFile.clear();
    if (!path.empty()) AddFileToList(path, RemoveReadOnlySetting(), ExclusionSetting());
}

