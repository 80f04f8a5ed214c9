#include "app/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "app/Application.h"
#include "common/Assertions.h"
#include "common/Types.h"
#include "dialogs/ImageControl.h"
#include "dialogs/OsterlanActionImages.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "profiles/NewUserWindow.h"
#include "profiles/UsersWindow.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t kWindowFace[] = L"ＭＳ Ｐゴシック";
const wchar_t kInitErrorCaption[] = L"初期化エラー";
const wchar_t kInitErrorText[] = L"正しくアプリケーションを初期化出来ませんでした。サポートへご連絡下さい";
const wchar_t* const kModeNames[] = {L"Speed", L"Normal", L"High", L"Custom"};

// The frame: a fixed single border with the caption buttons.
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

// Fixed sizes of the control bar's pieces.
constexpr int kToolBar1Width = 260, kToolPanel1Width = 207, kToolBar2Width = 77, kToolPanel2Width = 88;
constexpr int kBarPieceHeight = 28;
constexpr int kToolsHeaderHeight = 92;

std::vector<ui::ActionInfo> ActionTable() {
    return {
        {1, L"ファイルを追加(&A)...", L"ファイルを追加", 0},
        {2, L"開始", L"処理を開始します", ui::kNoImage},
        {3, L"終了(&C)", L"", 4},
        {4, L"リストをすべてクリア（&A）", L"ファイルリストをすべてクリアします", 12},
        {5, L"リストすべてにチェックを入れる（&O）", L"ファイルリスト内すべてのファイルを対象とします", 9},
        {6, L"リストのチェックをすべて解除(&U)", L"ファイルリスト内の選択を解除", 8},
        {7, L"設定(&C)...", L"設定ウインドウを開きます", 11},
        {8, L"中止", L"", ui::kNoImage},
        {9, L"フォルダ内のファイルを追加(&F)...", L"フォルダ内のファイルを追加", 10},
        {10, L"ヘルプの表示(&H)...", L"ヘルプを表示", 7},
        {11, L"チェックが入っていないファイルのみリストからクリア(&N)", L"", ui::kNoImage},
        {12, L"チェックが入っているファイルのみリストからクリア(&Y)", L"", ui::kNoImage},
        {13, L"バージョン情報(&V)...", L"", ui::kNoImage},
        {14, L"ウェブサイトを表示(&W)...", L"ウェブサイトを表示", 2},
        {15, L"適用", L"変更した抹消モードを適用", ui::kNoImage},
        {16, L"選択した作業を開始", L"", ui::kNoImage},
        {17, L"履歴抹消ツール(&H)", L"履歴を消去する追加機能", 13},
        {18, L"ユーザープロファイル管理(&U)...", L"ユーザープロファイルの作成と削除を行います", 14},
        {19, L"ファイルのプロパティ(&P)...", L"", ui::kNoImage},
        {20, L"インポート(&I)", L"", 16},
        {21, L"エクスポート(&E)", L"", 15},
        {22, L"選択したファイルをリストから削除(&R)", L"", ui::kNoImage},
    };
}

std::vector<ui::MenuSpec> MenuBarTable() {
    using ui::Separator;
    return {
        {L"ファイル(&F)", {{1}, {9}, Separator(), {20}, {21}, Separator(), {3}}},
        {L"編集(&E)", {{5}, {6}, Separator(), {4}, Separator(), {11}, {12}}},
        {L"追加機能(&T)", {{17}}},
        {L"設定(&C)", {{7}, Separator(), {18}}},
        {L"ヘルプ(&H)", {{10}, {14}, Separator(), {13}}},
    };
}

std::vector<ui::BarItem> ToolBar1Table() {
    using ui::Separator;
    return {{1},  {9},         {Separator()}, {5}, {6}, {4, L"リストをすべてクリア（A）(&Z)"}, Separator(),
            {17}, Separator(), {7},           {18, L"ユーザーの切り替え(&Y)..."}};
}

std::vector<ui::BarItem> ToolBar2Table() { return {{10}, ui::Separator(), {14}}; }

std::vector<ui::BarItem> PopupTable() {
    using ui::Separator;
    return {{19}, Separator(), {5}, {6}, Separator(), {4}, {11}, {12}, Separator(), {22}};
}

// The mode selector's edit part: typed keys are swallowed.
LRESULT CALLBACK SwallowTypedKeys(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR) return 0;
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
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
}

bool TMainWindow::Create(HWND owner, int showCommand) {
    try {
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
    ActionMainMenuBar1 = menuBar.release();
    ::SetMenu(Handle(), ActionMainMenuBar1);
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
    if (!glyphs) throw std::runtime_error("ImageList1");
    Actions.SetImages(glyphs);
    ImageList3.reset(::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_MODE_ICONS),
                                            IDB_GLYPH_SIZE, 0, IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP,
                                            LR_CREATEDIBSECTION));
    if (!ImageList3.get()) throw std::runtime_error("ImageList3");

    const std::pair<int, void (TMainWindow::*)()> handlers[] = {
        {1, &TMainWindow::Action1Execute},   {2, &TMainWindow::Action2Execute},
        {3, &TMainWindow::Action3Execute},   {4, &TMainWindow::Action4Execute},
        {5, &TMainWindow::Action5Execute},   {6, &TMainWindow::Action6Execute},
        {7, &TMainWindow::Action7Execute},   {8, &TMainWindow::Action8Execute},
        {9, &TMainWindow::Action9Execute},   {10, &TMainWindow::Action10Execute},
        {11, &TMainWindow::Action11Execute}, {12, &TMainWindow::Action12Execute},
        {13, &TMainWindow::Action13Execute}, {14, &TMainWindow::Action14Execute},
        {15, &TMainWindow::Action15Execute}, {16, &TMainWindow::Action16Execute},
        {17, &TMainWindow::Action17Execute}, {18, &TMainWindow::Action18Execute},
        {19, &TMainWindow::Action19Execute}, {20, &TMainWindow::Action20Execute},
        {21, &TMainWindow::Action21Execute}, {22, &TMainWindow::Action22Execute},
    };
    for (const auto& [id, handler] : handlers) Actions[id].OnExecute = [this, handler] { (this->*handler)(); };
}

void TMainWindow::BuildBars() {
    Require(ControlBar1.Create(Handle(), IDC_CONTROLBAR1, 0, 0, kClientWidth, kControlBarHeight));
    HWND bar = ControlBar1.Handle();
    int x = 2;
    ActionToolBar1 = Require(Actions.BuildToolBar(bar, IDC_ACTIONTOOLBAR1, ToolBar1Table(), x, 3, kToolBar1Width,
                                                  kBarPieceHeight));
    x += kToolBar1Width + 2;
    Require(ToolPanel1.Create(bar, IDC_TOOLPANEL1, x, 3, kToolPanel1Width, kBarPieceHeight));
    Label1 = AddChild(ToolPanel1.Handle(), L"STATIC", L"抹消モード", SS_LEFT, 4, 8, 56, 14);
    Require(ComboBoxEx1.Create(ToolPanel1.Handle(), IDC_COMBOBOXEX1, 62, 3, 90, 200));
    ::SendMessageW(ComboBoxEx1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    ComboBoxEx1.SetImages(ImageList3.get());
    for (int mode = 0; mode < 4; ++mode) ComboBoxEx1.AddItem(kModeNames[mode], mode);
    // A drop-down list that takes no typed keys: a mode changes only by choosing it.
    if (HWND combo = reinterpret_cast<HWND>(::SendMessageW(ComboBoxEx1.Handle(), CBEM_GETCOMBOCONTROL, 0, 0)))
        ::SetWindowSubclass(combo, SwallowTypedKeys, 1, 0);
    Button2 = AddChild(ToolPanel1.Handle(), L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON, 155, 3, 48, 22,
                       IDC_BUTTON2);
    Actions.BindButton(Button2, 15);
    Hints = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    const std::wstring modeHint = L"抹消モードを選択します(変更後は適用を押して下さい)";
    AddHint(ComboBoxEx1.Handle(), modeHint);
    if (HWND combo = reinterpret_cast<HWND>(::SendMessageW(ComboBoxEx1.Handle(), CBEM_GETCOMBOCONTROL, 0, 0)))
        AddHint(combo, modeHint);
    AddHint(Button2, Actions[15].Hint());
    x += kToolPanel1Width + 2;
    ActionToolBar2 = Require(Actions.BuildToolBar(bar, IDC_ACTIONTOOLBAR2, ToolBar2Table(), x, 3, kToolBar2Width,
                                                  kBarPieceHeight));
    x += kToolBar2Width + 2;
    Require(ToolPanel2.Create(bar, IDC_TOOLPANEL2, x, 3, kToolPanel2Width, kBarPieceHeight));
    Bevel4 = AddChild(ToolPanel2.Handle(), L"STATIC", L"", SS_ETCHEDFRAME, 3, 3, 78, 21);
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
    Require(StatusBar1.Create(Handle(), IDC_STATUSBAR1,
                              {{100}, {135}, {190, true, false}, {ui::kRestOfBar, false, true}}));
    ::SendMessageW(StatusBar1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), TRUE);
    ProgressBar2 = AddChild(Handle(), PROGRESS_CLASSW, L"", 0, 0, 0, 186, 15, IDC_PROGRESSBAR2);
    RECT status{};
    ::GetWindowRect(StatusBar1.Handle(), &status);
    contentHeight_ = kClientHeight - kControlBarHeight - ui::Height(status);
}

void TMainWindow::BuildPanels() {
    const int w = kClientWidth, h = contentHeight_, top = contentTop_;

    // The list.
    Require(MainPanel.Create(Handle(), IDC_MAINPANEL, 0, top, w, h));
    HWND main = MainPanel.Handle();
    const int buttonTop = h - 34;
    // The list view only borrows its icons: ImageList2 owns and frees them.
    Require(FileList.Create(main, IDC_FILELIST, 4, 4, w - 8, buttonTop - 8 - 30, LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS));
    ::SendMessageW(FileList.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
    FileList.AddColumn(L" ", 40);
    FileList.AddColumn(L"ファイル名", 200);
    FileList.AddColumn(L"拡張子", 55, LVCFMT_RIGHT);
    FileList.AddColumn(L"ファイルサイズ(Byte)", 205, LVCFMT_RIGHT);
    FileList.AddColumn(L"ファイルパス", 180);
    ImageList2.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 16, 16));
    FileList.SetImages(ImageList2.get());
    Image4 = std::make_unique<TImageControl>();
    Require(Image4->CreateControl(main, 4, h - 65, 185, 61));
    Require(BitBtn3.Create(main, L"", w - 3 * 124 - 4, buttonTop, 150, 28, IDC_BITBTN3));
    Require(BitBtn1.Create(main, L"", w - 2 * 104 - 4, buttonTop, 100, 28, IDC_BITBTN1));
    Require(BitBtn5.Create(main, L"", w - 104 - 4, buttonTop, 100, 28, IDC_BITBTN5));
    for (HWND button : {BitBtn3.Handle(), BitBtn1.Handle(), BitBtn5.Handle()})
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    Actions.BindButton(BitBtn3.Handle(), 1);
    Actions.BindButton(BitBtn1.Handle(), 2);
    Actions.BindButton(BitBtn5.Handle(), 3);
    // The add and exit buttons carry their own glyphs from the design.
    BitBtn3.SetGlyph(Actions.Images(), 0);
    BitBtn5.SetGlyph(Actions.Images(), 4);

    // The run in progress.
    Require(ErasePanel.Create(Handle(), IDC_ERASEPANEL, 0, top, w, h));
    HWND erase = ErasePanel.Handle();
    Image1 = std::make_unique<TImageControl>();
    Require(Image1->CreateControl(erase, 0, 0, w, h));
    Bevel1 = AddChild(erase, L"STATIC", L"", SS_ETCHEDFRAME, 40, 60, w - 80, 200);
    Label4 = AddChild(erase, L"STATIC", L"処理中のファイル", SS_LEFT, 60, 80, 200, 16);
    ::SendMessageW(Label4, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    Label2 = AddChild(erase, L"STATIC", L"", SS_LEFT | SS_EDITCONTROL, 60, 104, w - 120, 48, IDC_LABEL2);
    Label5 = AddChild(erase, L"STATIC", L"進行状況:", SS_LEFT, 60, 170, 70, 16);
    Label3 = AddChild(erase, L"STATIC", L"0%", SS_LEFT, 132, 170, 60, 16, IDC_LABEL3);
    ProgressBar1 = AddChild(erase, PROGRESS_CLASSW, L"", 0, 60, 194, w - 120, 18, IDC_PROGRESSBAR1);
    ::SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
    Require(BitBtn2.Create(erase, L"", w - 104 - 4, h - 34, 100, 28, IDC_BITBTN2));
    ::SendMessageW(BitBtn2.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    Actions.BindButton(BitBtn2.Handle(), 8);
    ::SetWindowPos(Image1->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    // The run's log.
    Require(ResultPanel.Create(Handle(), IDC_RESULTPANEL, 0, top, w, h));
    HWND result = ResultPanel.Handle();
    Image2 = AddChild(result, L"STATIC", L"", SS_ICON, 12, 8, 32, 32);
    ::SendMessageW(Image2, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_INFORMATION)), 0);
    Label6 = AddChild(result, L"STATIC", L"作業が完了しました。", SS_LEFT, 52, 18, 300, 16);
    ::SendMessageW(Label6, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    EraseLog = AddChild(result, L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, 8, 44,
                        w - 16, h - 44 - 42, IDC_ERASELOG, WS_EX_CLIENTEDGE);
    // A long run writes more than the default 32 K characters.
    ::SendMessageW(EraseLog, EM_SETLIMITTEXT, 0, 0);
    Require(BitBtn4.Create(result, L"　ログの保存", w - 2 * 124 - 4, h - 34, 120, 28, IDC_BITBTN4));
    ::SendMessageW(BitBtn4.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    Button1 = AddChild(result, L"BUTTON", L">> 終了", WS_TABSTOP | BS_PUSHBUTTON, w - 124 - 4, h - 34, 120, 28,
                       IDC_BUTTON1);

    // The history tools; the tools themselves are placed by their own part.
    Require(Toolspanel.Create(Handle(), IDC_TOOLSPANEL, 0, top, w, h));
    HWND tools = Toolspanel.Handle();
    Image3 = std::make_unique<TImageControl>();
    Require(Image3->CreateControl(tools, 0, 0, w, kToolsHeaderHeight));
    Label9 = AddChild(tools, L"STATIC", L"", SS_LEFT, 8, kToolsHeaderHeight + 8, 300, 16, IDC_LABEL9);
    ::SendMessageW(Label9, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    BitBtn6 = AddChild(tools, L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON, w - 164 - 4, h - 34, 160, 28,
                       IDC_BITBTN6);
    Actions.BindButton(BitBtn6, 16);
    BuildToolsPanel();

    ShowContentPanel(ContentPanel::List);
}

void TMainWindow::ShowContentPanel(ContentPanel panel) {
    visiblePanel_ = panel;
    const std::pair<ContentPanel, HWND> panels[] = {{ContentPanel::List, MainPanel.Handle()},
                                                    {ContentPanel::Running, ErasePanel.Handle()},
                                                    {ContentPanel::Result, ResultPanel.Handle()},
                                                    {ContentPanel::Tools, Toolspanel.Handle()}};
    for (const auto& [which, window] : panels)
        if (window) ::ShowWindow(window, which == panel ? SW_SHOW : SW_HIDE);
}

// --- the start-up sequence ---

void TMainWindow::FormCreate() {
    HMODULE module = ::GetModuleHandleW(nullptr);
    // 1. Title and notice line.
    application_.SetTitle(kProductTitle);
    StatusBar1.SetText(3, kProductNotice);
    // 2. The application window's menu loses its second item; the program's icon.
    if (HMENU system = ::GetSystemMenu(application_.Handle(), FALSE)) ::DeleteMenu(system, 1, MF_BYPOSITION);
    HICON icon = ::LoadIconW(module, MAKEINTRESOURCEW(IDI_TIDEMARROW));
    application_.SetIcon(icon);
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    // 3. Captions.
    ::SetWindowTextW(Handle(), application_.Title().c_str());
    ::SetWindowTextW(Label9, application_.Title().c_str());
    // 4. Pictures.
    Image1->LoadPicture(module, IDB_ERASE_PANEL);
    Image4->SetTransparent(true);
    Image4->LoadPicture(module, IDB_LOGO);
    FinishFrame();
    ::ShowWindow(Bevel1, SW_SHOW);
    // 5. Notifier and busy animation.
    SSTP1 = std::make_unique<TSSTP>();
    OsterlanActionImage1 = std::make_unique<TOsterlanActionImage>(ToolPanel2.Handle());
    OsterlanActionImage1->SetInterval(1800);
    OsterlanActionImage1->LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    OsterlanActionImage1->SetTransparent(false);
    OsterlanActionImage1->SetBounds(4, 4, 77, 20);
    ::SetWindowPos(Bevel4, nullptr, 3, 3, 78, 21, SWP_NOZORDER | SWP_NOACTIVATE);
    // 6. The window never gets smaller than it starts.
    RECT frame{};
    ::GetWindowRect(Handle(), &frame);
    minimumSize_ = {ui::Width(frame), ui::Height(frame)};
    // 7. The overall progress bar sits inside the status bar.
    StatusBar1.Place(ProgressBar2, 238, 3, 186, 15);
    ::ShowWindow(ProgressBar2, SW_SHOW);
    // 8. The tools panel's header.
    DrawToolsHeader();
    // 9. Speed in the selector.
    ComboBoxEx1.Select(0);
    // 10. Glyphs of the buttons that have none yet.
    SetButtonGlyph(BitBtn1, 1, Actions.Images());
    SetButtonGlyph(BitBtn2, 5, Actions.Images());
    SetButtonGlyph(BitBtn3, 0, Actions.Images());
    SetButtonGlyph(BitBtn4, 3, Actions.Images());
    SetButtonGlyph(BitBtn5, 4, Actions.Images());
    // 11. Files dropped from the shell come to this window.
    ::DragAcceptFiles(Handle(), TRUE);
    // 12. An empty list.
    ClearFileList();
    // 13. The profile.
    ProfileName = ChooseProfile();
    if (ProfileName.empty()) {
        // Without a profile there is nothing to load and nothing may be saved: the program
        // ends as soon as its loop starts.
        application_.Terminate();
    } else {
        // 14. The profile's settings and lists.
        TConfigWindow& config = application_.CreateConfigWindow();
        config.Create(Handle());
        config.SetModeIcons(ImageList3.get());
        config.SetProfileFolder(programFolder_ + L"User\\" + ProfileName);
        config.SetProfileName(ProfileName);
        config.LoadSettings();
    }
    // 15. The file list's pop-up menu.
    PopupBusy = false;
    FileListPopup = Actions.BuildPopupMenu(PopupTable());
    if (TConfigWindow* config = application_.Config()) {
        // 16. The companion's port.
        const std::uint16_t port = config->SSTPPort();
        if (port != TSSTP::kDefaultPort && port != SSTP1->Port()) SSTP1->SetPort(port);
        // 17. Start-up notification.
        NotifyCompanion(*SSTP1, config, CompanionNotice::Start);
        // 18. The list left at the last close.
        if (arguments_.empty() && config->AutoIn()) ImportLeftList();
        // 19. The files and folders named on the command line.
        TakeCommandLineArgument();
    }
}

void TMainWindow::DrawToolsHeader() {
    RECT area{};
    ::GetClientRect(Image3->Handle(), &area);
    ui::WindowDC screen(Handle());
    ui::Bitmap picture(ui::CreateDib24(screen.get(), ui::Width(area), ui::Height(area), false));
    if (!picture) throw std::runtime_error("Image3");
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
    Image3->SetPicture(std::move(picture));
}

void TMainWindow::TakeCommandLineArgument() { AddCommandLinePaths(); }

void TMainWindow::FormShow() {
    if (shownOnce_) return;
    shownOnce_ = true;
    ApplyDisplaySettings();
}

// --- calls into the parts that come later ---

void TMainWindow::ClearFileList() {
    FileList.Clear();
    if (ImageList2.get()) ::ImageList_RemoveAll(ImageList2.get());
    UpdateListActions();
    ShowOverallProgress(0, 0);
}

// The file named on the command line goes through the add gate like any other.
void TMainWindow::AddCommandLineFile() {
    const std::wstring path = std::move(PendingCommandLineFile);
    PendingCommandLineFile.clear();
    if (!path.empty()) AddFileToList(path, RemoveReadOnlySetting(), ExclusionSetting());
}

