#include "dialogs/ImageControl.h"

#include <utility>

bool TImageControl::CreateControl(HWND parent, int x, int y, int width, int height, int id) {
    return CreateControlOfClass(L"TImage", parent, x, y, width, height, id);
}

bool TImageControl::CreateControlOfClass(const wchar_t* className, HWND parent, int x, int y, int width, int height,
                                         int id) {
    if (!parent) return false;
    if (!Create(className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, x, y, width, height, parent,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))))
        return false;
    // A new child window goes below its siblings; a picture belongs on top, like a frame's
    // contents, or a bevel made earlier would cover it.
    ::SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void TImageControl::SetPicture(ui::Bitmap picture) {
    picture_ = std::move(picture);
    if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

SIZE TImageControl::PictureSize() const {
    BITMAP info{};
    if (!picture_ || !::GetObjectW(picture_.get(), sizeof(info), &info)) return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

bool TImageControl::LoadPicture(HMODULE module, int resourceId) {
    HANDLE image = ::LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!image) return false;
    SetPicture(ui::Bitmap(static_cast<HBITMAP>(image)));
    return true;
}

void TImageControl::SetTransparent(bool transparent) {
    transparent_ = transparent;
    if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TImageControl::SetBounds(int x, int y, int width, int height) {
    if (Handle()) ::SetWindowPos(Handle(), HWND_TOP, x, y, width, height, SWP_NOACTIVATE);
}

void TImageControl::SetParentWindow(HWND parent) {
    if (!Handle() || !parent) return;
    ::SetParent(Handle(), parent);
    ::SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TImageControl::Paint(HDC dc) const {
    RECT area{};
    ::GetClientRect(Handle(), &area);
    const SIZE size = PictureSize();
    if (size.cx <= 0 || size.cy <= 0) {
        ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    // The picture and the background go to a memory bitmap first, so nothing flickers.
    ui::MemoryDC buffer(dc);
    ui::Bitmap canvas(
        ::CreateCompatibleBitmap(dc, area.right > 0 ? area.right : 1, area.bottom > 0 ? area.bottom : 1));
    if (!buffer.get() || !canvas) return;
    ui::ScopedSelect selectCanvas(buffer.get(), canvas.get());
    ::FillRect(buffer.get(), &area, ::GetSysColorBrush(COLOR_BTNFACE));
    ui::MemoryDC source(dc);
    if (source.get()) {
        ui::ScopedSelect selectPicture(source.get(), picture_.get());
        if (transparent_) {
            const COLORREF key = ::GetPixel(source.get(), 0, size.cy - 1);
            ::TransparentBlt(buffer.get(), 0, 0, size.cx, size.cy, source.get(), 0, 0, size.cx, size.cy, key);
        } else {
            ::BitBlt(buffer.get(), 0, 0, size.cx, size.cy, source.get(), 0, 0, SRCCOPY);
        }
    }
    ::BitBlt(dc, 0, 0, area.right, area.bottom, buffer.get(), 0, 0, SRCCOPY);
}

LRESULT TImageControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Handle(), &paint);
        if (dc) Paint(dc);
        ::EndPaint(Handle(), &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        return ui::Window::HandleMessage(message, wParam, lParam);
    }
}
