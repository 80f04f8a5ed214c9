#include "app/HandOver.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>

#include "app/MainWindow.h"

namespace {

// How long a later start waits for the running window to take its paths.
constexpr UINT kHandOverTimeoutMs = 10000;

BOOL CALLBACK FindShownWindow(HWND window, LPARAM found) {
    if (!::IsWindowVisible(window) || !::IsWindowEnabled(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The window of the running program the user should see: the one the main window shows on
// top of itself, or, before the main window shows (the profile chooser), a shown window of
// its thread.
HWND FrontWindowOf(HWND window) {
    HWND front = ::GetLastActivePopup(window);
    if (front && ::IsWindowVisible(front)) return front;
    front = nullptr;
    if (const DWORD thread = ::GetWindowThreadProcessId(window, nullptr))
        ::EnumThreadWindows(thread, FindShownWindow, reinterpret_cast<LPARAM>(&front));
    return front ? front : window;
}

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.emplace_back(words[i]);
        ::LocalFree(words);
    }
    return arguments;
}

std::wstring CommandLinePath(const std::wstring& argument) {
    std::wstring path = argument;
    path.erase(std::remove(path.begin(), path.end(), L'"'), path.end());
    if (path.empty()) return path;
    DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    length = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    // A folder named with a separator at its end ("C:\data\") is the folder itself; a drive's
    // root keeps its separator.
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    return full;
}

std::vector<wchar_t> PackHandOver(const std::vector<std::wstring>& paths) {
    std::vector<wchar_t> block;
    for (const std::wstring& path : paths) {
        if (path.empty() || path.find(L'\0') != std::wstring::npos) continue;
        block.insert(block.end(), path.begin(), path.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

bool UnpackHandOver(const COPYDATASTRUCT& data, std::vector<std::wstring>& paths, bool* fromVerb) {
    paths.clear();
    if ((data.dwData != kHandOverTag && data.dwData != kVerbHandOverTag) || !data.lpData ||
        data.cbData < sizeof(wchar_t) || data.cbData % sizeof(wchar_t) != 0 ||
        data.cbData / sizeof(wchar_t) > kHandOverMaxChars)
        return false;
    const auto* text = static_cast<const wchar_t*>(data.lpData);
    const std::size_t count = data.cbData / sizeof(wchar_t);
    if (text[count - 1] != L'\0') return false;
    std::vector<std::wstring> found;
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] != L'\0') continue;
        if (i == start) break;  // the empty one ends the block
        found.emplace_back(text + start, text + i);
        start = i + 1;
    }
    paths = std::move(found);
    if (fromVerb) *fromVerb = data.dwData == kVerbHandOverTag;
    return true;
}

bool HandOverToRunningWindow(HWND window, const std::vector<std::wstring>& arguments, bool fromVerb) {
    bool taken = true;
    std::vector<std::wstring> paths;
    for (const std::wstring& argument : arguments) {
        std::wstring path = CommandLinePath(argument);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    if (!paths.empty()) {
        std::vector<wchar_t> block = PackHandOver(paths);
        if (block.size() > kHandOverMaxChars) return false;
        COPYDATASTRUCT data{};
        data.dwData = fromVerb ? kVerbHandOverTag : kHandOverTag;
        data.cbData = static_cast<DWORD>(block.size() * sizeof(wchar_t));
        data.lpData = block.data();
        DWORD_PTR result = 0;
        const bool answered = ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                                    SMTO_ABORTIFHUNG, kHandOverTimeoutMs, &result) != 0;
        const wchar_t* refusal = !answered                                     ? nullptr
                                 : result == kHandOverRefusedFreeSpacePanel ? kHandOverFreeSpaceText
                                 : result == kHandOverRefusedRunning        ? kHandOverRunningText
                                                                            : nullptr;
        taken = answered && result == kHandOverTaken;
        // Told here, while this start still may take the foreground; the running window is
        // brought forward afterwards.
        if (refusal)
            ::MessageBoxW(nullptr, refusal, TMainWindow::kTitle, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
    if (!::IsWindow(window)) return false;
    // The later start is the one the user just started, so it may give the running one the
    // foreground; the window on top (a message box, a modal window) is the one to show.
    // A minimized program is restored through its application window (the owner), which
    // shows the main window again; the running program may then take the foreground.
    HWND owner = ::GetWindow(window, GW_OWNER);
    if (owner && ::IsIconic(owner)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(owner, &process);
        ::AllowSetForegroundWindow(process);
        ::ShowWindowAsync(owner, SW_RESTORE);
    } else if (::IsIconic(window)) {
        ::ShowWindowAsync(window, SW_RESTORE);
    }
    ::SetForegroundWindow(FrontWindowOf(window));
    return taken;
}

VerbStartLock::VerbStartLock(bool take) {
    if (!take) return;
    mutex_ = ::CreateMutexW(nullptr, FALSE, L"Local\\TIDEMARROW32SE.ExplorerVerbStart");
    if (!mutex_) return;
    // A start that holds it longer than this has stopped answering; the others go on alone.
    const DWORD waited = ::WaitForSingleObject(mutex_, kHandOverTimeoutMs * 3);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void VerbStartLock::Release() {
    if (held_) ::ReleaseMutex(mutex_);
    held_ = false;
    if (mutex_) ::CloseHandle(mutex_);
    mutex_ = nullptr;
}

namespace {

// The property that marks the program's main window, and its value.
const wchar_t kProgramWindowProperty[] = L"TIDEMARROW32SE.MainWindow";
const HANDLE kProgramWindowMark = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(kHandOverTag));

struct VerbWindowSearch {
    HWND exact = nullptr;
    HWND any = nullptr;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<VerbWindowSearch*>(lParam);
    wchar_t text[64] = {};
    if (!::GetClassNameW(window, text, 64) || std::wstring(text) != TMainWindow::kClassName || !IsProgramWindow(window))
        return TRUE;
    if (!search->any) search->any = window;
    ::GetWindowTextW(window, text, 64);
    if (std::wstring(text) != TMainWindow::kTitle) return TRUE;
    search->exact = window;
    return FALSE;
}

}  // namespace

void MarkProgramWindow(HWND window) { ::SetPropW(window, kProgramWindowProperty, kProgramWindowMark); }

void UnmarkProgramWindow(HWND window) { ::RemovePropW(window, kProgramWindowProperty); }

bool IsProgramWindow(HWND window) { return ::GetPropW(window, kProgramWindowProperty) == kProgramWindowMark; }

HWND FindMainWindowForVerb() {
    VerbWindowSearch search;
    ::EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    return search.exact ? search.exact : search.any;
}
