#include <windows.h>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "tests/support/Gui.h"
#include "ui/Window.h"

namespace {

TEST(Application, MakesAHiddenTitledWindowThatCarriesTheTaskbarButton) {
    TApplication application;
    application.SetTitle(L"TIDEMARROW32 SE");
    ASSERT_TRUE(application.Initialize());
    HWND window = application.Handle();
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"TApplication");
    EXPECT_EQ(ui::WindowText(window), L"TIDEMARROW32 SE");
    RECT frame{};
    ::GetWindowRect(window, &frame);
    EXPECT_EQ(ui::Width(frame), 0);
    EXPECT_EQ(ui::Height(frame), 0);

    application.SetTitle(L"other");
    EXPECT_EQ(ui::WindowText(window), L"other");
    HICON icon = ::LoadIconW(nullptr, IDI_WARNING);
    application.SetIcon(icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_BIG, 0)), icon);
}

// Terminates the application from inside its loop, as the error report's Exit button does.
struct Stopper {
    static inline TApplication* application = nullptr;
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        application->Terminate();
    }
};

TEST(Application, TerminateEndsTheLoopAfterTheCurrentMessage) {
    TApplication application;
    ASSERT_TRUE(application.Initialize());
    Stopper::application = &application;
    ::SetTimer(nullptr, 0, 20, Stopper::Fire);
    EXPECT_EQ(application.Run(), 0);
    EXPECT_TRUE(application.Terminated());
}

TEST(Application, CloseOnTheTaskbarButtonClosesTheMainWindow) {
    TApplication application;
    ASSERT_TRUE(application.Initialize());
    ProgressWindow main;  // stands in for the main window
    application.SetMainWindow(main.Window());
    ::PostMessageW(application.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(main.Window()); }, 3000))
        << "the main window receives the close";
    EXPECT_FALSE(application.Terminated());

    application.SetMainWindow(nullptr);
    ::SendMessageW(application.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(application.Terminated()) << "with no main window the application ends";
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
