#pragma once

// The one place where text crosses into or out of the system: every file it reads or
// writes, and every request it sends, is Shift_JIS (code page 932) with CR LF line ends.

#include <string>
#include <vector>

constexpr unsigned kJapaneseCodePage = 932;

// UTF-16 to code page 932. When `lossy` is given it tells whether a character had no
// equivalent and was replaced.
std::string EncodeCp932(const std::wstring& text, bool* lossy = nullptr);
// Code page 932 to UTF-16.
std::wstring DecodeCp932(const std::string& bytes);

// UTF-16 to UTF-8 and back, for the files and names of other programs (a browser's
// profile list, a database's path).
std::string EncodeUtf8(const std::wstring& text);
std::wstring DecodeUtf8(const std::string& bytes);

// Joins lines with CR LF after each one, encoded in code page 932.
std::string JoinLinesCrLf(const std::vector<std::wstring>& lines, bool* lossy = nullptr);
// Splits text at CR, LF or CR LF; a NUL ends the text. A final line break does not start
// an empty line.
std::vector<std::wstring> SplitLines(const std::string& bytes);

// Splits UTF-16 text at CR LF; a final CR LF does not start an empty line.
std::vector<std::wstring> SplitCrLf(const std::wstring& text);

// The bytes of a text file of these lines, CR LF after every line: code page 932 when every
// line fits it; otherwise, so that nothing is lost, UTF-8 after a byte order mark (and
// `unicode`, when given, is set).
std::string EncodeTextFile(const std::vector<std::wstring>& lines, bool* unicode = nullptr);
// The lines of a text file's bytes, its form decided for the whole file: UTF-16 after its
// byte order mark (either byte order), UTF-8 after its mark, UTF-8 without a mark when every
// byte of the file is valid UTF-8, and code page 932 otherwise. A line holding bytes that are
// not valid in that form is decoded with replacement characters, or, when `unreadable` is
// given, left out and counted there. `cut` tells that the bytes are only the start of the
// file, so a sequence cut at the end does not count against UTF-8.
std::vector<std::wstring> DecodeTextFile(const std::string& bytes, int* unreadable = nullptr, bool cut = false);

// Writes the lines as a text file (`EncodeTextFile`), replacing any file of that name. False
// when the file cannot be written completely.
bool WriteTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode = nullptr);
// The same, but the old file stays whole until the new one is complete: the lines go to a
// file beside it that then takes its place. On failure the old file is unchanged and no new
// file is left behind.
bool ReplaceTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode = nullptr);
// Reads a text file (`DecodeTextFile`) into lines. False when it cannot be read.
bool ReadTextFile(const std::wstring& path, std::vector<std::wstring>& lines, int* unreadable = nullptr);
// Reads another program's UTF-8 text file (byte order mark or not) into lines, split as
// `DecodeTextFile` splits them. False when it cannot be read.
bool ReadUtf8TextFile(const std::wstring& path, std::vector<std::wstring>& lines);
// Writes the text as UTF-8 after a byte order mark, exactly as given (no line ends added),
// for the files that are meant for other programs (a browser, a spreadsheet). Complete or
// not at all, as ReplaceTextFile: the old file stays whole until the new one is complete.
bool ReplaceUtf8File(const std::wstring& path, const std::wstring& text);
