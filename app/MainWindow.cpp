#include "app/MainWindow.h"

bool TMainWindow::Create(HWND owner, int showCommand) {
    if (!ui::Window::Create(kClassName, kTitle, WS_OVERLAPPEDWINDOW, 0, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                            owner))
        return false;
    ::ShowWindow(Handle(), showCommand);
    ::UpdateWindow(Handle());
    return true;
}

LRESULT TMainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}
