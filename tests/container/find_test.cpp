// Finding textures by name: the match (the search over a document is the command line's find test).
#include <gtest/gtest.h>

#include "container/Find.h"

using namespace zelko;

TEST(Find, MatchFoldsTheWesternLettersOnly) {
    // {name, pattern, found ignoring case, found with match case}
    const struct {
        std::u16string name, pattern;
        bool folded, exact;
    } cases[] = {{u"ROAD_ASPHALT", u"asphalt", true, false},
                 {u"CAF\u00c9_SIGN", u"caf\u00e9", true, false}, // 8-bit letters fold
                 {u"A\u00d7B", u"\u00f7", false, false}, // U+00F7 is no letter: not folded to U+00D7
                 {u"\u0141ODZ", u"\u0142odz", false, false}, // beyond 8 bits: unchanged
                 {u"ANY", u"", true, true}, // the empty pattern matches all
                 {u"SHORT", u"SHORTER", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(Match(c.name, c.pattern, false), c.folded) << std::string(c.pattern.begin(), c.pattern.end());
        EXPECT_EQ(Match(c.name, c.pattern, true), c.exact) << std::string(c.pattern.begin(), c.pattern.end());
    }
}
