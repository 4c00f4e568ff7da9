#include "imaging/DxgiFormat.h"

namespace zelko {

namespace {

uint32_t Code(DxgiFormat f) { return uint32_t(f); }

// Bytes per 4x4 block of a block format, 0 otherwise.
size_t BlockBytes(DxgiFormat format) {
    switch (format) {
    case DxgiFormat::BC1_TYPELESS:
    case DxgiFormat::BC1_UNORM:
    case DxgiFormat::BC1_UNORM_SRGB:
    case DxgiFormat::BC4_TYPELESS:
    case DxgiFormat::BC4_UNORM:
    case DxgiFormat::BC4_SNORM: return 8;
    case DxgiFormat::BC2_TYPELESS:
    case DxgiFormat::BC2_UNORM:
    case DxgiFormat::BC2_UNORM_SRGB:
    case DxgiFormat::BC3_TYPELESS:
    case DxgiFormat::BC3_UNORM:
    case DxgiFormat::BC3_UNORM_SRGB:
    case DxgiFormat::BC5_TYPELESS:
    case DxgiFormat::BC5_UNORM:
    case DxgiFormat::BC5_SNORM:
    case DxgiFormat::BC6H_TYPELESS:
    case DxgiFormat::BC6H_UF16:
    case DxgiFormat::BC6H_SF16:
    case DxgiFormat::BC7_TYPELESS:
    case DxgiFormat::BC7_UNORM:
    case DxgiFormat::BC7_UNORM_SRGB: return 16;
    default: return 0;
    }
}

} // namespace

size_t BitsPerPixel(DxgiFormat format) {
    switch (format) {
    case DxgiFormat::R32G32B32A32_FLOAT: return 128;
    case DxgiFormat::R16G16B16A16_FLOAT:
    case DxgiFormat::R16G16B16A16_UNORM: return 64;
    case DxgiFormat::R10G10B10A2_UNORM:
    case DxgiFormat::R8G8B8A8_UNORM:
    case DxgiFormat::R8G8B8A8_UNORM_SRGB:
    case DxgiFormat::R16G16_UNORM:
    case DxgiFormat::B8G8R8A8_UNORM:
    case DxgiFormat::B8G8R8X8_UNORM:
    case DxgiFormat::B8G8R8A8_UNORM_SRGB:
    case DxgiFormat::B8G8R8X8_UNORM_SRGB: return 32;
    case DxgiFormat::R8G8_UNORM:
    case DxgiFormat::R8G8_SNORM:
    case DxgiFormat::R16_UNORM:
    case DxgiFormat::B5G6R5_UNORM:
    case DxgiFormat::B5G5R5A1_UNORM:
    case DxgiFormat::B4G4R4A4_UNORM: return 16;
    case DxgiFormat::R8_UNORM:
    case DxgiFormat::R8_SNORM:
    case DxgiFormat::A8_UNORM: return 8;
    default: return BlockBytes(format) / 2; // 8 bytes per 16 pixels: 4 bits
    }
}

bool IsCompressed(DxgiFormat format) {
    uint32_t c = Code(format);
    return (c >= 70 && c <= 84) || (c >= 94 && c <= 99);
}

bool IsSRGB(DxgiFormat format) {
    switch (Code(format)) {
    case 29:
    case 72:
    case 75:
    case 78:
    case 91:
    case 93:
    case 99: return true;
    default: return false;
    }
}

bool HasAlpha(DxgiFormat format) {
    switch (format) {
    case DxgiFormat::R32G32B32A32_FLOAT:
    case DxgiFormat::R16G16B16A16_FLOAT:
    case DxgiFormat::R16G16B16A16_UNORM:
    case DxgiFormat::R10G10B10A2_UNORM:
    case DxgiFormat::R8G8B8A8_UNORM:
    case DxgiFormat::R8G8B8A8_UNORM_SRGB:
    case DxgiFormat::A8_UNORM:
    case DxgiFormat::BC1_UNORM:
    case DxgiFormat::BC1_UNORM_SRGB:
    case DxgiFormat::BC2_UNORM:
    case DxgiFormat::BC2_UNORM_SRGB:
    case DxgiFormat::BC3_UNORM:
    case DxgiFormat::BC3_UNORM_SRGB:
    case DxgiFormat::B5G5R5A1_UNORM:
    case DxgiFormat::B8G8R8A8_UNORM:
    case DxgiFormat::B8G8R8A8_UNORM_SRGB:
    case DxgiFormat::BC7_UNORM:
    case DxgiFormat::BC7_UNORM_SRGB:
    case DxgiFormat::B4G4R4A4_UNORM: return true;
    default: return false;
    }
}

DxgiFormat MakeLinear(DxgiFormat format) {
    switch (format) {
    case DxgiFormat::R8G8B8A8_UNORM_SRGB: return DxgiFormat::R8G8B8A8_UNORM;
    case DxgiFormat::BC1_UNORM_SRGB: return DxgiFormat::BC1_UNORM;
    case DxgiFormat::BC2_UNORM_SRGB: return DxgiFormat::BC2_UNORM;
    case DxgiFormat::BC3_UNORM_SRGB: return DxgiFormat::BC3_UNORM;
    case DxgiFormat::B8G8R8A8_UNORM_SRGB: return DxgiFormat::B8G8R8A8_UNORM;
    case DxgiFormat::B8G8R8X8_UNORM_SRGB: return DxgiFormat::B8G8R8X8_UNORM;
    case DxgiFormat::BC7_UNORM_SRGB: return DxgiFormat::BC7_UNORM;
    default: return format;
    }
}

HResult ComputePitch(DxgiFormat format, size_t width, size_t height, size_t& rowPitch, size_t& slicePitch) {
    rowPitch = 0;
    slicePitch = 0;
    size_t bpp = BitsPerPixel(format);
    if (bpp == 0 || width == 0 || height == 0 || width > kMaxTextureDimension || height > kMaxTextureDimension)
        return kInvalidArg;
    // Within the dimension limit the largest level is 16384^2 * 16 bytes = 4 GiB,
    // which only fits a 64-bit size_t; 32-bit builds must refuse it.
    uint64_t row, slice;
    if (size_t blockBytes = BlockBytes(format)) {
        uint64_t blocksWide = (uint64_t(width) + 3) / 4;
        uint64_t blocksHigh = (uint64_t(height) + 3) / 4;
        row = blocksWide * blockBytes;
        slice = row * blocksHigh;
    } else {
        row = (uint64_t(width) * bpp + 7) / 8;
        slice = row * height;
    }
    if (slice > uint64_t(SIZE_MAX)) return kArithmeticOverflow;
    rowPitch = size_t(row);
    slicePitch = size_t(slice);
    return kOk;
}

size_t CountMips(size_t width, size_t height) {
    size_t levels = 1;
    size_t size = width > height ? width : height;
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

const char* FormatName(DxgiFormat format) {
    switch (format) {
#define ZELKO_FORMAT_NAME(n) \
    case DxgiFormat::n: return #n;
        ZELKO_FORMAT_NAME(R32G32B32A32_FLOAT)
        ZELKO_FORMAT_NAME(R16G16B16A16_FLOAT)
        ZELKO_FORMAT_NAME(R16G16B16A16_UNORM)
        ZELKO_FORMAT_NAME(R10G10B10A2_UNORM)
        ZELKO_FORMAT_NAME(R8G8B8A8_UNORM)
        ZELKO_FORMAT_NAME(R8G8B8A8_UNORM_SRGB)
        ZELKO_FORMAT_NAME(R16G16_UNORM)
        ZELKO_FORMAT_NAME(R8G8_UNORM)
        ZELKO_FORMAT_NAME(R8G8_SNORM)
        ZELKO_FORMAT_NAME(R16_UNORM)
        ZELKO_FORMAT_NAME(R8_UNORM)
        ZELKO_FORMAT_NAME(R8_SNORM)
        ZELKO_FORMAT_NAME(A8_UNORM)
        ZELKO_FORMAT_NAME(BC1_TYPELESS)
        ZELKO_FORMAT_NAME(BC1_UNORM)
        ZELKO_FORMAT_NAME(BC1_UNORM_SRGB)
        ZELKO_FORMAT_NAME(BC2_TYPELESS)
        ZELKO_FORMAT_NAME(BC2_UNORM)
        ZELKO_FORMAT_NAME(BC2_UNORM_SRGB)
        ZELKO_FORMAT_NAME(BC3_TYPELESS)
        ZELKO_FORMAT_NAME(BC3_UNORM)
        ZELKO_FORMAT_NAME(BC3_UNORM_SRGB)
        ZELKO_FORMAT_NAME(BC4_TYPELESS)
        ZELKO_FORMAT_NAME(BC4_UNORM)
        ZELKO_FORMAT_NAME(BC4_SNORM)
        ZELKO_FORMAT_NAME(BC5_TYPELESS)
        ZELKO_FORMAT_NAME(BC5_UNORM)
        ZELKO_FORMAT_NAME(BC5_SNORM)
        ZELKO_FORMAT_NAME(B5G6R5_UNORM)
        ZELKO_FORMAT_NAME(B5G5R5A1_UNORM)
        ZELKO_FORMAT_NAME(B8G8R8A8_UNORM)
        ZELKO_FORMAT_NAME(B8G8R8X8_UNORM)
        ZELKO_FORMAT_NAME(B8G8R8A8_UNORM_SRGB)
        ZELKO_FORMAT_NAME(B8G8R8X8_UNORM_SRGB)
        ZELKO_FORMAT_NAME(BC6H_TYPELESS)
        ZELKO_FORMAT_NAME(BC6H_UF16)
        ZELKO_FORMAT_NAME(BC6H_SF16)
        ZELKO_FORMAT_NAME(BC7_TYPELESS)
        ZELKO_FORMAT_NAME(BC7_UNORM)
        ZELKO_FORMAT_NAME(BC7_UNORM_SRGB)
        ZELKO_FORMAT_NAME(B4G4R4A4_UNORM)
#undef ZELKO_FORMAT_NAME
    default: return "UNKNOWN";
    }
}

} // namespace zelko
