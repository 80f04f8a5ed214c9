#pragma once

// The current user's Recycle Bin on the fixed drives: finding it, reading its records and
// destroying its items. Each drive keeps the user's deleted items in
// "<root>$Recycle.Bin\<the user's SID>\": for every item a content entry "$R…" (a file or a
// whole folder) and a record "$I…" holding the original path, both with the same ending.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Types.h"
#include "engine/Verify.h"

// What a "$I…" record says.
struct RecycleRecord {
    int version = 0;  // 1 or 2
    std::uint64_t size = 0;
    FILETIME deleted{};
    std::wstring originalPath;
};

// Reads a record's bytes; nothing when they are not a record of a known version.
std::optional<RecycleRecord> ParseRecycleRecord(const std::string& bytes);

// One deleted item: its content, its record, or both.
struct RecycleItem {
    std::wstring contentPath;   // the "$R…" entry; empty when there is none
    std::wstring recordPath;    // the "$I…" entry; empty when there is none
    std::wstring originalPath;  // from the record; empty when unknown
    std::uint64_t size = 0;     // from the record, else the content file's length
    bool folder = false;        // the content is a folder
    std::wstring binFinal;      // the final path of the user's folder when it was checked

    // The name its log line shows: the original full path, or the entry's own name with
    // "(元の名前不明)".
    std::wstring LogName() const;
};

// The user's folder on one drive.
struct RecycleBinDrive {
    std::wstring root;    // "D:\"
    std::wstring folder;  // root + "$Recycle.Bin\" + the SID
    // The folder may have been made by someone else (a link, or an owner that is not the user,
    // SYSTEM or Administrators): nothing of it is touched.
    bool foreign = false;
    std::vector<RecycleItem> items;
};

// The user's folders on `roots` that exist (foreign ones included, without items).
std::vector<RecycleBinDrive> FindRecycleBins(const std::vector<std::wstring>& roots);
// The same on every fixed drive (through the drive list seam).
std::vector<RecycleBinDrive> FindRecycleBins();

// Destroys one item: its content like a listed file (a folder walked, never into links, and
// its emptied folders removed; a link removed as a link), then its record. True when both are
// gone; content that stays keeps its record. With `readBack` given, every file is read back
// after its last pass, and what the first one not read back as written found is stored there.
// With `leftover` given, it says whether an erased file of the item left old data in free
// clusters of its drive: seen freed, or only possible by its attributes
// (`EraseOutcome::LeftSomething`).
enum class Leftover { None, Possible, Seen };
bool EraseRecycleItem(const RecycleItem& item, EraseLevel level, HWND progressBar = nullptr,
                      HWND percentLabel = nullptr, ReadBack* readBack = nullptr, Leftover* leftover = nullptr);

// How the item's log line ends after its name: an erased item that left old data says so as a
// listed file does.
std::wstring RecycleItemLogEnding(const RecycleItem& item, bool erased, ReadBack readBack,
                                  Leftover leftover = Leftover::None);

// Tells the shell the Recycle Bin changed, so its icon shows it empty.
void RefreshRecycleBinIcon();

// The message for a drive whose folder was left alone.
std::wstring ForeignRecycleBinMessage(const std::wstring& root);

// The question asked before the Recycle Bin is erased.
std::wstring RecycleBinQuestion(const std::vector<RecycleBinDrive>& drives);
// "N 個 (size)" for the history tools' question.
std::wstring RecycleBinSummary(const std::vector<RecycleBinDrive>& drives);
std::size_t RecycleItemCount(const std::vector<RecycleBinDrive>& drives);
std::uint64_t RecycleItemBytes(const std::vector<RecycleBinDrive>& drives);

// The current user's SID as text ("S-1-5-21-…"); empty when the system does not say.
std::wstring CurrentUserSid();

// Seams: the drive list, and the shell's notices (they show nothing under Wine).
struct RecycleBinSeams {
    std::function<std::vector<std::wstring>()> fixedDrives;  // roots, "C:\"
    std::function<void()> refreshShell;
};
// Replaces the seams and returns the previous ones; an empty member means the system's own.
RecycleBinSeams SetRecycleBinSeams(RecycleBinSeams seams);
