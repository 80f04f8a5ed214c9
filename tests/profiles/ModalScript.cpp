#include "tests/profiles/ModalScript.h"

#include <cstring>
#include <memory>
#include <set>

#include "tests/support/Gui.h"
#include "ui/Window.h"

namespace {

ModalScript* g_playing = nullptr;
int g_menuAttempts = 0;

}  // namespace

ModalScript& ModalScript::Until(std::function<bool()> step) {
    steps_.push_back(std::move(step));
    return *this;
}

ModalScript& ModalScript::Do(std::function<void()> action) {
    steps_.push_back([action = std::move(action)] {
        action();
        return true;
    });
    return *this;
}

ModalScript& ModalScript::UntilShown(HWND window) {
    return UntilShown([window] { return window; });
}

ModalScript& ModalScript::UntilShown(std::function<HWND()> windowOf) {
    auto settledTicks = std::make_shared<int>(0);
    return Until([windowOf = std::move(windowOf), settledTicks] {
        const HWND window = windowOf();
        // Asking for the queue's state also lets the system take in the display's events.
        ::GetQueueStatus(QS_ALLINPUT);
        const bool shown = ::IsWindowVisible(window) && ::GetForegroundWindow() == window &&
                           !::GetUpdateRect(window, nullptr, FALSE);
        *settledTicks = shown ? *settledTicks + 1 : 0;
        return *settledTicks >= 2;
    });
}

bool ModalScript::Run(HWND window, const std::function<void()>& showModal) {
    window_ = window;
    next_ = 0;
    timedOut_ = false;
    deadline_ = ::GetTickCount64() + timeoutMs_;
    ModalScript* previous = g_playing;
    g_playing = this;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, Tick);
    showModal();
    ::KillTimer(nullptr, timer);
    g_playing = previous;
    return !timedOut_ && next_ == steps_.size();
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_playing) g_playing->Play();
}

void ModalScript::Play() {
    if (busy_) return;
    busy_ = true;
    if (::GetTickCount64() >= deadline_) {
        if (!timedOut_) ::PostMessageW(window_ ? window_ : ::GetActiveWindow(), WM_CLOSE, 0, 0);
        timedOut_ = true;
    } else {
        while (next_ < steps_.size() && steps_[next_]()) ++next_;
    }
    busy_ = false;
}

BoxWatch::BoxWatch() {
    watcher_ = std::thread([this] {
        std::set<HWND> seen;
        while (!stop_) {
            if (HWND box = FindOwnWindow(L"#32770", nullptr)) {
                if (seen.insert(box).second) captions_.push_back(ui::WindowText(box));
                const int answer = ::GetDlgItem(box, IDNO) ? IDNO : IDOK;
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
            }
            ::Sleep(10);
        }
    });
}

BoxWatch::~BoxWatch() { Stop(); }

std::vector<std::wstring> BoxWatch::Stop() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    return captions_;
}

namespace {

LRESULT CALLBACK RefuseMenus(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const wchar_t* className = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass;
        const bool menu = IS_INTRESOURCE(className) ? LOWORD(reinterpret_cast<ULONG_PTR>(className)) == 0x8000
                                                    : std::wstring(className) == L"#32768";
        if (menu) {
            ++g_menuAttempts;
            return 1;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

MenuCatcher::MenuCatcher() {
    g_menuAttempts = 0;
    hook_ = ::SetWindowsHookExW(WH_CBT, RefuseMenus, nullptr, ::GetCurrentThreadId());
}

MenuCatcher::~MenuCatcher() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
}

int MenuCatcher::Attempts() const { return g_menuAttempts; }

bool PutOnClipboard(const std::wstring& text) {
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool done = false;
    if (memory) {
        if (void* target = ::GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            ::GlobalUnlock(memory);
            done = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!done) ::GlobalFree(memory);
    }
    ::CloseClipboard();
    return done;
}

