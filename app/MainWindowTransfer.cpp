// The file list written to and read from the profile's list files: "FileList.txt" by the
// import and export commands, "ResList.txt" for the list left at closing.

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t kImported[] = L"ファイルを読み出しリストへ追加しました。";
const wchar_t kExported[] = L"ファイルをリストから書き出しました。";
const wchar_t kNothingListed[] = L"ファイルリストに登録されているファイルがありません。";
const wchar_t kEndMarker[] = L"[END TEXT]";

// A line names a file when it starts with a drive letter, a colon and a backslash: the first
// ":\" of the line is its second character.
bool IsDrivePathLine(const std::wstring& line) {
    if (line.empty() || line.front() == L'[') return false;
    return line.find(L":\\") == 1;
}

}  // namespace

std::wstring TMainWindow::ListFilePath(ListFile which) const {
    TConfigWindow* config = application_.Config();
    if (!config) return {};
    return config->ProfileFolder() + L"\\Savedat\\" + (which == ListFile::FileList ? L"FileList.txt" : L"ResList.txt");
}

void TMainWindow::TransferFileList(TransferDirection direction, bool announce, ListFile which) {
    if (!application_.Config()) return;
    int counter = 0;
    int unreadable = 0;
    std::wstring message;
    try {
        const std::wstring path = ListFilePath(which);
        const std::wstring folder = application_.Config()->ProfileFolder() + L"\\Savedat";
        const bool exists = FileExists(path);
        if (!exists && !DirectoryExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);

        if (direction == TransferDirection::Import) {
            if (exists) {
                message = kImported;
                std::vector<std::wstring> lines;
                // A file that cannot be read stays as it is, "ResList.txt" included. A line with
                // bytes the file's form does not know is left out: it would name some other path.
                if (!ReadListFile(path, lines, &unreadable)) throw std::runtime_error("read");
                const bool excludeReadOnly = RemoveReadOnlySetting();
                const bool exclusions = ExclusionSetting();
                for (const std::wstring& line : lines) {
                    if (!IsDrivePathLine(line) || !FileExists(line)) continue;
                    AddFileToList(line, excludeReadOnly, exclusions);
                    ++counter;
                }
                // The list left at closing is read once.
                if (which == ListFile::ResList) ::DeleteFileW(path.c_str());
            }
        } else if (FileList.RowCount() > 0) {
            message = kExported;
            std::vector<std::wstring> lines{L"[" + application_.Title() + L"]"};
            for (int row = 0; row < FileList.RowCount(); ++row) {
                lines.push_back(FileList.Text(row, 4));
                ++counter;
            }
            lines.push_back(kEndMarker);
            // The previous list stays until the new one is complete.
            if (!ReplaceTextFile(path, lines)) throw std::runtime_error("write");
        }
    } catch (...) {
        RaiseAssertion(AssertSite::MainListTransfer);
        return;
    }
    if (announce && !message.empty())
        ::MessageBoxW(Handle(), (std::to_wstring(counter) + message).c_str(), L"確認", MB_OK | MB_ICONINFORMATION);
    if (announce && unreadable > 0)
        ::MessageBoxW(Handle(), (L"読み込めなかった行が" + std::to_wstring(unreadable) + L"行ありました。").c_str(),
                      application_.Title().c_str(), MB_OK | MB_ICONWARNING);
}

void TMainWindow::ImportList() { TransferFileList(TransferDirection::Import, true, ListFile::FileList); }

void TMainWindow::ExportList() {
    if (FileList.RowCount() == 0) {
        ::MessageBoxW(Handle(), kNothingListed, application_.Title().c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    TransferFileList(TransferDirection::Export, true, ListFile::FileList);
}

void TMainWindow::ImportLeftList() { TransferFileList(TransferDirection::Import, false, ListFile::ResList); }

void TMainWindow::ExportListForNextStart() { TransferFileList(TransferDirection::Export, false, ListFile::ResList); }
