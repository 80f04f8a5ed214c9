#pragma once

// The eraser of the traces the desktop shell and Internet Explorer keep: the files of the
// recent-documents, cookie and cache folders (destroyed through the erase engine at a level per
// kind), the URL cache entries, the URL history and the typed addresses.
//
//   TIE_ERASE eraser(TIE_ERASE::Cookies | TIE_ERASE::Cache, cookieLevel, cacheLevel, recentLevel,
//                    Application().Handle());
//   eraser.EraseTraces(progressBar);   // the bar may be null
//
// Nothing is erased while a window of the class "IEFrame" is open.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Types.h"

class TIE_ERASE {
public:
    // Bits of `targets`.
    enum Target : std::uint8_t {
        Cookies = 1,
        Cache = 2,
        RecentFiles = 4,
        History = 8,
    };

    // The class of the browser's top-level window, whose presence blocks the whole run.
    static constexpr const wchar_t* kBrowserClass = L"IEFrame";
    static constexpr const wchar_t* kBrowserOpenText = L"インターネットエクスプローラーを終了させて下さい。";
    static constexpr const wchar_t* kBrowserOpenCaption = L"確認";
    // Files of these names (in any letter case) stay in every folder.
    static constexpr const wchar_t* kKeptNames[] = {L"index.dat", L"desktop.ini"};

    // `owner` is the window the shell's folder lookups are made for (the application window).
    TIE_ERASE(std::uint8_t targets, EraseLevel cookieLevel, EraseLevel cacheLevel, EraseLevel recentLevel,
              HWND owner = nullptr);

    // Runs the chosen kinds in their fixed order, moving `progressBar` (range 0..100, may be
    // null) to 10, 30, [50], [70], 80 and 90. With a browser window open it only shows the
    // warning. A failure of the history step leaves through here (std::runtime_error); the
    // folder and cache steps report their own failures and the run goes on.
    void EraseTraces(HWND progressBar);

    std::uint8_t Targets() const { return targets_; }

    // The folders whose files a kind destroys, in the order they are processed; only those
    // that exist. Empty for the history kind.
    std::vector<std::wstring> TraceFolders(Target kind) const;

    // True for the names that are left alone ("index.dat", "desktop.ini", in any case).
    static bool IsKeptFile(const std::wstring& path);

private:
    void SetProgress(HWND progressBar, int position) const;
    std::wstring SpecialFolder(int csidl) const;
    void EraseTraceFolder(Target kind);
    void CleanUrlCache(bool cache, bool cookies);
    static bool BrowserOpen();

    std::uint8_t targets_;
    EraseLevel cacheLevel_;
    EraseLevel cookieLevel_;
    EraseLevel recentLevel_;
    HWND owner_;
};

// Clears the URL history store and deletes every value of the typed-address key
// (HKCU\Software\Microsoft\Internet Explorer\TypedURLs; the key itself stays). Throws
// std::runtime_error when the history object cannot be made or lacks the interface; the typed
// addresses then stay.
void ClearBrowserHistory();

// The key of the typed addresses under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kTypedUrlsKey = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
