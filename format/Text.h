#pragma once
// Texture and pack names are single-byte text in the games' code page
// (Windows-1252); paths and messages are Unicode. Conversions at the boundary.
#include <filesystem>
#include <string>
#include <string_view>

namespace zelko {

// Each byte as its Windows-1252 character, in UTF-8. The five unassigned
// bytes map to the C1 controls of the same value, so nothing is lost.
std::string Utf8FromCp1252(std::string_view text);

// Each byte as its Windows-1252 character, in UTF-16 code units.
std::u16string Utf16FromCp1252(std::string_view text);

// UTF-8 to Windows-1252; characters without a byte there become '?'.
// Malformed UTF-8 bytes are taken as Windows-1252 bytes as they stand.
std::string Cp1252FromUtf8(std::string_view text);

// A path as UTF-8 text, and back (wide on Windows).
std::string Utf8FromPath(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);

// ASCII upper case; other bytes unchanged.
std::string UpperAscii(std::string_view text);

// Equal texts, ASCII letters compared without regard to case.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// True when the path's extension is `extension` (".dds"), without regard to
// the case of ASCII letters.
bool HasExtension(const std::filesystem::path& path, std::string_view extension);

} // namespace zelko
