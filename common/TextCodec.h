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
// The lines of another program's text file, its form decided for the whole file: UTF-16 after
// its byte order mark (either byte order), UTF-8 after its mark, UTF-8 without a mark when
// every byte of the file is valid UTF-8, and code page 932 otherwise. A line holding bytes that
// are not valid in that form is decoded with replacement characters, or, when `unreadable` is
// given, left out and counted there. `cut` tells that the bytes are only the start of the
// file, so a sequence cut at the end does not count against UTF-8.
std::vector<std::wstring> DecodeTextFile(const std::string& bytes, int* unreadable = nullptr, bool cut = false);

// The program's own text files are code page 932 without a mark, or UTF-8 after one; a file
// from an editor may be UTF-8 without one. No byte rule alone tells an unmarked file valid in
// both forms apart (half-width katakana and many kanji pairs are valid UTF-8 too), so such a
// file is decided per file. Marked and UTF-16 files, and unmarked files valid in one form
// only, read as `DecodeTextFile` reads them.
//
// A settings file (an extension list) valid in both forms is UTF-8 when it holds a three- or
// four-byte UTF-8 sequence (code page 932 text that happens to be valid UTF-8 is mostly pairs
// of half-width katakana, read as two-byte sequences), and code page 932 otherwise.
std::vector<std::wstring> DecodeSettingsFile(const std::string& bytes, int* unreadable = nullptr);

// Whether a line of a list names an existing entry: the judgement by which an unmarked list
// valid in both forms is decided.
using ListLineJudge = bool (*)(const std::wstring& line);
// The judgement lists use: a drive path ("C:\...") of an existing file or folder.
bool NamesExistingEntry(const std::wstring& line);
// A list of paths valid in both forms is decoded both ways, and the form under which more of
// its lines name existing entries (`namesEntry`) wins; a tie gives code page 932. Only the
// lines the two forms read differently are judged.
std::vector<std::wstring> DecodeListFile(const std::string& bytes, ListLineJudge namesEntry = NamesExistingEntry,
                                         int* unreadable = nullptr);

// Writes the lines as a text file (`EncodeTextFile`), replacing any file of that name. False
// when the file cannot be written completely.
bool WriteTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode = nullptr);
// The same, but the old file stays whole until the new one is complete: the lines go to a
// file beside it that then takes its place. On failure the old file is unchanged and no new
// file is left behind.
bool ReplaceTextFile(const std::wstring& path, const std::vector<std::wstring>& lines, bool* unicode = nullptr);
// Reads one of the program's settings files (`DecodeSettingsFile`) into lines. False when it
// cannot be read.
bool ReadTextFile(const std::wstring& path, std::vector<std::wstring>& lines, int* unreadable = nullptr);
// Reads one of the program's lists of paths (`DecodeListFile`) into lines. False when it cannot
// be read.
bool ReadListFile(const std::wstring& path, std::vector<std::wstring>& lines, int* unreadable = nullptr,
                  ListLineJudge namesEntry = NamesExistingEntry);
// Reads another program's UTF-8 text file (byte order mark or not) into lines, split as
// `DecodeTextFile` splits them. False when it cannot be read.
bool ReadUtf8TextFile(const std::wstring& path, std::vector<std::wstring>& lines);
// Writes the text as UTF-8 after a byte order mark, exactly as given (no line ends added),
// for the files that are meant for other programs (a browser, a spreadsheet). Complete or
// not at all, as ReplaceTextFile: the old file stays whole until the new one is complete.
bool ReplaceUtf8File(const std::wstring& path, const std::wstring& text);
