#pragma once

// The history tools on a schedule: a task of the Task Scheduler for the current user that
// starts the window program with "/Traces e1,e2 /Profile "NAME"" at logon, daily or weekly.
// The task's definition is XML text built and read back by plain functions; registering,
// removing and reading the task go through `ITaskService` with no administrator rights (the
// task runs with the user's interactive token, only while the user is logged on).
//
//   TraceSchedule schedule{ScheduleWhen::Daily, 0, 8, 30, entries, L"DefaultUser"};
//   const HRESULT hr = RegisterTraceTask(schedule, ProgramFolder() + L"TIDEMARROW32SE.exe");

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class ScheduleWhen { Logon, Daily, Weekly };

struct TraceSchedule {
    ScheduleWhen when = ScheduleWhen::Logon;
    int dayOfWeek = 0;              // Weekly: 0 Sunday .. 6 Saturday
    int hour = 0, minute = 0;       // Daily and Weekly
    std::vector<std::uint16_t> entries;
    std::wstring profile;
};

// The window program's switches of a scheduled run and of the uninstaller.
inline constexpr const wchar_t* kTracesSwitch = L"/Traces";
inline constexpr const wchar_t* kProfileSwitch = L"/Profile";
inline constexpr const wchar_t* kUnscheduleSwitch = L"/Unschedule";

// The task's folder, and the head of its name (the user's SID follows: names are shared by
// every user of the machine).
inline constexpr const wchar_t* kTraceTaskFolder = L"\\TIDEMARROW32 SE";
inline constexpr const wchar_t* kTraceTaskNameHead = L"TIDEMARROW32 SE 履歴抹消 ";

// Text with "&", "<", ">", '"' and "'" as XML entities.
std::wstring XmlEscape(const std::wstring& text);
// "/Traces e1,e2 /Profile "NAME"".
std::wstring TraceTaskArguments(const std::vector<std::uint16_t>& entries, const std::wstring& profile);
// The task's definition: the trigger (the logon of `userId`, or a calendar trigger from
// `today` at the schedule's time), the principal `userId` with its interactive token and the
// least privilege, the settings (on batteries too, started late when missed, one instance, at
// most an hour) and the program with its arguments.
std::wstring TraceTaskXml(const TraceSchedule& schedule, const std::wstring& userId, const std::wstring& program,
                          const SYSTEMTIME& today);
// The schedule a task's definition holds; nothing when its trigger or its arguments are not
// ones `TraceTaskXml` writes.
std::optional<TraceSchedule> ParseTraceTaskXml(const std::wstring& xml);

// "TIDEMARROW32 SE 履歴抹消 " + the current user's SID.
std::wstring TraceTaskName();

struct RegisteredTraceTask {
    bool exists = false;
    std::wstring xml;                         // as the Task Scheduler gives it back
    std::optional<TraceSchedule> schedule;    // read back from `xml`
    std::optional<SYSTEMTIME> lastRun;        // only when the scheduler says exactly S_OK
};

// Registers (or replaces) the current user's task in the folder "\TIDEMARROW32 SE", made
// when missing, or in the root folder when it cannot be made. The calling thread has COM.
HRESULT RegisterTraceTask(const TraceSchedule& schedule, const std::wstring& program);
// Removes the current user's task from whichever folder holds it, and our folder when it is
// then empty; S_FALSE when there was none.
HRESULT RemoveTraceTask();
// Reads the current user's task; S_OK with `exists` false when there is none.
HRESULT ReadTraceTask(RegisteredTraceTask& task);
