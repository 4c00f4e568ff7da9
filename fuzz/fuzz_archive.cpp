// The fuzz target over game archives; the checks live in ArchiveInput.h.
#include "ArchiveInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_archive::RunArchiveInput(data, size);
}
