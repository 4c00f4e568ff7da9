// Resize and GenerateMipMaps. Shrinking 8-bit images by whole factors is done
// here in integers; every other ratio goes through stb_image_resize.
#include <stb_image_resize.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/ImageOps.h"
#include "imaging/ImagePixel.h"

namespace zelko {

namespace {

using F = DxgiFormat;

// Which byte of an 8-bit-channel pixel is alpha to weight colour by, or -1.
int WeightingAlpha(DxgiFormat format, TexFilterFlags filter) {
    if (filter & kTexFilterSeparateAlpha) return -1;
    switch (format) {
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB:
    case F::B8G8R8A8_UNORM:
    case F::B8G8R8A8_UNORM_SRGB: return 3;
    default: return -1;
    }
}

bool IsBoxLike(TexFilterFlags filter) {
    TexFilterFlags mode = filter & kTexFilterModeMask;
    return mode == kTexFilterDefault || mode == kTexFilterBox || mode == kTexFilterFant;
}

bool IsHalf(size_t from, size_t to) { return (from == 1 && to == 1) || (from % 2 == 0 && to == from / 2); }

// 2x2 averages (2x1 or 1x2 where the source is one pixel wide or high),
// rounded to nearest. With an alpha byte, colour is averaged weighted by
// alpha; pixels that are all equally transparent keep their plain average.
void HalveBytes(const Image& source, const Image& destination, int alpha) {
    size_t channels = BitsPerPixel(source.format) / 8;
    for (size_t y = 0; y < destination.height; ++y) {
        const uint8_t* row0 = source.pixels + 2 * y * source.rowPitch;
        const uint8_t* row1 = source.pixels + std::min(2 * y + 1, source.height - 1) * source.rowPitch;
        uint8_t* out = destination.pixels + y * destination.rowPitch;
        for (size_t x = 0; x < destination.width; ++x, out += channels) {
            size_t x0 = 2 * x * channels, x1 = std::min(2 * x + 1, source.width - 1) * channels;
            const uint8_t* p[4] = {row0 + x0, row0 + x1, row1 + x0, row1 + x1};
            uint32_t alphaSum = 0;
            bool weighted = false;
            if (alpha >= 0) {
                alphaSum = p[0][alpha] + p[1][alpha] + p[2][alpha] + p[3][alpha];
                weighted = alphaSum != 0 &&
                    !(p[0][alpha] == p[1][alpha] && p[0][alpha] == p[2][alpha] && p[0][alpha] == p[3][alpha]);
            }
            for (size_t c = 0; c < channels; ++c) {
                if (weighted && int(c) != alpha)
                    out[c] = uint8_t((p[0][c] * p[0][alpha] + p[1][c] * p[1][alpha] + p[2][c] * p[2][alpha] +
                                      p[3][c] * p[3][alpha] + alphaSum / 2) /
                                     alphaSum);
                else
                    out[c] = uint8_t((p[0][c] + p[1][c] + p[2][c] + p[3][c] + 2) >> 2);
            }
        }
    }
}

bool IsWholeShrink(size_t from, size_t to) { return to != 0 && from % to == 0; }

// Averages of whole blocks of pixels (a side shrunk by a whole factor),
// rounded to nearest, by the rule of HalveBytes: colour weighted by alpha
// unless the block is equally transparent throughout.
void ShrinkBytes(const Image& source, const Image& destination, int alpha) {
    const size_t channels = BitsPerPixel(source.format) / 8;
    const size_t fx = source.width / destination.width, fy = source.height / destination.height;
    const uint64_t count = uint64_t(fx) * fy;
    std::vector<uint64_t> plain(channels), weighted(channels);
    for (size_t y = 0; y < destination.height; ++y) {
        uint8_t* out = destination.pixels + y * destination.rowPitch;
        for (size_t x = 0; x < destination.width; ++x, out += channels) {
            std::fill(plain.begin(), plain.end(), 0);
            std::fill(weighted.begin(), weighted.end(), 0);
            uint64_t alphaSum = 0;
            bool sameAlpha = true;
            const int firstAlpha = alpha >= 0
                ? source.pixels[y * fy * source.rowPitch + x * fx * channels + size_t(alpha)]
                : 0;
            for (size_t sy = y * fy; sy < (y + 1) * fy; ++sy) {
                const uint8_t* p = source.pixels + sy * source.rowPitch + x * fx * channels;
                for (size_t sx = 0; sx < fx; ++sx, p += channels) {
                    const uint32_t a = alpha >= 0 ? p[alpha] : 0;
                    alphaSum += a;
                    sameAlpha = sameAlpha && int(a) == firstAlpha;
                    for (size_t c = 0; c < channels; ++c) {
                        plain[c] += p[c];
                        weighted[c] += uint64_t(p[c]) * a;
                    }
                }
            }
            const bool byAlpha = alpha >= 0 && alphaSum != 0 && !sameAlpha;
            for (size_t c = 0; c < channels; ++c) {
                out[c] = byAlpha && int(c) != alpha ? uint8_t((weighted[c] + alphaSum / 2) / alphaSum)
                                                    : uint8_t((plain[c] + count / 2) / count);
            }
        }
    }
}

// Nearest pixel centre.
void PointSample(const Image& source, const Image& destination) {
    size_t bytes = BitsPerPixel(source.format) / 8;
    for (size_t y = 0; y < destination.height; ++y) {
        size_t sy = (2 * y + 1) * source.height / (2 * destination.height);
        const uint8_t* in = source.pixels + sy * source.rowPitch;
        uint8_t* out = destination.pixels + y * destination.rowPitch;
        for (size_t x = 0; x < destination.width; ++x) {
            size_t sx = (2 * x + 1) * source.width / (2 * destination.width);
            std::memcpy(out + x * bytes, in + sx * bytes, bytes);
        }
    }
}

stbir_filter AxisFilter(TexFilterFlags filter, size_t from, size_t to) {
    switch (filter & kTexFilterModeMask) {
    case kTexFilterLinear:
    case kTexFilterTriangle: return STBIR_FILTER_TRIANGLE;
    case kTexFilterCubic: return STBIR_FILTER_CATMULLROM;
    case kTexFilterBox:
    case kTexFilterFant: return STBIR_FILTER_BOX;
    default:
        // A shrunk texture should look like its average, not sharpened; a
        // whole factor keeps that exact. Enlarging interpolates.
        if (to > from) return STBIR_FILTER_CATMULLROM;
        return from % to == 0 ? STBIR_FILTER_BOX : STBIR_FILTER_MITCHELL;
    }
}

stbir_edge AxisEdge(TexFilterFlags filter, TexFilterFlags wrap, TexFilterFlags mirror) {
    return (filter & wrap) ? STBIR_EDGE_WRAP : (filter & mirror) ? STBIR_EDGE_REFLECT : STBIR_EDGE_CLAMP;
}

// stbir_resize, in strips along an axis that keeps its size under a box
// filter. Such an axis is copied pixel for pixel, so strips give the same
// bytes; but stb sets up a scale of exactly 1 as a shrink, in time quadratic
// in the side (seconds for a 16,384-pixel side), and strips bound that.
int ResizeWithStb(const uint8_t* in, size_t inWidth, size_t inHeight, size_t inPitch, uint8_t* out, size_t outWidth,
                  size_t outHeight, size_t outPitch, stbir_datatype type, int channels, int alpha,
                  TexFilterFlags filter, stbir_filter horizontal, stbir_filter vertical) {
    constexpr size_t kStrip = 256;
    const size_t pixelBytes = size_t(channels) * (type == STBIR_TYPE_FLOAT ? 4 : 1);
    const bool stripX = inWidth == outWidth && horizontal == STBIR_FILTER_BOX;
    const bool stripY = inHeight == outHeight && vertical == STBIR_FILTER_BOX;
    for (size_t y = 0; y < outHeight; y += stripY ? kStrip : outHeight) {
        for (size_t x = 0; x < outWidth; x += stripX ? kStrip : outWidth) {
            const size_t w = stripX ? std::min(kStrip, outWidth - x) : inWidth;
            const size_t h = stripY ? std::min(kStrip, outHeight - y) : inHeight;
            const int ok = stbir_resize(in + y * inPitch + x * pixelBytes, int(w), int(h), int(inPitch),
                                        out + y * outPitch + x * pixelBytes, int(stripX ? w : outWidth),
                                        int(stripY ? h : outHeight), int(outPitch), type, channels, alpha, 0,
                                        AxisEdge(filter, kTexFilterWrapU, kTexFilterMirrorU),
                                        AxisEdge(filter, kTexFilterWrapV, kTexFilterMirrorV), horizontal, vertical,
                                        STBIR_COLORSPACE_LINEAR, nullptr);
            if (!ok) return 0;
        }
    }
    return 1;
}

// Resamples every channel alike through RGBA floats (formats wider or
// narrower than bytes).
HResult ResampleFloats(const Image& source, const Image& destination, TexFilterFlags filter, stbir_filter horizontal,
                       stbir_filter vertical) {
    std::vector<float> in, out;
    try {
        in.resize(source.width * source.height * 4);
        out.resize(destination.width * destination.height * 4);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    for (size_t y = 0; y < source.height; ++y)
        detail::UnpackRow(source.format, source.pixels + y * source.rowPitch, source.width,
                          in.data() + y * source.width * 4);
    int ok = ResizeWithStb(reinterpret_cast<const uint8_t*>(in.data()), source.width, source.height, source.width * 16,
                           reinterpret_cast<uint8_t*>(out.data()), destination.width, destination.height,
                           destination.width * 16, STBIR_TYPE_FLOAT, 4, STBIR_ALPHA_CHANNEL_NONE, filter, horizontal,
                           vertical);
    if (!ok) return kOutOfMemory;
    for (size_t y = 0; y < destination.height; ++y)
        detail::PackRow(destination.format, out.data() + y * destination.width * 4, destination.width,
                        destination.pixels + y * destination.rowPitch, kTexThresholdDefault);
    return kOk;
}

// Fills destination (same format, any size) from source.
HResult ResizeInto(const Image& source, const Image& destination, TexFilterFlags filter) {
    if ((filter & kTexFilterModeMask) > kTexFilterTriangle) return kInvalidArg;
    if ((filter & kTexFilterModeMask) == kTexFilterPoint) {
        PointSample(source, destination);
        return kOk;
    }
    bool bytes = detail::IsByteChannels(source.format);
    int alpha = bytes ? WeightingAlpha(source.format, filter) : -1;
    if (bytes && IsBoxLike(filter) && IsHalf(source.width, destination.width) &&
        IsHalf(source.height, destination.height)) {
        HalveBytes(source, destination, alpha);
        return kOk;
    }
    if (bytes && IsBoxLike(filter) && IsWholeShrink(source.width, destination.width) &&
        IsWholeShrink(source.height, destination.height)) {
        ShrinkBytes(source, destination, alpha);
        return kOk;
    }
    stbir_filter horizontal = AxisFilter(filter, source.width, destination.width);
    stbir_filter vertical = AxisFilter(filter, source.height, destination.height);
    if (!bytes) return ResampleFloats(source, destination, filter, horizontal, vertical);
    int channels = int(BitsPerPixel(source.format) / 8);
    int ok = ResizeWithStb(source.pixels, source.width, source.height, source.rowPitch, destination.pixels,
                           destination.width, destination.height, destination.rowPitch, STBIR_TYPE_UINT8, channels,
                           alpha >= 0 ? alpha : STBIR_ALPHA_CHANNEL_NONE, filter, horizontal, vertical);
    return ok ? kOk : kOutOfMemory;
}

HResult CheckResizable(DxgiFormat format) {
    if (IsCompressed(format)) return kNotSupported;
    return detail::HasRowCodec(format) ? kOk : kNotSupported;
}

void CopyLevel(const Image& source, const Image& destination) {
    size_t bytes = std::min(source.rowPitch, destination.rowPitch);
    for (size_t y = 0; y < source.height; ++y)
        std::memcpy(destination.pixels + y * destination.rowPitch, source.pixels + y * source.rowPitch, bytes);
}

// Level 0 copied from `base`, the others each from the one above.
HResult BuildChain(const Image& base, const Image* levels, size_t count, TexFilterFlags filter) {
    CopyLevel(base, levels[0]);
    for (size_t mip = 1; mip < count; ++mip)
        if (HResult hr = ResizeInto(levels[mip - 1], levels[mip], filter); Failed(hr)) return hr;
    return kOk;
}

} // namespace

HResult Resize(const Image& source, size_t width, size_t height, TexFilterFlags filter, ScratchImage& result) {
    result.Release();
    if (Failed(ValidateImage(source))) return kInvalidArg;
    const TexMetadata metadata = MetadataOf(source);
    return Resize(&source, 1, metadata, width, height, filter, result);
}

HResult Resize(const Image* images, size_t count, const TexMetadata& metadata, size_t width, size_t height,
               TexFilterFlags filter, ScratchImage& result) {
    result.Release();
    if (Failed(detail::CheckImages(images, count, metadata)) || width == 0 || height == 0 ||
        width > kMaxTextureDimension || height > kMaxTextureDimension)
        return kInvalidArg;
    if (HResult hr = CheckResizable(metadata.format); Failed(hr)) return hr;
    TexMetadata resized = metadata;
    resized.width = width;
    resized.height = height;
    resized.mipLevels = 1;
    if (HResult hr = result.Initialize(resized); Failed(hr)) return hr;
    for (size_t item = 0; item < metadata.arraySize; ++item) {
        const Image& source = images[item * metadata.mipLevels];
        const Image& destination = *result.GetImage(0, item, 0);
        HResult hr = kOk;
        if (width == source.width && height == source.height)
            CopyLevel(source, destination);
        else
            hr = ResizeInto(source, destination, filter);
        if (Failed(hr)) {
            result.Release();
            return hr;
        }
    }
    return kOk;
}

HResult GenerateMipMaps(const Image& base, TexFilterFlags filter, size_t levels, ScratchImage& result) {
    result.Release();
    if (Failed(ValidateImage(base))) return kInvalidArg;
    TexMetadata metadata;
    metadata.width = base.width;
    metadata.height = base.height;
    metadata.format = base.format;
    return GenerateMipMaps(&base, 1, metadata, filter, levels, result);
}

HResult GenerateMipMaps(const Image* images, size_t count, const TexMetadata& metadata, TexFilterFlags filter,
                        size_t levels, ScratchImage& result) {
    result.Release();
    if (Failed(detail::CheckImages(images, count, metadata))) return kInvalidArg;
    size_t maxLevels = CountMips(metadata.width, metadata.height);
    if (levels == 0) levels = maxLevels;
    if (levels > maxLevels || (filter & kTexFilterModeMask) > kTexFilterTriangle) return kInvalidArg;
    if (HResult hr = CheckResizable(metadata.format); Failed(hr)) return hr;
    TexMetadata chain = metadata;
    chain.mipLevels = levels;
    if (HResult hr = result.Initialize(chain); Failed(hr)) return hr;
    for (size_t item = 0; item < metadata.arraySize; ++item) {
        HResult hr = BuildChain(images[item * metadata.mipLevels], result.GetImage(0, item, 0), levels, filter);
        if (Failed(hr)) {
            result.Release();
            return hr;
        }
    }
    return kOk;
}

} // namespace zelko
