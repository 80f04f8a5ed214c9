#include "profiles/ProfileArt.h"

#include <cstring>

#include "ui/Gdi.h"

namespace profiles {

namespace {

// The colour the glyphs are drawn on, left out when they are shown.
constexpr COLORREF kMaskColour = RGB(255, 0, 255);

struct PersonColours {
    COLORREF body;
    COLORREF outline;
};

void FillWith(HDC dc, const RECT& area, COLORREF colour) {
    ui::Brush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &area, brush.get());
}

// A head and shoulders inside `box` (the head takes the upper half, the shoulders the rest).
void DrawPerson(HDC dc, const RECT& box, const PersonColours& colours) {
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    ui::Pen pen(::CreatePen(PS_SOLID, 1, colours.outline));
    ui::Brush skin(::CreateSolidBrush(RGB(252, 214, 176)));
    ui::Brush body(::CreateSolidBrush(colours.body));
    ui::ScopedSelect selectPen(dc, pen.get());
    {
        ui::ScopedSelect selectBrush(dc, body.get());
        const int round = width / 2;
        ::RoundRect(dc, box.left, box.top + height * 9 / 16, box.right, box.bottom + round / 2, round, round);
    }
    {
        ui::ScopedSelect selectBrush(dc, skin.get());
        const int head = width * 5 / 8;
        const int left = box.left + (width - head) / 2;
        ::Ellipse(dc, left, box.top, left + head, box.top + head);
    }
}

// A round badge with a white plus or cross, in the lower right corner of a 16 x 16 glyph.
void DrawBadge(HDC dc, Glyph glyph) {
    const COLORREF fill = glyph == Glyph::AddUser ? RGB(40, 160, 60) : RGB(210, 40, 40);
    const COLORREF rim = glyph == Glyph::AddUser ? RGB(20, 100, 30) : RGB(140, 20, 20);
    ui::Pen pen(::CreatePen(PS_SOLID, 1, rim));
    ui::Brush brush(::CreateSolidBrush(fill));
    {
        ui::ScopedSelect selectPen(dc, pen.get());
        ui::ScopedSelect selectBrush(dc, brush.get());
        ::Ellipse(dc, 7, 7, 16, 16);
    }
    ui::Pen white(::CreatePen(PS_SOLID, 2, RGB(255, 255, 255)));
    ui::ScopedSelect selectWhite(dc, white.get());
    if (glyph == Glyph::AddUser) {
        ::MoveToEx(dc, 11, 9, nullptr);
        ::LineTo(dc, 11, 14);
        ::MoveToEx(dc, 9, 11, nullptr);
        ::LineTo(dc, 14, 11);
    } else {
        ::MoveToEx(dc, 9, 9, nullptr);
        ::LineTo(dc, 13, 13);
        ::MoveToEx(dc, 13, 9, nullptr);
        ::LineTo(dc, 9, 13);
    }
}

}  // namespace

HBITMAP MakeWhiteBitmap(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = ui::CreateDib24(nullptr, width, height, false, &bits);
    if (!bitmap || !bits) {
        if (bitmap) ::DeleteObject(bitmap);
        return nullptr;
    }
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::memset(bits, 0xFF, stride * static_cast<std::size_t>(height));
    ::GdiFlush();
    return bitmap;
}

HBITMAP DrawHeaderBand(int width, int height, const std::function<void(HDC)>& draw) {
    ui::Bitmap band(MakeWhiteBitmap(width, height));
    if (!band) return nullptr;
    {
        ui::WindowDC screen(nullptr);
        ui::MemoryDC memory(screen.get());
        if (!memory.get()) return nullptr;
        ui::ScopedSelect select(memory.get(), band.get());
        draw(memory.get());
    }
    ::GdiFlush();
    return band.release();
}

HFONT MakeUiFont(int points, bool bold) {
    LOGFONTW font{};
    if (!::GetObjectW(ui::UiFont(bold), sizeof(font), &font)) {
        font.lfCharSet = SHIFTJIS_CHARSET;
        font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    }
    font.lfHeight = -::MulDiv(points, 96, 72);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}

void DrawBlackText(HDC dc, HFONT font, int x, int y, const std::wstring& text) {
    ui::ScopedSelect select(dc, font);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, RGB(0, 0, 0));
    ::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
}

HBITMAP MakeUsersPicture() {
    HBITMAP picture = MakeWhiteBitmap(24, 24);
    if (!picture) return nullptr;
    ui::WindowDC screen(nullptr);
    ui::MemoryDC memory(screen.get());
    if (!memory.get()) {
        ::DeleteObject(picture);
        return nullptr;
    }
    {
        ui::ScopedSelect select(memory.get(), picture);
        // Clipped to the picture, so the shoulders end at its lower edge.
        ui::GdiObject<HRGN> clip(::CreateRectRgn(0, 0, 24, 24));
        ::SelectClipRgn(memory.get(), clip.get());
        DrawPerson(memory.get(), RECT{10, 1, 23, 21}, {RGB(120, 150, 200), RGB(60, 80, 120)});
        DrawPerson(memory.get(), RECT{1, 5, 16, 27}, {RGB(40, 100, 200), RGB(20, 50, 120)});
        ::SelectClipRgn(memory.get(), nullptr);
    }
    ::GdiFlush();
    return picture;
}

int AddGlyph(HIMAGELIST list, Glyph glyph) {
    if (!list) return -1;
    ui::WindowDC screen(nullptr);
    ui::Bitmap bitmap(::CreateCompatibleBitmap(screen.get(), 16, 16));
    ui::MemoryDC memory(screen.get());
    if (!bitmap || !memory.get()) return -1;
    {
        ui::ScopedSelect select(memory.get(), bitmap.get());
        FillWith(memory.get(), RECT{0, 0, 16, 16}, kMaskColour);
        ui::GdiObject<HRGN> clip(::CreateRectRgn(0, 0, 16, 16));
        ::SelectClipRgn(memory.get(), clip.get());
        DrawPerson(memory.get(), RECT{0, 0, 11, 17}, {RGB(40, 100, 200), RGB(20, 50, 120)});
        ::SelectClipRgn(memory.get(), nullptr);
        DrawBadge(memory.get(), glyph);
    }
    return ::ImageList_AddMasked(list, bitmap.get(), kMaskColour);
}

}  // namespace profiles
