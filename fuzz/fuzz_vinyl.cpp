// The fuzz target over World vinyl files; the checks live in VinylInput.h.
#include "VinylInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_vinyl::RunVinylInput(data, size);
}
