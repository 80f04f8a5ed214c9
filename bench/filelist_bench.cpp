// filelist_bench: how fast files reach the main window's list, against plain text rows.
//   filelist_bench [--files N]
// Prints
//   case=baseline per_row_us=<µs>            N text-only rows into a check list view
//   case=add per_file_us=<µs> ratio=<to baseline>   N files of a folder through AddFileToList
//                                                   (existence, disk, size, icon, row)
//   case=add_without_exe per_file_us=<µs> ratio=<to baseline>   the same without the .exe files
//   case=icon per_file_us=<µs>               AddSmallIcon alone, for the same files
//   case=icon_type type=<T> per_file_us=<µs>  the same, by extension
//   case=sort ms=<ms>                        sorting the N rows by the size column
//   case=growth batch=<k> rows=<R> rows_per_s=<r> sort_us_per_row=<µs>
//                                            the N files added in four batches to the rows
//                                            already listed, the list sorted after each
//   case=growth ratio=<last batch's rows/s ÷ the first's>   1.0 when adding stays linear
// The files are small, made in a temporary folder beside the executable's temp folder, and
// removed at the end.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "engine/EraseFunc.h"
#include "ui/Controls.h"
#include "ui/Gdi.h"

namespace {

void RemoveTreeOf(const std::wstring& folder) {
    std::vector<std::wstring> entries;
    CollectFolder(folder, L"", entries, false);
    for (const std::wstring& entry : entries) {
        const DWORD attributes = ::GetFileAttributesW(entry.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTreeOf(entry);
        else
            ::DeleteFileW(entry.c_str());
    }
    ::RemoveDirectoryW(folder.c_str());
}

bool WriteSmallFile(const std::wstring& path, int seed) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes(static_cast<std::size_t>(1 + seed % 5000), 'x');
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
    ::CloseHandle(file);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int files = 10000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wcscmp(argv[i], L"--files") == 0) files = std::max(1, _wtoi(argv[++i]));

    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"filelist_bench_" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring data = root + L"\\files";
    RemoveTreeOf(root);  // a run that was stopped may have left its files
    ::CreateDirectoryW(root.c_str(), nullptr);
    ::CreateDirectoryW(data.c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\User").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\User\\DefaultUser").c_str(), nullptr);
    const wchar_t* const extensions[] = {L".txt", L".doc", L".jpg", L".exe", L".dat", L""};
    for (int i = 0; i < files; ++i) {
        const std::wstring name = data + L"\\file" + std::to_wstring(i) + extensions[i % 6];
        if (!WriteSmallFile(name, i * 7919)) {
            std::fprintf(stderr, "cannot write the files\n");
            RemoveTreeOf(root);
            return 1;
        }
    }

    TApplication& application = Application();
    if (!application.Initialize()) return 1;
    TMainWindow window(application, root);
    if (!window.Create(application.Handle(), SW_SHOWNORMAL) || application.Terminated()) {
        std::fprintf(stderr, "no main window\n");
        RemoveTreeOf(root);
        return 1;
    }
    application.SetMainWindow(window.Handle());

    // Baseline: text-only rows into the same kind of list, the same size, on the same panel.
    RECT area{};
    ::GetClientRect(window.FileList.Handle(), &area);
    ui::CheckListView plain;
    plain.Create(window.MainPanel.Handle(), 9999, 0, 0, area.right, area.bottom);
    for (const wchar_t* caption : {L" ", L"ファイル名", L"拡張子", L"ファイルサイズ(Byte)", L"ファイルパス"})
        plain.AddColumn(caption, 100);
    ::ShowWindow(plain.Handle(), SW_HIDE);
    double start = Now();
    for (int i = 0; i < files; ++i) {
        const std::wstring name = L"file" + std::to_wstring(i) + L".txt";
        plain.AddRow({L"", name, L"TXT", TMainWindow::SizeText(i), data + L"\\" + name}, true);
    }
    const double baseline = (Now() - start) / files;
    std::printf("case=baseline rows=%d per_row_us=%.1f\n", files, baseline * 1e6);
    ::DestroyWindow(plain.Handle());

    std::vector<std::wstring> found;
    CollectFolder(data, L"", found, false);
    // Where the time of one add goes, over the first files.
    {
        const std::size_t sample = std::min<std::size_t>(found.size(), 50);
        ui::ImageList scratch(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 16, 16));
        double size = 0, icon = 0, listed = 0, actions = 0, paint = 0;
        for (std::size_t i = 0; i < sample; ++i) {
            double t = Now();
            FileSizeOf(found[i]);
            size += Now() - t;
            t = Now();
            TMainWindow::AddSmallIcon(found[i], scratch.get());
            icon += Now() - t;
            t = Now();
            TMainWindow::IsOnFixedDisk(found[i]);
            listed += Now() - t;
            t = Now();
            window.UpdateListActions();
            actions += Now() - t;
            t = Now();
            ::UpdateWindow(window.FileList.Handle());
            paint += Now() - t;
        }
        const double n = static_cast<double>(sample) / 1e6;
        std::printf("case=parts size_us=%.1f icon_us=%.1f fixed_disk_us=%.1f actions_us=%.1f paint_us=%.1f\n",
                    size / n, icon / n, listed / n, actions / n, paint / n);
    }
    for (int i = 0; i < 5 && i < static_cast<int>(found.size()); ++i) {
        const double t = Now();
        window.AddFileToList(found[static_cast<std::size_t>(i)], false, false);
        const double mid = Now();
        window.FileList.AddRow({L"", L"x", L"TXT", TMainWindow::SizeText(i), found[static_cast<std::size_t>(i)]}, true, 0);
        std::printf("case=single add_us=%.1f row_us=%.1f\n", (mid - t) * 1e6, (Now() - mid) * 1e6);
    }
    window.ClearFileList();
    if (std::getenv("FILELIST_BENCH_TRACE")) {
        double t = Now();
        for (std::size_t i = 0; i < found.size(); ++i) {
            window.AddFileToList(found[i], false, false);
            if ((i + 1) % 25 == 0) {
                std::printf("trace rows=%d per_file_us=%.1f\n", window.FileList.RowCount(), (Now() - t) / 25 * 1e6);
                t = Now();
            }
        }
        window.ClearFileList();
    }
    start = Now();
    window.AddFilesToList(found, false, false);
    const double add = (Now() - start) / static_cast<double>(found.size());
    const int rows = window.FileList.RowCount();
    std::printf("case=add files=%d rows=%d per_file_us=%.1f ratio=%.2f\n", static_cast<int>(found.size()), rows,
                add * 1e6, add / baseline);

    // The same without the programs, whose icons are asked for file by file.
    {
        std::vector<std::wstring> shared;
        for (const std::wstring& path : found)
            if (TMainWindow::ExtensionText(path) != L"EXE") shared.push_back(path);
        window.ClearFileList();
        start = Now();
        window.AddFilesToList(shared, false, false);
        const double perFile = (Now() - start) / static_cast<double>(shared.size());
        std::printf("case=add_without_exe files=%d rows=%d per_file_us=%.1f ratio=%.2f\n",
                    static_cast<int>(shared.size()), window.FileList.RowCount(), perFile * 1e6, perFile / baseline);
        window.ClearFileList();
        window.AddFilesToList(found, false, false);  // the full list again, for the sort
    }

    // Rows per second as the list grows: each quarter of the files joins the rows already
    // listed (sizes, icons and rows), then the whole list is sorted by size.
    {
        window.ClearFileList();
        window.SortColumn = 3;
        window.SortAscending = true;
        const std::size_t quarter = (found.size() + 3) / 4;
        double firstRate = 0, lastRate = 0;
        for (std::size_t from = 0, batch = 1; from < found.size(); from += quarter, ++batch) {
            const std::vector<std::wstring> part(found.begin() + static_cast<std::ptrdiff_t>(from),
                                                 found.begin() + static_cast<std::ptrdiff_t>(std::min(found.size(), from + quarter)));
            start = Now();
            window.AddFilesToList(part, false, false);
            const double rate = static_cast<double>(part.size()) / (Now() - start);
            start = Now();
            window.SortFileList();
            const double sortPerRow = (Now() - start) / window.FileList.RowCount();
            std::printf("case=growth batch=%d rows=%d rows_per_s=%.0f sort_us_per_row=%.2f\n", static_cast<int>(batch),
                        window.FileList.RowCount(), rate, sortPerRow * 1e6);
            if (firstRate == 0) firstRate = rate;
            lastRate = rate;
        }
        std::printf("case=growth ratio=%.2f\n", firstRate > 0 ? lastRate / firstRate : 0.0);
    }

    ui::ImageList icons(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 16, 16));
    start = Now();
    const std::size_t iconSample = std::min<std::size_t>(found.size(), 1000);
    std::map<std::wstring, std::pair<double, int>> byType;
    for (std::size_t i = 0; i < iconSample; ++i) {
        const double t = Now();
        TMainWindow::AddSmallIcon(found[i], icons.get());
        auto& entry = byType[TMainWindow::ExtensionText(found[i])];
        entry.first += Now() - t;
        ++entry.second;
    }
    const double icon = (Now() - start) / static_cast<double>(iconSample);
    std::printf("case=icon per_file_us=%.1f\n", icon * 1e6);
    // Types whose picture comes from the file itself (.exe here) are asked for file by file;
    // the others once per type.
    for (const auto& [type, entry] : byType)
        std::printf("case=icon_type type=%s per_file_us=%.1f\n",
                    type == L"ファイル" ? "(none)" : std::string(type.begin(), type.end()).c_str(),
                    entry.first / entry.second * 1e6);

    window.SortColumn = 3;
    window.SortAscending = true;
    start = Now();
    window.SortFileList();
    const double sort = Now() - start;

    std::printf("case=sort rows=%d ms=%.1f\n", rows, sort * 1e3);

    ::DestroyWindow(window.Handle());
    RemoveTreeOf(root);
    return 0;
}
