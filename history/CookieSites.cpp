// The sites found in the browsers' cookies, for the choice of the sites whose cookies stay.

#include <windows.h>

#include <algorithm>

#include "history/BrowserTraces.h"
#include "history/CookieKeep.h"
#include "history/IeErase.h"

CookieSiteList CookieSites() {
    CookieSiteList found;
    std::vector<std::wstring> hosts;
    TIE_ERASE::WalkUrlCache([&hosts](const INTERNET_CACHE_ENTRY_INFOW& entry) {
        if (entry.CacheEntryType & COOKIE_CACHE_ENTRY) hosts.push_back(TIE_ERASE::CookieEntryHost(entry.lpszSourceUrlName));
    });
    for (Browser browser : kBrowsers) {
        const bool chromium = browser != Browser::Firefox;
        bool read = true;
        for (const BrowserProfile& profile : BrowserProfiles(browser))
            for (const wchar_t* name : chromium ? std::vector<const wchar_t*>{L"\\Network\\Cookies", L"\\Cookies"}
                                                : std::vector<const wchar_t*>{L"\\cookies.sqlite"})
                read = ReadCookieHosts(profile.folder + name, chromium, hosts) && read;
        if (!read) found.unreadable.push_back(BrowserName(browser));
    }
    for (const std::wstring& host : hosts)
        if (std::wstring site = CookieSiteName(host); !site.empty()) found.sites.push_back(std::move(site));
    std::sort(found.sites.begin(), found.sites.end());
    found.sites.erase(std::unique(found.sites.begin(), found.sites.end()), found.sites.end());
    return found;
}
