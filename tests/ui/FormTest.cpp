#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/Gui.h"
#include "ui/Form.h"
#include "ui/Gdi.h"
#include "ui/MessagePump.h"

namespace {

constexpr int kOkId = 101;
constexpr UINT kThrowMessage = WM_APP + 7;

class TestForm : public ui::Form {
public:
    bool Make(HWND owner = nullptr) {
        if (!CreateForm(L"TmTestForm", L"テスト", 300, 120, ui::kDialogFormStyle, ui::kDialogFormExStyle, owner))
            return false;
        OkButton = AddControl(L"BUTTON", L"&OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 10, 80, 24, kOkId);
        return OkButton != nullptr;
    }
    void Ok() { SetModalResult(IDOK); }

    HWND OkButton = nullptr;
    int failures = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND && LOWORD(wParam) == kOkId) {
            Ok();
            return 0;
        }
        if (message == kThrowMessage) throw std::runtime_error("handler failed");
        return ui::Form::HandleMessage(message, wParam, lParam);
    }
    void HandlerFailed() override { ++failures; }
};

TEST(Form, ClientAreaHasTheGivenSizeAndControlsTheUiFont) {
    TestForm form;
    ASSERT_TRUE(form.Make());
    RECT client{};
    ::GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 120);
    EXPECT_FALSE(::IsWindowVisible(form.Handle())) << "made hidden";
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(form.OkButton, WM_GETFONT, 0, 0)), ui::UiFont());
    LOGFONTW font{};
    ASSERT_TRUE(::GetObjectW(ui::UiFont(true), sizeof(font), &font));
    EXPECT_EQ(font.lfWeight, FW_BOLD);
}

// Acts from inside a modal loop: notes whether the other window is disabled, then clicks OK.
struct ModalProbe {
    static inline TestForm* form = nullptr;
    static inline HWND other = nullptr;
    static inline bool otherDisabled = false;
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        otherDisabled = !::IsWindowEnabled(other);
        ::SendMessageW(form->OkButton, BM_CLICK, 0, 0);
    }
};

TEST(Form, ShowModalDisablesTheOtherWindowsUntilAButtonSetsTheResult) {
    ProgressWindow other;
    ::ShowWindow(other.Window(), SW_SHOW);
    TestForm form;
    ASSERT_TRUE(form.Make(other.Window()));
    ModalProbe::form = &form;
    ModalProbe::other = other.Window();
    ModalProbe::otherDisabled = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, ModalProbe::Fire);
    EXPECT_EQ(form.ShowModal(), IDOK);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(ModalProbe::otherDisabled);
    EXPECT_TRUE(::IsWindowEnabled(other.Window()));
    EXPECT_FALSE(::IsWindowVisible(form.Handle()));
}

TEST(Form, ClosingAModalFormGivesCancelAndQuitEndsTheLoop) {
    TestForm form;
    ASSERT_TRUE(form.Make());
    ::PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
    EXPECT_TRUE(::IsWindow(form.Handle())) << "the form is hidden, not destroyed";

    ::PostQuitMessage(3);
    EXPECT_EQ(form.ShowModal(), IDCANCEL);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is passed on";
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(Form, NothingThrownByAHandlerLeavesTheWindowProcedure) {
    TestForm form;
    ASSERT_TRUE(form.Make());
    EXPECT_NO_THROW(::SendMessageW(form.Handle(), kThrowMessage, 0, 0));
    EXPECT_EQ(form.failures, 1);
}

TEST(MessagePump, ServicesPendingMessagesAndPassesQuitOn) {
    TestForm form;
    ASSERT_TRUE(form.Make());
    ::PostMessageW(form.Handle(), kThrowMessage, 0, 0);
    ::PostQuitMessage(5);
    ui::ProcessMessages();
    EXPECT_EQ(form.failures, 1);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

}  // namespace
