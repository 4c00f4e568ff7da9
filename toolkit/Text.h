#pragma once
// Conversions between the wide texts of the user interface and the narrow
// texts (texture and pack names, log lines) in the system's ANSI code page.
#include <string>
#include <string_view>

namespace zelko {

// Empty when the conversion fails as a whole.
std::wstring AnsiToWide(std::string_view text);
// Characters without an ANSI form become the code page's replacement character.
std::string WideToAnsi(std::wstring_view text);

} // namespace zelko
