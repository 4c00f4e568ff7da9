// The fuzz target over texture packs; the checks live in TextureFileInput.h.
#include "TextureFileInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_texture_file::RunTextureFileInput(data, size);
}
