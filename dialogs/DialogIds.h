#pragma once

// Control identifiers of the dialogs module; each window has its own range.

// The about box TVerdlg: 8200 to 8219.
#define IDC_VERDLG_GROUPBOX1 8201
#define IDC_VERDLG_IMAGE2 8202
#define IDC_VERDLG_BEVEL1 8203
#define IDC_VERDLG_LABEL3 8204
#define IDC_VERDLG_LABEL2 8205
#define IDC_VERDLG_LABEL1 8206
#define IDC_VERDLG_BUTTON1 IDOK

// The busy animation's timer: 8220.
#define IDT_BUSY_TIMER 8220
