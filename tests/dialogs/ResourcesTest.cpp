#include <windows.h>

#include <gtest/gtest.h>

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

}  // namespace
