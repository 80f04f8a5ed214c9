#pragma once

// The main window's commands, each named for what the user does. The number is the command's
// action id: its menu items, tool bar buttons and bound push buttons send WM_COMMAND with
// ui::kFirstActionCommand + that number. The captions, hints and images are in the window's
// one command table (MainWindow.cpp).
struct Command {
    enum Id : int {
        AddFiles = 1,
        StartRun = 2,
        ExitProgram = 3,
        ClearList = 4,
        TickAll = 5,
        UntickAll = 6,
        OpenSettings = 7,
        StopRun = 8,
        AddFolder = 9,
        ShowHelp = 10,
        RemoveUnticked = 11,
        RemoveTicked = 12,
        ShowAbout = 13,
        OpenWebSite = 14,
        ApplyMode = 15,
        RunHistoryTools = 16,
        OpenHistoryTools = 17,
        ManageProfiles = 18,
        ShowFileProperties = 19,
        ImportList = 20,
        ExportList = 21,
        RemoveSelected = 22,
        OpenFreeSpace = 23,
        EraseRecycleBin = 24,
    };
};
