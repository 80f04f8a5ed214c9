#include "ui/Form.h"

#include <vector>

#include "ui/Gdi.h"

namespace ui {

namespace {

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Face names tried for the UI font, the first one the system has.
const wchar_t* const kUiFaces[] = {L"MS UI Gothic", L"IPAPGothic", L"IPAGothic", L"MS PGothic"};


HFONT MakeUiFont(bool bold) {
    LOGFONTW font{};
    font.lfHeight = -12;  // 9 points at 96 dots per inch
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    // Bold is drawn from the outlines: a face whose small sizes come as bitmaps and that has no
    // bold of its own would otherwise show bold text in the normal weight.
    font.lfQuality = bold ? NONANTIALIASED_QUALITY : DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const wchar_t* face = kUiFaces[0];
    for (const wchar_t* candidate : kUiFaces) {
        if (HasFontFace(candidate)) {
            face = candidate;
            break;
        }
    }
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return ::CreateFontIndirectW(&font);
}

struct DisabledWindows {
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lParam) {
    auto* state = reinterpret_cast<std::pair<HWND, DisabledWindows*>*>(lParam);
    if (hwnd != state->first && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) {
        ::EnableWindow(hwnd, FALSE);
        state->second->windows.push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

bool HasFontFace(const wchar_t* face) {
    WindowDC screen(nullptr);
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(screen.get(), &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

HFONT UiFont(bool bold) {
    static Font normal(MakeUiFont(false));
    static Font heavy(MakeUiFont(true));
    return bold ? heavy.get() : normal.get();
}

bool Form::CreateForm(const wchar_t* className, const std::wstring& caption, int clientWidth, int clientHeight,
                      DWORD style, DWORD exStyle, HWND owner) {
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT area{};
    if (owner && ::IsWindowVisible(owner))
        ::GetWindowRect(owner, &area);
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    return Create(className, caption, style & ~WS_VISIBLE, exStyle, x < 0 ? 0 : x, y < 0 ? 0 : y, width, height,
                  owner);
}

HWND Form::AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int x, int y, int width,
                      int height, int id, DWORD exStyle) {
    HWND control = ::CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD, x, y, width, height,
                                     Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    if (control) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    return control;
}

void Form::SetModalResult(int result) { modalResult_ = result; }

int Form::ShowModal() {
    HWND self = Handle();
    if (!self) return IDCANCEL;
    DisabledWindows disabled;
    std::pair<HWND, DisabledWindows*> state{self, &disabled};
    ::EnumThreadWindows(::GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&state));

    modalResult_ = 0;
    modal_ = true;
    ::ShowWindow(self, SW_SHOW);
    ::SetForegroundWindow(self);
    bool quit = false;
    int quitCode = 0;
    MSG msg;
    while (modalResult_ == 0 && ::IsWindow(self)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quit = got == 0;
            quitCode = static_cast<int>(msg.wParam);
            if (modalResult_ == 0) modalResult_ = IDCANCEL;
            break;
        }
        if (!::IsDialogMessageW(self, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    modal_ = false;
    for (HWND hwnd : disabled.windows)
        if (::IsWindow(hwnd)) ::EnableWindow(hwnd, TRUE);
    if (::IsWindow(self)) ::ShowWindow(self, SW_HIDE);
    if (quit) ::PostQuitMessage(quitCode);
    return modalResult_;
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE && modal_) {
        modalResult_ = IDCANCEL;
        return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace ui
