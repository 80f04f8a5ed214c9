// The settings window's seven pages: their controls, and the controls showing the settings and
// lists of the store (the store holds the truth; the controls follow it and report changes).

#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include "settings/ConfigWindow.h"
#include "settings/ConfigWindowIds.h"
#include "ui/Subclass.h"

namespace {

// The check boxes of page 基本設定, top to bottom, with the settings they hold.
struct BasicCheck {
    const wchar_t* caption;
    bool Settings::*field;
};
const BasicCheck kBasicChecks[] = {
    {L"フォルダをドロップした際にサブフォルダも含める", &Settings::Dropfile},
    {L"終了時ファイルリストが0でない場合に警告する", &Settings::WarningClose},
    {L"除外設定を有効にする", &Settings::RemoveEnable},
    {L"抹消時にプライオリティを自動的に上げる", &Settings::EraseHighspeed},
    {L"エラーレポートを有効にする", &Settings::ErrorReport},
    {L"エラーレポート有効時強制終了を行えるようにする", &Settings::UseExitFunction},
    {L"ファイルリストにグリッドを表示", &Settings::ShowGrid},
    {L"作業終了後に自動的にコンピュータの電源を切る(*この設定は保存されません)", &Settings::PowerOffAfterRun},
    {L"メインウインドウにユーザー名を表示する", &Settings::ShowUserName},
    {L"中断時にオートインポートを行う", &Settings::AutoIn},
    {L"SSTPを使用する", &Settings::UseSSTP},
    {L"抹消後に書き込み内容を確認する", &Settings::Verify},
};

const wchar_t* const kChoiceNames[] = {L"Speed", L"Normal", L"High", L"Custom"};
constexpr int kExtensionLimit = 5;
constexpr int kChoiceDropHeight = 120;

// The choices' combo boxes take no typed characters: they change only through the drop-down
// list and the arrow keys.
LRESULT CALLBACK NoTypingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR) return 0;
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

// The sound path box shows the path but never takes the focus.
LRESULT CALLBACK NoFocusProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        return 0;
    case WM_SETFOCUS:
        if (HWND previous = reinterpret_cast<HWND>(wParam); previous && ::IsWindow(previous))
            ::SetFocus(previous);
        return 0;
    default:
        return ui::DefSubclass(hwnd, message, wParam, lParam);
    }
}

void InsertHeaderItem(HWND header, int index, const wchar_t* text, int width) {
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.fmt = HDF_LEFT | HDF_STRING;
    item.cxy = width;
    item.pszText = const_cast<wchar_t*>(text);
    ::SendMessageW(header, HDM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void InsertViewColumn(HWND view, int index, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(view, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetChecked(HWND box, bool on) {
    if (box) ::SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetTextIfChanged(HWND control, const std::wstring& text) {
    if (control && ui::WindowText(control) != text) ::SetWindowTextW(control, text.c_str());
}

}  // namespace

HWND TConfigWindow::AddChild(HWND page, const wchar_t* className, const std::wstring& text, DWORD style, int x,
                             int y, int width, int height, int id, DWORD exStyle) {
    return ui::CreateControl(page, className, text, style | WS_VISIBLE, x, y, width, height, id, exStyle);
}

void TConfigWindow::CreateBasicPage(HWND page) {
    AddChild(page, L"BUTTON", L"基本設定", BS_GROUPBOX, 8, 6, 556, 266, IDC_CONFIG_BASIC_GROUP);
    for (std::size_t i = 0; i < basicChecks_.size(); ++i) {
        const int id = IDC_CONFIG_BASIC_FIRST + static_cast<int>(i);
        basicChecks_[i] = AddChild(page, L"BUTTON", kBasicChecks[i].caption,
                                   BS_AUTOCHECKBOX | WS_TABSTOP | (i == 0 ? WS_GROUP : 0), 24,
                                   26 + 20 * static_cast<int>(i), 520, 18, id);
    }
}

void TConfigWindow::CreateExclusionPage(HWND page) {
    HWND header = AddChild(page, WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 8, 8, 530, 20, IDC_CONFIG_EXCLUSION_HEADER);
    InsertHeaderItem(header, 0, L"除外", 300);
    InsertHeaderItem(header, 1, L"追加と削除", 230);
    exclusionListBox_ = AddChild(page, L"LISTBOX", L"",
                                 WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 8, 28, 300,
                                 222, IDC_CONFIG_EXCLUSION_LIST, WS_EX_CLIENTEDGE);
    AddChild(page, L"BUTTON", L"", BS_GROUPBOX, 316, 24, 222, 226, IDC_CONFIG_EXCLUSION_FRAME);
    AddChild(page, L"STATIC", L"追加する拡張子", SS_LEFT, 330, 42, 180, 14, IDC_CONFIG_EXCLUSION_LABEL);
    exclusionEdit_ = AddChild(page, L"EDIT", L"", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, 330, 60, 80, 21,
                              IDC_CONFIG_EXCLUSION_BOX, WS_EX_CLIENTEDGE);
    AddChild(page, L"STATIC", L"拡張子を指定します。\r\nピリオド( . )は不要です\r\n 例1(OK) txt  例2(NG) .TXT",
             SS_LEFT | SS_NOPREFIX, 330, 90, 200, 48, IDC_CONFIG_EXCLUSION_HINT);
    AddChild(page, L"BUTTON", L"<< 追加", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 330, 150, 90, 25,
             IDC_CONFIG_EXCLUSION_ADD);
    AddChild(page, L"BUTTON", L"削除 >>", BS_PUSHBUTTON | WS_TABSTOP, 330, 184, 90, 25, IDC_CONFIG_EXCLUSION_REMOVE);
    readOnlyCheck_ = AddChild(page, L"BUTTON", L"読み取り専用ファイルを除外する(&V)",
                              BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 8, 256, 300, 18, IDC_CONFIG_READ_ONLY);
    ::SendMessageW(exclusionEdit_, EM_SETLIMITTEXT, kExtensionLimit, 0);
    ::ImmAssociateContext(exclusionEdit_, nullptr);
}

void TConfigWindow::CreateModePage(HWND page) {
    AddChild(page, L"BUTTON", L"抹消モード", BS_GROUPBOX, 8, 6, 556, 266, IDC_CONFIG_MODE_GROUP);
    AddChild(page, L"STATIC", L"現在のモード:", SS_LEFT, 24, 34, 90, 14, IDC_CONFIG_MODE_LABEL);
    eraseModeChoice_.Create(page, IDC_CONFIG_MODE_CHOICE, 116, 30, 150, kChoiceDropHeight);
    AddChild(page, L"BUTTON", L"", BS_GROUPBOX, 24, 66, 524, 190, IDC_CONFIG_MODE_FRAME);
    AddChild(page, L"STATIC", L"モードの概略:", SS_LEFT, 40, 86, 120, 14, IDC_CONFIG_MODE_SUMMARY_LABEL);
    modePictureControl_ = AddChild(page, L"STATIC", L"", SS_OWNERDRAW, 40, 110, kModePictureWidth,
                                   kModePictureHeight, IDC_CONFIG_MODE_PICTURE);
}

void TConfigWindow::CreateCustomPage(HWND page) {
    AddChild(page, L"BUTTON", L"Custom Mode", BS_GROUPBOX, 8, 6, 556, 266, IDC_CONFIG_CUSTOM_GROUP);
    HWND header = AddChild(page, WC_HEADERW, L"", HDS_BUTTONS | HDS_HORZ, 24, 26, 213, 20, IDC_CONFIG_CUSTOM_HEADER);
    InsertHeaderItem(header, 0, L"カスタム", 209);
    customViewControl_ =
        AddChild(page, WC_LISTVIEWW, L"",
                 WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                     LVS_SHAREIMAGELISTS,
                 24, 46, 213, 214, IDC_CONFIG_CUSTOM_VIEW, WS_EX_CLIENTEDGE);
    ::SendMessageW(customViewControl_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    InsertViewColumn(customViewControl_, 0, 25);
    InsertViewColumn(customViewControl_, 1, 158);
    AddChild(page, L"BUTTON", L"", BS_GROUPBOX, 250, 22, 300, 240, IDC_CONFIG_CUSTOM_FRAME);
    AddChild(page, L"STATIC", L"追加する拡張子", SS_LEFT, 264, 40, 180, 14, IDC_CONFIG_CUSTOM_LABEL);
    customEdit_ = AddChild(page, L"EDIT", L"", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, 264, 58, 80, 21,
                           IDC_CONFIG_CUSTOM_BOX, WS_EX_CLIENTEDGE);
    AddChild(page, L"BUTTON", L"<<追加", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 264, 90, 90, 25, IDC_CONFIG_CUSTOM_ADD);
    AddChild(page, L"BUTTON", L"削除>>", BS_PUSHBUTTON | WS_TABSTOP, 264, 122, 90, 25, IDC_CONFIG_CUSTOM_REMOVE);
    AddChild(page, L"STATIC", L"モード", SS_LEFT, 264, 160, 60, 14, IDC_CONFIG_CUSTOM_LEVEL_LABEL);
    customLevelChoice_.Create(page, IDC_CONFIG_CUSTOM_LEVEL, 264, 176, 130, kChoiceDropHeight);
    AddChild(page, L"STATIC",
             L"[CustomModeを選択時の注意点]\r\n左のリストに登録されていない拡張子は\r\n強制的に上記のモードを適用します。",
             SS_LEFT | SS_NOPREFIX, 264, 208, 280, 48, IDC_CONFIG_CUSTOM_NOTE);
    ::SendMessageW(customEdit_, EM_SETLIMITTEXT, kExtensionLimit, 0);
    ::ImmAssociateContext(customEdit_, nullptr);
}

void TConfigWindow::CreateToolsPage(HWND page) {
    AddChild(page, L"BUTTON", L"IEツール", BS_GROUPBOX, 8, 6, 300, 96, IDC_CONFIG_IE_GROUP);
    AddChild(page, L"STATIC", L"キャッシュ抹消精度:", SS_LEFT, 24, 34, 140, 14, IDC_CONFIG_CACHE_LABEL);
    cacheLevelChoice_.Create(page, IDC_CONFIG_CACHE_LEVEL, 166, 30, 130, kChoiceDropHeight);
    AddChild(page, L"STATIC", L"クッキー抹消精度:", SS_LEFT, 24, 68, 140, 14, IDC_CONFIG_COOKIE_LABEL);
    cookieLevelChoice_.Create(page, IDC_CONFIG_COOKIE_LEVEL, 166, 64, 130, kChoiceDropHeight);
    AddChild(page, L"BUTTON", L"エクスプローラー", BS_GROUPBOX, 8, 112, 300, 62, IDC_CONFIG_EXPLORER_GROUP);
    AddChild(page, L"STATIC", L"ファイル履歴抹消精度:", SS_LEFT, 24, 140, 140, 14, IDC_CONFIG_HISTORY_LABEL);
    historyLevelChoice_.Create(page, IDC_CONFIG_HISTORY_LEVEL, 166, 136, 130, kChoiceDropHeight);
    CreateKeptSitesGroup(page);
    AddChild(page, L"STATIC",
             L"キャッシュとクッキーの精度は Microsoft Edge、Google Chrome、Firefox のキャッシュとクッキーにも、"
             L"ファイル履歴の精度はそれらのブラウザーの履歴のファイルにも使われます。",
             SS_LEFT | SS_NOPREFIX, 16, 226, 540, 32, IDC_CONFIG_BROWSERS_NOTE);
}

void TConfigWindow::CreateSoundPage(HWND page) {
    soundIconControl_ = AddChild(page, L"STATIC", L"", SS_BITMAP, 16, 14, 32, 32, IDC_CONFIG_SOUND_ICON);
    AddChild(page, L"STATIC", L"作業終了時、任意のサウンドを再生します", SS_LEFT, 60, 24, 400, 14,
             IDC_CONFIG_SOUND_TEXT);
    soundCheck_ = AddChild(page, L"BUTTON", L"サウンドを再生する", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 24, 64,
                           240, 18, IDC_CONFIG_SOUND);
    soundFileLabel_ = AddChild(page, L"STATIC", L"サウンドファイル:", SS_LEFT, 24, 96, 200, 14,
                               IDC_CONFIG_SOUND_FILE_LABEL);
    soundPathBox_ = AddChild(page, L"EDIT", L"", ES_READONLY | ES_AUTOHSCROLL, 24, 114, 420, 21,
                             IDC_CONFIG_SOUND_FILE, WS_EX_CLIENTEDGE);
    soundOpenButton_ = AddChild(page, L"BUTTON", L"開く", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 452, 112, 80, 25,
                                IDC_CONFIG_SOUND_OPEN);
    ui::SetSubclass(soundPathBox_, NoFocusProc, 0, 0);
    DrawSoundIcon();
}

void TConfigWindow::CreateDetailsPage(HWND page) {
    // The banner first: it lies over the details picture.
    bannerControl_ = AddChild(page, L"STATIC", L"", SS_BITMAP | SS_NOTIFY | WS_BORDER | WS_CLIPSIBLINGS,
                              kDetailsWidth - 200 - 14, kDetailsHeight - 40 - 14, 200, 40, IDC_CONFIG_BANNER);
    detailsControl_ = AddChild(page, L"STATIC", L"", SS_BITMAP | WS_CLIPSIBLINGS, 0, 0, kDetailsWidth,
                               kDetailsHeight, IDC_CONFIG_DETAILS, WS_EX_STATICEDGE);
    ::SetWindowPos(bannerControl_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DrawBanner();
    CreateExplorerVerbCheck(page);
}

void TConfigWindow::FillChoices() {
    for (ui::ComboBoxEx* choice :
         {&eraseModeChoice_, &customLevelChoice_, &cacheLevelChoice_, &cookieLevelChoice_, &historyLevelChoice_}) {
        if (!choice->Handle()) continue;
        const int items = choice == &eraseModeChoice_ ? kEraseModeCount : kEraseLevelCount;
        for (int i = 0; i < items; ++i) choice->AddItem(kChoiceNames[i], i);
        if (HWND combo = reinterpret_cast<HWND>(::SendMessageW(choice->Handle(), CBEM_GETCOMBOCONTROL, 0, 0)))
            ui::SetSubclass(combo, NoTypingProc, 0, 0);
        ui::SetSubclass(choice->Handle(), NoTypingProc, 0, 0);
    }
}

void TConfigWindow::SetModeIcons(HIMAGELIST icons) {
    if (!modeIcons_.get()) modeIcons_.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0));
    if (!modeIcons_.get() || !icons) return;
    const int count = ::ImageList_GetImageCount(icons);
    for (int i = 0; i < count && i < kEraseModeCount; ++i) {
        if (HICON icon = ::ImageList_GetIcon(icons, i, ILD_NORMAL)) {
            ::ImageList_AddIcon(modeIcons_.get(), icon);
            ::DestroyIcon(icon);
        }
    }
    ShowModeIcons();
    ShowValues();
}

void TConfigWindow::ShowModeIcons() {
    for (ui::ComboBoxEx* choice :
         {&eraseModeChoice_, &customLevelChoice_, &cacheLevelChoice_, &cookieLevelChoice_, &historyLevelChoice_})
        if (choice->Handle()) choice->SetImages(modeIcons_.get());
    if (customViewControl_)
        ::SendMessageW(customViewControl_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(modeIcons_.get()));
}

HWND TConfigWindow::Control(int id) const {
    if (!Handle()) return nullptr;
    if (HWND control = ::GetDlgItem(Handle(), id)) return control;
    for (const auto& page : pages_)
        if (page && page->Handle())
            if (HWND control = ::GetDlgItem(page->Handle(), id)) return control;
    return nullptr;
}

std::wstring TConfigWindow::BoxText(int id) const { return ui::WindowText(Control(id)); }

void TConfigWindow::ShowValues() {
    if (!Handle() || !pageControl_) return;
    showingValues_ = true;
    const Settings& v = values_;
    for (std::size_t i = 0; i < basicChecks_.size(); ++i) SetChecked(basicChecks_[i], v.*(kBasicChecks[i].field));
    SetChecked(readOnlyCheck_, v.RemoveReadOnly);
    SetChecked(soundCheck_, v.Sound);
    eraseModeChoice_.Select(v.Erase);
    customLevelChoice_.Select(v.CustomMode);
    cacheLevelChoice_.Select(v.IETool01);
    cookieLevelChoice_.Select(v.IETools02);
    historyLevelChoice_.Select(v.ETools01);
    SetTextIfChanged(exclusionEdit_, exclusionBox_);
    SetTextIfChanged(customEdit_, customBox_);
    SetTextIfChanged(soundPathBox_, v.SoundFile);
    ShowExclusionList();
    ShowCustomView();
    ShowKeptCookieSites();
    UpdateSoundControls();
    showingValues_ = false;
}

void TConfigWindow::ShowExclusionList() {
    if (!exclusionListBox_ || !Handle()) return;
    const bool wasShowing = std::exchange(showingValues_, true);
    ::SendMessageW(exclusionListBox_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(exclusionListBox_, LB_RESETCONTENT, 0, 0);
    for (const auto& entry : exclusionList_)
        ::SendMessageW(exclusionListBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    ::SendMessageW(exclusionListBox_, LB_SETCURSEL, static_cast<WPARAM>(exclusionSelected_), 0);
    ::SendMessageW(exclusionListBox_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(exclusionListBox_, nullptr, TRUE);
    showingValues_ = wasShowing;
}

void TConfigWindow::ShowCustomView() {
    if (!customViewControl_ || !Handle()) return;
    const bool wasShowing = std::exchange(showingValues_, true);
    ::SendMessageW(customViewControl_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(customViewControl_, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t row = 0; row < customView_.size(); ++row) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE | LVIF_TEXT;
        item.iItem = static_cast<int>(row);
        item.iImage = static_cast<int>(customView_[row].level);
        item.pszText = const_cast<wchar_t*>(L"");
        const int at = static_cast<int>(
            ::SendMessageW(customViewControl_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        LVITEMW text{};
        text.iSubItem = 1;
        text.pszText = const_cast<wchar_t*>(customView_[row].extension.c_str());
        ::SendMessageW(customViewControl_, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&text));
    }
    if (customSelected_ >= 0) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(customViewControl_, LVM_SETITEMSTATE, static_cast<WPARAM>(customSelected_),
                       reinterpret_cast<LPARAM>(&state));
        ::SendMessageW(customViewControl_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(customSelected_), FALSE);
    }
    ::SendMessageW(customViewControl_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(customViewControl_, nullptr, TRUE);
    showingValues_ = wasShowing;
}

void TConfigWindow::UpdateSoundControls() {
    const BOOL on = values_.Sound ? TRUE : FALSE;
    for (HWND control : {soundFileLabel_, soundPathBox_, soundOpenButton_})
        if (control && Handle()) ::EnableWindow(control, on);
}

void TConfigWindow::BasicCheckClick(int index) {
    if (showingValues_ || index < 0 || index >= static_cast<int>(basicChecks_.size())) return;
    values_.*(kBasicChecks[index].field) =
        ::SendMessageW(basicChecks_[static_cast<std::size_t>(index)], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TConfigWindow::ChoiceChange(int id) {
    if (showingValues_) return;
    struct Binding {
        ui::ComboBoxEx* choice;
        int Settings::*field;
    };
    const Binding bindings[] = {{&eraseModeChoice_, &Settings::Erase},
                                {&customLevelChoice_, &Settings::CustomMode},
                                {&cacheLevelChoice_, &Settings::IETool01},
                                {&cookieLevelChoice_, &Settings::IETools02},
                                {&historyLevelChoice_, &Settings::ETools01}};
    for (const Binding& binding : bindings)
        if (::GetDlgCtrlID(binding.choice->Handle()) == id) values_.*(binding.field) = binding.choice->Selection();
}
