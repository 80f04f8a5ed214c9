#include "tests/support/Gui.h"

#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

ProgressWindow::ProgressWindow() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    window_ = ::CreateWindowExW(0, L"STATIC", L"progress", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr, nullptr,
                                nullptr, nullptr);
    bar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 20, window_, nullptr,
                             nullptr, nullptr);
    label_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 320, 10, 60, 20, window_, nullptr, nullptr,
                               nullptr);
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
}

ProgressWindow::~ProgressWindow() {
    if (window_) ::DestroyWindow(window_);
}

int ProgressWindow::BarPosition() const { return static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0)); }

std::wstring ProgressWindow::LabelText() const {
    wchar_t text[64] = {};
    ::GetWindowTextW(label_, text, 64);
    return text;
}

namespace {

struct FindRequest {
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
    DWORD process = ::GetCurrentProcessId();
};

BOOL CALLBACK FindOwnWindowProc(HWND hwnd, LPARAM lParam) {
    auto* request = reinterpret_cast<FindRequest*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != request->process || !::IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[512] = {};
    if (request->className) {
        ::GetClassNameW(hwnd, text, 512);
        if (std::wstring(text) != request->className) return TRUE;
    }
    if (request->caption) {
        ::GetWindowTextW(hwnd, text, 512);
        if (std::wstring(text) != request->caption) return TRUE;
    }
    request->found = hwnd;
    return FALSE;
}

BOOL CALLBACK CollectStaticText(HWND hwnd, LPARAM lParam) {
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    if (std::wstring(className) == L"Static") {
        const int length = ::GetWindowTextLengthW(hwnd);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        ::GetWindowTextW(hwnd, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        if (!text.empty()) {
            auto* all = reinterpret_cast<std::wstring*>(lParam);
            if (!all->empty()) *all += L"\n";
            *all += text;
        }
    }
    return TRUE;
}

}  // namespace

namespace {

struct DialogMatch {
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK MatchOwnDialog(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogMatch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) != L"#32770" || !(*search->match)(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

HWND FindOwnDialog(const std::function<bool(HWND)>& match) {
    DialogMatch search{&match, nullptr};
    ::EnumWindows(MatchOwnDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindOwnWindow(const wchar_t* className, const wchar_t* caption) {
    FindRequest request{className, caption, nullptr};
    ::EnumWindows(FindOwnWindowProc, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

struct DialogAnswerer::State {
    std::wstring caption;
    int buttonId;
    DWORD timeoutMs;
    DWORD processId;
    std::wstring text;
    std::atomic<bool> answered{false};
    std::thread watcher;
};

DialogAnswerer::DialogAnswerer(std::wstring caption, int buttonId, DWORD timeoutMs, DWORD processId)
    : state_(new State{std::move(caption), buttonId, timeoutMs, processId ? processId : ::GetCurrentProcessId(), {}, {}, {}}) {
    State* state = state_.get();
    state->watcher = std::thread([state] {
        const ULONGLONG deadline = ::GetTickCount64() + state->timeoutMs;
        while (::GetTickCount64() < deadline) {
            FindRequest request{L"#32770", state->caption.c_str(), nullptr, state->processId};
            ::EnumWindows(FindOwnWindowProc, reinterpret_cast<LPARAM>(&request));
            if (HWND box = request.found) {
                std::wstring text;
                ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
                state->text = text;
                HWND button = ::GetDlgItem(box, state->buttonId);
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(state->buttonId, BN_CLICKED),
                               reinterpret_cast<LPARAM>(button));
                state->answered = true;
                return;
            }
            ::Sleep(20);
        }
    });
}

DialogAnswerer::~DialogAnswerer() {
    if (state_->watcher.joinable()) state_->watcher.join();
}

bool DialogAnswerer::Wait() {
    if (state_->watcher.joinable()) state_->watcher.join();
    return state_->answered;
}

std::wstring DialogAnswerer::Text() {
    Wait();
    return state_->text;
}

namespace {

// The file name box and the file-type box of the common file dialogs.
constexpr int kFileNameCombo = 0x47c;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr int kFileTypeCombo = 0x470;  // cmb1

// A file dialog, or (with `fileDialog` false) a box with a Yes button other than `except`.
HWND FindDialog(bool fileDialog, HWND except) {
    return FindOwnDialog([&](HWND dialog) {
        if (dialog == except) return false;
        if (fileDialog) return ::GetDlgItem(dialog, kFileNameCombo) || ::GetDlgItem(dialog, kFileNameEdit);
        return ::GetDlgItem(dialog, IDYES) != nullptr;
    });
}

std::wstring TextOf(HWND window) {
    if (!window) return {};
    wchar_t text[1024] = {};
    ::SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

}  // namespace

struct FileDialogAnswerer::State {
    std::wstring fileName;
    int overwriteAnswer;
    DWORD timeoutMs;
    std::wstring proposed;
    std::wstring fileType;
    std::atomic<bool> answered{false};
    std::atomic<bool> overwriteAsked{false};
    std::thread watcher;
};

FileDialogAnswerer::FileDialogAnswerer(std::wstring fileName, int overwriteAnswer, DWORD timeoutMs)
    : state_(new State{std::move(fileName), overwriteAnswer, timeoutMs, {}, {}, {}, {}, {}}) {
    State* state = state_.get();
    state->watcher = std::thread([state] {
        const ULONGLONG deadline = ::GetTickCount64() + state->timeoutMs;
        HWND dialog = nullptr;
        while (!dialog && ::GetTickCount64() < deadline) {
            dialog = FindDialog(true, nullptr);
            if (!dialog) ::Sleep(20);
        }
        if (!dialog) return;
        // The dialog fills its boxes while it initialises; give it a moment to show them.
        HWND nameBox = ::GetDlgItem(dialog, kFileNameCombo);
        if (!nameBox) nameBox = ::GetDlgItem(dialog, kFileNameEdit);
        for (int i = 0; i < 50 && TextOf(::GetDlgItem(dialog, kFileTypeCombo)).empty(); ++i) ::Sleep(20);
        state->proposed = TextOf(nameBox);
        state->fileType = TextOf(::GetDlgItem(dialog, kFileTypeCombo));
        ::SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state->fileName.c_str()));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
        if (state->overwriteAnswer == 0) {
            state->answered = true;
            return;
        }
        while (::GetTickCount64() < deadline) {
            if (HWND box = FindDialog(false, dialog)) {
                state->overwriteAsked = true;
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(state->overwriteAnswer, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, state->overwriteAnswer)));
                state->answered = true;
                return;
            }
            ::Sleep(20);
        }
    });
}

FileDialogAnswerer::~FileDialogAnswerer() {
    if (state_->watcher.joinable()) state_->watcher.join();
}

bool FileDialogAnswerer::Wait() {
    if (state_->watcher.joinable()) state_->watcher.join();
    return state_->answered;
}

std::wstring FileDialogAnswerer::ProposedName() {
    Wait();
    return state_->proposed;
}

std::wstring FileDialogAnswerer::FileTypeText() {
    Wait();
    return state_->fileType;
}

bool FileDialogAnswerer::OverwriteAsked() {
    Wait();
    return state_->overwriteAsked;
}
