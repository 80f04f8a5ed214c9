#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ui/Subclass.h"

namespace {

// What the procedures saw, in order: "<name>:<message>" for the messages the test sends.
std::vector<std::wstring> seen;
constexpr UINT kProbe = WM_APP + 7;

// Notes the message with its data's name and passes it on; answers its data's length added to
// what the rest of the chain answered, so the answer shows every procedure that ran.
LRESULT CALLBACK Note(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    const auto* name = reinterpret_cast<const wchar_t*>(data);
    if (message == kProbe) {
        seen.push_back(std::wstring(name) + L":probe");
        // The procedure named "drop" removes itself while it runs, and its message still goes on.
        if (std::wstring(name) == L"drop") ui::RemoveSubclass(window, Note, id);
        return ui::DefSubclass(window, message, wParam, lParam) + static_cast<LRESULT>(std::wstring(name).size());
    }
    if (message == WM_NCDESTROY) seen.push_back(std::wstring(name) + L":ncdestroy");
    return ui::DefSubclass(window, message, wParam, lParam);
}

LRESULT CALLBACK Original(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe) {
        seen.push_back(L"original:probe");
        return 1000;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The common controls' own subclassing, put over the chain by somebody else.
LRESULT CALLBACK Foreign(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == kProbe) seen.push_back(L"foreign:probe");
    return ::DefSubclassProc(window, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Original;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SubclassTestWindow";
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                             nullptr);
}

}  // namespace

TEST(Subclass, TheLastInstalledRunsFirstEachPassesOnAndTheWindowGetsItsProcedureBackAtTheEnd) {
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    const auto original = ::GetWindowLongPtrW(window, GWLP_WNDPROC);
    const wchar_t *first = L"first", *drop = L"drop", *last = L"last", *again = L"again";
    ASSERT_TRUE(ui::SetSubclass(window, Note, 1, reinterpret_cast<DWORD_PTR>(first)));
    ASSERT_TRUE(ui::SetSubclass(window, Note, 2, reinterpret_cast<DWORD_PTR>(drop)));
    ASSERT_TRUE(ui::SetSubclass(window, Note, 3, reinterpret_cast<DWORD_PTR>(last)));

    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1000 + 5 + 4 + 4);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"last:probe", L"drop:probe", L"first:probe", L"original:probe"}));
    // "drop" removed itself while its message ran.
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1000 + 5 + 4);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"last:probe", L"first:probe", L"original:probe"}));

    // Installing the same procedure and identifier again changes only its data.
    ASSERT_TRUE(ui::SetSubclass(window, Note, 3, reinterpret_cast<DWORD_PTR>(again)));
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1000 + 5 + 5);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"again:probe", L"first:probe", L"original:probe"}));

    EXPECT_FALSE(ui::RemoveSubclass(window, Note, 2));
    EXPECT_TRUE(ui::RemoveSubclass(window, Note, 3));
    EXPECT_TRUE(ui::RemoveSubclass(window, Note, 1));
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_WNDPROC), original);
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1000);

    // Another thread cannot subclass the window.
    bool fromElsewhere = true;
    std::thread([&] { fromElsewhere = ui::SetSubclass(window, Note, 4, reinterpret_cast<DWORD_PTR>(first)); }).join();
    EXPECT_FALSE(fromElsewhere);

    // The chain's procedures see the window's end.
    ASSERT_TRUE(ui::SetSubclass(window, Note, 1, reinterpret_cast<DWORD_PTR>(first)));
    seen.clear();
    ::DestroyWindow(window);
    EXPECT_EQ(seen, std::vector<std::wstring>{L"first:ncdestroy"});
    EXPECT_FALSE(ui::RemoveSubclass(window, Note, 1));
}

TEST(Subclass, AProcedureInstalledOverTheChainBySomebodyElseKeepsWorkingWhenTheChainEmpties) {
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    const wchar_t* ours = L"ours";
    ASSERT_TRUE(ui::SetSubclass(window, Note, 1, reinterpret_cast<DWORD_PTR>(ours)));
    ASSERT_TRUE(::SetWindowSubclass(window, Foreign, 1, 0));
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1004);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"foreign:probe", L"ours:probe", L"original:probe"}));

    EXPECT_TRUE(ui::RemoveSubclass(window, Note, 1));
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1000);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"foreign:probe", L"original:probe"}));
    // Ours can come back under the other one.
    ASSERT_TRUE(ui::SetSubclass(window, Note, 1, reinterpret_cast<DWORD_PTR>(ours)));
    seen.clear();
    EXPECT_EQ(::SendMessageW(window, kProbe, 0, 0), 1004);
    ::RemoveWindowSubclass(window, Foreign, 1);
    ::DestroyWindow(window);
}
