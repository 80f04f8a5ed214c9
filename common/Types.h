#pragma once

// The strength with which one file is overwritten.
enum class EraseLevel : int {
    Speed = 0,   // one pass of 0x0000
    Normal = 1,  // 0xFFFE, then 0x0000
    High = 2,    // 0xFFFE, 0x0000, then pseudo-random words
};

// The mode of a run; Custom takes each file's level from the custom-mode table.
enum class EraseMode : int {
    Speed = 0,
    Normal = 1,
    High = 2,
    Custom = 3,
};
