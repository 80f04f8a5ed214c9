#pragma once

// The one door through which the program's file calls on listed and gathered files reach the
// file system. Paths stay plain everywhere they are shown or stored; here, and only here,
// they get the long form ("\\?\C:\...") that addresses names the plain form cannot (a
// trailing dot or blank, more than the classic path limit), and each call is made with the
// 32-bit system-folder redirection of 64-bit Windows turned off, so that it reaches the file
// the path names and not another one.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

// --- What the system says about one file ---
//
// Asked in one place (`FsFileFactsByName` before the file is opened, `FsFileFactsOfOpenFile`
// on the open file, `FsClustersOfOpenFile` again after writing), kept in a plain description,
// and decided on elsewhere in plain code. Every question has an answer of its own for "cannot
// be asked", and the program then behaves as it did before it asked.


// A run of a file's clusters: virtual clusters [vcn, nextVcn) lie at logical cluster `lcn` on the
// volume, or nowhere (`lcn` -1: a hole, or the unused part of a compression unit).
struct ClusterRun {
    std::int64_t vcn = 0;
    std::int64_t nextVcn = 0;
    std::int64_t lcn = -1;
    bool operator==(const ClusterRun&) const = default;
};

// A range of bytes of a file.
struct ByteRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    bool operator==(const ByteRange&) const = default;
};

// What a cloud files client keeps of a file on this computer.
enum class CloudState {
    None,         // not a file of a cloud files client
    Present,      // a placeholder whose content is all here
    CloudOnly,    // a placeholder whose content (or part of it) is only in the cloud
};

struct FileFacts {
    // By name, before the file is opened.
    bool found = false;
    DWORD attributes = 0;
    DWORD reparseTag = 0;  // 0 when not a reparse point
    CloudState cloud = CloudState::None;
    // On the open file.
    bool opened = false;
    bool readable = false;  // opened for reading too (the questions below need it)
    std::int64_t size = 0;
    std::int64_t allocation = -1;  // -1: cannot be asked
    DWORD clusterSize = 0;         // 0: cannot be asked
    bool clustersKnown = false;    // false: cannot be asked (or the answer was not well formed)
    std::vector<ClusterRun> clusters;
    bool rangesKnown = false;  // asked only of sparse files
    std::vector<ByteRange> allocatedRanges;
};

// Reads one answer of FSCTL_GET_RETRIEVAL_POINTERS asked from `askedVcn` (`bytes` of it) and
// appends its runs; `next` is where a further question would start. False when the answer is
// not well formed (no extent, a start other than the one asked, a NextVcn not greater than the
// one before).
bool AppendRetrievalPointers(const void* answer, std::size_t bytes, std::int64_t askedVcn,
                             std::vector<ClusterRun>& runs, std::int64_t& next);
// Whether gathered runs cover an allocation of `allocation` bytes in clusters of `clusterSize`.
bool ClusterRunsCover(const std::vector<ClusterRun>& runs, std::int64_t allocation, DWORD clusterSize);
// The clusters on the volume that `before` holds and `after` does not.
std::int64_t ClustersFreed(const std::vector<ClusterRun>& before, const std::vector<ClusterRun>& after);
// Whether a reparse tag is one of the cloud files platform's (IO_REPARSE_TAG_CLOUD, _1 ... _F).
bool IsCloudTag(DWORD tag);

// What the medium under a drive is. Each field is false when it cannot be asked.
struct DriveFacts {
    bool solidState = false;  // the drive reports no seek penalty
    bool trim = false;        // the drive takes TRIM
    bool refs = false;        // the file system is ReFS
    bool network = false;     // a network drive
};

// The questions behind the facts. Tests replace them; each empty one asks the system.
struct FileQuestions {
    // GetFileAttributesW, and the reparse tag of a reparse point (FindFirstFileW).
    std::function<bool(const std::wstring& systemPath, DWORD& attributes, DWORD& tag)> attributes;
    // Called with what the open file's handle told (attributes, size, allocation); may answer
    // otherwise.
    std::function<void(HANDLE file, FileFacts& facts)> openFile;
    // FSCTL_GET_RETRIEVAL_POINTERS from `startVcn`: the answer's bytes, or false with the error.
    std::function<bool(HANDLE file, std::int64_t startVcn, std::vector<unsigned char>& answer, DWORD& error)>
        retrievalPointers;
    // FSCTL_QUERY_ALLOCATED_RANGES over [0, size); false when it cannot be asked.
    std::function<bool(HANDLE file, std::int64_t size, std::vector<ByteRange>& ranges)> allocatedRanges;
    // The medium under a drive's root (the storage properties of the volume opened with no
    // access rights, the file system's name, the drive type).
    std::function<DriveFacts(const std::wstring& root)> drive;
    // The synchronised folder of the cloud files client a folder lies in, empty when it cannot
    // be asked (no cloud files platform) or the folder lies in none.
    std::function<std::wstring(const std::wstring& folder)> syncRoot;
    // The volume's cluster size (GetDiskFreeSpaceW on its root); 0 when it cannot be asked.
    std::function<DWORD(const std::wstring& root)> clusterSize;
};
// Replaces the questions and returns the previous ones.
FileQuestions SetFileQuestions(FileQuestions questions);

// The root of the drive a full path lies on ("C:\", "\\server\share\"); empty for other forms.
std::wstring DriveRootOf(const std::wstring& path);

// The facts a look-up by name gives (one look-up; the reparse tag only for a reparse point).
FileFacts FsFileFactsByName(const std::wstring& path);
// Completes `facts` from the open file `file` of `path`: size, allocation, attributes, cluster
// size, the clusters (when readable) and, for a sparse file, the ranges that hold data.
void FsFileFactsOfOpenFile(HANDLE file, const std::wstring& path, FileFacts& facts);
// The file's clusters now; false when they cannot be asked or the answer is not well formed.
// A file whose data lives in its file record has none.
bool FsClustersOfOpenFile(HANDLE file, std::int64_t allocation, DWORD clusterSize, std::vector<ClusterRun>& runs);
// The medium under the drive whose root is `root` (such as C:\ or \\server\share\ ).
DriveFacts FsDriveFacts(const std::wstring& root);
// The synchronised folder a cloud placeholder's folder lies in; empty when unknown. Asked only of
// files with a cloud tag (the platform's call is looked up at run time).
std::wstring FsSyncRootOf(const std::wstring& folder);
