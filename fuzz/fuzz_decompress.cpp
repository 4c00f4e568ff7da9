// The fuzz target over the compressed streams; the checks live in DecompressInput.h.
#include "DecompressInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_decompress::RunDecompressInput(data, size);
}
