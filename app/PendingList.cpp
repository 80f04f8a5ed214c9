#include "app/PendingList.h"

#include <windows.h>

#include <cwchar>
#include <memory>
#include <type_traits>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/TextCodec.h"
#include "common/Paths.h"
#include "engine/FileHolders.h"
#include "profiles/TidemarrowUsers.h"

namespace {

const wchar_t* const kLevelWords[] = {L"Speed", L"Normal", L"High"};
const wchar_t kEndMarker[] = L"[END TEXT]";

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

PendingRunSeams& Seams() {
    static PendingRunSeams seams;
    return seams;
}

bool ParseHex(const std::wstring& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 16) return false;
    value = 0;
    for (wchar_t c : text) {
        int digit = -1;
        if (c >= L'0' && c <= L'9') digit = c - L'0';
        else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
        else if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
        if (digit < 0) return false;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return true;
}

std::wstring Hex(std::uint64_t value, int digits) {
    wchar_t text[20] = {};
    std::swprintf(text, 20, L"%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

// The judgement by which an unmarked list valid in both code forms is decided.
bool NamesExistingPendingFile(const std::wstring& line) {
    PendingEntry entry;
    return ParsePendingLine(line, entry) && FsEntryExists(entry.path);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring PendingLine(const PendingEntry& entry) {
    const int level = static_cast<int>(entry.level);
    return std::wstring(level >= 0 && level <= 2 ? kLevelWords[level] : kLevelWords[0]) + L"\t" +
           Hex(entry.identity.volume, 8) + L"\t" + Hex(entry.identity.index, 16) + L"\t" +
           Hex(entry.identity.size, 16) + L"\t" + Hex(entry.identity.lastWrite, 16) + L"\t" + entry.path;
}

bool ParsePendingLine(const std::wstring& line, PendingEntry& entry) {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    while (fields.size() < 5) {
        const std::size_t tab = line.find(L'\t', start);
        if (tab == std::wstring::npos) return false;
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    PendingEntry parsed;
    parsed.path = line.substr(start);
    if (parsed.path.size() < 4 || parsed.path.find(L":\\") != 1) return false;
    bool levelKnown = false;
    for (int level = 0; level <= 2; ++level)
        if (fields[0] == kLevelWords[level]) {
            parsed.level = static_cast<EraseLevel>(level);
            levelKnown = true;
        }
    std::uint64_t volume = 0;
    if (!levelKnown || !ParseHex(fields[1], volume) || volume > 0xFFFFFFFFull ||
        !ParseHex(fields[2], parsed.identity.index) || !ParseHex(fields[3], parsed.identity.size) ||
        !ParseHex(fields[4], parsed.identity.lastWrite))
        return false;
    parsed.identity.volume = static_cast<std::uint32_t>(volume);
    entry = std::move(parsed);
    return true;
}

bool ReadPendingList(const std::wstring& file, std::vector<PendingEntry>& entries) {
    entries.clear();
    if (!FsEntryExists(file)) return true;
    std::vector<std::wstring> lines;
    if (!ReadListFile(file, lines, nullptr, NamesExistingPendingFile)) return false;
    for (const std::wstring& line : lines) {
        PendingEntry entry;
        if (ParsePendingLine(line, entry)) MergePendingEntries(entries, {entry});
    }
    return true;
}

bool WritePendingList(const std::wstring& file, const std::vector<PendingEntry>& entries, const std::wstring& title) {
    if (entries.empty()) return ::DeleteFileW(file.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    std::vector<std::wstring> lines{L"[" + title + L"]"};
    for (const PendingEntry& entry : entries) lines.push_back(PendingLine(entry));
    lines.push_back(kEndMarker);
    return ReplaceTextFile(file, lines);
}

void MergePendingEntries(std::vector<PendingEntry>& list, const std::vector<PendingEntry>& added) {
    for (const PendingEntry& entry : added) {
        bool replaced = false;
        for (PendingEntry& listed : list)
            if (SameText(listed.path, entry.path)) {
                listed = entry;
                replaced = true;
            }
        if (!replaced) list.push_back(entry);
    }
}

bool ReadFileIdentity(const std::wstring& path, FileIdentity& identity) {
    // No data access: another program's sharing mode does not stand in the way. A link put in
    // the file's place is asked itself, not followed, and so is another file.
    UniqueFile file(FsCreateFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &information)) return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    identity.size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    identity.lastWrite = (static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
                         information.ftLastWriteTime.dwLowDateTime;
    return true;
}

PendingFacts GatherPendingFacts(const std::wstring& path) {
    PendingFacts facts;
    facts.found = FsEntryExists(path);
    if (!facts.found) return facts;
    facts.identityKnown = ReadFileIdentity(path, facts.identity);
    facts.inUse = FileInUse(path);
    return facts;
}

PendingAction DecidePending(const FileIdentity& marked, const PendingFacts& facts) {
    if (!facts.found) return PendingAction::DropMissing;
    // A file that cannot be told apart from another is never erased.
    if (!facts.identityKnown) return facts.inUse ? PendingAction::KeepHeld : PendingAction::DropChanged;
    if (!(facts.identity == marked)) return PendingAction::DropChanged;
    return facts.inUse ? PendingAction::KeepHeld : PendingAction::Erase;
}

bool PendingStartWanted(const std::wstring& programFolder, const std::wstring& profile) {
    const std::wstring folder = programFolder + L"User\\" + profile;
    std::vector<PendingEntry> entries;
    if (IsProfileName(profile) && DirectoryExists(folder) &&
        ReadPendingList(folder + L"\\Savedat\\" + kPendingListFile, entries) && !entries.empty())
        return true;
    RemovePendingRunValue(profile);
    return false;
}

// --- the start entry ---

PendingRunSeams SetPendingRunSeams(PendingRunSeams seams) {
    PendingRunSeams previous = Seams();
    Seams() = std::move(seams);
    return previous;
}

std::wstring PendingRunProgram() {
    if (!Seams().program.empty()) return Seams().program;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring PendingRunCommand(const std::wstring& program, const std::wstring& profile) {
    const std::wstring name = profile.find(L' ') != std::wstring::npos ? L"\"" + profile + L"\"" : profile;
    return L"\"" + program + L"\" " + kPendingSwitch + L" " + name;
}

std::wstring PendingRunValue() {
    const std::wstring& key = Seams().runKey;
    DWORD bytes = 0;
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kPendingRunValueName, flags, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return {};
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kPendingRunValueName, flags, nullptr, text.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

bool WritePendingRunValue(const std::wstring& profile) {
    const std::wstring program = PendingRunProgram();
    if (program.empty()) return false;
    const std::wstring command = PendingRunCommand(program, profile);
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, Seams().runKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueKey key(raw);
    return ::RegSetValueExW(key.get(), kPendingRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RemovePendingRunValue(const std::wstring& profile) {
    const std::wstring program = PendingRunProgram();
    if (program.empty() || !SameText(PendingRunValue(), PendingRunCommand(program, profile))) return true;
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Seams().runKey.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS)
        return false;
    UniqueKey key(raw);
    return ::RegDeleteValueW(key.get(), kPendingRunValueName) == ERROR_SUCCESS;
}
