#pragma once

// The error report: the process-wide assertion handler that turns each assertion failure
// into a five-line block in the error log window (`TTIDEMARROW_LOG`, LogWindow.h) and brings
// that window up, when error reporting is switched on. The program always carries on.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The length of the line that ends every block.
constexpr int kReportRuleLength = 89;

// Installs `ErrorFunc::ReportAssertion` as the process-wide assertion handler, in place of
// the in-memory one. Called once at start, before any window exists; it stays for the life
// of the process.
void InstallErrorReport();

// How the handler reads the `#Error report` and `#UseExitFunction` settings: both are asked
// anew at every failure, so a change in the settings applies to the next report. With no
// hook (or an empty one) a setting counts as on, which is also its default.
void SetErrorReportSettings(std::function<bool()> errorReportOn, std::function<bool()> useExitFunction);

// Local date and time as the program shows them everywhere: the user's short date format,
// a blank and the long time format; the time is left out at midnight (00:00:00).
std::wstring DateTimeToText(const SYSTEMTIME& when, LCID locale = LOCALE_USER_DEFAULT);

// The unit named by an assertion's source path: its file name without folder and extension
// ("Main" for "C:\src\Main.pas", "config" for "config").
std::wstring UnitNameOf(const std::wstring& sourcePath);

// The five lines of one report block, in order: date and time, message, unit and line,
// code address, and the rule of hyphens.
std::vector<std::wstring> FormatReportBlock(const SYSTEMTIME& when, const std::wstring& message,
                                            const std::wstring& sourcePath, int line, std::uintptr_t address,
                                            LCID locale = LOCALE_USER_DEFAULT);

namespace ErrorFunc {

// The handler itself (the dispatcher of the same name in common/Assertions hands every
// failure to it once it is installed). With `#Error report` off it returns at once;
// otherwise it makes or reuses the error log window, shows or hides its exit button per
// `#UseExitFunction`, appends the block and shows the window. It never throws and never
// raises an assertion; a failure met while a block is being written is reported after it.
void ReportAssertion(const std::wstring& message, const std::wstring& sourcePath, int line,
                     std::uintptr_t address) noexcept;

}  // namespace ErrorFunc
