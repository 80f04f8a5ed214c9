#pragma once

// The history tools' "ごみ箱" entry (`TIE_ERASE::RecycleBin`): the current user's Recycle Bin
// on the fixed drives, counted and erased with the Recycle Bin engine (`engine/RecycleBin.h`)
// at the recent files' level. The panel and `tmerase --traces` run it after the traces.

#include <vector>

#include "common/Types.h"
#include "engine/RecycleBin.h"
#include "history/TraceOutcome.h"

// What the entry would erase: its items (a folder counts as one) and their size.
EntryPreview RecycleBinPreview(const std::vector<RecycleBinDrive>& drives);

// Erases every item at `level`; each drive passed over and each item that stays joins
// `outcome.left` under the entry, in the Recycle Bin's own words.
void EraseRecycleBinEntry(const std::vector<RecycleBinDrive>& drives, EraseLevel level, TraceOutcome& outcome);
