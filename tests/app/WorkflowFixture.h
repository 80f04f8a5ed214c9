#pragma once

// A main window on a temporary program folder with the profile DefaultUser, real files in a
// data folder beside it, and the engine wired to the window as the program wires it.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/PendingList.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "engine/EraseFunc.h"
#include "settings/ConfigWindow.h"
#include "tests/support/Gui.h"
#include "tests/support/SteppingClock.h"
#include "tests/support/TempFolder.h"
#include "ui/MessagePump.h"

// Points the start entry of pending files at a key of the tests' own (under HKCU\Software) and
// at `program`; at the end, also on failure, removes that key and the value under the user's
// real Run key when it names `program`.
class PendingRunKeyForTest {
public:
    static constexpr wchar_t kKey[] = L"Software\\TIDEMARROW32SE-tests\\Run";
    explicit PendingRunKeyForTest(const std::wstring& program = L"") : previous_(SetPendingRunSeams({kKey, program})) {}
    ~PendingRunKeyForTest() {
        SetPendingRunSeams({kUserRunKey, PendingRunProgram()});
        RemovePendingRunValue(L"DefaultUser");
        SetPendingRunSeams(previous_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TIDEMARROW32SE-tests");
    }
    PendingRunKeyForTest(const PendingRunKeyForTest&) = delete;
    PendingRunKeyForTest& operator=(const PendingRunKeyForTest&) = delete;

private:
    PendingRunSeams previous_;
};

class WorkflowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(App().Initialize());
        ::CreateDirectoryW((folder / L"User").c_str(), nullptr);
        ::CreateDirectoryW(Profile().c_str(), nullptr);
        ::CreateDirectoryW(Data().c_str(), nullptr);
        ClearRecordedAssertions();
        // Every progress tick of a run shows and services, whatever the disk's speed.
        previousSeams_ = SetEraseSeams(SteppingClockSeams());
    }

    void TearDown() override {
        SetEraseSeams(previousSeams_);
        SetEraseEnvironment({});
        window.reset();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    std::wstring Profile() const { return folder / L"User\\DefaultUser"; }
    std::wstring Savedat() const { return Profile() + L"\\Savedat"; }
    std::wstring Data() const { return folder / L"data"; }

    // A file of `size` bytes under the data folder; its full path.
    std::wstring File(const std::wstring& name, std::size_t size = 4) {
        const std::wstring path = Data() + L"\\" + name;
        EXPECT_TRUE(WriteBytes(path, std::string(size, 'x')));
        return path;
    }

    void WriteConfig(const std::vector<std::wstring>& keys) {
        std::vector<std::wstring> lines{L"[TIDEMARROW]"};
        lines.insert(lines.end(), keys.begin(), keys.end());
        ASSERT_TRUE(WriteTextFile(Profile() + L"\\Config.ini", lines));
    }

    // Makes the window (as the program does, the engine reads its Stop flag and keeps it
    // alive) with `progress` told every percentage shown.
    void Make(std::vector<std::wstring> arguments = {}, std::function<void(int)> progress = {}) {
        window = std::make_unique<TMainWindow>(App(), folder.Path(), std::move(arguments));
        MakeWith(std::move(progress));
    }

    // The same for a window made by the test.
    void MakeWith(std::function<void(int)> progress = {}) {
        SetEraseEnvironment({&window->AbortRequested, ui::ProcessMessages, std::move(progress)});
        ASSERT_TRUE(window->Create(App().Handle(), SW_SHOWNORMAL));
        App().SetMainWindow(window->Handle());
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(window->Handle()) != FALSE; }));
        ASSERT_NE(App().Config(), nullptr);
    }

    // Closes the window as the user does; true when it went.
    bool CloseWindow() {
        HWND handle = window->Handle();
        ::SendMessageW(handle, WM_CLOSE, 0, 0);
        return !::IsWindow(handle);
    }

    TConfigWindow& Config() { return *App().Config(); }
    ui::CheckListView& List() { return window->FileList; }
    int Rows() { return List().RowCount(); }
    std::wstring PathAt(int row) { return List().Text(row, 4); }
    std::vector<std::wstring> Paths() {
        std::vector<std::wstring> paths;
        for (int row = 0; row < Rows(); ++row) paths.push_back(PathAt(row));
        return paths;
    }

    void Add(const std::wstring& path) { window->AddFileToList(path, false, false); }

    void SendCommand(int action) {
        ::SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + action, 0), 0);
    }

    // Presses a push button of the window the way a click does.
    static void Click(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }

    bool Reported(const std::wstring& message) {
        for (const RecordedAssertion& report : RecordedAssertions())
            if (report.message == message) return true;
        return false;
    }

    TApplication& App() { return *application_; }

    // Ends this start of the program and prepares the next: the window goes, and a fresh
    // application object takes the place of the one that was told to end.
    void NextStart() {
        SetEraseEnvironment({});
        window.reset();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        application_ = std::make_unique<TApplication>();
        ASSERT_TRUE(App().Initialize());
    }

    TempFolder folder;
    std::unique_ptr<TMainWindow> window;

private:
    EraseSeams previousSeams_;
    std::unique_ptr<TApplication> application_ = std::make_unique<TApplication>();
};
