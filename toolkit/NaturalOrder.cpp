#include "toolkit/NaturalOrder.h"

#include <algorithm>
#include <cwctype>

namespace zelko {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Skips further blanks when the character before the position was a blank.
void SkipBlankRun(std::wstring_view s, size_t& i) {
    if (i == 0 || !IsBlank(s[i - 1])) return;
    while (i < s.size() && IsBlank(s[i])) ++i;
}

size_t DigitRunEnd(std::wstring_view s, size_t i) {
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i;
}

int CompareIntegers(std::wstring_view x, std::wstring_view y) {
    x.remove_prefix(std::min(x.find_first_not_of(L'0'), x.size()));
    y.remove_prefix(std::min(y.find_first_not_of(L'0'), y.size()));
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Digits after a decimal point: a shorter run counts as padded with zeros.
int CompareFractions(std::wstring_view x, std::wstring_view y) {
    size_t n = std::max(x.size(), y.size());
    for (size_t k = 0; k < n; ++k) {
        wchar_t dx = k < x.size() ? x[k] : L'0';
        wchar_t dy = k < y.size() ? y[k] : L'0';
        if (dx != dy) return dx < dy ? -1 : 1;
    }
    return 0;
}

int CompareDigitRuns(std::wstring_view a, size_t ia, size_t ea, std::wstring_view b, size_t ib, size_t eb) {
    bool fractionA = ia > 0 && a[ia - 1] == L'.';
    bool fractionB = ib > 0 && b[ib - 1] == L'.';
    std::wstring_view runA = a.substr(ia, ea - ia);
    std::wstring_view runB = b.substr(ib, eb - ib);
    if (!fractionA && !fractionB) return CompareIntegers(runA, runB);
    if (fractionA && !fractionB) return 1;
    if (!fractionA && fractionB) return 0;
    return CompareFractions(runA, runB);
}

} // namespace

int NaturalCompare(std::wstring_view a, std::wstring_view b) {
    size_t i = 0, j = 0;
    for (;;) {
        SkipBlankRun(a, i);
        SkipBlankRun(b, j);
        if (i >= a.size() || j >= b.size()) break;
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t ea = DigitRunEnd(a, i);
            size_t eb = DigitRunEnd(b, j);
            if (int c = CompareDigitRuns(a, i, ea, b, j, eb); c != 0) return c;
            i = ea;
            j = eb;
            continue;
        }
        wint_t ca = std::towlower(static_cast<wint_t>(a[i]));
        wint_t cb = std::towlower(static_cast<wint_t>(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    bool endA = i >= a.size();
    bool endB = j >= b.size();
    if (endA == endB) return 0;
    return endA ? -1 : 1;
}

} // namespace zelko
