// The fuzz target over DDS files; the checks live in Inputs.h.
#include "Inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz_inputs::RunDdsInput(data, size); }
