#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Types.h"

class ErasureRecorder;

// tmerase --recycle-bin: destroys every item of the current user's Recycle Bin on the fixed
// drives (or on `roots` when given). Without `yes` the question is printed and the answer read
// from standard input; no input is No (status 1). One line per item through `print`; 0 when
// every item was destroyed and no drive was passed over.
// With `verify`, each file is read back after its last pass; with `report`, each item goes into it.
int RunRecycleBinCommand(const std::vector<std::wstring>& roots, EraseLevel level, bool yes, bool verify,
                         const std::function<void(const std::wstring&)>& print, ErasureRecorder* report = nullptr);
