#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Pumps the thread's messages until `condition` holds or `timeoutMs` passes; true when it held.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// A plain top-level window with a progress bar (0..100) and a label, as the erase panel has.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    HWND Window() const { return window_; }
    HWND Bar() const { return bar_; }
    HWND Label() const { return label_; }
    int BarPosition() const;
    std::wstring LabelText() const;

private:
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    HWND label_ = nullptr;
};
