// tmerase: the erase engine from a console.
//   tmerase [--level speed|normal|high] [--recurse] [--verify] PATH...
//   tmerase --free-space [--level speed|normal|high] FOLDER
// Prints the run log's line for every file (with --verify, then the count of files read back
// as written; and the notes on a drive or a synchronised folder before its first
// file); exit status 0 when every file was erased with nothing known left
// behind, 1 when any was not processed (or a path did not exist), 2 for a usage error, 3 when
// every file was erased but old data of some is known or may be left in free clusters.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "common/Types.h"
#include "engine/EraseFunc.h"
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
    L"使い方: tmerase [--level speed|normal|high] [--recurse] [--verify] PATH...\r\n"
    L"  ファイルを上書きしてから削除します。フォルダはその中のファイルを処理します。\r\n"
    L"  --level    消去レベル (既定: speed)\r\n"
    L"  --recurse  フォルダのサブフォルダも処理する\r\n"
    L"  --verify   書き込んだ内容をディスクから読み戻して確認してから削除する\r\n"
    L"使い方: tmerase --free-space [--level speed|normal|high] FOLDER\r\n"
    L"  FOLDER のあるドライブの空き領域を上書きします (作業ファイルは FOLDER に作られ、最後に削除されます)。\r\n"
    L"終了コード: 0 すべて抹消 / 1 処理できなかったファイルあり / 2 使い方の誤り /\r\n"
    L"  3 すべて抹消したが、元のデータの一部が空き領域に残っている (可能性がある) ファイルあり";

struct Options {
    EraseLevel level = EraseLevel::Speed;
    bool recurse = false;
    bool freeSpace = false;
    bool verify = false;
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
        } else if (!optionsEnded && arg == L"--verify") {
            options.verify = true;
        } else if (!optionsEnded && arg == L"--free-space") {
            options.freeSpace = true;
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
    if (options.freeSpace)
        return RunFreeSpaceCommand(FullPath(options.paths.front()), options.level,
                                   [out](const std::wstring& line) { WriteLine(out, line); }, g_abortRequested);

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
    for (const auto& file : files) {
        if (g_abortRequested) {
            allErased = false;
            break;
        }
        EraseOutcome outcome;
        if (file.addressable) outcome = EraseFile(file.path, options.level, nullptr, nullptr, options.verify);
        else outcome.logEnding = EraseLogEnding(outcome);
        for (const std::wstring& note : notes.Before(outcome)) WriteLine(out, note);
        allErased = allErased && outcome.kind == EraseOutcome::Kind::Erased;
        leftSomething = leftSomething || outcome.LeftSomething();
        if (outcome.readBack == ReadBack::Matched) ++verified;
        WriteLine(out, L"ファイル名:" + file.name + outcome.logEnding);
    }
    if (options.verify) WriteLine(out, L"確認数:" + std::to_wstring(verified) + L"ファイル");
    return !allErased ? 1 : leftSomething ? 3 : 0;
}
