#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Gui.h"
#include "tests/ui/ToolkitFixture.h"
#include "ui/Action.h"

namespace {

using toolkit_test::ToolkitForm;

using C = Command;

int CommandId(int action) { return ui::kFirstActionCommand + action; }

class Actions : public ::testing::Test {
protected:
    void SetUp() override {
        toolkit_test::InitControls();
        ASSERT_TRUE(form.Make());
        ::ShowWindow(form.Handle(), SW_SHOW);
        ::UpdateWindow(form.Handle());
    }

    HMENU DropDown(int position) const { return ::GetSubMenu(form.MenuBar, position); }
    bool MenuGreyed(HMENU menu, int action) const {
        return (::GetMenuState(menu, CommandId(action), MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    bool ToolEnabled(HWND bar, int action) const {
        return ::SendMessageW(bar, TB_ISBUTTONENABLED, CommandId(action), 0) != 0;
    }
    // Clicks a tool bar button with the mouse messages the tool bar gets from a real click.
    void ClickTool(HWND bar, int action) const {
        const auto index = ::SendMessageW(bar, TB_COMMANDTOINDEX, CommandId(action), 0);
        RECT rect{};
        ASSERT_TRUE(::SendMessageW(bar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)));
        const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        ::SendMessageW(bar, WM_MOUSEMOVE, 0, point);
        ::SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::SendMessageW(bar, WM_LBUTTONUP, 0, point);
    }

    ToolkitForm form;
};

TEST_F(Actions, DisablingGreysTheMenuItemToolButtonAndPushButtonAndEnablingRestoresThem) {
    HMENU edit = DropDown(1);
    ASSERT_FALSE(MenuGreyed(edit, C::ClearList));
    ASSERT_TRUE(ToolEnabled(form.MainToolBar, C::ClearList));
    ASSERT_FALSE(MenuGreyed(form.Popup.get(), C::ClearList));

    form.Actions[C::ClearList].SetEnabled(false);
    EXPECT_TRUE(MenuGreyed(edit, C::ClearList));
    EXPECT_TRUE(MenuGreyed(form.Popup.get(), C::ClearList)) << "the pop-up menu follows too";
    EXPECT_FALSE(ToolEnabled(form.MainToolBar, C::ClearList));
    EXPECT_FALSE(MenuGreyed(edit, C::TickAll)) << "other items keep their state";
    EXPECT_TRUE(ToolEnabled(form.MainToolBar, C::TickAll));

    form.Actions[C::StartRun].SetEnabled(false);
    EXPECT_FALSE(::IsWindowEnabled(form.StartButton.Handle()));
    EXPECT_TRUE(::IsWindowEnabled(form.ExitButton.Handle()));

    form.Actions[C::ClearList].SetEnabled(true);
    form.Actions[C::StartRun].SetEnabled(true);
    EXPECT_FALSE(MenuGreyed(edit, C::ClearList));
    EXPECT_FALSE(MenuGreyed(form.Popup.get(), C::ClearList));
    EXPECT_TRUE(ToolEnabled(form.MainToolBar, C::ClearList));
    EXPECT_TRUE(::IsWindowEnabled(form.StartButton.Handle()));
}

TEST_F(Actions, EveryBoundControlRunsTheHandlerOnce) {
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(CommandId(C::TickAll), 0), 0);  // menu item
    EXPECT_EQ(form.runs[C::TickAll], 1);

    ClickTool(form.MainToolBar, C::UntickAll);
    EXPECT_EQ(form.runs[C::UntickAll], 1);
    ClickTool(form.HelpToolBar, C::OpenWebSite);
    EXPECT_EQ(form.runs[C::OpenWebSite], 1);

    ::SendMessageW(form.StartButton.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.runs[C::StartRun], 1);
    ::SendMessageW(form.ApplyButton, BM_CLICK, 0, 0);  // inside a panel, which passes the command on
    EXPECT_EQ(form.runs[C::ApplyMode], 1);

    int total = 0;
    for (const auto& [id, count] : form.runs) total += count;
    EXPECT_EQ(total, 5) << "nothing else ran";
}

TEST_F(Actions, ADisabledActionsCommandsDoNothing) {
    form.Actions[C::TickAll].SetEnabled(false);
    form.Actions[C::StartRun].SetEnabled(false);
    form.Actions[C::ApplyMode].SetEnabled(false);
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(CommandId(C::TickAll), 0), 0);
    ClickTool(form.MainToolBar, C::TickAll);
    ::SendMessageW(form.StartButton.Handle(), BM_CLICK, 0, 0);
    ::SendMessageW(form.ApplyButton, BM_CLICK, 0, 0);
    // Even a click that reaches the window as a command finds the action disabled.
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(toolkit_test::kStartButtonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(form.StartButton.Handle()));
    EXPECT_FALSE(form.Actions[C::TickAll].Execute());
    EXPECT_EQ(form.runs[C::TickAll], 0);
    EXPECT_EQ(form.runs[C::StartRun], 0);
    EXPECT_EQ(form.runs[C::ApplyMode], 0);
}

TEST_F(Actions, CaptionChangesReachMenusAndButtonsButNotTableOverrides) {
    EXPECT_EQ(ui::WindowText(form.StartButton.Handle()), L"開始") << "a bound button takes the action's caption";
    EXPECT_EQ(ui::WindowText(form.ApplyButton), L"適用");

    form.Actions[C::StartRun].SetCaption(L"再開");
    EXPECT_EQ(ui::WindowText(form.StartButton.Handle()), L"再開");

    form.Actions[C::ClearList].SetCaption(L"全部クリア(&A)");
    EXPECT_EQ(ui::MenuItemText(DropDown(1), CommandId(C::ClearList)), L"全部クリア(&A)");
    EXPECT_EQ(ui::MenuItemText(form.Popup.get(), CommandId(C::ClearList)), L"全部クリア(&A)");
    EXPECT_EQ(form.Actions.ShownCaption(form.MainToolBar, CommandId(C::ClearList)), L"リストをすべてクリア（A）(&Z)");

    form.Actions[C::TickAll].SetChecked(true);
    EXPECT_TRUE(::GetMenuState(DropDown(1), CommandId(C::TickAll), MF_BYCOMMAND) & MF_CHECKED);
    form.Actions[C::TickAll].SetChecked(false);
    EXPECT_FALSE(::GetMenuState(DropDown(1), CommandId(C::TickAll), MF_BYCOMMAND) & MF_CHECKED);
}

// One entry of a menu as read back: its text, or "-" for a separator.
std::vector<std::wstring> MenuEntries(HMENU menu, std::vector<int>* ids = nullptr) {
    std::vector<std::wstring> entries;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            entries.push_back(L"-");
            if (ids) ids->push_back(0);
            continue;
        }
        wchar_t text[256] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        entries.push_back(text);
        if (ids) ids->push_back(static_cast<int>(info.wID));
    }
    return entries;
}

TEST_F(Actions, MenusFromTablesHaveTheCaptionsSeparatorsAndOrderGiven) {
    EXPECT_EQ(::GetMenu(form.Handle()), form.MenuBar);
    const std::vector<std::wstring> bar = MenuEntries(form.MenuBar);
    EXPECT_EQ(bar, (std::vector<std::wstring>{L"ファイル(&F)", L"編集(&E)", L"追加機能(&T)", L"設定(&C)",
                                              L"ヘルプ(&H)"}));

    std::vector<int> ids;
    EXPECT_EQ(MenuEntries(DropDown(0), &ids),
              (std::vector<std::wstring>{L"ファイルを追加(&A)...", L"フォルダ内のファイルを追加(&F)...", L"-",
                                         L"インポート(&I)", L"エクスポート(&E)", L"-", L"終了(&C)"}));
    EXPECT_EQ(ids, (std::vector<int>{CommandId(C::AddFiles), CommandId(C::AddFolder), 0, CommandId(C::ImportList),
                                     CommandId(C::ExportList), 0, CommandId(C::ExitProgram)}));
    EXPECT_EQ(MenuEntries(DropDown(1)),
              (std::vector<std::wstring>{L"リストすべてにチェックを入れる（&O）", L"リストのチェックをすべて解除(&U)",
                                         L"-", L"リストをすべてクリア（&A）", L"-",
                                         L"チェックが入っていないファイルのみリストからクリア(&N)",
                                         L"チェックが入っているファイルのみリストからクリア(&Y)"}));
    EXPECT_EQ(MenuEntries(DropDown(2)), (std::vector<std::wstring>{L"履歴抹消ツール(&H)"}));
    EXPECT_EQ(MenuEntries(DropDown(3)),
              (std::vector<std::wstring>{L"設定(&C)...", L"-", L"ユーザープロファイル管理(&U)..."}));
    EXPECT_EQ(MenuEntries(DropDown(4)), (std::vector<std::wstring>{L"ヘルプの表示(&H)...",
                                                                   L"ウェブサイトを表示(&W)...", L"-",
                                                                   L"バージョン情報(&V)..."}));

    ids.clear();
    EXPECT_EQ(MenuEntries(form.Popup.get(), &ids).size(), 10u);
    EXPECT_EQ(ids, (std::vector<int>{CommandId(C::ShowFileProperties), 0, CommandId(C::TickAll),
                                     CommandId(C::UntickAll), 0, CommandId(C::ClearList), CommandId(C::RemoveUnticked),
                                     CommandId(C::RemoveTicked), 0, CommandId(C::RemoveSelected)}));
}

std::wstring ToolTip(HWND bar, int commandId) {
    HWND tip = reinterpret_cast<HWND>(::SendMessageW(bar, TB_GETTOOLTIPS, 0, 0));
    if (!tip) return L"(no tool tip control)";
    wchar_t text[512] = {};
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = bar;
    info.uId = static_cast<UINT_PTR>(commandId);
    info.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&info));
    return text;
}

TEST_F(Actions, AToolBarFromATableHasTheButtonsImagesAndToolTipsGiven) {
    struct Expected {
        int action;  // 0: separator
        int image;
        const wchar_t* tip;
    };
    const Expected expected[] = {
        {C::AddFiles, 0, L"ファイルを追加"},
        {C::AddFolder, 10, L"フォルダ内のファイルを追加"},
        {0, 0, nullptr},
        {C::TickAll, 9, L"ファイルリスト内すべてのファイルを対象とします"},
        {C::UntickAll, 8, L"ファイルリスト内の選択を解除"},
        {C::ClearList, 12, L"リストをすべてクリア（A）"},
        {0, 0, nullptr},
        {C::OpenHistoryTools, 13, L"履歴を消去する追加機能"},
        {0, 0, nullptr},
        {C::OpenSettings, 11, L"設定ウインドウを開きます"},
        {C::ManageProfiles, 14, L"ユーザーの切り替え..."},
    };
    const int count = static_cast<int>(::SendMessageW(form.MainToolBar, TB_BUTTONCOUNT, 0, 0));
    ASSERT_EQ(count, static_cast<int>(std::size(expected)));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        ASSERT_TRUE(::SendMessageW(form.MainToolBar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        const Expected& want = expected[i];
        if (want.action == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP) << "position " << i;
            continue;
        }
        EXPECT_EQ(button.idCommand, CommandId(want.action)) << "position " << i;
        EXPECT_EQ(button.iBitmap, want.image) << "position " << i;
        EXPECT_EQ(ToolTip(form.MainToolBar, button.idCommand), want.tip) << "position " << i;
    }
    EXPECT_EQ(form.Actions.ShownCaption(form.MainToolBar, CommandId(C::ManageProfiles)), L"ユーザーの切り替え(&Y)...");
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(::SendMessageW(form.MainToolBar, TB_GETIMAGELIST, 0, 0)),
              form.Actions.Images());
    const auto size = ::SendMessageW(form.MainToolBar, TB_GETBUTTONSIZE, 0, 0);
    EXPECT_EQ(LOWORD(size), 23);
    EXPECT_EQ(HIWORD(size), 22);
    RECT bar{};
    ::GetWindowRect(form.MainToolBar, &bar);
    EXPECT_EQ(ui::Width(bar), 260);
    EXPECT_EQ(ui::Height(bar), 28);

    // The tip follows the hint.
    form.Actions[C::AddFiles].SetHint(L"追加します");
    EXPECT_EQ(ToolTip(form.MainToolBar, CommandId(C::AddFiles)), L"追加します");
}

TEST(ActionTable, UnknownAndRepeatedIdentifiersAreLeftOut) {
    toolkit_test::InitControls();
    ui::ActionList actions;
    EXPECT_FALSE(actions.Add({{1, L"一"}, {1, L"二"}, {0, L"零"}}));
    ASSERT_NE(actions.Find(1), nullptr);
    EXPECT_EQ(actions.Find(1)->Caption(), L"一");
    EXPECT_EQ(actions.Find(0), nullptr);
    ui::UniqueMenu menu = actions.BuildPopupMenu({{1}, {7}, ui::Separator(), {1}});
    EXPECT_EQ(MenuEntries(menu.get()), (std::vector<std::wstring>{L"一", L"-", L"一"}));
    EXPECT_FALSE(actions.HandleCommand(MAKEWPARAM(CommandId(7), 0), 0)) << "no action 7";
    EXPECT_FALSE(actions.HandleCommand(MAKEWPARAM(5, 0), 0)) << "outside the action range";
    EXPECT_FALSE(actions[1].Execute()) << "no handler";
}

TEST(ActionTable, AcceleratorMarksAreStrippedForTips) {
    EXPECT_EQ(ui::StripAccelerator(L"設定(&C)..."), L"設定...");
    EXPECT_EQ(ui::StripAccelerator(L"&Open && Save"), L"Open & Save");
    EXPECT_EQ(ui::StripAccelerator(L"開始"), L"開始");
    EXPECT_EQ(ui::StripAccelerator(L"(&"), L"(");
}

COLORREF PixelOf(HWND hwnd, int x, int y) {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = ::GetDC(hwnd);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(hwnd, dc);
    return colour;
}

TEST(BarColours, TheEmptyPartOfToolBarsAndTheMenuBarTakeTheBarColour) {
    toolkit_test::InitControls();
    ToolkitForm coloured(true);
    ASSERT_TRUE(coloured.Make());
    ::ShowWindow(coloured.Handle(), SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(coloured.MainToolBar) != FALSE; }));

    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND;
    ASSERT_TRUE(::GetMenuInfo(coloured.MenuBar, &info));
    EXPECT_EQ(info.hbrBack, ui::BarBrush());
    LOGBRUSH brush{};
    ASSERT_TRUE(::GetObjectW(info.hbrBack, sizeof(brush), &brush));
    EXPECT_EQ(brush.lbColor, RGB(0xF7, 0xF6, 0xEE));

    // Right of the last button the tool bar is empty.
    EXPECT_EQ(PixelOf(coloured.MainToolBar, 255, 25), ui::kBarColour);

    ToolkitForm plain;
    ASSERT_TRUE(plain.Make());
    ::ShowWindow(plain.Handle(), SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(plain.MainToolBar) != FALSE; }));
    EXPECT_NE(PixelOf(plain.MainToolBar, 255, 25), ui::kBarColour) << "colours are optional";
    info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND;
    ASSERT_TRUE(::GetMenuInfo(plain.MenuBar, &info));
    EXPECT_EQ(info.hbrBack, nullptr);
}

}  // namespace
