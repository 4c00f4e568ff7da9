// The fuzz target over compressed archives; the checks live in LzcInput.h.
#include "LzcInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz_lzc::RunLzcInput(data, size); }
