#pragma once

// Helpers for driving the profile windows while their modal loop runs.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Plays steps on the test's own thread from inside a modal loop: a thread timer ticks every
// few milliseconds and runs the current step; a step that answers false is tried again at
// the next tick (so it can wait for a condition), one that answers true lets the next one
// run. A step that shows a message box blocks in it; the ticks meanwhile do nothing.
class ModalScript {
public:
    explicit ModalScript(DWORD timeoutMs = 10000) : timeoutMs_(timeoutMs) {}
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // A step that may wait: it is repeated until it answers true.
    ModalScript& Until(std::function<bool()> step);
    // A step that runs once.
    ModalScript& Do(std::function<void()> action);
    // A step that waits until `window` is shown, in front and painted, and has stayed so
    // for two ticks (so that the display has taken it in before anything closes it).
    ModalScript& UntilShown(HWND window);
    // The same for a window made after the script (`window` is asked at every tick).
    ModalScript& UntilShown(std::function<HWND()> window);

    // Calls `showModal` while the steps play. When the modal call is still running at the
    // deadline the window (null: the active window) is sent WM_CLOSE. True when every step ran
    // and the deadline was not reached.
    bool Run(HWND window, const std::function<void()>& showModal);

    bool TimedOut() const { return timedOut_; }
    std::size_t StepsDone() const { return next_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Play();

    DWORD timeoutMs_;
    std::vector<std::function<bool()>> steps_;
    std::size_t next_ = 0;
    HWND window_ = nullptr;
    ULONGLONG deadline_ = 0;
    bool busy_ = false;
    bool timedOut_ = false;
};

// Watches, from a thread of its own, for any dialog box (class "#32770") of this process
// until stopped: notes its caption and dismisses it (No when it has that button, else OK).
class BoxWatch {
public:
    BoxWatch();
    ~BoxWatch();
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;
    // Stops watching; the captions of the boxes seen.
    std::vector<std::wstring> Stop();

private:
    std::atomic<bool> stop_{false};
    std::vector<std::wstring> captions_;
    std::thread watcher_;
};

// Notes, while it lives, every attempt of this thread to open a pop-up menu, and refuses it
// (the menu window is not made, so no menu loop starts).
class MenuCatcher {
public:
    MenuCatcher();
    ~MenuCatcher();
    MenuCatcher(const MenuCatcher&) = delete;
    MenuCatcher& operator=(const MenuCatcher&) = delete;
    int Attempts() const;

private:
    HHOOK hook_ = nullptr;
};

// Puts `text` on the clipboard as Unicode text; false when the clipboard cannot be had.
bool PutOnClipboard(const std::wstring& text);

