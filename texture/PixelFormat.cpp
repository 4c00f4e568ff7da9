#include "texture/PixelFormat.h"

#include <algorithm>
#include <cstring>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "imaging/DxgiFormat.h"
#include "texture/TextureObject.h"

namespace zelko {

uint32_t ToDxgi(uint32_t format) {
    switch (format) {
    case kFormatARGB:
    case kFormatP8:
    case kXboxLinearARGB:
    case kXboxTiledARGB: return 87;
    case kFormatL8: return 61;
    case kFormatDXT1:
    case kXboxTiledDXT1: return 71;
    case kFormatDXT2:
    case kFormatDXT3:
    case kXboxTiledDXT3: return 74;
    case kFormatDXT4:
    case kFormatDXT5:
    case kXboxTiledDXT5: return 77;
    case kFormatATI1: return 80;
    case kFormatATI2: return 83;
    default: throw Error("Not supported texture format");
    }
}

uint32_t PackFormatFromDxgi(uint32_t dxgi) {
    switch (dxgi) {
    case 71: return kFormatDXT1;
    case 74: return kFormatDXT3;
    case 77: return kFormatDXT5;
    case 80: return kFormatATI1;
    case 83: return kFormatATI2;
    case 87:
    case 88: return kFormatARGB;
    default: return 0;
    }
}

namespace {

void PitchOf(uint32_t dxgi, uint32_t width, uint32_t height, size_t& rowPitch, size_t& slicePitch) {
    if (Failed(ComputePitch(DxgiFormat(dxgi), width, height, rowPitch, slicePitch))) {
        rowPitch = slicePitch = 0;
    }
}

} // namespace

uint64_t SliceSize(uint32_t format, uint32_t width, uint32_t height) {
    const uint32_t dxgi = format == kFormatP8 ? 61 : ToDxgi(format);
    size_t rowPitch = 0, slicePitch = 0;
    PitchOf(dxgi, width, height, rowPitch, slicePitch);
    return slicePitch;
}

uint32_t BaseSliceSize(const TextureObject& texture) {
    const uint64_t size = SliceSize(texture.format, texture.width, texture.height);
    if (size == 0 || size > UINT32_MAX) throw Error("Invalid slice size");
    return uint32_t(size);
}

uint32_t XboxTiledOffset(uint32_t x, uint32_t y, uint32_t P, uint32_t e) {
    const uint32_t L = (e >> 2) + ((e >> 1) >> (e >> 2));
    const uint32_t macro = ((x >> 5) + (y >> 5) * (P >> 5)) << (L + 7);
    const uint32_t micro = ((x & 7) + ((y & 6) << 2)) << L;
    const uint32_t o = macro + ((micro & ~15u) << 1) + (micro & 15) + ((y & 8) << (3 + L)) + ((y & 1) << 4);
    return (((o & ~511u) << 3) + ((o & 448) << 2) + (o & 63) + ((y & 16) << 7) +
            (((((y & 8) >> 2) + (x >> 3)) & 3) << 6)) >>
        L;
}

void ConvertFromXbox360(TextureObject& texture) {
    if (texture.pixelsPacked) throw Error("Unable to process compressed data");
    const uint32_t dxgi = ToDxgi(texture.format);
    const size_t bits = BitsPerPixel(DxgiFormat(dxgi));
    uint8_t* data = texture.pixels.get();
    const uint32_t size = texture.pixelsSize;
    if (bits == 32) {
        for (uint32_t i = 0; i + 4 <= size; i += 4) {
            std::swap(data[i], data[i + 3]);
            std::swap(data[i + 1], data[i + 2]);
        }
    } else {
        for (uint32_t i = 0; i + 2 <= size; i += 2) std::swap(data[i], data[i + 1]);
    }

    if (texture.format != kXboxLinearARGB) {
        const uint32_t e = bits == 32 ? 4 : uint32_t(2 * bits);
        size_t rowPitch = 0, slicePitch = 0;
        PitchOf(dxgi, texture.width, texture.height, rowPitch, slicePitch);
        const uint32_t P = uint32_t(rowPitch / e);
        // Starts as the swapped data so that bytes the base-level walk does not
        // reach (the further mip levels) keep defined content.
        auto linear = std::make_unique_for_overwrite<uint8_t[]>(size ? size : 1);
        if (size) std::memcpy(linear.get(), data, size);
        // Only rows and columns that start inside the data can be written: the
        // walk stays proportional to the bytes present, whatever size a
        // damaged record declares.
        const uint64_t rows = rowPitch ? std::min<uint64_t>(texture.height, size / rowPitch + 1) : 0;
        const uint64_t columns = std::min<uint64_t>(texture.width, size / e + 1);
        for (uint32_t y = 0; y < rows; ++y) {
            for (uint32_t x = 0; x < columns; ++x) {
                const uint64_t dst = uint64_t(y) * rowPitch + uint64_t(x) * e;
                const uint64_t src = uint64_t(e) * XboxTiledOffset(x, y, P, e);
                if (dst < size && src < size && dst + e <= size && src + e <= size) {
                    std::memcpy(linear.get() + dst, data + src, e);
                }
            }
        }
        texture.pixels = std::move(linear);
    }
    texture.format = PcFormatOf(texture.format);
}

} // namespace zelko
