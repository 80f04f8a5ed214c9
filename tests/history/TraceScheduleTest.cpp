// The scheduled runs' task definition from its plain function, the trace log's cut, and the
// task through the Wine prefix's own Task Scheduler as far as it keeps one.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "common/TextCodec.h"
#include "history/IeErase.h"
#include "history/TraceLog.h"
#include "history/TraceSchedule.h"
#include "tests/support/TempFolder.h"

namespace {

bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

TEST(TraceTaskXml, EachTriggerWithEscapedProgramAndProfileReadsBack) {
    const std::vector<std::uint16_t> entries = {TIE_ERASE::RecentFiles,
                                                TIE_ERASE::BrowserTarget(Browser::Firefox, BrowserTrace::History)};
    const SYSTEMTIME today{2026, 12, 3, 9, 0, 0, 0, 0};
    const std::wstring program = L"C:\\A & B <x>\\TIDEMARROW32SE.exe";
    for (ScheduleWhen when : {ScheduleWhen::Logon, ScheduleWhen::Daily, ScheduleWhen::Weekly}) {
        const TraceSchedule schedule{when, 5, 7, 5, entries, L"my & o'profile"};
        const std::wstring xml = TraceTaskXml(schedule, L"S-1-5-21-1-2-3-1000", program, today);
        SCOPED_TRACE(xml);
        EXPECT_TRUE(Has(xml, L"<Task version=\"1.2\""));
        EXPECT_TRUE(Has(xml, L"<UserId>S-1-5-21-1-2-3-1000</UserId>\r\n      <LogonType>InteractiveToken</LogonType>"
                             L"\r\n      <RunLevel>LeastPrivilege</RunLevel>"));
        for (const wchar_t* setting :
             {L"<DisallowStartIfOnBatteries>false<", L"<StopIfGoingOnBatteries>false<", L"<StartWhenAvailable>true<",
              L"<MultipleInstancesPolicy>IgnoreNew<", L"<ExecutionTimeLimit>PT1H<"})
            EXPECT_TRUE(Has(xml, setting)) << setting;
        EXPECT_TRUE(Has(xml, L"<Command>C:\\A &amp; B &lt;x&gt;\\TIDEMARROW32SE.exe</Command>"));
        EXPECT_TRUE(Has(xml, L"<Arguments>/Traces recent,firefox-history /Profile &quot;my &amp; o&apos;profile&quot;"
                             L"</Arguments>"));
        EXPECT_EQ(Has(xml, L"<LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n      <UserId>S-1-5-21-1-2-3-1000<"),
                  when == ScheduleWhen::Logon);
        EXPECT_EQ(Has(xml, L"<StartBoundary>2026-12-09T07:05:00</StartBoundary>"), when != ScheduleWhen::Logon);
        EXPECT_EQ(Has(xml, L"<ScheduleByDay>\r\n        <DaysInterval>1</DaysInterval>"), when == ScheduleWhen::Daily);
        EXPECT_EQ(Has(xml, L"<DaysOfWeek>\r\n          <Friday />"), when == ScheduleWhen::Weekly);

        const std::optional<TraceSchedule> back = ParseTraceTaskXml(xml);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->when, when);
        EXPECT_EQ(back->entries, entries);
        EXPECT_EQ(back->profile, schedule.profile);
        EXPECT_EQ(back->hour * 60 + back->minute, when == ScheduleWhen::Logon ? 0 : 7 * 60 + 5);
        EXPECT_EQ(back->dayOfWeek, when == ScheduleWhen::Weekly ? 5 : 0);
    }
    // A task of another making, or one whose trigger or arguments are gone, reads as nothing.
    const std::wstring daily = TraceTaskXml({ScheduleWhen::Daily, 0, 8, 0, entries, L"tm"}, L"u", program, today);
    std::wstring noTrigger = daily;
    noTrigger.erase(noTrigger.find(L"<Triggers>"), noTrigger.find(L"</Triggers>") - noTrigger.find(L"<Triggers>"));
    EXPECT_FALSE(ParseTraceTaskXml(noTrigger));
    std::wstring otherEntry = daily;
    otherEntry.replace(otherEntry.find(L"/Traces recent") + 8, 6, L"nothing");
    EXPECT_FALSE(ParseTraceTaskXml(otherEntry));
}

TEST(TraceLog, RunsAppendUnderTheirDateAndTheOldestLinesGoAtALineBoundary) {
    TempFolder folder;
    const std::wstring log = folder / L"TraceLog.txt";
    ASSERT_TRUE(AppendTraceLog(log, L"2026/12/09 8:00:00", {L"recent: 抹消しました"}));
    ASSERT_TRUE(AppendTraceLog(log, L"2026/12/10 8:00:00", {L"firefox-history: 抹消しました"}));
    EXPECT_EQ(ReadBytes(log), EncodeCp932(L"日時:2026/12/09 8:00:00\r\nrecent: 抹消しました\r\n"
                                          L"日時:2026/12/10 8:00:00\r\nfirefox-history: 抹消しました\r\n"));

    // Past 1 MiB: whole lines of the start go, the newest stay.
    std::vector<std::wstring> old;
    for (int i = 0; i < 80000; ++i) old.push_back(L"古い行 " + std::to_wstring(i));
    ASSERT_TRUE(WriteTextFile(log, old));
    ASSERT_GT(ReadBytes(log).size(), kTraceLogLimit);
    ASSERT_TRUE(AppendTraceLog(log, L"2026/12/11 8:00:00", {L"recent: 抹消しました"}));
    const std::string bytes = ReadBytes(log);
    EXPECT_LE(bytes.size(), kTraceLogLimit);
    EXPECT_GT(bytes.size(), kTraceLogLimit - 40) << "no more than a line too many went";
    const std::vector<std::wstring> lines = SplitLines(bytes);
    EXPECT_EQ(lines.front(), L"古い行 " + std::to_wstring(80000 - (lines.size() - 2)));
    EXPECT_EQ(lines.back(), L"recent: 抹消しました");
    EXPECT_EQ(KeepNewestLines({L"12345678", L"abc"}, 10), (std::vector<std::wstring>{L"abc"}));
}

// Removes the current user's task at the end, whatever the test did.
struct TaskCleanup {
    TaskCleanup() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~TaskCleanup() {
        RemoveTraceTask();
        ::CoUninitialize();
    }
};

TEST(TraceTask, RegisteredTaskAppearsReadsBackAndIsRemoved) {
    TaskCleanup cleanup;
    RegisteredTraceTask task;
    ASSERT_GE(RemoveTraceTask(), 0);
    ASSERT_EQ(ReadTraceTask(task), S_OK);
    EXPECT_FALSE(task.exists);

    // Wine keeps no triggers or actions: that the task is there and its definition reads back.
    const TraceSchedule schedule{ScheduleWhen::Daily, 0, 8, 30, {TIE_ERASE::RecentFiles}, L"tm"};
    ASSERT_EQ(RegisterTraceTask(schedule, L"C:\\TIDEMARROW32SE.exe"), S_OK);
    ASSERT_EQ(ReadTraceTask(task), S_OK);
    EXPECT_TRUE(task.exists);
    EXPECT_TRUE(Has(task.xml, L"<Task")) << task.xml;
    EXPECT_TRUE(TraceTaskName().rfind(L"TIDEMARROW32 SE 履歴抹消 S-1-5-", 0) == 0) << TraceTaskName();

    EXPECT_EQ(RemoveTraceTask(), S_OK);
    ASSERT_EQ(ReadTraceTask(task), S_OK);
    EXPECT_FALSE(task.exists);
    EXPECT_EQ(RemoveTraceTask(), S_FALSE) << "nothing left to remove";
}

}  // namespace
