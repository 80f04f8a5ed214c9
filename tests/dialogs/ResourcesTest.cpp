#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resources/ProductInfo.h"
#include "resources/ResourceIds.h"
#include "tests/dialogs/PixelHelpers.h"

namespace {

// The header of a bitmap resource as it is stored.
BITMAPINFOHEADER StoredHeader(int id) {
    BITMAPINFOHEADER header{};
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!found) return header;
    HGLOBAL loaded = ::LoadResource(self, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (data && ::SizeofResource(self, found) >= sizeof(header)) std::memcpy(&header, data, sizeof(header));
    return header;
}

TEST(Pictures, TheFiveFramesAre77By20With256ColoursAndAllDiffer) {
    std::set<std::vector<std::uint32_t>> frames;
    for (int id = IDB_BUSY_FIRST; id < IDB_BUSY_FIRST + IDB_BUSY_COUNT; ++id) {
        const BITMAPINFOHEADER header = StoredHeader(id);
        EXPECT_EQ(header.biWidth, 77) << id;
        EXPECT_EQ(header.biHeight, 20) << id;
        EXPECT_EQ(header.biBitCount, 8) << id;
        EXPECT_EQ(header.biClrUsed, 256u) << id;
        const auto pixels = ResourcePixels(id);
        ASSERT_EQ(pixels.size(), 77u * 20u) << id;
        frames.insert(pixels);
    }
    EXPECT_EQ(frames.size(), 5u);
    EXPECT_EQ(StoredHeader(IDB_BUSY_FIRST + IDB_BUSY_COUNT).biSize, 0u) << "the run of frames ends at 213";
}

TEST(Pictures, LogoPanelAndDetailsBackgroundsHaveTheirSizes) {
    struct Expected {
        int id, width, height;
    };
    for (const Expected& picture :
         {Expected{IDB_LOGO, 185, 61}, Expected{IDB_DETAILS_PAGE, 573, 310}, Expected{IDB_ERASE_PANEL, 686, 370}}) {
        const BITMAPINFOHEADER header = StoredHeader(picture.id);
        EXPECT_EQ(header.biWidth, picture.width) << picture.id;
        EXPECT_EQ(header.biHeight, picture.height) << picture.id;
        EXPECT_EQ(header.biBitCount, 8) << picture.id;
    }
    // The logo's transparent colour (its lower left pixel) surrounds it: all four corners.
    const auto logo = ResourcePixels(IDB_LOGO);
    ASSERT_EQ(logo.size(), 185u * 61u);
    const std::uint32_t key = logo[60 * 185];
    EXPECT_EQ(logo[0], key);
    EXPECT_EQ(logo[184], key);
    EXPECT_EQ(logo[60 * 185 + 184], key);
}

TEST(Pictures, TheIconHasItsSmallAndLargeSizes) {
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TIDEMARROW), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        ui::Bitmap colour(info.hbmColor);
        ui::Bitmap mask(info.hbmMask);
        BITMAP bitmap{};
        ASSERT_TRUE(::GetObjectW(colour.get(), sizeof(bitmap), &bitmap));
        EXPECT_EQ(bitmap.bmWidth, size);
        ::DestroyIcon(icon);
    }
    // The icon directory stores the three sizes themselves, not one scaled.
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC group = ::FindResourceW(self, MAKEINTRESOURCEW(IDI_TIDEMARROW), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_NE(group, nullptr);
    const auto* directory = static_cast<const WORD*>(::LockResource(::LoadResource(self, group)));
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(directory[2], 3) << "images in the group";
}

TEST(Pictures, TheVersionResourceNamesTheProduct) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(self, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(self, 0, size, data.data()));
    wchar_t* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\041104B0\\ProductName",
                                 reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::wstring(value), kProductTitle);
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\041104B0\\LegalCopyright",
                                 reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::wstring(value), kProductNotice);
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\041104B0\\FileDescription",
                                 reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::wstring(value), L"ファイル抹消ユーティリティ") << "the script's UTF-8 text arrives intact";
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
}

// An image list made from one of the program's glyph strips, as the main window makes it.
HIMAGELIST LoadStrip(int id) {
    return ::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IDB_GLYPH_SIZE, 0,
                                  IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

// The 16 x 16 pixels an image list draws for one image over a plain background.
std::vector<std::uint32_t> DrawnOver(HIMAGELIST list, int index, COLORREF background) {
    ui::WindowDC screen(nullptr);
    ui::MemoryDC dc(screen.get());
    ui::Bitmap canvas(::CreateCompatibleBitmap(screen.get(), IDB_GLYPH_SIZE, IDB_GLYPH_SIZE));
    {
        ui::ScopedSelect select(dc.get(), canvas.get());
        ui::Brush brush(::CreateSolidBrush(background));
        RECT all{0, 0, IDB_GLYPH_SIZE, IDB_GLYPH_SIZE};
        ::FillRect(dc.get(), &all, brush.get());
        if (!::ImageList_Draw(list, index, dc.get(), 0, 0, ILD_TRANSPARENT)) return {};
    }
    return PixelsOf(canvas.get());
}

// A COLORREF as the 0x00RRGGBB value PixelsOf gives.
std::uint32_t AsPixel(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

struct Strip {
    int id;
    int count;
};
constexpr Strip kStrips[] = {{IDB_ACTION_GLYPHS, IDB_ACTION_GLYPH_COUNT}, {IDB_MODE_ICONS, IDB_MODE_ICON_COUNT}};

TEST(ImageLists, TheCommandGlyphsAndModeIconsLoadAsImagesOf16By16) {
    EXPECT_EQ(IDB_ACTION_GLYPH_COUNT, 17);
    EXPECT_EQ(IDB_MODE_ICON_COUNT, 4);
    for (const Strip& strip : kStrips) {
        const BITMAPINFOHEADER header = StoredHeader(strip.id);
        EXPECT_EQ(header.biWidth, 16 * strip.count) << strip.id;
        EXPECT_EQ(header.biHeight, 16) << strip.id;
        EXPECT_EQ(header.biBitCount, 24) << strip.id;
        ui::ImageList list(LoadStrip(strip.id));
        ASSERT_NE(list.get(), nullptr) << strip.id;
        EXPECT_EQ(::ImageList_GetImageCount(list.get()), strip.count) << strip.id;
        int width = 0, height = 0;
        ASSERT_TRUE(::ImageList_GetIconSize(list.get(), &width, &height));
        EXPECT_EQ(width, 16) << strip.id;
        EXPECT_EQ(height, 16) << strip.id;
    }
}

TEST(ImageLists, MagentaIsTransparentAndTheRestOfEachImageIsOpaque) {
    const COLORREF green = RGB(0, 128, 0), grey = RGB(200, 200, 200);
    for (const Strip& strip : kStrips) {
        ui::ImageList list(LoadStrip(strip.id));
        ASSERT_NE(list.get(), nullptr) << strip.id;
        for (int index = 0; index < strip.count; ++index) {
            const auto overGreen = DrawnOver(list.get(), index, green);
            const auto overGrey = DrawnOver(list.get(), index, grey);
            ASSERT_EQ(overGreen.size(), 256u) << strip.id << " image " << index;
            ASSERT_EQ(overGrey.size(), 256u) << strip.id << " image " << index;
            // The corners are magenta in the strip, so the background shows through them.
            for (std::size_t corner : {0u, 15u, 240u, 255u}) {
                EXPECT_EQ(overGreen[corner], AsPixel(green)) << strip.id << " image " << index << " pixel " << corner;
                EXPECT_EQ(overGrey[corner], AsPixel(grey)) << strip.id << " image " << index << " pixel " << corner;
            }
            // Elsewhere the picture covers the background whichever it is, and no magenta is left.
            int opaque = 0;
            for (std::size_t i = 0; i < 256; ++i) {
                const bool shows = overGreen[i] == AsPixel(green) && overGrey[i] == AsPixel(grey);
                if (!shows) {
                    ++opaque;
                    EXPECT_EQ(overGreen[i], overGrey[i]) << strip.id << " image " << index << " pixel " << i;
                }
                EXPECT_NE(overGreen[i], 0x00FF00FFu) << strip.id << " image " << index << " pixel " << i;
            }
            EXPECT_GE(opaque, 64) << strip.id << " image " << index << " draws a real picture";
            EXPECT_LE(opaque, 250) << strip.id << " image " << index << " is not a solid square";
        }
    }
}

TEST(ImageLists, EveryImageDiffersFromTheOthers) {
    std::set<std::vector<std::uint32_t>> seen;
    int drawn = 0;
    for (const Strip& strip : kStrips) {
        ui::ImageList list(LoadStrip(strip.id));
        ASSERT_NE(list.get(), nullptr) << strip.id;
        for (int index = 0; index < strip.count; ++index) {
            auto pixels = DrawnOver(list.get(), index, RGB(255, 255, 255));
            ASSERT_EQ(pixels.size(), 256u) << strip.id << " image " << index;
            EXPECT_TRUE(seen.insert(std::move(pixels)).second) << strip.id << " image " << index << " repeats another";
            ++drawn;
        }
    }
    EXPECT_EQ(drawn, 21);
}

TEST(ImageLists, TheModeLevelsColourOneTwoAndThreeBarsOfTheSameGauge) {
    // Speed, Normal and High draw the same outline of three bars, growing in strength:
    // each level colours more of the gauge than the one before; Custom is drawn otherwise.
    ui::ImageList list(LoadStrip(IDB_MODE_ICONS));
    ASSERT_NE(list.get(), nullptr);
    const std::uint32_t white = AsPixel(RGB(255, 255, 255));
    std::vector<std::vector<bool>> shapes;
    std::vector<int> coloured;
    for (int index = 0; index < IDB_MODE_ICON_COUNT; ++index) {
        const auto pixels = DrawnOver(list.get(), index, RGB(255, 255, 255));
        ASSERT_EQ(pixels.size(), 256u) << index;
        std::vector<bool> shape(256);
        int saturated = 0;
        for (std::size_t i = 0; i < 256; ++i) {
            shape[i] = pixels[i] != white;
            const int r = (pixels[i] >> 16) & 0xFF, g = (pixels[i] >> 8) & 0xFF, b = pixels[i] & 0xFF;
            if (std::max({r, g, b}) - std::min({r, g, b}) >= 80) ++saturated;
        }
        shapes.push_back(shape);
        coloured.push_back(saturated);
    }
    EXPECT_EQ(shapes[0], shapes[1]);
    EXPECT_EQ(shapes[1], shapes[2]);
    EXPECT_NE(shapes[3], shapes[0]) << "Custom has a shape of its own";
    EXPECT_LT(coloured[0], coloured[1]);
    EXPECT_LT(coloured[1], coloured[2]);
}

}  // namespace
