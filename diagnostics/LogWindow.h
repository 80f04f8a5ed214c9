#pragma once

// The error log window: the single modeless window that collects the report blocks of
// assertion failures (ErrorFunc.h writes them). It is made at the first reported failure,
// lives hidden or visible until the application frees it, and keeps its text while hidden.
// Other windows find it by its window class "TTIDEMARROW_LOG" and caption "ErrorLog".

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/Window.h"

class TTIDEMARROW_LOG : public ui::Window {
public:
    static constexpr const wchar_t* kClassName = L"TTIDEMARROW_LOG";
    static constexpr const wchar_t* kCaption = L"ErrorLog";
    static constexpr int kClientWidth = 573;
    static constexpr int kClientHeight = 281;
    // How many characters LogView holds before an added line no longer fits and the box is
    // emptied.
    static constexpr int kDefaultTextLimit = 1 << 18;

    TTIDEMARROW_LOG();
    ~TTIDEMARROW_LOG() override;

    // Makes the window and its controls, hidden. False when the window cannot be made.
    bool Create();

    // Adds one line at the end of LogView. When it does not fit (the box is full), LogView is
    // emptied instead and the line is dropped.
    void AppendLine(const std::wstring& text);
    // The lines LogView holds, in order.
    std::vector<std::wstring> Lines() const;
    // Shows or hides the forced-exit button (ExitButton).
    void ShowExitButton(bool show);
    // Changes how many characters LogView holds.
    void SetTextLimit(int characters);
    // Writes the lines of LogView to `path` as a text file (code page 932, CR LF). False when
    // the file cannot be written completely.
    bool SaveLogTo(const std::wstring& path) const;

    // Handles a keyboard message meant for this window (Tab between the buttons, Enter for
    // the default button, Alt + the underlined letters), as a dialog does; false when the
    // message is not for this window. The application's message loops call it.
    bool HandleDialogKey(MSG& msg);

    void FormCreate();
    void FormShow();
    void SaveLog();      // Save
    void HideLog();      // Close: hides, the text stays
    void ClearLog();     // Clear
    void ExitProgram();  // Exit: ends the program's message loop at once

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Resources;

    void CreateControls();
    void Paint(HDC dc);

    std::unique_ptr<Resources> resources_;
    HWND LogView = nullptr;
    HWND SaveButton = nullptr;
    HWND CloseButton = nullptr;
    HWND ClearButton = nullptr;
    HWND ExitButton = nullptr;
    ui::FocusKeeper focus_;
};

// The single error log window, or null when none exists.
TTIDEMARROW_LOG* ErrorLogWindow();
// The single error log window, made (hidden) when none exists; null when it cannot be made.
TTIDEMARROW_LOG* ObtainErrorLogWindow();
// The window that owns the error log window made from now on (the application window, so
// that the log has no taskbar button of its own); none when it is null or gone.
void SetErrorLogOwner(HWND owner);
HWND ErrorLogOwner();
// Closes and frees the error log window, if there is one (the main window does this when it
// closes).
void FreeErrorLogWindow();
// Asks where to save a text file (the save dialog with the one filter "テキストファイル", an
// overwrite prompt and no extension added), proposing `proposedName`; empty when cancelled.
std::wstring AskTextFileToSave(HWND owner, const std::wstring& proposedName);
// Tells the user that a text file could not be saved to `path`, with the system's reason for
// `error` (the last error of the failed write), in a box owned by `owner`.
void ShowSaveFailure(HWND owner, const std::wstring& path, DWORD error);
// Hands a message of the application's loop to the error log window's keyboard handling;
// true when it was handled there and must not be dispatched again.
bool IsErrorLogMessage(MSG& msg);
