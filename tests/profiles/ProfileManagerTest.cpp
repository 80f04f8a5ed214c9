#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Paths.h"
#include "profiles/ProfileIds.h"
#include "profiles/UsersWindow.h"
#include "tests/profiles/ModalScript.h"
#include "ui/Window.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"

namespace {

using Names = std::vector<std::wstring>;

constexpr const wchar_t* kConfirmText =
    L"チェックを入れたユーザープロファイルを削除します。\r\n"
    L"なおデフォルトユーザーと現在のユーザープロファイルは削除できません。\r\n"
    L"\r\n"
    L"続けるには\"はい\"をクリックして下さい。";

struct Row {
    bool ticked;
    std::wstring name;
    std::wstring path;
};

std::wstring ItemText(HWND list, int row, int subItem) {
    std::wstring text(MAX_PATH + 1, L'\0');
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto length = ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::vector<Row> RowsOf(HWND list) {
    std::vector<Row> rows;
    const auto count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto state = static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
        rows.push_back({(state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2), ItemText(list, i, 1),
                        ItemText(list, i, 2)});
    }
    return rows;
}

Names NamesOf(HWND list) {
    Names names;
    for (const Row& row : RowsOf(list)) names.push_back(row.name);
    return names;
}

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1)
        rows.push_back(row);
    return rows;
}

void Tick(HWND list, int row, bool ticked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int RowOf(HWND list, const std::wstring& name) {
    const Names names = NamesOf(list);
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

void Type(HWND control, const std::wstring& keys, UINT message = WM_CHAR) {
    for (const wchar_t key : keys) ::PostMessageW(control, message, key, 1);
}

// A temporary folder stands in for the program folder; its "User" holds the profiles, each
// with a settings file.
class ProfileManager : public testing::Test {
protected:
    std::wstring Root() const { return program_ / L"User"; }
    std::wstring InRoot(const std::wstring& relative) const { return Root() + L"\\" + relative; }

    void MakeProfiles(const Names& names) {
        ::CreateDirectoryW(Root().c_str(), nullptr);
        for (const auto& name : names) {
            ASSERT_TRUE(::CreateDirectoryW(InRoot(name).c_str(), nullptr)) << name;
            ASSERT_TRUE(WriteBytes(InRoot(name + L"\\Config.ini"), "[Config]\r\n"));
        }
    }

    // Makes the window for `current` and plays `script` while it is shown; the script's
    // first step waits until the window is up.
    void Show(TUsersWindow& manager, const std::wstring& current, ModalScript& script) {
        ASSERT_TRUE(manager.Create());
        manager.SetCurrentName(current);
        window_ = manager.Handle();
        list_ = Control(IDC_USERDLG_USERLIST);
        edit_ = Control(IDC_USERDLG_NAME);
        EXPECT_TRUE(script.Run(window_, [&] { manager.ShowModal(); })) << "steps done: " << script.StepsDone();
    }

    HWND Control(int id) const { return ::GetDlgItem(window_, id); }
    void Click(int id) const { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }

    TempFolder program_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(ProfileManager, ShowsEveryProfileWithItsHiddenPathAndTheProfileInUseInTheCaption) {
    MakeProfiles({L"Work", L"archive"});
    TUsersWindow manager(program_.Path());
    std::wstring caption;
    std::vector<Row> rows;
    std::vector<int> selected;
    int lastIndex = -1;
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            caption = ui::WindowText(window_);
            rows = RowsOf(list_);
            selected = SelectedRows(list_);
            lastIndex = manager.LastIndex();
            EXPECT_EQ(ui::WindowText(Control(IDC_USERDLG_TITLE)), L"TIDEMARROW32 SE");
        })
        .Do([&] { Click(IDC_USERDLG_CLOSE); });
    Show(manager, L"DefaultUser", script);
    EXPECT_EQ(caption, L"TIDEMARROW32 SE [DefaultUser]");
    ASSERT_EQ(rows.size(), 3u);
    const Names expected = {L"archive", L"DefaultUser", L"Work"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_FALSE(rows[i].ticked) << i;
        EXPECT_EQ(rows[i].name, expected[i]);
        EXPECT_EQ(rows[i].path, InRoot(expected[i]));
        EXPECT_EQ(ItemText(list_, static_cast<int>(i), 0), L"") << "column 0 holds only the tick box";
    }
    EXPECT_EQ(selected, std::vector<int>{0});
    EXPECT_EQ(lastIndex, 0);
    EXPECT_FALSE(::IsWindowVisible(window_)) << "Close ends the showing";
}

TEST_F(ProfileManager, ColumnsAreFixedAndThePathColumnStaysHidden) {
    TUsersWindow manager(program_.Path());
    ASSERT_TRUE(manager.Create());
    HWND window = manager.Handle();
    HWND list = ::GetDlgItem(window, IDC_USERDLG_USERLIST);
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 540);
    EXPECT_EQ(client.bottom, 386);
    RECT outer{};
    ::GetWindowRect(list, &outer);
    const auto width = [&](int column) { return static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)); };
    EXPECT_EQ(width(1), (outer.right - outer.left) - width(0) - 5);
    EXPECT_EQ(width(2), 0);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    const auto columnText = [&](int column) {
        wchar_t text[64] = {};
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = text;
        info.cchTextMax = 64;
        ::SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
        return std::wstring(text);
    };
    EXPECT_EQ(columnText(0), L"削除");
    EXPECT_EQ(columnText(1), L"ユーザープロファイル");

    const int before[] = {width(0), width(1)};
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(120, 0));
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(200, 0));
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = 150;
    ::SendMessageW(header, HDM_SETITEMW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(width(2), 0);
    EXPECT_EQ(width(0), before[0]);
    EXPECT_EQ(width(1), before[1]);

    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(list, GWL_STYLE));
    EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
    EXPECT_TRUE(style & LVS_NOSORTHEADER);
    EXPECT_FALSE(style & LVS_EDITLABELS);
    const auto extended = static_cast<DWORD>(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_TRUE(extended & LVS_EX_CHECKBOXES);
    EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
    auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(images), 3) << "two glyphs and the warning icon";
}

TEST_F(ProfileManager, NameFieldTakesOnlyAsciiLettersDigitsAndBackspaceUpToTenCharacters) {
    ASSERT_TRUE(PutOnClipboard(L"zz9"));
    TUsersWindow manager(program_.Path());
    std::vector<std::wstring> seen;
    int menus = -1;
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] { Type(edit_, L"ab-c 1"); })
        .Until([&] { return ui::WindowText(edit_) == L"abc1"; })
        .Do([&] {
            // Backspace, then characters that are not letters or digits of ASCII.
            Type(edit_, L"\b");
            Type(edit_, L"_.\\/:*あｱＡ１\t\r\x1b\x7f");
            Type(edit_, L"Z");
        })
        .Until([&] { return ui::WindowText(edit_) == L"abcZ"; })
        .Do([&] {
            // Ctrl+V, the paste message itself and an input method's character: nothing pasted.
            Type(edit_, L"\x16");
            ::SendMessageW(edit_, WM_PASTE, 0, 0);
            Type(edit_, L"あ", WM_IME_CHAR);
            Type(edit_, L"7", WM_IME_CHAR);
        })
        .Until([&] { return ui::WindowText(edit_) == L"abcZ7"; })
        .Do([&] {
            MenuCatcher catcher;
            ::SendMessageW(edit_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit_), MAKELPARAM(-1, -1));
            menus = catcher.Attempts();
        })
        .Do([&] { Type(edit_, L"12345XY"); })
        .Until([&] { return ui::WindowText(edit_).size() >= 10; })
        .Do([&] {
            seen.push_back(ui::WindowText(edit_));
            Click(IDC_USERDLG_CLOSE);
        });
    Show(manager, L"DefaultUser", script);
    EXPECT_EQ(menus, 0) << "no context menu";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], L"abcZ712345") << "the eleventh and twelfth characters are refused";
}

TEST_F(ProfileManager, PlainEditFieldWouldPasteAndShowAMenu) {
    // The same clipboard and messages reach a plain edit field, so the test above can fail.
    ASSERT_TRUE(PutOnClipboard(L"zz9"));
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    ::SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(ui::WindowText(edit), L"zz9");
    {
        MenuCatcher catcher;
        ::SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
        EXPECT_EQ(catcher.Attempts(), 1);
    }
    ::DestroyWindow(edit);
}

TEST_F(ProfileManager, AddCreatesTheProfileListsItAndSaysSo) {
    TUsersWindow manager(program_.Path());
    std::wstring message;
    bool answered = false;
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] { Type(edit_, L"Guest01"); })
        .Until([&] { return ui::WindowText(edit_) == L"Guest01"; })
        .Do([&] {
            DialogAnswerer box(L"新しいプロファイルを作成", IDOK);
            Click(IDC_USERDLG_ADD);
            answered = box.Wait();
            message = box.Text();
        })
        .Do([&] {
            EXPECT_EQ(NamesOf(list_), (Names{L"DefaultUser", L"Guest01"})) << "the list is refreshed";
            EXPECT_EQ(ui::WindowText(edit_), L"Guest01") << "the name stays in the field";
            Click(IDC_USERDLG_CLOSE);
        });
    Show(manager, L"DefaultUser", script);
    EXPECT_TRUE(answered);
    EXPECT_EQ(message, L"ユーザープロファイル Guest01を作成しました。");
    EXPECT_EQ(EntriesOf(Root()), (Names{L"DefaultUser", L"Guest01"}));
    EXPECT_EQ(EntriesOf(InRoot(L"Guest01")), Names{L"Savedat"});
}

TEST_F(ProfileManager, AddTakenNameInAnyLetterCaseShowsTheErrorAndMakesNothing) {
    MakeProfiles({L"Work"});
    TUsersWindow manager(program_.Path());
    std::vector<std::wstring> messages;
    ModalScript script;
    script.UntilShown([&] { return window_; });
    for (const wchar_t* name : {L"defaultuser", L"WORK", L"Work"}) {
        script.Do([&, name] { ::SetWindowTextW(edit_, name); }).Do([&] {
            DialogAnswerer box(L"Error", IDOK);
            Click(IDC_USERDLG_ADD);
            EXPECT_TRUE(box.Wait());
            messages.push_back(box.Text());
        });
    }
    script.Do([&] { Click(IDC_USERDLG_CLOSE); });
    Show(manager, L"DefaultUser", script);
    EXPECT_EQ(messages, Names(3, L"既に作成されたプロファイルがあります。"));
    EXPECT_EQ(EntriesOf(Root()), (Names{L"DefaultUser", L"Work"}));
    EXPECT_EQ(EntriesOf(InRoot(L"Work")), Names{L"Config.ini"}) << "no data folder is added";
}

TEST_F(ProfileManager, AddWithAnEmptyFieldDoesNothing) {
    TUsersWindow manager(program_.Path());
    std::vector<std::wstring> boxes;
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            BoxWatch watch;
            Click(IDC_USERDLG_ADD);
            boxes = watch.Stop();
        })
        .Do([&] { Click(IDC_USERDLG_CLOSE); });
    Show(manager, L"DefaultUser", script);
    EXPECT_EQ(boxes, Names{}) << "no message";
    EXPECT_EQ(EntriesOf(Root()), Names{L"DefaultUser"});
}

TEST_F(ProfileManager, DeleteAsksThenRemovesOnlyTickedProfilesOtherThanDefaultUserAndTheOneInUse) {
    MakeProfiles({L"Archive", L"DefaultUser", L"Work", L"Zeta"});
    TUsersWindow manager(program_.Path());
    std::wstring question;
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            for (const wchar_t* name : {L"DefaultUser", L"Work", L"Zeta"}) Tick(list_, RowOf(list_, name), true);
            DialogAnswerer box(L"確認", IDYES);
            Click(IDC_USERDLG_DELETE);
            EXPECT_TRUE(box.Wait());
            question = box.Text();
        })
        .Do([&] {
            EXPECT_EQ(NamesOf(list_), (Names{L"Archive", L"DefaultUser", L"Work"}));
            for (const Row& row : RowsOf(list_)) EXPECT_FALSE(row.ticked) << row.name;
            EXPECT_EQ(SelectedRows(list_), std::vector<int>{0});
            Click(IDC_USERDLG_CLOSE);
        });
    Show(manager, L"Work", script);
    EXPECT_EQ(question, kConfirmText);
    EXPECT_EQ(EntriesOf(Root()), (Names{L"Archive", L"DefaultUser", L"Work"}));
    EXPECT_EQ(EntriesOf(InRoot(L"Work")), Names{L"Config.ini"});
    EXPECT_EQ(EntriesOf(InRoot(L"DefaultUser")), Names{L"Config.ini"});
}

TEST_F(ProfileManager, DeleteAnsweredNoRemovesNothing) {
    MakeProfiles({L"Archive"});
    TUsersWindow manager(program_.Path());
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            Tick(list_, RowOf(list_, L"Archive"), true);
            DialogAnswerer box(L"確認", IDNO);
            Click(IDC_USERDLG_DELETE);
            EXPECT_TRUE(box.Wait());
        })
        .Do([&] {
            EXPECT_TRUE(RowsOf(list_)[0].ticked) << "the rows are left as they were";
            Click(IDC_USERDLG_CLOSE);
        });
    Show(manager, L"DefaultUser", script);
    EXPECT_EQ(EntriesOf(Root()), (Names{L"Archive", L"DefaultUser"}));
}

TEST_F(ProfileManager, ProtectionIgnoresLetterCaseAsTheFileSystemDoes) {
    // The default profile's folder spelled in small letters is still DefaultUser's folder
    // (the store finds it and makes no other); its settings must not go.
    MakeProfiles({L"defaultuser", L"Work", L"Spare"});
    TUsersWindow manager(program_.Path());
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            EXPECT_EQ(NamesOf(list_), (Names{L"defaultuser", L"Spare", L"Work"}));
            for (int row = 0; row < 3; ++row) Tick(list_, row, true);
            DialogAnswerer box(L"確認", IDYES);
            Click(IDC_USERDLG_DELETE);
            EXPECT_TRUE(box.Wait());
        })
        .Do([&] { Click(IDC_USERDLG_CLOSE); });
    Show(manager, L"WORK", script);
    EXPECT_EQ(EntriesOf(Root()), (Names{L"Work", L"defaultuser"}));
    EXPECT_EQ(ReadBytes(InRoot(L"defaultuser\\Config.ini")), "[Config]\r\n");
    EXPECT_EQ(ReadBytes(InRoot(L"Work\\Config.ini")), "[Config]\r\n");
}

TEST_F(ProfileManager, ProfileHoldingOtherFilesStaysListedAfterDelete) {
    MakeProfiles({L"Busy"});
    ASSERT_TRUE(WriteBytes(InRoot(L"Busy\\notes.txt"), "mine"));
    TUsersWindow manager(program_.Path());
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            Tick(list_, RowOf(list_, L"Busy"), true);
            DialogAnswerer box(L"確認", IDYES);
            Click(IDC_USERDLG_DELETE);
            EXPECT_TRUE(box.Wait());
        })
        .Do([&] {
            EXPECT_EQ(NamesOf(list_), (Names{L"Busy", L"DefaultUser"}));
            Click(IDC_USERDLG_CLOSE);
        });
    Show(manager, L"DefaultUser", script);
    EXPECT_EQ(EntriesOf(InRoot(L"Busy")), Names{L"notes.txt"});
    EXPECT_EQ(ReadBytes(InRoot(L"Busy\\notes.txt")), "mine");
}

TEST_F(ProfileManager, ClickOnEmptySpaceGivesTheSelectionBackToTheRowThatChangedLast) {
    MakeProfiles({L"Archive", L"Backup", L"Work"});
    TUsersWindow manager(program_.Path());
    POINT empty{};
    ModalScript script;
    script.UntilShown([&] { return window_; })
        .Do([&] {
            RECT last{LVIR_BOUNDS, 0, 0, 0};
            ::SendMessageW(list_, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&last));
            RECT client{};
            ::GetClientRect(list_, &client);
            empty = {last.left + 40, last.bottom + 40};
            ASSERT_LT(empty.y, client.bottom) << "room below the rows";
            // A row chosen with the keyboard, then the focus elsewhere.
            ::SetFocus(list_);
            ::PostMessageW(list_, WM_KEYDOWN, VK_DOWN, 1);
            ::PostMessageW(list_, WM_KEYDOWN, VK_DOWN, 1);
        })
        .Until([&] { return SelectedRows(list_) == std::vector<int>{2}; })
        .Do([&] {
            EXPECT_EQ(manager.LastIndex(), 2);
            ::SetFocus(edit_);
            ::PostMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(empty.x, empty.y));
            ::PostMessageW(list_, WM_LBUTTONUP, 0, MAKELPARAM(empty.x, empty.y));
        })
        .Until([&] { return ::GetFocus() == list_; })  // the click has reached the list
        .Do([&] {
            EXPECT_EQ(SelectedRows(list_), std::vector<int>{2});
            EXPECT_EQ(manager.LastIndex(), 2);
            // A tick is a change too.
            Tick(list_, 1, true);
            EXPECT_EQ(manager.LastIndex(), 1);
            Click(IDC_USERDLG_CLOSE);
        });
    Show(manager, L"DefaultUser", script);
}

TEST_F(ProfileManager, HeaderIsDrawnWithTheTitleAndTheWarningIcon) {
    TUsersWindow manager(program_.Path());
    ASSERT_TRUE(manager.Create());
    auto band = reinterpret_cast<HBITMAP>(
        ::SendMessageW(::GetDlgItem(manager.Handle(), IDC_USERDLG_HEADER), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(band, nullptr);
    BITMAP info{};
    ASSERT_TRUE(::GetObjectW(band, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 541);
    EXPECT_EQ(info.bmHeight, 81);
    EXPECT_EQ(info.bmBitsPixel, 24);
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, band);
    const auto count = [&](int left, int top, int right, int bottom, auto test) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += test(::GetPixel(memory, x, y)) ? 1 : 0;
        return n;
    };
    const auto dark = [](COLORREF c) { return GetRValue(c) < 96 && GetGValue(c) < 96 && GetBValue(c) < 96; };
    const auto coloured = [](COLORREF c) { return GetRValue(c) > 160 && GetBValue(c) < 100; };  // yellow or red
    EXPECT_EQ(::GetPixel(memory, 2, 2), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(memory, 538, 78), RGB(255, 255, 255));
    EXPECT_GT(count(12, 12, 200, 30, dark), 30) << "the title";
    EXPECT_GT(count(70, 41, 300, 55, dark), 30) << "the first line";
    EXPECT_GT(count(78, 58, 94, 74, coloured), 10) << "the warning icon";
    EXPECT_EQ(count(0, 58, 76, 74, coloured), 0);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    EXPECT_EQ(ui::WindowText(::GetDlgItem(manager.Handle(), IDC_USERDLG_NAME_LABEL)),
              L"新しいユーザープロファイル名(&N)");
    EXPECT_EQ(ui::WindowText(::GetDlgItem(manager.Handle(), IDC_USERDLG_ADD)), L"ユーザーの追加");
    EXPECT_EQ(ui::WindowText(::GetDlgItem(manager.Handle(), IDC_USERDLG_DELETE)), L"ユーザーの削除");
    EXPECT_EQ(ui::WindowText(::GetDlgItem(manager.Handle(), IDC_USERDLG_CLOSE)), L"&Close");
}

}  // namespace
