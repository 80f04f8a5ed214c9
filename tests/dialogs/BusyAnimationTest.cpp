#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "dialogs/OsterlanActionImages.h"
#include "resources/ResourceIds.h"
#include "tests/dialogs/PixelHelpers.h"
#include "tests/dialogs/TestFrameIds.h"
#include "tests/support/Gui.h"

namespace {

// An animation on a host window that records every frame it shows.
class BusyAnimation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.Handle(), nullptr);
        ASSERT_NE(animation.Handle(), nullptr);
        animation.FrameShown = [this](int frame) { shown.push_back(frame); };
    }

    // Pumps real messages (the timer's among them) until `frames` more frames were shown.
    bool PumpFrames(std::size_t frames) {
        const std::size_t target = shown.size() + frames;
        return PumpUntil([&] { return shown.size() >= target; }, 10000);
    }

    HostWindow host;
    TOsterlanActionImage animation{host.Handle()};
    std::vector<int> shown;
};

TEST_F(BusyAnimation, StartsAsAnIdleEmptyControlOfThirtyTwoPixels) {
    RECT client{};
    ::GetClientRect(animation.Handle(), &client);
    EXPECT_EQ(client.right, 32);
    EXPECT_EQ(client.bottom, 32);
    EXPECT_EQ(::GetParent(animation.Handle()), host.Handle());
    EXPECT_FALSE(animation.Running());
    EXPECT_FALSE(animation.Timer().Enabled());
    EXPECT_EQ(animation.Timer().Interval(), 1000u);
    EXPECT_EQ(animation.List().Count(), 0);
    EXPECT_EQ(animation.FrameIndex(), 0);
    EXPECT_FALSE(animation.Transparent());
    EXPECT_EQ(animation.Picture(), nullptr);

    // Starting without frames runs the timer but shows nothing.
    animation.SetInterval(20);
    animation.Start();
    EXPECT_TRUE(animation.Running());
    EXPECT_FALSE(PumpUntil([&] { return !shown.empty(); }, 200));
    animation.Stop();
    EXPECT_TRUE(shown.empty());
}

TEST_F(BusyAnimation, LoadFramesTakesTheFiveResourcesAndShowsFrameZero) {
    animation.SetBounds(4, 4, 77, 20);
    animation.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    ASSERT_EQ(animation.List().Count(), 5);
    EXPECT_EQ(animation.List().Width(), 77);
    EXPECT_EQ(animation.List().Height(), 20);
    EXPECT_EQ(shown, std::vector<int>{0});
    EXPECT_EQ(animation.ShownFrame(), 0);
    EXPECT_EQ(animation.FrameIndex(), 1);
    EXPECT_EQ(PixelsOf(animation.Picture()), ResourcePixels(IDB_BUSY_FRAME0));
    // The control paints exactly the picture over its whole area.
    EXPECT_EQ(PaintedPixels(animation.Handle()), ResourcePixels(IDB_BUSY_FRAME0));
    RECT place{};
    ::GetWindowRect(animation.Handle(), &place);
    ::MapWindowPoints(nullptr, host.Handle(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 4);
    EXPECT_EQ(place.top, 4);
    EXPECT_EQ(place.right - place.left, 77);
    EXPECT_EQ(place.bottom - place.top, 20);
}

// What the screen shows in a window's client area.
std::vector<std::uint32_t> ScreenPixels(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    ui::WindowDC screen(nullptr);
    ui::MemoryDC dc(screen.get());
    ui::Bitmap copy(::CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
    {
        ui::ScopedSelect select(dc.get(), copy.get());
        ::BitBlt(dc.get(), 0, 0, client.right, client.bottom, screen.get(), origin.x, origin.y, SRCCOPY);
    }
    return PixelsOf(copy.get());
}

TEST_F(BusyAnimation, ShowsAboveAFrameMadeBeforeIt) {
    // The main window frames the animation with a bevel one pixel larger, made earlier. The
    // bevel clips its siblings, or its own painting would cover the picture.
    HWND panel = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 88, 28, host.Handle(), nullptr,
                                   nullptr, nullptr);
    HWND bevel = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_SUNKEN, 3, 3, 78,
                                   21, panel, nullptr, nullptr, nullptr);
    ASSERT_NE(bevel, nullptr);
    animation.SetParentWindow(panel);
    animation.SetBounds(4, 4, 77, 20);
    animation.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    EXPECT_EQ(::GetParent(animation.Handle()), panel);
    EXPECT_EQ(::GetWindow(panel, GW_CHILD), animation.Handle()) << "on top of its siblings";
    ::RedrawWindow(host.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const auto expected = ResourcePixels(IDB_BUSY_FRAME0);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixels(animation.Handle()) == expected; }, 3000))
        << "the screen shows frame 0 where the animation is";
}

TEST_F(BusyAnimation, RunningTicksShowOneTwoThreeFourZeroOneAndStopReturnsToZero) {
    animation.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    shown.clear();
    animation.SetInterval(15);
    EXPECT_EQ(animation.Timer().Interval(), 15u);
    animation.Start();
    EXPECT_TRUE(animation.Running());
    ASSERT_TRUE(PumpFrames(7));
    animation.Stop();
    const std::vector<int> ticks(shown.begin(), shown.begin() + 7);
    EXPECT_EQ(ticks, (std::vector<int>{1, 2, 3, 4, 0, 1, 2}));
    EXPECT_EQ(shown.back(), 0) << "a stop shows frame 0";
    EXPECT_FALSE(animation.Running());
    EXPECT_EQ(animation.ShownFrame(), 0);
    EXPECT_EQ(animation.FrameIndex(), 1);
    EXPECT_EQ(PixelsOf(animation.Picture()), ResourcePixels(IDB_BUSY_FRAME0));

    // Each tick showed its own resource.
    shown.clear();
    animation.Start();
    ASSERT_TRUE(PumpFrames(1));
    animation.SetRunning(false);
    EXPECT_EQ(shown.front(), 1);
    shown.clear();
    animation.FrameShown = [&](int frame) {
        shown.push_back(frame);
        EXPECT_EQ(PixelsOf(animation.Picture()), ResourcePixels(IDB_BUSY_FIRST + frame)) << "frame " << frame;
    };
    animation.Start();
    ASSERT_TRUE(PumpFrames(5));
    animation.Stop();
}

TEST_F(BusyAnimation, StartWhileRunningAndStopWhileIdleChangeNothing) {
    animation.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    animation.SetInterval(15);
    animation.Start();
    ASSERT_TRUE(PumpFrames(2));  // frames 1 and 2 shown
    animation.Start();
    EXPECT_TRUE(animation.Running());
    EXPECT_EQ(animation.ShownFrame(), 2) << "a second start does not reset the frames";
    EXPECT_EQ(animation.FrameIndex(), 3);
    animation.Stop();
    const std::size_t afterStop = shown.size();
    EXPECT_EQ(animation.ShownFrame(), 0);

    animation.Stop();
    EXPECT_EQ(shown.size(), afterStop) << "a stop on an idle animation shows nothing";
    EXPECT_FALSE(PumpUntil([&] { return shown.size() > afterStop; }, 100)) << "no ticks while idle";
}

TEST_F(BusyAnimation, AMissingFrameResourceEndsTheRunOfFrames) {
    // 7001 and 7002 exist, 7003 is missing (7004 exists but is never reached).
    animation.LoadFrames(::GetModuleHandleW(nullptr), IDB_TEST_GAP_FIRST, 5);
    ASSERT_EQ(animation.List().Count(), 2);
    EXPECT_EQ(PixelsOf(animation.Picture()), ResourcePixels(IDB_TEST_GAP_FIRST));
    shown.clear();
    animation.FrameShown = [&](int frame) {
        shown.push_back(frame);
        EXPECT_EQ(PixelsOf(animation.Picture()), ResourcePixels(IDB_TEST_GAP_FIRST + frame)) << "frame " << frame;
    };
    animation.SetInterval(15);
    animation.Start();
    ASSERT_TRUE(PumpFrames(4));
    animation.Stop();
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 4), (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(BusyAnimation, AMissingFirstResourceLoadsNoFramesAndKeepsThePicture) {
    animation.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    const HBITMAP before = animation.Picture();
    shown.clear();
    animation.LoadFrames(::GetModuleHandleW(nullptr), IDB_TEST_GAP_MISSING, 5);
    EXPECT_EQ(animation.List().Count(), 0);
    EXPECT_EQ(animation.Picture(), before);
    EXPECT_TRUE(shown.empty());
    animation.LoadFrames(IDB_BUSY_FIRST, 0);
    EXPECT_EQ(animation.List().Count(), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(BusyAnimation, AFrameOfAnotherSizeIsCutToTheFirstFramesSize) {
    animation.LoadFrames(::GetModuleHandleW(nullptr), IDB_TEST_SIZES_FIRST, 2);
    ASSERT_EQ(animation.List().Count(), 2) << "the larger bitmap is one frame, not several";
    EXPECT_EQ(animation.List().Width(), 77);
    EXPECT_EQ(animation.List().Height(), 20);

    // The second frame is the logo's upper left corner.
    std::vector<std::uint32_t> second;
    animation.FrameShown = [&](int index) {
        if (index == 1 && second.empty()) second = PixelsOf(animation.Picture());
    };
    animation.SetInterval(15);
    animation.Start();
    ASSERT_TRUE(PumpUntil([&] { return !second.empty(); }, 10000));
    animation.Stop();
    const auto logo = ResourcePixels(IDB_TEST_SIZES_SECOND);
    ASSERT_EQ(logo.size(), 185u * 61u);
    ASSERT_EQ(second.size(), 77u * 20u);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 77; ++x) ASSERT_EQ(second[y * 77 + x], logo[y * 185 + x]) << x << "," << y;
}

TEST_F(BusyAnimation, DestroyingARunningAnimationRemovesItsWindow) {
    HWND window = nullptr;
    {
        TOsterlanActionImage running(host.Handle());
        running.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
        running.SetInterval(10);
        running.Start();
        window = running.Handle();
        ASSERT_TRUE(::IsWindow(window));
    }
    EXPECT_FALSE(::IsWindow(window));
    // Whatever the gone control left in the queue is serviced without harm.
    PumpUntil([] { return false; }, 50);
}

}  // namespace
