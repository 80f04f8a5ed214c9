// tmerase --traces: the history tools from a console.

#include "tools/tmerase/TracesCommand.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <array>

#include "common/Paths.h"
#include "engine/RecycleBin.h"
#include "history/IeErase.h"
#include "history/RecycleBinEntry.h"
#include "settings/IniFile.h"

namespace {

// The levels of the cookies, the cache and the recent files (and browsers' history files), as
// the settings window reads them: an index 0..2, anything else the fastest level.
std::array<EraseLevel, 3> HistoryLevels(const std::wstring& configPath) {
    const IniSection ini(configPath, L"TIDEMARROW");
    const auto level = [&ini](const wchar_t* key, int fallback) {
        const int index = ini.ReadInteger(key, fallback);
        return index >= 0 && index <= 2 ? static_cast<EraseLevel>(index) : EraseLevel::Speed;
    };
    return {level(L"#IE_TOOLS_02", 1), level(L"#IE_TOOL_01", 0), level(L"#E_TOOLS_01", 0)};
}

// One folder name: no separators, no drive, not "." or "..".
bool IsOneFolderName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

}  // namespace

std::optional<std::vector<std::uint16_t>> ParseTraceEntries(const std::wstring& list) {
    std::vector<std::uint16_t> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(L',', start), list.size());
        const std::uint16_t target = TIE_ERASE::TargetOfCommandName(list.substr(start, end - start));
        if (target == 0) return std::nullopt;
        if (std::find(entries.begin(), entries.end(), target) == entries.end()) entries.push_back(target);
        start = end + 1;
    }
    return entries;
}

std::vector<std::wstring> TraceReportLines(const std::vector<std::uint16_t>& entries, const TraceOutcome& outcome) {
    std::vector<std::wstring> lines;
    for (std::uint16_t entry : entries) {
        const std::wstring name = TIE_ERASE::CommandName(entry) + L": ";
        if (!outcome.EntryLeft(entry)) lines.push_back(name + L"抹消しました");
        for (const TraceLeft& item : outcome.left) {
            if (item.target != entry) continue;
            lines.push_back(IsLeftReason(item.what) ? name + item.what
                                                    : TIE_ERASE::EntryName(entry) + L": " + item.what);
        }
    }
    return lines;
}

int RunTracesCommand(const std::vector<std::uint16_t>& entries, const std::wstring& profile, bool preview,
                     const std::function<void(const std::wstring&)>& print) {
    const std::wstring folder = ProgramFolder() + L"User\\" + profile;
    if (!IsOneFolderName(profile) || !DirectoryExists(folder)) {
        print(L"プロファイル \"" + profile + L"\" が見つかりません。");
        return 2;
    }
    std::uint16_t targets = 0;
    for (std::uint16_t entry : entries) targets |= entry;
    const std::array<EraseLevel, 3> levels = HistoryLevels(folder + L"\\Config.ini");

    // The URL history object is a COM object of this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 1;
    try {
        TIE_ERASE eraser(targets, levels[0], levels[1], levels[2]);
        eraser.SetKeptCookieSites(ReadKeptCookieSites(folder + L"\\Savedat"));
        // The Recycle Bin's entry goes after the traces, at the recent files' level, with no
        // question: it was chosen when the run was set up.
        const bool recycleBin = (targets & TIE_ERASE::RecycleBin) != 0;
        if (preview) {
            std::vector<EntryPreview> previews;
            if (eraser.Targets()) previews = eraser.Preview();
            if (recycleBin) previews.push_back(RecycleBinPreview(FindRecycleBins()));
            for (std::uint16_t entry : entries)
                for (const EntryPreview& item : previews)
                    if (item.target == entry) print(TIE_ERASE::CommandName(entry) + L": " + PreviewText(item));
            status = 0;
        } else {
            TraceOutcome outcome;
            if (eraser.Targets()) outcome = eraser.EraseTraces(nullptr);
            if (recycleBin) EraseRecycleBinEntry(FindRecycleBins(), levels[2], outcome);
            for (const std::wstring& line : TraceReportLines(entries, outcome)) print(line);
            status = outcome.left.empty() ? 0 : 1;
        }
    } catch (...) {
        // The history step of Internet Explorer leaves through here when its object is missing.
        print((targets & TIE_ERASE::History) ? TIE_ERASE::CommandName(TIE_ERASE::History) + L": 抹消できませんでした"
                                             : std::wstring(L"処理を完了できませんでした。"));
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return status;
}
