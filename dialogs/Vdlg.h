#pragma once

// The about box: logo, version, notice line and the product's web address.

#include <windows.h>

#include <functional>
#include <string>

#include "dialogs/ImageControl.h"
#include "ui/Form.h"
#include "ui/Gdi.h"

class TVerdlg : public ui::Form {
public:
    static constexpr int kClientWidth = 406;
    static constexpr int kClientHeight = 208;

    // Creates the hidden box, centred on `owner` (the main window) when it is visible.
    explicit TVerdlg(HWND owner);
    ~TVerdlg() override;

    bool Created() const { return Handle() != nullptr; }

    // Opens the web address when the link is clicked (OpenWebLink); by default the shell's "OPEN"
    // with the box as owner, no parameters, no working folder, SW_SHOWNORMAL (the result is not
    // examined).
    std::function<void(HWND owner, const std::wstring& address)> OpenWebAddress;

    HWND Frame = nullptr;
    TImageControl Logo;
    HWND Divider = nullptr;
    HWND VersionLabel = nullptr;
    HWND NoticeLabel = nullptr;
    HWND EditionLabel = nullptr;  // "32ビット版" or "64ビット版", below the version
    HWND WebLink = nullptr;
    HWND OkButton = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateControls();
    void FormCreate();
    void CloseBox();
    void OpenWebLink();
    // Sizes WebLink to its text, so the hand cursor and the click belong to the text only.
    void FitWebLink();

    ui::Font linkFont_;
};
