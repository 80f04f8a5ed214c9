#pragma once

#include <windows.h>

#include "ui/Gdi.h"
#include "ui/Window.h"

// A child control that shows one picture at (0, 0), neither stretched nor sized to it. An
// opaque control fills the rest of its area with the button face colour; a transparent one
// leaves out the pixels that have the colour of the picture's lower left pixel, so the button
// face shows through there.
class TImageControl : public ui::Window {
public:
    // Creates the visible child control, above the controls already on `parent`.
    bool CreateControl(HWND parent, int x, int y, int width, int height, int id = 0);

    // Takes the picture over and shows it.
    void SetPicture(ui::Bitmap picture);
    HBITMAP Picture() const { return picture_.get(); }
    SIZE PictureSize() const;
    // Loads a bitmap resource of `module` as the picture; false (picture kept) when it is missing.
    bool LoadPicture(HMODULE module, int resourceId);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);

    // Moves the control; it stays above its siblings (a frame drawn around it included).
    void SetBounds(int x, int y, int width, int height);
    // Moves the control into another parent window, above the controls already there.
    void SetParentWindow(HWND parent);

protected:
    // Registers `className` (once) and creates the control.
    bool CreateControlOfClass(const wchar_t* className, HWND parent, int x, int y, int width, int height, int id);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc) const;

    ui::Bitmap picture_;
    bool transparent_ = false;
};
