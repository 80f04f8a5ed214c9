#pragma once

// The sites whose cookies the cookie entries keep: the profile's "Savedat\keepcookie.txt", one
// site a line (a domain such as example.co.jp), read in the list files' rules. A cookie stays
// when its host, without the leading dot, is a kept site or ends with "." and a kept site.

#include <string>
#include <vector>

inline constexpr const wchar_t* kKeepCookieFile = L"keepcookie.txt";
// Said (and logged) when the list exists but cannot be read: the cookie entries then do not run.
inline constexpr const wchar_t* kKeepCookieUnreadableText =
    L"「クッキーを残すサイト」の一覧 (keepcookie.txt) を読めなかったため、クッキーは抹消しませんでした。";

struct KeptCookieSites {
    bool readable = true;             // false: the file is there but could not be read
    std::vector<std::wstring> sites;  // without blanks and a leading dot; empty lines left out
};

// The list of the data folder ("…\Savedat"); a missing file is an empty, readable list.
KeptCookieSites ReadKeptCookieSites(const std::wstring& dataFolder);

// True when a cookie of `host` stays (letter case aside).
bool KeepsCookieHost(const std::wstring& host, const std::vector<std::wstring>& sites);
