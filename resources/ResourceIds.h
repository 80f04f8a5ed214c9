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
