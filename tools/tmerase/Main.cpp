// tmerase: the erase engine from a console.
//   tmerase [--level speed|normal|high] [--recurse] [--report REPORT] PATH...
//   tmerase --free-space [--level speed|normal|high] [--report REPORT] FOLDER
// Prints the run log's line for every file; exit status 0 when every file was erased,
// 1 when any was not (or a path did not exist, or the report could not be written), 2 for a
// usage error. With --report the erasure report of the run is written at its end (HTML or
// CSV by the name's extension), also when the run failed or was stopped.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "common/Types.h"
#include "engine/EraseFunc.h"
#include "report/ErasureReport.h"
#include "tools/tmerase/FreeSpaceCommand.h"

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
    L"使い方: tmerase [--level speed|normal|high] [--recurse] [--report REPORT] PATH...\r\n"
    L"  ファイルを上書きしてから削除します。フォルダはその中のファイルを処理します。\r\n"
    L"  --level    消去レベル (既定: speed)\r\n"
    L"  --recurse  フォルダのサブフォルダも処理する\r\n"
    L"  --report   終了時に抹消レポートを REPORT に書く (拡張子 .html または .csv で形式を選ぶ)\r\n"
    L"使い方: tmerase --free-space [--level speed|normal|high] [--report REPORT] FOLDER\r\n"
    L"  FOLDER のあるドライブの空き領域を上書きします (作業ファイルは FOLDER に作られ、最後に削除されます)。";

struct Options {
    EraseLevel level = EraseLevel::Speed;
    bool recurse = false;
    bool freeSpace = false;
    std::wstring report;  // empty: none
    ReportForm reportForm = ReportForm::Html;
    std::vector<std::wstring> paths;
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
        } else if (!optionsEnded && (arg == L"--level" || arg.rfind(L"--level=", 0) == 0)) {
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
    if (options.freeSpace && (options.paths.size() != 1 || options.recurse)) return ParseResult::Error;
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

    ErasureRecorder recorder;
    const std::wstring reportPath = options.report.empty() ? std::wstring() : FullPath(options.report);
    if (!reportPath.empty()) {
        if (!ReportPathUsable(reportPath)) {
            WriteLine(err, L"レポートを書き込めません: " + reportPath);
            return 2;
        }
        recorder.Begin(kLevelNames[static_cast<int>(options.level)], L"", false);
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

    bool allErased = true;
    const std::wstring level = LevelText(options.level);
    for (const auto& file : files) {
        if (g_abortRequested) {
            // Not touched after a Ctrl+C; the report lists them as not reached.
            allErased = false;
            if (!reportPath.empty())
                recorder.RecordFile(file.path, FileSizeByName(file.path), 0, level, FileResult::NotReached, L"", L"");
            continue;
        }
        const std::int64_t size = reportPath.empty() || !file.addressable ? -1 : FileSizeByName(file.path);
        const bool erased = file.addressable && OverwriteFile(file.path, options.level);
        allErased = allErased && erased;
        const std::wstring line = L"ファイル名:" + file.name +
                                  (erased ? L"をディスクから抹消しました。" : L"を正しく処理出来ませんでした。");
        WriteLine(out, line);
        if (reportPath.empty()) continue;
        // The engine answers yes or no: what a failed file got written is not known.
        const FileResult result = erased ? FileResult::Erased
                                  : g_abortRequested ? FileResult::Stopped
                                                     : FileResult::NotProcessed;
        recorder.RecordFile(file.path, size, erased ? BytesWrittenAtLevel(size, options.level) : -1, level, result,
                            line, L"");
    }
    return finish(allErased ? 0 : 1);
}
