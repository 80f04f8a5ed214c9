#include "settings/IniFile.h"

#include <windows.h>

#include <cstdint>

#include "common/Handles.h"
#include "common/TextCodec.h"

namespace {

// Text values are read up to this many bytes in code page 932.
constexpr std::size_t kLongestValueBytes = 2047;

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Keeps at most `limit` bytes of the code page 932 form of the text, never half a character.
std::wstring LimitBytes(const std::wstring& text, std::size_t limit) {
    if (text.size() * 2 <= limit) return text;
    std::size_t bytes = 0;
    std::size_t kept = 0;
    while (kept < text.size()) {
        const std::size_t width = EncodeCp932(text.substr(kept, 1)).size();
        const std::size_t size = width == 0 ? 1 : width;
        if (bytes + size > limit) break;
        bytes += size;
        ++kept;
    }
    return text.substr(0, kept);
}

}  // namespace

std::optional<int> ParseIniInteger(const std::wstring& raw) {
    std::wstring text = raw;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text = L"$" + text.substr(2);

    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    if (i >= text.size()) return std::nullopt;

    if (text[i] == L'$') {
        ++i;
        if (i >= text.size() || text.size() - i > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        const auto result = static_cast<std::int32_t>(value);
        return negative ? -result : result;
    }

    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + (text[i] - L'0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
    return static_cast<int>(value);
}

IniSection::IniSection(std::wstring path, std::wstring section) : path_(std::move(path)), section_(std::move(section)) {}

std::optional<std::wstring> IniSection::ReadValue(const std::wstring& key) const {
    // A value no key could hold tells a missing key from an empty value.
    static const wchar_t kMissing[] = L"\x01\x02missing\x02\x01";
    std::wstring buffer(4096, L'\0');
    for (;;) {
        const DWORD n = ::GetPrivateProfileStringW(section_.c_str(), key.c_str(), kMissing, buffer.data(),
                                                   static_cast<DWORD>(buffer.size()), path_.c_str());
        if (n + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
            buffer.resize(n);
            break;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
    if (buffer == kMissing) return std::nullopt;
    return LimitBytes(buffer, kLongestValueBytes);
}

std::wstring IniSection::ReadString(const std::wstring& key, const std::wstring& fallback) const {
    return ReadValue(key).value_or(fallback);
}

int IniSection::ReadInteger(const std::wstring& key, int fallback) const {
    const auto text = ReadValue(key);
    if (!text) return fallback;
    return ParseIniInteger(*text).value_or(fallback);
}

bool IniSection::ReadBool(const std::wstring& key, bool fallback) const {
    return ReadInteger(key, fallback ? 1 : 0) != 0;
}

bool IniSection::WriteString(const std::wstring& key, const std::wstring& value) const {
    return ::WritePrivateProfileStringW(section_.c_str(), key.c_str(), value.c_str(), path_.c_str()) != FALSE;
}

bool IniSection::WriteInteger(const std::wstring& key, int value) const {
    return WriteString(key, std::to_wstring(value));
}

bool IniSection::WriteBool(const std::wstring& key, bool value) const { return WriteString(key, value ? L"1" : L"0"); }

bool IniSection::Writable() const {
    // A read-only file is refused, also where the platform would let its owner write it.
    const DWORD attributes = ::GetFileAttributesW(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    UniqueFile file(::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}
