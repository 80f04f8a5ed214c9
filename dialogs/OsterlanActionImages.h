#pragma once

// The busy animation: a small picture on the main window's tool panel that cycles through
// bitmap frames while an erase run is in progress.

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "dialogs/ImageControl.h"

// The animation's timer: a WM_TIMER source on the control's window that can be switched on
// and off and whose interval can change while it runs.
class TAnimationTimer {
public:
    explicit TAnimationTimer(UINT_PTR id) : id_(id) {}
    ~TAnimationTimer() { SetEnabled(false); }
    TAnimationTimer(const TAnimationTimer&) = delete;
    TAnimationTimer& operator=(const TAnimationTimer&) = delete;

    UINT Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    UINT_PTR Id() const { return id_; }
    // The window that receives the ticks; until then the timer only keeps its state.
    void Attach(HWND window);
    // An interval of 0 keeps the timer silent even while enabled.
    void SetInterval(UINT milliseconds);
    void SetEnabled(bool enabled);

private:
    void Apply();

    HWND window_ = nullptr;
    UINT_PTR id_;
    UINT interval_ = 1000;
    bool enabled_ = false;
};

// The animation's frames: an image list without masks, all frames of one size.
class TFrameList {
public:
    TFrameList() = default;
    ~TFrameList() { Clear(); }
    TFrameList(const TFrameList&) = delete;
    TFrameList& operator=(const TFrameList&) = delete;

    // Empties the list; the frame size is forgotten.
    void Clear();
    // Sets the frame size; the list must be empty.
    bool SetFrameSize(int width, int height);
    // Appends a 24-bit bitmap of the frame size; false when the list refused it.
    bool Add(HBITMAP frame);
    // Draws frame `index` at (x, y).
    bool Draw(int index, HDC dc, int x, int y) const;

    int Count() const { return list_ ? ::ImageList_GetImageCount(list_) : 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    HIMAGELIST Handle() const { return list_; }

private:
    HIMAGELIST list_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

class TOsterlanActionImage : public TImageControl {
public:
    // Creates the control (32 x 32, opaque, at the owner's top left), the timer (off, 1000 ms)
    // and the empty frame list. The owner sets the final bounds (SetBounds).
    explicit TOsterlanActionImage(HWND owner);
    ~TOsterlanActionImage() override;

    void SetInterval(UINT milliseconds);
    // Replaces the frames by the bitmap resources from `firstId` on, of the program's module
    // or of `module`, and shows frame 0. A resource that cannot be loaded is skipped and the
    // same identifier is tried again, so the frames are the unbroken run of resources from
    // `firstId`, at most `count` of them.
    void LoadFrames(int firstId, int count);
    void LoadFrames(HMODULE module, int firstId, int count);

    bool Running() const { return timer_.Enabled(); }
    // Switches the timer; switching it off shows frame 0 again.
    void SetRunning(bool on);
    void Start();
    void Stop();

    const TAnimationTimer& Timer() const { return timer_; }
    const TFrameList& List() const { return list_; }
    // The frame the next tick shows.
    int FrameIndex() const { return frameIndex_; }
    // The frame shown last; -1 before any.
    int ShownFrame() const { return shownFrame_; }

    // Told the index of every frame shown (after a tick, a load or a stop).
    std::function<void(int frame)> FrameShown;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // With reset: frame 0, and the next tick shows frame 1. Otherwise the frame of the tick.
    void ShowFrame(bool reset);
    bool ShowFrameAt(int index);

    TAnimationTimer timer_;
    TFrameList list_;
    int frameIndex_ = 0;
    int shownFrame_ = -1;
};
