// The fuzz target over World thumbnail files; the checks live in StpInput.h.
#include "StpInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz_stp::RunStpInput(data, size); }
