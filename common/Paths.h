#pragma once

#include <string>

// Path pieces as the system uses them. A separator is "\" (or ":" after a drive letter).

// The folder part, with its trailing backslash ("C:\data\" for "C:\data\report.doc").
std::wstring ExtractFilePath(const std::wstring& path);
// The name part ("report.doc").
std::wstring ExtractFileName(const std::wstring& path);
// The extension from the last dot of the name part, dot included (".doc"); empty when none.
std::wstring ExtractFileExt(const std::wstring& path);

// The folder the running executable lives in, with its trailing backslash.
std::wstring ProgramFolder();

// True when the path names an existing file (not a folder).
bool FileExists(const std::wstring& path);
// True when the path names an existing folder.
bool DirectoryExists(const std::wstring& path);
