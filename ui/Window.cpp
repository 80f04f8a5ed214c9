#include "ui/Window.h"

#include <shellapi.h>

namespace ui {

Window::~Window() {
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

bool Window::Create(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle, int x,
                    int y, int width, int height, HWND parent, HMENU menu) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (!::GetClassInfoExW(instance, className, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        if (!::RegisterClassExW(&wc)) return false;
    }
    return ::CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, parent, menu,
                             instance, this) != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        try {
            self->HandlerFailed();
        } catch (...) {
        }
        result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void FocusKeeper::Activate(HWND window, WPARAM activation) {
    if (LOWORD(activation) == WA_INACTIVE)
        Remember(window);
    else
        Restore();
}

void FocusKeeper::Remember(HWND window) {
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(window, focus)) last_ = focus;
}

void FocusKeeper::Restore() {
    HWND target = last_ && ::IsWindow(last_) && ::IsWindowVisible(last_) ? last_ : fallback_;
    if (target) ::SetFocus(target);
}

namespace {

struct ThreadWindowSearch {
    const wchar_t* className;
    const wchar_t* caption;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<ThreadWindowSearch*>(lParam);
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    if (std::wstring(name) != search->className) return TRUE;
    if (search->visibleOnly && !::IsWindowVisible(hwnd)) return TRUE;
    if (search->caption && WindowText(hwnd) != search->caption) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

HWND FindThreadWindow(const wchar_t* className, const wchar_t* caption, bool visibleOnly) {
    ThreadWindowSearch search{className, caption, visibleOnly, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void ShellOpenWebAddress(HWND owner, const std::wstring& address) {
    ::ShellExecuteW(owner, L"OPEN", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace ui
