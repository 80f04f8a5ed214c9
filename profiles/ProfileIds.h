#pragma once

// Control identifiers of the profile windows.

// The profile chooser (TNewUserWindow): 4200 to 4219.
#define IDC_NUSER_IMAGE1 4201     // 24 x 24 picture in the header
#define IDC_NUSER_IMAGE2 4202     // header band
#define IDC_NUSER_BEVEL1 4203     // line under the header
#define IDC_NUSER_BEVEL2 4204     // line above the bottom row
#define IDC_NUSER_LABEL1 4205     // "使用するユーザープロファイル:"
#define IDC_NUSER_COMBOBOX1 4206  // the profile names
#define IDC_NUSER_BUTTON1 4207    // "&Start"
#define IDC_NUSER_LABEL2 4208     // the application title, greyed

// The profile manager (TUsersWindow): 4220 to 4239.
#define IDC_USERDLG_IMAGE1 4221    // header band
#define IDC_USERDLG_USERLIST 4222  // the profiles, with tick boxes
#define IDC_USERDLG_LABEL1 4223    // "新しいユーザープロファイル名(&N)"
#define IDC_USERDLG_EDIT1 4224     // the new profile's name
#define IDC_USERDLG_BITBTN1 4225   // "ユーザーの追加"
#define IDC_USERDLG_BITBTN2 4226   // "ユーザーの削除"
#define IDC_USERDLG_BUTTON1 4227   // "&Close"
#define IDC_USERDLG_LABEL2 4228    // the application title, greyed
