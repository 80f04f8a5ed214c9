// The history tools' Recycle Bin entry: its look before and its run.

#include "history/RecycleBinEntry.h"

#include "engine/FileHolders.h"
#include "history/IeErase.h"

EntryPreview RecycleBinPreview(const std::vector<RecycleBinDrive>& drives) {
    EntryPreview preview;
    preview.target = TIE_ERASE::RecycleBin;
    preview.files = RecycleItemCount(drives);
    preview.bytes = RecycleItemBytes(drives);
    return preview;
}

void EraseRecycleBinEntry(const std::vector<RecycleBinDrive>& drives, EraseLevel level, TraceOutcome& outcome) {
    outcome.targets |= TIE_ERASE::RecycleBin;
    for (const RecycleBinDrive& drive : drives)
        if (drive.foreign) outcome.left.push_back({TIE_ERASE::RecycleBin, ForeignRecycleBinMessage(drive.root)});
    for (const RecycleBinDrive& drive : drives)
        for (const RecycleItem& item : drive.items)
            if (!EraseRecycleItem(item, level))
                outcome.left.push_back({TIE_ERASE::RecycleBin,
                                        L"ファイル名:" + item.LogName() +
                                            NotErasedEnding(item.folder ? std::wstring() : item.contentPath)});
    RefreshRecycleBinIcon();
}
