#pragma once

#include <windows.h>

#include <string>

namespace ui {

// Base of every top-level window: one window procedure stores `this` at creation, forwards
// each message to `HandleMessage` and forgets the object at WM_NCDESTROY. Nothing thrown by a
// handler crosses the window procedure.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const noexcept { return hwnd_; }

protected:
    // Registers the class (once per class name) and creates the window.
    bool Create(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle, int x, int y,
                int width, int height, HWND parent = nullptr, HMENU menu = nullptr);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called when a handler let something escape; the message then gets its default handling.
    virtual void HandlerFailed() {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// The window's text.
std::wstring WindowText(HWND window);

// Remembers which control of a window had the keyboard focus when the window lost activation
// and gives the focus back there when it is activated again (to `fallback` when that control
// is gone or hidden).
class FocusKeeper {
public:
    void SetFallback(HWND control) { fallback_ = control; }
    // Takes the window's WM_ACTIVATE.
    void Activate(HWND window, WPARAM activation);
    void Remember(HWND window);
    void Restore();

private:
    HWND last_ = nullptr;
    HWND fallback_ = nullptr;
};

// A top-level window of the calling thread with the window class `className` and, when
// `caption` is given, that caption; with `visibleOnly` only a visible one. Null when none.
HWND FindThreadWindow(const wchar_t* className, const wchar_t* caption = nullptr, bool visibleOnly = false);

// Opens `address` in the user's browser with `owner` as the owner window. Windows that open a
// web address keep this as the default of a replaceable opener, so tests start no browser.
void ShellOpenWebAddress(HWND owner, const std::wstring& address);

inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace ui
