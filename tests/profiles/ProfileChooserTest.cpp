#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/Assertions.h"
#include "profiles/NewUserWindow.h"
#include "profiles/ProfileIds.h"
#include "tests/profiles/ModalScript.h"
#include "ui/Window.h"
#include "tests/support/TempFolder.h"

namespace {

using Names = std::vector<std::wstring>;

Names ComboItems(HWND combo) {
    Names items;
    const auto count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<std::size_t>(::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0));
        std::wstring text(length + 1, L'\0');
        ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(length);
        items.push_back(text);
    }
    return items;
}

std::wstring SelectedItem(HWND combo) {
    const auto index = static_cast<int>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (index < 0) return L"(none)";
    return ComboItems(combo)[static_cast<std::size_t>(index)];
}

// A temporary folder stands in for the program folder; its "User" holds the profiles.
class ProfileChooser : public testing::Test {
protected:
    void SetUp() override { ClearRecordedAssertions(); }

    void MakeProfiles(const Names& names) {
        ::CreateDirectoryW((program_ / L"User").c_str(), nullptr);
        for (const auto& name : names)
            ASSERT_TRUE(::CreateDirectoryW((program_ / (L"User\\" + name)).c_str(), nullptr)) << name;
    }

    TempFolder program_;
};

TEST_F(ProfileChooser, SingleProfileIsTakenAtTheFirstPaintWithoutTheUser) {
    // A first start: the store makes DefaultUser, the only profile.
    TNewUserWindow chooser(program_.Path());
    ASSERT_TRUE(chooser.Create());
    EXPECT_EQ(chooser.ProfileCount(), 1);
    EXPECT_EQ(chooser.ChosenName(), L"") << "nothing is chosen before the window shows";
    ModalScript watchdog;
    EXPECT_TRUE(watchdog.Run(chooser.Handle(), [&] { chooser.ShowModal(); }))
        << "the window should close by itself";
    EXPECT_EQ(chooser.ChosenName(), L"DefaultUser");
    EXPECT_FALSE(::IsWindowVisible(chooser.Handle()));
}

TEST_F(ProfileChooser, LastNameInSortedOrderIsPreselectedAndStartTakesIt) {
    struct Case {
        Names folders;
        Names listed;
    };
    const Case cases[] = {
        {{L"Backup", L"Archive"}, {L"Archive", L"Backup", L"DefaultUser"}},
        {{L"Zeta", L"Archive"}, {L"Archive", L"DefaultUser", L"Zeta"}},
        {{L"zulu", L"Alpha", L"beta"}, {L"Alpha", L"beta", L"DefaultUser", L"zulu"}},
    };
    for (const Case& c : cases) {
        TempFolder program;
        ::CreateDirectoryW((program / L"User").c_str(), nullptr);
        for (const auto& name : c.folders) ::CreateDirectoryW((program / (L"User\\" + name)).c_str(), nullptr);
        TNewUserWindow chooser(program.Path());
        ASSERT_TRUE(chooser.Create());
        HWND combo = ::GetDlgItem(chooser.Handle(), IDC_NUSER_PROFILES);
        EXPECT_EQ(ComboItems(combo), c.listed);
        EXPECT_EQ(SelectedItem(combo), c.listed.back());
        EXPECT_EQ(chooser.ProfileCount(), static_cast<int>(c.listed.size()));

        ModalScript script;
        script.UntilShown(chooser.Handle())
            .Do([&] { EXPECT_EQ(chooser.ChosenName(), L"") << "several profiles: the window waits"; })
            .Do([&] { ::SendMessageW(::GetDlgItem(chooser.Handle(), IDC_NUSER_START), BM_CLICK, 0, 0); });
        EXPECT_TRUE(script.Run(chooser.Handle(), [&] { chooser.ShowModal(); }));
        EXPECT_EQ(chooser.ChosenName(), c.listed.back());
    }
}

TEST_F(ProfileChooser, TypingInTheListChangesNothingButArrowKeysMoveTheSelection) {
    MakeProfiles({L"Archive", L"Backup"});
    TNewUserWindow chooser(program_.Path());
    ASSERT_TRUE(chooser.Create());
    HWND combo = ::GetDlgItem(chooser.Handle(), IDC_NUSER_PROFILES);
    ModalScript script;
    script.UntilShown(chooser.Handle())
        .Do([&] {
            // Letters that would pick "Archive" or "Backup" in a plain drop-down list.
            for (const wchar_t key : {L'A', L'a', L'b', L'B', L' ', L'\r', L'z'})
                ::PostMessageW(combo, WM_CHAR, key, 1);
        })
        .Until([&] {
            // The posted keys come before the next tick.
            EXPECT_EQ(SelectedItem(combo), L"DefaultUser");
            ::PostMessageW(combo, WM_KEYDOWN, VK_UP, 1);
            return true;
        })
        .Until([&] { return SelectedItem(combo) == L"Backup"; })
        .Do([&] { ::SendMessageW(::GetDlgItem(chooser.Handle(), IDC_NUSER_START), BM_CLICK, 0, 0); });
    EXPECT_TRUE(script.Run(chooser.Handle(), [&] { chooser.ShowModal(); }));
    EXPECT_EQ(chooser.ChosenName(), L"Backup");
}

TEST_F(ProfileChooser, EnterTakesStartAndEscapeDoesNotClose) {
    MakeProfiles({L"Archive"});
    TNewUserWindow chooser(program_.Path());
    ASSERT_TRUE(chooser.Create());
    HWND combo = ::GetDlgItem(chooser.Handle(), IDC_NUSER_PROFILES);
    ModalScript script;
    script.Until([&] { return ::GetFocus() == combo; })
        .Do([&] {
            ::PostMessageW(combo, WM_KEYDOWN, VK_ESCAPE, 1);
            ::PostMessageW(combo, WM_KEYDOWN, VK_UP, 1);
        })
        .Until([&] { return SelectedItem(combo) == L"Archive"; })
        .Do([&] {
            EXPECT_TRUE(::IsWindowVisible(chooser.Handle())) << "Escape leaves the window open";
            ::PostMessageW(combo, WM_KEYDOWN, VK_RETURN, 1);
        });
    EXPECT_TRUE(script.Run(chooser.Handle(), [&] { chooser.ShowModal(); }));
    EXPECT_EQ(chooser.ChosenName(), L"Archive");
}

// Refuses the third name, as a list out of room would.
class RefusingChooser : public TNewUserWindow {
public:
    using TNewUserWindow::TNewUserWindow;

protected:
    void AppendProfileName(const std::wstring& name) override {
        if (++appended_ == 3) throw std::runtime_error("no room");
        TNewUserWindow::AppendProfileName(name);
    }

private:
    int appended_ = 0;
};

TEST_F(ProfileChooser, ListingFailureIsReportedAndTheNamesListedBeforeItStay) {
    MakeProfiles({L"Archive", L"Backup", L"Zeta"});
    RefusingChooser chooser(program_.Path());
    ASSERT_TRUE(chooser.Create());
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"Login Window error");
    EXPECT_EQ(reports[0].unit, L"Nuser");
    EXPECT_EQ(reports[0].line, 70);
    HWND combo = ::GetDlgItem(chooser.Handle(), IDC_NUSER_PROFILES);
    EXPECT_EQ(ComboItems(combo), (Names{L"Archive", L"Backup"}));
    EXPECT_EQ(SelectedItem(combo), L"(none)");
    EXPECT_EQ(chooser.ProfileCount(), 0) << "so the window does not close by itself";
    EXPECT_NE(::SendMessageW(::GetDlgItem(chooser.Handle(), IDC_NUSER_HEADER), STM_GETIMAGE, IMAGE_BITMAP, 0), 0)
        << "the header is drawn all the same";

    // Start without a selection answers no profile.
    ModalScript script;
    script.UntilShown(chooser.Handle()).Do([&] {
        ::SendMessageW(::GetDlgItem(chooser.Handle(), IDC_NUSER_START), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(script.Run(chooser.Handle(), [&] { chooser.ShowModal(); }));
    EXPECT_EQ(chooser.ChosenName(), L"");
}

TEST_F(ProfileChooser, MissingProfileRootThatCannotBeMadeLeavesNothingToChoose) {
    // "User" is a plain file: no profile can be listed, and Start answers no name.
    ASSERT_TRUE(WriteBytes(program_ / L"User", "not a folder"));
    TNewUserWindow chooser(program_.Path());
    ASSERT_TRUE(chooser.Create());
    EXPECT_EQ(chooser.ProfileCount(), 0);
    EXPECT_TRUE(RecordedAssertions().empty());
    ModalScript script;
    script.UntilShown(chooser.Handle()).Do([&] {
        ::SendMessageW(::GetDlgItem(chooser.Handle(), IDC_NUSER_START), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(script.Run(chooser.Handle(), [&] { chooser.ShowModal(); }));
    EXPECT_EQ(chooser.ChosenName(), L"");
    EXPECT_EQ(ReadBytes(program_ / L"User"), "not a folder");
}

TEST_F(ProfileChooser, WindowHasItsTextsSizeAndNoTitleBarButtons) {
    MakeProfiles({L"Archive"});
    TNewUserWindow chooser(program_.Path());
    ASSERT_TRUE(chooser.Create());
    HWND window = chooser.Handle();
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 507);
    EXPECT_EQ(client.bottom, 178);
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(ui::WindowText(window), L"TIDEMARROW32 SE");
    EXPECT_EQ(ui::WindowText(::GetDlgItem(window, IDC_NUSER_PROFILE_LABEL)), L"使用するユーザープロファイル:");
    EXPECT_EQ(ui::WindowText(::GetDlgItem(window, IDC_NUSER_START)), L"&Start");
    HWND title = ::GetDlgItem(window, IDC_NUSER_TITLE);
    EXPECT_EQ(ui::WindowText(title), L"TIDEMARROW32 SE");
    EXPECT_FALSE(::IsWindowEnabled(title)) << "greyed";
    EXPECT_EQ(::GetWindowLongPtrW(::GetDlgItem(window, IDC_NUSER_PROFILES), GWL_STYLE) & 3, CBS_DROPDOWNLIST);

    // The header band: white, with the title in black type from (65, 10).
    auto band = reinterpret_cast<HBITMAP>(
        ::SendMessageW(::GetDlgItem(window, IDC_NUSER_HEADER), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(band, nullptr);
    BITMAP info{};
    ASSERT_TRUE(::GetObjectW(band, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 509);
    EXPECT_EQ(info.bmHeight, 69);
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, band);
    EXPECT_EQ(::GetPixel(memory, 2, 2), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(memory, 500, 60), RGB(255, 255, 255));
    int dark = 0;
    for (int y = 10; y < 26; ++y)
        for (int x = 65; x < 150; ++x) dark += GetGValue(::GetPixel(memory, x, y)) < 96 ? 1 : 0;
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    EXPECT_GT(dark, 20) << "the title's type";
}

}  // namespace
