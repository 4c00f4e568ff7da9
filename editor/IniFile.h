#pragma once
// The settings file's text format: "[section]" lines and "key = value"
// entries, with ";" and " //" comments. Kept free of the platform so its
// parsing rules can be reasoned about on their own.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace zelko {

class IniFile {
public:
    using Section = std::map<std::wstring, std::wstring>;

    IniFile() = default;
    // Loads the file; one that cannot be read leaves the object empty.
    explicit IniFile(const std::filesystem::path& path);

    // Parses text (UTF-8; bytes that are not UTF-8 are taken as Latin-1).
    void Parse(const std::string& text);

    // The value without one leading and one trailing quote; empty when absent.
    std::wstring GetString(const std::wstring& section, const std::wstring& key) const;
    // Absent: fallback. Present: an optional "-" and decimal digits up to the
    // first non-digit; no digit or out of range gives 0.
    int32_t GetInt(const std::wstring& section, const std::wstring& key, int32_t fallback) const;
    // As GetInt without a sign, range 0 to 4294967295.
    uint32_t GetUnsigned(const std::wstring& section, const std::wstring& key, uint32_t fallback) const;
    // Absent: fallback; present: true exactly for "1".
    bool GetBool(const std::wstring& section, const std::wstring& key, bool fallback) const;

    void SetString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void SetInt(const std::wstring& section, const std::wstring& key, int32_t value);
    void SetUnsigned(const std::wstring& section, const std::wstring& key, uint32_t value);
    void SetBool(const std::wstring& section, const std::wstring& key, bool value);

    // Sections and non-empty entries in key order, CR LF line ends, UTF-8.
    std::string Format() const;
    // Replaces the file; false when it cannot be written.
    bool Save(const std::filesystem::path& path) const;

    const std::map<std::wstring, Section>& Sections() const { return sections_; }

private:
    const std::wstring* Find(const std::wstring& section, const std::wstring& key) const;

    std::map<std::wstring, Section> sections_;
};

} // namespace zelko
