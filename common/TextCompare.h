#pragma once

#include <string>
#include <vector>

// Case-insensitive comparison by the user's locale, as the system's ignore-case string
// comparison does: <0, 0 or >0.
int CompareTextIgnoreCase(const std::wstring& a, const std::wstring& b);
bool SameTextIgnoreCase(const std::wstring& a, const std::wstring& b);
// Sorts in that order; equal texts keep their order.
void SortTextIgnoreCase(std::vector<std::wstring>& list);
// Index of the first text equal to `text` by that comparison, or -1.
int IndexOfTextIgnoreCase(const std::vector<std::wstring>& list, const std::wstring& text);
