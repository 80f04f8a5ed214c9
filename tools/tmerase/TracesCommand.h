#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/TraceOutcome.h"

// tmerase --traces ENTRY[,ENTRY…] [--profile NAME]: runs the history tools' entries at the
// levels of the profile's "Config.ini" (read through the settings file reader), with the
// panel's rules (a running browser keeps its entries, an open Internet Explorer window keeps
// its own); "recycle-bin" erases the user's Recycle Bin at the recent files' level. Prints
// one line per entry, or per thing it left, through `print`; 0 when every entry was done, 1
// when anything was left, 2 when the profile does not exist.

// The entries of a comma-separated list in the order given, each once; nothing when a name is
// unknown or the list is empty.
std::optional<std::vector<std::uint16_t>> ParseTraceEntries(const std::wstring& list);

// The lines for the entries: "<entry>: 抹消しました" for one that left nothing, "<entry>: " and
// the reason for one passed over, and the completion message's line (without "・") for each
// file it left.
std::vector<std::wstring> TraceReportLines(const std::vector<std::uint16_t>& entries, const TraceOutcome& outcome);

// With `preview` nothing is changed: each entry's line says what it would erase
// ("<entry>: 12 ファイル, 3.4 MB", "250 行", or why it would not run), and the status is 0.
int RunTracesCommand(const std::vector<std::uint16_t>& entries, const std::wstring& profile, bool preview,
                     const std::function<void(const std::wstring&)>& print);
