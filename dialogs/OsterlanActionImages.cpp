#include "dialogs/OsterlanActionImages.h"

#include "dialogs/DialogIds.h"

namespace {

// A top-down 24-bit DIB section of the given size, filled black.
ui::Bitmap MakeFrameBitmap(HDC reference, int width, int height) {
    return ui::Bitmap(ui::CreateDib24(reference, width, height, true));
}

}  // namespace

// --- TAnimationTimer ---------------------------------------------------------------------

void TAnimationTimer::Attach(HWND window) {
    window_ = window;
    Apply();
}

void TAnimationTimer::SetInterval(UINT milliseconds) {
    if (interval_ == milliseconds) return;
    interval_ = milliseconds;
    Apply();
}

void TAnimationTimer::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Apply();
}

void TAnimationTimer::Apply() {
    if (!window_) return;
    ::KillTimer(window_, id_);
    if (enabled_ && interval_ > 0) ::SetTimer(window_, id_, interval_, nullptr);
}

// --- TFrameList --------------------------------------------------------------------------

void TFrameList::Clear() {
    if (list_) ::ImageList_Destroy(list_);
    list_ = nullptr;
    width_ = 0;
    height_ = 0;
}

bool TFrameList::SetFrameSize(int width, int height) {
    if (list_ || width <= 0 || height <= 0) return false;
    list_ = ::ImageList_Create(width, height, ILC_COLOR24, 5, 5);
    if (!list_) return false;
    width_ = width;
    height_ = height;
    return true;
}

bool TFrameList::Add(HBITMAP frame) {
    return list_ && ::ImageList_Add(list_, frame, nullptr) >= 0;
}

bool TFrameList::Draw(int index, HDC dc, int x, int y) const {
    return list_ && index >= 0 && index < Count() && ::ImageList_Draw(list_, index, dc, x, y, ILD_NORMAL);
}

// --- TOsterlanActionImage ----------------------------------------------------------------

TOsterlanActionImage::TOsterlanActionImage(HWND owner) : timer_(IDT_BUSY_TIMER) {
    CreateControlOfClass(L"TOsterlanActionImage", owner, 0, 0, 32, 32, 0);
    SetTransparent(false);
    timer_.Attach(Handle());
}

TOsterlanActionImage::~TOsterlanActionImage() {
    if (timer_.Enabled()) timer_.SetEnabled(false);
    list_.Clear();
}

void TOsterlanActionImage::SetInterval(UINT milliseconds) {
    timer_.SetInterval(milliseconds);
}

void TOsterlanActionImage::LoadFrames(int firstId, int count) {
    LoadFrames(::GetModuleHandleW(nullptr), firstId, count);
}

void TOsterlanActionImage::LoadFrames(HMODULE module, int firstId, int count) {
    list_.Clear();
    ui::WindowDC screen(nullptr);
    ui::MemoryDC work(screen.get());
    ui::MemoryDC source(screen.get());
    bool failed = !work.get() || !source.get();
    int id = firstId;
    for (int attempt = 0; attempt < count && !failed; ++attempt) {
        ui::Bitmap loaded(static_cast<HBITMAP>(
            ::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        // A missing resource is passed over; the next attempt tries the same identifier.
        if (!loaded) continue;
        BITMAP info{};
        if (!::GetObjectW(loaded.get(), sizeof(info), &info)) {
            failed = true;
            break;
        }
        if (list_.Count() == 0 && list_.Width() == 0 && !list_.SetFrameSize(info.bmWidth, info.bmHeight)) {
            failed = true;
            break;
        }
        // Each frame goes through a 24-bit work bitmap of the frame size on black, so a
        // resource of another size is cut or padded instead of splitting into several frames.
        ui::Bitmap frame = MakeFrameBitmap(screen.get(), list_.Width(), list_.Height());
        if (!frame) {
            failed = true;
            break;
        }
        {
            ui::ScopedSelect selectFrame(work.get(), frame.get());
            ui::ScopedSelect selectLoaded(source.get(), loaded.get());
            ::PatBlt(work.get(), 0, 0, list_.Width(), list_.Height(), BLACKNESS);
            ::BitBlt(work.get(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
        }
        if (!list_.Add(frame.get())) {
            failed = true;
            break;
        }
        ++id;
    }
    if (failed) {
        list_.Clear();
        return;
    }
    ShowFrame(true);
}

void TOsterlanActionImage::SetRunning(bool on) {
    timer_.SetEnabled(on);
    if (!on) ShowFrame(true);
}

void TOsterlanActionImage::Start() {
    if (!Running()) SetRunning(true);
}

void TOsterlanActionImage::Stop() {
    if (Running()) SetRunning(false);
}

void TOsterlanActionImage::ShowFrame(bool reset) {
    const int count = list_.Count();
    if (count == 0) return;
    if (reset) {
        ShowFrameAt(0);
        frameIndex_ = 1;
        return;
    }
    if (frameIndex_ >= count) frameIndex_ = 0;
    ShowFrameAt(frameIndex_);
    ++frameIndex_;
    if (frameIndex_ >= count) frameIndex_ = 0;
}

bool TOsterlanActionImage::ShowFrameAt(int index) {
    ui::WindowDC screen(nullptr);
    ui::Bitmap picture = MakeFrameBitmap(screen.get(), list_.Width(), list_.Height());
    ui::MemoryDC dc(screen.get());
    if (!picture || !dc.get()) return false;
    {
        ui::ScopedSelect select(dc.get(), picture.get());
        if (!list_.Draw(index, dc.get(), 0, 0)) return false;
    }
    SetPicture(std::move(picture));
    shownFrame_ = index;
    if (FrameShown) FrameShown(index);
    return true;
}

LRESULT TOsterlanActionImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == timer_.Id()) {
        if (timer_.Enabled()) ShowFrame(false);
        return 0;
    }
    return TImageControl::HandleMessage(message, wParam, lParam);
}
