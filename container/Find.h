#pragma once
// Finding textures by name across every texture pack of a document: the
// index of names, the match and the sorted search the editor's Find dialog
// and `zelko find` share.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "container/OpenFlow.h"

namespace zelko {

struct FindRecord {
    std::string name; // display name with the hash suffix, games' code page
    std::u16string shown; // the same in 16-bit code units, as matched and sorted
    std::u16string folded; // `shown` with the 8-bit letters upper-cased
    uint32_t hash = 0; // never 0
    uint32_t entryId = 0; // the entry that holds the texture
};

// The record of one texture. Throws Error("invalid hash") for hash 0.
FindRecord MakeFindRecord(const TextureObject& texture, uint32_t entryId);

// Upper case of the Western 8-bit letters (a-z, U+00E0-U+00FE but U+00F7),
// the folding of the runtime's toupper in the English locale; every other
// code unit stays as it is.
std::u16string FoldCase(std::u16string_view text);

// True when `pattern` is empty or occurs in `name` as a run of code units,
// compared exactly with matchCase, else after FoldCase of both.
bool Match(std::u16string_view name, std::u16string_view pattern, bool matchCase);

// The records of every texture of every entry of the document, read from
// disk in id order, each through a container of its own. An entry that does
// not open adds nothing.
// `progress` is told the percentage after each entry.
std::vector<FindRecord> BuildFindIndex(const Document& document, const std::function<void(int percent)>& progress = {});

// The matching records in ascending order of `shown` (16-bit code units);
// none for an empty pattern.
std::vector<const FindRecord*> SearchIndex(const std::vector<FindRecord>& index, std::u16string_view pattern,
                                           bool matchCase);

} // namespace zelko
