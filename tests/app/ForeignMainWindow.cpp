// Another program whose top-level window has the main window's class name and another caption.
// It takes every WM_COPYDATA, and its caption then says so.
#include <windows.h>

namespace {

LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        ::SetWindowTextW(window, L"Another program (handed over)");
        return TRUE;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ForeignProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TMainWindow";
    if (!::RegisterClassW(&windowClass)) return 1;
    if (!::CreateWindowW(L"TMainWindow", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 120,
                         nullptr, nullptr, instance, nullptr))
        return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}
