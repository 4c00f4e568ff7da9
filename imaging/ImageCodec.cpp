// Decompress and Compress: whole images through the block codecs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "imaging/ImageBlock.h"
#include "imaging/ImageOps.h"
#include "imaging/ImagePixel.h"

namespace zelko {

namespace {

using F = DxgiFormat;

enum class Codec { None, BC1, BC2, BC3, BC4, BC4S, BC5, BC5S };

Codec CodecOf(DxgiFormat format) {
    switch (format) {
    // Typeless blocks are read as their UNORM variant.
    case F::BC1_TYPELESS:
    case F::BC1_UNORM:
    case F::BC1_UNORM_SRGB: return Codec::BC1;
    case F::BC2_TYPELESS:
    case F::BC2_UNORM:
    case F::BC2_UNORM_SRGB: return Codec::BC2;
    case F::BC3_TYPELESS:
    case F::BC3_UNORM:
    case F::BC3_UNORM_SRGB: return Codec::BC3;
    case F::BC4_TYPELESS:
    case F::BC4_UNORM: return Codec::BC4;
    case F::BC4_SNORM: return Codec::BC4S;
    case F::BC5_TYPELESS:
    case F::BC5_UNORM: return Codec::BC5;
    case F::BC5_SNORM: return Codec::BC5S;
    default: return Codec::None;
    }
}

// The format a block format decodes to without conversion.
DxgiFormat NaturalFormat(DxgiFormat format) {
    switch (CodecOf(format)) {
    case Codec::BC1:
    case Codec::BC2:
    case Codec::BC3: return IsSRGB(format) ? F::R8G8B8A8_UNORM_SRGB : F::R8G8B8A8_UNORM;
    case Codec::BC4: return F::R8_UNORM;
    case Codec::BC4S: return F::R8_SNORM;
    case Codec::BC5: return F::R8G8_UNORM;
    case Codec::BC5S: return F::R8G8_SNORM;
    default: return F::UNKNOWN;
    }
}

// Whether `target` is written straight from the decoded blocks.
bool DecodesDirectly(DxgiFormat source, DxgiFormat target) {
    Codec codec = CodecOf(source);
    if (codec == Codec::BC1 || codec == Codec::BC2 || codec == Codec::BC3)
        return detail::IsByteChannels(target) && BitsPerPixel(target) == 32;
    return MakeLinear(target) == NaturalFormat(source);
}

void DecodeImage(const Image& source, const Image& destination) {
    Codec codec = CodecOf(source.format);
    F target = destination.format;
    bool bgra = target == F::B8G8R8A8_UNORM || target == F::B8G8R8A8_UNORM_SRGB || target == F::B8G8R8X8_UNORM ||
        target == F::B8G8R8X8_UNORM_SRGB;
    bool opaque = target == F::B8G8R8X8_UNORM || target == F::B8G8R8X8_UNORM_SRGB;
    size_t pixelBytes = BitsPerPixel(target) / 8;
    size_t blockBytes = (codec == Codec::BC1 || codec == Codec::BC4 || codec == Codec::BC4S) ? 8 : 16;
    size_t blocksWide = (source.width + 3) / 4, blocksHigh = (source.height + 3) / 4;
    alignas(16) uint8_t pixels[64];
    for (size_t by = 0; by < blocksHigh; ++by) {
        const uint8_t* block = source.pixels + by * source.rowPitch;
        for (size_t bx = 0; bx < blocksWide; ++bx, block += blockBytes) {
            switch (codec) {
            case Codec::BC1: block::DecodeBC1(block, pixels, bgra); break;
            case Codec::BC2: block::DecodeBC2(block, pixels, bgra); break;
            case Codec::BC3: block::DecodeBC3(block, pixels, bgra); break;
            case Codec::BC4: block::DecodeBC4(block, pixels); break;
            case Codec::BC4S: block::DecodeBC4S(block, reinterpret_cast<int8_t*>(pixels)); break;
            case Codec::BC5: block::DecodeBC5(block, pixels); break;
            case Codec::BC5S: block::DecodeBC5S(block, reinterpret_cast<int8_t*>(pixels)); break;
            case Codec::None: return;
            }
            if (opaque)
                for (int i = 0; i < 16; ++i) pixels[4 * i + 3] = 255;
            size_t x = bx * 4, w = std::min<size_t>(4, source.width - x);
            for (size_t row = 0; row < 4 && by * 4 + row < source.height; ++row)
                std::memcpy(destination.pixels + (by * 4 + row) * destination.rowPitch + x * pixelBytes,
                            pixels + row * 4 * pixelBytes, w * pixelBytes);
        }
    }
}

HResult CheckDecompress(DxgiFormat from, DxgiFormat& to) {
    if (!IsCompressed(from)) return kInvalidArg;
    if (CodecOf(from) == Codec::None) return kNotSupported;
    if (to == F::UNKNOWN) to = NaturalFormat(from);
    if (IsCompressed(to) || BitsPerPixel(to) == 0) return kInvalidArg;
    if (!DecodesDirectly(from, to) && !detail::RowConverter(NaturalFormat(from), to, 0, 0).Supported())
        return kNotSupported;
    return kOk;
}

// Decodes every image of a texture, through the natural format when the
// target is not written directly.
HResult DecompressAll(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat to,
                      ScratchImage& result) {
    if (DecodesDirectly(metadata.format, to)) {
        if (HResult hr = detail::InitializeLike(metadata, to, result); Failed(hr)) return hr;
        for (size_t i = 0; i < count; ++i) DecodeImage(images[i], result.GetImages()[i]);
        return kOk;
    }
    ScratchImage natural;
    HResult hr = DecompressAll(images, count, metadata, NaturalFormat(metadata.format), natural);
    if (Succeeded(hr))
        hr = Convert(natural.GetImages(), natural.GetImageCount(), natural.GetMetadata(), to, kTexFilterDefault,
                     kTexThresholdDefault, result);
    return hr;
}

// Rows of RGBA8 (or R8 / R8G8 for BC4 / BC5, taking red and green of colour
// sources) that blocks are cut from, four at a time, with the right and
// bottom edges repeated to whole blocks.
class BlockRows {
public:
    BlockRows(const Image& source, int channels)
        : source_(source), channels_(channels), rows_(source.format, Target(channels), kTexFilterRgbCopyRed, 0) {}

    bool Supported() { return rows_.Supported(); }

    // Fills the strip for block row `by`; may throw std::bad_alloc.
    void Load(size_t by) {
        size_t stride = Stride();
        strip_.resize(stride * 4);
        for (size_t row = 0; row < 4; ++row) {
            size_t y = std::min(by * 4 + row, source_.height - 1);
            uint8_t* out = strip_.data() + row * stride;
            rows_.Run(source_.pixels + y * source_.rowPitch, out, source_.width);
            for (size_t x = source_.width; x < stride / channels_; ++x)
                std::memcpy(out + x * channels_, out + (source_.width - 1) * channels_, channels_);
        }
    }

    // The 4x4 pixels of block column bx, rows packed.
    void Block(size_t bx, uint8_t* pixels) const {
        size_t stride = Stride(), bytes = 4 * channels_;
        for (size_t row = 0; row < 4; ++row)
            std::memcpy(pixels + row * bytes, strip_.data() + row * stride + bx * bytes, bytes);
    }

private:
    static DxgiFormat Target(int channels) {
        return channels == 1 ? F::R8_UNORM : channels == 2 ? F::R8G8_UNORM : F::R8G8B8A8_UNORM;
    }
    size_t Stride() const { return (source_.width + 3) / 4 * 4 * channels_; }

    const Image& source_;
    size_t channels_;
    detail::RowConverter rows_;
    std::vector<uint8_t> strip_;
};

// Encodes block rows [first, last) of one image.
HResult EncodeRows(const Image& source, const Image& destination, TexCompressFlags compress, int alphaRef, size_t first,
                   size_t last) {
    Codec codec = CodecOf(destination.format);
    int channels = codec == Codec::BC4 ? 1 : codec == Codec::BC5 ? 2 : 4;
    auto quality = (compress & kTexCompressFast) ? block::EncodeQuality::kFast : block::EncodeQuality::kRefined;
    size_t blockBytes = (codec == Codec::BC1 || codec == Codec::BC4) ? 8 : 16;
    size_t blocksWide = (source.width + 3) / 4;
    alignas(16) uint8_t pixels[64];
    try {
        BlockRows rows(source, channels);
        for (size_t by = first; by < last; ++by) {
            rows.Load(by);
            uint8_t* block = destination.pixels + by * destination.rowPitch;
            for (size_t bx = 0; bx < blocksWide; ++bx, block += blockBytes) {
                rows.Block(bx, pixels);
                switch (codec) {
                case Codec::BC1: block::EncodeBC1(pixels, block, alphaRef, quality); break;
                case Codec::BC2: block::EncodeBC2(pixels, block, quality); break;
                case Codec::BC3: block::EncodeBC3(pixels, block, quality); break;
                case Codec::BC4: block::EncodeBC4(pixels, block); break;
                case Codec::BC5: block::EncodeBC5(pixels, block); break;
                default: return kNotSupported;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

// A large image is encoded in bands of block rows on every core: blocks are
// independent, so the bytes are those of one pass.
HResult EncodeImage(const Image& source, const Image& destination, TexCompressFlags compress, int alphaRef) {
    constexpr size_t kBlocksPerBand = 16384; // 512 x 512 pixels
    const size_t blocksHigh = (source.height + 3) / 4;
    const size_t blocks = (source.width + 3) / 4 * blocksHigh;
    const size_t bands = std::min<size_t>(
        {std::max(1u, std::thread::hardware_concurrency()), blocks / kBlocksPerBand, blocksHigh});
    if (bands <= 1) return EncodeRows(source, destination, compress, alphaRef, 0, blocksHigh);
    std::vector<HResult> results(bands, kOk);
    std::vector<std::thread> workers;
    workers.reserve(bands);
    try {
        for (size_t band = 1; band < bands; ++band) {
            workers.emplace_back([&, band] {
                results[band] = EncodeRows(source, destination, compress, alphaRef, band * blocksHigh / bands,
                                           (band + 1) * blocksHigh / bands);
            });
        }
    } catch (const std::system_error&) {
        // No thread to be had: this one encodes what the missing ones would have.
        for (size_t band = workers.size() + 1; band < bands; ++band) {
            results[band] = EncodeRows(source, destination, compress, alphaRef, band * blocksHigh / bands,
                                       (band + 1) * blocksHigh / bands);
        }
    }
    results[0] = EncodeRows(source, destination, compress, alphaRef, 0, blocksHigh / bands);
    for (std::thread& worker : workers) worker.join();
    for (HResult hr : results)
        if (Failed(hr)) return hr;
    return kOk;
}

HResult CheckCompress(DxgiFormat from, DxgiFormat to) {
    if (IsCompressed(from) || BitsPerPixel(from) == 0) return kInvalidArg;
    Codec codec = CodecOf(to);
    if (codec == Codec::None || codec == Codec::BC4S || codec == Codec::BC5S) return kNotSupported;
    int channels = codec == Codec::BC4 ? 1 : codec == Codec::BC5 ? 2 : 4;
    DxgiFormat strip = channels == 1 ? F::R8_UNORM : channels == 2 ? F::R8G8_UNORM : F::R8G8B8A8_UNORM;
    return detail::RowConverter(from, strip, 0, 0).Supported() ? kOk : kNotSupported;
}

// Pixels with alpha below threshold * 255 are transparent: the smallest
// opaque 8-bit alpha is the threshold rounded up.
int AlphaReference(float threshold) {
    if (!(threshold > 0.0f)) return 0;
    return int(std::ceil(std::min(threshold, 1.01f) * 255.0f));
}

} // namespace

HResult Decompress(const Image& source, DxgiFormat format, ScratchImage& result) {
    result.Release();
    if (Failed(ValidateImage(source))) return kInvalidArg;
    const TexMetadata metadata = MetadataOf(source);
    return Decompress(&source, 1, metadata, format, result);
}

HResult Decompress(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat format,
                   ScratchImage& result) {
    result.Release();
    if (Failed(detail::CheckImages(images, count, metadata))) return kInvalidArg;
    if (HResult hr = CheckDecompress(metadata.format, format); Failed(hr)) return hr;
    HResult hr = DecompressAll(images, count, metadata, format, result);
    if (Failed(hr)) result.Release();
    return hr;
}

HResult Compress(const Image& source, DxgiFormat format, TexCompressFlags compress, float threshold,
                 ScratchImage& result) {
    result.Release();
    if (Failed(ValidateImage(source))) return kInvalidArg;
    const TexMetadata metadata = MetadataOf(source);
    return Compress(&source, 1, metadata, format, compress, threshold, result);
}

HResult Compress(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat format,
                 TexCompressFlags compress, float threshold, ScratchImage& result) {
    result.Release();
    if (Failed(detail::CheckImages(images, count, metadata))) return kInvalidArg;
    if (HResult hr = CheckCompress(metadata.format, format); Failed(hr)) return hr;
    if (HResult hr = detail::InitializeLike(metadata, format, result); Failed(hr)) return hr;
    int alphaRef = HasAlpha(metadata.format) ? AlphaReference(threshold) : 0;
    for (size_t i = 0; i < count; ++i) {
        HResult hr = EncodeImage(images[i], result.GetImages()[i], compress, alphaRef);
        if (Failed(hr)) {
            result.Release();
            return hr;
        }
    }
    return kOk;
}

} // namespace zelko
