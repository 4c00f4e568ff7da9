#pragma once
// Opens arbitrary bytes as a World vinyl file (.vyl): the blocks of
// compressed streams, the data chunks before the pack, the pack itself, then
// the rows and the preview of every texture. Shared by the fuzz target and
// the replay of its regression corpus in the unit tests.
#include "FuzzFiles.h"

namespace fuzz_vinyl {

inline int RunVinylInput(const uint8_t* data, size_t size) {
    const fuzz_files::InputFile input("DECAL.VYL", data, size);
    auto document = fuzz_files::Open(input.path);
    if (!document) return 0;
    fuzz_files::Check(document->kind == zelko::kEntryVinyl && document->entries.size() == 1);
    fuzz_files::OpenEntries(*document);
    return 0;
}

} // namespace fuzz_vinyl
