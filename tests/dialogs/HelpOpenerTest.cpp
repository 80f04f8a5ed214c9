#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Paths.h"
#include "dialogs/OsterlanHelp.h"
#include "tests/dialogs/PixelHelpers.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"

namespace {

BOOL CALLBACK CountVisibleOwn(HWND hwnd, LPARAM lParam) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

// Counts the visible top-level windows of this process.
int VisibleWindowsOfThisProcess() {
    int count = 0;
    ::EnumWindows(CountVisibleOwn, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(HelpOpener, AMissingFileOpensNothing) {
    TempFolder folder;
    HostWindow owner;
    const bool viewerLoadedBefore = ::GetModuleHandleW(L"hhctrl.ocx") != nullptr;
    const int windowsBefore = VisibleWindowsOfThisProcess();
    EXPECT_EQ(OpenHelp(folder / L"TIDEMARROW32 SE.chm", owner.Handle()), HelpOpenResult::NoFile);
    EXPECT_EQ(OpenHelp(L"", owner.Handle()), HelpOpenResult::NoFile);
    // A folder of that name is not a help file either.
    ASSERT_TRUE(::CreateDirectoryW((folder / L"Folder.chm").c_str(), nullptr));
    EXPECT_EQ(OpenHelp(folder / L"Folder.chm", owner.Handle()), HelpOpenResult::NoFile);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(VisibleWindowsOfThisProcess(), windowsBefore);
    if (!viewerLoadedBefore) {
        EXPECT_EQ(::GetModuleHandleW(L"hhctrl.ocx"), nullptr) << "the viewer was not even loaded";
    }
}

TEST(HelpOpener, TheViewerIsTheSystemsHtmlHelpControl) {
    const std::wstring library = HelpViewerLibrary();
    EXPECT_EQ(ExtractFileName(library), L"hhctrl.ocx");
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(
        CompareStringOrdinal(ExtractFilePath(library).c_str(), -1, (std::wstring(system) + L"\\").c_str(), -1, TRUE),
        CSTR_EQUAL);
    // Wine carries its own hhctrl.ocx in the system folder, as Windows does.
    EXPECT_TRUE(FileExists(library));
}

TEST(HelpOpener, AnExistingFileWithoutAViewerLibraryIsReportedNotCrashed) {
    TempFolder folder;
    HostWindow owner;
    const std::wstring help = folder / L"TIDEMARROW32 SE.chm";
    ASSERT_TRUE(WriteBytes(help, "ITSF not really a help file"));
    EXPECT_EQ(OpenHelpWithViewer(folder / L"hhctrl.ocx", help, owner.Handle()), HelpOpenResult::NoViewer);
    // A library without the viewer's entry point.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(OpenHelpWithViewer(std::wstring(system) + L"\\version.dll", help, owner.Handle()),
              HelpOpenResult::NoViewer);
}

TEST(HelpOpener, AFileTheViewerCannotReadShowsNothingAndLeavesNoWindow) {
    TempFolder folder;
    HostWindow owner;
    const std::wstring help = folder / L"TIDEMARROW32 SE.chm";
    ASSERT_TRUE(WriteBytes(help, std::string(4096, 'x')));
    const int windowsBefore = VisibleWindowsOfThisProcess();
    EXPECT_EQ(OpenHelp(help, owner.Handle()), HelpOpenResult::NotShown);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(VisibleWindowsOfThisProcess(), windowsBefore);
    EXPECT_NE(::GetModuleHandleW(L"hhctrl.ocx"), nullptr) << "the system's viewer was asked";
}

}  // namespace
