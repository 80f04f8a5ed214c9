#pragma once

// What a run of the history tools did, as plain data: the entries chosen, what stayed of them
// (a file that could not be destroyed, or the reason a whole entry was passed over), the
// browsers that still ran and the Firefox profiles whose history database could not be
// cleaned. The front ends say it in their own way: the panel in message boxes, the console
// in lines.
//
//   const TraceOutcome outcome = eraser.EraseTraces(bar);
//   for (const std::wstring& text : WarningTexts(outcome)) ...   // "確認" boxes
//   ShowBox(CompletionText(outcome));

#include <cstdint>
#include <string>
#include <vector>

#include "history/BrowserTraces.h"

struct TraceLeft {
    std::uint16_t target;  // the entry (one bit of the eraser's targets)
    std::wstring what;     // the path that stayed, or why the entry was passed over
};

struct PlacesFailure {
    PlacesOutcome outcome;  // Failed or Stranded
    std::wstring profile;   // the profile's folder
};

struct TraceOutcome {
    std::uint16_t targets = 0;          // the entries chosen
    bool ieWindowOpen = false;          // Internet Explorer's entries waited for its window
    bool keepListUnreadable = false;    // the cookie entries waited: the kept sites could not be read
    std::vector<Browser> running;       // browsers whose entries waited because they ran
    std::vector<PlacesFailure> places;  // history databases left as they were (or stranded)
    std::vector<TraceLeft> left;        // in the order of the entries

    // True when an entry left something (its own or one of its files).
    bool EntryLeft(std::uint16_t target) const;
};

// The reasons an entry is passed over as a whole.
inline constexpr const wchar_t* kIeOpenReason = L"インターネットエクスプローラーが開いているため抹消しませんでした";
inline constexpr const wchar_t* kBrowserRunningReason = L"ブラウザーが動いているため抹消しませんでした";

// The completion message when nothing stayed ("処理が完了しました ", with its blank), and the
// head of the one when something did.
inline constexpr const wchar_t* kTracesDoneText = L"処理が完了しました ";
inline constexpr const wchar_t* kTracesLeftText = L"一部を抹消できませんでした。";
// The completion message shows at most this many of the lines.
inline constexpr std::size_t kLeftLinesShown = 20;

// One line per thing left: the entry's name, ": ", the path or the reason.
std::vector<std::wstring> LeftLines(const TraceOutcome& outcome);

// "処理が完了しました " when nothing was left; otherwise "一部を抹消できませんでした。", then
// up to 20 of the lines, each after "・", and "ほか N 件" for the rest; CR LF between lines.
std::wstring CompletionText(const TraceOutcome& outcome);
// The same for lines gathered from more than the trace eraser.
std::wstring CompletionText(const std::vector<std::wstring>& lines);

// What one entry would erase (`TIE_ERASE::Preview`).
struct EntryPreview {
    std::uint16_t target = 0;
    std::wstring passedOver;      // why the entry would not run; empty when it would
    std::size_t files = 0;        // files it would destroy
    std::uint64_t bytes = 0;      // their size
    std::size_t rows = 0;         // rows it would delete inside a database or the registry
    bool hasRows = false;         // the entry works on rows
};
// "12 ファイル, 3.4 MB", "250 行", both joined by ", ", or "ブラウザー動作中のため対象外" and the like.
std::wstring PreviewText(const EntryPreview& preview);
inline constexpr const wchar_t* kPreviewRunningText = L"ブラウザー動作中のため対象外";
inline constexpr const wchar_t* kPreviewIeOpenText = L"インターネットエクスプローラー動作中のため対象外";

// True for the `what` of an entry passed over as a whole (not a path).
bool IsLeftReason(const std::wstring& what);

// The warnings to show before the completion message, in order: the unreadable list of kept
// sites, Internet Explorer's open
// window, the browsers that ran (with how to end Edge fully), each history database left
// as it was.
std::vector<std::wstring> WarningTexts(const TraceOutcome& outcome);
