#pragma once

// Engine seams whose clock moves on by the service interval at every reading, so every
// progress tick updates the display and services the window's messages, as it happens when
// the disk is slow. Tests that look at a file's progress tick by tick install them.

#include <windows.h>

#include "engine/EraseSeams.h"

inline EraseSeams SteppingClockSeams() {
    EraseSeams seams;
    seams.clock = [now = ULONGLONG{0}]() mutable { return now += kServiceIntervalMs; };
    return seams;
}
