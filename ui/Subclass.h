#pragma once

#include <windows.h>
#include <commctrl.h>

namespace ui {

// Subclassing with the signatures of the common controls' SetWindowSubclass, DefSubclassProc
// and RemoveWindowSubclass, its chain kept in the program's own memory. Theirs is looked up in
// a window property for every message the window gets, and Wine asks its server for each of
// those: a busy window (the list during a run of thousands of files, the main window under its
// panels) then spent most of its time waiting for those answers.
//
// As there, the procedure installed last runs first, each passes a message on with
// DefSubclass, installing a procedure and identifier again only changes its data, and the
// window's own procedure comes back when the last one is removed. A window's chain ends with
// the window: its subclasses see WM_NCDESTROY and are then removed. A window is subclassed only
// from its own thread.
bool SetSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
bool RemoveSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ui
