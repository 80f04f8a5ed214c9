#include "common/TextCodec.h"

#include <windows.h>

#include <algorithm>
#include <limits>

#include "common/FileSystem.h"
#include "common/Handles.h"

namespace {

// Files larger than this are not lists or settings of ours; refuse them instead of
// trying to hold them in memory.
constexpr LONGLONG kLargestTextFile = 64LL * 1024 * 1024;

}  // namespace

std::string EncodeCp932(const std::wstring& text, bool* lossy) {
    if (lossy) *lossy = false;
    if (text.empty()) return {};
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2)) return {};
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int needed = ::WideCharToMultiByte(kJapaneseCodePage, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0,
                                             nullptr, nullptr);
    if (needed <= 0) {
        if (lossy) *lossy = true;
        return {};
    }
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(kJapaneseCodePage, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), needed, nullptr,
                          &usedDefault);
    if (lossy) *lossy = usedDefault != FALSE;
    return bytes;
}

std::wstring DecodeCp932(const std::string& bytes) {
    if (bytes.empty()) return {};
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(kJapaneseCodePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(kJapaneseCodePage, 0, bytes.data(), length, text.data(), needed);
    return text;
}

std::string JoinLinesCrLf(const std::vector<std::wstring>& lines, bool* lossy) {
    std::string out;
    bool anyLost = false;
    for (const auto& line : lines) {
        bool lost = false;
        out += EncodeCp932(line, &lost);
        out += "\r\n";
        anyLost = anyLost || lost;
    }
    if (lossy) *lossy = anyLost;
    return out;
}

std::vector<std::wstring> SplitLines(const std::string& bytes) {
    std::vector<std::wstring> lines;
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < end) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(DecodeCp932(bytes.substr(start, i - start)));
            i += (c == '\r' && i + 1 < end && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end) lines.push_back(DecodeCp932(bytes.substr(start, end - start)));
    return lines;
}

std::vector<std::wstring> SplitCrLf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";

// Whether the line comes back unchanged from code page 932.
bool FitsCp932(const std::wstring& line) {
    bool lost = false;
    const std::string bytes = EncodeCp932(line, &lost);
    return !lost && DecodeCp932(bytes) == line;
}

}  // namespace

std::string EncodeUtf8(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 4)) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

std::wstring DecodeUtf8(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, text.data(), needed);
    return text;
}

std::string EncodeTextFile(const std::vector<std::wstring>& lines, bool* unicode) {
    const bool fits = std::all_of(lines.begin(), lines.end(), FitsCp932);
    if (unicode) *unicode = !fits;
    if (fits) return JoinLinesCrLf(lines);
    std::string out = kUtf8Mark;
    for (const auto& line : lines) out += EncodeUtf8(line) + "\r\n";
    return out;
}

namespace {

const char kUtf16LeMark[] = "\xFF\xFE";
const char kUtf16BeMark[] = "\xFE\xFF";

// Whether the bytes are UTF-8 throughout (the system refuses anything else when asked to).
bool ValidUtf8(const std::string& bytes) {
    if (bytes.empty()) return true;
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                 nullptr, 0) > 0;
}

// Whether the bytes are code page 932 throughout.
bool ValidCp932(const std::string& bytes) {
    if (bytes.empty()) return true;
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
    return ::MultiByteToWideChar(kJapaneseCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                 static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

// Whether a line holds half of a surrogate pair on its own.
bool HasLoneSurrogate(const std::wstring& line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < line.size() && line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

// The start of a longer text may end inside a UTF-8 sequence; that part goes.
std::string WithoutCutUtf8Tail(const std::string& bytes) {
    std::size_t end = bytes.size();
    std::size_t back = 0;
    while (back < 3 && back < end && (static_cast<unsigned char>(bytes[end - 1 - back]) & 0xC0) == 0x80) ++back;
    if (back == end) return bytes;
    const auto lead = static_cast<unsigned char>(bytes[end - 1 - back]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length > back + 1 ? bytes.substr(0, end - 1 - back) : bytes;
}

// UTF-16 text (little-endian unless `bigEndian`) of the bytes; an odd last byte is dropped.
std::wstring DecodeUtf16(const std::string& bytes, bool bigEndian) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]), second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}

// Splits UTF-16 text by the line rules of the files: CR, LF or CR LF; a NUL ends the text.
std::vector<std::wstring> SplitWideLines(std::wstring text) {
    text.resize(std::min(text.find(L'\0'), text.size()));
    std::vector<std::wstring> lines;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Splits bytes at CR, LF or CR LF (a NUL ends the text) without decoding them; no byte of a
// line break is ever part of a character in code page 932 or UTF-8.
std::vector<std::string> SplitByteLines(const std::string& bytes) {
    std::vector<std::string> lines;
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    std::size_t start = 0, i = 0;
    while (i < end) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(bytes.substr(start, i - start));
            i += (c == '\r' && i + 1 < end && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end) lines.push_back(bytes.substr(start, end - start));
    return lines;
}

}  // namespace

std::vector<std::wstring> DecodeTextFile(const std::string& bytes, int* unreadable, bool cut) {
    std::vector<std::wstring> lines;
    if (unreadable) *unreadable = 0;
    // A line that is not valid in the file's form is left out and counted, when counted.
    const auto take = [&](std::wstring line, bool valid) {
        if (!valid && unreadable) ++*unreadable;
        else lines.push_back(std::move(line));
    };
    if (bytes.compare(0, 2, kUtf16LeMark) == 0 || bytes.compare(0, 2, kUtf16BeMark) == 0) {
        for (std::wstring& line : SplitWideLines(DecodeUtf16(bytes.substr(2), bytes[0] == kUtf16BeMark[0])))
            take(line, !HasLoneSurrogate(line));
        return lines;
    }
    const bool marked = bytes.compare(0, 3, kUtf8Mark) == 0;
    const std::string body = marked ? bytes.substr(3) : bytes;
    std::vector<std::string> raw = SplitByteLines(cut ? WithoutCutUtf8Tail(body) : body);
    // Without a mark, a file is UTF-8 only when every line of it is.
    const bool utf8 = marked || std::all_of(raw.begin(), raw.end(), ValidUtf8);
    if (!utf8 && cut) raw = SplitByteLines(body);
    for (const std::string& line : raw) {
        if (utf8) take(DecodeUtf8(line), ValidUtf8(line));
        else take(DecodeCp932(line), ValidCp932(line));
    }
    return lines;
}

namespace {

// Decodes an unmarked file of the program's own; `preferUtf8` decides, from its lines as bytes,
// a file valid in both forms. Any other file reads as another program's does.
template <class Decide>
std::vector<std::wstring> DecodeOwnFile(const std::string& bytes, int* unreadable, Decide preferUtf8) {
    const bool marked = bytes.compare(0, 2, kUtf16LeMark) == 0 || bytes.compare(0, 2, kUtf16BeMark) == 0 ||
                        bytes.compare(0, 3, kUtf8Mark) == 0;
    if (marked) return DecodeTextFile(bytes, unreadable);
    const std::vector<std::string> raw = SplitByteLines(bytes);
    if (!std::all_of(raw.begin(), raw.end(), ValidUtf8) || !std::all_of(raw.begin(), raw.end(), ValidCp932))
        return DecodeTextFile(bytes, unreadable);
    if (unreadable) *unreadable = 0;
    const bool utf8 = preferUtf8(raw);
    std::vector<std::wstring> lines;
    lines.reserve(raw.size());
    for (const std::string& line : raw) lines.push_back(utf8 ? DecodeUtf8(line) : DecodeCp932(line));
    return lines;
}

}  // namespace

std::vector<std::wstring> DecodeSettingsFile(const std::string& bytes, int* unreadable) {
    return DecodeOwnFile(bytes, unreadable, [](const std::vector<std::string>& raw) {
        // In bytes that are valid UTF-8, a byte from E0 on can only lead a three- or four-byte
        // sequence.
        return std::any_of(raw.begin(), raw.end(), [](const std::string& line) {
            return std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xE0; });
        });
    });
}

bool NamesExistingEntry(const std::wstring& line) {
    const bool drivePath = line.size() > 3 && ((line[0] >= L'A' && line[0] <= L'Z') || (line[0] >= L'a' && line[0] <= L'z')) &&
                           line[1] == L':' && line[2] == L'\\';
    return drivePath && FsGetAttributes(line) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> DecodeListFile(const std::string& bytes, ListLineJudge namesEntry, int* unreadable) {
    return DecodeOwnFile(bytes, unreadable, [namesEntry](const std::vector<std::string>& raw) {
        int byUtf8 = 0, byCp932 = 0;
        for (const std::string& line : raw) {
            const std::wstring utf8 = DecodeUtf8(line), cp932 = DecodeCp932(line);
            if (utf8 == cp932) continue;  // plain ASCII tells nothing
            if (namesEntry(utf8)) ++byUtf8;
            if (namesEntry(cp932)) ++byCp932;
        }
        return byUtf8 > byCp932;
    });
}

bool WriteTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode) {
    const std::string bytes = EncodeTextFile(lines, unicode);
    // A read-only file is never replaced, also where the platform would let its owner do so.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data() + offset, chunk, &written, nullptr) || written != chunk)
            return false;
        offset += chunk;
    }
    return true;
}

namespace {

// Writes the bytes to a file beside `path` that then takes its place; on failure the old file
// is unchanged, nothing new is left behind, and the last error tells why.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const std::wstring fresh = path + L".new";
    bool written = false;
    {
        UniqueFile file(::CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        std::size_t offset = 0;
        written = true;
        while (written && offset < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
            DWORD done = 0;
            written = ::WriteFile(file.get(), bytes.data() + offset, chunk, &done, nullptr) && done == chunk;
            offset += chunk;
        }
        written = written && ::FlushFileBuffers(file.get());
    }
    if (written &&
        ::MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = ::GetLastError();
    ::DeleteFileW(fresh.c_str());
    ::SetLastError(error);
    return false;
}

}  // namespace

bool ReplaceTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode) {
    return ReplaceFileBytes(path, EncodeTextFile(lines, unicode));
}

namespace {

// The whole file, or false when it cannot be read or is too large for a text file.
bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestTextFile) return false;
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        if (!::ReadFile(file.get(), bytes.data() + offset, chunk, &got, nullptr)) return false;
        if (got == 0) break;
        offset += got;
    }
    bytes.resize(offset);
    return true;
}

}  // namespace

bool ReadTextFile(const std::wstring& path, std::vector<std::wstring>& lines, int* unreadable) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = DecodeSettingsFile(bytes, unreadable);
    return true;
}

bool ReadListFile(const std::wstring& path, std::vector<std::wstring>& lines, int* unreadable,
                  ListLineJudge namesEntry) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = DecodeListFile(bytes, namesEntry, unreadable);
    return true;
}

bool ReadUtf8TextFile(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    if (bytes.compare(0, 3, kUtf8Mark) != 0) bytes.insert(0, kUtf8Mark);
    lines = DecodeTextFile(bytes);
    return true;
}


bool ReplaceUtf8File(const std::wstring& path, const std::wstring& text) {
    const std::string body = EncodeUtf8(text);
    if (!text.empty() && body.empty()) {
        ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    return ReplaceFileBytes(path, kUtf8Mark + body);
}
