#include "app/MainWindow.h"

// the schedule dialog is opened here
void TMainWindow::OpenTraceSchedule() {}
