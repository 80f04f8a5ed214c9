// tmerase: the erase engine from a console.
//   tmerase [--level speed|normal|high] [--recurse] [--verify] [--report REPORT] PATH...
//   tmerase --free-space [--level speed|normal|high] [--report REPORT] FOLDER
//   tmerase --recycle-bin [--level speed|normal|high] [--yes] [--verify] [--report REPORT] [DRIVE...]
//   tmerase --traces ENTRY[,ENTRY...] [--profile NAME] [--preview]
// Prints the run log's line for every file (and the notes on a drive or a synchronised folder
// before its first file; with --verify, then the count of files read back as written); exit
// status 0 when every file was erased with nothing known left behind, 1 when any was not
// processed (or a path did not exist, or the report could not be written), 2 for a usage error,
// 3 when every file was erased but old data of some is known or may be left in free clusters.
// With --report the erasure report of the run is written at its end (HTML or CSV by the name's
// extension), also when the run failed or was stopped.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "common/Types.h"
#include "engine/EraseFunc.h"
#include "report/ErasureReport.h"
#include "engine/FileHolders.h"
#include "tools/tmerase/FreeSpaceCommand.h"
#include "tools/tmerase/RecycleBinCommand.h"
#include "tools/tmerase/TracesCommand.h"

namespace {

std::atomic<bool> g_abortRequested{false};

BOOL WINAPI ConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // The current file stops being written and stays, uncut, under its name; the rest are skipped.
        g_abortRequested = true;
        return TRUE;
    }
    return FALSE;
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// One line to a console as UTF-16, or to a pipe or file in code page 932 with CR LF.
void WriteLine(HANDLE handle, const std::wstring& line) {
    if (IsConsole(handle)) {
        const std::wstring text = line + L"\r\n";
        DWORD written = 0;
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = JoinLinesCrLf({line});
    DWORD written = 0;
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

const wchar_t kUsage[] =
    L"使い方: tmerase [--level speed|normal|high] [--recurse] [--verify] [--report REPORT] PATH...\r\n"
    L"  ファイルを上書きしてから削除します。フォルダはその中のファイルを処理します。\r\n"
    L"  --level    消去レベル (既定: speed)\r\n"
    L"  --recurse  フォルダのサブフォルダも処理する\r\n"
    L"  --verify   書き込んだ内容をディスクから読み戻して確認してから削除する\r\n"
    L"  --report   終了時に抹消レポートを REPORT に書く (拡張子 .html または .csv で形式を選ぶ)\r\n"
    L"使い方: tmerase --free-space [--level speed|normal|high] [--report REPORT] FOLDER\r\n"
    L"  FOLDER のあるドライブの空き領域を上書きします (作業ファイルは FOLDER に作られ、最後に削除されます)。\r\n"
    L"使い方: tmerase --recycle-bin [--level speed|normal|high] [--yes] [--verify] [--report REPORT] [DRIVE...]\r\n"
    L"  ごみ箱の中身を抹消します (既定: すべての固定ドライブ)。\r\n"
    L"  --yes      確認せずに抹消する\r\n"
    L"使い方: tmerase --traces ENTRY[,ENTRY...] [--profile NAME] [--preview]\r\n"
    L"  履歴抹消ツールの項目を、プロファイル NAME (既定: DefaultUser) の抹消レベルで抹消します。\r\n"
    L"  --preview  抹消せずに、項目ごとに抹消する内容を表示する\r\n"
    L"  ENTRY: recent, ie-cookies, ie-cache, ie-history, edge-cache, edge-cookies, edge-history,\r\n"
    L"         chrome-cache, chrome-cookies, chrome-history, firefox-cache, firefox-cookies,\r\n"
    L"         firefox-history, explorer-history, recycle-bin\r\n"
    L"終了コード: 0 すべて抹消 / 1 処理できなかったファイルあり / 2 使い方の誤り /\r\n"
    L"  3 すべて抹消したが、元のデータの一部が空き領域に残っている (可能性がある) ファイルあり";

struct Options {
    EraseLevel level = EraseLevel::Speed;
    bool recurse = false;
    bool freeSpace = false;
    bool verify = false;
    std::wstring report;  // empty: none
    ReportForm reportForm = ReportForm::Html;
    bool recycleBin = false;
    bool yes = false;
    std::vector<std::wstring> paths;
    std::optional<std::vector<std::uint16_t>> traces;  // --traces: the history tools' entries
    std::wstring profile = L"DefaultUser";
    bool levelGiven = false;
    bool preview = false;
};

enum class ParseResult { Ok, Help, Error };

ParseResult Parse(int argc, wchar_t** argv, Options& options) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (!optionsEnded && arg == L"--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == L"--help" || arg == L"-h" || arg == L"/?")) {
            return ParseResult::Help;
        } else if (!optionsEnded && arg == L"--recurse") {
            options.recurse = true;
        } else if (!optionsEnded && arg == L"--verify") {
            options.verify = true;
        } else if (!optionsEnded && arg == L"--free-space") {
            options.freeSpace = true;
        } else if (!optionsEnded && (arg == L"--report" || arg.rfind(L"--report=", 0) == 0)) {
            if (arg == L"--report") {
                if (++i >= argc) return ParseResult::Error;
                options.report = argv[i];
            } else {
                options.report = arg.substr(9);
            }
            if (!ReportFormOf(options.report, options.reportForm)) return ParseResult::Error;
        } else if (!optionsEnded && arg == L"--recycle-bin") {
            options.recycleBin = true;
        } else if (!optionsEnded && arg == L"--yes") {
            options.yes = true;
        } else if (!optionsEnded && arg == L"--preview") {
            options.preview = true;
        } else if (!optionsEnded && (arg == L"--traces" || arg == L"--profile")) {
            if (++i >= argc) return ParseResult::Error;
            if (arg == L"--profile") {
                options.profile = argv[i];
            } else if (!(options.traces = ParseTraceEntries(argv[i]))) {
                return ParseResult::Error;
            }
        } else if (!optionsEnded && (arg == L"--level" || arg.rfind(L"--level=", 0) == 0)) {
            options.levelGiven = true;
            std::wstring value;
            if (arg == L"--level") {
                if (++i >= argc) return ParseResult::Error;
                value = argv[i];
            } else {
                value = arg.substr(8);
            }
            if (value == L"speed") options.level = EraseLevel::Speed;
            else if (value == L"normal") options.level = EraseLevel::Normal;
            else if (value == L"high") options.level = EraseLevel::High;
            else return ParseResult::Error;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == L'-') {
            return ParseResult::Error;
        } else {
            options.paths.push_back(arg);
        }
    }
    if (options.preview && !options.traces) return ParseResult::Error;
    // The entries take their levels from the profile, and no path.
    if (options.traces)
        return options.paths.empty() && !options.freeSpace && !options.recurse && !options.levelGiven &&
                       !options.verify && options.report.empty() && !options.recycleBin && !options.yes
                   ? ParseResult::Ok
                   : ParseResult::Error;
    if (options.recycleBin) return options.freeSpace || options.recurse ? ParseResult::Error : ParseResult::Ok;
    if (options.yes) return ParseResult::Error;
    if (options.freeSpace && (options.paths.size() != 1 || options.recurse || options.verify)) return ParseResult::Error;
    return options.paths.empty() ? ParseResult::Error : ParseResult::Ok;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD n = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (n == 0 || n >= needed) return path;
    full.resize(n);
    // A folder given with a trailing backslash is gathered without doubling it.
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

const wchar_t* const kLevelNames[] = {L"Speed", L"Normal", L"High"};

// Whether a report can be written at `path`: its folder exists and it is not a read-only file
// or a folder. Asked before anything is erased, so that a run is not left without its report.
bool ReportPathUsable(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    const DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ||
           !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

// One file of the run: its path and the name its log line shows.
struct RunFile {
    std::wstring path;
    std::wstring name;
    bool addressable = true;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);

    Options options;
    switch (Parse(argc, argv, options)) {
        case ParseResult::Help:
            WriteLine(out, kUsage);
            return 0;
        case ParseResult::Error:
            WriteLine(err, kUsage);
            return 2;
        case ParseResult::Ok:
            break;
    }

    ::SetConsoleCtrlHandler(ConsoleControl, TRUE);
    EraseEnvironment environment;
    environment.abortRequested = &g_abortRequested;
    if (IsConsole(err)) {
        environment.progress = [err](int percent) {
            const std::wstring text = L"\r" + std::to_wstring(percent) + L"%   ";
            DWORD written = 0;
            ::WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            if (percent == 100) ::WriteConsoleW(err, L"\r       \r", 9, &written, nullptr);
        };
    }
    SetEraseEnvironment(environment);
    if (options.traces)
        return RunTracesCommand(*options.traces, options.profile, options.preview,
                                [out](const std::wstring& line) { WriteLine(out, line); });

    ErasureRecorder recorder;
    const std::wstring reportPath = options.report.empty() ? std::wstring() : FullPath(options.report);
    if (!reportPath.empty()) {
        if (!ReportPathUsable(reportPath)) {
            WriteLine(err, L"レポートを書き込めません: " + reportPath);
            return 2;
        }
        recorder.Begin(kLevelNames[static_cast<int>(options.level)], L"", options.verify);
    }
    // Written however the run ended; a report that could not be written fails the run.
    const auto finish = [&](int status) {
        if (reportPath.empty()) return status;
        recorder.End(g_abortRequested);
        ::SetLastError(ERROR_SUCCESS);
        if (WriteErasureReport(reportPath, options.reportForm, recorder.Report())) return status;
        WriteLine(err, L"レポートを保存できませんでした: " + reportPath + L" (エラー " + std::to_wstring(::GetLastError()) + L")");
        return 1;
    };
    if (options.freeSpace)
        return finish(RunFreeSpaceCommand(FullPath(options.paths.front()), options.level,
                                          [out](const std::wstring& line) { WriteLine(out, line); }, g_abortRequested,
                                          reportPath.empty() ? nullptr : &recorder));

    if (options.recycleBin)
        return finish(RunRecycleBinCommand(options.paths, options.level, options.yes, options.verify,
                                           [out](const std::wstring& line) { WriteLine(out, line); },
                                           reportPath.empty() ? nullptr : &recorder));

    std::vector<RunFile> files;
    for (const auto& path : options.paths) {
        const std::wstring full = FullPath(path);
        const DWORD attributes = FsGetAttributes(full);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // Every entry gathered ends in a line: folders are passed over (their files are
            // gathered when descending), everything else is tried, and what cannot even be
            // named fails.
            CollectFolderEntries(
                full, std::wstring(),
                [&](const FolderEntry& entry) {
                    if (entry.folder && (!options.recurse || (!entry.link && entry.addressable))) return;
                    files.push_back({entry.path, entry.name, entry.addressable});
                },
                options.recurse);
        } else {
            files.push_back({full, ExtractFileName(full), true});  // a missing path gives a failure line
        }
    }

    // A file not processed decides the status before any leftovers; the notes never do.
    bool allErased = true;
    bool leftSomething = false;
    EraseRunNotes notes;
    int verified = 0;
    const std::wstring level = LevelText(options.level);
    for (const auto& file : files) {
        if (g_abortRequested) {
            // Not touched after a Ctrl+C; the report lists them as not reached.
            allErased = false;
            if (!reportPath.empty())
                recorder.RecordFile(file.path, FileSizeByName(file.path), 0, level, FileResult::NotReached, L"", L"");
            continue;
        }
        EraseOutcome outcome;
        if (file.addressable) outcome = EraseFile(file.path, options.level, nullptr, nullptr, options.verify);
        else outcome.logEnding = EraseLogEnding(outcome);
        for (const std::wstring& note : notes.Before(outcome)) {
            WriteLine(out, note);
            if (!reportPath.empty()) recorder.AddDriveNote(file.path, note);
        }
        allErased = allErased && outcome.kind == EraseOutcome::Kind::Erased;
        leftSomething = leftSomething || outcome.LeftSomething();
        if (outcome.readBack == ReadBack::Matched) ++verified;
        // A file another program holds names the programs holding it.
        const std::wstring line =
            L"ファイル名:" + file.name +
            (file.addressable && outcome.kind == EraseOutcome::Kind::NotErased && outcome.readBack == ReadBack::NotChecked
                 ? NotErasedEnding(file.path)
                 : outcome.logEnding);
        WriteLine(out, line);
        if (!reportPath.empty())
            recorder.RecordFile(file.path, outcome.size, outcome.bytesWritten, level,
                                ReportResultOf(outcome, g_abortRequested), line, ReportVerifyText(outcome.readBack));
    }
    if (options.verify) WriteLine(out, L"確認数:" + std::to_wstring(verified) + L"ファイル");
    return finish(!allErased ? 1 : leftSomething ? 3 : 0);
}
