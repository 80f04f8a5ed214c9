#pragma once

// Control identifiers of the diagnostics module's windows.

// The error log window (TTIDEMARROW_LOG): 6200 to 6219.
#define IDC_LOG_LOGVIEW 6201
#define IDC_LOG_SAVE 6202   // "&Save"
#define IDC_LOG_CLOSE 6203  // "&Close"
#define IDC_LOG_CLEAR 6204  // "C&lear"
#define IDC_LOG_EXIT 6205   // "&Exit TIDEMARROW "
