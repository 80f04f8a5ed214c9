#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Types.h"

// tmerase --recycle-bin: destroys every item of the current user's Recycle Bin on the fixed
// drives (or on `roots` when given). Without `yes` the question is printed and the answer read
// from standard input; no input is No (status 1). One line per item through `print`; 0 when
// every item was destroyed and no drive was passed over.
int RunRecycleBinCommand(const std::vector<std::wstring>& roots, EraseLevel level, bool yes,
                         const std::function<void(const std::wstring&)>& print);
