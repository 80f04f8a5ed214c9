#pragma once

// The command in Explorer's right-click menu of files and folders: a per-user verb (under
// HKCU\Software\Classes, no administrator rights) that starts the program with the switch
// below before the selected item. Explorer starts one process per selected item (at most 15);
// the program's entry makes them meet in one window. The installer writes the same entries.

#include <string>

// The verb's key name under "*\shell" and "Directory\shell", and the menu's caption.
inline constexpr wchar_t kExplorerVerbKey[] = L"TIDEMARROW32SE";
inline constexpr wchar_t kExplorerVerbCaption[] = L"TIDEMARROW32 SEで抹消";
// The first argument of a start from the verb; only the verb passes it.
inline constexpr wchar_t kExplorerVerbSwitch[] = L"/ExplorerVerb";

// The start from the Recycle Bin's own right-click menu: erase the Recycle Bin.
inline constexpr wchar_t kRecycleBinSwitch[] = L"/RecycleBin";
// The Recycle Bin's class, under whose "shell" key the per-user command lives.
inline constexpr wchar_t kRecycleBinClassKey[] = L"Software\\Classes\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}";

// The command line the verb runs for `program` (a full path): "program" /ExplorerVerb "%1".
std::wstring ExplorerVerbCommand(const std::wstring& program);

// The Recycle Bin's command for `program`: "program" /RecycleBin.
std::wstring RecycleBinVerbCommand(const std::wstring& program);
// The command the Recycle Bin's entry holds; empty when there is none.
std::wstring RecycleBinVerbCommandOf();

// Whether all three entries (files, folders, the Recycle Bin) exist and run `program`.
bool ExplorerVerbPointsAt(const std::wstring& program);

// Writes the three entries for `program`, replacing whatever they held. False when the registry
// refused a write.
bool RegisterExplorerVerb(const std::wstring& program);

// Removes each entry that runs `program` and leaves one that runs another copy; the Recycle
// Bin's "shell" and class keys go too when that leaves them empty (no value, no sub-key). False
// when an entry of `program` could not be removed.
bool RemoveExplorerVerb(const std::wstring& program);

// The command an entry holds ("*" or "Directory"); empty when there is none.
std::wstring ExplorerVerbCommandOf(const wchar_t* itemClass);
