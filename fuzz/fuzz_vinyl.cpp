// The fuzz target over World vinyl files; the checks live in Inputs.h.
#include "Inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_inputs::RunVinylInput(data, size);
}
