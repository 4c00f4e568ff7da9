#pragma once
// Decodes arbitrary bytes as an image file: BMP, PNG, JPEG, GIF and TIFF by
// content, TGA on its own, and the import of the bytes as a file, which
// takes a ".dds" name when they start like one. A decoded image is one level
// of 32-bit BGRA whatever the file held, reads the same from memory and from
// a file, and comes back exactly from the lossless writers. Shared by the
// fuzz target and the replay of its regression corpus in the unit tests.
#include <cstring>
#include <vector>

#include "FuzzFiles.h"
#include "imaging/ImageFile.h"

namespace fuzz_image_file {

// Larger images only decode: the round trips and the import would spend the
// fuzzer's time encoding what a few bytes declared.
constexpr size_t kMaxCheckedPixels = 1 << 18;

inline bool SamePixels(const zelko::ScratchImage& a, const zelko::ScratchImage& b) {
    return a.GetPixelsSize() == b.GetPixelsSize() && std::memcmp(a.GetPixels(), b.GetPixels(), a.GetPixelsSize()) == 0;
}

inline void CheckDecoded(const zelko::ScratchImage& image) {
    using fuzz_files::Check;
    const zelko::TexMetadata& m = image.GetMetadata();
    Check(m.format == zelko::DxgiFormat::B8G8R8A8_UNORM && m.mipLevels == 1 && m.arraySize == 1);
    Check(m.width >= 1 && m.width <= zelko::kMaxTextureDimension && m.height >= 1 &&
          m.height <= zelko::kMaxTextureDimension);
    Check(image.GetPixelsSize() == m.width * m.height * 4);
    if (m.width * m.height > kMaxCheckedPixels) return;
    for (auto format : {zelko::ImageFileFormat::PNG, zelko::ImageFileFormat::TGA}) {
        std::vector<uint8_t> bytes;
        Check(zelko::Succeeded(zelko::SaveToImageMemory(*image.GetImage(0, 0, 0), format, bytes)));
        zelko::ScratchImage again;
        const zelko::HResult hr = format == zelko::ImageFileFormat::TGA
            ? zelko::LoadFromTGAMemory(bytes.data(), bytes.size(), nullptr, again)
            : zelko::LoadFromImageMemory(bytes.data(), bytes.size(), nullptr, again);
        Check(zelko::Succeeded(hr) && SamePixels(again, image));
    }
}

inline int RunImageFileInput(const uint8_t* data, size_t size) {
    using fuzz_files::Check;
    zelko::ScratchImage tga;
    if (zelko::Succeeded(zelko::LoadFromTGAMemory(data, size, nullptr, tga))) CheckDecoded(tga);
    zelko::ScratchImage image;
    const bool decoded = zelko::Succeeded(zelko::LoadFromImageMemory(data, size, nullptr, image));
    if (decoded) CheckDecoded(image);

    const bool dds = zelko::DetectImageFileFormat(data, size) == zelko::ImageFileFormat::DDS;
    const fuzz_files::InputFile input(dds ? "image.dds" : "image.png", data, size);
    const auto& path = input.path;
    zelko::ScratchImage loaded;
    std::string error;
    const bool read = zelko::LoadImageFile(path, loaded, error);
    if (!dds) Check(read == decoded && (!read || SamePixels(loaded, image)));
    if (!read) return 0;
    const zelko::TexMetadata& m = loaded.GetMetadata();
    if (m.width * m.height > kMaxCheckedPixels) return 0;
    try {
        auto texture = zelko::ImportAsNewTexture(false, path);
        Check(texture->width % 4 == 0 && texture->height % 4 == 0);
    } catch (const zelko::Error&) {}
    return 0;
}

} // namespace fuzz_image_file
