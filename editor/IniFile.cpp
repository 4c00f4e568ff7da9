#include "editor/IniFile.h"

#include "format/SafeFile.h"
#include "format/Text.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace zelko {
namespace {

constexpr const wchar_t* kWhiteSpace = L" \t\n\v\f\r";

std::wstring Trim(const std::wstring& text) {
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::wstring::npos) return {};
    size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

std::wstring TrimRight(const std::wstring& text) {
    size_t last = text.find_last_not_of(kWhiteSpace);
    return last == std::wstring::npos ? std::wstring() : text.substr(0, last + 1);
}

std::wstring TrimLeft(const std::wstring& text) {
    size_t first = text.find_first_not_of(kWhiteSpace);
    return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

bool IsQuote(wchar_t c) { return c == L'"' || c == L'\''; }

// Digits from the start (after an optional sign when allowed) up to the first
// other character; nullopt-like false for no digit or overflow.
bool ParseDigits(const std::wstring& text, bool allowSign, int64_t limitNegative, int64_t limitPositive,
                 int64_t& result) {
    size_t i = 0;
    bool negative = false;
    if (allowSign && i < text.size() && text[i] == L'-') {
        negative = true;
        ++i;
    }
    int64_t value = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits) {
        value = value * 10 + (text[i] - L'0');
        if (value > limitPositive + 1) return false;
    }
    if (digits == 0) return false;
    if (negative) value = -value;
    if (value < limitNegative || value > limitPositive) return false;
    result = value;
    return true;
}

} // namespace

IniFile::IniFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Parse(text);
}

void IniFile::Parse(const std::string& bytes) {
    std::wstring text = WideFromUtf8(bytes);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    std::wstring current;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (size_t semicolon = line.find(L';'); semicolon != std::wstring::npos) line.resize(semicolon);
        if (size_t slashes = line.rfind(L" //"); slashes != std::wstring::npos) line.resize(slashes);
        line = Trim(line);
        if (line.empty()) continue;
        if (line.front() == L'[' && line.back() == L']') {
            current = Trim(line.substr(1, line.size() - 2));
            sections_[current];
            continue;
        }
        std::wstring key = line, value;
        if (size_t equals = line.find(L'='); equals != std::wstring::npos) {
            key = TrimRight(line.substr(0, equals));
            value = TrimLeft(line.substr(equals + 1));
        }
        sections_[current].try_emplace(key, value); // the first occurrence wins
    }
}

const std::wstring* IniFile::Find(const std::wstring& section, const std::wstring& key) const {
    auto s = sections_.find(section);
    if (s == sections_.end()) return nullptr;
    auto k = s->second.find(key);
    return k == s->second.end() ? nullptr : &k->second;
}

std::wstring IniFile::GetString(const std::wstring& section, const std::wstring& key) const {
    const std::wstring* found = Find(section, key);
    if (!found || found->empty()) return {};
    std::wstring value = *found;
    if (!value.empty() && IsQuote(value.front())) value.erase(0, 1);
    if (!value.empty() && IsQuote(value.back())) value.pop_back();
    return value;
}

int32_t IniFile::GetInt(const std::wstring& section, const std::wstring& key, int32_t fallback) const {
    if (!Find(section, key)) return fallback;
    int64_t value = 0;
    return ParseDigits(GetString(section, key), true, INT32_MIN, INT32_MAX, value) ? int32_t(value) : 0;
}

uint32_t IniFile::GetUnsigned(const std::wstring& section, const std::wstring& key, uint32_t fallback) const {
    if (!Find(section, key)) return fallback;
    int64_t value = 0;
    return ParseDigits(GetString(section, key), false, 0, UINT32_MAX, value) ? uint32_t(value) : 0;
}

bool IniFile::GetBool(const std::wstring& section, const std::wstring& key, bool fallback) const {
    const std::wstring* found = Find(section, key);
    if (!found) return fallback;
    return *found == L"1";
}

void IniFile::SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    sections_[section][key] = value;
}

void IniFile::SetInt(const std::wstring& section, const std::wstring& key, int32_t value) {
    SetString(section, key, std::to_wstring(value));
}

void IniFile::SetUnsigned(const std::wstring& section, const std::wstring& key, uint32_t value) {
    SetString(section, key, std::to_wstring(value));
}

void IniFile::SetBool(const std::wstring& section, const std::wstring& key, bool value) {
    SetString(section, key, value ? L"1" : L"0");
}

std::string IniFile::Format() const {
    std::wstring text;
    for (const auto& [name, entries] : sections_) {
        text += L"[" + name + L"]\r\n";
        for (const auto& [key, value] : entries) {
            if (!value.empty()) text += key + L" = " + value + L"\r\n";
        }
    }
    return Utf8FromWide(text);
}

bool IniFile::Save(const std::filesystem::path& path) const {
    const std::string text = Format();
    try {
        SaveFileAtomically(path, text.data(), text.size());
    } catch (const Error&) {
        return false;
    }
    return true;
}

} // namespace zelko
