#pragma once

// The erasure report: a record of one run that a user can file (what was erased, how, where,
// when, by which program, and what could not be reached), written as a self-contained HTML
// page or as CSV, both UTF-8.
//
// The report's input is plain data. A front end (the main window's run, tmerase) fills it
// through an ErasureRecorder: Begin with the run's facts, one RecordFile per file as the run
// goes, End when it is over. The writers read only that data.
//
//   ErasureRecorder recorder;
//   recorder.Begin(L"Normal", profile, false);
//   recorder.RecordFile(path, size, written, LevelText(level), FileResult::Erased, line, L"");
//   recorder.End(stopped);
//   WriteErasureReport(path, recorder.Report());

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Types.h"
#include "engine/EraseFunc.h"

// What became of one file. The report never claims more than the run did.
enum class FileResult {
    Erased,              // overwritten and deleted
    NotProcessed,        // the run tried and could not (held by another program, a refused write)
    Stopped,             // being written when the run was stopped: left uncut under its own name
    NotReached,          // the run was stopped before it came to this file
    CheckFailed,         // overwritten, but reading it back did not show what was written
    ErasedClustersLeft,  // erased, but clusters it once used were left behind unwritten
};

// The run as a whole.
struct ReportRun {
    std::wstring product;
    std::wstring version;
    std::wstring edition;   // "32ビット版" or "64ビット版"
    std::wstring computer;  // the computer's name
    std::wstring user;      // the Windows user's name
    std::wstring profile;   // the program's profile; empty where there is none (tmerase)
    std::wstring windows;   // as the system information names it
    std::wstring started;   // ISO 8601 with the offset: 2026-01-31T14:05:09+09:00
    std::wstring ended;
    std::int64_t elapsedMs = 0;
    std::wstring mode;  // "Speed", "Normal", "High", "Custom"
    bool verification = false;
    bool stopped = false;
};

// A drive (or mounted volume, or network share) the run touched.
struct ReportDrive {
    std::wstring root;        // "C:\", "\\server\share\", or a mounted folder
    std::wstring fileSystem;  // "NTFS"; empty when the system did not say
    std::wstring serial;      // "1A2B-3C4D"; empty when the system did not say
    std::vector<std::wstring> notes;  // as the run log has them
};

struct ReportFile {
    std::wstring path;
    std::int64_t size = -1;          // -1: not known
    std::int64_t bytesWritten = -1;  // every pass and tip together; -1: not known
    std::wstring level;              // "High: 3 回 (0xFFFE, 0x0000, 擬似乱数)"
    FileResult result = FileResult::NotProcessed;
    std::wstring reason;        // the run log's line for the file
    std::wstring verification;  // "読み戻し確認済み" or the failure; empty without verification
    std::size_t drive = 0;      // index into ErasureReport::drives
};

struct ErasureReport {
    ReportRun run;
    std::vector<ReportDrive> drives;
    std::vector<ReportFile> files;
};

struct ReportSummary {
    int erased = 0;
    int notProcessed = 0;
    std::int64_t bytesWritten = 0;  // of the files whose count is known
    bool bytesUnknown = false;      // some file's count is not known
};
ReportSummary Summarize(const ErasureReport& report);

// The words of a result, as both forms show them.
const wchar_t* ResultText(FileResult result);
// A level with its passes and words: "Normal: 2 回 (0xFFFE, 0x0000)".
std::wstring LevelText(EraseLevel level);
// The bytes the passes of `level` write over a file of `size` bytes (an odd size takes one
// byte more per pass: the words are two bytes); -1 when the size is not known.
std::int64_t BytesWrittenAtLevel(std::int64_t size, EraseLevel level);
// The result of a file the run reached, from the engine's outcome (`stopped`: the run's Stop
// came during it).
FileResult ReportResultOf(const EraseOutcome& outcome, bool stopped);
// The same from a plain answer (an item of several files): erased, or what the read-back found.
FileResult ReportResultOf(bool erased, ReadBack readBack, bool stopped);
// What the read-back found, in the report's words; empty when it did not run.
std::wstring ReportVerifyText(ReadBack readBack);
// A local time with its offset from UTC in minutes: "2026-01-31T14:05:09+09:00".
std::wstring Iso8601(const SYSTEMTIME& local, int offsetMinutes);
// A duration as the summary shows it: "4.2秒", "3分05秒", "1時間02分03秒".
std::wstring DurationText(std::int64_t milliseconds);

// --- what is asked of Windows (ReportFacts.cpp), each in one place ---
// The run's facts that come from the machine: product, version, edition, computer, user,
// Windows version.
ReportRun CurrentRunFacts();
// Now, in ISO 8601 with the local offset.
std::wstring NowIso8601();
// The volume a path lies on, with its file system and serial number as far as the system
// answers.
ReportDrive DescribeDrive(const std::wstring& path);
// The size of a file by its name (it may be held open by another program); -1 when the
// system does not say.
std::int64_t FileSizeByName(const std::wstring& path);

// Collects a run as it goes.
class ErasureRecorder {
public:
    // Starts a new record: the machine's facts, the start time, the mode's name, the profile
    // and whether written content is read back.
    void Begin(const std::wstring& mode, const std::wstring& profile, bool verification);
    // One file of the run, in the order the run took them. Its drive is looked up once per
    // volume.
    void RecordFile(const std::wstring& path, std::int64_t size, std::int64_t bytesWritten, const std::wstring& level,
                    FileResult result, const std::wstring& reason, const std::wstring& verification);
    // A note on the drive `path` lies on, as the run log words it.
    void AddDriveNote(const std::wstring& path, const std::wstring& note);
    // The end time and whether the run was stopped.
    void End(bool stopped);

    bool Begun() const { return begun_; }
    const ErasureReport& Report() const { return report_; }

private:
    std::size_t DriveOf(const std::wstring& path);

    ErasureReport report_;
    ULONGLONG startTick_ = 0;
    // The folder of the last file recorded and its drive: a folder's files ask only once.
    std::wstring lastFolder_;
    std::size_t lastDrive_ = 0;
    bool begun_ = false;
};

// --- the two forms ---
enum class ReportForm { Html, Csv };

// The form a file name asks for by its extension (".html", ".htm", ".csv", any letter case);
// false for any other.
bool ReportFormOf(const std::wstring& path, ReportForm& form);

// The CSV form's header row, exactly.
extern const wchar_t kReportCsvHeader[];

// The page, and the CSV text (CR LF after each record; fields quoted).
std::wstring ReportHtml(const ErasureReport& report);
std::wstring ReportCsv(const ErasureReport& report);

// Writes the report in `form` as UTF-8 after a byte order mark, complete or not at all (an
// old file of that name stays whole on failure). False, with the system's last error, when it
// could not be written.
bool WriteErasureReport(const std::wstring& path, ReportForm form, const ErasureReport& report);
