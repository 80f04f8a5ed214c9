// The texts the front ends show for what a run of the history tools left.

#include "history/TraceOutcome.h"

#include <algorithm>

#include "history/IeErase.h"

bool TraceOutcome::EntryLeft(std::uint16_t target) const {
    return std::any_of(left.begin(), left.end(), [target](const TraceLeft& item) { return item.target == target; });
}

std::wstring PreviewText(const EntryPreview& preview) {
    if (!preview.passedOver.empty()) return preview.passedOver;
    std::wstring text;
    if (preview.files > 0 || !preview.hasRows) {
        // Megabytes with one decimal, rounded.
        const std::uint64_t tenths = (preview.bytes * 10 + 524288) / 1048576;
        text = std::to_wstring(preview.files) + L" ファイル, " + std::to_wstring(tenths / 10) + L"." +
               std::to_wstring(tenths % 10) + L" MB";
    }
    if (preview.hasRows) text += (text.empty() ? L"" : L", ") + std::to_wstring(preview.rows) + L" 行";
    return text;
}

bool IsLeftReason(const std::wstring& what) {
    return what == kIeOpenReason || what == kBrowserRunningReason || what == kKeepCookieUnreadableText;
}

std::vector<std::wstring> LeftLines(const TraceOutcome& outcome) {
    std::vector<std::wstring> lines;
    for (const TraceLeft& item : outcome.left) lines.push_back(TIE_ERASE::EntryName(item.target) + L": " + item.what);
    return lines;
}

std::wstring CompletionText(const TraceOutcome& outcome) { return CompletionText(LeftLines(outcome)); }

std::wstring CompletionText(const std::vector<std::wstring>& lines) {
    if (lines.empty()) return kTracesDoneText;
    std::wstring text = kTracesLeftText;
    for (std::size_t index = 0; index < lines.size() && index < kLeftLinesShown; ++index)
        text += L"\r\n\u30FB" + lines[index];
    if (lines.size() > kLeftLinesShown) text += L"\r\nほか " + std::to_wstring(lines.size() - kLeftLinesShown) + L" 件";
    return text;
}

std::vector<std::wstring> WarningTexts(const TraceOutcome& outcome) {
    std::vector<std::wstring> texts;
    if (outcome.keepListUnreadable) texts.emplace_back(kKeepCookieUnreadableText);
    if (outcome.ieWindowOpen) texts.emplace_back(TIE_ERASE::kBrowserOpenText);
    if (!outcome.running.empty()) {
        std::wstring text = std::wstring(TIE_ERASE::kBrowsersRunningText) + L"\r\n";
        for (Browser browser : outcome.running) text += std::wstring(L"\r\n\u30FB") + BrowserName(browser);
        if (std::find(outcome.running.begin(), outcome.running.end(), Browser::Edge) != outcome.running.end())
            text += std::wstring(L"\r\n\r\n") + TIE_ERASE::kEdgeRunningText;
        texts.push_back(text);
    }
    for (const PlacesFailure& failure : outcome.places)
        texts.push_back(std::wstring(failure.outcome == PlacesOutcome::Stranded ? TIE_ERASE::kPlacesStrandedText
                                                                                : TIE_ERASE::kPlacesFailedText) +
                        L"\r\n" + failure.profile);
    return texts;
}
