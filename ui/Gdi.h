#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace ui {

// Owns one GDI object (font, bitmap, brush, pen, region) and deletes it; copying is deleted.
template <typename T>
class GdiObject {
public:
    GdiObject() noexcept = default;
    explicit GdiObject(T object) noexcept : object_(object) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) reset(std::exchange(other.object_, nullptr));
        return *this;
    }

    T get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // Gives up ownership and returns the object.
    T release() noexcept { return std::exchange(object_, nullptr); }
    void reset(T object = nullptr) noexcept {
        if (object_) ::DeleteObject(object_);
        object_ = object;
    }

private:
    T object_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;

// Selects an object into a device context for the scope, then selects the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~ScopedSelect() { ::SelectObject(dc_, previous_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A memory device context compatible with `dc`, deleted at the end of the scope.
class MemoryDC {
public:
    explicit MemoryDC(HDC dc) noexcept : dc_(::CreateCompatibleDC(dc)) {}
    ~MemoryDC() {
        if (dc_) ::DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

// A window's device context from GetDC, released at the end of the scope.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Owns an image list and destroys it; copying is deleted.
class ImageList {
public:
    ImageList() noexcept = default;
    explicit ImageList(HIMAGELIST list) noexcept : list_(list) {}
    ~ImageList() { reset(); }
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;
    HIMAGELIST get() const noexcept { return list_; }
    void reset(HIMAGELIST list = nullptr) noexcept {
        if (list_) ::ImageList_Destroy(list_);
        list_ = list;
    }

private:
    HIMAGELIST list_ = nullptr;
};

// A 24-bit DIB section of width × height, compatible with `reference` (may be null): top-down
// (the first row first) when `topDown`, bottom-up otherwise. `bits`, when given, receives its
// pixel rows. Null when it cannot be made.
HBITMAP CreateDib24(HDC reference, int width, int height, bool topDown, void** bits = nullptr);

// True when the system has a font of that face name.
bool HasFontFace(const wchar_t* face);

// The program's Japanese UI font (9 points), normal or bold; shared, never freed by callers.
HFONT UiFont(bool bold = false);

}  // namespace ui
