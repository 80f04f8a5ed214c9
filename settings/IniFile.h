#pragma once

// Reading and writing one section of an INI file through the system's private-profile
// service. Values are read as the settings store expects them: integers in decimal, or
// hexadecimal after "$" or (for texts longer than two characters) "0x"/"0X".

#include <optional>
#include <string>

// The integer a value text stands for, or nothing when it is not a number.
std::optional<int> ParseIniInteger(const std::wstring& text);

class IniSection {
public:
    IniSection(std::wstring path, std::wstring section);

    // The value of the key, or nothing when the key is missing. At most 2047 bytes of the
    // value in code page 932 are kept.
    std::optional<std::wstring> ReadValue(const std::wstring& key) const;
    std::wstring ReadString(const std::wstring& key, const std::wstring& fallback) const;
    int ReadInteger(const std::wstring& key, int fallback) const;
    bool ReadBool(const std::wstring& key, bool fallback) const;

    // Writes one key into the existing file (its own line when present, else at the end of the
    // section; the file and section are made when missing). False when it could not be written.
    bool WriteString(const std::wstring& key, const std::wstring& value) const;
    bool WriteInteger(const std::wstring& key, int value) const;
    bool WriteBool(const std::wstring& key, bool value) const;

    // False when the file cannot be opened for writing (read-only, locked, no folder).
    bool Writable() const;

private:
    std::wstring path_;
    std::wstring section_;
};
