#pragma once
// Opens arbitrary bytes as a game archive the way the program does: the scan
// of the top-level chunks, then every entry it found, then the rows and the
// preview of every texture. Errors are fine; a crash, a hang or a huge
// allocation is a finding. Shared by the fuzz target and the replay of its
// regression corpus in the unit tests.
#include "FuzzFiles.h"

namespace fuzz_archive {

inline int RunArchiveInput(const uint8_t* data, size_t size) {
    fuzz_files::Scope temp;
    const auto path = temp.path() / "CARS.BUN";
    fuzz_files::WriteBytes(path, data, size);
    zelko::Document document;
    try {
        document = zelko::OpenDocument(path, false, zelko::Host{});
    } catch (const zelko::Error&) {
        return 0;
    }
    fuzz_files::OpenEntries(document);
    return 0;
}

} // namespace fuzz_archive
