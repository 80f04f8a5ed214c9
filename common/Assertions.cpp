#include "common/Assertions.h"

#include <mutex>
#include <utility>

namespace {

const std::vector<AssertSiteInfo>& Catalogue() {
    static const std::vector<AssertSiteInfo> sites = {
        {AssertSite::ConfigRemoveExt, L"Error RemoveExt Config 0A", L"config", 373},
        {AssertSite::ConfigIniWrite, L"INI Error -05", L"config", 583},
        {AssertSite::ConfigListFiles, L"除外設定読み込みエラー", L"config", 620},
        {AssertSite::ConfigDrawInfoPage, L"描写エラーです..11", L"config", 839},
        {AssertSite::ConfigDrawModeInfo, L"Error DrawModeInfoLine", L"config", 965},
        {AssertSite::ConfigCustomTagPanic, L"???Panic??? CodeLine 1015", L"config", 1002},
        {AssertSite::ConfigCustomEntryShow, L"拡張リスト表示時にエラーが発生しました。", L"config", 1019},
        {AssertSite::LoginWindow, L"Login Window error", L"Nuser", 70},
        {AssertSite::IeCacheEntries, L"ie Function error 12", L"ie", 125},
        {AssertSite::IeFolderErase, L"error ie function", L"ie", 169},
        {AssertSite::MainAddFile, L"ファイル追加時にエラーが発生しました。FileName:", L"Main", 382},
        {AssertSite::MainRunUnknown, L"処理時に不明なエラーが発生！", L"Main", 616},
        {AssertSite::MainShellDrop, L"Shell Drop Error", L"Main", 666},
        {AssertSite::MainReload, L"ReLoadError 0E", L"Main", 716},
        {AssertSite::MainDeleteFileList, L"DeleteFileList Error", L"Main", 937},
        {AssertSite::MainButtonGlyph, L"正しい描写が完了しませんでした", L"Main", 972},
        {AssertSite::MainHistoryTools, L"Error 5E", L"Main", 1175},
        {AssertSite::MainListTransfer, L"エラー 09", L"Main", 1307},
        {AssertSite::MainCommandLine, L"ComError 01", L"Main", 1337},
        {AssertSite::MainHtmlHelp, L"Html Help Open error 01", L"Main", 1351},
        {AssertSite::MainTestPattern, L"てぇすとぱたーん 03", L"Main", 1405},
        {AssertSite::EraseFuncOutOfZero, L"Out of zero", L"EraseFunc", 87},
        {AssertSite::EraseFuncDirSearch, L"DirSeachError", L"EraseFunc", 238},
    };
    return sites;
}

std::mutex& RecordMutex() {
    static std::mutex m;
    return m;
}

std::vector<RecordedAssertion>& Records() {
    static std::vector<RecordedAssertion> records;
    return records;
}

AssertionHandler& Handler() {
    static AssertionHandler handler = RecordAssertion;
    return handler;
}

}  // namespace

const AssertSiteInfo& SiteInfo(AssertSite site) {
    return Catalogue().at(static_cast<std::size_t>(site));
}

const std::vector<AssertSiteInfo>& AllAssertSites() { return Catalogue(); }

void ReportAssertion(const std::wstring& message, const std::wstring& unit, int line, std::uintptr_t address) {
    try {
        if (const auto& handler = Handler()) handler(message, unit, line, address);
    } catch (...) {
        // A report must never become a failure of its own.
    }
}

AssertionHandler SetAssertionHandler(AssertionHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

__attribute__((noinline)) void RaiseAssertion(AssertSite site, const std::wstring& suffix) {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)) - 1u;
    const AssertSiteInfo& info = SiteInfo(site);
    ReportAssertion(info.message + suffix, info.unit, info.line, address);
}

void RecordAssertion(const std::wstring& message, const std::wstring& unit, int line, std::uintptr_t address) {
    std::lock_guard lock(RecordMutex());
    Records().push_back({message, unit, line, address});
}

std::vector<RecordedAssertion> RecordedAssertions() {
    std::lock_guard lock(RecordMutex());
    return Records();
}

void ClearRecordedAssertions() {
    std::lock_guard lock(RecordMutex());
    Records().clear();
}
