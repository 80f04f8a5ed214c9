#pragma once

// Identifiers of the program's resources, shared by the resource script and the code.
// Prefixes say the kind: IDI_ icons, IDB_ bitmaps. The numbers are fixed by the product.

// The program icon.
#define IDI_TIDEMARROW 100

// The busy animation's frames: five bitmaps of 77 x 20 pixels, 256 colours, from 209 on.
#define IDB_BUSY_FIRST 209
#define IDB_BUSY_FRAME0 209
#define IDB_BUSY_FRAME1 210
#define IDB_BUSY_FRAME2 211
#define IDB_BUSY_FRAME3 212
#define IDB_BUSY_FRAME4 213
#define IDB_BUSY_COUNT 5

// Background of the erase panel.
#define IDB_ERASE_PANEL 500
// Background of the settings window's details page (573 x 310).
#define IDB_DETAILS_PAGE 501
// The program logo (185 x 61); its lower left pixel's colour is drawn as transparent.
#define IDB_LOGO 502

// The main window's image lists, each a strip of 16 x 16 images, 24-bit, magenta (255, 0, 255)
// drawn as transparent; load them with ImageList_LoadImageW and that mask colour.
// The command glyphs, 17 images in the order of the commands' image indexes: add file, start,
// web site, save log, exit, stop, document (not bound), help, untick all, tick all, add folder,
// settings, clear list, history tools, user profiles, export, import.
#define IDB_ACTION_GLYPHS 600
#define IDB_ACTION_GLYPH_COUNT 17
// The erase mode icons, 4 images in the order Speed, Normal, High, Custom.
#define IDB_MODE_ICONS 601
#define IDB_MODE_ICON_COUNT 4
// The size of one image in both strips.
#define IDB_GLYPH_SIZE 16
// The strips' transparent colour, as RGB(255, 0, 255).
#define IDB_GLYPH_MASK_COLOUR 0x00FF00FF

// The file picker's extension of the open dialog: a child dialog holding the platform's
// placeholder for the standard controls (stc32) at the top; the preview panel takes the rest.
#define IDD_OPEN_PREVIEW 300
