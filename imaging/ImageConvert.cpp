// Convert and CopyRectangle, and the row conversion they share with the
// block codec paths.
#include <cstring>
#include <new>
#include <vector>

#include "imaging/ImageOps.h"
#include "imaging/ImagePixel.h"

namespace zelko {

namespace detail {

namespace {

using F = DxgiFormat;

bool HasFullRgb(DxgiFormat format) {
    switch (format) {
    case F::R32G32B32A32_FLOAT:
    case F::R16G16B16A16_FLOAT:
    case F::R16G16B16A16_UNORM:
    case F::R10G10B10A2_UNORM:
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB:
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

bool IsRedOnly(DxgiFormat format) { return format == F::R8_UNORM || format == F::R8_SNORM || format == F::R16_UNORM; }

// Byte positions of R, G, B, A in a 32-bit byte layout; -1 for an X byte.
bool ByteOrder(DxgiFormat format, int order[4]) {
    static const int kRgba[4] = {0, 1, 2, 3}, kBgra[4] = {2, 1, 0, 3}, kBgrx[4] = {2, 1, 0, -1};
    const int* o = nullptr;
    switch (format) {
    case F::R8G8B8A8_UNORM:
    case F::R8G8B8A8_UNORM_SRGB: o = kRgba; break;
    case F::B8G8R8A8_UNORM:
    case F::B8G8R8A8_UNORM_SRGB: o = kBgra; break;
    case F::B8G8R8X8_UNORM:
    case F::B8G8R8X8_UNORM_SRGB: o = kBgrx; break;
    default: return false;
    }
    std::memcpy(order, o, sizeof kRgba);
    return true;
}

int SnormChannels(DxgiFormat format) { return format == F::R8G8_SNORM ? 2 : format == F::R8_SNORM ? 1 : 0; }

} // namespace

RowConverter::RowConverter(DxgiFormat from, DxgiFormat to, TexFilterFlags filter, float threshold)
    : from_(from), to_(to), threshold_(threshold) {
    copy_ = MakeLinear(from) == MakeLinear(to);
    swizzle_ = !copy_ && ByteOrder(from, order_[0]) && ByteOrder(to, order_[1]);
    luminance_ = IsRedOnly(to) && HasFullRgb(from) && !(filter & kTexFilterRgbCopyRed);
    int fromSnorm = SnormChannels(from), toSnorm = SnormChannels(to);
    if (fromSnorm && !toSnorm) {
        remapChannels_ = fromSnorm;
        remapScale_ = 0.5f;
        remapBias_ = 0.5f;
    } else if (toSnorm && !fromSnorm) {
        remapChannels_ = toSnorm;
        remapScale_ = 2.0f;
        remapBias_ = -1.0f;
    }
}

bool RowConverter::Supported() const {
    return copy_ ? !IsCompressed(from_) && BitsPerPixel(from_) % 8 == 0 : HasRowCodec(from_) && HasRowCodec(to_);
}

void RowConverter::Run(const uint8_t* source, uint8_t* destination, size_t count) {
    if (copy_) {
        std::memcpy(destination, source, count * (BitsPerPixel(from_) / 8));
        return;
    }
    if (swizzle_) {
        const int* from = order_[0];
        const int* to = order_[1];
        for (size_t i = 0; i < count; ++i, source += 4, destination += 4) {
            uint8_t rgba[4];
            for (int k = 0; k < 4; ++k) rgba[k] = from[k] >= 0 ? source[from[k]] : 255;
            for (int k = 0; k < 3; ++k) destination[to[k]] = rgba[k];
            destination[3] = to[3] >= 0 ? rgba[3] : 255; // alpha or X is byte 3 in every layout
        }
        return;
    }
    scratch_.resize(count * 4);
    float* rgba = scratch_.data();
    UnpackRow(from_, source, count, rgba);
    if (luminance_)
        for (size_t i = 0; i < count; ++i)
            rgba[4 * i] = 0.2125f * rgba[4 * i] + 0.7154f * rgba[4 * i + 1] + 0.0721f * rgba[4 * i + 2];
    if (remapChannels_)
        for (size_t i = 0; i < count; ++i)
            for (int k = 0; k < remapChannels_; ++k) rgba[4 * i + k] = rgba[4 * i + k] * remapScale_ + remapBias_;
    PackRow(to_, rgba, count, destination, threshold_);
}

HResult InitializeLike(const TexMetadata& metadata, DxgiFormat format, ScratchImage& result) {
    TexMetadata like = metadata;
    like.format = format;
    return result.Initialize(like);
}

} // namespace detail

namespace {

HResult ConvertImage(const Image& source, const Image& destination, TexFilterFlags filter, float threshold) {
    detail::RowConverter rows(source.format, destination.format, filter, threshold);
    try {
        for (size_t y = 0; y < source.height; ++y)
            rows.Run(source.pixels + y * source.rowPitch, destination.pixels + y * destination.rowPitch, source.width);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

HResult CheckConvert(DxgiFormat from, DxgiFormat to) {
    if (IsCompressed(from) || IsCompressed(to) || BitsPerPixel(to) == 0) return kInvalidArg;
    return detail::RowConverter(from, to, 0, 0).Supported() ? kOk : kNotSupported;
}

} // namespace

HResult Convert(const Image& source, DxgiFormat format, TexFilterFlags filter, float threshold, ScratchImage& result) {
    result.Release();
    if (Failed(ValidateImage(source))) return kInvalidArg;
    if (HResult hr = CheckConvert(source.format, format); Failed(hr)) return hr;
    if (HResult hr = result.Initialize2D(format, source.width, source.height); Failed(hr)) return hr;
    HResult hr = ConvertImage(source, *result.GetImage(0, 0, 0), filter, threshold);
    if (Failed(hr)) result.Release();
    return hr;
}

HResult Convert(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat format,
                TexFilterFlags filter, float threshold, ScratchImage& result) {
    result.Release();
    if (Failed(detail::CheckImages(images, count, metadata))) return kInvalidArg;
    if (HResult hr = CheckConvert(metadata.format, format); Failed(hr)) return hr;
    if (HResult hr = detail::InitializeLike(metadata, format, result); Failed(hr)) return hr;
    for (size_t i = 0; i < count; ++i) {
        HResult hr = ConvertImage(images[i], result.GetImages()[i], filter, threshold);
        if (Failed(hr)) {
            result.Release();
            return hr;
        }
    }
    return kOk;
}

HResult CopyRectangle(const Image& source, const Rect& rect, const Image& destination, TexFilterFlags filter, size_t x,
                      size_t y) {
    if (Failed(ValidateImage(source)) || Failed(ValidateImage(destination))) return kInvalidArg;
    if (IsCompressed(source.format) || IsCompressed(destination.format)) return kNotSupported;
    // Each bound is compared without adding two sizes, so nothing can wrap.
    if (rect.w == 0 || rect.h == 0 || rect.x > source.width || rect.w > source.width - rect.x ||
        rect.y > source.height || rect.h > source.height - rect.y || x > destination.width ||
        rect.w > destination.width - x || y > destination.height || rect.h > destination.height - y)
        return kInvalidArg;
    detail::RowConverter rows(source.format, destination.format, filter, kTexThresholdDefault);
    if (!rows.Supported()) return kNotSupported;
    size_t sourceBytes = BitsPerPixel(source.format) / 8;
    size_t destinationBytes = BitsPerPixel(destination.format) / 8;
    try {
        for (size_t row = 0; row < rect.h; ++row)
            rows.Run(source.pixels + (rect.y + row) * source.rowPitch + rect.x * sourceBytes,
                     destination.pixels + (y + row) * destination.rowPitch + x * destinationBytes, rect.w);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

} // namespace zelko
