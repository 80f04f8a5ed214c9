#include "settings/ExplorerVerb.h"

#include <windows.h>

#include <memory>
#include <type_traits>

namespace {

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// The classes the verb is offered on: every file, and folders.
const wchar_t* const kItemClasses[] = {L"*", L"Directory"};

std::wstring VerbKeyOf(const wchar_t* itemClass) {
    return std::wstring(L"Software\\Classes\\") + itemClass + L"\\shell\\" + kExplorerVerbKey;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

UniqueKey CreateKey(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return UniqueKey();
    return UniqueKey(key);
}

std::wstring RecycleBinVerbKey() { return std::wstring(kRecycleBinClassKey) + L"\\shell\\" + kExplorerVerbKey; }

std::wstring CommandAt(const std::wstring& verbKey) {
    const std::wstring path = verbKey + L"\\command";
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                       nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return L"";
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                       nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return L"";
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

// Deletes a key that holds no value and no sub-key; true when it is gone or was not empty.
bool DeleteIfEmpty(const std::wstring& path) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return true;
    UniqueKey key(raw);
    DWORD subKeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    key.reset();
    return subKeys != 0 || values != 0 || ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
}

bool SameCommand(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring ExplorerVerbCommand(const std::wstring& program) {
    return L"\"" + program + L"\" " + kExplorerVerbSwitch + L" \"%1\"";
}

std::wstring RecycleBinVerbCommand(const std::wstring& program) {
    return L"\"" + program + L"\" " + kRecycleBinSwitch;
}

std::wstring RecycleBinVerbCommandOf() { return CommandAt(RecycleBinVerbKey()); }

std::wstring ExplorerVerbCommandOf(const wchar_t* itemClass) {
    return CommandAt(VerbKeyOf(itemClass));
}

bool ExplorerVerbPointsAt(const std::wstring& program) {
    const std::wstring command = ExplorerVerbCommand(program);
    for (const wchar_t* itemClass : kItemClasses)
        if (!SameCommand(ExplorerVerbCommandOf(itemClass), command)) return false;
    return SameCommand(RecycleBinVerbCommandOf(), RecycleBinVerbCommand(program));
}

bool RegisterExplorerVerb(const std::wstring& program) {
    bool ok = true;
    for (const wchar_t* itemClass : kItemClasses) {
        UniqueKey verb = CreateKey(VerbKeyOf(itemClass));
        UniqueKey command = CreateKey(VerbKeyOf(itemClass) + L"\\command");
        // One process per selected item, which is why Explorer offers the verb for at most 15.
        ok = verb && command && SetText(verb.get(), nullptr, kExplorerVerbCaption) &&
             SetText(verb.get(), L"Icon", L"\"" + program + L"\",0") &&
             SetText(verb.get(), L"MultiSelectModel", L"Document") &&
             SetText(command.get(), nullptr, ExplorerVerbCommand(program)) && ok;
    }
    UniqueKey bin = CreateKey(RecycleBinVerbKey());
    UniqueKey binCommand = CreateKey(RecycleBinVerbKey() + L"\\command");
    ok = bin && binCommand && SetText(bin.get(), nullptr, kExplorerVerbCaption) &&
         SetText(bin.get(), L"Icon", L"\"" + program + L"\",0") &&
         SetText(binCommand.get(), nullptr, RecycleBinVerbCommand(program)) && ok;
    return ok;
}

bool RemoveExplorerVerb(const std::wstring& program) {
    const std::wstring command = ExplorerVerbCommand(program);
    bool ok = true;
    for (const wchar_t* itemClass : kItemClasses) {
        if (!SameCommand(ExplorerVerbCommandOf(itemClass), command)) continue;
        ok = ::RegDeleteTreeW(HKEY_CURRENT_USER, VerbKeyOf(itemClass).c_str()) == ERROR_SUCCESS && ok;
    }
    // Only our key: the user's own settings of the Recycle Bin, and its name and icon, stay.
    if (SameCommand(RecycleBinVerbCommandOf(), RecycleBinVerbCommand(program))) {
        ok = ::RegDeleteTreeW(HKEY_CURRENT_USER, RecycleBinVerbKey().c_str()) == ERROR_SUCCESS && ok;
        ok = DeleteIfEmpty(std::wstring(kRecycleBinClassKey) + L"\\shell") && DeleteIfEmpty(kRecycleBinClassKey) && ok;
    }
    return ok;
}
