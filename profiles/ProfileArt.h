#pragma once

// The pictures of the profile windows, drawn with code: the white header bands with their
// type, the people picture of the chooser's header and the manager's two button glyphs.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>

namespace profiles {

// A 24-bit picture of the given size with every pixel white; null when it cannot be made.
HBITMAP MakeWhiteBitmap(int width, int height);

// A white header band of the given size with `draw` applied to it through a memory device
// context; null when it cannot be made.
HBITMAP DrawHeaderBand(int width, int height, const std::function<void(HDC)>& draw);

// The UI font's face at `points` points (96 dots per inch), regular or bold.
HFONT MakeUiFont(int points, bool bold);

// Writes `text` in black at (x, y), leaving the background as it is.
void DrawBlackText(HDC dc, HFONT font, int x, int y, const std::wstring& text);

// A 24 x 24 picture of two people on white, for the chooser's header.
HBITMAP MakeUsersPicture();

// The manager's button glyphs: a person with a green plus, and one with a red cross.
enum class Glyph { AddUser, DeleteUser };

// Appends a 16 x 16 glyph to `list` (made with ILC_COLOR24 | ILC_MASK); its index, or -1.
int AddGlyph(HIMAGELIST list, Glyph glyph);

}  // namespace profiles
