#pragma once

// The four messages the program sends to the desktop companion, and the rule for sending
// them: only with "#Use SSTP" on and no power-off after the run.

#include <string>

#include "notify/SSTP.h"

class TConfigWindow;

enum class CompanionNotice {
    Start = 0,     // at the end of start-up, once the profile's settings are loaded
    RunEnd = 1,    // at the end of every erase run
    Version = 2,   // by the version command, while the companion is running
    Settings = 3,  // by the settings command, just before the settings window opens
};

// The script line of a notification, complete with its "Script: " prefix; empty for a kind
// that is none of the four.
std::wstring CompanionScript(CompanionNotice kind);

// Sends the notification when `config` has "#Use SSTP" on and PowerOffAfterRun off; a null
// settings object sends nothing.
void NotifyCompanion(TSSTP& sstp, const TConfigWindow* config, CompanionNotice kind);
// The same with the program's settings object (ConfigWindow()).
void NotifyCompanion(TSSTP& sstp, CompanionNotice kind);
