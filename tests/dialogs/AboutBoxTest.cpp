#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/DialogIds.h"
#include "dialogs/Vdlg.h"
#include "resources/ProductInfo.h"
#include "resources/ResourceIds.h"
#include "tests/dialogs/PixelHelpers.h"
#include "tests/support/Gui.h"
#include "tests/support/ProductAddresses.h"
#include "ui/Gdi.h"
#include "ui/Window.h"

namespace {

const BuildAddresses kConfiguredBuild;  // as a build given a web address shows the program


RECT PlaceIn(HWND control, HWND parent) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// Runs `action` once from inside the modal loop that ShowModal is about to start.
class InsideModalLoop {
public:
    explicit InsideModalLoop(std::function<void()> action) {
        pending_ = std::move(action);
        timer_ = ::SetTimer(nullptr, 0, 30, Fire);
    }
    ~InsideModalLoop() {
        ::KillTimer(nullptr, timer_);
        pending_ = nullptr;
    }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        auto action = std::move(pending_);
        pending_ = nullptr;
        if (action) action();
    }

    static inline std::function<void()> pending_;
    UINT_PTR timer_ = 0;
};

TEST(AboutBox, ShowsTheTitleVersionNoticeAndWebAddress) {
    TVerdlg box(nullptr);
    ASSERT_TRUE(box.Created());
    EXPECT_EQ(ui::WindowText(box.Handle()), L"TIDEMARROW32 SE のバージョン情報");
    EXPECT_EQ(ui::WindowText(box.VersionLabel), L"バージョン 2.01");
    EXPECT_EQ(ui::WindowText(box.EditionLabel), sizeof(void*) == 8 ? L"64ビット版" : L"32ビット版");
    EXPECT_EQ(ui::WindowText(box.NoticeLabel), kProductNotice);
    EXPECT_NE(ui::WindowText(box.NoticeLabel).find(L"TIDEMARROW Project"), std::wstring::npos)
        << "names the rights holder";
    EXPECT_EQ(ui::WindowText(box.WebLink), L"https://www.example.com/tidemarrow/");
    EXPECT_EQ(ui::WindowText(box.OkButton), L"&OK");
    EXPECT_EQ(::GetWindowLongW(box.OkButton, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(::GetDlgCtrlID(box.OkButton), IDOK);
    EXPECT_FALSE(::IsWindowVisible(box.Handle())) << "made hidden, shown by ShowModal";
}

TEST(AboutBox, HasAFixedDialogFrameOfTheGivenClientSize) {
    TVerdlg box(nullptr);
    ASSERT_TRUE(box.Created());
    RECT client{};
    ::GetClientRect(box.Handle(), &client);
    EXPECT_EQ(client.right, 406);
    EXPECT_EQ(client.bottom, 208);
    const LONG style = ::GetWindowLongW(box.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(::GetWindowLongW(box.Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

    // Every control lies inside the client area; the texts sit inside the group.
    const RECT group = PlaceIn(box.Frame, box.Handle());
    for (HWND control : {box.Logo.Handle(), box.Divider, box.VersionLabel, box.EditionLabel, box.NoticeLabel}) {
        const RECT place = PlaceIn(control, box.Handle());
        EXPECT_GE(place.left, group.left);
        EXPECT_LE(place.right, group.right);
        EXPECT_GE(place.top, group.top);
        EXPECT_LE(place.bottom, group.bottom);
    }
    for (HWND control : {box.WebLink, box.OkButton}) {
        const RECT place = PlaceIn(control, box.Handle());
        EXPECT_GE(place.top, group.bottom) << "below the group";
        EXPECT_LE(place.bottom, 208);
    }
    EXPECT_LT(PlaceIn(box.WebLink, box.Handle()).right, PlaceIn(box.OkButton, box.Handle()).left);
}

TEST(AboutBox, ShowsTheLogoTransparentlyInItsFrame) {
    TVerdlg box(nullptr);
    ASSERT_TRUE(box.Created());
    const SIZE logo = box.Logo.PictureSize();
    EXPECT_EQ(logo.cx, 185);
    EXPECT_EQ(logo.cy, 61);
    EXPECT_EQ(PixelsOf(box.Logo.Picture()), ResourcePixels(IDB_LOGO));
    EXPECT_TRUE(box.Logo.Transparent());
    RECT client{};
    ::GetClientRect(box.Logo.Handle(), &client);
    EXPECT_EQ(client.right, 185) << "not sized by the picture, but of the logo's size";
    EXPECT_EQ(client.bottom, 61);
    const RECT image = PlaceIn(box.Logo.Handle(), box.Handle());
    const RECT bevel = PlaceIn(box.Divider, box.Handle());
    EXPECT_LT(bevel.left, image.left);
    EXPECT_LT(bevel.top, image.top);
    EXPECT_GT(bevel.right, image.right);
    EXPECT_GT(bevel.bottom, image.bottom);

    // The lower left pixel's colour is left out: there the button face shows; elsewhere the logo.
    const auto painted = PaintedPixels(box.Logo.Handle());
    const auto pixels = ResourcePixels(IDB_LOGO);
    ASSERT_EQ(painted.size(), pixels.size());
    const std::uint32_t key = pixels[60 * 185];
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const std::uint32_t faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    int keyed = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == key) {
            ++keyed;
            ASSERT_EQ(painted[i], faceRgb) << "pixel " << i;
        } else {
            ASSERT_EQ(painted[i], pixels[i]) << "pixel " << i;
        }
    }
    EXPECT_GT(keyed, 0);
    EXPECT_LT(keyed, static_cast<int>(pixels.size()));
}

TEST(AboutBox, TheWebAddressIsANavyUnderlinedLinkWithAHandCursor) {
    TVerdlg box(nullptr);
    ASSERT_TRUE(box.Created());
    LOGFONTW font{};
    ASSERT_TRUE(
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(box.WebLink, WM_GETFONT, 0, 0)), sizeof(font), &font));
    EXPECT_TRUE(font.lfUnderline);

    ui::WindowDC screen(nullptr);
    ui::MemoryDC dc(screen.get());
    ::SendMessageW(box.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                   reinterpret_cast<LPARAM>(box.WebLink));
    EXPECT_EQ(::GetTextColor(dc.get()), RGB(0, 0, 128));
    ::SendMessageW(box.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                   reinterpret_cast<LPARAM>(box.NoticeLabel));
    EXPECT_NE(::GetTextColor(dc.get()), RGB(0, 0, 128)) << "only the link is navy";

    EXPECT_TRUE(::SendMessageW(box.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(box.WebLink),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
    EXPECT_TRUE(::GetWindowLongW(box.WebLink, GWL_STYLE) & SS_NOTIFY);
}

TEST(AboutBox, ClickingTheWebAddressOpensItWithTheBoxAsOwner) {
    TVerdlg box(nullptr);
    ASSERT_TRUE(box.Created());
    std::vector<std::wstring> opened;
    HWND owner = nullptr;
    box.OpenWebAddress = [&](HWND window, const std::wstring& address) {
        owner = window;
        opened.push_back(address);
    };
    ::SendMessageW(box.Handle(), WM_COMMAND, MAKEWPARAM(IDC_VERDLG_WEB_LINK, STN_CLICKED),
                   reinterpret_cast<LPARAM>(box.WebLink));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], ProductWebAddress());
    EXPECT_EQ(owner, box.Handle());
    EXPECT_EQ(box.ModalResult(), 0) << "the box stays open";
}

TEST(AboutBox, OkClosesTheModalBoxAndTheOwnerIsDisabledMeanwhile) {
    HostWindow owner(700, 500);
    TVerdlg box(owner.Handle());
    ASSERT_TRUE(box.Created());
    bool visible = false;
    bool active = false;
    bool ownerDisabled = false;
    std::wstring caption;
    InsideModalLoop act([&] {
        visible = ::IsWindowVisible(box.Handle()) != FALSE;
        active = ::GetActiveWindow() == box.Handle();
        ownerDisabled = !::IsWindowEnabled(owner.Handle());
        HWND found = FindOwnWindow(L"TVerdlg", L"TIDEMARROW32 SE のバージョン情報");
        caption = found == box.Handle() ? L"found" : L"";
        ::SendMessageW(box.OkButton, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(box.ShowModal(), IDOK);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(active);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(caption, L"found");
    EXPECT_FALSE(::IsWindowVisible(box.Handle()));
    EXPECT_TRUE(::IsWindowEnabled(owner.Handle()));
}

TEST(AboutBox, EnterPressesTheDefaultOkButton) {
    TVerdlg box(nullptr);
    ASSERT_TRUE(box.Created());
    InsideModalLoop act([&] {
        ::PostMessageW(box.OkButton, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(box.OkButton, WM_KEYUP, VK_RETURN, 0xC0000001);
    });
    EXPECT_EQ(box.ShowModal(), IDOK);
}

TEST(AboutBox, IsCentredOnItsVisibleOwner) {
    HostWindow owner(700, 500);
    ::MoveWindow(owner.Handle(), 100, 60, 700, 500, TRUE);
    TVerdlg box(owner.Handle());
    ASSERT_TRUE(box.Created());
    RECT outer{};
    RECT inner{};
    ::GetWindowRect(owner.Handle(), &outer);
    ::GetWindowRect(box.Handle(), &inner);
    EXPECT_LE(std::abs((outer.left + outer.right) - (inner.left + inner.right)), 2);
    EXPECT_LE(std::abs((outer.top + outer.bottom) - (inner.top + inner.bottom)), 2);
}

}  // namespace
