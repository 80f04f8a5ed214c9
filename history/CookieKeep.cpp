// The sites whose cookies stay.

#include "history/CookieKeep.h"

#include <windows.h>

#include "common/Paths.h"
#include "common/TextCodec.h"

namespace {

std::wstring Site(std::wstring text) {
    const std::size_t first = text.find_first_not_of(L" \t\u3000");
    if (first == std::wstring::npos) return {};
    text = text.substr(first, text.find_last_not_of(L" \t\u3000") - first + 1);
    while (!text.empty() && text.front() == L'.') text.erase(0, 1);
    return text;
}

bool SameText(const wchar_t* a, std::size_t aLength, const std::wstring& b) {
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

KeptCookieSites ReadKeptCookieSites(const std::wstring& dataFolder) {
    KeptCookieSites kept;
    const std::wstring path = dataFolder + L"\\" + kKeepCookieFile;
    if (!FileExists(path)) return kept;
    std::vector<std::wstring> lines;
    if (!ReadTextFile(path, lines)) {
        kept.readable = false;
        return kept;
    }
    for (const std::wstring& line : lines)
        if (const std::wstring site = Site(line); !site.empty()) kept.sites.push_back(site);
    return kept;
}

bool KeepsCookieHost(const std::wstring& host, const std::vector<std::wstring>& sites) {
    const std::wstring own = Site(host);
    for (const std::wstring& site : sites) {
        if (own.size() < site.size()) continue;
        const std::size_t start = own.size() - site.size();
        if (SameText(own.c_str() + start, site.size(), site) && (start == 0 || own[start - 1] == L'.')) return true;
    }
    return false;
}

std::wstring CookieSiteName(const std::wstring& text) {
    std::wstring site = text;
    const std::size_t first = site.find_first_not_of(L" \t\u3000");
    if (first == std::wstring::npos) return {};
    site = site.substr(first, site.find_last_not_of(L" \t\u3000") - first + 1);
    if (!site.empty()) ::CharLowerBuffW(site.data(), static_cast<DWORD>(site.size()));
    while (!site.empty() && site.front() == L'.') site.erase(0, 1);
    if (site.rfind(L"www.", 0) == 0) site.erase(0, 4);
    for (wchar_t c : site) {
        const bool ascii = c < 0x80;
        if (ascii && !((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_' || c == L'.'))
            return {};
        // Blanks and full-width punctuation of the other ranges are no part of a host name either.
        if (!ascii && (c == L'\u3000' || (c >= 0xFF00 && c <= 0xFF20) || c < 0xA0)) return {};
    }
    if (site.find(L"..") != std::wstring::npos || (!site.empty() && site.back() == L'.')) return {};
    return site;
}
