#pragma once

// The free-space erase: fills the free space of the volume a chosen folder lies on with the
// words of an erase level, so that what earlier deleted files left in free clusters (and, on
// NTFS, small files inside free records of the master file table) is overwritten; then
// deletes everything it made.
//
// The fill lives in a hidden folder made in the chosen folder itself ("~TIDEMARROW.free",
// holding the marker "~TIDEMARROW.marker"). Other accounts may write in the chosen folder (a
// drive root), so the folder is made with a protected security descriptor (this user and
// SYSTEM), and the run holds it and its "records" folder open from start to end: every file
// and folder inside is made, reopened and deleted relative to a held folder handle, never by
// its path, so that an entry swapped for a link leads nowhere else. Before it writes
// anything, a run records that folder in the shared record file (one folder a line, rewritten
// under a named lock), so that a run cut short (a killed process) is cleaned up at the next
// start by `CleanUpFreeSpaceLeftovers`. One run at a time per volume: a lock file per volume
// is held open in the user's local application-data folder.
//
// The files are numbered: "fill" + at least 5 digits, "rec" + at least 6 digits and the
// folders "d" + at least 6 digits, each + ".tmf"; a number that outgrows its digits takes more.
//
// Everything runs on the caller's thread. The run services the window messages and reads the
// abort flag of the engine's environment (`SetEraseEnvironment`) every few milliseconds.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
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
    std::int64_t cleaned = 0;        // files and folders deleted by the cleanup so far
    std::int64_t toClean = 0;        // of so many
};

struct FreeSpaceResult {
    bool overwritten = false;     // every pass covered the free space
    bool stopped = false;         // the abort flag ended the run
    bool cleanedUp = false;       // every file made and the folder are gone
    bool recordStepRan = false;   // small files were made while the disk was full
    std::int64_t recordFiles = 0;   // small files that kept data inside their record
    std::int64_t recordBytes = 0;   // the data written into each of them (the last size that fitted)
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
    // The record step's folders, by number: where each lies (-1: the "records" folder), and
    // handles to the folders met last, each opened relative to the one above.
    class FolderChain;

    FreeSpaceResult Work();
    bool Prepare();
    bool FillPass();
    void FillRecords();
    bool GiveBack();
    bool RewritePass(int pass);
    // Deletes everything made, the fill first. `service`: tell the progress and service
    // messages meanwhile (a session end met there finishes the cleanup itself).
    void CleanUp(bool service);
    // Services messages and tells the progress when due; false when the run is to end.
    bool GoOn(bool force = false);
    // Opens a file the run made (or makes one) relative to a held folder; a file someone else
    // holds for a moment is asked for again a few times.
    HANDLE OpenInFolder(HANDLE folder, const std::wstring& name, DWORD disposition);
    HANDLE RecordFolder(std::int64_t index);
    std::wstring RecordFolderPath(std::int64_t index) const;
    std::int64_t VolumeFree(bool forCaller = false) const;

    std::wstring folder_;
    std::wstring fillFolder_;
    EraseLevel level_;
    std::wstring recordFile_;
    int passes_;
    bool running_ = false;
    bool endedNow_ = false;       // StopAndCleanUpNow ran
    bool recorded_ = false;
    std::size_t sector_ = 512;
    std::size_t firstRecordSize_ = 0;  // where the record step's size ladder starts
    UniqueFile volumeLock_;
    UniqueFile fillDir_;          // the fill folder, held from its making to its deletion
    UniqueFile marker_;
    UniqueFile recordsDir_;       // the small files' folder, held likewise
    UniqueFile current_;          // the file being written
    std::vector<std::int64_t> fillSizes_;      // fill file i is "fill" + i
    std::vector<std::int64_t> folderParents_;  // record folder i is "d" + i, in its parent
    std::vector<std::int64_t> fileParents_;    // record file i is "rec" + i, in its parent
    std::vector<std::int64_t> recordSizes_;    // the data each small file took
    std::unique_ptr<FolderChain> chain_;
    std::int64_t givenBack_ = 0;
    std::int64_t filesAtGiveBack_ = -1;
    std::size_t cleanStep_ = 0;   // how far the cleanup has come (a session end continues it)
    int cleanLeft_ = 0;           // entries the cleanup could not delete
    FreeSpaceProgress shown_;
    ULONGLONG lastService_ = 0;
    FreeSpaceResult result_;      // the run's result; a cleanup at the session end adds to it
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

// The shared record file of the window (every profile) and `tmerase`: "TIDEMARROW32 SE\FreeSpace.txt"
// in the user's local application-data folder (made when missing); empty when the system does
// not say where.
std::wstring ConsoleFreeSpaceRecord();

// Moves the lines of an older record file (a profile's own, from earlier versions) into
// `recordFile` and deletes the older one; nothing when it does not exist.
void MoveFreeSpaceRecord(const std::wstring& olderRecord, const std::wstring& recordFile);

// What the run asks the system about the volume and its files; tests replace the answers.
// Each default asks the system.
struct FreeSpaceSeams {
    // The volume's free bytes (`forCaller`: those this user may still fill); -1 when unknown.
    std::function<std::int64_t(const std::wstring& folder, bool forCaller)> freeBytes;
    // The size of a file record of the volume the open folder lies on
    // (FSCTL_GET_NTFS_VOLUME_DATA); 0 when the system does not say.
    std::function<DWORD(HANDLE folder)> fileRecordSize;
    // The attributes of an open file (asked again after the fill file was made uncompressed).
    std::function<DWORD(HANDLE file)> fileAttributes;
};
// Replaces the seams and returns the previous ones.
FreeSpaceSeams SetFreeSpaceSeams(FreeSpaceSeams seams);

// The record step's data sizes, largest first: the first one tried fits a record of
// `recordSize` bytes (0: not known, so the largest, for records of 4 KiB).
std::vector<std::size_t> FreeSpaceRecordSizes(DWORD recordSize);

// A byte count for people: "1.5 GB", "12.0 MB", "512 KB", "300 バイト".
std::wstring FreeSpaceBytesText(std::int64_t bytes);
// A time left for people: "2 時間 5 分", "3 分 20 秒", "40 秒".
std::wstring FreeSpaceTimeText(std::uint64_t seconds);
