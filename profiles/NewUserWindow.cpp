#include "profiles/NewUserWindow.h"

#include <commctrl.h>

#include <stdexcept>
#include <utility>

#include "common/Assertions.h"
#include "profiles/ProfileArt.h"
#include "profiles/ProfileIds.h"
#include "resources/ProductInfo.h"
#include "profiles/TidemarrowUsers.h"

namespace {

constexpr const wchar_t* kLabel1Text = L"使用するユーザープロファイル:";
constexpr const wchar_t* kHeaderTitle = L"ユーザー選択";
constexpr const wchar_t* kHeaderText = L"使用するユーザープロファイルを選択して下さい";

// Where the controls sit, in client pixels.
constexpr RECT kImage1 = {20, 12, 44, 36};
constexpr int kBevel1Top = TNewUserWindow::kHeaderHeight;
constexpr RECT kLabel1 = {24, 91, 200, 105};
constexpr RECT kComboBox1 = {204, 87, 483, 287};  // with its drop-down list
constexpr int kBevel2Top = 128;
constexpr RECT kLabel2 = {12, 148, 300, 162};
constexpr RECT kButton1 = {408, 141, 495, 166};

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
    image1Picture_.reset(profiles::MakeUsersPicture());
    Image1 = AddControl(L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP, kImage1.left, kImage1.top,
                        ui::Width(kImage1), ui::Height(kImage1), IDC_NUSER_IMAGE1);
    Image2 = AddControl(L"STATIC", L"", WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP, 0, 0, kHeaderWidth, kHeaderHeight,
                        IDC_NUSER_IMAGE2);
    Bevel1 = AddControl(L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, 0, kBevel1Top, kClientWidth, 2,
                        IDC_NUSER_BEVEL1);
    Label1 = AddControl(L"STATIC", kLabel1Text, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kLabel1.left, kLabel1.top,
                        ui::Width(kLabel1), ui::Height(kLabel1), IDC_NUSER_LABEL1);
    ComboBox1 = AddControl(L"COMBOBOX", L"", WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST,
                           kComboBox1.left, kComboBox1.top, ui::Width(kComboBox1), ui::Height(kComboBox1),
                           IDC_NUSER_COMBOBOX1);
    Bevel2 = AddControl(L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, 8, kBevel2Top, kClientWidth - 16, 2,
                        IDC_NUSER_BEVEL2);
    Label2 = AddControl(L"STATIC", L"", WS_VISIBLE | WS_DISABLED | SS_LEFT | SS_NOPREFIX, kLabel2.left,
                        kLabel2.top, ui::Width(kLabel2), ui::Height(kLabel2), IDC_NUSER_LABEL2);
    Button1 = AddControl(L"BUTTON", L"&Start", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON,
                         kButton1.left, kButton1.top, ui::Width(kButton1), ui::Height(kButton1), IDC_NUSER_BUTTON1);
    if (!Image1 || !Image2 || !Label1 || !ComboBox1 || !Label2 || !Button1) return false;

    // The picture lies on the header band.
    ::SetWindowPos(Image1, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (image1Picture_)
        ::SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image1Picture_.get()));
    ::SetWindowSubclass(ComboBox1, ComboBox1Proc, 0, reinterpret_cast<DWORD_PTR>(this));
    focus_.SetFallback(ComboBox1);
    return true;
}

void TNewUserWindow::FormCreate() {
    ::SetWindowTextW(Handle(), kProductTitle);
    ::SetWindowTextW(Label2, kProductTitle);
    chosenName_.clear();
    try {
        TTidemarrowUsers users(programFolder_);
        for (int i = 0; i < users.Count(); ++i) AppendProfileName(users.NameAt(i));
        const int items = static_cast<int>(::SendMessageW(ComboBox1, CB_GETCOUNT, 0, 0));
        ::SendMessageW(ComboBox1, CB_SETCURSEL, static_cast<WPARAM>(items - 1), 0);
        profileCount_ = items;
    } catch (...) {
        RaiseAssertion(AssertSite::LoginWindow);
    }
    DrawHeader();
}

void TNewUserWindow::AppendProfileName(const std::wstring& name) {
    const LRESULT index = ::SendMessageW(ComboBox1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
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
    ::SendMessageW(Image2, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(band.get()));
    image2Picture_ = std::move(band);
}

void TNewUserWindow::FormPaint() {
    // With a single profile there is nothing to choose.
    if (profileCount_ == 1) Button1Click();
}

void TNewUserWindow::Button1Click() {
    const LRESULT items = ::SendMessageW(ComboBox1, CB_GETCOUNT, 0, 0);
    const LRESULT selected = ::SendMessageW(ComboBox1, CB_GETCURSEL, 0, 0);
    chosenName_.clear();
    if (items > 0 && selected >= 0) {
        const LRESULT length = ::SendMessageW(ComboBox1, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
        if (length > 0) {
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            const LRESULT got = ::SendMessageW(ComboBox1, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                                               reinterpret_cast<LPARAM>(text.data()));
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            chosenName_ = std::move(text);
        }
    }
    SetModalResult(IDOK);
}

void TNewUserWindow::ComboBox1KeyPress(wchar_t& key) {
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
        if (LOWORD(wParam) == IDC_NUSER_BUTTON1 && HIWORD(wParam) == BN_CLICKED) {
            Button1Click();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) return 0;  // Esc, or Enter without a default
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_NUSER_BUTTON1, DC_HASDEFID);
    case WM_ACTIVATE:
        focus_.Activate(Handle(), wParam);
        if (LOWORD(wParam) != WA_INACTIVE) return 0;
        break;
    default:
        break;
    }
    return ui::Form::HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK TNewUserWindow::ComboBox1Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                               DWORD_PTR self) {
    try {
        if (message == WM_CHAR) {
            auto key = static_cast<wchar_t>(wParam);
            reinterpret_cast<TNewUserWindow*>(self)->ComboBox1KeyPress(key);
            if (key == 0) return 0;
            wParam = key;
        } else if (message == WM_NCDESTROY) {
            ::RemoveWindowSubclass(hwnd, ComboBox1Proc, id);
        }
    } catch (...) {
        return 0;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
