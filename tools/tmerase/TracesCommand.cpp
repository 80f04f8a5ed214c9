// tmerase --traces: the history tools from a console.

#include "tools/tmerase/TracesCommand.h"

#include "common/Paths.h"

int RunTracesCommand(const std::vector<std::uint16_t>& entries, const std::wstring& profile, bool preview,
                     const std::function<void(const std::wstring&)>& print) {
    const std::wstring folder = ProgramFolder() + L"User\\" + profile;
    if (!IsOneFolderName(profile) || !DirectoryExists(folder)) {
        print(L"プロファイル \"" + profile + L"\" が見つかりません。");
        return 2;
    }
    const TraceRunResult result = RunTraceEntries(entries, folder, preview);
    for (const std::wstring& line : result.lines) print(line);
    return result.status;
}
