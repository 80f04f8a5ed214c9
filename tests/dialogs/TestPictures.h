#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" {
#include <jpeglib.h>
}

// Pictures written by code for the picker's tests: no binary file is kept in the repository.

// A JPEG of width × height whose left half is `left` and right half `right` (RGB colours).
inline std::string EncodeJpeg(int width, int height, COLORREF left, COLORREF right, int quality = 95) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::string row(static_cast<std::size_t>(width) * 3, '\0');
    for (int x = 0; x < width; ++x) {
        const COLORREF colour = x < width / 2 ? left : right;
        row[x * 3] = static_cast<char>(GetRValue(colour));
        row[x * 3 + 1] = static_cast<char>(GetGValue(colour));
        row[x * 3 + 2] = static_cast<char>(GetBValue(colour));
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row.data())};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

inline void PutLe(std::string& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit BMP file of one colour.
inline std::string MakeBmp(int width, int height, COLORREF colour) {
    const int stride = (width * 3 + 3) & ~3;
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(stride * height);
    std::string bytes = "BM";
    PutLe(bytes, 54 + pixelBytes, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 54, 4);
    PutLe(bytes, 40, 4);
    PutLe(bytes, static_cast<std::uint32_t>(width), 4);
    PutLe(bytes, static_cast<std::uint32_t>(height), 4);
    PutLe(bytes, 1, 2);
    PutLe(bytes, 24, 2);
    PutLe(bytes, 0, 4);
    PutLe(bytes, pixelBytes, 4);
    PutLe(bytes, 2835, 4);
    PutLe(bytes, 2835, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 0, 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bytes.push_back(static_cast<char>(GetBValue(colour)));
            bytes.push_back(static_cast<char>(GetGValue(colour)));
            bytes.push_back(static_cast<char>(GetRValue(colour)));
        }
        for (int pad = width * 3; pad < stride; ++pad) bytes.push_back('\0');
    }
    return bytes;
}

// An icon file of side × side pixels (32 unless given), 32 bits per pixel, fully opaque, of
// one colour.
inline std::string MakeIco(COLORREF colour, int side = 32) {
    const std::uint32_t imageBytes = 40 + side * side * 4 + side * 4;
    std::string bytes;
    PutLe(bytes, 0, 2);
    PutLe(bytes, 1, 2);
    PutLe(bytes, 1, 2);
    bytes.push_back(static_cast<char>(side));
    bytes.push_back(static_cast<char>(side));
    bytes.push_back('\0');
    bytes.push_back('\0');
    PutLe(bytes, 1, 2);
    PutLe(bytes, 32, 2);
    PutLe(bytes, imageBytes, 4);
    PutLe(bytes, 22, 4);
    PutLe(bytes, 40, 4);
    PutLe(bytes, side, 4);
    PutLe(bytes, side * 2, 4);
    PutLe(bytes, 1, 2);
    PutLe(bytes, 32, 2);
    PutLe(bytes, 0, 4);
    PutLe(bytes, side * side * 4 + side * 4, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 0, 4);
    PutLe(bytes, 0, 4);
    for (int i = 0; i < side * side; ++i) {
        bytes.push_back(static_cast<char>(GetBValue(colour)));
        bytes.push_back(static_cast<char>(GetGValue(colour)));
        bytes.push_back(static_cast<char>(GetRValue(colour)));
        bytes.push_back(static_cast<char>(0xFF));
    }
    bytes.append(side * 4, '\0');  // the AND mask: every pixel opaque
    return bytes;
}
