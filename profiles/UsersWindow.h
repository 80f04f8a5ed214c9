#pragma once

// The profile manager: lists the profiles with tick boxes, creates a profile from a typed
// name and deletes the ticked ones. "DefaultUser" and the profile in use are never deleted,
// whatever the letter case of their folders' names.
// The window makes its own profile store when it is made and frees it when it goes.
//
//   TUsersWindow manager;                        // the profiles beside the program
//   if (manager.Create()) {
//       manager.SetCurrentName(profileInUse);
//       manager.ShowModal();
//   }
//
// A profile name is typed as 1 to 10 ASCII letters and digits; nothing can be pasted.

#include <windows.h>

#include <memory>
#include <string>

#include "common/Paths.h"
#include "profiles/ProfileArt.h"
#include "ui/Form.h"
#include "ui/Gdi.h"

class TTidemarrowUsers;

class TUsersWindow : public ui::Form {
public:
    static constexpr const wchar_t* kClassName = L"TUsersWindow";
    static constexpr int kClientWidth = 540;
    static constexpr int kClientHeight = 386;
    // The header band (Header).
    static constexpr int kHeaderWidth = 541;
    static constexpr int kHeaderHeight = 81;
    // The longest name NameEdit takes.
    static constexpr int kNameLimit = 10;

    // `programFolder` holds the profile root "User" (normally the program's own folder).
    explicit TUsersWindow(std::wstring programFolder = ProgramFolder());
    ~TUsersWindow() override;

    // Makes the hidden window, centred on `owner` (on the screen without one), and fills it
    // (FormCreate). False when the window cannot be made.
    bool Create(HWND owner = nullptr);

    // The profile in use, which the window never deletes and shows in its caption. Set it
    // before showing the window.
    void SetCurrentName(std::wstring name) { currentName_ = std::move(name); }
    const std::wstring& CurrentName() const { return currentName_; }

    // The row that changed last (its selection or its tick); 0 at creation.
    int LastIndex() const { return lastIndex_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateControls();
    void FormCreate();
    void FormDestroy();
    void FormShow();
    void RefreshList();
    void UserListClick();
    void UserListChange(int index);
    void NameEditKeyPress(wchar_t& key);
    void NameEditContextPopup(bool& handled);
    void AddUser();
    void DeleteTickedUsers();
    void CloseManager();

    void FixColumnWidths();
    void DrawHeader();
    void DrawGlyphButton(const DRAWITEMSTRUCT& item, int glyph) const;
    bool IsProtected(const std::wstring& name) const;
    std::wstring RowName(int row) const;
    LRESULT UserListHeaderNotify(const NMHDR& header, bool& handled) const;

    static LRESULT CALLBACK NameEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    static LRESULT CALLBACK UserListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);

    std::wstring programFolder_;
    std::wstring currentName_;
    int lastIndex_ = 0;
    std::unique_ptr<TTidemarrowUsers> Users;
    // The widths the columns keep once they are fixed: the tick box, the name, the path.
    int columnWidths_[3] = {-1, -1, -1};

    HWND Header = nullptr;
    HWND UserList = nullptr;
    HWND NameLabel = nullptr;
    HWND NameEdit = nullptr;
    HWND AddUserButton = nullptr;
    HWND DeleteUserButton = nullptr;
    HWND CloseButton = nullptr;
    HWND TitleLabel = nullptr;
    ui::FocusKeeper focus_;

    ui::ImageList Glyphs;
    ui::Bitmap headerPicture_;
};
