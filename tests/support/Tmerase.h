#pragma once

#include <windows.h>

#include <string>

// What a run of tmerase.exe (beside the test executable) gave.
struct TmeraseOutcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// Runs tmerase.exe (or the copy at `program`) with the arguments, its output going to pipes.
TmeraseOutcome RunTmerase(const std::wstring& arguments, const std::wstring& program = {});

std::wstring Quoted(const std::wstring& path);
// The run log's lines for one file, in code page 932 with CR LF.
std::string ErasedLine(const std::wstring& name);
std::string FailedLine(const std::wstring& name);
