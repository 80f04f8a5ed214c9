#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

// Pumps the thread's messages until `condition` holds or `timeoutMs` passes; true when it held.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// A plain top-level window with a progress bar (0..100) and a label, as the erase panel has.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    HWND Window() const { return window_; }
    HWND Bar() const { return bar_; }
    HWND Label() const { return label_; }
    int BarPosition() const;
    std::wstring LabelText() const;

private:
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    HWND label_ = nullptr;
};

// Watches, from a thread of its own, for a dialog box (window class "#32770", such as a
// message box) of this process whose caption is `caption`; when one shows, it records the
// texts of its static controls and presses the button `buttonId` (IDOK, IDYES, ...).
// Start it before the call that shows the box; the box runs its own modal loop meanwhile.
// With `processId` it watches that process's boxes instead.
class DialogAnswerer {
public:
    DialogAnswerer(std::wstring caption, int buttonId, DWORD timeoutMs = 10000, DWORD processId = 0);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // Waits for the watcher to finish; true when a box was found and answered.
    bool Wait();
    // The texts of the box's static controls, joined by "\n" (after Wait).
    std::wstring Text();
private:
    struct State;
    std::unique_ptr<State> state_;
};

// Finds a visible dialog box (window class "#32770") of this process for which `match` holds;
// null when none.
HWND FindOwnDialog(const std::function<bool(HWND)>& match);

// Finds a visible top-level window of this process by class and caption; null when none.
HWND FindOwnWindow(const wchar_t* className, const wchar_t* caption);

// Watches, from a thread of its own, for a file dialog (open or save) of this process. When
// one shows it records the file name the dialog proposes and the text of its file-type box,
// types `fileName` into it and presses OK. When `overwriteAnswer` is not 0, it then waits for
// the box asking to replace an existing file and presses that button (IDYES, IDNO) on it.
class FileDialogAnswerer {
public:
    explicit FileDialogAnswerer(std::wstring fileName, int overwriteAnswer = 0, DWORD timeoutMs = 15000);
    ~FileDialogAnswerer();
    FileDialogAnswerer(const FileDialogAnswerer&) = delete;
    FileDialogAnswerer& operator=(const FileDialogAnswerer&) = delete;

    // Waits for the watcher; true when a dialog was answered (and the replace box, when one
    // was expected).
    bool Wait();
    std::wstring ProposedName();
    std::wstring FileTypeText();
    bool OverwriteAsked();

private:
    struct State;
    std::unique_ptr<State> state_;
};
