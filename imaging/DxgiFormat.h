#pragma once
// DXGI pixel formats the imaging layer knows, with the numbers Direct3D gives
// them (files and game data carry these numbers), and the size arithmetic of
// texture levels.
#include <cstddef>
#include <cstdint>

#include "imaging/ImageResult.h"

namespace zelko {

enum class DxgiFormat : uint32_t {
    UNKNOWN = 0,
    R32G32B32A32_FLOAT = 2,
    R16G16B16A16_FLOAT = 10,
    R16G16B16A16_UNORM = 11,
    R10G10B10A2_UNORM = 24,
    R8G8B8A8_UNORM = 28,
    R8G8B8A8_UNORM_SRGB = 29,
    R16G16_UNORM = 35,
    R8G8_UNORM = 49,
    R8G8_SNORM = 51,
    R16_UNORM = 56,
    R8_UNORM = 61,
    R8_SNORM = 63,
    A8_UNORM = 65,
    BC1_TYPELESS = 70,
    BC1_UNORM = 71,
    BC1_UNORM_SRGB = 72,
    BC2_TYPELESS = 73,
    BC2_UNORM = 74,
    BC2_UNORM_SRGB = 75,
    BC3_TYPELESS = 76,
    BC3_UNORM = 77,
    BC3_UNORM_SRGB = 78,
    BC4_TYPELESS = 79,
    BC4_UNORM = 80,
    BC4_SNORM = 81,
    BC5_TYPELESS = 82,
    BC5_UNORM = 83,
    BC5_SNORM = 84,
    B5G6R5_UNORM = 85,
    B5G5R5A1_UNORM = 86,
    B8G8R8A8_UNORM = 87,
    B8G8R8X8_UNORM = 88,
    B8G8R8A8_UNORM_SRGB = 91,
    B8G8R8X8_UNORM_SRGB = 93,
    BC6H_TYPELESS = 94,
    BC6H_UF16 = 95,
    BC6H_SF16 = 96,
    BC7_TYPELESS = 97,
    BC7_UNORM = 98,
    BC7_UNORM_SRGB = 99,
    B4G4R4A4_UNORM = 115,
};

// Largest width or height accepted anywhere (the Direct3D 11 limit). Keeps
// every size product far from overflow, also in 32-bit builds.
constexpr size_t kMaxTextureDimension = 16384;

// Bits per pixel; block formats count their average (4 or 8). 0 for formats
// this layer does not know.
size_t BitsPerPixel(DxgiFormat format);

// DXGI numbering ranges, so they also hold for formats without an enumerator.
bool IsCompressed(DxgiFormat format); // 70..84 and 94..99
bool IsSRGB(DxgiFormat format); // 29, 72, 75, 78, 91, 93, 99
bool HasAlpha(DxgiFormat format); // has a stored alpha channel

// The linear twin of an sRGB format; other formats come back unchanged.
DxgiFormat MakeLinear(DxgiFormat format);

// Bytes of one row and of one whole level, rows packed without padding; block
// formats count rows of 4x4 blocks, at least one block each way. Fails with
// kInvalidArg (pitches 0) for an unknown format, a zero size, or a size over
// kMaxTextureDimension.
HResult ComputePitch(DxgiFormat format, size_t width, size_t height, size_t& rowPitch, size_t& slicePitch);

// Levels of a full mip chain down to 1x1: 1 + floor(log2(max(width, height))).
size_t CountMips(size_t width, size_t height);

// Short name for logs and the command line ("BC1_UNORM"); "UNKNOWN" otherwise.
const char* FormatName(DxgiFormat format);

} // namespace zelko
