#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/Gdi.h"

// The pixels of a bitmap as top-down 0x00RRGGBB values; empty when it cannot be read.
inline std::vector<std::uint32_t> PixelsOf(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return {};
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
    ui::WindowDC screen(nullptr);
    if (::GetDIBits(screen.get(), bitmap, 0, info.bmHeight, pixels.data(), &request, DIB_RGB_COLORS) != info.bmHeight)
        return {};
    for (auto& pixel : pixels) pixel &= 0x00FFFFFFu;
    return pixels;
}

// The pixels of a bitmap resource of the running program.
inline std::vector<std::uint32_t> ResourcePixels(int id) {
    ui::Bitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    return PixelsOf(bitmap.get());
}

// What a window paints into its client area (through WM_PRINTCLIENT), as pixels.
inline std::vector<std::uint32_t> PaintedPixels(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    ui::WindowDC screen(nullptr);
    ui::MemoryDC dc(screen.get());
    ui::Bitmap canvas(::CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
    {
        ui::ScopedSelect select(dc.get(), canvas.get());
        ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    }
    return PixelsOf(canvas.get());
}

// A visible top-level window to put child controls on.
class HostWindow {
public:
    HostWindow(int width = 300, int height = 120) {
        window_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, width, height,
                                    nullptr, nullptr, nullptr, nullptr);
    }
    ~HostWindow() {
        if (window_) ::DestroyWindow(window_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};
