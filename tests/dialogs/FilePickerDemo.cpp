// Opens the file picker on a folder with one file selected, so that its preview can be looked
// at: file_picker_demo folder file [seconds] (it cancels itself after the seconds). When the folder holds no "demo.jpg", one is written there.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "dialogs/TidemarrowDialog.h"
#include "tests/dialogs/PickerDriver.h"
#include "tests/dialogs/TestPictures.h"

namespace {

std::wstring g_select;

// Runs inside the dialog's own loop until the file is selected.
void CALLBACK SelectWhenListed(HWND, UINT, UINT_PTR id, DWORD) {
    DWORD pid = 0;
    HWND dialog = ::GetForegroundWindow();
    ::GetWindowThreadProcessId(dialog, &pid);
    if (pid != ::GetCurrentProcessId()) return;
    const HWND list = ShellFileList(dialog);
    if (list && SelectInShellList(list, {g_select})) ::KillTimer(nullptr, id);
}

// Cancels the dialog of this process.
void CALLBACK CancelDialog(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    DWORD pid = 0;
    HWND dialog = ::GetForegroundWindow();
    ::GetWindowThreadProcessId(dialog, &pid);
    if (pid == ::GetCurrentProcessId()) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    const std::wstring folder = arguments[1];
    g_select = arguments[2];
    const int seconds = count > 3 ? _wtoi(arguments[3]) : 0;
    ::LocalFree(arguments);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring sample = folder + L"\\demo.jpg";
    if (::GetFileAttributesW(sample.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // A sunset-like picture: warm on the left, deep blue on the right.
        const std::string bytes = EncodeJpeg(320, 200, RGB(240, 140, 40), RGB(30, 60, 160));
        HANDLE file = ::CreateFileW(sample.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        if (file != INVALID_HANDLE_VALUE) {
            ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            ::CloseHandle(file);
        }
    }
    TTidemarrowOpenDialog picker;
    picker.SetCurrentSettings(12, 2, true);
    picker.SetInitialDir(folder);
    ::SetTimer(nullptr, 0, 300, SelectWhenListed);
    if (seconds > 0) ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, CancelDialog);
    return picker.Execute() ? 0 : 1;
}
