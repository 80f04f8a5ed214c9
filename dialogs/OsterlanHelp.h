#pragma once

// Opens the program's compiled HTML help file in the system's HTML help viewer.

#include <windows.h>

#include <string>

enum class HelpOpenResult {
    NoFile,    // the file does not exist: nothing was done
    Opened,    // the viewer showed the file's index
    NotShown,  // the viewer was asked but showed nothing (it returned no window)
    NoViewer,  // the viewer's library or its HtmlHelpW entry could not be had
};

// If `path` names an existing file, asks the HTML help viewer (HtmlHelpW of hhctrl.ocx in the
// system folder, loaded on first use) to show its index (HH_DISPLAY_INDEX, data 0) with
// `owner` as the owner window. A missing file does nothing. Nothing is thrown; the caller
// reports NoViewer and NotShown as the help opening error.
HelpOpenResult OpenHelp(const std::wstring& path, HWND owner);

// The same with another viewer library, for tests.
HelpOpenResult OpenHelpWithViewer(const std::wstring& viewerLibrary, const std::wstring& path, HWND owner);

// The full path of the system's HTML help control (the system folder and "hhctrl.ocx").
std::wstring HelpViewerLibrary();
