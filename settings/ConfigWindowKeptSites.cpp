// The group "クッキーを残すサイト" of page 追加機能の設定: the sites whose cookies the history
// tools' cookie entries keep, kept in the profile's "Savedat\keepcookie.txt" and saved with the
// extension lists. The page's defaults leave the list as it is.

#include <windows.h>

#include <algorithm>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "history/CookieKeep.h"
#include "settings/ConfigWindow.h"
#include "settings/ConfigWindowIds.h"
#include "settings/CookieSiteDialogs.h"

namespace {

constexpr wchar_t kUnreadableText[] =
    L"keepcookie.txt を読めなかったため、この一覧は変更できません (ファイルはそのまま残します)。";

std::wstring Trimmed(const std::wstring& line) {
    const std::size_t first = line.find_first_not_of(L" \t\u3000");
    if (first == std::wstring::npos) return {};
    return line.substr(first, line.find_last_not_of(L" \t\u3000") - first + 1);
}

}  // namespace

void TConfigWindow::LoadKeptCookieSites(const std::wstring& folder) {
    // After a failed save the list stays as this session has it.
    if (Unsaved(kKeepCookieFile)) return;
    const std::wstring path = folder + L"\\" + kKeepCookieFile;
    // No file: no kept sites (a list is never carried over from another profile).
    if (!FileExists(path)) {
        MarkReadable(kKeepCookieFile);
        keptCookieSites_.clear();
        return;
    }
    std::vector<std::wstring> lines;
    if (!ReadTextFile(path, lines)) {
        // Never written over with an empty list: the user's sites stay in the file.
        keptCookieSites_.clear();
        MarkUnreadable(kKeepCookieFile, path);
        return;
    }
    MarkReadable(kKeepCookieFile);
    keptCookieSites_.clear();
    for (const std::wstring& line : lines)
        if (std::wstring site = Trimmed(line); !site.empty()) keptCookieSites_.push_back(std::move(site));
}

bool TConfigWindow::AddKeptCookieSite(const std::wstring& text) {
    const std::wstring site = CookieSiteName(text);
    if (site.empty() || Unreadable(kKeepCookieFile)) return false;
    if (std::find(keptCookieSites_.begin(), keptCookieSites_.end(), site) != keptCookieSites_.end()) return false;
    keptCookieSites_.push_back(site);
    std::sort(keptCookieSites_.begin(), keptCookieSites_.end());
    return true;
}

void TConfigWindow::RemoveKeptCookieSites(std::vector<int> rows) {
    std::sort(rows.rbegin(), rows.rend());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows)
        if (row >= 0 && row < static_cast<int>(keptCookieSites_.size())) keptCookieSites_.erase(keptCookieSites_.begin() + row);
}

void TConfigWindow::CreateKeptSitesGroup(HWND page) {
    AddChild(page, L"BUTTON", L"クッキーを残すサイト", BS_GROUPBOX, 316, 6, 248, 212, IDC_CONFIG_KEPT_SITES_GROUP);
    keptSitesList_ = AddChild(page, L"LISTBOX", L"",
                              WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
                              326, 24, 130, 150, IDC_CONFIG_KEPT_SITES, WS_EX_CLIENTEDGE);
    AddChild(page, L"BUTTON", L"追加...", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 464, 24, 90, 25,
             IDC_CONFIG_KEPT_SITE_ADD);
    AddChild(page, L"BUTTON", L"削除", BS_PUSHBUTTON | WS_TABSTOP, 464, 54, 90, 25, IDC_CONFIG_KEPT_SITE_REMOVE);
    keptSitesProblem_ = AddChild(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 464, 86, 92, 88,
                                 IDC_CONFIG_KEPT_SITES_PROBLEM);
    AddChild(page, L"BUTTON", L"使用中のサイトから選ぶ...", BS_PUSHBUTTON | WS_TABSTOP, 326, 182, 228, 25,
             IDC_CONFIG_KEPT_SITE_PICK);
}

void TConfigWindow::ShowKeptCookieSites() {
    if (!keptSitesList_ || !Handle()) return;
    const bool unreadable = Unreadable(kKeepCookieFile);
    ::SendMessageW(keptSitesList_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(keptSitesList_, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& site : keptCookieSites_)
        ::SendMessageW(keptSitesList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(site.c_str()));
    ::SendMessageW(keptSitesList_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(keptSitesList_, nullptr, TRUE);
    const std::wstring problem = unreadable ? kUnreadableText : L"";
    if (ui::WindowText(keptSitesProblem_) != problem) ::SetWindowTextW(keptSitesProblem_, problem.c_str());
    for (int id : {IDC_CONFIG_KEPT_SITES, IDC_CONFIG_KEPT_SITE_ADD, IDC_CONFIG_KEPT_SITE_REMOVE, IDC_CONFIG_KEPT_SITE_PICK})
        ::EnableWindow(Control(id), !unreadable);
}

void TConfigWindow::KeptSiteAddClick() {
    TCookieSiteInput input;
    if (!input.Create(Handle()) || input.ShowModal() != IDOK) return;
    AddKeptCookieSite(input.Site());  // a site already listed is left as it is
    ShowKeptCookieSites();
}

void TConfigWindow::KeptSiteRemoveClick() {
    const LRESULT count = ::SendMessageW(keptSitesList_, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return;
    std::vector<int> rows(static_cast<std::size_t>(count));
    const LRESULT got = ::SendMessageW(keptSitesList_, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                       reinterpret_cast<LPARAM>(rows.data()));
    rows.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    RemoveKeptCookieSites(std::move(rows));
    ShowKeptCookieSites();
}

void TConfigWindow::KeptSitePickClick() {
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    TCookieSitePicker picker(CookieSites());
    ::SetCursor(previous);
    if (!picker.Create(Handle()) || picker.ShowModal() != IDOK) return;
    for (const std::wstring& site : picker.Chosen()) AddKeptCookieSite(site);
    ShowKeptCookieSites();
}

bool TConfigWindow::HandleKeptSitesCommand(int id, int code) {
    switch (id) {
    case IDC_CONFIG_KEPT_SITE_ADD:
        if (code == BN_CLICKED) KeptSiteAddClick();
        return true;
    case IDC_CONFIG_KEPT_SITE_REMOVE:
        if (code == BN_CLICKED) KeptSiteRemoveClick();
        return true;
    case IDC_CONFIG_KEPT_SITE_PICK:
        if (code == BN_CLICKED) KeptSitePickClick();
        return true;
    case IDC_CONFIG_KEPT_SITES:
        return true;
    default:
        return false;
    }
}
