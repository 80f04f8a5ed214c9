#pragma once

// Control identifiers of the profile windows.

// The profile chooser (TNewUserWindow): 4200 to 4219.
#define IDC_NUSER_HEADER_ICON 4201    // 24 x 24 picture in the header
#define IDC_NUSER_HEADER 4202         // header band
#define IDC_NUSER_HEADER_LINE 4203    // line under the header
#define IDC_NUSER_BOTTOM_LINE 4204    // line above the bottom row
#define IDC_NUSER_PROFILE_LABEL 4205  // "使用するユーザープロファイル:"
#define IDC_NUSER_PROFILES 4206       // the profile names
#define IDC_NUSER_START 4207          // "&Start"
#define IDC_NUSER_TITLE 4208          // the application title, greyed

// The profile manager (TUsersWindow): 4220 to 4239.
#define IDC_USERDLG_HEADER 4221      // header band
#define IDC_USERDLG_USERLIST 4222    // the profiles, with tick boxes
#define IDC_USERDLG_NAME_LABEL 4223  // "新しいユーザープロファイル名(&N)"
#define IDC_USERDLG_NAME 4224        // the new profile's name
#define IDC_USERDLG_ADD 4225         // "ユーザーの追加"
#define IDC_USERDLG_DELETE 4226      // "ユーザーの削除"
#define IDC_USERDLG_CLOSE 4227       // "&Close"
#define IDC_USERDLG_TITLE 4228       // the application title, greyed
