#pragma once

#include <atomic>

#include "resources/ProductInfo.h"
#include "ui/Window.h"

// The main window. For now it is the empty frame that later parts fill.
class TMainWindow : public ui::Window {
public:
    static constexpr const wchar_t* kClassName = L"TMainWindow";
    static constexpr const wchar_t* kTitle = kProductTitle;

    // Makes the window, owned by `owner` (the application window), and shows it.
    bool Create(HWND owner, int showCommand);

    // Set by the Stop command; read by the engine at every progress tick.
    std::atomic<bool> AbortRequested{false};

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
