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

int Command(int action) { return ui::kFirstActionCommand + action; }

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
        return (::GetMenuState(menu, Command(action), MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    bool ToolEnabled(HWND bar, int action) const {
        return ::SendMessageW(bar, TB_ISBUTTONENABLED, Command(action), 0) != 0;
    }
    // Clicks a tool bar button with the mouse messages the tool bar gets from a real click.
    void ClickTool(HWND bar, int action) const {
        const auto index = ::SendMessageW(bar, TB_COMMANDTOINDEX, Command(action), 0);
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
    ASSERT_FALSE(MenuGreyed(edit, 4));
    ASSERT_TRUE(ToolEnabled(form.ToolBar1, 4));
    ASSERT_FALSE(MenuGreyed(form.Popup.get(), 4));

    form.Actions[4].SetEnabled(false);
    EXPECT_TRUE(MenuGreyed(edit, 4));
    EXPECT_TRUE(MenuGreyed(form.Popup.get(), 4)) << "the pop-up menu follows too";
    EXPECT_FALSE(ToolEnabled(form.ToolBar1, 4));
    EXPECT_FALSE(MenuGreyed(edit, 5)) << "other items keep their state";
    EXPECT_TRUE(ToolEnabled(form.ToolBar1, 5));

    form.Actions[2].SetEnabled(false);
    EXPECT_FALSE(::IsWindowEnabled(form.BitBtn1.Handle()));
    EXPECT_TRUE(::IsWindowEnabled(form.BitBtn5.Handle()));

    form.Actions[4].SetEnabled(true);
    form.Actions[2].SetEnabled(true);
    EXPECT_FALSE(MenuGreyed(edit, 4));
    EXPECT_FALSE(MenuGreyed(form.Popup.get(), 4));
    EXPECT_TRUE(ToolEnabled(form.ToolBar1, 4));
    EXPECT_TRUE(::IsWindowEnabled(form.BitBtn1.Handle()));
}

TEST_F(Actions, EveryBoundControlRunsTheHandlerOnce) {
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(Command(5), 0), 0);  // menu item
    EXPECT_EQ(form.runs[5], 1);

    ClickTool(form.ToolBar1, 6);
    EXPECT_EQ(form.runs[6], 1);
    ClickTool(form.ToolBar2, 14);
    EXPECT_EQ(form.runs[14], 1);

    ::SendMessageW(form.BitBtn1.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.runs[2], 1);
    ::SendMessageW(form.Button2, BM_CLICK, 0, 0);  // inside a panel, which passes the command on
    EXPECT_EQ(form.runs[15], 1);

    int total = 0;
    for (const auto& [id, count] : form.runs) total += count;
    EXPECT_EQ(total, 5) << "nothing else ran";
}

TEST_F(Actions, ADisabledActionsCommandsDoNothing) {
    form.Actions[5].SetEnabled(false);
    form.Actions[2].SetEnabled(false);
    form.Actions[15].SetEnabled(false);
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(Command(5), 0), 0);
    ClickTool(form.ToolBar1, 5);
    ::SendMessageW(form.BitBtn1.Handle(), BM_CLICK, 0, 0);
    ::SendMessageW(form.Button2, BM_CLICK, 0, 0);
    // Even a click that reaches the window as a command finds the action disabled.
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(toolkit_test::kStartButtonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(form.BitBtn1.Handle()));
    EXPECT_FALSE(form.Actions[5].Execute());
    EXPECT_EQ(form.runs[5], 0);
    EXPECT_EQ(form.runs[2], 0);
    EXPECT_EQ(form.runs[15], 0);
}

TEST_F(Actions, CaptionChangesReachMenusAndButtonsButNotTableOverrides) {
    EXPECT_EQ(ui::WindowText(form.BitBtn1.Handle()), L"開始") << "a bound button takes the action's caption";
    EXPECT_EQ(ui::WindowText(form.Button2), L"適用");

    form.Actions[2].SetCaption(L"再開");
    EXPECT_EQ(ui::WindowText(form.BitBtn1.Handle()), L"再開");

    form.Actions[4].SetCaption(L"全部クリア(&A)");
    EXPECT_EQ(ui::MenuItemText(DropDown(1), Command(4)), L"全部クリア(&A)");
    EXPECT_EQ(ui::MenuItemText(form.Popup.get(), Command(4)), L"全部クリア(&A)");
    EXPECT_EQ(form.Actions.ShownCaption(form.ToolBar1, Command(4)), L"リストをすべてクリア（A）(&Z)");

    form.Actions[5].SetChecked(true);
    EXPECT_TRUE(::GetMenuState(DropDown(1), Command(5), MF_BYCOMMAND) & MF_CHECKED);
    form.Actions[5].SetChecked(false);
    EXPECT_FALSE(::GetMenuState(DropDown(1), Command(5), MF_BYCOMMAND) & MF_CHECKED);
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
    EXPECT_EQ(ids, (std::vector<int>{Command(1), Command(9), 0, Command(20), Command(21), 0, Command(3)}));
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
    EXPECT_EQ(ids, (std::vector<int>{Command(19), 0, Command(5), Command(6), 0, Command(4), Command(11), Command(12),
                                     0, Command(22)}));
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
        {1, 0, L"ファイルを追加"},
        {9, 10, L"フォルダ内のファイルを追加"},
        {0, 0, nullptr},
        {5, 9, L"ファイルリスト内すべてのファイルを対象とします"},
        {6, 8, L"ファイルリスト内の選択を解除"},
        {4, 12, L"リストをすべてクリア（A）"},
        {0, 0, nullptr},
        {17, 13, L"履歴を消去する追加機能"},
        {0, 0, nullptr},
        {7, 11, L"設定ウインドウを開きます"},
        {18, 14, L"ユーザーの切り替え..."},
    };
    const int count = static_cast<int>(::SendMessageW(form.ToolBar1, TB_BUTTONCOUNT, 0, 0));
    ASSERT_EQ(count, static_cast<int>(std::size(expected)));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        ASSERT_TRUE(::SendMessageW(form.ToolBar1, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        const Expected& want = expected[i];
        if (want.action == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP) << "position " << i;
            continue;
        }
        EXPECT_EQ(button.idCommand, Command(want.action)) << "position " << i;
        EXPECT_EQ(button.iBitmap, want.image) << "position " << i;
        EXPECT_EQ(ToolTip(form.ToolBar1, button.idCommand), want.tip) << "position " << i;
    }
    EXPECT_EQ(form.Actions.ShownCaption(form.ToolBar1, Command(18)), L"ユーザーの切り替え(&Y)...");
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(::SendMessageW(form.ToolBar1, TB_GETIMAGELIST, 0, 0)),
              form.Actions.Images());
    const auto size = ::SendMessageW(form.ToolBar1, TB_GETBUTTONSIZE, 0, 0);
    EXPECT_EQ(LOWORD(size), 23);
    EXPECT_EQ(HIWORD(size), 22);
    RECT bar{};
    ::GetWindowRect(form.ToolBar1, &bar);
    EXPECT_EQ(ui::Width(bar), 260);
    EXPECT_EQ(ui::Height(bar), 28);

    // The tip follows the hint.
    form.Actions[1].SetHint(L"追加します");
    EXPECT_EQ(ToolTip(form.ToolBar1, Command(1)), L"追加します");
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
    EXPECT_FALSE(actions.HandleCommand(MAKEWPARAM(Command(7), 0), 0)) << "no action 7";
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
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(coloured.ToolBar1) != FALSE; }));

    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND;
    ASSERT_TRUE(::GetMenuInfo(coloured.MenuBar, &info));
    EXPECT_EQ(info.hbrBack, ui::BarBrush());
    LOGBRUSH brush{};
    ASSERT_TRUE(::GetObjectW(info.hbrBack, sizeof(brush), &brush));
    EXPECT_EQ(brush.lbColor, RGB(0xF7, 0xF6, 0xEE));

    // Right of the last button the tool bar is empty.
    EXPECT_EQ(PixelOf(coloured.ToolBar1, 255, 25), ui::kBarColour);

    ToolkitForm plain;
    ASSERT_TRUE(plain.Make());
    ::ShowWindow(plain.Handle(), SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(plain.ToolBar1) != FALSE; }));
    EXPECT_NE(PixelOf(plain.ToolBar1, 255, 25), ui::kBarColour) << "colours are optional";
    info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND;
    ASSERT_TRUE(::GetMenuInfo(plain.MenuBar, &info));
    EXPECT_EQ(info.hbrBack, nullptr);
}

}  // namespace
