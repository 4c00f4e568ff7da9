#pragma once
// The order in which list columns sort: case-insensitive, numbers by value.
// Free of platform headers so it can be tested on any system.
#include <string_view>

namespace zelko {

// Three-way natural comparison of two texts: negative when a sorts before b,
// zero when they count as equal, positive when a sorts after b.
//  - a run of blanks counts as one blank;
//  - digit runs compare by value ("007" == "7", "10" > "9"); a run right after
//    a '.' is a decimal fraction and compares digit by digit ("1.25" < "1.5",
//    "1.50" == "1.5");
//  - other characters compare by their lower-case forms;
//  - a text that ends first is the smaller.
int NaturalCompare(std::wstring_view a, std::wstring_view b);

} // namespace zelko
