#pragma once
// Texture and pack names are single-byte text in the games' code page,
// Windows-1252, on every platform; paths, messages and the window's texts are
// Unicode. Every conversion between them lives here, so a name is shown and
// taken back through one table whatever the system's code page.
#include <filesystem>
#include <string>
#include <string_view>

namespace zelko {

// Each byte as its Windows-1252 character, in UTF-8, UTF-16 code units or
// wide characters (UTF-16 on Windows). The five unassigned bytes map to the
// C1 controls of the same value, so nothing is lost.
std::string Utf8FromCp1252(std::string_view text);
std::u16string Utf16FromCp1252(std::string_view text);
std::wstring WideFromCp1252(std::string_view text);

// UTF-8 to Windows-1252; characters without a byte there become '?'.
// Malformed UTF-8 bytes are taken as Windows-1252 bytes as they stand.
std::string Cp1252FromUtf8(std::string_view text);

// Wide text to Windows-1252; characters without a byte there become '?'.
std::string Cp1252FromWide(std::wstring_view text);

// UTF-8 to wide text. Bytes that are not UTF-8 are taken as Latin-1: a file
// edited in another code page keeps its characters rather than losing them.
std::wstring WideFromUtf8(std::string_view text);

// Wide text to UTF-8. An unpaired surrogate is written as its own three
// bytes, which WideFromUtf8 gives back.
std::string Utf8FromWide(std::wstring_view text);

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
