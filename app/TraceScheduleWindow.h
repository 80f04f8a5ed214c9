#pragma once

// The schedule of the history tools: when ("ログオン時", "毎日", "毎週" with a day, a time for
// the last two) and the entries ticked in the panel; "登録" registers the current user's task,
// "解除" removes it, and the window shows the task read back and its last run.
//
//   TTraceScheduleWindow window(owner, {entries, profile, program});
//   window.ShowModal();
//   if (window.Result().changed) ...

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "history/TraceSchedule.h"
#include "ui/Form.h"

struct TraceScheduleInput {
    std::vector<std::uint16_t> entries;  // ticked in the panel, in its order
    std::wstring profile;                // the profile the task runs with
    std::wstring program;                // the window program's full path
};

struct TraceScheduleResult {
    bool changed = false;     // a task was registered or removed
    bool registered = false;  // a task of this user exists when the window closed
};

class TTraceScheduleWindow : public ui::Form {
public:
    static constexpr int kClientWidth = 392;
    static constexpr int kClientHeight = 318;

    enum ControlId : int {
        IDC_SCHEDULE_AT_LOGON = 4101,
        IDC_SCHEDULE_DAILY,
        IDC_SCHEDULE_WEEKLY,
        IDC_SCHEDULE_DAY,
        IDC_SCHEDULE_TIME,
        IDC_SCHEDULE_ENTRIES,
        IDC_SCHEDULE_CURRENT,
        IDC_SCHEDULE_LAST_RUN,
        IDC_REGISTER_SCHEDULE,
        IDC_REMOVE_SCHEDULE,
        IDC_CLOSE_SCHEDULE,
    };

    TTraceScheduleWindow(HWND owner, TraceScheduleInput input);

    const TraceScheduleResult& Result() const { return result_; }

    HWND AtLogonButton = nullptr;
    HWND DailyButton = nullptr;
    HWND WeeklyButton = nullptr;
    HWND DayCombo = nullptr;
    HWND TimeEdit = nullptr;
    HWND EntryList = nullptr;
    HWND CurrentLabel = nullptr;
    HWND LastRunLabel = nullptr;
    HWND RegisterButton = nullptr;
    HWND RemoveButton = nullptr;
    HWND CloseButton = nullptr;

    // "毎日 08:30" and the like: how a schedule is shown.
    static std::wstring WhenText(const TraceSchedule& schedule);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildControls();
    void ShowRegistered();  // reads the task back and shows it
    void WhenChanged();     // the day and the time only for the kinds that use them
    void RegisterSchedule();
    void RemoveSchedule();
    void ShowFailure(const wchar_t* text, HRESULT hr);

    TraceScheduleInput input_;
    TraceScheduleResult result_;
};
