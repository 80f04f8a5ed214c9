#include "dialogs/Vdlg.h"

#include "dialogs/DialogIds.h"
#include "resources/ProductInfo.h"
#include "resources/ResourceIds.h"

namespace {

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr int kLogoWidth = 185;
constexpr int kLogoHeight = 61;
constexpr int kLogoLeft = (TVerdlg::kClientWidth - kLogoWidth) / 2;
constexpr int kLogoTop = 22;

}  // namespace

TVerdlg::TVerdlg(HWND owner) : OpenWebAddress(ui::ShellOpenWebAddress) {
    // Without WS_CLIPCHILDREN: the group box leaves its inside to the form's background.
    if (!CreateForm(L"TVerdlg", L"", kClientWidth, kClientHeight, ui::kDialogFormStyle & ~WS_CLIPCHILDREN,
                    ui::kDialogFormExStyle, owner))
        return;
    if (CreateControls()) FormCreate();
}

TVerdlg::~TVerdlg() {
    // The link's font is freed before the window goes: the label lets go of it first.
    if (WebLink) ::SendMessageW(WebLink, WM_SETFONT, reinterpret_cast<WPARAM>(ui::UiFont()), FALSE);
}

bool TVerdlg::CreateControls() {
    // The logo and its frame come first: the group box is drawn beneath them.
    if (!Logo.CreateControl(Handle(), kLogoLeft, kLogoTop, kLogoWidth, kLogoHeight, IDC_VERDLG_LOGO)) return false;
    Divider = AddControl(L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_SUNKEN, kLogoLeft - 3, kLogoTop - 3,
                         kLogoWidth + 6, kLogoHeight + 6, IDC_VERDLG_DIVIDER);
    VersionLabel =
        AddControl(L"STATIC", L"", WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 16, 100, 374, 16, IDC_VERDLG_VERSION);
    EditionLabel =
        AddControl(L"STATIC", L"", WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 16, 118, 374, 16, IDC_VERDLG_EDITION);
    NoticeLabel = AddControl(L"STATIC", L"", WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 16, 140, 374, 16, IDC_VERDLG_NOTICE);
    Frame = AddControl(L"BUTTON", L"", WS_VISIBLE | BS_GROUPBOX, 8, 4, 390, 162, IDC_VERDLG_FRAME);
    WebLink = AddControl(L"STATIC", L"", WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX, 12, 182, 200, 16, IDC_VERDLG_WEB_LINK);
    OkButton =
        AddControl(L"BUTTON", L"&OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 318, 176, 80, 25, IDC_VERDLG_OK);
    if (!Divider || !VersionLabel || !EditionLabel || !NoticeLabel || !Frame || !WebLink || !OkButton) return false;

    LOGFONTW link{};
    if (::GetObjectW(ui::UiFont(), sizeof(link), &link)) {
        link.lfUnderline = TRUE;
        linkFont_.reset(::CreateFontIndirectW(&link));
        if (linkFont_) ::SendMessageW(WebLink, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
    }
    return true;
}

void TVerdlg::FormCreate() {
    ::SetWindowTextW(Handle(), (std::wstring(kProductTitle) + L" のバージョン情報").c_str());
    ::SetWindowTextW(VersionLabel, (std::wstring(L"バージョン ") + kProductVersion).c_str());
    ::SetWindowTextW(EditionLabel, sizeof(void*) == 8 ? L"64ビット版" : L"32ビット版");
    ::SetWindowTextW(NoticeLabel, kProductNotice);
    // A build without a web address shows no link.
    ::SetWindowTextW(WebLink, ProductWebAddress().c_str());
    ::ShowWindow(WebLink, ProductWebAddress().empty() ? SW_HIDE : SW_SHOW);
    FitWebLink();
    Logo.SetTransparent(true);
    Logo.LoadPicture(::GetModuleHandleW(nullptr), IDB_LOGO);
}

void TVerdlg::FitWebLink() {
    ui::WindowDC dc(WebLink);
    if (!dc.get()) return;
    ui::ScopedSelect select(dc.get(), linkFont_ ? linkFont_.get() : ui::UiFont());
    const std::wstring text = ProductWebAddress();
    SIZE extent{};
    if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent)) return;
    RECT place{};
    ::GetWindowRect(WebLink, &place);
    ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&place), 2);
    ::MoveWindow(WebLink, place.left, place.top, extent.cx + 1, extent.cy, FALSE);
}

void TVerdlg::CloseBox() {
    SetModalResult(IDOK);
}

void TVerdlg::OpenWebLink() {
    if (OpenWebAddress && !ProductWebAddress().empty()) OpenWebAddress(Handle(), ProductWebAddress());
}

LRESULT TVerdlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_VERDLG_OK && HIWORD(wParam) == BN_CLICKED) {
            CloseBox();
            return 0;
        }
        if (LOWORD(wParam) == IDC_VERDLG_WEB_LINK && HIWORD(wParam) == STN_CLICKED) {
            OpenWebLink();
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == WebLink) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, kNavy);
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == WebLink) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_SETFOCUS:
        // The focus goes on to the OK button, as in a dialog box.
        if (OkButton) ::SetFocus(OkButton);
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_VERDLG_OK, DC_HASDEFID);
    default:
        break;
    }
    return ui::Form::HandleMessage(message, wParam, lParam);
}
