#include <windows.h>

#include <commctrl.h>

#include <atomic>

#include "tests/engine/EngineFixture.h"
#include "tests/support/Gui.h"
#include "ui/MessagePump.h"

namespace {

constexpr UINT kStopMessage = WM_APP + 1;

// A window whose Stop message sets the abort flag, as the main window's Stop command does.
class StopWindow {
public:
    explicit StopWindow(std::atomic<bool>& flag) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TmTestStopWindow";
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"stop", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                    nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&flag));
    }
    ~StopWindow() { ::DestroyWindow(window_); }
    void PostStop() { ::PostMessageW(window_, kStopMessage, 0, 0); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kStopMessage) {
            reinterpret_cast<std::atomic<bool>*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))->store(true);
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

std::atomic<bool> g_timerAbort{false};

void CALLBACK SetAbortOnTimer(HWND, UINT, UINT_PTR, DWORD) { g_timerAbort = true; }

using OverwriteFileAbort = EngineTest;

TEST_F(OverwriteFileAbort, StopDuringALargeFileEndsTheWritingAtTheNextTickAndLeavesItUncut) {
    const std::wstring path = folder_ / L"large.bin";
    const std::string original(1 << 20, 'x');
    ASSERT_TRUE(WriteBytes(path, original));
    std::atomic<bool> abortRequested{false};
    StopWindow stop(abortRequested);
    SetEraseEnvironment({&abortRequested, ui::ProcessMessages, {}});
    ObservePasses();
    ProgressWindow display;

    stop.PostStop();  // delivered by the engine's first message servicing
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::Normal, display.Bar(), display.Label()));
    EXPECT_TRUE(abortRequested);
    EXPECT_TRUE(passes_.empty()) << "the first pass never ended";
    EXPECT_TRUE(beforeCut_.empty()) << "never cut";
    // Exactly one tick's worth of words reached the file, under its own name; the rest is as it was.
    EXPECT_EQ(ReadBytes(path), Repeat("\xFE\xFF", 150) + original.substr(300));
    EXPECT_EQ(display.BarPosition(), 100);
    EXPECT_EQ(display.LabelText(), L"100%");

    // The flag stays set until the next run clears it: every later file stops at its first tick.
    const std::wstring next = folder_ / L"next.bin";
    ASSERT_TRUE(WriteBytes(next, original));
    EXPECT_FALSE(OverwriteFile(next, EraseLevel::Speed));
    EXPECT_EQ(ReadBytes(next), std::string(300, '\0') + original.substr(300));
}

TEST_F(OverwriteFileAbort, TimerFiredDuringTheRunStopsIt) {
    const std::wstring path = folder_ / L"timed.bin";
    ASSERT_TRUE(WriteBytes(path, std::string(8 << 20, 'x')));
    g_timerAbort = false;
    SetEraseEnvironment({&g_timerAbort, ui::ProcessMessages, {}});
    std::vector<int> passesDone;
    EraseSeams seams = SteppingClockSeams();
    seams.observer = [&](const OverwriteEvent& event) {
        if (event.kind == OverwriteEvent::PassEnd) passesDone.push_back(event.passesDone);
    };
    SetEraseSeams(seams);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 1, SetAbortOnTimer);
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::High));
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(g_timerAbort);
    EXPECT_LT(passesDone.size(), 3u) << "three passes over 8 MiB take longer than one timer period";
    EXPECT_EQ(FileSizeOf(path), 8 << 20) << "left uncut under its own name";
}

}  // namespace
