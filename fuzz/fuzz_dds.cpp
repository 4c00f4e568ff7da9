// The fuzz target over DDS files; the checks live in DdsInput.h.
#include "DdsInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz_dds::RunDdsInput(data, size); }
