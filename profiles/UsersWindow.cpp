#include "profiles/UsersWindow.h"

#include <commctrl.h>
#include <imm.h>

#include <utility>
#include <vector>

#include "common/TextCompare.h"
#include "profiles/ProfileIds.h"
#include "resources/ProductInfo.h"
#include "profiles/TidemarrowUsers.h"
#include "ui/Subclass.h"

namespace {

constexpr const wchar_t* kColumn0Text = L"削除";
constexpr const wchar_t* kColumn1Text = L"ユーザープロファイル";
constexpr const wchar_t* kNameLabelText = L"新しいユーザープロファイル名(&N)";
constexpr const wchar_t* kAddUserText = L"ユーザーの追加";
constexpr const wchar_t* kDeleteUserText = L"ユーザーの削除";
constexpr const wchar_t* kHeaderTitle = L"ユーザープロファイルの管理";
constexpr const wchar_t* kHeaderLine1 = L"新しいユーザープロファイルを作成や既存のプロファイルを削除出来ます。";
constexpr const wchar_t* kHeaderLine2 = L"DefaultUserと現在のユーザープロファイルは削除できません。";

constexpr const wchar_t* kCreatedCaption = L"新しいプロファイルを作成";
constexpr const wchar_t* kTakenCaption = L"Error";
constexpr const wchar_t* kTakenText = L"既に作成されたプロファイルがあります。";
constexpr const wchar_t* kConfirmCaption = L"確認";
constexpr const wchar_t* kConfirmText =
    L"チェックを入れたユーザープロファイルを削除します。\r\n"
    L"なおデフォルトユーザーと現在のユーザープロファイルは削除できません。\r\n"
    L"\r\n"
    L"続けるには\"はい\"をクリックして下さい。";

// The images of Glyphs: the two button glyphs, then the system warning icon.
constexpr int kAddGlyph = 0;
constexpr int kDeleteGlyph = 1;

// Where the controls sit, in client pixels.
constexpr RECT kUserList = {12, 93, 528, 283};
constexpr int kColumn0Width = 56;
constexpr RECT kNameLabel = {12, 295, 262, 309};
constexpr RECT kNameEdit = {12, 312, 162, 333};
constexpr RECT kAddUserButton = {172, 310, 312, 335};
constexpr RECT kDeleteUserButton = {388, 310, 528, 335};
constexpr RECT kTitleLabel = {12, 357, 300, 371};
constexpr RECT kCloseButton = {453, 350, 528, 375};

bool IsNameKey(wchar_t key) {
    return (key >= L'a' && key <= L'z') || (key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9') ||
           key == L'\b';
}

void InsertColumn(HWND list, int index, const wchar_t* text, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(text);
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetSubItemText(HWND list, int row, int subItem, const std::wstring& text) {
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void SelectRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int RowCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

bool IsTicked(HWND list, int row) {
    const auto state = static_cast<UINT>(
        ::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

}  // namespace

TUsersWindow::TUsersWindow(std::wstring programFolder) : programFolder_(std::move(programFolder)) {}

TUsersWindow::~TUsersWindow() {
    // Gone while the images and pictures its controls show still exist.
    if (Handle()) ::DestroyWindow(Handle());
    FormDestroy();
}

bool TUsersWindow::Create(HWND owner) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!CreateForm(kClassName, kProductTitle, kClientWidth, kClientHeight, ui::kDialogFormStyle,
                    ui::kDialogFormExStyle, owner))
        return false;
    if (!CreateControls()) return false;
    FormCreate();
    return true;
}

bool TUsersWindow::CreateControls() {
    // The two glyphs the window is designed with; FormCreate appends the warning icon.
    Glyphs.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 1));
    profiles::AddGlyph(Glyphs.get(), profiles::Glyph::AddUser);
    profiles::AddGlyph(Glyphs.get(), profiles::Glyph::DeleteUser);

    Header = AddControl(L"STATIC", L"", WS_VISIBLE | SS_BITMAP, 0, 0, kHeaderWidth, kHeaderHeight, IDC_USERDLG_HEADER);
    UserList = AddControl(WC_LISTVIEWW, L"",
                          WS_VISIBLE | WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                              LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                          kUserList.left, kUserList.top, ui::Width(kUserList), ui::Height(kUserList), IDC_USERDLG_USERLIST,
                          WS_EX_CLIENTEDGE);
    // NameLabel comes just before NameEdit, so its underlined letter moves the focus there.
    NameLabel = AddControl(L"STATIC", kNameLabelText, WS_VISIBLE | SS_LEFT, kNameLabel.left, kNameLabel.top,
                           ui::Width(kNameLabel), ui::Height(kNameLabel), IDC_USERDLG_NAME_LABEL);
    NameEdit =
        AddControl(L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, kNameEdit.left, kNameEdit.top,
                   ui::Width(kNameEdit), ui::Height(kNameEdit), IDC_USERDLG_NAME, WS_EX_CLIENTEDGE);
    AddUserButton =
        AddControl(L"BUTTON", kAddUserText, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_OWNERDRAW, kAddUserButton.left,
                   kAddUserButton.top, ui::Width(kAddUserButton), ui::Height(kAddUserButton), IDC_USERDLG_ADD);
    DeleteUserButton = AddControl(L"BUTTON", kDeleteUserText, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_OWNERDRAW,
                                  kDeleteUserButton.left, kDeleteUserButton.top, ui::Width(kDeleteUserButton),
                                  ui::Height(kDeleteUserButton), IDC_USERDLG_DELETE);
    CloseButton =
        AddControl(L"BUTTON", L"&Close", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, kCloseButton.left,
                   kCloseButton.top, ui::Width(kCloseButton), ui::Height(kCloseButton), IDC_USERDLG_CLOSE);
    TitleLabel = AddControl(L"STATIC", L"", WS_VISIBLE | WS_DISABLED | SS_LEFT | SS_NOPREFIX, kTitleLabel.left,
                            kTitleLabel.top, ui::Width(kTitleLabel), ui::Height(kTitleLabel), IDC_USERDLG_TITLE);
    if (!Glyphs.get() || !Header || !UserList || !NameLabel || !NameEdit || !AddUserButton || !DeleteUserButton ||
        !CloseButton || !TitleLabel)
        return false;

    const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
    ::SendMessageW(UserList, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    ::SendMessageW(UserList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(Glyphs.get()));
    // Column 2 holds each row's folder path; no one sees it.
    InsertColumn(UserList, 0, kColumn0Text, kColumn0Width);
    InsertColumn(UserList, 1, kColumn1Text, 100);
    InsertColumn(UserList, 2, L"", 0);
    ui::SetSubclass(UserList, UserListProc, 0, reinterpret_cast<DWORD_PTR>(this));

    ::SendMessageW(NameEdit, EM_SETLIMITTEXT, kNameLimit, 0);
    // Only ASCII letters and digits are taken, so no input method composes into the field.
    ::ImmAssociateContext(NameEdit, nullptr);
    ui::SetSubclass(NameEdit, NameEditProc, 0, reinterpret_cast<DWORD_PTR>(this));
    focus_.SetFallback(UserList);
    return true;
}

void TUsersWindow::FormCreate() {
    lastIndex_ = 0;

    RECT list{};
    ::GetWindowRect(UserList, &list);
    const int column0 = static_cast<int>(::SendMessageW(UserList, LVM_GETCOLUMNWIDTH, 0, 0));
    ::SendMessageW(UserList, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM((list.right - list.left) - column0 - 5, 0));
    FixColumnWidths();

    // Images 0 and 1 are drawn on the buttons (DrawGlyphButton); the warning icon goes last.
    HICON warning = static_cast<HICON>(::LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, 16, 16, LR_SHARED));
    if (!warning) warning = ::LoadIconW(nullptr, IDI_WARNING);
    if (warning) ::ImageList_AddIcon(Glyphs.get(), warning);

    DrawHeader();
    Users = std::make_unique<TTidemarrowUsers>(programFolder_);
}

void TUsersWindow::FormDestroy() { Users.reset(); }

void TUsersWindow::FixColumnWidths() {
    for (int i = 0; i < 3; ++i)
        columnWidths_[i] = static_cast<int>(::SendMessageW(UserList, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
}

void TUsersWindow::DrawHeader() {
    ui::Bitmap band(profiles::DrawHeaderBand(kHeaderWidth, kHeaderHeight, [this](HDC dc) {
        ui::Font title(profiles::MakeUiFont(12, true));
        ui::Font text(profiles::MakeUiFont(9, false));
        profiles::DrawBlackText(dc, title.get(), 12, 12, kHeaderTitle);
        profiles::DrawBlackText(dc, text.get(), 70, 41, kHeaderLine1);
        profiles::DrawBlackText(dc, text.get(), 99, 61, kHeaderLine2);
        const int images = ::ImageList_GetImageCount(Glyphs.get());
        if (images > 0) ::ImageList_Draw(Glyphs.get(), images - 1, dc, 78, 58, ILD_TRANSPARENT);
    }));
    if (!band) return;
    ::SendMessageW(Header, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(band.get()));
    headerPicture_ = std::move(band);
}

void TUsersWindow::FormShow() {
    RefreshList();
    ::SetWindowTextW(Handle(), (std::wstring(kProductTitle) + L" [" + currentName_ + L"]").c_str());
    ::SetWindowTextW(TitleLabel, kProductTitle);
}

void TUsersWindow::RefreshList() {
    ::SendMessageW(UserList, LVM_DELETEALLITEMS, 0, 0);
    if (!Users) return;
    Users->Reload();
    for (int i = 0; i < Users->Count(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_STATE | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(L"");
        item.iImage = -1;
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(1);  // tick box cleared
        const auto row = static_cast<int>(::SendMessageW(UserList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0) continue;
        SetSubItemText(UserList, row, 1, Users->NameAt(i));
        SetSubItemText(UserList, row, 2, Users->NameAt(i, true));
    }
    if (RowCount(UserList) > 0) SelectRow(UserList, 0);
}

void TUsersWindow::UserListChange(int index) {
    if (index >= 0) lastIndex_ = index;
}

void TUsersWindow::UserListClick() {
    // A click on empty space takes the selection away; the row that changed last gets it back.
    const int rows = RowCount(UserList);
    if (rows <= 0) return;
    if (::SendMessageW(UserList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) != -1) return;
    SelectRow(UserList, lastIndex_ < rows ? lastIndex_ : rows - 1);
}

void TUsersWindow::NameEditKeyPress(wchar_t& key) {
    if (!IsNameKey(key)) key = 0;
}

void TUsersWindow::NameEditContextPopup(bool& handled) { handled = true; }

void TUsersWindow::AddUser() {
    const std::wstring name = ui::WindowText(NameEdit);
    if (name.empty() || !Users) return;
    if (Users->CreateProfile(name)) {
        RefreshList();
        const std::wstring text = L"ユーザープロファイル " + name + L"を作成しました。";
        ::MessageBoxW(Handle(), text.c_str(), kCreatedCaption, MB_OK | MB_ICONINFORMATION);
    } else {
        ::MessageBoxW(Handle(), kTakenText, kTakenCaption, MB_OK | MB_ICONERROR);
    }
}

void TUsersWindow::DeleteTickedUsers() {
    if (::MessageBoxW(Handle(), kConfirmText, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (Users) {
        const int rows = RowCount(UserList);
        for (int row = 0; row < rows; ++row) {
            if (!IsTicked(UserList, row)) continue;
            const std::wstring name = RowName(row);
            // Protected rows are passed over without a word.
            if (!name.empty() && !IsProtected(name)) Users->DeleteProfile(name);
        }
    }
    RefreshList();
}

void TUsersWindow::CloseManager() { SetModalResult(IDOK); }

bool TUsersWindow::IsProtected(const std::wstring& name) const {
    // Letter case is ignored as the file system ignores it: "defaultuser" is the folder of
    // DefaultUser, and deleting it would lose that profile's settings.
    return SameTextIgnoreCase(name, TTidemarrowUsers::kDefaultUser) || SameTextIgnoreCase(name, currentName_);
}

std::wstring TUsersWindow::RowName(int row) const {
    std::wstring text(MAX_PATH + 1, L'\0');
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto length = static_cast<int>(
        ::SendMessageW(UserList, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

void TUsersWindow::DrawGlyphButton(const DRAWITEMSTRUCT& item, int glyph) const {
    HDC dc = item.hDC;
    RECT face = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    ::DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const std::wstring text = ui::WindowText(item.hwndItem);
    ui::ScopedSelect font(dc, ui::UiFont());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const int shift = pushed ? 1 : 0;
    const int width = item.rcItem.right - item.rcItem.left;
    const int height = item.rcItem.bottom - item.rcItem.top;
    const int left = item.rcItem.left + (width - (16 + 4 + extent.cx)) / 2 + shift;
    ::ImageList_DrawEx(Glyphs.get(), glyph, dc, left, item.rcItem.top + (height - 16) / 2 + shift, 16, 16, CLR_NONE,
                       CLR_NONE, disabled ? ILD_TRANSPARENT | ILD_BLEND50 : ILD_TRANSPARENT);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    ::TextOutW(dc, left + 20, item.rcItem.top + (height - extent.cy) / 2 + shift, text.c_str(),
               static_cast<int>(text.size()));
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -4, -4);
        ::DrawFocusRect(dc, &focus);
    }
}

LRESULT TUsersWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case IDC_USERDLG_ADD:
                AddUser();
                return 0;
            case IDC_USERDLG_DELETE:
                DeleteTickedUsers();
                return 0;
            case IDC_USERDLG_CLOSE:
                CloseManager();
                return 0;
            case IDOK:
            case IDCANCEL:
                return 0;  // Enter without a default, or Esc
            default:
                break;
            }
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_USERDLG_CLOSE, DC_HASDEFID);
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_USERDLG_USERLIST) break;
        switch (header->code) {
        case LVN_ITEMCHANGED:
            UserListChange(reinterpret_cast<const NMLISTVIEW*>(lParam)->iItem);
            return 0;
        case NM_CLICK:
        case NM_RCLICK:
            UserListClick();
            return 0;
        default:
            break;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == IDC_USERDLG_ADD || item->CtlID == IDC_USERDLG_DELETE) {
            DrawGlyphButton(*item, item->CtlID == IDC_USERDLG_ADD ? kAddGlyph : kDeleteGlyph);
            return TRUE;
        }
        break;
    }
    case WM_ACTIVATE:
        focus_.Activate(Handle(), wParam);
        if (LOWORD(wParam) != WA_INACTIVE) return 0;
        break;
    default:
        break;
    }
    return ui::Form::HandleMessage(message, wParam, lParam);
}

LRESULT TUsersWindow::UserListHeaderNotify(const NMHDR& header, bool& handled) const {
    // The columns keep the widths they were given: nothing widens the hidden path column.
    handled = true;
    switch (header.code) {
    case HDN_BEGINTRACKA:
    case HDN_BEGINTRACKW:
        return TRUE;
    case HDN_DIVIDERDBLCLICKA:
    case HDN_DIVIDERDBLCLICKW:
        return 0;
    case HDN_ITEMCHANGINGA:
    case HDN_ITEMCHANGINGW: {
        const auto& change = reinterpret_cast<const NMHEADERW&>(header);
        if (change.iItem >= 0 && change.iItem < 3 && change.pitem && (change.pitem->mask & HDI_WIDTH) &&
            columnWidths_[change.iItem] >= 0 && change.pitem->cxy != columnWidths_[change.iItem])
            return TRUE;
        break;
    }
    default:
        break;
    }
    handled = false;
    return 0;
}

LRESULT CALLBACK TUsersWindow::UserListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                            DWORD_PTR self) {
    try {
        if (message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == reinterpret_cast<HWND>(::SendMessageW(hwnd, LVM_GETHEADER, 0, 0))) {
                bool handled = false;
                const LRESULT result = reinterpret_cast<TUsersWindow*>(self)->UserListHeaderNotify(*header, handled);
                if (handled) return result;
            }
        } else if (message == WM_NCDESTROY) {
            ui::RemoveSubclass(hwnd, UserListProc, id);
        }
    } catch (...) {
        return 0;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TUsersWindow::NameEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                            DWORD_PTR self) {
    try {
        auto* window = reinterpret_cast<TUsersWindow*>(self);
        switch (message) {
        case WM_CHAR:
        case WM_IME_CHAR: {
            auto key = static_cast<wchar_t>(wParam);
            window->NameEditKeyPress(key);
            if (key == 0) return 0;
            wParam = key;
            break;
        }
        case WM_CONTEXTMENU: {
            bool handled = false;
            window->NameEditContextPopup(handled);
            if (handled) return 0;
            break;
        }
        case WM_PASTE:
            // Shift+Insert and the like: a pasted text would pass by the key filter.
            return 0;
        case WM_NCDESTROY:
            ui::RemoveSubclass(hwnd, NameEditProc, id);
            break;
        default:
            break;
        }
    } catch (...) {
        return 0;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}
