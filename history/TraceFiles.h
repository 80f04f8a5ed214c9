#pragma once

// What every trace walk shares: the test that keeps a gathered file that is really another
// file somewhere else, and the destruction of single files and whole folders through the
// erase engine.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/Types.h"

// A file gathered in a trace folder that opens as another file somewhere else: a link the
// engine cannot see as one (under Wine a Unix link to a file shows as a plain file). Its
// target is not a trace and is never destroyed. Links in the folders above are the user's
// own arrangement and are allowed: the file must resolve into its own folder as resolved.
bool ReachedThroughLink(const std::wstring& path);

// Destroys the file at `level` when it exists and is not reached through a link; false only
// when the file was there and stays (held open elsewhere, say). A missing file or a link is
// no trace to destroy.
bool DestroyTraceFile(const std::wstring& path, EraseLevel level);

// Destroys every file below `folder` (the folder itself and its sub-folders stay) but those
// for which `keep` holds; a missing folder does nothing. The files that stayed.
std::vector<std::wstring> DestroyTraceFolder(const std::wstring& folder, EraseLevel level,
                                             bool (*keep)(const std::wstring& path) = nullptr);

// Keeps the window alive through a walk of many files (a cache folder holds tens of
// thousands): between files the window's messages are serviced (through the erase engine's
// environment) and `show` is told how far the walk is, at most once every few tens of
// milliseconds, never for every file.
class WalkPacer {
public:
    explicit WalkPacer(std::function<void(std::size_t done, std::size_t total)> show = {});
    // `done` of `total` files are behind.
    void Between(std::size_t done, std::size_t total);

private:
    std::function<void(std::size_t, std::size_t)> show_;
    ULONGLONG last_;
};
