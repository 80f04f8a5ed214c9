// Shows a window made of the toolkit's pieces, to look at it or capture it:
//   toolkit_demo [seconds]
// Ends after the given number of seconds (default 60), or when the window is closed.

#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "tests/ui/ToolkitFixture.h"

namespace {

using C = Command;

void CALLBACK EndDemo(HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(0); }

class DemoForm : public toolkit_test::ToolkitForm {
public:
    DemoForm() : ToolkitForm(true) {}

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE) {
            ::PostQuitMessage(0);
            return 0;
        }
        return ToolkitForm::HandleMessage(message, wParam, lParam);
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    toolkit_test::InitControls();
    const int seconds = argc > 1 ? _wtoi(argv[1]) : 60;
    DemoForm form;
    if (!form.Make()) return 1;
    ui::ImageList modes(toolkit_test::MakeTestImages(4));
    form.ModeSelector.SetImages(modes.get());
    for (const wchar_t* mode : {L"Speed", L"Normal", L"High", L"Custom"})
        form.ModeSelector.AddItem(mode, form.ModeSelector.Count());
    form.ModeSelector.Select(0);

    ui::CheckListView& list = form.FileList;
    list.AddColumn(L"ファイル名", 200);
    list.AddColumn(L"拡張子", 60);
    list.AddColumn(L"サイズ", 90, LVCFMT_RIGHT);
    list.AddColumn(L"パス", 300);
    list.AddRow({L"報告書.doc", L".doc", L"24,576 Byte", L"C:\\文書\\報告書.doc"}, true);
    list.AddRow({L"写真.jpg", L".jpg", L"1,048,576 Byte", L"C:\\画像\\写真.jpg"}, false);
    list.AddRow({L"memo.txt", L".txt", L"512 Byte", L"C:\\memo.txt"}, true);
    list.SetGridLines(true);

    form.StartButton.SetGlyph(form.Actions.Images(), 1);
    form.ExitButton.SetGlyph(form.Actions.Images(), 4);
    form.Actions[C::ExportList].SetEnabled(false);
    form.Actions[C::ClearList].SetEnabled(false);

    form.StatusBar.SetText(0, L"モード:Speed");
    form.StatusBar.SetText(1, L"全体の経過(1/3)");
    form.StatusBar.SetText(3, L"toolkit demo");
    ::SendMessageW(form.OverallProgress, PBM_SETRANGE32, 0, 3);
    ::SendMessageW(form.OverallProgress, PBM_SETPOS, 1, 0);

    ::ShowWindow(form.Handle(), SW_SHOW);
    ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000u, EndDemo);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(form.Handle(), &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return 0;
}
