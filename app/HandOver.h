#pragma once

// What a later start of the program does with a running one: hands its command-line paths to
// the running main window (WM_COPYDATA, tagged kHandOverTag) and brings that window to the
// front. The running window only copies the paths and posts the work to itself, so the later
// start never waits on a message box or a folder scan.
//
//   if (HWND running = ::FindWindowW(TMainWindow::kClassName, TMainWindow::kTitle))
//       return HandOverToRunningWindow(running, arguments) ? 0 : 1;

#include <windows.h>

#include <string>
#include <vector>

// The tag of the program's WM_COPYDATA ("TM32"); other data is refused.
inline constexpr ULONG_PTR kHandOverTag = 0x32334D54;
// The same from a start through Explorer's right-click menu ("TM3V").
inline constexpr ULONG_PTR kVerbHandOverTag = 0x56334D54;
// A start with /RecycleBin ("TM3B"): the running window asks the Recycle Bin's question.
inline constexpr ULONG_PTR kRecycleBinHandOverTag = 0x42334D54;
// Sends it; true when the window will ask, false when it refused (busy) or did not answer.
bool HandOverRecycleBin(HWND window);
// The later start's message when the running window refused.
inline constexpr wchar_t kRecycleBinRefused[] =
    L"処理中のため、ごみ箱を抹消できません。終わってから、もう一度実行して下さい。";
// The most a hand-over carries, in characters (Windows command lines stop at 32,767).
inline constexpr std::size_t kHandOverMaxChars = 64 * 1024;

// The running window's answer to a hand-over (the WM_COPYDATA result). While its free-space
// panel shows it takes nothing and tells the later start why, so that the box shows in the
// later start's process and never inside the fill's message servicing.
enum HandOverReply : LRESULT {
    kHandOverNotTaken = 0,
    kHandOverTaken = 1,
    kHandOverRefusedFreeSpacePanel = 2,  // the panel shows, idle
    kHandOverRefusedRunning = 3,         // the free space is being filled
};
// Why files cannot be added: an erase run or a fill works.
inline constexpr wchar_t kHandOverRunningText[] =
    L"抹消処理中のため、ファイルを追加できません。\r\n処理が終わってから、もう一度ファイルを送って下さい。";
// Why files cannot be added: the free-space panel shows.
inline constexpr wchar_t kHandOverFreeSpaceText[] =
    L"空き領域の抹消の表示中は、ファイルを追加できません。\r\n"
    L"「このウインドウを閉じる」を押してから、もう一度ファイルを送って下さい。";

// The program's command-line arguments after its own name.
std::vector<std::wstring> CommandLineArguments();

// An argument as a path: double quotes removed, made full against the current folder (a path
// kept relative would name another file once the current folder changes), without a separator
// at its end unless it is a drive's root. Empty when nothing is left.
std::wstring CommandLinePath(const std::wstring& argument);

// The paths as one block: each ends with a null character, an empty one ends the block.
std::vector<wchar_t> PackHandOver(const std::vector<std::wstring>& paths);
// The paths of a hand-over; false (and nothing) for data not tagged as one, too large or not
// ending as a block does. `fromVerb`, when given, tells whether the verb's start sent them.
bool UnpackHandOver(const COPYDATASTRUCT& data, std::vector<std::wstring>& paths, bool* fromVerb = nullptr);

// Hands the arguments (as full paths) to the running window, then brings it, or the window it
// shows on top of itself, to the front. Without arguments it only brings it to the front.
// False when the window did not take them (it ended meanwhile, does not answer, or refused
// them; a refusal is told in a box of this process first).
bool HandOverToRunningWindow(HWND window, const std::vector<std::wstring>& arguments, bool fromVerb = false);

// The starts of Explorer's right-click menu: one per selected item, all at once. Each holds
// this lock (shared by the desktop's session) from its search for a running main window until
// it has handed its item over or made the window itself, so they meet in one window.
class VerbStartLock {
public:
    // Takes the lock when `take` is set; otherwise holds nothing.
    explicit VerbStartLock(bool take);
    ~VerbStartLock() { Release(); }
    VerbStartLock(const VerbStartLock&) = delete;
    VerbStartLock& operator=(const VerbStartLock&) = delete;
    void Release();

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

// Marks the window as this program's main window (a window property of its own), so that a
// later start can tell it from another program's window of the same class.
void MarkProgramWindow(HWND window);
void UnmarkProgramWindow(HWND window);
// Whether the window carries that mark.
bool IsProgramWindow(HWND window);

// The window a start from the verb hands its item to: the program's main window with exactly
// the product title, else any main window of the program whatever its caption shows; null when
// none. A window of the class that another program made is never taken.
HWND FindMainWindowForVerb();
