#pragma once

// Files another program holds: whether a file that could not be erased is in use (another
// program keeps it open without sharing, or locks a range of it), and which programs hold it,
// as the Restart Manager names them.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// True when the file cannot be opened for writing because another program has it open
// (a sharing violation), or a range of it is locked by another program (a lock violation).
bool FileInUse(const std::wstring& path);

// The programs that hold the file, as the Restart Manager names them (looked up at run time);
// empty when it cannot say or names nobody.
std::vector<std::wstring> FileHolders(const std::wstring& path);

// The ending of a run log line for a file that was not erased: the holders named when there
// are any ("は「Microsoft Word」が使用中のため処理出来ませんでした。"), else today's ending.
std::wstring NotErasedEnding(const std::vector<std::wstring>& holders);
// The same for `path`, asking whether it is in use and who holds it.
std::wstring NotErasedEnding(const std::wstring& path);

// The Restart Manager's question, replaceable by tests: fills the names and gives true, or
// gives false when the question fails.
struct FileHolderSeams {
    std::function<bool(const std::wstring& path, std::vector<std::wstring>& names)> queryHolders;
};
FileHolderSeams SetFileHolderSeams(FileHolderSeams seams);
