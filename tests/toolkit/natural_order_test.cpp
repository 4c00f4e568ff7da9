// The comparison behind natural order; sorting by it is tested through the list view.
#include "toolkit/NaturalOrder.h"

#include <gtest/gtest.h>

namespace zelko {
namespace {

TEST(NaturalOrderTest, ComparesNumbersByValueIgnoringCaseZerosAndRepeatedBlanks) {
    // {a, b, expected sign of NaturalCompare(a, b)}; each pair is also checked reversed.
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    };
    const Case cases[] = {
        {L"9", L"10", -1},
        {L"a9b", L"a10a", -1},
        {L"ROAD", L"road", 0},
        {L"x99999999999999999999", L"x100000000000000000000", -1}, // beyond any integer type
        {L"007", L"7", 0},
        {L"tex007a", L"TEX7A", 0},
        {L"007", L"8", -1},
        {L"1.25", L"1.5", -1},
        {L"1.50", L"1.5", 0},
        {L"v1.10", L"v1.9", -1}, // fractions
        {L"1.05", L"1.5", -1},
        {L"1.5", L"2.0", -1},
        {L"big  road", L"big road", 0},
        {L"a \t b", L"a b", 0},
        {L"a  a", L"a b", -1},
        {L"a b", L"ab", -1}, // a single blank still counts
        {L"tex", L"tex1", -1},
        {L"", L"a", -1},
        {L"", L"", 0},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(NaturalCompare(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(NaturalCompare(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
    }
}

} // namespace
} // namespace zelko
