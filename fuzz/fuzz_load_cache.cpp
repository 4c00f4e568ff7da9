// The fuzz target over load caches; the checks live in LoadCacheInput.h.
#include "LoadCacheInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_load_cache::RunLoadCacheInput(data, size);
}
