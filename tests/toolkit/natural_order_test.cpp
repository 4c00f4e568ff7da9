#include "toolkit/NaturalOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zelko {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// Checks the comparison both ways, so that it is also antisymmetric.
void ExpectLess(std::wstring_view a, std::wstring_view b) {
    EXPECT_LT(NaturalCompare(a, b), 0);
    EXPECT_GT(NaturalCompare(b, a), 0);
}

void ExpectEqual(std::wstring_view a, std::wstring_view b) {
    EXPECT_EQ(NaturalCompare(a, b), 0);
    EXPECT_EQ(NaturalCompare(b, a), 0);
}

TEST(NaturalOrderTest, NumbersCompareByValueAndLettersIgnoreCase) {
    std::vector<std::wstring> names{L"tex2", L"tex10", L"Tex1"};
    std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return NaturalCompare(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Tex1", L"tex2", L"tex10"}));

    ExpectLess(L"9", L"10");
    ExpectLess(L"a9b", L"a10a");
    ExpectEqual(L"ROAD", L"road");
    ExpectLess(L"Apple", L"banana");
    ExpectLess(L"x99999999999999999999", L"x100000000000000000000");  // beyond any integer type
}

TEST(NaturalOrderTest, LeadingZerosDoNotCount) {
    ExpectEqual(L"007", L"7");
    ExpectEqual(L"tex007a", L"TEX7A");
    ExpectLess(L"007", L"8");
    ExpectEqual(L"000", L"0");
}

TEST(NaturalOrderTest, DigitsAfterAPointAreFractions) {
    ExpectLess(L"1.25", L"1.5");
    ExpectEqual(L"1.50", L"1.5");
    ExpectLess(L"v1.10", L"v1.9");  // .10 is less than .9 as a fraction
    ExpectLess(L"1.05", L"1.5");    // zeros after the point do count
    ExpectLess(L"1.5", L"2.0");
}

TEST(NaturalOrderTest, RunsOfBlanksCountAsOne) {
    ExpectEqual(L"big  road", L"big road");
    ExpectEqual(L"a \t b", L"a b");
    ExpectLess(L"a  a", L"a b");
    // Only repeated blanks collapse: a first blank still counts.
    ExpectLess(L"a b", L"ab");
}

TEST(NaturalOrderTest, ShorterTextSortsFirstAndEqualTextsAreEqual) {
    ExpectLess(L"tex", L"tex1");
    ExpectLess(L"", L"a");
    ExpectEqual(L"", L"");
    ExpectEqual(L"same 12.5", L"SAME 12.50");
}

TEST(NaturalOrderTest, OrderIsConsistentOverAMixedSet) {
    std::vector<std::wstring> names{L"car_10", L"Car_9", L"car_9b", L"car_09a", L"car", L"car_1.5", L"car_1.25"};
    for (const auto& a : names) {
        EXPECT_EQ(NaturalCompare(a, a), 0);
        for (const auto& b : names) EXPECT_EQ(Sign(NaturalCompare(a, b)), -Sign(NaturalCompare(b, a)));
    }
    std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return NaturalCompare(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"car", L"car_1.25", L"car_1.5", L"Car_9", L"car_09a", L"car_9b",
                                                L"car_10"}));
}

} // namespace
} // namespace zelko
