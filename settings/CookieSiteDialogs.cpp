#include "settings/CookieSiteDialogs.h"

#include "settings/ConfigWindowIds.h"

namespace {

constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

// What both small windows answer alike: Esc and the close box cancel, Enter takes the OK
// button, and activation gives the focus back to the control that had it. True when answered.
bool AnswerDialogMessage(ui::Form& form, ui::FocusKeeper& focus, UINT message, WPARAM wParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL || HIWORD(wParam) != BN_CLICKED) return false;
        form.SetModalResult(IDCANCEL);
        result = 0;
        return true;
    case DM_GETDEFID:
        result = MAKELRESULT(IDOK, DC_HASDEFID);
        return true;
    case WM_ACTIVATE:
        focus.Activate(form.Handle(), wParam);
        result = 0;
        return LOWORD(wParam) != WA_INACTIVE;
    default:
        return false;
    }
}

}  // namespace

TCookieSiteInput::~TCookieSiteInput() {
    if (Handle()) ::DestroyWindow(Handle());
}

bool TCookieSiteInput::Create(HWND owner) {
    if (!CreateForm(kClassName, kCaption, 330, 100, ui::kDialogFormStyle, ui::kDialogFormExStyle, owner)) return false;
    AddControl(L"STATIC", L"サイト名 (例: example.co.jp):", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 12, 306, 14,
               IDC_COOKIE_SITE_LABEL);
    siteBox_ = AddControl(L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, 12, 30, 306, 21,
                          IDC_COOKIE_SITE_BOX, WS_EX_CLIENTEDGE);
    AddControl(L"BUTTON", L"OK", kButtonStyle | WS_GROUP | BS_DEFPUSHBUTTON, 148, 64, 80, 25, IDOK);
    AddControl(L"BUTTON", L"キャンセル", kButtonStyle, 238, 64, 80, 25, IDCANCEL);
    if (!siteBox_) return false;
    ::SendMessageW(siteBox_, EM_SETLIMITTEXT, 253, 0);
    focus_.SetFallback(siteBox_);
    return true;
}

void TCookieSiteInput::TakeSite() {
    const std::wstring text = ui::WindowText(siteBox_);
    const std::wstring site = CookieSiteName(text);
    if (site.empty()) {
        const bool blank = text.find_first_not_of(L" \t\u3000") == std::wstring::npos;
        const std::wstring message = blank ? std::wstring(kEmptyText) : L"「" + text + L"」" + kMalformedText;
        ::MessageBoxW(Handle(), message.c_str(), L"エラー", MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(siteBox_);
        return;
    }
    site_ = site;
    SetModalResult(IDOK);
}

LRESULT TCookieSiteInput::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        TakeSite();
        return 0;
    }
    LRESULT result = 0;
    if (AnswerDialogMessage(*this, focus_, message, wParam, result)) return result;
    return ui::Form::HandleMessage(message, wParam, lParam);
}

TCookieSitePicker::~TCookieSitePicker() {
    if (Handle()) ::DestroyWindow(Handle());
}

std::wstring TCookieSitePicker::NoteText() const {
    std::wstring note;
    for (const std::wstring& browser : found_.unreadable) note += browser + kLockedText + L"\r\n";
    if (found_.sites.empty()) note += kNoneText;
    return note;
}

bool TCookieSitePicker::Create(HWND owner) {
    if (!CreateForm(kClassName, kCaption, 360, 340, ui::kDialogFormStyle, ui::kDialogFormExStyle, owner)) return false;
    AddControl(L"STATIC", L"クッキーを残すサイトにチェックを付けて下さい。", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12,
               10, 336, 14, IDC_COOKIE_SITE_LABEL);
    AddControl(L"STATIC", NoteText(), WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 28, 336, 42, IDC_COOKIE_SITE_NOTE);
    if (!list_.Create(Handle(), IDC_COOKIE_SITE_PICKS, 12, 74, 336, 220, WS_GROUP | LVS_NOSORTHEADER)) return false;
    list_.AddColumn(L"サイト", 310);
    for (const std::wstring& site : found_.sites) list_.AddRow({site}, false);
    focus_.SetFallback(list_.Handle());
    AddControl(L"BUTTON", L"追加", kButtonStyle | WS_GROUP | BS_DEFPUSHBUTTON, 178, 304, 80, 25, IDOK);
    AddControl(L"BUTTON", L"キャンセル", kButtonStyle, 268, 304, 80, 25, IDCANCEL);
    return true;
}

LRESULT TCookieSitePicker::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        chosen_.clear();
        for (int row = 0; row < list_.RowCount(); ++row)
            if (list_.IsTicked(row)) chosen_.push_back(list_.Text(row, 0));
        SetModalResult(IDOK);
        return 0;
    }
    LRESULT result = 0;
    if (AnswerDialogMessage(*this, focus_, message, wParam, result)) return result;
    return ui::Form::HandleMessage(message, wParam, lParam);
}
