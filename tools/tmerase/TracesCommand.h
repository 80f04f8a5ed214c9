#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/TraceRun.h"

// tmerase --traces ENTRY[,ENTRY…] [--profile NAME]: runs the history tools' entries at the
// levels of the profile's "Config.ini" (read through the settings file reader), with the
// panel's rules (a running browser keeps its entries, an open Internet Explorer window keeps
// its own); "recycle-bin" erases the user's Recycle Bin at the recent files' level. Prints
// one line per entry, or per thing it left, through `print`; 0 when every entry was done, 1
// when anything was left, 2 when the profile does not exist.

// With `preview` nothing is changed: each entry's line says what it would erase
// ("<entry>: 12 ファイル, 3.4 MB", "250 行", or why it would not run), and the status is 0.
int RunTracesCommand(const std::vector<std::uint16_t>& entries, const std::wstring& profile, bool preview,
                     const std::function<void(const std::wstring&)>& print);
