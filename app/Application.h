#pragma once

// The application object: the hidden top-level window that carries the taskbar button and
// owns the main window, the program's title and icon, the message loop, and termination.

#include <windows.h>

#include <memory>
#include <string>

#include "ui/Window.h"

class TConfigWindow;

class TApplication : public ui::Window {
public:
    static constexpr const wchar_t* kClassName = L"TApplication";

    TApplication();
    ~TApplication() override;

    // Initialises COM and the common controls and makes the application window. False when the
    // window cannot be made.
    bool Initialize();

    const std::wstring& Title() const { return title_; }
    // The title of the application window (and so of the taskbar button).
    void SetTitle(const std::wstring& title);
    // The application's icon, also the icon of windows that have none of their own.
    void SetIcon(HICON icon);
    HICON Icon() const { return icon_; }

    // Shows or hides the application window, and with it the program's taskbar button.
    void ShowTaskbarButton(bool shown);

    // The main window, which the application window's Close closes.
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    HWND MainWindow() const { return mainWindow_; }

    // The program minimizes as one: the application window (the taskbar button) is minimized
    // and the main window hides with it, whichever way the minimize came (the main window's
    // caption or system menu, the taskbar button, minimize-all). Restoring shows the main
    // window again as it was before.
    void Minimize();
    void Restore();
    bool Minimized() const;

    // The program's single settings object, which the application owns from start-up to the
    // end: made (replacing any earlier one) and freed here; freeing it saves the settings.
    TConfigWindow& CreateConfigWindow();
    void FreeConfigWindow();
    TConfigWindow* Config() const { return config_.get(); }

    // Runs the message loop until the program is told to end; gives the exit code.
    int Run();
    // Ends the message loop after the current message.
    void Terminate();
    bool Terminated() const { return terminated_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::wstring title_;
    HICON icon_ = nullptr;
    HWND mainWindow_ = nullptr;
    // The main window was hidden because the application window was minimized.
    bool mainHidden_ = false;
    // Hides or shows the main window after the application window's state.
    void FollowWindowState();
    std::unique_ptr<TConfigWindow> config_;
    bool terminated_ = false;
    bool comInitialized_ = false;
};

// The program's application object.
TApplication& Application();
