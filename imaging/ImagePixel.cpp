#include "imaging/ImagePixel.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace zelko::detail {

namespace {

using F = DxgiFormat;

uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Store16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Comparisons are written so that NaN falls to the lower bound.
inline float Saturate(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }
inline uint32_t ToUnorm(float f, float max) { return uint32_t(Saturate(f) * max + 0.5f); }
inline float FromSnorm8(uint8_t v) {
    int s = int8_t(v);
    return s <= -127 ? -1.0f : float(s) / 127.0f; // -128 and -127 both mean -1
}
inline uint8_t ToSnorm8(float f) {
    f = f > -1.0f ? (f < 1.0f ? f : 1.0f) : -1.0f;
    int s = int(f * 127.0f + (f >= 0 ? 0.5f : -0.5f));
    return uint8_t(int8_t(s));
}

float HalfToFloat(uint16_t h) {
    uint32_t sign = uint32_t(h & 0x8000) << 16;
    uint32_t exponent = (h >> 10) & 31, mantissa = h & 0x3FF;
    if (exponent == 0) {
        float f = float(mantissa) * (1.0f / 16777216.0f); // subnormal: m * 2^-24
        return sign ? -f : f;
    }
    uint32_t bits = exponent == 31 ? sign | 0x7F800000u | mantissa << 13
                                   : sign | (exponent + 112) << 23 | mantissa << 13;
    return std::bit_cast<float>(bits);
}

// Round to nearest even, overflow to infinity, NaN stays NaN.
uint16_t FloatToHalf(float f) {
    uint32_t x = std::bit_cast<uint32_t>(f);
    uint32_t sign = (x >> 16) & 0x8000, magnitude = x & 0x7FFFFFFF;
    if (magnitude >= 0x7F800000) return uint16_t(sign | (magnitude > 0x7F800000 ? 0x7E00 : 0x7C00));
    if (magnitude >= 0x477FF000) return uint16_t(sign | 0x7C00); // rounds past 65504
    if (magnitude < 0x38800000) { // below 2^-14: subnormal
        float scaled = std::bit_cast<float>(magnitude) * 16777216.0f;
        return uint16_t(sign | uint32_t(std::nearbyint(scaled)));
    }
    uint32_t half = (magnitude - (112u << 23)) >> 13;
    uint32_t rest = magnitude & 0x1FFF;
    if (rest > 0x1000 || (rest == 0x1000 && (half & 1))) ++half; // a carry moves into the exponent
    return uint16_t(sign | half);
}

template <class Fn>
void EachIn(const uint8_t* source, size_t count, size_t bytes, float* rgba, Fn fn) {
    for (size_t i = 0; i < count; ++i, source += bytes, rgba += 4) fn(source, rgba);
}

template <class Fn>
void EachOut(const float* rgba, size_t count, size_t bytes, uint8_t* destination, Fn fn) {
    for (size_t i = 0; i < count; ++i, destination += bytes, rgba += 4) fn(rgba, destination);
}

void Set(float* o, float r, float g, float b, float a) {
    o[0] = r;
    o[1] = g;
    o[2] = b;
    o[3] = a;
}

} // namespace

bool HasRowCodec(DxgiFormat format) {
    switch (format) {
    case F::R32G32B32A32_FLOAT:
    case F::R16G16B16A16_FLOAT:
    case F::R16G16B16A16_UNORM:
    case F::R10G10B10A2_UNORM:
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB:
    case F::R16G16_UNORM:
    case F::R8G8_UNORM:
    case F::R8G8_SNORM:
    case F::R16_UNORM:
    case F::R8_UNORM:
    case F::R8_SNORM:
    case F::A8_UNORM:
    case F::B5G6R5_UNORM:
    case F::B5G5R5A1_UNORM:
    case F::B8G8R8A8_UNORM:
    case F::B8G8R8X8_UNORM:
    case F::B8G8R8A8_UNORM_SRGB:
    case F::B8G8R8X8_UNORM_SRGB:
    case F::B4G4R4A4_UNORM: return true;
    default: return false;
    }
}

bool IsByteChannels(DxgiFormat format) {
    switch (format) {
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB:
    case F::B8G8R8A8_UNORM:
    case F::B8G8R8X8_UNORM:
    case F::B8G8R8A8_UNORM_SRGB:
    case F::B8G8R8X8_UNORM_SRGB:
    case F::R8G8_UNORM:
    case F::R8_UNORM:
    case F::A8_UNORM: return true;
    default: return false;
    }
}

void UnpackRow(DxgiFormat format, const uint8_t* source, size_t count, float* rgba) {
    constexpr float k8 = 1.0f / 255, k16 = 1.0f / 65535, k10 = 1.0f / 1023;
    constexpr float k5 = 1.0f / 31, k6 = 1.0f / 63, k4 = 1.0f / 15;
    switch (format) {
    case F::R32G32B32A32_FLOAT: std::memcpy(rgba, source, count * 16); break;
    case F::R16G16B16A16_FLOAT:
        EachIn(source, count, 8, rgba, [](const uint8_t* p, float* o) {
            Set(o, HalfToFloat(Load16(p)), HalfToFloat(Load16(p + 2)), HalfToFloat(Load16(p + 4)),
                HalfToFloat(Load16(p + 6)));
        });
        break;
    case F::R16G16B16A16_UNORM:
        EachIn(source, count, 8, rgba, [](const uint8_t* p, float* o) {
            Set(o, Load16(p) * k16, Load16(p + 2) * k16, Load16(p + 4) * k16, Load16(p + 6) * k16);
        });
        break;
    case F::R10G10B10A2_UNORM:
        EachIn(source, count, 4, rgba, [](const uint8_t* p, float* o) {
            uint32_t v = Load32(p);
            Set(o, (v & 1023) * k10, ((v >> 10) & 1023) * k10, ((v >> 20) & 1023) * k10, (v >> 30) * (1.0f / 3));
        });
        break;
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB:
        EachIn(source, count, 4, rgba,
               [](const uint8_t* p, float* o) { Set(o, p[0] * k8, p[1] * k8, p[2] * k8, p[3] * k8); });
        break;
    case F::R16G16_UNORM:
        EachIn(source, count, 4, rgba,
               [](const uint8_t* p, float* o) { Set(o, Load16(p) * k16, Load16(p + 2) * k16, 0, 1); });
        break;
    case F::R8G8_UNORM:
        EachIn(source, count, 2, rgba, [](const uint8_t* p, float* o) { Set(o, p[0] * k8, p[1] * k8, 0, 1); });
        break;
    case F::R8G8_SNORM:
        EachIn(source, count, 2, rgba,
               [](const uint8_t* p, float* o) { Set(o, FromSnorm8(p[0]), FromSnorm8(p[1]), 0, 1); });
        break;
    case F::R16_UNORM:
        EachIn(source, count, 2, rgba, [](const uint8_t* p, float* o) { Set(o, Load16(p) * k16, 0, 0, 1); });
        break;
    case F::R8_UNORM:
        EachIn(source, count, 1, rgba, [](const uint8_t* p, float* o) { Set(o, p[0] * k8, 0, 0, 1); });
        break;
    case F::R8_SNORM:
        EachIn(source, count, 1, rgba, [](const uint8_t* p, float* o) { Set(o, FromSnorm8(p[0]), 0, 0, 1); });
        break;
    case F::A8_UNORM:
        EachIn(source, count, 1, rgba, [](const uint8_t* p, float* o) { Set(o, 0, 0, 0, p[0] * k8); });
        break;
    case F::B5G6R5_UNORM:
        EachIn(source, count, 2, rgba, [](const uint8_t* p, float* o) {
            uint32_t v = Load16(p);
            Set(o, (v >> 11) * k5, ((v >> 5) & 63) * k6, (v & 31) * k5, 1);
        });
        break;
    case F::B5G5R5A1_UNORM:
        EachIn(source, count, 2, rgba, [](const uint8_t* p, float* o) {
            uint32_t v = Load16(p);
            Set(o, ((v >> 10) & 31) * k5, ((v >> 5) & 31) * k5, (v & 31) * k5, float(v >> 15));
        });
        break;
    case F::B8G8R8A8_UNORM:
    case F::B8G8R8A8_UNORM_SRGB:
        EachIn(source, count, 4, rgba,
               [](const uint8_t* p, float* o) { Set(o, p[2] * k8, p[1] * k8, p[0] * k8, p[3] * k8); });
        break;
    case F::B8G8R8X8_UNORM:
    case F::B8G8R8X8_UNORM_SRGB:
        EachIn(source, count, 4, rgba, [](const uint8_t* p, float* o) { Set(o, p[2] * k8, p[1] * k8, p[0] * k8, 1); });
        break;
    case F::B4G4R4A4_UNORM:
        EachIn(source, count, 2, rgba, [](const uint8_t* p, float* o) {
            uint32_t v = Load16(p);
            Set(o, ((v >> 8) & 15) * k4, ((v >> 4) & 15) * k4, (v & 15) * k4, (v >> 12) * k4);
        });
        break;
    default: break; // callers check HasRowCodec first
    }
}

void PackRow(DxgiFormat format, const float* rgba, size_t count, uint8_t* destination, float threshold) {
    switch (format) {
    case F::R32G32B32A32_FLOAT: std::memcpy(destination, rgba, count * 16); break;
    case F::R16G16B16A16_FLOAT:
        EachOut(rgba, count, 8, destination, [](const float* c, uint8_t* p) {
            for (int k = 0; k < 4; ++k) Store16(p + 2 * k, FloatToHalf(c[k]));
        });
        break;
    case F::R16G16B16A16_UNORM:
        EachOut(rgba, count, 8, destination, [](const float* c, uint8_t* p) {
            for (int k = 0; k < 4; ++k) Store16(p + 2 * k, ToUnorm(c[k], 65535));
        });
        break;
    case F::R10G10B10A2_UNORM:
        EachOut(rgba, count, 4, destination, [](const float* c, uint8_t* p) {
            Store32(
                p,
                ToUnorm(c[0], 1023) | ToUnorm(c[1], 1023) << 10 | ToUnorm(c[2], 1023) << 20 | ToUnorm(c[3], 3) << 30);
        });
        break;
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB:
        EachOut(rgba, count, 4, destination, [](const float* c, uint8_t* p) {
            for (int k = 0; k < 4; ++k) p[k] = uint8_t(ToUnorm(c[k], 255));
        });
        break;
    case F::R16G16_UNORM:
        EachOut(rgba, count, 4, destination, [](const float* c, uint8_t* p) {
            Store16(p, ToUnorm(c[0], 65535));
            Store16(p + 2, ToUnorm(c[1], 65535));
        });
        break;
    case F::R8G8_UNORM:
        EachOut(rgba, count, 2, destination, [](const float* c, uint8_t* p) {
            p[0] = uint8_t(ToUnorm(c[0], 255));
            p[1] = uint8_t(ToUnorm(c[1], 255));
        });
        break;
    case F::R8G8_SNORM:
        EachOut(rgba, count, 2, destination, [](const float* c, uint8_t* p) {
            p[0] = ToSnorm8(c[0]);
            p[1] = ToSnorm8(c[1]);
        });
        break;
    case F::R16_UNORM:
        EachOut(rgba, count, 2, destination, [](const float* c, uint8_t* p) { Store16(p, ToUnorm(c[0], 65535)); });
        break;
    case F::R8_UNORM:
        EachOut(rgba, count, 1, destination, [](const float* c, uint8_t* p) { p[0] = uint8_t(ToUnorm(c[0], 255)); });
        break;
    case F::R8_SNORM:
        EachOut(rgba, count, 1, destination, [](const float* c, uint8_t* p) { p[0] = ToSnorm8(c[0]); });
        break;
    case F::A8_UNORM:
        EachOut(rgba, count, 1, destination, [](const float* c, uint8_t* p) { p[0] = uint8_t(ToUnorm(c[3], 255)); });
        break;
    case F::B5G6R5_UNORM:
        EachOut(rgba, count, 2, destination, [](const float* c, uint8_t* p) {
            Store16(p, ToUnorm(c[0], 31) << 11 | ToUnorm(c[1], 63) << 5 | ToUnorm(c[2], 31));
        });
        break;
    case F::B5G5R5A1_UNORM:
        EachOut(rgba, count, 2, destination, [threshold](const float* c, uint8_t* p) {
            uint32_t alpha = c[3] >= threshold ? 1 : 0;
            Store16(p, alpha << 15 | ToUnorm(c[0], 31) << 10 | ToUnorm(c[1], 31) << 5 | ToUnorm(c[2], 31));
        });
        break;
    case F::B8G8R8A8_UNORM:
    case F::B8G8R8A8_UNORM_SRGB:
        EachOut(rgba, count, 4, destination, [](const float* c, uint8_t* p) {
            p[0] = uint8_t(ToUnorm(c[2], 255));
            p[1] = uint8_t(ToUnorm(c[1], 255));
            p[2] = uint8_t(ToUnorm(c[0], 255));
            p[3] = uint8_t(ToUnorm(c[3], 255));
        });
        break;
    case F::B8G8R8X8_UNORM:
    case F::B8G8R8X8_UNORM_SRGB:
        EachOut(rgba, count, 4, destination, [](const float* c, uint8_t* p) {
            p[0] = uint8_t(ToUnorm(c[2], 255));
            p[1] = uint8_t(ToUnorm(c[1], 255));
            p[2] = uint8_t(ToUnorm(c[0], 255));
            p[3] = 255;
        });
        break;
    case F::B4G4R4A4_UNORM:
        EachOut(rgba, count, 2, destination, [](const float* c, uint8_t* p) {
            Store16(p, ToUnorm(c[3], 15) << 12 | ToUnorm(c[0], 15) << 8 | ToUnorm(c[1], 15) << 4 | ToUnorm(c[2], 15));
        });
        break;
    default: break;
    }
}

HResult CheckImages(const Image* images, size_t count, const TexMetadata& metadata) {
    if (!images || metadata.dimension != TexDimension::Texture2D || metadata.depth != 1 || metadata.arraySize == 0 ||
        metadata.mipLevels == 0 || metadata.mipLevels > CountMips(metadata.width, metadata.height) ||
        count != metadata.arraySize * metadata.mipLevels)
        return kInvalidArg;
    for (size_t item = 0; item < metadata.arraySize; ++item) {
        for (size_t mip = 0; mip < metadata.mipLevels; ++mip) {
            const Image& image = images[item * metadata.mipLevels + mip];
            size_t w = metadata.width >> mip, h = metadata.height >> mip;
            if (image.format != metadata.format || image.width != (w ? w : 1) || image.height != (h ? h : 1) ||
                Failed(ValidateImage(image)))
                return kInvalidArg;
        }
    }
    return kOk;
}

} // namespace zelko::detail
