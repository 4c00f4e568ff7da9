#pragma once
// Internal to the image file code: the pieces the platform back ends
// (ImageFilePortable.cpp, ImageFileWic.cpp) and the shared front end
// (ImageFile.cpp) exchange. Pixels cross this boundary as packed B, G, R, A
// bytes, rows top to bottom, no padding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "imaging/ImageFile.h"

namespace zelko::imagefile {

// A decoded or to-be-encoded picture in packed BGRA.
struct Bgra {
    size_t width = 0;
    size_t height = 0;
    std::vector<uint8_t> pixels; // width * height * 4
};

// Whole-file input and output. WriteWholeFile removes what it wrote when the
// write fails part way.
HResult ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes);
HResult WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// kInvalidArg unless 1 <= width, height <= kMaxTextureDimension.
HResult CheckDimensions(size_t width, size_t height);

// Moves a decoded picture into a one-level B8G8R8A8_UNORM ScratchImage.
HResult StoreDecoded(const Bgra& picture, TexMetadata* metadata, ScratchImage& out);

bool HasTranslucency(const Bgra& picture);

// BMP encoder shared by both back ends: 24-bit when opaque, else 32-bit with a
// BITMAPV5HEADER carrying an alpha mask. Bottom-up rows, as most readers expect.
void EncodeBmp(const Bgra& picture, std::vector<uint8_t>& out);

// 8-bit indexed form of a picture for GIF (rules in ImageFile.h). The palette
// holds R, G, B triples, a power-of-two count of at least 2 entries;
// transparentIndex is -1 when no pixel is transparent.
struct Indexed {
    std::vector<uint8_t> indices; // width * height
    std::vector<uint8_t> paletteRgb;
    int transparentIndex = -1;
};
Indexed ToIndexed(const Bgra& picture);

// Back end entry points for BMP, PNG, JPEG, GIF and TIFF. `format` is the
// detected type for decoding.
HResult DecodeWithBackEnd(const uint8_t* data, size_t size, ImageFileFormat format, Bgra& picture);
HResult EncodeWithBackEnd(const Bgra& picture, ImageFileFormat format, std::vector<uint8_t>& out);

// TGA codec (ImageFileTga.cpp).
HResult DecodeTga(const uint8_t* data, size_t size, Bgra& picture);
void EncodeTga(const Bgra& picture, std::vector<uint8_t>& out);

} // namespace zelko::imagefile
