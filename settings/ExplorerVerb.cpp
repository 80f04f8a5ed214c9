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

bool SameCommand(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring ExplorerVerbCommand(const std::wstring& program) {
    return L"\"" + program + L"\" " + kExplorerVerbSwitch + L" \"%1\"";
}

std::wstring ExplorerVerbCommandOf(const wchar_t* itemClass) {
    const std::wstring path = VerbKeyOf(itemClass) + L"\\command";
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

bool ExplorerVerbPointsAt(const std::wstring& program) {
    const std::wstring command = ExplorerVerbCommand(program);
    for (const wchar_t* itemClass : kItemClasses)
        if (!SameCommand(ExplorerVerbCommandOf(itemClass), command)) return false;
    return true;
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
    return ok;
}

bool RemoveExplorerVerb(const std::wstring& program) {
    const std::wstring command = ExplorerVerbCommand(program);
    bool ok = true;
    for (const wchar_t* itemClass : kItemClasses) {
        if (!SameCommand(ExplorerVerbCommandOf(itemClass), command)) continue;
        ok = ::RegDeleteTreeW(HKEY_CURRENT_USER, VerbKeyOf(itemClass).c_str()) == ERROR_SUCCESS && ok;
    }
    return ok;
}
