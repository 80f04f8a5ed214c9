#pragma once

// The profile chooser, shown once at every start before any settings are loaded. It lists
// the profile folders in the store's sorted order with the last one preselected, and answers
// the profile this run of the program uses. With a single profile it takes that one at its
// first paint, without waiting for the user.
//
//   TNewUserWindow chooser;                      // the profiles beside the program
//   if (chooser.Create(mainWindow)) chooser.ShowModal();
//   const std::wstring name = chooser.ChosenName();   // empty: no profile was taken
//
// A failure while the profiles are listed is reported as "Login Window error"; the window
// then offers whatever names were listed before it.

#include <windows.h>

#include <string>

#include "common/Paths.h"
#include "ui/Form.h"
#include "ui/Gdi.h"

class TNewUserWindow : public ui::Form {
public:
    static constexpr const wchar_t* kClassName = L"TNewUserWindow";
    static constexpr int kClientWidth = 507;
    static constexpr int kClientHeight = 178;
    // The header band (Header) and the picture inside it (HeaderIcon).
    static constexpr int kHeaderWidth = 509;
    static constexpr int kHeaderHeight = 69;

    // `programFolder` holds the profile root "User" (normally the program's own folder).
    explicit TNewUserWindow(std::wstring programFolder = ProgramFolder());
    ~TNewUserWindow() override;

    // Makes the hidden window, centred on `owner`, and fills it (FormCreate). False when the
    // window cannot be made.
    bool Create(HWND owner = nullptr);

    // The profile the window answers; empty until Start is taken with a profile selected.
    const std::wstring& ChosenName() const { return chosenName_; }
    // How many profiles were listed when the window was made.
    int ProfileCount() const { return profileCount_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Appends one profile name to ProfileSelector; throws when the list refuses it.
    virtual void AppendProfileName(const std::wstring& name);

private:
    bool CreateControls();
    void FormCreate();
    void FormPaint();
    void TakeProfile();
    void ProfileSelectorKeyPress(wchar_t& key);
    void DrawHeader();

    static LRESULT CALLBACK ProfileSelectorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                DWORD_PTR self);

    std::wstring programFolder_;
    std::wstring chosenName_;
    int profileCount_ = 0;

    HWND HeaderIcon = nullptr;
    HWND Header = nullptr;
    HWND HeaderLine = nullptr;
    HWND BottomLine = nullptr;
    HWND ProfileLabel = nullptr;
    HWND ProfileSelector = nullptr;
    HWND StartButton = nullptr;
    HWND TitleLabel = nullptr;
    ui::FocusKeeper focus_;

    ui::Bitmap headerIconPicture_;
    ui::Bitmap headerPicture_;
};
