#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Subclass.h"

namespace {

// What the procedures saw of the test's message, in order, and of the window's end.
std::vector<std::wstring> seen;
constexpr UINT kProbe = WM_APP + 7;

// Notes the message under its data's name and passes it on, adding its name's length to the
// answer; the one named "drop" removes itself while it runs.
LRESULT CALLBACK Note(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    const std::wstring name = reinterpret_cast<const wchar_t*>(data);
    if (message == WM_NCDESTROY) seen.push_back(name + L":end");
    if (message != kProbe) return ui::DefSubclass(window, message, wParam, lParam);
    seen.push_back(name);
    if (name == L"drop") ui::RemoveSubclass(window, Note, id);
    return ui::DefSubclass(window, message, wParam, lParam) + static_cast<LRESULT>(name.size());
}

LRESULT CALLBACK Original(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kProbe) return ::DefWindowProcW(window, message, wParam, lParam);
    seen.push_back(L"original");
    return 1000;
}

// The common controls' own subclassing, put over the chain by somebody else.
LRESULT CALLBACK Foreign(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == kProbe) seen.push_back(L"foreign");
    return ::DefSubclassProc(window, message, wParam, lParam);
}

std::vector<std::wstring> Probe(HWND window, LRESULT expected) {
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), expected);
    return seen;
}

}  // namespace

TEST(Subclass, TheLastInstalledRunsFirstEachPassesOnAndTheWindowGetsItsOwnProcedureBack) {
    const WNDCLASSW wc{0, Original, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"Probed"};
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, L"Probed", L"", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const auto original = ::GetWindowLongPtrW(window, GWLP_WNDPROC);
    ASSERT_TRUE(ui::SetSubclass(window, Note, 1, DWORD_PTR(L"first")));
    ASSERT_TRUE(ui::SetSubclass(window, Note, 2, DWORD_PTR(L"drop")));
    ASSERT_TRUE(ui::SetSubclass(window, Note, 3, DWORD_PTR(L"last")));
    using Lines = std::vector<std::wstring>;
    EXPECT_EQ(Probe(window, 1000 + 5 + 4 + 4), (Lines{L"last", L"drop", L"first", L"original"}));
    // "drop" removed itself while its message ran; the same procedure and identifier again
    // change only the data.
    ASSERT_TRUE(ui::SetSubclass(window, Note, 3, DWORD_PTR(L"again")));
    EXPECT_EQ(Probe(window, 1000 + 5 + 5), (Lines{L"again", L"first", L"original"}));

    // Somebody else's subclass over the chain keeps working when the chain empties under it.
    ASSERT_TRUE(::SetWindowSubclass(window, Foreign, 1, 0));
    EXPECT_EQ(Probe(window, 1000 + 5 + 5), (Lines{L"foreign", L"again", L"first", L"original"}));
    EXPECT_TRUE(ui::RemoveSubclass(window, Note, 3));
    EXPECT_TRUE(ui::RemoveSubclass(window, Note, 1));
    EXPECT_FALSE(ui::RemoveSubclass(window, Note, 2));
    EXPECT_EQ(Probe(window, 1000), (Lines{L"foreign", L"original"}));
    ::RemoveWindowSubclass(window, Foreign, 1);
    EXPECT_EQ(Probe(window, 1000), Lines{L"original"});
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_WNDPROC), original);

    // The chain sees the window's end and goes with it.
    ASSERT_TRUE(ui::SetSubclass(window, Note, 1, DWORD_PTR(L"first")));
    seen.clear();
    ::DestroyWindow(window);
    EXPECT_EQ(seen, Lines{L"first:end"});
    EXPECT_FALSE(ui::RemoveSubclass(window, Note, 1));
}
