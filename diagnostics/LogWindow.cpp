#include "diagnostics/LogWindow.h"

#include <commdlg.h>

#include <algorithm>
#include <utility>

#include "common/TextCodec.h"
#include "diagnostics/DiagnosticsIds.h"
#include "resources/ProductInfo.h"
#include "ui/Gdi.h"

namespace {

constexpr const wchar_t* kHeaderText = L"エラーを検知しました。ご迷惑をお掛けして申し訳ありません…";

// Where the pieces of the window sit, in client pixels.
constexpr RECT kHeaderBand = {0, 0, TTIDEMARROW_LOG::kClientWidth, 57};
constexpr RECT kHeaderIcon = {12, 12, 44, 44};  // 32 x 32 picture
constexpr RECT kIconFrame = {10, 10, 46, 46};   // frame around the picture
constexpr RECT kHeaderLabel = {58, 21, 565, 41};
constexpr RECT kHeaderLine = {0, 57, TTIDEMARROW_LOG::kClientWidth, 59};  // line under the header
constexpr RECT kLogLabel = {8, 65, 200, 80};
constexpr RECT kLogView = {8, 82, 565, 240};
constexpr int kButtonTop = 248;
constexpr int kButtonHeight = 25;

// A fresh 8-bit picture of the given size, every pixel white.
HBITMAP MakeWhiteBitmap(int width, int height) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header.biSize = sizeof(info.header);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i)
        info.colors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    void* bits = nullptr;
    HBITMAP bitmap =
        ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        const int stride = (width + 3) & ~3;
        std::fill_n(static_cast<BYTE*>(bits), static_cast<std::size_t>(stride) * height, BYTE{255});
        ::GdiFlush();
    }
    return bitmap;
}

std::wstring SystemErrorText(DWORD error) {
    if (error == ERROR_SUCCESS) return {};
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

std::unique_ptr<TTIDEMARROW_LOG>& Instance() {
    static std::unique_ptr<TTIDEMARROW_LOG> instance;
    return instance;
}

}  // namespace

struct TTIDEMARROW_LOG::Resources {
    ui::Bitmap headerBand;  // the header band's picture
};

TTIDEMARROW_LOG::TTIDEMARROW_LOG() : resources_(std::make_unique<Resources>()) {}

TTIDEMARROW_LOG::~TTIDEMARROW_LOG() {
    // Gone before the fonts it uses are freed.
    if (Handle()) ::DestroyWindow(Handle());
}

namespace {
HWND logOwner = nullptr;
}  // namespace

void SetErrorLogOwner(HWND owner) { logOwner = owner; }
HWND ErrorLogOwner() { return logOwner && ::IsWindow(logOwner) ? logOwner : nullptr; }

bool TTIDEMARROW_LOG::Create() {
    constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    constexpr DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return ui::Window::Create(kClassName, L"", style, exStyle, 1, 0, ui::Width(frame), ui::Height(frame),
                              ErrorLogOwner());
}

void TTIDEMARROW_LOG::FormCreate() {
    ::SetWindowTextW(Handle(), kCaption);
    resources_->headerBand = ui::Bitmap(MakeWhiteBitmap(ui::Width(kHeaderBand), ui::Height(kHeaderBand)));
}

void TTIDEMARROW_LOG::CreateControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto make = [&](const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y,
                          int width, int height, int id) {
        HWND control = ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                         Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                         nullptr);
        if (control) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui::UiFont()), FALSE);
        return control;
    };
    LogView = make(L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE,
                   kLogView.left, kLogView.top, ui::Width(kLogView), ui::Height(kLogView), IDC_LOG_LOGVIEW);
    if (LogView) ::SendMessageW(LogView, EM_SETLIMITTEXT, kDefaultTextLimit, 0);
    SaveButton = make(L"BUTTON", L"&Save", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 8, kButtonTop, 75, kButtonHeight,
                      IDC_LOG_SAVE);
    ClearButton =
        make(L"BUTTON", L"C&lear", BS_PUSHBUTTON | WS_TABSTOP, 0, 89, kButtonTop, 75, kButtonHeight, IDC_LOG_CLEAR);
    ExitButton = make(L"BUTTON", L"&Exit TIDEMARROW ", BS_PUSHBUTTON | WS_TABSTOP, 0, 170, kButtonTop, 130,
                      kButtonHeight, IDC_LOG_EXIT);
    CloseButton =
        make(L"BUTTON", L"&Close", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 490, kButtonTop, 75, kButtonHeight, IDC_LOG_CLOSE);
    focus_.SetFallback(CloseButton);
}

void TTIDEMARROW_LOG::Paint(HDC dc) {
    // The white header band.
    if (HBITMAP band = resources_->headerBand.get()) {
        HDC memory = ::CreateCompatibleDC(dc);
        if (memory) {
            {
                ui::ScopedSelect select(memory, band);
                ::BitBlt(dc, kHeaderBand.left, kHeaderBand.top, ui::Width(kHeaderBand), ui::Height(kHeaderBand), memory,
                         0, 0, SRCCOPY);
            }
            ::DeleteDC(memory);
        }
    } else {
        RECT whole = kHeaderBand;
        ::FillRect(dc, &whole, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    // A sunken frame around the system's warning picture.
    RECT iconFrame = kIconFrame;
    ::DrawEdge(dc, &iconFrame, BDR_SUNKENOUTER, BF_RECT);
    if (HICON picture = ::LoadIconW(nullptr, IDI_WARNING))
        ::DrawIconEx(dc, kHeaderIcon.left, kHeaderIcon.top, picture, ui::Width(kHeaderIcon), ui::Height(kHeaderIcon), 0,
                     nullptr, DI_NORMAL);
    // The line under the header.
    RECT headerLine = kHeaderLine;
    ::DrawEdge(dc, &headerLine, EDGE_ETCHED, BF_TOP);

    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    {
        ui::ScopedSelect select(dc, ui::UiFont(true));
        RECT headerLabel = kHeaderLabel;
        ::DrawTextW(dc, kHeaderText, -1, &headerLabel, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    {
        ui::ScopedSelect select(dc, ui::UiFont());
        RECT logLabel = kLogLabel;
        ::DrawTextW(dc, L"ErrorLog:", -1, &logLabel, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
}

void TTIDEMARROW_LOG::AppendLine(const std::wstring& text) {
    if (!LogView) return;
    const std::wstring piece = text + L"\r\n";
    const int before = ::GetWindowTextLengthW(LogView);
    ::SendMessageW(LogView, EM_SETSEL, before, before);
    ::SendMessageW(LogView, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
    const int after = ::GetWindowTextLengthW(LogView);
    if (after != before + static_cast<int>(piece.size())) {
        // The box is full: start again with an empty one.
        ::SetWindowTextW(LogView, L"");
        return;
    }
    ::SendMessageW(LogView, EM_SCROLLCARET, 0, 0);
}

std::vector<std::wstring> TTIDEMARROW_LOG::Lines() const {
    if (!LogView) return {};
    return SplitCrLf(ui::WindowText(LogView));
}

void TTIDEMARROW_LOG::ShowExitButton(bool show) {
    if (ExitButton) ::ShowWindow(ExitButton, show ? SW_SHOWNA : SW_HIDE);
}

void TTIDEMARROW_LOG::SetTextLimit(int characters) {
    if (LogView) ::SendMessageW(LogView, EM_SETLIMITTEXT, static_cast<WPARAM>(characters), 0);
}

bool TTIDEMARROW_LOG::SaveLogTo(const std::wstring& path) const { return WriteTextFile(path, Lines()); }

void TTIDEMARROW_LOG::FormShow() {
    ::SetWindowPos(Handle(), nullptr, 1, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TTIDEMARROW_LOG::SaveLog() {
    const std::wstring path = AskTextFileToSave(Handle(), L"DebugLog.txt");
    if (path.empty()) return;
    ::SetLastError(ERROR_SUCCESS);
    if (SaveLogTo(path)) return;
    ShowSaveFailure(Handle(), path, ::GetLastError());
}

std::wstring AskTextFileToSave(HWND owner, const std::wstring& proposedName) {
    std::vector<wchar_t> file(32768, L'\0');
    proposedName.copy(file.data(), std::min(proposedName.size(), file.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"テキストファイル\0*.txt\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    // No default extension: a name typed without one is used as typed.
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING |
                   OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameW(&dialog)) return {};
    return file.data();
}

void ShowSaveFailure(HWND owner, const std::wstring& path, DWORD error) {
    std::wstring message = L"ファイル \"" + path + L"\" を保存できませんでした。";
    const std::wstring reason = SystemErrorText(error);
    if (!reason.empty()) message += L"\r\n" + reason;
    ::MessageBoxW(owner, message.c_str(), kProductTitle, MB_OK | MB_ICONERROR);
}

void TTIDEMARROW_LOG::HideLog() { ::ShowWindow(Handle(), SW_HIDE); }

void TTIDEMARROW_LOG::ClearLog() {
    if (LogView) ::SetWindowTextW(LogView, L"");
}

void TTIDEMARROW_LOG::ExitProgram() {
    // Straight out of the application's message loop: no close query, no close handling.
    ::PostQuitMessage(0);
}

bool TTIDEMARROW_LOG::HandleDialogKey(MSG& msg) {
    if (!Handle() || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    if (msg.hwnd != Handle() && !::IsChild(Handle(), msg.hwnd)) return false;
    return ::IsDialogMessageW(Handle(), &msg) != FALSE;
}

LRESULT TTIDEMARROW_LOG::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            FormCreate();
            CreateControls();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(Handle(), &paint);
            if (dc) Paint(dc);
            ::EndPaint(Handle(), &paint);
            return 0;
        }
        case WM_SHOWWINDOW:
            if (wParam && lParam == 0) FormShow();
            break;
        case WM_ACTIVATE:
            // A minimized window does not take the focus back.
            if (LOWORD(wParam) == WA_INACTIVE || !HIWORD(wParam)) focus_.Activate(Handle(), wParam);
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IDC_LOG_CLOSE, DC_HASDEFID);
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == LogView) {
                // The read-only box keeps the colours of an ordinary text box.
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
                ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                switch (LOWORD(wParam)) {
                    case IDC_LOG_SAVE: SaveLog(); return 0;
                    case IDC_LOG_CLOSE: HideLog(); return 0;
                    case IDC_LOG_CLEAR: ClearLog(); return 0;
                    case IDC_LOG_EXIT: ExitProgram(); return 0;
                    default: break;
                }
            }
            break;
        case WM_CLOSE:
            // Closing only hides the window; the report text stays for the next failure.
            HideLog();
            return 0;
        default:
            break;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}

TTIDEMARROW_LOG* ErrorLogWindow() {
    const auto& instance = Instance();
    return instance && instance->Handle() && ::IsWindow(instance->Handle()) ? instance.get() : nullptr;
}

TTIDEMARROW_LOG* ObtainErrorLogWindow() {
    if (TTIDEMARROW_LOG* window = ErrorLogWindow()) return window;
    auto made = std::make_unique<TTIDEMARROW_LOG>();
    if (!made->Create()) return nullptr;
    Instance() = std::move(made);
    return Instance().get();
}

void FreeErrorLogWindow() { Instance().reset(); }

bool IsErrorLogMessage(MSG& msg) {
    TTIDEMARROW_LOG* window = ErrorLogWindow();
    return window && window->HandleDialogKey(msg);
}
