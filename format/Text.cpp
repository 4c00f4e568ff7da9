#include "format/Text.h"

#include <cstdint>

namespace zelko {

namespace {

// Characters of the bytes 0x80-0x9F; the rest of the code page is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint32_t CodePointOf(uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte; }

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

char ByteOf(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return char(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) return char(0x80 + i);
    }
    return '?';
}

// Length of the UTF-8 sequence at s[i] and its code point; 0 when malformed
// (overlong two-byte forms and leads past U+10FFFF included).
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& c) {
    const uint8_t b = uint8_t(s[i]);
    if (b < 0x80) {
        c = b;
        return 1;
    }
    size_t n = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    c = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const uint8_t t = uint8_t(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        c = c << 6 | (t & 0x3F);
    }
    return n;
}

// The code point at text[i], a surrogate pair taken whole where wchar_t is
// 16 bits; advances i past it.
uint32_t NextCodePoint(std::wstring_view text, size_t& i) {
    uint32_t c = uint32_t(text[i++]);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i < text.size()) {
        const uint32_t low = uint32_t(text[i]);
        if (low >= 0xDC00 && low < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
    }
    return c;
}

void AppendWide(std::wstring& out, uint32_t c) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        c -= 0x10000;
        out += wchar_t(0xD800 + (c >> 10));
        out += wchar_t(0xDC00 + (c & 0x3FF));
    } else {
        out += wchar_t(c);
    }
}

// Calls take(code point, false) for each character of UTF-8 text, and
// take(byte, true) for a byte that starts no valid sequence (text in another
// code page).
template <typename Take>
void ForEachUtf8(std::string_view text, Take take) {
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const size_t n = DecodeUtf8(text, i, c);
        if (n == 0) {
            take(uint32_t(uint8_t(text[i++])), true);
        } else {
            take(c, false);
            i += n;
        }
    }
}

template <typename Char>
std::basic_string<Char> UnitsFromCp1252(std::string_view text) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (char ch : text) out += Char(CodePointOf(uint8_t(ch)));
    return out;
}

} // namespace

std::string Utf8FromCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) AppendUtf8(out, CodePointOf(uint8_t(ch)));
    return out;
}

std::u16string Utf16FromCp1252(std::string_view text) { return UnitsFromCp1252<char16_t>(text); }

std::wstring WideFromCp1252(std::string_view text) { return UnitsFromCp1252<wchar_t>(text); }

std::string Cp1252FromUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachUtf8(text, [&](uint32_t c, bool stray) { out += stray ? char(c) : ByteOf(c); });
    return out;
}

std::string Cp1252FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += ByteOf(NextCodePoint(text, i));
    return out;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    ForEachUtf8(text, [&](uint32_t c, bool) { AppendWide(out, c); }); // a stray byte as its Latin-1 character
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) AppendUtf8(out, NextCodePoint(text, i));
    return out;
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

bool HasExtension(const std::filesystem::path& path, std::string_view extension) {
    return EqualsIgnoringAsciiCase(Utf8FromPath(path.extension()), extension);
}

} // namespace zelko
