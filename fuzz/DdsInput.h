#pragma once
// Reads arbitrary bytes as a DDS file. Whatever the reader accepts must
// decode or convert to BGRA and write back to a file that reads the same;
// the header-only read judges every file as the full read does. Shared by
// the fuzz target and the replay of its regression corpus in the unit tests.
#include <cstring>
#include <vector>

#include "FuzzFiles.h"
#include "imaging/Dds.h"
#include "imaging/ImageOps.h"

namespace fuzz_dds {

using fuzz_files::Check;

inline int RunDdsInput(const uint8_t* data, size_t size) {
    using namespace zelko;
    TexMetadata header;
    HResult headerResult = GetMetadataFromDDSMemory(data, size, header);

    ScratchImage image;
    TexMetadata metadata;
    HResult hr = LoadFromDDSMemory(data, size, &metadata, image);
    Check(hr == headerResult);
    if (Failed(hr)) {
        Check(image.GetPixels() == nullptr);
        return 0;
    }

    const Image* images = image.GetImages();
    size_t count = image.GetImageCount();
    ScratchImage bgra;
    if (IsCompressed(metadata.format))
        hr = Decompress(images, count, metadata, DxgiFormat::B8G8R8A8_UNORM, bgra);
    else
        hr = Convert(images, count, metadata, DxgiFormat::B8G8R8A8_UNORM, kTexFilterDefault, 0.5f, bgra);
    if (Succeeded(hr)) Check(bgra.GetMetadata().mipLevels == metadata.mipLevels);

    std::vector<uint8_t> written;
    Check(Succeeded(SaveToDDSMemory(images, count, metadata, written)));
    ScratchImage again;
    Check(Succeeded(LoadFromDDSMemory(written.data(), written.size(), nullptr, again)));
    Check(again.GetPixelsSize() == image.GetPixelsSize() &&
          std::memcmp(again.GetPixels(), image.GetPixels(), image.GetPixelsSize()) == 0);
    return 0;
}

} // namespace fuzz_dds
