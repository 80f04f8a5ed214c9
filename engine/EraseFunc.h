#pragma once

// The erase engine: destroys one file in place and gathers the entries of a folder.
// Everything here runs on the caller's thread; `OverwriteFile` keeps a window alive by
// servicing pending messages at every progress tick (through the servicer the application
// installs, or the one its thread put in place) and then reads the abort flag it was handed.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Verify.h"

#include "common/FileSystem.h"
#include "common/Types.h"

// Words written between two progress ticks.
constexpr int kWordsPerTick = 150;
// At a tick the display is updated and messages are serviced only when at least this many
// milliseconds have passed since the last servicing (or the start of the file); the abort
// flag is read at every tick.
constexpr ULONGLONG kServiceIntervalMs = 15;

// The clock that spaces the display and the message servicing, in milliseconds: the system's
// tick count unless a test's seam replaces it. Front ends space their own displays by it too.
ULONGLONG ServiceClockNow();

// What the engine needs from the program around it. Installed once at start; a thread that
// erases for a window on another thread puts its own in place for its calls
// (`ThreadEraseEnvironment`).
struct EraseEnvironment {
    // Read at every progress tick; a set flag ends the writing of the current file, which then
    // stays uncut under its own name (the result is false).
    const std::atomic<bool>* abortRequested = nullptr;
    // Services all pending window messages of the application; none when there is no window.
    // Called at a tick once the service interval has passed.
    void (*serviceMessages)() = nullptr;
    // Told each percentage the display shows (0 at the start, changes at ticks, 100 at the end),
    // for front ends without controls.
    std::function<void(int percent)> progress;
};

// Replaces the installed environment and returns the previous one.
EraseEnvironment SetEraseEnvironment(EraseEnvironment environment);
// The environment of the calling thread's erasures: its own while a `ThreadEraseEnvironment`
// lives on it, else the installed one.
const EraseEnvironment& CurrentEraseEnvironment();

// The engine's calls on the thread that makes this object see `environment` until it goes.
class ThreadEraseEnvironment {
public:
    explicit ThreadEraseEnvironment(EraseEnvironment environment);
    ~ThreadEraseEnvironment();
    ThreadEraseEnvironment(const ThreadEraseEnvironment&) = delete;
    ThreadEraseEnvironment& operator=(const ThreadEraseEnvironment&) = delete;

private:
    EraseEnvironment environment_;
    const EraseEnvironment* previous_;
};

// What the erasure of one file will do, decided from what the system said about it.
struct ErasePlan {
    enum class Refusal {
        None,
        NotAFile,        // missing, or a folder
        Link,            // a reparse point that is not a cloud placeholder: never written through
        CloudOnly,       // a placeholder whose content is only in the cloud: never opened for data
        HolesUnknown,    // a sparse file whose data ranges cannot be asked: writing it whole would fill its holes
    } refusal = Refusal::None;
    // The passes write these ranges, in order, one pass over all of them at a time; then the
    // same passes go over `tip` (the rest of the last cluster past the file's end).
    std::vector<ByteRange> ranges;
    std::vector<ByteRange> tip;
    // The file's data may lie in clusters the passes do not reach (compressed, encrypted,
    // sparse): the clusters are compared after the passes when they could be asked.
    bool movesItsClusters = false;
    bool encrypted = false;
};

// The plan for a file of these facts. Before the file is opened (`facts.opened` false) only the
// refusal is decided.
ErasePlan PlanErase(const FileFacts& facts, EraseLevel level);

// What became of one file.
struct EraseOutcome {
    enum class Kind {
        Erased,       // overwritten, cut and deleted (leftovers below may still be known)
        NotErased,    // not processed: missing, refused, a refused write, an abort, not deleted
        CloudOnly,    // a cloud placeholder that was not opened
    } kind = Kind::NotErased;
    // What follows "ファイル名:" + name on the file's line.
    std::wstring logEnding;
    // The file's length when it was looked at (-1 when it could not be).
    std::int64_t size = -1;
    // Bytes written over all passes, tips included.
    std::int64_t bytesWritten = 0;
    // Clusters that held the file before the passes and were freed by them, with their content.
    std::int64_t leftoverClustersSeen = 0;
    // Old data may be left on the disk although no freed cluster was seen (compressed, encrypted
    // or sparse file whose clusters could not be asked, or a refused write to the tip).
    bool leftoverPossible = false;
    // The tip past the file's end was planned and a write to it was refused or stopped.
    bool tipRefused = false;
    // Opened for writing only: the questions that need reading were not asked.
    bool writeOnly = false;
    // Encrypted: a plain copy may be left from when it was first encrypted.
    bool encrypted = false;
    // The root of the drive it lay on (such as C:\ or \\server\share\ ), empty when the path has none.
    std::wstring driveRoot;
    // The synchronised folder of a cloud placeholder erased here in full, empty when none or unknown.
    std::wstring syncRoot;

    // What the read-back of the last pass found (NotChecked without one).
    ReadBack readBack = ReadBack::NotChecked;

    bool LeftSomething() const { return kind == Kind::Erased && (leftoverClustersSeen > 0 || leftoverPossible); }
};

// Erases one file (see `OverwriteFile`) and says what became of it. With `verify`, what the last
// pass wrote is read back from the disk before the cut (the display counts it as one more pass);
// a file whose read-back did not match stays uncut under its own name.
EraseOutcome EraseFile(const std::wstring& fileName, EraseLevel level, HWND progressBar = nullptr,
                       HWND percentLabel = nullptr, bool verify = false);

// The wording of a file's line after its name, for the outcome's kind and leftovers.
std::wstring EraseLogEnding(const EraseOutcome& outcome);

// The notes a run's log gives once per drive and once per synchronised folder, just before the
// line of the first file there: what an overwrite cannot promise on that medium or folder.
class EraseRunNotes {
public:
    // The notes due before the line of the file of `outcome` (none once said).
    std::vector<std::wstring> Before(const EraseOutcome& outcome);

private:
    std::vector<std::wstring> drives_;
    std::vector<std::wstring> syncRoots_;
};

// The notes on a drive with these facts; none when nothing could be asked.
std::vector<std::wstring> DriveNotes(const std::wstring& root, const DriveFacts& facts);

// Overwrites the file in place with the passes of `level`, cuts it to nothing, renames it to
// "$" + name (when no such file exists) and deletes it. `progressBar` (range 0..100) and
// `percentLabel` are both given or both null. True only when the file was opened, rewritten
// completely without error and deleted; a refused write or an abort leaves it uncut.
// `EraseFile` says more.
// With `readBack` given, the file is erased with verification and what the read-back found is
// stored there.
bool OverwriteFile(const std::wstring& fileName, EraseLevel level, HWND progressBar = nullptr,
                   HWND percentLabel = nullptr, ReadBack* readBack = nullptr);

// Done × 100 / Total, truncated toward zero; 0 when Done is 0.
std::int64_t ProgressPercent(std::int64_t done, std::int64_t total);

// The file's length in bytes, or -1 (with an "Out of zero" report) when it cannot be opened
// for reading with sharing denied.
std::int64_t FileSizeOf(const std::wstring& fileName);

// Asks the system to shut down and switch the machine off.
void PowerOffComputer();

// One entry met by a folder scan.
struct FolderEntry {
    std::wstring path;  // the folder, "\" and the name
    std::wstring name;  // the name as the folder lists it
    bool folder = false;       // a folder that was not descended into
    bool link = false;         // a folder that is a junction or symbolic link (never descended into)
    bool addressable = true;   // false: the name cannot follow "folder\" and `path` names something else
    DWORD attributes = 0;      // as the folder lists them
    // The length the folder lists; -1 for a symbolic link or mount point, whose own length is
    // not that of what it leads to. A placeholder of a synchronised folder lists its full length.
    std::int64_t size = -1;
};

// Hands every entry of `folder` to `take`, depth first when `recurse` (folders that are
// descended into are not handed over themselves); a failure inside `take` ends the scan of
// that folder.
void CollectFolderEntries(const std::wstring& folder, const std::wstring& mask,
                          const std::function<void(const FolderEntry&)>& take, bool recurse);

// Appends the full paths of the entries of `folder` to `list` (depth first when `recurse`).
// `mask`, when not empty, is appended to `folder` to form the search pattern ("\*.txt").
void CollectFolder(const std::wstring& folder, const std::wstring& mask, std::vector<std::wstring>& list,
                   bool recurse);
// The same, handing each path to `append`; a failure inside `append` ends the scan of that folder.
// Both leave out entries whose names cannot be addressed as folder + "\" + name.
void CollectFolder(const std::wstring& folder, const std::wstring& mask,
                   const std::function<void(const std::wstring&)>& append, bool recurse);
