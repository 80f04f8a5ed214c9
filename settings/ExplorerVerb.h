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

// The command line the verb runs for `program` (a full path): "program" /ExplorerVerb "%1".
std::wstring ExplorerVerbCommand(const std::wstring& program);

// Whether both entries (files and folders) exist and run `program`.
bool ExplorerVerbPointsAt(const std::wstring& program);

// Writes both entries for `program`, replacing whatever they held. False when the registry
// refused a write.
bool RegisterExplorerVerb(const std::wstring& program);

// Removes each entry that runs `program` and leaves one that runs another copy. False when an
// entry of `program` could not be removed.
bool RemoveExplorerVerb(const std::wstring& program);

// The command an entry holds ("*" or "Directory"); empty when there is none.
std::wstring ExplorerVerbCommandOf(const wchar_t* itemClass);
