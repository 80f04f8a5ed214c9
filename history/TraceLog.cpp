#include "history/TraceLog.h"

#include "common/Paths.h"
#include "common/TextCodec.h"

std::vector<std::wstring> KeepNewestLines(std::vector<std::wstring> lines, std::size_t limit) {
    // The form is decided for the whole file: code page 932 when every line fits it.
    bool unicode = false;
    for (const std::wstring& line : lines) {
        bool lossy = false;
        EncodeCp932(line, &lossy);
        if (lossy) unicode = true;
    }
    std::size_t total = unicode ? 3 : 0;  // UTF-8's mark
    std::size_t first = lines.size();
    while (first > 0) {
        const std::wstring& line = lines[first - 1];
        const std::size_t size = (unicode ? EncodeUtf8(line).size() : EncodeCp932(line).size()) + 2;
        if (total + size > limit) break;
        total += size;
        --first;
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
    return lines;
}

bool AppendTraceLog(const std::wstring& path, const std::wstring& date, const std::vector<std::wstring>& lines,
                    std::size_t limit) {
    std::vector<std::wstring> all;
    if (FileExists(path) && !ReadTextFile(path, all)) all.clear();
    all.push_back(L"日時:" + date);
    all.insert(all.end(), lines.begin(), lines.end());
    return ReplaceTextFile(path, KeepNewestLines(std::move(all), limit));
}
