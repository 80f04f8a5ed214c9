// The history tools on a schedule: the window that registers the current user's task for the
// entries ticked in the tools panel.

#include <windows.h>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/TraceScheduleWindow.h"
#include "history/IeErase.h"

void TMainWindow::OpenTraceSchedule() {
    TraceScheduleInput input;
    for (int index = 0; index < TraceList.RowCount() && index < static_cast<int>(TraceTargets.size()); ++index)
        if (TraceList.IsTicked(index) && !TIE_ERASE::CommandName(TraceTargets[index]).empty())
            input.entries.push_back(TraceTargets[index]);
    input.profile = ProfileName;
    input.program = programFolder_ + L"TIDEMARROW32SE.exe";
    TTraceScheduleWindow window(Handle(), std::move(input));
    if (window.Handle()) window.ShowModal();
}
