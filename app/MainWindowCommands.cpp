// The main window's commands that reach the shell and other windows: file properties, help,
// the web page, the version, the profile manager and the error report's test entry; and the
// last touches of the frame (the logo's double click, the file list's column limits, the tools
// panel's opaque title).

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <iterator>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "dialogs/ImageControl.h"
#include "dialogs/OsterlanHelp.h"
#include "dialogs/Vdlg.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "profiles/UsersWindow.h"
#include "settings/ConfigWindow.h"
#include "ui/Subclass.h"

namespace {

const wchar_t kNoHelpFileText[] = L"ヘルプファイルが見当たりません。";
const wchar_t kPropertiesVerb[] = L"properties";

// The windows the commands show while they are up (one of each at most).
TVerdlg* aboutBox = nullptr;
TUsersWindow* profileManager = nullptr;

// Sets a program-wide reference for one showing and clears it however the showing ends.
template <typename T>
class ShownWindow {
public:
    ShownWindow(T*& reference, T& window) : reference_(reference) { reference_ = &window; }
    ~ShownWindow() { reference_ = nullptr; }
    ShownWindow(const ShownWindow&) = delete;
    ShownWindow& operator=(const ShownWindow&) = delete;

private:
    T*& reference_;
};

// The file list's columns: the first keeps its width, the others never get narrower than
// they start.
constexpr int kFixedFirstColumn = 40;
constexpr int kMinimumWidths[] = {kFixedFirstColumn, 200, 55, 205, 180};
constexpr UINT_PTR kColumnLimitSubclass = 0x4C43;  // "LC"
constexpr UINT_PTR kOpaqueLabelSubclass = 0x4F4C;  // "OL"
constexpr UINT_PTR kLogoSubclass = 0x4C47;         // "LG"

bool IsWidthChange(const NMHDR& header) {
    return header.code == HDN_ITEMCHANGINGW || header.code == HDN_ITEMCHANGINGA;
}

// A header notification of the list's own header: true when the list must not see it, with
// the answer in `result`.
bool LimitColumn(HWND list, const NMHDR& header, LRESULT& result) {
    const HWND listHeader = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (!listHeader || header.hwndFrom != listHeader) return false;
    const auto& change = reinterpret_cast<const NMHEADERW&>(header);
    const int column = change.iItem;
    if (column < 0 || column >= static_cast<int>(std::size(kMinimumWidths))) return false;
    switch (header.code) {
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
        // The first column is neither dragged nor fitted to its contents.
        if (column != 0) return false;
        result = TRUE;
        return true;
    default:
        break;
    }
    if (!IsWidthChange(header) || !change.pitem || !(change.pitem->mask & HDI_WIDTH)) return false;
    const int width = change.pitem->cxy;
    const int minimum = kMinimumWidths[column];
    if (column == 0 ? width == kFixedFirstColumn : width >= minimum) return false;
    // Refused; a column dragged below its minimum stops at it.
    result = TRUE;
    const int current = static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    if (current != minimum) ::SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(minimum, 0));
    return true;
}

LRESULT CALLBACK ColumnLimitProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    try {
        if (message == WM_NOTIFY && lParam) {
            LRESULT result = 0;
            if (LimitColumn(hwnd, *reinterpret_cast<const NMHDR*>(lParam), result)) return result;
        } else if (message == WM_NCDESTROY) {
            ui::RemoveSubclass(hwnd, ColumnLimitProc, id);
        }
    } catch (...) {
        return 0;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

// A label that fills its whole area with the button face before its text, whatever brush its
// parent gives it.
LRESULT CALLBACK OpaqueLabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        RECT client{};
        ::GetClientRect(hwnd, &client);
        ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        ui::DefSubclass(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCDESTROY:
        ui::RemoveSubclass(hwnd, OpaqueLabelProc, id);
        break;
    default:
        break;
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK LogoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR window) {
    if (message == WM_LBUTTONDBLCLK) {
        try {
            reinterpret_cast<TMainWindow*>(window)->LogoDblClick();
        } catch (...) {
        }
        return 0;
    }
    if (message == WM_NCDESTROY) ui::RemoveSubclass(hwnd, LogoProc, id);
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

}  // namespace

// --- construction ---

void TMainWindow::FinishFrame() {
    if (Logo && Logo->Handle()) {
        // Pictures take double clicks (the class is shared; the others ignore them).
        const ULONG_PTR style = ::GetClassLongPtrW(Logo->Handle(), GCL_STYLE);
        if (!(style & CS_DBLCLKS)) ::SetClassLongPtrW(Logo->Handle(), GCL_STYLE, style | CS_DBLCLKS);
        ui::SetSubclass(Logo->Handle(), LogoProc, kLogoSubclass, reinterpret_cast<DWORD_PTR>(this));
    }
    if (FileList.Handle()) ui::SetSubclass(FileList.Handle(), ColumnLimitProc, kColumnLimitSubclass, 0);
}

void TMainWindow::MakeLabelOpaque(HWND label) { ui::SetSubclass(label, OpaqueLabelProc, kOpaqueLabelSubclass, 0); }

// --- file properties ---

void TMainWindow::ShowFileProperties() {
    if (FileList.RowCount() == 0) return;
    const int row = static_cast<int>(::SendMessageW(FileList.Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                    MAKELPARAM(LVNI_SELECTED, 0)));
    if (row < 0) return;
    const std::wstring path = FileList.Text(row, 4);
    if (path.empty() || !FileExists(path)) return;
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.hwnd = application_.Handle();
    request.lpVerb = kPropertiesVerb;
    request.lpFile = path.c_str();
    request.nShow = SW_SHOW;
    // The shell shows its own sheet and its own failures; a process handle it gave back is ours.
    ExecuteShell(request);
    if (request.hProcess) ::CloseHandle(request.hProcess);
}

// --- help ---

std::wstring TMainWindow::HelpFilePath() const { return programFolder_ + application_.Title() + L".chm"; }

void TMainWindow::ShowHelp() {
    const std::wstring path = HelpFilePath();
    if (!FileExists(path)) {
        ::MessageBoxW(Handle(), kNoHelpFileText, application_.Title().c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    HelpOpenResult result = HelpOpenResult::NoViewer;
    try {
        result = OpenHelp(path, application_.Handle());
    } catch (...) {
    }
    if (result == HelpOpenResult::NoViewer || result == HelpOpenResult::NotShown)
        RaiseAssertion(AssertSite::MainHtmlHelp);
}

// --- the web page ---

void TMainWindow::OpenWebSite() {
    if (OpenWebAddress && !ProductWebAddress().empty()) OpenWebAddress(application_.Handle(), ProductWebAddress());
}

// --- version ---

void TMainWindow::ShowAbout() {
    // The companion, when it runs, says the version; the about box shows it in every case.
    TConfigWindow* config = application_.Config();
    if (notifier_ && config && config->UseSSTP() && notifier_->ListenerRunning())
        NotifyCompanion(*notifier_, config, CompanionNotice::Version);
    TVerdlg about(Handle());
    ShownWindow<TVerdlg> shown(aboutBox, about);
    about.OpenWebAddress = OpenWebAddress;
    try {
        if (about.Created()) about.ShowModal();
    } catch (...) {
    }
}

// --- profile manager ---

bool TMainWindow::ProfileManagerOpen() { return profileManager != nullptr; }

void TMainWindow::ManageProfiles() {
    TUsersWindow manager(programFolder_);
    ShownWindow<TUsersWindow> shown(profileManager, manager);
    try {
        if (!manager.Create(application_.Handle())) return;
        manager.SetCurrentName(ProfileName);
        manager.ShowModal();
    } catch (...) {
    }
}

// --- the error report's test entry ---

void TMainWindow::LogoDblClick() {
    if (::GetAsyncKeyState(VK_SHIFT) != 0 && application_.Title() == kProductTitle)
        RaiseAssertion(AssertSite::MainTestPattern);
}
