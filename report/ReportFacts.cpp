// What the report asks of Windows: the machine, the time, a file's volume and size. Each
// question is asked here once; everything else of the report is plain code.

#include <windows.h>

#include <vector>

#include "common/FileSystem.h"
#include "diagnostics/SystemInfo.h"
#include "report/ErasureReport.h"
#include "resources/ProductInfo.h"

namespace {

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::wstring UserName() {
    std::vector<wchar_t> name(257, L'\0');
    DWORD size = static_cast<DWORD>(name.size());
    if (!::GetUserNameW(name.data(), &size)) return {};
    return name.data();
}

// The folder part of a path, or the path itself when it has none.
std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(0, slash + 1);
}

// The root as the path spells it: "C:\" or "\\server\share\"; empty when it names none.
std::wstring RootByName(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + L"\\";
    if (path.rfind(L"\\\\", 0) == 0) {
        const std::size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos) return path + L"\\";
        const std::size_t share = path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path + L"\\" : path.substr(0, share + 1);
    }
    return {};
}

}  // namespace

ReportRun CurrentRunFacts() {
    ReportRun run;
    run.product = kProductTitle;
    run.version = kProductVersion;
    run.edition = sizeof(void*) == 8 ? L"64ビット版" : L"32ビット版";
    run.computer = ComputerName();
    run.user = UserName();
    run.windows = TESysteminfo(false).OSDescription;
    return run;
}

std::wstring NowIso8601() {
    FILETIME utc{};
    ::GetSystemTimeAsFileTime(&utc);
    SYSTEMTIME utcTime{}, localTime{};
    ::FileTimeToSystemTime(&utc, &utcTime);
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime)) return Iso8601(utcTime, 0);
    FILETIME local{};
    ::SystemTimeToFileTime(&localTime, &local);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<std::int64_t>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    // Both are whole to the millisecond; the offset is whole minutes.
    const std::int64_t offsetMinutes = (ticks(local) - ticks(utc)) / 10000 / 1000;
    const std::int64_t rounded = (offsetMinutes + (offsetMinutes < 0 ? -30 : 30)) / 60;
    return Iso8601(localTime, static_cast<int>(rounded));
}

ReportDrive DescribeDrive(const std::wstring& path) {
    ReportDrive drive;
    // The volume's mount point (a mounted folder counts); else the root the path spells.
    std::vector<wchar_t> volume(32768, L'\0');
    const std::wstring folder = FolderOf(path);
    if (::GetVolumePathNameW(folder.c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        drive.root = volume.data();
    if (drive.root.empty()) drive.root = RootByName(path);
    if (drive.root.empty()) drive.root = folder;
    wchar_t system[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (::GetVolumeInformationW(drive.root.c_str(), nullptr, 0, &serial, nullptr, nullptr, system, MAX_PATH + 1)) {
        drive.fileSystem = system;
        const wchar_t* digits = L"0123456789ABCDEF";
        for (int shift = 28; shift >= 0; shift -= 4) {
            drive.serial += digits[(serial >> shift) & 0xF];
            if (shift == 16) drive.serial += L'-';
        }
    }
    return drive;
}

std::int64_t FileSizeByName(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPathOf(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return static_cast<std::int64_t>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}
