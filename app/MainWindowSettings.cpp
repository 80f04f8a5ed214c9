// The settings command: the settings window, then save, reload and apply.

#include "app/Application.h"
#include "app/MainWindow.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "settings/ConfigWindow.h"

void TMainWindow::OpenSettings() {
    TConfigWindow* config = application_.Config();
    if (!config) return;
    if (notifier_) NotifyCompanion(*notifier_, config, CompanionNotice::Settings);
    config->ShowSettings();
    // However the window was closed, its close box included. A file that cannot be written is
    // told in a box over this window, and its values stay in force.
    config->SetOwnerWindow(Handle());
    config->SaveSettings();
    config->LoadSettings();
    config->SetOwnerWindow(nullptr);
    ApplyDisplaySettings();
}
