#pragma once

// Reads back what the program writes for other programs: UTF-8 after a byte order mark, and
// CSV records as a spreadsheet reads them (quoted fields, doubled quotes, line breaks inside
// quotes).

#include <string>
#include <vector>

#include "common/TextCodec.h"
#include "tests/support/TempFolder.h"

// The text of a UTF-8 file that starts with a byte order mark; empty (and `marked` false)
// when it does not.
inline std::wstring ReadUtf8WithMark(const std::wstring& path, bool* marked = nullptr) {
    const std::string bytes = ReadBytes(path);
    const bool mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (marked) *marked = mark;
    return mark ? DecodeUtf8(bytes.substr(3)) : std::wstring();
}

// The records of CSV text, each a list of fields; records end with CR LF or LF.
inline std::vector<std::vector<std::wstring>> ParseCsv(const std::wstring& text) {
    std::vector<std::vector<std::wstring>> records(1);
    std::wstring field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quoted) {
            if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') field += text[++i];
            else if (c == L'"') quoted = false;
            else field += c;
        } else if (c == L'"') {
            quoted = wasQuoted = true;
        } else if (c == L',') {
            records.back().push_back(field);
            field.clear();
            wasQuoted = false;
        } else if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            records.back().push_back(field);
            field.clear();
            wasQuoted = false;
            records.emplace_back();
        } else {
            field += c;
        }
    }
    if (!field.empty() || wasQuoted || !records.back().empty()) records.back().push_back(field);
    if (records.back().empty()) records.pop_back();
    return records;
}
