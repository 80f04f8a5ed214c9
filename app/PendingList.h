#pragma once

// Files to be erased at the next start: files another program held during a run, marked by the
// user. The list lives in the profile's "Savedat\Pending.txt" (the list files' header and end
// line; each entry one line: the level word, the file's identity when it was marked as four
// hexadecimal numbers — volume serial number, file index, size, last-write time — and the full
// path, separated by tabs). While the list is not empty, a value of the program's own under the
// user's Run key starts the program with "/Pending" and the profile's name at the next logon.
//
//   std::vector<PendingEntry> entries;
//   ReadPendingList(file, entries);
//   switch (DecidePending(entry.identity, GatherPendingFacts(entry.path))) { ... }

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Types.h"

// The first argument of the start that erases a profile's pending files; the profile's name follows.
inline constexpr wchar_t kPendingSwitch[] = L"/Pending";
// The list, the log and the report of the pending erase, in the profile's data folder.
inline constexpr wchar_t kPendingListFile[] = L"Pending.txt";
inline constexpr wchar_t kPendingLogFile[] = L"PendingLog.txt";
inline constexpr wchar_t kPendingReportFile[] = L"PendingReport.html";
// The name of the program's value under the Run key.
inline constexpr wchar_t kPendingRunValueName[] = L"TIDEMARROW32SE";
// The user's Run key, under HKEY_CURRENT_USER.
inline constexpr wchar_t kUserRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// What identifies a file: if any part differs, it is not the file the user marked.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct PendingEntry {
    EraseLevel level = EraseLevel::Speed;
    FileIdentity identity;
    std::wstring path;
    bool operator==(const PendingEntry&) const = default;
};

// One entry as its line, and back; false for a line that is not an entry.
std::wstring PendingLine(const PendingEntry& entry);
bool ParsePendingLine(const std::wstring& line, PendingEntry& entry);

// Reads the list; a missing file is an empty list. Lines that are not entries are left out.
// False when the file exists but cannot be read.
bool ReadPendingList(const std::wstring& file, std::vector<PendingEntry>& entries);
// Writes the whole list under the header "[" + title + "]" (the old file stays whole until the
// new one is complete); an empty list deletes the file. False when it could not be written.
bool WritePendingList(const std::wstring& file, const std::vector<PendingEntry>& entries, const std::wstring& title);
// Adds the entries to the list, each replacing an entry of the same path.
void MergePendingEntries(std::vector<PendingEntry>& list, const std::vector<PendingEntry>& added);

// The identity of the file now, read from a handle opened without data access (so that a file
// another program holds can be asked too); false when it cannot be read.
bool ReadFileIdentity(const std::wstring& path, FileIdentity& identity);

// What is known of a listed file at the pending erase.
struct PendingFacts {
    bool found = false;          // an entry of that name exists
    bool identityKnown = false;  // its identity could be read
    FileIdentity identity;
    bool inUse = false;          // another program holds it
};
PendingFacts GatherPendingFacts(const std::wstring& path);

enum class PendingAction {
    Erase,        // the file the user marked, free now
    DropChanged,  // another file, or changed since it was marked: not erased, the entry goes
    DropMissing,  // gone: the entry goes without a word
    KeepHeld,     // still held: the entry stays for the next start
};
PendingAction DecidePending(const FileIdentity& marked, const PendingFacts& facts);

// --- the start entry under the Run key ---

// The command the value holds: the program's quoted path, "/Pending" and the profile's name
// (quoted when it holds a blank).
std::wstring PendingRunCommand(const std::wstring& program, const std::wstring& profile);
// The value's data; empty when there is none.
std::wstring PendingRunValue();
// Writes the value for this program and `profile`. False when the registry refused.
bool WritePendingRunValue(const std::wstring& profile);
// Removes the value when it starts this program for `profile`; a value that starts another
// copy, or this one for another profile, stays. False when a value of ours could not be removed.
bool RemovePendingRunValue(const std::wstring& profile);

// Whether a /Pending start for `profile` of the program in `programFolder` goes on: false, after
// removing the start entry, when the profile does not exist or its list is empty.
bool PendingStartWanted(const std::wstring& programFolder, const std::wstring& profile);

// The key the value lives in (under HKEY_CURRENT_USER) and the program it names; tests point
// them at a key and a program of their own. By default the user's Run key and this process's
// program.
struct PendingRunSeams {
    std::wstring runKey = kUserRunKey;
    std::wstring program;  // empty: this process's program
};
PendingRunSeams SetPendingRunSeams(PendingRunSeams seams);
// The program the value names.
std::wstring PendingRunProgram();
