#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/Types.h"

class ErasureRecorder;

// tmerase --free-space: cleans up what an earlier run left, then overwrites the free space of
// the volume `folder` lies on. Prints a progress line every few seconds and a result line
// through `print`; 0 when the free space was overwritten and everything made was removed.
// With `report`, the drive goes into it as one row (the result lines as its reason).
int RunFreeSpaceCommand(const std::wstring& folder, EraseLevel level, const std::function<void(const std::wstring&)>& print,
                        ErasureRecorder* report = nullptr);
