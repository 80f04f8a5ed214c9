#include "common/TextCodec.h"

#include <windows.h>

#include <algorithm>
#include <limits>

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

std::vector<std::wstring> DecodeTextFile(const std::string& bytes) {
    if (bytes.compare(0, 3, kUtf8Mark) != 0) return SplitLines(bytes);
    // The same line rules as the code page 932 form: CR, LF or CR LF; a NUL ends the text.
    std::wstring text = DecodeUtf8(bytes.substr(3));
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

bool ReplaceTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const std::wstring fresh = path + L".new";
    const std::string bytes = EncodeTextFile(lines, unicode);
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

bool ReadTextFile(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = DecodeTextFile(bytes);
    return true;
}

bool ReadUtf8TextFile(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    if (bytes.compare(0, 3, kUtf8Mark) != 0) bytes.insert(0, kUtf8Mark);
    lines = DecodeTextFile(bytes);
    return true;
}
