#pragma once
// DDS files: reading into a ScratchImage and writing textures out.
//
// Reading accepts 2D textures with a legacy header (FourCCs DXT1..DXT5 with
// DXT2/DXT4 read as BC2/BC3, ATI1/BC4U/BC4S, ATI2/BC5U/BC5S, the Direct3D 9
// numeric FourCCs for 16-bit and float RGBA; RGB, luminance and alpha mask
// layouts) or a DX10 header. Layouts without a DXGI twin are expanded: 24-bit
// BGR to B8G8R8X8. Padding bytes of X layouts (X8R8G8B8, X8B8G8R8, X1R5G5B5,
// X4R4G4B4, and B8G8R8X8 however declared) are set opaque on reading, so
// their pixels can be used as if they had alpha. The mip count is read whether or not its header flag is set;
// 0 means 1. Cube maps, volumes, arrays and formats outside DxgiFormat give
// kNotSupported; a damaged header kInvalidData; data shorter than the header
// promises kHandleEof. Widths and heights above kMaxTextureDimension are
// refused before any size arithmetic.
//
// Writing uses the legacy header wherever one expresses the format exactly
// (DXT1, DXT3, DXT5, ATI1, ATI2, BC4S, BC5S FourCCs; masks for 8888, X888,
// 10:10:10:2, 16:16, 565, 1555, 4444; luminance for R8 and R16; alpha for
// A8; numeric FourCCs for R16G16B16A16 and float RGBA) and the DX10 header
// otherwise, which includes every sRGB format and R8G8. Rows are packed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "imaging/Image.h"

namespace zelko {

// Options of the DDS functions; none are defined yet, and any other value is
// refused with kInvalidArg rather than ignored. The overloads taking flags
// mirror the common DDS library signatures.
using DdsFlags = uint32_t;
constexpr DdsFlags kDdsFlagsNone = 0;

// metadata may be null. On failure `image` is empty.
HResult LoadFromDDSMemory(const void* data, size_t size, TexMetadata* metadata, ScratchImage& image);
HResult LoadFromDDSFile(const std::filesystem::path& path, TexMetadata* metadata, ScratchImage& image);
HResult LoadFromDDSMemory(const void* data, size_t size, DdsFlags flags, TexMetadata* metadata, ScratchImage& image);
HResult LoadFromDDSFile(const std::filesystem::path& path, DdsFlags flags, TexMetadata* metadata, ScratchImage& image);

// A DDS file's data without its header (levels one after another, rows
// packed), the shape given by the caller: the same checks, codes and image
// as loading the file. mipLevels 0 counts as 1.
HResult LoadFromDDSPixels(DxgiFormat format, size_t width, size_t height, size_t mipLevels, const void* data,
                          size_t size, ScratchImage& image);

// Only the header: the metadata a load would produce, without reading pixels
// (the data length is still checked).
HResult GetMetadataFromDDSMemory(const void* data, size_t size, TexMetadata& metadata);

// The texture's images (as ScratchImage::GetImages lists them) to a DDS file
// image in `out`. A single image is written as a one-level texture.
HResult SaveToDDSMemory(const Image* images, size_t count, const TexMetadata& metadata, std::vector<uint8_t>& out);
HResult SaveToDDSMemory(const Image& image, std::vector<uint8_t>& out);
HResult SaveToDDSFile(const Image* images, size_t count, const TexMetadata& metadata,
                      const std::filesystem::path& path);
HResult SaveToDDSFile(const Image& image, const std::filesystem::path& path);
HResult SaveToDDSMemory(const Image* images, size_t count, const TexMetadata& metadata, DdsFlags flags,
                        std::vector<uint8_t>& out);
HResult SaveToDDSFile(const Image* images, size_t count, const TexMetadata& metadata, DdsFlags flags,
                      const std::filesystem::path& path);

} // namespace zelko
