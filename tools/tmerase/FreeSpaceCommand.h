#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/Types.h"

// tmerase --free-space: cleans up what an earlier run left, then overwrites the free space of
// the volume `folder` lies on. Prints a progress line every few seconds and a result line
// through `print`; 0 when the free space was overwritten and everything made was removed.
int RunFreeSpaceCommand(const std::wstring& folder, EraseLevel level, const std::function<void(const std::wstring&)>& print);
