#pragma once

// The one door through which the program's file calls on listed and gathered files reach the
// file system. Paths stay plain everywhere they are shown or stored; here, and only here,
// they get the long form ("\\?\C:\...") that addresses names the plain form cannot (a
// trailing dot or blank, more than the classic path limit), and each call is made with the
// 32-bit system-folder redirection of 64-bit Windows turned off, so that it reaches the file
// the path names and not another one.

#include <windows.h>

#include <functional>
#include <string>

// The path as the file calls take it: the long form for a full drive-letter or UNC path
// whose pieces need no resolving (no "." or ".." piece, no doubled separator, no "/");
// every other path as it is.
std::wstring SystemPathOf(const std::wstring& path);

// Whether an entry name found in a folder can be put after "folder\" and still name that
// entry: not when it holds a separator or a character the Windows name rules forbid (such
// names exist on other file systems and may be shown as they are).
bool IsAddressableName(const std::wstring& name);

// Turns the file-system redirection off on this thread for its lifetime (nested scopes
// turn it off once). Does nothing where there is no redirection.
class NativeFileSystem {
public:
    NativeFileSystem();
    ~NativeFileSystem();
    NativeFileSystem(const NativeFileSystem&) = delete;
    NativeFileSystem& operator=(const NativeFileSystem&) = delete;
};

// The file calls, each with the path's system form and the redirection off.
DWORD FsGetAttributes(const std::wstring& path);
bool FsSetAttributes(const std::wstring& path, DWORD attributes);
HANDLE FsCreateFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
bool FsMoveFile(const std::wstring& from, const std::wstring& to);
bool FsDeleteFile(const std::wstring& path);
HANDLE FsFindFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW& entry);
// The first and next streams of a file (FindFirstStreamW/FindNextStreamW, looked up at run
// time): INVALID_HANDLE_VALUE and false where the system fails or has no such call.
HANDLE FsFindFirstStream(const std::wstring& path, WIN32_FIND_STREAM_DATA& stream);
bool FsFindNextStream(HANDLE find, WIN32_FIND_STREAM_DATA& stream);
// True when the folder holds an entry of that name, also one this program may not open.
bool FsEntryExists(const std::wstring& path);
// The same for a name whose letter case the caller knows is the entry's own (one it gave the
// entry itself). Where the system matches names without regard to case by reading the whole
// folder (Wine on a Unix file system), a name that is not there is looked up by its exact
// spelling instead, which costs one look-up however large the folder is; elsewhere, and for
// names the exact look-up cannot spell, it is `FsEntryExists`.
bool FsExactEntryExists(const std::wstring& path);
// The attributes and length of an open file, from the handle alone (without the volume's
// details that GetFileInformationByHandle also gathers, which some systems find slowly).
// False when the system cannot say.
bool FsDescribeOpenFile(HANDLE handle, DWORD& attributes, LONGLONG& size);
// The final path of an open file or folder ("\\?\C:\..."), empty when the system cannot say.
// `available` is set false where the system has no such call at all.
std::wstring FinalPathOf(HANDLE handle, bool* available = nullptr);

// Where an open file or folder lies on its volume: the volume's serial number in hex, then its
// path from the volume's root ("1234abcd\data\a.txt"); empty when the system cannot say. For
// where `FinalPathOf` cannot answer (Wine gives no final path much beyond the classic limit).
std::wstring VolumePathOf(HANDLE handle);

// The system calls behind `NativeFileSystem`, and a watcher told of every file call made
// through this door (with the path as handed to the system). Tests replace them.
struct FileSystemRedirectionCalls {
    BOOL(WINAPI* disable)(PVOID* oldValue) = nullptr;
    BOOL(WINAPI* revert)(PVOID oldValue) = nullptr;
    std::function<void(const std::wstring& systemPath)> watchCall;
};
// Replaces the calls and returns the previous ones. Default: the kernel's calls when it has
// them (in the 32-bit edition), none otherwise.
FileSystemRedirectionCalls SetFileSystemRedirectionCalls(FileSystemRedirectionCalls calls);
