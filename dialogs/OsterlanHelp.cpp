#include "dialogs/OsterlanHelp.h"

#include <htmlhelp.h>

#include <vector>

#include "common/Paths.h"

namespace {

using HtmlHelpWFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

}  // namespace

std::wstring HelpViewerLibrary() {
    const UINT length = ::GetSystemDirectoryW(nullptr, 0);
    if (length == 0) return L"hhctrl.ocx";
    std::vector<wchar_t> folder(length + 1, L'\0');
    const UINT written = ::GetSystemDirectoryW(folder.data(), length + 1);
    std::wstring path(folder.data(), written);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + L"hhctrl.ocx";
}

HelpOpenResult OpenHelp(const std::wstring& path, HWND owner) {
    return OpenHelpWithViewer(HelpViewerLibrary(), path, owner);
}

HelpOpenResult OpenHelpWithViewer(const std::wstring& viewerLibrary, const std::wstring& path, HWND owner) {
    if (path.empty() || !FileExists(path)) return HelpOpenResult::NoFile;
    // The viewer is taken by its full path, never from the current or the program's folder.
    // A library that gave the entry stays loaded: the help window it opened runs its code.
    HMODULE library = ::LoadLibraryW(viewerLibrary.c_str());
    if (!library) return HelpOpenResult::NoViewer;
    auto htmlHelp =
        reinterpret_cast<HtmlHelpWFunction>(reinterpret_cast<void*>(::GetProcAddress(library, "HtmlHelpW")));
    if (!htmlHelp) {
        ::FreeLibrary(library);
        return HelpOpenResult::NoViewer;
    }
    HWND viewer = htmlHelp(owner, path.c_str(), HH_DISPLAY_INDEX, 0);
    return viewer ? HelpOpenResult::Opened : HelpOpenResult::NotShown;
}
