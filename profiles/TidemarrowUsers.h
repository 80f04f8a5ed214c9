#pragma once

// The profile store. A user profile is a folder under the profile root ("User" beside the
// program); its name is the folder's name. The store lists these folders, creates and
// deletes them and builds their paths. It shows nothing and reports nothing: callers word
// their own messages and reload after a change.
//
//   profile root     program folder + "User"
//   profile folder   profile root + "\" + name          holds "Config.ini"
//   data folder      profile folder + "\Savedat"        holds the four list files
//
// No path the store returns ends in a backslash. "DefaultUser" is created whenever it is
// missing. The name list is kept sorted, and names are compared ignoring letter case by the
// user's locale (common/TextCompare.h), so "defaultuser" finds "DefaultUser".
//
// A store sees the disk as it was at its last Reload; changes made by another store or by
// the user show only after the next Reload.

#include <string>
#include <vector>

#include "common/Paths.h"

class TTidemarrowUsers {
public:
    // `programFolder` is the folder the profile root lives in, normally the folder of the
    // running executable (a trailing backslash may be given or not). Runs Reload.
    explicit TTidemarrowUsers(std::wstring programFolder = ProgramFolder());

    TTidemarrowUsers(const TTidemarrowUsers&) = delete;
    TTidemarrowUsers& operator=(const TTidemarrowUsers&) = delete;

    // Rebuilds the name list from the disk, creating the profile root and "DefaultUser"
    // when they are missing (failures are ignored: the list then holds what is found).
    void Reload();

    // Number of profiles in the list.
    int Count() const;

    // The name at `index` in sorted order, or with `asPath` that profile's folder path.
    // An index outside 0..Count-1 gives the empty string.
    std::wstring NameAt(int index, bool asPath = false) const;

    // Creates the profile folder (an existing folder of that name is taken over) and its
    // data folder, and lists the name. False when the name is already listed (in any
    // letter case), is not a usable folder name, or its folder cannot be created.
    bool CreateProfile(const std::wstring& name);

    // Deletes the profile's known files ("customerase.txt", "remove.txt", "FileList.txt",
    // "ResList.txt" in the data folder, then "Config.ini") and removes its folders. Any
    // other file keeps its folder, and a profile whose folder stays stays listed.
    void DeleteProfile(const std::wstring& name);

    // Profile root + "\" + name; whether it exists is not checked.
    std::wstring ProfilePath(const std::wstring& name) const;

    // Program folder + "User".
    std::wstring RootPath() const;

    // The files of a profile, as the store and the settings know them.
    static constexpr const wchar_t* kDefaultUser = L"DefaultUser";
    static constexpr const wchar_t* kDataFolder = L"Savedat";
    static constexpr const wchar_t* kConfigFile = L"Config.ini";

private:
    void SortNames();
    bool Listed(const std::wstring& name) const;

    std::wstring programFolder_;
    std::vector<std::wstring> names_;
};

// True when `name` can be a profile: one folder name inside the profile root. Empty names,
// "." and "..", names holding a path separator or a character that no file name may hold,
// and names ending in a dot or a blank (the file system drops those) cannot.
bool IsProfileName(const std::wstring& name);
