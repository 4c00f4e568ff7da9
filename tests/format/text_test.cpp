// The text conversions every name, message and settings file goes through.
#include "format/Text.h"

#include <gtest/gtest.h>

namespace zelko {
namespace {

TEST(Text, EveryNameByteSurvivesTheWayToTheWindowAndToUtf8AndBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    const std::wstring wide = WideFromCp1252(all);
    ASSERT_EQ(wide.size(), 256u); // one character per byte
    EXPECT_EQ(Cp1252FromWide(wide), all);
    EXPECT_EQ(Cp1252FromUtf8(Utf8FromCp1252(all)), all);
    EXPECT_EQ(Utf16FromCp1252(all), std::u16string(wide.begin(), wide.end()));
    EXPECT_EQ(WideFromCp1252("\x80\x81\x9F\xE9"), L"\u20AC\u0081\u0178\u00E9");
    // Characters without a byte; a character beyond U+FFFF is one '?' however wide text holds it.
    EXPECT_EQ(Cp1252FromWide(L"a\u0080\u0100\U0001F600\u20AC"), "a???\x80");
}

TEST(Text, Utf8AndWideTextAndBytesThatAreNotUtf8) {
    EXPECT_EQ(WideFromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), L"caf\u00E9 \u20AC \U0001F600");
    // Stray bytes of another code page, cut sequences and overlong forms are Latin-1 bytes.
    EXPECT_EQ(WideFromUtf8("caf\xE9.ini \xE2\x82 \xC0\xAE \x80"), L"caf\u00E9.ini \u00E2\u0082 \u00C0\u00AE \u0080");
    const std::wstring texts[] = {L"caf\u00E9 \u20AC \U0001F600", std::wstring(1, wchar_t(0xD800)) + L"x"};
    for (const std::wstring& text : texts) EXPECT_EQ(WideFromUtf8(Utf8FromWide(text)), text);
    EXPECT_EQ(Utf8FromWide(L"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
}

} // namespace
} // namespace zelko
