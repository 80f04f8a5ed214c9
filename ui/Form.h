#pragma once

#include <windows.h>

#include <string>

#include "ui/Window.h"

namespace ui {

// A top-level window of fixed client size with child controls in the UI font, shown
// modelessly or modally. Modal forms disable the other windows of the thread until a
// handler sets the modal result (or the form is closed, which gives IDCANCEL).
class Form : public Window {
public:
    // The result of ShowModal; 0 while the form is up.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result);

    // Shows the form and runs its own message loop until the modal result is set; the form is
    // hidden again afterwards, and the windows it disabled are enabled.
    int ShowModal();

protected:
    // Registers the class and creates the hidden form so that its client area is exactly
    // clientWidth × clientHeight; it is centred on the owner, or on the screen without one.
    bool CreateForm(const wchar_t* className, const std::wstring& caption, int clientWidth, int clientHeight,
                    DWORD style, DWORD exStyle = 0, HWND owner = nullptr);

    // Creates a child control with the form's font.
    HWND AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int x, int y, int width,
                    int height, int id, DWORD exStyle = 0);

    // Closing a modal form gives IDCANCEL; keys go through IsDialogMessage (Tab, Enter, Esc,
    // Alt + letter), so the default button and the underlined letters work.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int modalResult_ = 0;
    bool modal_ = false;
};

// Styles of a fixed-size dialog-like form: caption and close box, no resizing or maximizing.
constexpr DWORD kDialogFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kDialogFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace ui
