#pragma once

// A form built like the main window's frame from the toolkit pieces: the action table, a menu
// bar, an icons-only tool bar and a pop-up menu made from tables, push buttons bound to
// actions, a panel, a list view, a combo box and a status bar.

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "app/Commands.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace toolkit_test {

using C = Command;

constexpr int kMainToolBarId = 201;
constexpr int kHelpToolBarId = 202;
constexpr int kStartButtonId = 203;
constexpr int kExitButtonId = 204;
constexpr int kListId = 205;
constexpr int kComboId = 206;
constexpr int kStatusId = 207;
constexpr int kPanelId = 208;
constexpr int kProgressId = 209;
constexpr int kApplyButtonId = 210;

// Colours of the test images: image i is a square of kImageColours[i] on a transparent edge.
inline COLORREF ImageColour(int index) {
    static const COLORREF colours[] = {RGB(200, 0, 0),   RGB(0, 160, 0),   RGB(0, 0, 200),   RGB(200, 200, 0),
                                       RGB(200, 0, 200), RGB(0, 200, 200), RGB(120, 60, 0),  RGB(60, 0, 120),
                                       RGB(0, 120, 60),  RGB(240, 120, 0), RGB(120, 120, 120), RGB(0, 60, 240),
                                       RGB(240, 0, 90),  RGB(90, 240, 0),  RGB(0, 90, 90),   RGB(90, 0, 0),
                                       RGB(40, 40, 160)};
    return colours[index % (sizeof(colours) / sizeof(colours[0]))];
}
constexpr COLORREF kMaskColour = RGB(255, 0, 255);

// An image list of `count` 16 × 16 images: a coloured square (2..13) on the mask colour.
inline HIMAGELIST MakeTestImages(int count) {
    HIMAGELIST list = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, count, 0);
    HDC screen = ::GetDC(nullptr);
    for (int i = 0; i < count; ++i) {
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
        HDC memory = ::CreateCompatibleDC(screen);
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        HBRUSH mask = ::CreateSolidBrush(kMaskColour);
        HBRUSH fill = ::CreateSolidBrush(ImageColour(i));
        RECT all{0, 0, 16, 16};
        RECT inner{2, 2, 14, 14};
        ::FillRect(memory, &all, mask);
        ::FillRect(memory, &inner, fill);
        ::DeleteObject(mask);
        ::DeleteObject(fill);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
        ::ImageList_AddMasked(list, bitmap, kMaskColour);
        ::DeleteObject(bitmap);
    }
    ::ReleaseDC(nullptr, screen);
    return list;
}

// The main window's action table.
inline std::vector<ui::ActionInfo> MainActions() {
    return {
        {C::AddFiles, L"ファイルを追加(&A)...", L"ファイルを追加", 0},
        {C::StartRun, L"開始", L"処理を開始します", ui::kNoImage},
        {C::ExitProgram, L"終了(&C)", L"", 4},
        {C::ClearList, L"リストをすべてクリア（&A）", L"ファイルリストをすべてクリアします", 12},
        {C::TickAll, L"リストすべてにチェックを入れる（&O）", L"ファイルリスト内すべてのファイルを対象とします", 9},
        {C::UntickAll, L"リストのチェックをすべて解除(&U)", L"ファイルリスト内の選択を解除", 8},
        {C::OpenSettings, L"設定(&C)...", L"設定ウインドウを開きます", 11},
        {C::StopRun, L"中止", L"", ui::kNoImage},
        {C::AddFolder, L"フォルダ内のファイルを追加(&F)...", L"フォルダ内のファイルを追加", 10},
        {C::ShowHelp, L"ヘルプの表示(&H)...", L"ヘルプを表示", 7},
        {C::RemoveUnticked, L"チェックが入っていないファイルのみリストからクリア(&N)", L"", ui::kNoImage},
        {C::RemoveTicked, L"チェックが入っているファイルのみリストからクリア(&Y)", L"", ui::kNoImage},
        {C::ShowAbout, L"バージョン情報(&V)...", L"", ui::kNoImage},
        {C::OpenWebSite, L"ウェブサイトを表示(&W)...", L"ウェブサイトを表示", 2},
        {C::ApplyMode, L"適用", L"変更した抹消モードを適用", ui::kNoImage},
        {C::RunHistoryTools, L"選択した作業を開始", L"", ui::kNoImage},
        {C::OpenHistoryTools, L"履歴抹消ツール(&H)", L"履歴を消去する追加機能", 13},
        {C::ManageProfiles, L"ユーザープロファイル管理(&U)...", L"ユーザープロファイルの作成と削除を行います", 14},
        {C::ShowFileProperties, L"ファイルのプロパティ(&P)...", L"", ui::kNoImage},
        {C::ImportList, L"インポート(&I)", L"", 16},
        {C::ExportList, L"エクスポート(&E)", L"", 15},
        {C::RemoveSelected, L"選択したファイルをリストから削除(&R)", L"", ui::kNoImage},
    };
}

inline std::vector<ui::MenuSpec> MainMenus() {
    using ui::Separator;
    return {
        {L"ファイル(&F)",
         {{C::AddFiles}, {C::AddFolder}, Separator(), {C::ImportList}, {C::ExportList}, Separator(), {C::ExitProgram}}},
        {L"編集(&E)",
         {{C::TickAll}, {C::UntickAll}, Separator(), {C::ClearList}, Separator(), {C::RemoveUnticked},
          {C::RemoveTicked}}},
        {L"追加機能(&T)", {{C::OpenHistoryTools}}},
        {L"設定(&C)", {{C::OpenSettings}, Separator(), {C::ManageProfiles}}},
        {L"ヘルプ(&H)", {{C::ShowHelp}, {C::OpenWebSite}, Separator(), {C::ShowAbout}}},
    };
}

inline std::vector<ui::BarItem> MainToolBarItems() {
    using ui::Separator;
    return {{C::AddFiles},
            {C::AddFolder},
            Separator(),
            {C::TickAll},
            {C::UntickAll},
            {C::ClearList, L"リストをすべてクリア（A）(&Z)"},
            Separator(),
            {C::OpenHistoryTools},
            Separator(),
            {C::OpenSettings},
            {C::ManageProfiles, L"ユーザーの切り替え(&Y)..."}};
}

inline std::vector<ui::BarItem> PopupItems() {
    using ui::Separator;
    return {{C::ShowFileProperties}, Separator(),         {C::TickAll},      {C::UntickAll}, Separator(),
            {C::ClearList},          {C::RemoveUnticked}, {C::RemoveTicked}, Separator(),    {C::RemoveSelected}};
}

class ToolkitForm : public ui::Form {
public:
    explicit ToolkitForm(bool barColours = false) {
        Actions.SetBarColours(barColours);
        Actions.Add(MainActions());
        Actions.SetImages(MakeTestImages(17));
        for (int id = 1; id <= 22; ++id) Actions[id].OnExecute = [this, id] { ++runs[id]; };
    }

    bool Make() {
        if (!CreateForm(L"TmToolkitForm", L"TIDEMARROW32 SE", 686, 444,
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN))
            return false;
        MenuBar = Actions.BuildMenuBar(MainMenus()).release();
        ::SetMenu(Handle(), MenuBar);
        MainToolBar = Actions.BuildToolBar(Handle(), kMainToolBarId, MainToolBarItems(), 2, 2, 260, 28);
        HelpToolBar = Actions.BuildToolBar(Handle(), kHelpToolBarId, {{10}, ui::Separator(), {14}}, 470, 2, 77, 28);
        Popup = Actions.BuildPopupMenu(PopupItems());

        if (!ModePanel.Create(Handle(), kPanelId, 264, 2, 207, 28, ui::Panel::Edge::Raised)) return false;
        ui::CreateControl(ModePanel.Handle(), L"STATIC", L"抹消モード", WS_VISIBLE, 4, 7, 56, 14, 0);
        if (!ModeSelector.Create(ModePanel.Handle(), kComboId, 62, 3, 90, 200)) return false;
        ApplyButton = ui::CreateControl(ModePanel.Handle(), L"BUTTON", L"", WS_VISIBLE | WS_TABSTOP, 155, 3, 48, 22,
                                        kApplyButtonId);
        Actions.BindButton(ApplyButton, C::ApplyMode);

        if (!FileList.Create(Handle(), kListId, 4, 36, 678, 300)) return false;
        if (!StartButton.Create(Handle(), L"", 480, 344, 96, 26, kStartButtonId)) return false;
        if (!ExitButton.Create(Handle(), L"", 584, 344, 96, 26, kExitButtonId)) return false;
        Actions.BindButton(StartButton.Handle(), C::StartRun);
        Actions.BindButton(ExitButton.Handle(), C::ExitProgram);

        if (!StatusBar.Create(Handle(), kStatusId, {{100}, {135}, {190, true, false}, {ui::kRestOfBar, false, true}}))
            return false;
        OverallProgress = ui::CreateControl(Handle(), PROGRESS_CLASSW, L"", WS_VISIBLE, 0, 0, 10, 10, kProgressId);
        StatusBar.Place(OverallProgress, 238, 3, 186, 15);
        return true;
    }

    ui::ActionList Actions;
    HMENU MenuBar = nullptr;
    HWND MainToolBar = nullptr;
    HWND HelpToolBar = nullptr;
    ui::UniqueMenu Popup;
    ui::Panel ModePanel;
    ui::ComboBoxEx ModeSelector;
    HWND ApplyButton = nullptr;
    ui::CheckListView FileList;
    ui::BitmapButton StartButton;
    ui::BitmapButton ExitButton;
    ui::StatusBar StatusBar;
    HWND OverallProgress = nullptr;

    std::map<int, int> runs;
    int selectionChanges = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_COMMAND:
            if (ModeSelector.IsSelectionChange(wParam, lParam)) {
                ++selectionChanges;
                return 0;
            }
            if (Actions.HandleCommand(wParam, lParam)) return 0;
            break;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (Actions.HandleNotify(lParam, result)) return result;
            break;
        }
        case WM_DRAWITEM:
            if (ui::BitmapButton::DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
            break;
        case WM_SIZE:
            ::SendMessageW(StatusBar.Handle(), WM_SIZE, 0, 0);
            break;
        default:
            break;
        }
        return ui::Form::HandleMessage(message, wParam, lParam);
    }
};

inline void InitControls() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // One top-level window lives as long as the test program: under Wine the thread's input
    // method window stays tied to the first top-level window, and keyboard focus moved after
    // that window is destroyed ends the program with an X error.
    static HWND keeper = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                          nullptr);
    (void)keeper;
}

}  // namespace toolkit_test
