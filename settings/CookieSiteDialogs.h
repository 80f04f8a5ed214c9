#pragma once

// The two small windows of the group "クッキーを残すサイト" on the page 追加機能の設定: the
// input of one site, and the choice among the sites found in the browsers' cookies. Each takes
// its input and hands back its result as plain data read after the modal call.
//
//   TCookieSiteInput input;
//   if (input.Create(owner) && input.ShowModal() == IDOK) AddSite(input.Site());
//   TCookieSitePicker picker(CookieSites());
//   if (picker.Create(owner) && picker.ShowModal() == IDOK) for (auto& site : picker.Chosen()) ...

#include <windows.h>

#include <string>
#include <vector>

#include "history/CookieKeep.h"
#include "ui/Controls.h"
#include "ui/Form.h"
#include "ui/Window.h"

// Asks for one site. "OK" takes it only as a site name (`CookieSiteName`); an empty or malformed
// text is refused with a message and the window stays.
class TCookieSiteInput : public ui::Form {
public:
    static constexpr const wchar_t* kClassName = L"TCookieSiteInput";
    static constexpr const wchar_t* kCaption = L"クッキーを残すサイトの追加";
    static constexpr const wchar_t* kEmptyText = L"サイト名を入力して下さい。";
    // The refused text follows in 「」, then this.
    static constexpr const wchar_t* kMalformedText =
        L"はサイト名として使えません。\r\n空白、/、: などを含まない、example.co.jp のようなドメイン名を入力して下さい。";

    TCookieSiteInput() = default;
    ~TCookieSiteInput() override;
    bool Create(HWND owner);
    // The site taken, as the list keeps it; empty until "OK" took one.
    const std::wstring& Site() const { return site_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void TakeSite();

    HWND siteBox_ = nullptr;
    std::wstring site_;
    ui::FocusKeeper focus_;
};

// Lists the sites found, each with a tick box; "追加" hands back the ticked ones. A browser whose
// cookie database could not be read is named above the list.
class TCookieSitePicker : public ui::Form {
public:
    static constexpr const wchar_t* kClassName = L"TCookieSitePicker";
    static constexpr const wchar_t* kCaption = L"使用中のサイトから選ぶ";
    static constexpr const wchar_t* kLockedText = L": 使用中のため読めませんでした";
    static constexpr const wchar_t* kNoneText = L"クッキーのあるサイトは見つかりませんでした。";

    explicit TCookieSitePicker(CookieSiteList found) : found_(std::move(found)) {}
    ~TCookieSitePicker() override;
    bool Create(HWND owner);
    // The ticked sites, in the list's order; read after "追加".
    const std::vector<std::wstring>& Chosen() const { return chosen_; }
    // The note above the list: the browsers not read, one a line, or that none was found.
    std::wstring NoteText() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CookieSiteList found_;
    ui::CheckListView list_;
    std::vector<std::wstring> chosen_;
    ui::FocusKeeper focus_;
};
