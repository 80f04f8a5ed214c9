// tmerase: the erase engine from a console.
//   tmerase [--level speed|normal|high] [--recurse] PATH...
//   tmerase --free-space [--level speed|normal|high] FOLDER
//   tmerase --traces ENTRY[,ENTRY...] [--profile NAME] [--preview]
// Prints the run log's line for every file; exit status 0 when every file was erased,
// 1 when any was not (or a path did not exist), 2 for a usage error.

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
#include "tools/tmerase/FreeSpaceCommand.h"
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
    L"使い方: tmerase [--level speed|normal|high] [--recurse] PATH...\r\n"
    L"  ファイルを上書きしてから削除します。フォルダはその中のファイルを処理します。\r\n"
    L"  --level    消去レベル (既定: speed)\r\n"
    L"  --recurse  フォルダのサブフォルダも処理する\r\n"
    L"使い方: tmerase --free-space [--level speed|normal|high] FOLDER\r\n"
    L"  FOLDER のあるドライブの空き領域を上書きします (作業ファイルは FOLDER に作られ、最後に削除されます)。\r\n"
    L"使い方: tmerase --traces ENTRY[,ENTRY...] [--profile NAME] [--preview]\r\n"
    L"  履歴抹消ツールの項目を、プロファイル NAME (既定: DefaultUser) の抹消レベルで抹消します。\r\n"
    L"  --preview  抹消せずに、項目ごとに抹消する内容を表示する\r\n"
    L"  ENTRY: recent, ie-cookies, ie-cache, ie-history, edge-cache, edge-cookies, edge-history,\r\n"
    L"         chrome-cache, chrome-cookies, chrome-history, firefox-cache, firefox-cookies,\r\n"
    L"         firefox-history, explorer-history";

struct Options {
    EraseLevel level = EraseLevel::Speed;
    bool recurse = false;
    bool freeSpace = false;
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
        } else if (!optionsEnded && arg == L"--preview") {
            options.preview = true;
        } else if (!optionsEnded && arg == L"--free-space") {
            options.freeSpace = true;
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
    if (options.freeSpace && (options.paths.size() != 1 || options.recurse)) return ParseResult::Error;
    if (options.preview && !options.traces) return ParseResult::Error;
    // The entries take their levels from the profile, and no path.
    if (options.traces)
        return options.paths.empty() && !options.freeSpace && !options.recurse && !options.levelGiven
                   ? ParseResult::Ok
                   : ParseResult::Error;
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
    if (options.freeSpace)
        return RunFreeSpaceCommand(FullPath(options.paths.front()), options.level,
                                   [out](const std::wstring& line) { WriteLine(out, line); });

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
    for (const auto& file : files) {
        if (g_abortRequested) {
            allErased = false;
            break;
        }
        const bool erased = file.addressable && OverwriteFile(file.path, options.level);
        allErased = allErased && erased;
        WriteLine(out, L"ファイル名:" + file.name +
                           (erased ? L"をディスクから抹消しました。" : L"を正しく処理出来ませんでした。"));
    }
    return allErased ? 0 : 1;
}
