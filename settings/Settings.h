#pragma once

#include <cstdint>
#include <string>

// The settings of the profile in use: one field per key of Config.ini, plus the power-off
// switch, which is never saved. Index fields hold a position in their choice list, or -1
// when none is chosen.
struct Settings {
    int Erase = 0;                 // #Erase: index of an EraseMode
    bool Dropfile = false;         // #Dropfile
    bool WarningClose = true;      // #Warning close
    bool RemoveEnable = false;     // #Remove enable
    bool EraseHighspeed = false;   // #Erase highspeed
    bool ErrorReport = true;       // #Error report
    bool UseExitFunction = true;   // #UseExitFunction
    bool UseSSTP = false;          // #Use SSTP
    std::uint16_t SSTPPort = 9801; // #SSTP_Port: read, never written
    bool ShowGrid = false;         // #ShowGrid
    bool Sound = false;            // #Sound
    std::wstring SoundFile;        // #SoundFile
    int IETool01 = 0;              // #IE_TOOL_01: index of an EraseLevel (cache)
    int IETools02 = 1;             // #IE_TOOLS_02: index of an EraseLevel (cookies)
    int ETools01 = 0;              // #E_TOOLS_01: index of an EraseLevel (recent documents)
    int CustomMode = 0;            // #CustomMode: index of an EraseLevel
    bool ShowUserName = false;     // #ShowUserName
    bool AutoIn = false;           // #AutoIn
    bool RemoveReadOnly = false;   // #RemoveReadOnly
    bool Verify = false;           // #Verify: each file's last pass is read back before it is deleted
    bool PowerOffAfterRun = false; // never saved
};

constexpr int kEraseModeCount = 4;   // Speed, Normal, High, Custom
constexpr int kEraseLevelCount = 3;  // Speed, Normal, High
