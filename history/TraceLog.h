#pragma once

// The log of the scheduled runs of the history tools: the profile's "Savedat\TraceLog.txt".
// Each run appends "日時:" + its date (as the run log writes it) and one line per entry; the
// file is read, appended to, cut to at most 1 MiB at a line boundary (the oldest lines go) and
// written whole, in code page 932 with CR LF (UTF-8 after a mark only when a line needs it).

#include <cstddef>
#include <string>
#include <vector>

inline constexpr const wchar_t* kTraceLogName = L"TraceLog.txt";
inline constexpr std::size_t kTraceLogLimit = 1024 * 1024;

// The newest lines whose file (as `EncodeTextFile` writes them) takes at most `limit` bytes.
std::vector<std::wstring> KeepNewestLines(std::vector<std::wstring> lines, std::size_t limit);

// Appends "日時:" + `date` and the lines to the log at `path`, cut to `limit`. A log that
// cannot be read is started anew; false when it cannot be written.
bool AppendTraceLog(const std::wstring& path, const std::wstring& date, const std::vector<std::wstring>& lines,
                    std::size_t limit = kTraceLogLimit);
