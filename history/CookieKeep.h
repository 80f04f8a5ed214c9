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

// The site name a text stands for, as the list keeps it: blanks trimmed, in lower case, without
// a leading "." and a leading "www.". Empty when nothing is left, or when the text is no host
// name (a blank, "/", ":" or another character no host name holds, or an empty label).
std::wstring CookieSiteName(const std::wstring& text);

// The sites found in the cookies of every browser the history tools know: Internet Explorer's
// cookie entries of the URL cache, and the cookie databases of every profile of Edge, Chrome and
// Firefox, each read from a copy (`ReadCookieHosts`). Hosts only, never values; each as
// `CookieSiteName` gives it, once, sorted.
struct CookieSiteList {
    std::vector<std::wstring> sites;
    // The browsers ("Google Chrome", …) a database of which could not be read (held locked).
    std::vector<std::wstring> unreadable;
};
CookieSiteList CookieSites();
