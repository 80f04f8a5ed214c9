#pragma once

// Assertion failures. Every place in the system that catches a failure names one site of
// this catalogue; the site carries its fixed message, its source unit and its line, and the
// report carries the code address of the call that raised it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class AssertSite {
    ConfigRemoveExt,        // "Error RemoveExt Config 0A"
    ConfigIniWrite,         // "INI Error -05"
    ConfigListFiles,        // "除外設定読み込みエラー"
    ConfigDrawInfoPage,     // "描写エラーです..11"
    ConfigDrawModeInfo,     // "Error DrawModeInfoLine"
    ConfigCustomTagPanic,   // "???Panic??? CodeLine 1015"
    ConfigCustomEntryShow,  // "拡張リスト表示時にエラーが発生しました。"
    LoginWindow,            // "Login Window error"
    IeCacheEntries,         // "ie Function error 12"
    IeFolderErase,          // "error ie function"
    MainAddFile,            // "ファイル追加時にエラーが発生しました。FileName:" + path
    MainRunUnknown,         // "処理時に不明なエラーが発生！"
    MainShellDrop,          // "Shell Drop Error"
    MainReload,             // "ReLoadError 0E"
    MainDeleteFileList,     // "DeleteFileList Error"
    MainButtonGlyph,        // "正しい描写が完了しませんでした"
    MainHistoryTools,       // "Error 5E"
    MainListTransfer,       // "エラー 09"
    MainCommandLine,        // "ComError 01"
    MainHtmlHelp,           // "Html Help Open error 01"
    MainTestPattern,        // "てぇすとぱたーん 03"
    EraseFuncOutOfZero,     // "Out of zero"
    EraseFuncDirSearch,     // "DirSeachError"
};

struct AssertSiteInfo {
    AssertSite site;
    const wchar_t* message;
    const wchar_t* unit;
    int line;
};

// The fixed message, unit and line of a site.
const AssertSiteInfo& SiteInfo(AssertSite site);
// Every site, in catalogue order.
const std::vector<AssertSiteInfo>& AllAssertSites();

// The process-wide handler: message, unit, line and the code address of the failing call.
using AssertionHandler =
    std::function<void(const std::wstring& message, const std::wstring& unit, int line, std::uintptr_t address)>;

// Hands one failure to the installed handler. The handler never raises anything.
void ReportAssertion(const std::wstring& message, const std::wstring& unit, int line, std::uintptr_t address);

// Installs the handler, returning the previous one. Until a handler is installed, reports
// are kept in memory (see `RecordedAssertions`).
AssertionHandler SetAssertionHandler(AssertionHandler handler);

// Raises the site's assertion failure; `suffix` is appended to the message (the file-add
// site puts the file's full path there). The address reported is the return address of
// this call minus one, so it falls inside the calling instruction.
void RaiseAssertion(AssertSite site, const std::wstring& suffix = {});

// A failure kept by the in-memory handler.
struct RecordedAssertion {
    std::wstring message;
    std::wstring unit;
    int line = 0;
    std::uintptr_t address = 0;
};

// The failures kept by the in-memory handler since the last `ClearRecordedAssertions`.
std::vector<RecordedAssertion> RecordedAssertions();
void ClearRecordedAssertions();
// The in-memory handler itself, for installing it again.
void RecordAssertion(const std::wstring& message, const std::wstring& unit, int line, std::uintptr_t address);
