#include "diagnostics/ErrorFunc.h"

#include <cwchar>
#include <deque>
#include <utility>

#include "common/Assertions.h"
#include "common/Paths.h"
#include "diagnostics/LogWindow.h"

namespace {

struct ReportSettings {
    std::function<bool()> errorReportOn;
    std::function<bool()> useExitFunction;
};

ReportSettings& CurrentSettings() {
    static ReportSettings settings;
    return settings;
}

// A setting as the hook tells it; on when there is no hook or the hook fails.
bool SettingOn(const std::function<bool()>& hook) noexcept {
    if (!hook) return true;
    try {
        return hook();
    } catch (...) {
        return true;
    }
}

struct PendingReport {
    SYSTEMTIME when;
    std::wstring message;
    std::wstring sourcePath;
    int line;
    std::uintptr_t address;
};

// Failures waiting to be written, and whether a block is being written now.
std::deque<PendingReport>& Pending() {
    static std::deque<PendingReport> pending;
    return pending;
}

bool& Writing() {
    static bool writing = false;
    return writing;
}

void WriteReport(const PendingReport& report) {
    TTIDEMARROW_LOG* window = ObtainErrorLogWindow();
    if (!window) return;
    window->ShowExitButton(SettingOn(CurrentSettings().useExitFunction));
    for (const std::wstring& line :
         FormatReportBlock(report.when, report.message, report.sourcePath, report.line, report.address))
        window->AppendLine(line);
    if (!::IsWindowVisible(window->Handle())) ::ShowWindow(window->Handle(), SW_SHOW);
}

std::wstring LocaleText(bool date, const SYSTEMTIME& when, LCID locale) {
    const auto format = [&](wchar_t* buffer, int size) {
        return date ? ::GetDateFormatW(locale, DATE_SHORTDATE, &when, nullptr, buffer, size)
                    : ::GetTimeFormatW(locale, 0, &when, nullptr, buffer, size);
    };
    const int needed = format(nullptr, 0);
    if (needed > 0) {
        std::wstring text(static_cast<std::size_t>(needed), L'\0');
        const int got = format(text.data(), needed);
        if (got > 0) {
            text.resize(static_cast<std::size_t>(got - 1));
            return text;
        }
    }
    // The locale cannot format it: fall back to a plain form.
    wchar_t plain[32] = {};
    if (date)
        std::swprintf(plain, 32, L"%04u/%02u/%02u", when.wYear, when.wMonth, when.wDay);
    else
        std::swprintf(plain, 32, L"%u:%02u:%02u", when.wHour, when.wMinute, when.wSecond);
    return plain;
}

}  // namespace

void InstallErrorReport() { SetAssertionHandler(ErrorFunc::ReportAssertion); }

void SetErrorReportSettings(std::function<bool()> errorReportOn, std::function<bool()> useExitFunction) {
    CurrentSettings() = {std::move(errorReportOn), std::move(useExitFunction)};
}

std::wstring DateTimeToText(const SYSTEMTIME& when, LCID locale) {
    std::wstring text = LocaleText(true, when, locale);
    if (when.wHour != 0 || when.wMinute != 0 || when.wSecond != 0) text += L" " + LocaleText(false, when, locale);
    return text;
}

std::wstring UnitNameOf(const std::wstring& sourcePath) {
    std::wstring name = ExtractFileName(sourcePath);
    name.resize(name.size() - ExtractFileExt(name).size());
    return name;
}

std::vector<std::wstring> FormatReportBlock(const SYSTEMTIME& when, const std::wstring& message,
                                            const std::wstring& sourcePath, int line, std::uintptr_t address,
                                            LCID locale) {
    // Eight digits in the 32-bit edition, sixteen in the 64-bit one: the address whole.
    wchar_t hex[24] = {};
    std::swprintf(hex, 24, L"%0*llX", static_cast<int>(2 * sizeof(std::uintptr_t)),
                  static_cast<unsigned long long>(address));
    return {
        L"日時: " + DateTimeToText(when, locale),
        L"ErrorMessage: " + message,
        L"ErrorFileLine:  " + UnitNameOf(sourcePath) + L" (" + std::to_wstring(line) + L")",
        L"ErrorAddress:  0x" + std::wstring(hex),
        std::wstring(kReportRuleLength, L'-'),
    };
}

namespace ErrorFunc {

void ReportAssertion(const std::wstring& message, const std::wstring& sourcePath, int line,
                     std::uintptr_t address) noexcept {
    try {
        if (!SettingOn(CurrentSettings().errorReportOn)) return;
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        Pending().push_back({now, message, sourcePath, line, address});
        // A failure met while a block is being written waits for that block to end.
        if (Writing()) return;
        Writing() = true;
        while (!Pending().empty()) {
            const PendingReport report = std::move(Pending().front());
            Pending().pop_front();
            WriteReport(report);
        }
        Writing() = false;
    } catch (...) {
        Pending().clear();
        Writing() = false;
    }
}

}  // namespace ErrorFunc
