// The fuzz target over image files; the checks live in ImageFileInput.h.
#include "ImageFileInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_image_file::RunImageFileInput(data, size);
}
