// The settings window: made once, hidden, at start; shown modally by the main window's
// settings command. Its pages, close button and the two default buttons.

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "common/Assertions.h"
#include "resources/ProductInfo.h"
#include "settings/ConfigWindow.h"
#include "settings/ConfigWindowIds.h"

namespace {

const wchar_t* const kPageCaptions[TConfigWindow::kPageCount] = {
    L"基本設定", L"除外設定", L"抹消モードの選択", L"カスタムモードの設定", L"追加機能の設定", L"サウンド設定", L"詳細"};

constexpr wchar_t kQuestionCaption[] = L"確認";
constexpr wchar_t kAllDefaultsQuestion[] = L"すべての設定を初期値に戻します。よろしいですか？　";
constexpr wchar_t kPageDefaultsQuestion[] = L"このページの設定を初期値へ戻しますか？　";
// One entry: label, bar, pattern.
constexpr wchar_t kSoundFilter[] = L"サウンドファイル(*.wav)|*.wav";

constexpr int kDetailsPage = TConfigWindow::kPageCount - 1;
constexpr RECT kPageControl = {1, 1, 582, 338};
constexpr RECT kAllDefaultsButton = {8, 341, 98, 365};
constexpr RECT kCloseButton = {489, 341, 575, 365};
constexpr int kPageDefaultWidth = 112;
constexpr int kPageDefaultHeight = 24;

// The window's font: "ＭＳ Ｐゴシック" at 12 pixels in the Shift_JIS set, or the program's UI
// font where that face is missing.
HFONT MakeWindowFont() {
    for (const wchar_t* face : {L"ＭＳ Ｐゴシック", L"MS PGothic"}) {
        if (!ui::HasFontFace(face)) continue;
        LOGFONTW font{};
        font.lfHeight = -12;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = SHIFTJIS_CHARSET;
        font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
        return ::CreateFontIndirectW(&font);
    }
    return nullptr;
}

BOOL CALLBACK SetFontOf(HWND control, LPARAM font) {
    ::SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

// The standard open dialog for the sound file; the first file chosen, or empty on cancel.
std::wstring ChooseWaveFile(HWND owner) {
    std::wstring filter = kSoundFilter;
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    std::vector<wchar_t> buffer(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameW(&dialog)) return {};
    // One file: its full path. Several: the folder, then the names, each ended by a NUL.
    const std::wstring first(buffer.data());
    const wchar_t* next = buffer.data() + first.size() + 1;
    if (*next == L'\0') return first;
    std::wstring folder = first;
    if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
    return folder + next;
}

}  // namespace

bool TConfigWindow::Create(HWND owner) {
    if (Handle()) return true;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!CreateForm(kClassName, std::wstring(kProductTitle) + L"の設定", kClientWidth, kClientHeight,
                    ui::kDialogFormStyle, ui::kDialogFormExStyle, owner))
        return false;
    if (!CreatePages()) {
        ::DestroyWindow(Handle());
        pageControl_ = nullptr;
        return false;
    }
    windowFont_.reset(MakeWindowFont());
    const HFONT font = windowFont_ ? windowFont_.get() : ui::UiFont();
    ::EnumChildWindows(Handle(), SetFontOf, reinterpret_cast<LPARAM>(font));
    // FormCreate: the details page's background, the mode icons, then the store's values (its
    // defaults, unless loaded or edited already) on the page last made active.
    LoadDetailsBackground();
    if (!modeIcons_.get()) modeIcons_.reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0));
    ShowModeIcons();
    SetActivePage(activePage_);
    ShowValues();
    return true;
}

bool TConfigWindow::EnsureWindow() {
    if (!Handle() && createLater_) {
        createLater_ = false;
        Create(laterOwner_);
    }
    return Handle() != nullptr;
}

bool TConfigWindow::CreatePages() {
    pageControl_ = AddControl(WC_TABCONTROLW, L"", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, kPageControl.left,
                              kPageControl.top, ui::Width(kPageControl), ui::Height(kPageControl), IDC_CONFIG_PAGES);
    if (!pageControl_) return false;
    for (int i = 0; i < kPageCount; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kPageCaptions[i]);
        ::SendMessageW(pageControl_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    // The pages fill the page control's display area, above it.
    RECT area{0, 0, ui::Width(kPageControl), ui::Height(kPageControl)};
    ::SendMessageW(pageControl_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    ::OffsetRect(&area, kPageControl.left, kPageControl.top);
    using Builder = void (TConfigWindow::*)(HWND);
    const Builder builders[kPageCount] = {&TConfigWindow::CreateBasicPage,  &TConfigWindow::CreateExclusionPage,
                                          &TConfigWindow::CreateModePage,   &TConfigWindow::CreateCustomPage,
                                          &TConfigWindow::CreateToolsPage,  &TConfigWindow::CreateSoundPage,
                                          &TConfigWindow::CreateDetailsPage};
    for (int i = 0; i < kPageCount; ++i) {
        auto page = std::make_unique<ui::Panel>();
        if (!page->Create(Handle(), IDC_CONFIG_PAGE_FIRST + i, area.left, area.top, ui::Width(area), ui::Height(area)))
            return false;
        // A page paints its whole face before its controls, as a dialog does: a group box
        // draws only its frame and caption, so its inside must not be left out.
        ::SetWindowLongPtrW(page->Handle(), GWL_STYLE,
                            ::GetWindowLongPtrW(page->Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(WS_CLIPCHILDREN));
        ::ShowWindow(page->Handle(), i == 0 ? SW_SHOW : SW_HIDE);
        (this->*builders[i])(page->Handle());
        pages_[static_cast<std::size_t>(i)] = std::move(page);
    }
    ::SetWindowPos(pageControl_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FillChoices();

    allDefaultsButton_ = AddControl(L"BUTTON", L"初期値", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON,
                                    kAllDefaultsButton.left, kAllDefaultsButton.top, ui::Width(kAllDefaultsButton),
                                    ui::Height(kAllDefaultsButton), IDC_CONFIG_ALL_DEFAULTS);
    closeButton_ = AddControl(L"BUTTON", L"閉じる(&C)", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON,
                              kCloseButton.left, kCloseButton.top, ui::Width(kCloseButton), ui::Height(kCloseButton),
                              IDC_CONFIG_CLOSE);
    pageDefaultButton_ =
        ui::CreateControl(pages_[0]->Handle(), L"BUTTON", L"ページデフォルト",
                          WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0, 0, kPageDefaultWidth,
                          kPageDefaultHeight, IDC_CONFIG_PAGE_DEFAULTS);
    if (!allDefaultsButton_ || !closeButton_ || !pageDefaultButton_) return false;
    MovePageDefaultButton(0);
    focus_.SetFallback(closeButton_);
    return exclusionListBox_ && customViewControl_ && soundPathBox_ && detailsControl_ && bannerControl_ &&
           modePictureControl_;
}

int TConfigWindow::ShownPage() const { return activePage_; }

void TConfigWindow::ShowPage(int page) { SetActivePage(page); }

void TConfigWindow::PagesChange() {
    const int page = static_cast<int>(::SendMessageW(pageControl_, TCM_GETCURSEL, 0, 0));
    if (page < 0 || page >= kPageCount) return;
    activePage_ = page;
    for (int i = 0; i < kPageCount; ++i)
        if (const auto& panel = pages_[static_cast<std::size_t>(i)]; panel && panel->Handle())
            ::ShowWindow(panel->Handle(), i == page ? SW_SHOW : SW_HIDE);
    // On the details page the button stays where it was, out of sight.
    if (page != kDetailsPage) MovePageDefaultButton(page);
}

void TConfigWindow::MovePageDefaultButton(int page) {
    const auto& panel = pages_[static_cast<std::size_t>(page)];
    if (!pageDefaultButton_ || !panel || !panel->Handle()) return;
    RECT area{};
    ::GetClientRect(panel->Handle(), &area);
    if (::GetParent(pageDefaultButton_) != panel->Handle()) ::SetParent(pageDefaultButton_, panel->Handle());
    ::SetWindowPos(pageDefaultButton_, HWND_TOP, area.right - kPageDefaultWidth - 8,
                   area.bottom - kPageDefaultHeight - 6, kPageDefaultWidth, kPageDefaultHeight, SWP_NOACTIVATE);
    pageDefaultButtonPage_ = page;
}

int TConfigWindow::ShowSettings() {
    if (!EnsureWindow()) return IDCANCEL;
    // Centred on the owner as it stands now.
    if (HWND owner = ::GetWindow(Handle(), GW_OWNER); owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        RECT ownerRect{}, self{};
        ::GetWindowRect(owner, &ownerRect);
        ::GetWindowRect(Handle(), &self);
        const int x = ownerRect.left + (ui::Width(ownerRect) - ui::Width(self)) / 2;
        const int y = ownerRect.top + (ui::Height(ownerRect) - ui::Height(self)) / 2;
        ::SetWindowPos(Handle(), nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const HWND previousOwner = owner_;
    owner_ = Handle();
    FormShow();
    const int result = ShowModal();
    owner_ = previousOwner;
    return result;
}

void TConfigWindow::FormShow() {
    SetActivePage(0);
    if (!exclusionList_.empty()) exclusionSelected_ = 0;
    if (!customTable_.empty() && !customView_.empty()) customSelected_ = 0;
    ShowValues();
    DrawDetails();
    DrawModeInfo();
    ShowExplorerVerb();
}

bool TConfigWindow::HandleCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    for (ui::ComboBoxEx* choice :
         {&eraseModeChoice_, &customLevelChoice_, &cacheLevelChoice_, &cookieLevelChoice_, &historyLevelChoice_}) {
        if (choice->IsSelectionChange(wParam, lParam)) {
            ChoiceChange(id);
            return true;
        }
    }
    if (id >= IDC_CONFIG_BASIC_FIRST && id < IDC_CONFIG_BASIC_FIRST + static_cast<int>(basicChecks_.size())) {
        if (code == BN_CLICKED) BasicCheckClick(id - IDC_CONFIG_BASIC_FIRST);
        return true;
    }
    if (HandleKeptSitesCommand(id, code)) return true;
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case IDC_CONFIG_CLOSE:
        if (code == BN_CLICKED) CloseClick();
        return true;
    case IDC_CONFIG_ALL_DEFAULTS:
        if (code == BN_CLICKED) AllDefaultsClick();
        return true;
    case IDC_CONFIG_PAGE_DEFAULTS:
        if (code == BN_CLICKED) PageDefaultsClick();
        return true;
    case IDC_CONFIG_EXCLUSION_ADD:
        if (code == BN_CLICKED) ExclusionAddClick();
        return true;
    case IDC_CONFIG_EXCLUSION_REMOVE:
        if (code == BN_CLICKED) ExclusionRemoveClick();
        return true;
    case IDC_CONFIG_CUSTOM_ADD:
        if (code == BN_CLICKED) CustomAddClick();
        return true;
    case IDC_CONFIG_CUSTOM_REMOVE:
        if (code == BN_CLICKED) CustomRemoveClick();
        return true;
    case IDC_CONFIG_READ_ONLY:
        if (code == BN_CLICKED && !showingValues_)
            values_.RemoveReadOnly = ::SendMessageW(readOnlyCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        return true;
    case IDC_CONFIG_SOUND:
        if (code == BN_CLICKED) SoundClick();
        return true;
    case IDC_CONFIG_SOUND_OPEN:
        if (code == BN_CLICKED) SoundOpenClick();
        return true;
    case IDC_CONFIG_BANNER:
        if (code == STN_CLICKED) BannerClick();
        return true;
    case IDC_CONFIG_EXPLORER_VERB:
        if (code == BN_CLICKED) ExplorerVerbClick();
        return true;
    case IDC_CONFIG_EXCLUSION_LIST:
        if (code == LBN_SELCHANGE && !showingValues_)
            exclusionSelected_ = static_cast<int>(::SendMessageW(exclusionListBox_, LB_GETCURSEL, 0, 0));
        return true;
    case IDC_CONFIG_EXCLUSION_BOX:
        if (code == EN_CHANGE && !showingValues_) exclusionBox_ = ui::WindowText(exclusionEdit_);
        return true;
    case IDC_CONFIG_CUSTOM_BOX:
        if (code == EN_CHANGE && !showingValues_) customBox_ = ui::WindowText(customEdit_);
        return true;
    default:
        return false;
    }
}

bool TConfigWindow::HandleNotify(const NMHDR& header, LRESULT& result) {
    result = 0;
    if (header.hwndFrom == pageControl_ && header.code == TCN_SELCHANGE) {
        PagesChange();
        return true;
    }
    if (header.code == HDN_ITEMCLICKW || header.code == HDN_ITEMCLICKA) {
        const auto& click = reinterpret_cast<const NMHEADERW&>(header);
        // Only the first section of each header sorts its list.
        if (click.iItem != 0) return true;
        if (header.idFrom == IDC_CONFIG_EXCLUSION_HEADER) {
            SortList(ExtensionList::Exclusion);
            ShowExclusionList();
        } else if (header.idFrom == IDC_CONFIG_CUSTOM_HEADER) {
            SortList(ExtensionList::Custom);
            RebuildCustomView();
        }
        return true;
    }
    if (header.hwndFrom == customViewControl_) {
        if (header.code == LVN_ITEMCHANGED) {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            // The view records the row of every change it reports.
            if (!showingValues_ && change.iItem >= 0) customSelected_ = change.iItem;
            return true;
        }
        if (header.code == NM_CLICK) {
            CustomViewClick();
            return true;
        }
    }
    return false;
}

void TConfigWindow::CustomViewClick() {
    const int selected =
        static_cast<int>(::SendMessageW(customViewControl_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (selected >= 0 || customSelected_ < 0) return;
    // A click on the empty area selects the row recorded last.
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(customViewControl_, LVM_SETITEMSTATE, static_cast<WPARAM>(customSelected_),
                   reinterpret_cast<LPARAM>(&state));
}

void TConfigWindow::CloseClick() { SetModalResult(IDOK); }

void TConfigWindow::AllDefaultsClick() {
    if (::MessageBoxW(Handle(), kAllDefaultsQuestion, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    ApplyAllDefaults();
}

void TConfigWindow::PageDefaultsClick() {
    if (::MessageBoxW(Handle(), kPageDefaultsQuestion, kQuestionCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    ApplyPageDefaults(activePage_);
}

void TConfigWindow::ExclusionAddClick() {
    AddExclusion(BoxText(IDC_CONFIG_EXCLUSION_BOX));
    ShowExclusionList();
}

void TConfigWindow::ExclusionRemoveClick() {
    RemoveEntryAt(ExtensionList::Exclusion,
                  static_cast<int>(::SendMessageW(exclusionListBox_, LB_GETCURSEL, 0, 0)));
    ShowExclusionList();
}

void TConfigWindow::CustomAddClick() { AddCustomEntry(BoxText(IDC_CONFIG_CUSTOM_BOX)); }

void TConfigWindow::CustomRemoveClick() {
    const int selected =
        static_cast<int>(::SendMessageW(customViewControl_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    RemoveEntryAt(ExtensionList::Custom, selected);
}

void TConfigWindow::SoundClick() {
    if (showingValues_) return;
    values_.Sound = ::SendMessageW(soundCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    UpdateSoundControls();
}

void TConfigWindow::SoundOpenClick() {
    const std::wstring path = ChooseWaveFile(Handle());
    if (path.empty()) return;
    values_.SoundFile = path;
    ShowValues();
}

void TConfigWindow::BannerClick() {
    if (OpenWebAddress && !ProductWebAddress().empty()) OpenWebAddress(Handle(), ProductWebAddress());
}

LRESULT TConfigWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HandleCommand(wParam, lParam)) return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
        break;
    }
    case WM_DRAWITEM:
        if (DrawModePictureItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_CONFIG_CLOSE, DC_HASDEFID);
    case WM_ACTIVATE:
        focus_.Activate(Handle(), wParam);
        if (LOWORD(wParam) != WA_INACTIVE) return 0;
        break;
    case WM_CLOSE:
        // The close box closes a modal show; the window itself lives until the program ends.
        SetModalResult(IDCANCEL);
        return 0;
    default:
        break;
    }
    return ui::Form::HandleMessage(message, wParam, lParam);
}
