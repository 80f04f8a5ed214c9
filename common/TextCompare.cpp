#include "common/TextCompare.h"

#include <windows.h>

#include <algorithm>
#include <limits>

int CompareTextIgnoreCase(const std::wstring& a, const std::wstring& b) {
    constexpr std::size_t kLongest = static_cast<std::size_t>(std::numeric_limits<int>::max());
    const int result = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                        static_cast<int>(std::min(a.size(), kLongest)), b.data(),
                                        static_cast<int>(std::min(b.size(), kLongest)));
    if (result == 0) return a.compare(b);  // the system could not compare them: fall back to code units
    return result - CSTR_EQUAL;
}

bool SameTextIgnoreCase(const std::wstring& a, const std::wstring& b) { return CompareTextIgnoreCase(a, b) == 0; }

void SortTextIgnoreCase(std::vector<std::wstring>& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const std::wstring& a, const std::wstring& b) { return CompareTextIgnoreCase(a, b) < 0; });
}

int IndexOfTextIgnoreCase(const std::vector<std::wstring>& list, const std::wstring& text) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (SameTextIgnoreCase(list[i], text)) return static_cast<int>(i);
    return -1;
}
