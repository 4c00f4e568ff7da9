#pragma once
// Reading and writing the common image file types (everything but DDS, which
// lives with the DDS code). On Windows BMP, PNG, JPEG, GIF and TIFF go through
// the Windows Imaging Component; elsewhere through stb, libtiff and giflib.
// TGA has its own small codec on every platform.
//
// Decoded images are always one level of B8G8R8A8_UNORM, the layout the
// conversion pipeline starts from, so callers never branch on the file type.
// Writers accept 32-bit images: B8G8R8A8, B8G8R8X8 (alpha taken as 255) and
// R8G8B8A8, linear or sRGB.
//
// What each writer keeps:
//   PNG, TIFF, TGA: colour and alpha exactly.
//   BMP: 24-bit when every pixel is opaque; otherwise 32-bit with a
//        BITMAPV5HEADER whose alpha mask marks the fourth byte, so alpha
//        survives in readers that honour the mask (WIC, stb, browsers).
//   JPEG: colour only, lossy.
//   GIF: 8-bit indexed. Images of up to 256 distinct colours (counting only
//        the opaque ones, alpha >= 128) are stored exactly; others are mapped
//        to a fixed 6x7x6 palette with ordered dithering. Pixels with alpha
//        < 128 become the transparent index, which reads back as alpha 0.
//
// Writers build the whole file in memory first, so a failed write never
// leaves a partial file. Results are HRESULT codes (imaging/ImageResult.h):
// kFileNotFound for a missing file, kInvalidData for content no decoder
// accepts, kInvalidArg for sizes over kMaxTextureDimension or bad images,
// kNotSupported for a format a function does not handle, kWriteFault when the
// file cannot be written. On Windows a decoder may also pass on a WIC code.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "imaging/Image.h"

namespace zelko {

enum class ImageFileFormat { DDS, BMP, PNG, JPEG, GIF, TIFF, TGA };

// From a path's extension, ignoring case: .dds .bmp .png .jpg .jpeg .gif .tif
// .tiff .tga. Empty for anything else.
std::optional<ImageFileFormat> ImageFileFormatFromExtension(const std::filesystem::path& path);

// The type the first bytes announce, independent of the file's name. Empty
// when they match none. TGA has no signature and is never reported.
std::optional<ImageFileFormat> DetectImageFileFormat(const uint8_t* data, size_t size);

// Decodes a BMP, PNG, JPEG, GIF (first frame) or TIFF (first page) file,
// chosen by content. `metadata` may be null.
HResult LoadFromImageFile(const std::filesystem::path& path, TexMetadata* metadata, ScratchImage& out);
HResult LoadFromImageMemory(const uint8_t* data, size_t size, TexMetadata* metadata, ScratchImage& out);

// TGA: uncompressed and RLE; true colour (15/16/24/32-bit), grey and
// colour-mapped.
HResult LoadFromTGAFile(const std::filesystem::path& path, TexMetadata* metadata, ScratchImage& out);
HResult LoadFromTGAMemory(const uint8_t* data, size_t size, TexMetadata* metadata, ScratchImage& out);

// Encodes `image` as BMP, PNG, JPEG, GIF, TIFF or TGA (DDS: kNotSupported).
HResult SaveToImageMemory(const Image& image, ImageFileFormat format, std::vector<uint8_t>& out);
HResult SaveToImageFile(const Image& image, ImageFileFormat format, const std::filesystem::path& path);

// 32-bit BGRA TGA, top-down, with a TGA 2.0 footer.
HResult SaveToTGAFile(const Image& image, const std::filesystem::path& path);

} // namespace zelko
