#pragma once
// Opens arbitrary bytes as a game archive the way the program does: the scan
// of the top-level chunks, then every entry it found, then the rows and the
// preview of every texture. Errors are fine; a crash, a hang or a huge
// allocation is a finding. Shared by the fuzz target and the replay of its
// regression corpus in the unit tests.
#include "FuzzFiles.h"

namespace fuzz_archive {

inline int RunArchiveInput(const uint8_t* data, size_t size) {
    const fuzz_files::InputFile input("CARS.BUN", data, size);
    if (auto document = fuzz_files::Open(input.path)) fuzz_files::OpenEntries(*document);
    return 0;
}

} // namespace fuzz_archive
