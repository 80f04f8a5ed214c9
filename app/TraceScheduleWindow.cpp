#include "app/TraceScheduleWindow.h"

#include <commctrl.h>

#include <cwchar>
#include <cwctype>

#include "app/MainWindow.h"
#include "history/IeErase.h"
#include "ui/Window.h"

namespace {

const wchar_t kCaption[] = L"履歴抹消のスケジュール";
const wchar_t kWhenLabel[] = L"実行するとき:";
const wchar_t kAtLogonText[] = L"ログオン時";
const wchar_t kDailyText[] = L"毎日";
const wchar_t kWeeklyText[] = L"毎週";
const wchar_t kTimeLabel[] = L"時刻:";
const wchar_t kEntriesLabel[] = L"抹消する項目 (パネルで選択したもの):";
const wchar_t kRegisterText[] = L"登録";
const wchar_t kRemoveText[] = L"解除";
const wchar_t kCloseText[] = L"閉じる";
const wchar_t kNotRegisteredText[] = L"登録されているスケジュール: なし";
const wchar_t kRegisteredHead[] = L"登録されているスケジュール: ";
const wchar_t kUnreadableText[] = L"あり (内容を読み取れませんでした)";
const wchar_t kLastRunHead[] = L"前回の実行: ";
const wchar_t kNeverRunText[] = L"未実行";
const wchar_t kBadTimeText[] = L"時刻は 0:00 から 23:59 の形で入力してください。";
const wchar_t kRegisterFailedText[] = L"タスク スケジューラにスケジュールを登録できませんでした。";
const wchar_t kRemoveFailedText[] = L"タスク スケジューラからスケジュールを解除できませんでした。";
const wchar_t kReadFailedText[] = L"タスク スケジューラに接続できませんでした。";
const wchar_t* const kDayTexts[] = {L"日曜日", L"月曜日", L"火曜日", L"水曜日", L"木曜日", L"金曜日", L"土曜日"};

// "(HRESULT 0x80070005)": how a failure of the Task Scheduler is named.
std::wstring HresultText(HRESULT hr) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"(HRESULT 0x%08lX)", static_cast<unsigned long>(hr));
    return text;
}

std::wstring TimeText(int hour, int minute) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%02d:%02d", hour, minute);
    return text;
}

// "H:MM" or "HH:MM" within a day.
bool ParseTime(const std::wstring& text, int& hour, int& minute) {
    const std::size_t colon = text.find(L':');
    if (colon == std::wstring::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i != colon && !std::iswdigit(text[i])) return false;
    hour = std::stoi(text.substr(0, colon));
    minute = std::stoi(text.substr(colon + 1));
    return hour < 24 && minute < 60;
}

std::wstring EntryNames(const std::vector<std::uint16_t>& entries) {
    std::wstring names;
    for (std::uint16_t entry : entries) names += (names.empty() ? L"" : L", ") + TIE_ERASE::EntryName(entry);
    return names;
}

}  // namespace

std::wstring TTraceScheduleWindow::WhenText(const TraceSchedule& schedule) {
    switch (schedule.when) {
    case ScheduleWhen::Logon: return kAtLogonText;
    case ScheduleWhen::Daily: return std::wstring(kDailyText) + L" " + TimeText(schedule.hour, schedule.minute);
    case ScheduleWhen::Weekly:
        return std::wstring(kWeeklyText) + L" " + kDayTexts[schedule.dayOfWeek % 7] + L" " +
               TimeText(schedule.hour, schedule.minute);
    }
    return {};
}

TTraceScheduleWindow::TTraceScheduleWindow(HWND owner, TraceScheduleInput input) : input_(std::move(input)) {
    if (!CreateForm(L"TTraceScheduleWindow", kCaption, kClientWidth, kClientHeight, ui::kDialogFormStyle,
                    ui::kDialogFormExStyle, owner))
        return;
    BuildControls();
    ShowRegistered();
}

void TTraceScheduleWindow::BuildControls() {
    const DWORD visible = WS_VISIBLE;
    AddControl(L"STATIC", kWhenLabel, visible | SS_LEFT, 12, 12, 120, 16, -1);
    AtLogonButton = AddControl(L"BUTTON", kAtLogonText, visible | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 24, 32,
                               100, 20, IDC_SCHEDULE_AT_LOGON);
    DailyButton = AddControl(L"BUTTON", kDailyText, visible | BS_AUTORADIOBUTTON, 24, 56, 100, 20, IDC_SCHEDULE_DAILY);
    WeeklyButton = AddControl(L"BUTTON", kWeeklyText, visible | BS_AUTORADIOBUTTON, 24, 80, 60, 20, IDC_SCHEDULE_WEEKLY);
    DayCombo = AddControl(WC_COMBOBOXW, L"", visible | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST, 92, 79, 96,
                          200, IDC_SCHEDULE_DAY);
    for (const wchar_t* day : kDayTexts) ::SendMessageW(DayCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(day));
    ::SendMessageW(DayCombo, CB_SETCURSEL, 0, 0);
    AddControl(L"STATIC", kTimeLabel, visible | SS_RIGHT, 200, 58, 50, 16, -1);
    TimeEdit = AddControl(L"EDIT", L"12:00", visible | WS_TABSTOP | WS_GROUP | ES_LEFT | ES_AUTOHSCROLL, 256, 56, 60,
                          22, IDC_SCHEDULE_TIME, WS_EX_CLIENTEDGE);
    ::SendMessageW(TimeEdit, EM_SETLIMITTEXT, 5, 0);
    ::SendMessageW(AtLogonButton, BM_SETCHECK, BST_CHECKED, 0);

    AddControl(L"STATIC", kEntriesLabel, visible | SS_LEFT, 12, 112, 360, 16, -1);
    EntryList = AddControl(L"LISTBOX", L"", visible | WS_VSCROLL | LBS_NOSEL | LBS_NOINTEGRALHEIGHT, 12, 132, 368, 84,
                           IDC_SCHEDULE_ENTRIES, WS_EX_CLIENTEDGE);
    for (std::uint16_t entry : input_.entries)
        ::SendMessageW(EntryList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TIE_ERASE::EntryName(entry).c_str()));

    CurrentLabel = AddControl(L"STATIC", kNotRegisteredText, visible | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 12, 226,
                              368, 16, IDC_SCHEDULE_CURRENT);
    LastRunLabel = AddControl(L"STATIC", L"", visible | SS_LEFT | SS_NOPREFIX, 12, 246, 368, 16, IDC_SCHEDULE_LAST_RUN);

    RegisterButton = AddControl(L"BUTTON", kRegisterText, visible | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 132, 280,
                                80, 26, IDC_REGISTER_SCHEDULE);
    RemoveButton = AddControl(L"BUTTON", kRemoveText, visible | WS_TABSTOP | BS_PUSHBUTTON, 216, 280, 80, 26,
                              IDC_REMOVE_SCHEDULE);
    CloseButton = AddControl(L"BUTTON", kCloseText, visible | WS_TABSTOP | BS_PUSHBUTTON, 300, 280, 80, 26,
                             IDC_CLOSE_SCHEDULE);
    ::EnableWindow(RegisterButton, !input_.entries.empty());
    WhenChanged();
}

void TTraceScheduleWindow::ShowRegistered() {
    RegisteredTraceTask task;
    const HRESULT hr = ReadTraceTask(task);
    result_.registered = task.exists;
    ::EnableWindow(RemoveButton, task.exists);
    if (FAILED(hr)) {
        ::SetWindowTextW(CurrentLabel, (std::wstring(kReadFailedText) + L" " + HresultText(hr)).c_str());
        ::SetWindowTextW(LastRunLabel, L"");
        return;
    }
    if (!task.exists) {
        ::SetWindowTextW(CurrentLabel, kNotRegisteredText);
        ::SetWindowTextW(LastRunLabel, L"");
        return;
    }
    std::wstring current = kRegisteredHead;
    if (task.schedule) {
        current += WhenText(*task.schedule) + L" (" + EntryNames(task.schedule->entries) + L")";
        // The choices start from the schedule registered.
        const TraceSchedule& schedule = *task.schedule;
        ::SendMessageW(AtLogonButton, BM_SETCHECK, schedule.when == ScheduleWhen::Logon, 0);
        ::SendMessageW(DailyButton, BM_SETCHECK, schedule.when == ScheduleWhen::Daily, 0);
        ::SendMessageW(WeeklyButton, BM_SETCHECK, schedule.when == ScheduleWhen::Weekly, 0);
        ::SendMessageW(DayCombo, CB_SETCURSEL, static_cast<WPARAM>(schedule.dayOfWeek % 7), 0);
        if (schedule.when != ScheduleWhen::Logon)
            ::SetWindowTextW(TimeEdit, TimeText(schedule.hour, schedule.minute).c_str());
        WhenChanged();
    } else {
        current += kUnreadableText;
    }
    ::SetWindowTextW(CurrentLabel, current.c_str());
    ::SetWindowTextW(LastRunLabel,
                     (kLastRunHead + (task.lastRun ? TMainWindow::LogDateTime(*task.lastRun) : kNeverRunText)).c_str());
}

void TTraceScheduleWindow::WhenChanged() {
    const bool weekly = ::SendMessageW(WeeklyButton, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const bool timed = weekly || ::SendMessageW(DailyButton, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::EnableWindow(DayCombo, weekly);
    ::EnableWindow(TimeEdit, timed);
}

void TTraceScheduleWindow::ShowFailure(const wchar_t* text, HRESULT hr) {
    ::MessageBoxW(Handle(), (std::wstring(text) + L"\r\n" + HresultText(hr)).c_str(), kCaption,
                  MB_OK | MB_ICONERROR);
}

void TTraceScheduleWindow::RegisterSchedule() {
    TraceSchedule schedule;
    schedule.entries = input_.entries;
    schedule.profile = input_.profile;
    if (::SendMessageW(WeeklyButton, BM_GETCHECK, 0, 0) == BST_CHECKED) schedule.when = ScheduleWhen::Weekly;
    else if (::SendMessageW(DailyButton, BM_GETCHECK, 0, 0) == BST_CHECKED) schedule.when = ScheduleWhen::Daily;
    if (schedule.when == ScheduleWhen::Weekly) {
        const LRESULT day = ::SendMessageW(DayCombo, CB_GETCURSEL, 0, 0);
        schedule.dayOfWeek = day >= 0 && day < 7 ? static_cast<int>(day) : 0;
    }
    if (schedule.when != ScheduleWhen::Logon && !ParseTime(ui::WindowText(TimeEdit), schedule.hour, schedule.minute)) {
        ::MessageBoxW(Handle(), kBadTimeText, kCaption, MB_OK | MB_ICONWARNING);
        ::SetFocus(TimeEdit);
        return;
    }
    const HRESULT hr = RegisterTraceTask(schedule, input_.program);
    if (FAILED(hr)) ShowFailure(kRegisterFailedText, hr);
    else result_.changed = true;
    ShowRegistered();
}

void TTraceScheduleWindow::RemoveSchedule() {
    const HRESULT hr = RemoveTraceTask();
    if (FAILED(hr)) ShowFailure(kRemoveFailedText, hr);
    else result_.changed = true;
    ShowRegistered();
}

LRESULT TTraceScheduleWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        try {
            switch (LOWORD(wParam)) {
            case IDC_SCHEDULE_AT_LOGON:
            case IDC_SCHEDULE_DAILY:
            case IDC_SCHEDULE_WEEKLY: WhenChanged(); return 0;
            case IDC_REGISTER_SCHEDULE: RegisterSchedule(); return 0;
            case IDC_REMOVE_SCHEDULE: RemoveSchedule(); return 0;
            case IDC_CLOSE_SCHEDULE:
            case IDCANCEL: SetModalResult(IDCANCEL); return 0;
            default: break;
            }
        } catch (...) {
            // Nothing leaves a handler; the window stays as it was.
        }
    }
    if (message == DM_GETDEFID) return MAKELRESULT(IDC_REGISTER_SCHEDULE, DC_HASDEFID);
    return ui::Form::HandleMessage(message, wParam, lParam);
}
