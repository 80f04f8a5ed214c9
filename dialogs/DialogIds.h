#pragma once

// Control identifiers of the dialogs module; each window has its own range.

// The about box TVerdlg: 8200 to 8219.
#define IDC_VERDLG_FRAME 8201
#define IDC_VERDLG_LOGO 8202
#define IDC_VERDLG_DIVIDER 8203
#define IDC_VERDLG_VERSION 8204
#define IDC_VERDLG_NOTICE 8205
#define IDC_VERDLG_WEB_LINK 8206
#define IDC_VERDLG_EDITION 8207
#define IDC_VERDLG_OK IDOK

// The busy animation's timer: 8220.
#define IDT_BUSY_TIMER 8220

// The file picker's preview panel TTidemarrowOpenDialog: 8240 to 8259.
#define IDC_PICKER_PREVIEWPANEL 8241
#define IDC_PICKER_PREVIEW 8242
#define IDC_PICKER_PREVIEW_CHECK 8243
#define IDC_PICKER_PREVIEW_FRAME 8244
#define IDC_PICKER_TEXT_PREVIEW 8245
#define IDC_PICKER_SETTINGS_GROUP 8246
#define IDC_PICKER_EXCLUSION_TOGGLE 8247
#define IDC_PICKER_SETTINGS_TEXT 8248
