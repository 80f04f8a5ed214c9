#include <algorithm>
#include <iterator>
#include <utility>
#include <stdexcept>

#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "common/TextCompare.h"
#include "history/CookieKeep.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t* const kBuiltInExclusions[] = {L"cmd", L"cpl", L"drv", L"scr", L"sys", L"tlb", L"vrd", L"vxd"};

struct BuiltInRow {
    const wchar_t* tag;
    std::vector<const wchar_t*> extensions;
};

const BuiltInRow kBuiltInCustom[] = {
    {L" [High]", {L"txt", L"doc", L"dot", L"eml", L"htm", L"html", L"log", L"xls", L"reg"}},
    {L" [Normal]", {L"bmp", L"jpg", L"exe", L"dll", L"gif", L"png"}},
    {L" [Speed]",
     {L"zip", L"cab", L"lzh", L"rar", L"aiz", L"iso", L"dvd", L"mdf", L"avi", L"mpg", L"wmv", L"mp3", L"wma", L"wav",
      L"gca", L"ogg", L"dat", L"db"}},
};

struct Tag {
    const wchar_t* text;
    EraseLevel level;
};

// In the order in which an entry's tag is looked for.
const Tag kTags[] = {
    {L" [Speed]", EraseLevel::Speed},
    {L" [Normal]", EraseLevel::Normal},
    {L" [High]", EraseLevel::High},
};

constexpr wchar_t kRemoveFile[] = L"remove.txt";
constexpr wchar_t kCustomFile[] = L"customerase.txt";

// Characters no entry may hold, in the order they are checked.
const wchar_t* const kForbidden[] = {L".", L"/", L"　", L"?", L","};

// The level of the first tag the entry holds, compared with exact letter case.
const Tag* TagOf(const std::wstring& entry) {
    for (const Tag& tag : kTags)
        if (entry.find(tag.text) != std::wstring::npos) return &tag;
    return nullptr;
}

std::wstring WithoutAll(std::wstring text, const std::wstring& part) {
    for (auto at = text.find(part); at != std::wstring::npos; at = text.find(part, at)) text.erase(at, part.size());
    return text;
}

}  // namespace

std::vector<std::wstring>& TConfigWindow::ListOf(ExtensionList list) {
    return list == ExtensionList::Exclusion ? exclusionList_ : customTable_;
}

int& TConfigWindow::SelectionOf(ExtensionList list) {
    return list == ExtensionList::Exclusion ? exclusionSelected_ : customSelected_;
}

const std::vector<std::wstring>& TConfigWindow::Entries(ExtensionList list) const {
    return list == ExtensionList::Exclusion ? exclusionList_ : customTable_;
}

std::vector<std::wstring>& TConfigWindow::EditEntries(ExtensionList list) { return ListOf(list); }

int TConfigWindow::SelectedIndex(ExtensionList list) const {
    return list == ExtensionList::Exclusion ? exclusionSelected_ : customSelected_;
}

const std::wstring& TConfigWindow::EntryBoxText(ExtensionList list) const {
    return list == ExtensionList::Exclusion ? exclusionBox_ : customBox_;
}

bool TConfigWindow::FindOrAddEntry(ExtensionList list, const std::wstring& text, EntryMode mode) {
    for (const wchar_t* forbidden : kForbidden) {
        if (text.find(forbidden) == std::wstring::npos) continue;
        if (mode == EntryMode::Add) {
            const std::wstring message = std::wstring(L"不正な文字があります　 ( ") + forbidden + L" )";
            ::MessageBoxW(owner_, message.c_str(), L"Error", MB_ICONEXCLAMATION | MB_OK);
        }
        return false;
    }
    auto& entries = ListOf(list);
    if (IndexOfTextIgnoreCase(entries, text) >= 0) return true;
    if (mode == EntryMode::Add) {
        entries.push_back(text);
        SortTextIgnoreCase(entries);
        SelectionOf(list) = -1;
    }
    return false;
}

bool TConfigWindow::IsExcludedExtension(const std::wstring& extension) {
    if (!values_.RemoveEnable) return false;
    return FindOrAddEntry(ExtensionList::Exclusion, extension, EntryMode::Lookup);
}

EraseLevel TConfigWindow::CustomLevelFor(const std::wstring& extension) {
    const std::wstring text = WithoutAll(extension, L".");
    const auto fallback = static_cast<EraseLevel>(LevelFromIndex(values_.CustomMode));
    if (customTable_.empty()) return fallback;
    for (const Tag& tag : kTags) {
        const std::wstring wanted = text + tag.text;
        if (!FindOrAddEntry(ExtensionList::Custom, wanted, EntryMode::Lookup)) continue;
        // The lookup ignores letter case; the tag of the entry found must be exact.
        const int at = IndexOfTextIgnoreCase(customTable_, wanted);
        const Tag* found = at >= 0 ? TagOf(customTable_[static_cast<std::size_t>(at)]) : nullptr;
        return found ? found->level : fallback;
    }
    return fallback;
}

void TConfigWindow::LoadLists() {
    const std::wstring folder = DataFolder();
    if (!DirectoryExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);
    // Each file on its own: one that exists but cannot be read keeps its list as it is and is
    // not written over this session; the other is still read.
    const auto load = [&](const wchar_t* name, std::vector<std::wstring>& list) {
        const std::wstring path = folder + L"\\" + name;
        // After a failed save, or with no file, the list stays as this session has it.
        if (Unsaved(name) || !FileExists(path)) return;
        std::vector<std::wstring> lines;
        if (!ReadTextFile(path, lines)) {
            RaiseAssertion(AssertSite::ConfigListFiles);
            MarkUnreadable(name, path);
            return;
        }
        MarkReadable(name);
        list = std::move(lines);
        if (&list == &exclusionList_) exclusionSelected_ = -1;
    };
    try {
        load(kRemoveFile, exclusionList_);
        load(kCustomFile, customTable_);
        LoadKeptCookieSites(folder);
        RebuildCustomView();
    } catch (...) {
        RaiseAssertion(AssertSite::ConfigListFiles);
    }
}

void TConfigWindow::SaveLists() {
    const std::wstring folder = DataFolder();
    if (!DirectoryExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);
    // An empty list is written as an empty file, so that it stays empty; a file is replaced
    // only by a complete new one. A file that could not be read when the profile was loaded is
    // left alone. The first file that cannot be written stops the save: it and the lists after
    // it keep this session's entries.
    std::vector<std::pair<const wchar_t*, const std::vector<std::wstring>*>> files = {{kRemoveFile, &exclusionList_},
                                                                                      {kCustomFile, &customTable_}};
    // The kept sites only once there are any or were: a profile that never had them gets no file.
    if (!keptCookieSites_.empty() || FileExists(folder + L"\\" + kKeepCookieFile))
        files.push_back({kKeepCookieFile, &keptCookieSites_});
    try {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto& [name, list] = files[i];
            if (Unreadable(name)) continue;
            const std::wstring path = folder + L"\\" + name;
            if (ReplaceTextFile(path, *list)) {
                unsaved_.erase(name);
                continue;
            }
            RaiseAssertion(AssertSite::ConfigListFiles,
                           saveFailureNotice_ == SaveFailureNotice::ReportWithPath ? L" " + path : L"");
            for (std::size_t rest = i + 1; rest < files.size(); ++rest) unsaved_.insert(files[rest].first);
            MarkUnsaved(name, path);
            break;
        }
        RebuildCustomView();
    } catch (...) {
        RaiseAssertion(AssertSite::ConfigListFiles);
    }
}

void TConfigWindow::ResetExclusionList() {
    exclusionList_.assign(std::begin(kBuiltInExclusions), std::end(kBuiltInExclusions));
    SortList(ExtensionList::Exclusion);
}

void TConfigWindow::ResetCustomTable() {
    customTable_.clear();
    for (const BuiltInRow& row : kBuiltInCustom)
        for (const wchar_t* extension : row.extensions) customTable_.push_back(extension + std::wstring(row.tag));
    SortList(ExtensionList::Custom);
    RebuildCustomView();
}

void TConfigWindow::AddExclusion(const std::wstring& text) {
    exclusionBox_ = text;
    if (text.empty()) return;
    FindOrAddEntry(ExtensionList::Exclusion, text, EntryMode::Add);
}

void TConfigWindow::AddCustomEntry(const std::wstring& text) {
    customBox_ = text;
    try {
        const wchar_t* tag = values_.CustomMode == 1 ? L" [Normal]" : values_.CustomMode == 2 ? L" [High]" : L" [Speed]";
        if (text.empty()) return;
        // An extension is listed once, whatever its level.
        if (!customView_.empty()) {
            std::vector<std::wstring> shown;
            for (const auto& row : customView_) shown.push_back(row.extension);
            SortTextIgnoreCase(shown);
            if (IndexOfTextIgnoreCase(shown, text) >= 0) return;
        }
        FindOrAddEntry(ExtensionList::Custom, text + tag, EntryMode::Add);
        RebuildCustomView();
    } catch (...) {
        RaiseAssertion(AssertSite::ConfigRemoveExt);
    }
}

void TConfigWindow::RemoveEntryAt(ExtensionList list, int index) {
    auto& entries = ListOf(list);
    if (index < 0 || index >= static_cast<int>(entries.size())) return;
    entries.erase(entries.begin() + index);
    SortList(list);
    SelectionOf(list) = entries.empty() ? -1 : 0;
    if (list == ExtensionList::Custom) RebuildCustomView();
}

void TConfigWindow::SortList(ExtensionList list) {
    auto& entries = ListOf(list);
    if (entries.empty()) return;
    SortTextIgnoreCase(entries);
    SelectionOf(list) = 0;
    if (list == ExtensionList::Custom) RebuildCustomView();
}

void TConfigWindow::RebuildCustomView() {
    customView_.clear();
    customSelected_ = -1;
    for (const auto& entry : customTable_) {
        const Tag* tag = TagOf(entry);
        if (!tag) {
            RaiseAssertion(AssertSite::ConfigCustomTagPanic);
            break;
        }
        try {
            customView_.push_back({tag->level, WithoutAll(entry, tag->text)});
        } catch (...) {
            RaiseAssertion(AssertSite::ConfigCustomEntryShow);
        }
    }
    if (!customView_.empty()) customSelected_ = 0;
    ShowCustomView();
}
