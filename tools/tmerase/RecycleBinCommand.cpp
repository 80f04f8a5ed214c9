#include "tools/tmerase/RecycleBinCommand.h"

#include <string>

#include "common/TextCodec.h"
#include "engine/FileHolders.h"
#include "engine/RecycleBin.h"
#include "report/ErasureReport.h"

namespace {

// One answer line from standard input (a console or a pipe); empty when there is none.
std::wstring ReadAnswer() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE) return {};
    DWORD mode = 0;
    if (::GetConsoleMode(in, &mode)) {
        wchar_t buffer[64] = {};
        DWORD read = 0;
        if (!::ReadConsoleW(in, buffer, 63, &read, nullptr)) return {};
        return std::wstring(buffer, read);
    }
    std::string bytes;
    char c = 0;
    DWORD read = 0;
    while (bytes.size() < 64 && ::ReadFile(in, &c, 1, &read, nullptr) && read == 1 && c != '\n') bytes += c;
    return DecodeCp932(bytes);
}

bool IsYes(const std::wstring& answer) {
    const std::size_t start = answer.find_first_not_of(L" \t");
    if (start == std::wstring::npos) return false;
    const wchar_t c = answer[start];
    return c == L'y' || c == L'Y' || answer.compare(start, 2, L"はい") == 0;
}

}  // namespace

int RunRecycleBinCommand(const std::vector<std::wstring>& roots, EraseLevel level, bool yes, bool verify,
                         const std::function<void(const std::wstring&)>& print, ErasureRecorder* report) {
    const std::vector<RecycleBinDrive> drives = roots.empty() ? FindRecycleBins() : FindRecycleBins(roots);
    bool allErased = true;
    for (const auto& drive : drives) {
        if (!drive.foreign) continue;
        print(ForeignRecycleBinMessage(drive.root));
        allErased = false;
    }
    if (RecycleItemCount(drives) == 0) {
        print(L"ごみ箱に抹消する項目はありません。");
        return allErased ? 0 : 1;
    }
    if (!yes) {
        for (const auto& line : SplitCrLf(RecycleBinQuestion(drives))) print(line);
        print(L"(y/n)");
        if (!IsYes(ReadAnswer())) return 1;
    }
    int verified = 0;
    bool leftSomething = false;
    for (const auto& drive : drives) {
        for (const auto& item : drive.items) {
            ReadBack readBack = ReadBack::NotChecked;
            Leftover leftover = Leftover::None;
            const bool erased = EraseRecycleItem(item, level, nullptr, nullptr, verify ? &readBack : nullptr, &leftover);
            allErased = allErased && erased;
            leftSomething = leftSomething || (erased && leftover != Leftover::None);
            if (erased && readBack == ReadBack::Matched) ++verified;
            const std::wstring line = L"ファイル名:" + item.LogName() + RecycleItemLogEnding(item, erased, readBack, leftover);
            print(line);
            if (!report) continue;
            report->RecordFile(item.originalPath.empty() ? item.LogName() : item.originalPath,
                               static_cast<std::int64_t>(item.size), -1, LevelText(level),
                               ReportResultOf(erased, readBack, false), line, ReportVerifyText(readBack));
        }
    }
    if (verify) print(L"確認数:" + std::to_wstring(verified) + L"ファイル");
    RefreshRecycleBinIcon();
    // As for listed files: 3 when the items are gone but old data stays in free clusters.
    return !allErased ? 1 : leftSomething ? 3 : 0;
}
