#include "profiles/NewUserWindow.h"

#include <commctrl.h>

#include <stdexcept>
#include <utility>

#include "common/Assertions.h"
#include "profiles/ProfileArt.h"
#include "profiles/ProfileIds.h"
#include "resources/ProductInfo.h"
#include "profiles/TidemarrowUsers.h"
#include "ui/Subclass.h"

namespace {

constexpr const wchar_t* kProfileLabelText = L"使用するユーザープロファイル:";
constexpr const wchar_t* kHeaderTitle = L"ユーザー選択";
constexpr const wchar_t* kHeaderText = L"使用するユーザープロファイルを選択して下さい";

// Where the controls sit, in client pixels.
constexpr RECT kHeaderIcon = {20, 12, 44, 36};
constexpr int kHeaderLineTop = TNewUserWindow::kHeaderHeight;
constexpr RECT kProfileLabel = {24, 91, 200, 105};
constexpr RECT kProfileSelector = {204, 87, 483, 287};  // with its drop-down list
constexpr int kBottomLineTop = 128;
constexpr RECT kTitleLabel = {12, 148, 300, 162};
constexpr RECT kStartButton = {408, 141, 495, 166};

}  // namespace

TNewUserWindow::TNewUserWindow(std::wstring programFolder) : programFolder_(std::move(programFolder)) {}

TNewUserWindow::~TNewUserWindow() {
    // Gone while the pictures its controls show still exist.
    if (Handle()) ::DestroyWindow(Handle());
}

bool TNewUserWindow::Create(HWND owner) {
    // A dialog border and no title-bar buttons at all.
    constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    if (!CreateForm(kClassName, kProductTitle, kClientWidth, kClientHeight, style,
                    ui::kDialogFormExStyle, owner))
        return false;
    if (!CreateControls()) return false;
    FormCreate();
    return true;
}

bool TNewUserWindow::CreateControls() {
    headerIconPicture_.reset(profiles::MakeUsersPicture());
    HeaderIcon = AddControl(L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP, kHeaderIcon.left, kHeaderIcon.top,
                            ui::Width(kHeaderIcon), ui::Height(kHeaderIcon), IDC_NUSER_HEADER_ICON);
    Header = AddControl(L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP, 0, 0, kHeaderWidth, kHeaderHeight,
                        IDC_NUSER_HEADER);
    HeaderLine = AddControl(L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, 0, kHeaderLineTop, kClientWidth, 2,
                            IDC_NUSER_HEADER_LINE);
    ProfileLabel =
        AddControl(L"STATIC", kProfileLabelText, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kProfileLabel.left,
                   kProfileLabel.top, ui::Width(kProfileLabel), ui::Height(kProfileLabel), IDC_NUSER_PROFILE_LABEL);
    ProfileSelector =
        AddControl(L"COMBOBOX", L"", WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST,
                   kProfileSelector.left, kProfileSelector.top, ui::Width(kProfileSelector), ui::Height(kProfileSelector), IDC_NUSER_PROFILES);
    BottomLine = AddControl(L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, 8, kBottomLineTop, kClientWidth - 16, 2,
                            IDC_NUSER_BOTTOM_LINE);
    TitleLabel = AddControl(L"STATIC", L"", WS_VISIBLE | WS_DISABLED | SS_LEFT | SS_NOPREFIX, kTitleLabel.left,
                            kTitleLabel.top, ui::Width(kTitleLabel), ui::Height(kTitleLabel), IDC_NUSER_TITLE);
    StartButton =
        AddControl(L"BUTTON", L"&Start", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, kStartButton.left,
                   kStartButton.top, ui::Width(kStartButton), ui::Height(kStartButton), IDC_NUSER_START);
    if (!HeaderIcon || !Header || !ProfileLabel || !ProfileSelector || !TitleLabel || !StartButton) return false;

    // The picture lies on the header band.
    ::SetWindowPos(HeaderIcon, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (headerIconPicture_)
        ::SendMessageW(HeaderIcon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(headerIconPicture_.get()));
    ui::SetSubclass(ProfileSelector, ProfileSelectorProc, 0, reinterpret_cast<DWORD_PTR>(this));
    focus_.SetFallback(ProfileSelector);
    return true;
}

void TNewUserWindow::FormCreate() {
    ::SetWindowTextW(Handle(), kProductTitle);
    ::SetWindowTextW(TitleLabel, kProductTitle);
    chosenName_.clear();
    try {
        TTidemarrowUsers users(programFolder_);
        for (int i = 0; i < users.Count(); ++i) AppendProfileName(users.NameAt(i));
        const int items = static_cast<int>(::SendMessageW(ProfileSelector, CB_GETCOUNT, 0, 0));
        ::SendMessageW(ProfileSelector, CB_SETCURSEL, static_cast<WPARAM>(items - 1), 0);
        profileCount_ = items;
    } catch (...) {
        RaiseAssertion(AssertSite::LoginWindow);
    }
    DrawHeader();
}

void TNewUserWindow::AppendProfileName(const std::wstring& name) {
    const LRESULT index = ::SendMessageW(ProfileSelector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR || index == CB_ERRSPACE) throw std::runtime_error("the profile list refused a name");
}

void TNewUserWindow::DrawHeader() {
    ui::Bitmap band(profiles::DrawHeaderBand(kHeaderWidth, kHeaderHeight, [](HDC dc) {
        ui::Font title(profiles::MakeUiFont(10, true));
        ui::Font text(profiles::MakeUiFont(9, false));
        profiles::DrawBlackText(dc, title.get(), 65, 10, kHeaderTitle);
        profiles::DrawBlackText(dc, text.get(), 110, 30, kHeaderText);
    }));
    if (!band) return;
    ::SendMessageW(Header, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(band.get()));
    headerPicture_ = std::move(band);
}

void TNewUserWindow::FormPaint() {
    // With a single profile there is nothing to choose.
    if (profileCount_ == 1) TakeProfile();
}

void TNewUserWindow::TakeProfile() {
    const LRESULT items = ::SendMessageW(ProfileSelector, CB_GETCOUNT, 0, 0);
    const LRESULT selected = ::SendMessageW(ProfileSelector, CB_GETCURSEL, 0, 0);
    chosenName_.clear();
    if (items > 0 && selected >= 0) {
        const LRESULT length = ::SendMessageW(ProfileSelector, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
        if (length > 0) {
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            const LRESULT got = ::SendMessageW(ProfileSelector, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                                               reinterpret_cast<LPARAM>(text.data()));
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            chosenName_ = std::move(text);
        }
    }
    SetModalResult(IDOK);
}

void TNewUserWindow::ProfileSelectorKeyPress(wchar_t& key) {
    // The selection moves only with the mouse or the arrow keys.
    key = 0;
}

LRESULT TNewUserWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        ::BeginPaint(Handle(), &paint);
        ::EndPaint(Handle(), &paint);
        FormPaint();
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NUSER_START && HIWORD(wParam) == BN_CLICKED) {
            TakeProfile();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) return 0;  // Esc, or Enter without a default
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_NUSER_START, DC_HASDEFID);
    case WM_ACTIVATE:
        focus_.Activate(Handle(), wParam);
        if (LOWORD(wParam) != WA_INACTIVE) return 0;
        break;
    default:
        break;
    }
    return ui::Form::HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK TNewUserWindow::ProfileSelectorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                     DWORD_PTR self) {
    try {
        if (message == WM_CHAR) {
            auto key = static_cast<wchar_t>(wParam);
            reinterpret_cast<TNewUserWindow*>(self)->ProfileSelectorKeyPress(key);
            if (key == 0) return 0;
            wParam = key;
        } else if (message == WM_NCDESTROY) {
            ui::RemoveSubclass(hwnd, ProfileSelectorProc, id);
        }
    } catch (...) {
        return 0;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}
