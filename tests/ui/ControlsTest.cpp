#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Gui.h"
#include "tests/ui/ToolkitFixture.h"
#include "ui/Controls.h"
#include "ui/Gdi.h"
#include "ui/Window.h"

namespace {

using C = Command;

using toolkit_test::ToolkitForm;

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        toolkit_test::InitControls();
        ASSERT_TRUE(form.Make());
        ::ShowWindow(form.Handle(), SW_SHOW);
        ::UpdateWindow(form.Handle());
    }
    ToolkitForm form;
};

TEST_F(Controls, ListViewRowsCarryTheirTextsAndTicksCanBeSetReadAndCounted) {
    ui::CheckListView& list = form.FileList;
    list.AddColumn(L"ファイル名", 200);
    list.AddColumn(L"拡張子", 60);
    list.AddColumn(L"サイズ", 80, LVCFMT_RIGHT);
    EXPECT_EQ(list.AddRow({L"a.txt", L".txt", L"10 Byte"}, true), 0);
    EXPECT_EQ(list.AddRow({L"b.dat", L".dat", L"20 Byte"}, false), 1);
    EXPECT_EQ(list.AddRow({L"名前.jpg", L".jpg", L"30 Byte"}, true), 2);
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(list.Text(2, 0), L"名前.jpg");
    EXPECT_EQ(list.Text(1, 2), L"20 Byte");
    EXPECT_TRUE(list.IsTicked(0));
    EXPECT_FALSE(list.IsTicked(1));
    EXPECT_EQ(list.TickedCount(), 2);

    list.SetTicked(1, true);
    list.SetTicked(0, false);
    EXPECT_FALSE(list.IsTicked(0));
    EXPECT_TRUE(list.IsTicked(1));
    EXPECT_EQ(list.TickedCount(), 2);

    list.SetAllTicked(true);
    EXPECT_EQ(list.TickedCount(), 3);
    list.SetAllTicked(false);
    EXPECT_EQ(list.TickedCount(), 0);

    list.SetTicked(2, true);
    EXPECT_TRUE(list.RemoveRow(0));
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.Text(0, 0), L"b.dat");
    EXPECT_TRUE(list.IsTicked(1)) << "the tick moves with its row";
    EXPECT_FALSE(list.RemoveRow(5));
    list.Clear();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.TickedCount(), 0);
}

TEST_F(Controls, TheSpaceKeyTogglesTheFocusedRowsTick) {
    ui::CheckListView& list = form.FileList;
    list.AddColumn(L"ファイル名", 200);
    list.AddRow({L"a.txt"}, false);
    ::SetFocus(list.Handle());
    LVITEMW item{};
    item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    item.state = LVIS_FOCUSED | LVIS_SELECTED;
    ::SendMessageW(list.Handle(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(PumpUntil([&] { return list.IsTicked(0); }, 2000));
    EXPECT_EQ(list.TickedCount(), 1);
}

TEST_F(Controls, ListViewKeepsFullRowSelectAndSwitchesGridLines) {
    ui::CheckListView& list = form.FileList;
    const DWORD style = ListView_GetExtendedListViewStyle(list.Handle());
    EXPECT_TRUE(style & LVS_EX_CHECKBOXES);
    EXPECT_TRUE(style & LVS_EX_FULLROWSELECT);
    EXPECT_FALSE(list.GridLines());
    list.SetGridLines(true);
    EXPECT_TRUE(list.GridLines());
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(list.Handle()) & LVS_EX_CHECKBOXES) << "other styles stay";
    list.SetGridLines(false);
    EXPECT_FALSE(list.GridLines());
    EXPECT_EQ(::GetWindowLongW(list.Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
}

TEST_F(Controls, ComboBoxItemsCarryTheirImagesAndAUserChangeIsReported) {
    ui::ImageList images(toolkit_test::MakeTestImages(4));
    ui::ComboBoxEx& combo = form.ModeSelector;
    combo.SetImages(images.get());
    const wchar_t* names[] = {L"Speed", L"Normal", L"High", L"Custom"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(combo.AddItem(names[i], 3 - i), i);
    ASSERT_EQ(combo.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(combo.ItemText(i), names[i]);
        EXPECT_EQ(combo.ItemImage(i), 3 - i);
    }
    EXPECT_EQ(combo.Selection(), -1);
    combo.Select(0);
    EXPECT_EQ(combo.Selection(), 0);
    EXPECT_EQ(form.selectionChanges, 0) << "a change by the program is not reported";
    EXPECT_TRUE(::GetWindowLongW(combo.Handle(), GWL_STYLE) & CBS_DROPDOWNLIST);

    // The user moves down one item with the keyboard in the combo box inside the panel.
    HWND inner = reinterpret_cast<HWND>(::SendMessageW(combo.Handle(), CBEM_GETCOMBOCONTROL, 0, 0));
    ASSERT_NE(inner, nullptr);
    ::SendMessageW(inner, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(PumpUntil([&] { return form.selectionChanges == 1; }, 2000));
    EXPECT_EQ(combo.Selection(), 1);
    combo.SetImages(nullptr);
}

TEST_F(Controls, StatusBarPanelsHaveTheirWidthsAndHoldTheProgressBar) {
    ui::StatusBar& bar = form.StatusBar;
    const RECT first = bar.PanelRect(0);
    const RECT second = bar.PanelRect(1);
    const RECT third = bar.PanelRect(2);
    const RECT last = bar.PanelRect(3);
    // Each panel ends where the sum of the widths so far ends (the border is inside).
    EXPECT_NEAR(first.right, 100, 2);
    EXPECT_NEAR(second.right, 235, 2);
    EXPECT_NEAR(third.right, 425, 2);
    RECT client{};
    ::GetClientRect(bar.Handle(), &client);
    EXPECT_GT(last.right, 425 + 200) << "the last panel takes the rest";
    EXPECT_EQ(::GetParent(form.OverallProgress), bar.Handle());
    RECT place{};
    ::GetWindowRect(form.OverallProgress, &place);
    ::MapWindowPoints(nullptr, bar.Handle(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 238);
    EXPECT_EQ(place.top, 3);
    EXPECT_EQ(ui::Width(place), 186);
    EXPECT_EQ(ui::Height(place), 15);
    EXPECT_GE(place.left, third.left) << "inside panel 2";
    EXPECT_LE(place.right, third.right);

    bar.SetText(0, L"モード:Speed");
    bar.SetText(2, L"右");
    bar.SetText(3, L"notice");
    EXPECT_EQ(bar.Text(0), L"モード:Speed");
    EXPECT_EQ(bar.Text(2), L"右");
    EXPECT_EQ(bar.Text(3), L"notice");
    wchar_t raw[64] = {};
    ::SendMessageW(bar.Handle(), SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(raw));
    EXPECT_EQ(std::wstring(raw), L"\t\t右") << "right-aligned";
    const auto info = ::SendMessageW(bar.Handle(), SB_GETTEXTW, 3, reinterpret_cast<LPARAM>(raw));
    EXPECT_TRUE(HIWORD(info) & SBT_RTLREADING) << "right-to-left reading order";
    const auto plain = ::SendMessageW(bar.Handle(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(raw));
    EXPECT_FALSE(HIWORD(plain) & SBT_RTLREADING);
}

TEST_F(Controls, PaintedLaterControlsRepaintOnlyForAValueTheScreenDoesNotShowYet) {
    HWND label = ui::CreateControl(form.Handle(), L"STATIC", L"0%", WS_VISIBLE | SS_LEFT, 10, 100, 60, 16, 0);
    HWND bar = form.OverallProgress;
    for (HWND control : {label, bar}) ui::PaintChangesLater(control);
    const auto pending = [](HWND control) { return ::GetUpdateRect(control, nullptr, FALSE) != FALSE; };
    const auto show = [&](int percent) {
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
        ::SetWindowTextW(label, (std::to_wstring(percent) + L"%").c_str());
    };
    show(100);
    EXPECT_TRUE(pending(bar) && pending(label)) << "a change is drawn later";
    ::UpdateWindow(form.Handle());
    ASSERT_FALSE(pending(bar) || pending(label));
    show(0);
    EXPECT_TRUE(pending(bar) && pending(label));
    show(100);
    EXPECT_FALSE(pending(bar) || pending(label)) << "there and back between two paintings: nothing to draw";
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(ui::WindowText(label), L"100%");
    for (HWND control : {label, bar}) ::InvalidateRect(control, nullptr, TRUE);
    show(0);
    show(100);
    EXPECT_TRUE(pending(bar) && pending(label)) << "a repaint the controls did not ask for stays";
    ::DestroyWindow(label);
}

COLORREF GlyphPixel(HBITMAP glyph, int x, int y) {
    HDC screen = ::GetDC(nullptr);
    ui::MemoryDC memory(screen);
    ::ReleaseDC(nullptr, screen);
    ui::ScopedSelect select(memory.get(), glyph);
    return ::GetPixel(memory.get(), x, y);
}

TEST_F(Controls, AButtonGlyphIsTheImageOnTheButtonFace) {
    ui::ImageList images(toolkit_test::MakeTestImages(6));
    ui::BitmapButton& button = form.StartButton;
    EXPECT_FALSE(button.HasGlyph());
    EXPECT_FALSE(button.SetGlyph(images.get(), 6)) << "no such image";
    EXPECT_FALSE(button.SetGlyph(nullptr, 0));
    EXPECT_FALSE(button.HasGlyph());

    ASSERT_TRUE(button.SetGlyph(images.get(), 1));
    BITMAP info{};
    ASSERT_TRUE(::GetObjectW(button.Glyph(), sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 16);
    EXPECT_EQ(info.bmBitsPixel, 24);
    EXPECT_EQ(GlyphPixel(button.Glyph(), 8, 8), toolkit_test::ImageColour(1));
    EXPECT_EQ(GlyphPixel(button.Glyph(), 0, 0), ::GetSysColor(COLOR_BTNFACE)) << "transparent edge";

    // On screen the glyph stands left of the caption.
    ::RedrawWindow(button.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT client{};
    ::GetClientRect(button.Handle(), &client);
    HDC dc = ::GetDC(button.Handle());
    bool found = false;
    for (int x = 0; x < client.right / 2 && !found; ++x)
        found = ::GetPixel(dc, x, client.bottom / 2) == toolkit_test::ImageColour(1);
    const COLORREF corner = ::GetPixel(dc, client.right / 2, 4);
    ::ReleaseDC(button.Handle(), dc);
    EXPECT_TRUE(found) << "the glyph is drawn in the left half";
    EXPECT_EQ(corner, ::GetSysColor(COLOR_BTNFACE));
}

TEST_F(Controls, APanelPassesCommandsAndNotificationsToItsParent) {
    // The Apply button and the combo box live in the panel; their messages reach the form.
    EXPECT_EQ(::GetParent(form.ApplyButton), form.ModePanel.Handle());
    ::SendMessageW(form.ApplyButton, BM_CLICK, 0, 0);
    EXPECT_EQ(form.runs[C::ApplyMode], 1);

    // A tool bar inside the panel: its button's tip text comes through the form's action list.
    ui::ActionList& actions = form.Actions;
    HWND bar = actions.BuildToolBar(form.ModePanel.Handle(), 301, {{C::ShowHelp}}, 0, 0, 40, 28);
    ASSERT_NE(bar, nullptr);
    ::SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(form.runs[C::ShowHelp], 1);

    NMTTDISPINFOW request{};
    request.hdr.hwndFrom = reinterpret_cast<HWND>(::SendMessageW(bar, TB_GETTOOLTIPS, 0, 0));
    request.hdr.idFrom = ui::kFirstActionCommand + C::ShowHelp;
    request.hdr.code = TTN_GETDISPINFOW;
    ASSERT_NE(request.hdr.hwndFrom, nullptr);
    ::SendMessageW(form.ModePanel.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
    ASSERT_NE(request.lpszText, nullptr);
    EXPECT_EQ(std::wstring(request.lpszText), L"ヘルプを表示");
}

}  // namespace
