// libFuzzer target for the DDS reader and what reads its output.
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. -isystem /usr/include/stb \
//       fuzz/fuzz_dds.cpp texture/DxgiFormat.cpp texture/Image.cpp texture/Dds.cpp \
//       texture/ImagePixel.cpp texture/ImageConvert.cpp texture/ImageCodec.cpp \
//       texture/ImageResize.cpp texture/ImageBlockDecode.cpp texture/ImageBlockEncode.cpp \
//       texture/ImageStb.cpp -o fuzz_dds
//   ./fuzz_dds -max_len=65536 corpus/
// Whatever the reader accepts must decode or convert to BGRA and write back
// to a file that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "texture/Dds.h"
#include "texture/ImageOps.h"

using namespace zelko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TexMetadata header;
    HResult headerResult = GetMetadataFromDDSMemory(data, size, header);

    ScratchImage image;
    TexMetadata metadata;
    HResult hr = LoadFromDDSMemory(data, size, &metadata, image);
    if (hr != headerResult) abort();  // both must judge a file alike
    if (Failed(hr)) {
        if (image.GetPixels()) abort();
        return 0;
    }

    const Image* images = image.GetImages();
    size_t count = image.GetImageCount();
    ScratchImage bgra;
    if (IsCompressed(metadata.format))
        hr = Decompress(images, count, metadata, DxgiFormat::B8G8R8A8_UNORM, bgra);
    else
        hr = Convert(images, count, metadata, DxgiFormat::B8G8R8A8_UNORM, kTexFilterDefault, 0.5f, bgra);
    if (Succeeded(hr) && bgra.GetMetadata().mipLevels != metadata.mipLevels) abort();

    std::vector<uint8_t> written;
    if (Failed(SaveToDDSMemory(images, count, metadata, written))) abort();
    ScratchImage again;
    if (Failed(LoadFromDDSMemory(written.data(), written.size(), nullptr, again))) abort();
    if (again.GetPixelsSize() != image.GetPixelsSize() ||
        std::memcmp(again.GetPixels(), image.GetPixels(), image.GetPixelsSize()) != 0)
        abort();
    return 0;
}
