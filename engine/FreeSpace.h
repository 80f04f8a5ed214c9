#pragma once

// The free-space erase: fills the free space of the volume a chosen folder lies on with the
// words of an erase level, so that what earlier deleted files left in free clusters (and, on
// NTFS, small files inside free records of the master file table) is overwritten; then
// deletes everything it made.
//
// The fill lives in a hidden folder made in the chosen folder itself ("~TIDEMARROW.free",
// holding the marker "~TIDEMARROW.marker", which stays open while a run works). Before it
// writes anything, a run records that folder in a record file (one folder a line), so that
// a run cut short (a killed process) is cleaned up at the next start by
// `CleanUpFreeSpaceLeftovers`. One run at a time per volume: a lock file per volume is held
// open in the user's local application-data folder.
//
// Everything runs on the caller's thread. The run services the window messages and reads the
// abort flag of the engine's environment (`SetEraseEnvironment`) every few milliseconds.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Types.h"

// The folder a run makes, and the marker inside it.
inline constexpr wchar_t kFreeSpaceFolderName[] = L"~TIDEMARROW.free";
inline constexpr wchar_t kFreeSpaceMarkerName[] = L"~TIDEMARROW.marker";

// How far a run has come.
struct FreeSpaceProgress {
    enum Stage { Filling, Records, Rewriting, CleaningUp } stage = Filling;
    int pass = 0;                    // 0-based pass being written
    int passes = 1;
    std::int64_t written = 0;        // bytes written over all passes
    std::int64_t total = 0;          // the free space at the start times the passes
    std::int64_t recordFiles = 0;    // small files made by the record step
};

struct FreeSpaceResult {
    bool overwritten = false;     // every pass covered the free space
    bool stopped = false;         // the abort flag ended the run
    bool cleanedUp = false;       // every file made and the folder are gone
    bool recordStepRan = false;   // small files were made while the disk was full
    std::int64_t recordFiles = 0;
    std::int64_t freeBefore = -1;   // the volume's free bytes at the start
    std::int64_t freeAfter = -1;    // and after the cleanup
    std::int64_t filled = 0;        // bytes of one pass on the disk (the fill files' sizes)
    std::wstring message;   // why the run did not overwrite the free space; empty when it did
    std::wstring leftover;  // what could not be removed; empty when nothing
    bool Succeeded() const { return overwritten && cleanedUp; }
};

class FreeSpaceJob {
public:
    // `folder`: the chosen folder (a drive root or a folder of the user's); `recordFile`: where
    // the run records its fill folder before it writes anything (none when empty).
    FreeSpaceJob(std::wstring folder, EraseLevel level, std::wstring recordFile);
    ~FreeSpaceJob();
    FreeSpaceJob(const FreeSpaceJob&) = delete;
    FreeSpaceJob& operator=(const FreeSpaceJob&) = delete;

    // Told at the start, every few milliseconds and at the end of each stage.
    std::function<void(const FreeSpaceProgress&)> progress;

    // Fills, rewrites and cleans up. Returns when the run ended however it ended.
    FreeSpaceResult Run();
    // A run is writing or cleaning up.
    bool Running() const { return running_; }
    // Ends the run at once: closes what it holds and deletes what it made, before returning
    // (for the end of the session). The run, when its call returns, touches nothing more.
    void StopAndCleanUpNow();

    // The fill folder of this run.
    const std::wstring& FillFolder() const { return fillFolder_; }

private:
    bool Prepare(FreeSpaceResult& result);
    bool FillPass(FreeSpaceResult& result);
    void FillRecords(FreeSpaceResult& result);
    bool GiveBack(FreeSpaceResult& result);
    bool RewritePass(int pass, FreeSpaceResult& result);
    void CleanUp(FreeSpaceResult& result);
    // Services messages and tells the progress when due; false when the run is to end.
    bool GoOn(bool force = false);
    std::int64_t VolumeFree() const;

    std::wstring folder_;
    std::wstring fillFolder_;
    EraseLevel level_;
    std::wstring recordFile_;
    int passes_;
    bool running_ = false;
    bool endedNow_ = false;       // StopAndCleanUpNow ran
    bool folderMade_ = false;
    bool recorded_ = false;
    std::size_t sector_ = 512;
    UniqueFile volumeLock_;
    UniqueFile marker_;
    UniqueFile current_;          // the file being written
    std::vector<std::wstring> fillFiles_;
    std::vector<std::int64_t> fillSizes_;
    std::wstring recordsFolder_;               // the small files' folder, and the folders below it
    std::vector<std::wstring> recordFolders_;
    std::vector<std::wstring> recordFiles_;
    std::vector<std::int64_t> recordSizes_;  // the data each small file took
    std::int64_t givenBack_ = 0;
    std::int64_t filesAtGiveBack_ = -1;
    FreeSpaceProgress shown_;
    ULONGLONG lastService_ = 0;
    FreeSpaceResult* result_ = nullptr;
};

// What the check for leftovers found in one folder.
struct FreeSpaceLeftover {
    std::wstring folder;   // the fill folder
    bool removed = false;  // it is gone
    bool inUse = false;    // a run holds it; left alone
    int files = 0;         // files of ours deleted
};

// Checks the folders recorded in `recordFile` and the root of each fixed drive for a fill
// folder left behind (with its marker) and removes the files of ours in it, and the folder
// when empty; never through a link or junction. Folders removed (or found gone) leave the
// record. Gives one entry per leftover folder met.
std::vector<FreeSpaceLeftover> CleanUpFreeSpaceLeftovers(const std::wstring& recordFile);

// The record file of `tmerase`: "TIDEMARROW32 SE\FreeSpace.txt" in the user's local
// application-data folder (made when missing); empty when the system does not say where.
std::wstring ConsoleFreeSpaceRecord();

// A byte count for people: "1.5 GB", "12.0 MB", "512 KB", "300 バイト".
std::wstring FreeSpaceBytesText(std::int64_t bytes);
// A time left for people: "2 時間 5 分", "3 分 20 秒", "40 秒".
std::wstring FreeSpaceTimeText(std::uint64_t seconds);
