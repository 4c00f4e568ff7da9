#pragma once
// Pixel operations on images: block decompression and compression, format
// conversion, resizing, mip chain generation and rectangle copies.
//
// Every operation reads const source images and writes a fresh ScratchImage
// (CopyRectangle writes into an existing image); on failure the output is
// empty and the result code says why: kInvalidArg for unusable arguments,
// kNotSupported for formats or options this layer does not handle,
// kOutOfMemory when an allocation fails. The forms taking (images, count,
// metadata) process every image of a texture; `count` and each image's size
// and format must agree with the metadata.
//
// Channel conventions when formats differ (DXGI's): a missing colour channel
// reads as 0 and a missing alpha as 1, so R8 expands to (R, 0, 0, 1), R8G8 to
// (R, G, 0, 1), A8 to (0, 0, 0, A); the X byte of B8G8R8X8 reads as 255 and
// is written as 255. BC4 decompresses to R8 and BC5 to R8G8. sRGB formats are
// labels only: no operation applies a transfer curve, so values stay as
// stored (what the games sample).
#include <cstddef>
#include <cstdint>

#include "imaging/Image.h"

namespace zelko {

using TexFilterFlags = uint32_t;

constexpr TexFilterFlags kTexFilterDefault = 0;
// Edge handling when filtering (default: clamp to the edge).
constexpr TexFilterFlags kTexFilterWrapU = 0x1;
constexpr TexFilterFlags kTexFilterWrapV = 0x2;
constexpr TexFilterFlags kTexFilterWrap = 0x3;
constexpr TexFilterFlags kTexFilterMirrorU = 0x10;
constexpr TexFilterFlags kTexFilterMirrorV = 0x20;
constexpr TexFilterFlags kTexFilterMirror = 0x30;
// Filter colour and alpha alike instead of weighting colour by alpha.
constexpr TexFilterFlags kTexFilterSeparateAlpha = 0x100;
// RGB to a red-only format: copy red instead of taking the luminance.
constexpr TexFilterFlags kTexFilterRgbCopyRed = 0x1000;
// Filter kernels (one value in kTexFilterModeMask).
constexpr TexFilterFlags kTexFilterPoint = 0x100000;
constexpr TexFilterFlags kTexFilterLinear = 0x200000;
constexpr TexFilterFlags kTexFilterCubic = 0x300000;
constexpr TexFilterFlags kTexFilterFant = 0x400000;
constexpr TexFilterFlags kTexFilterBox = 0x500000;
constexpr TexFilterFlags kTexFilterTriangle = 0x600000;
constexpr TexFilterFlags kTexFilterModeMask = 0xF00000;
// Accepted for callers written against sRGB-aware libraries; values are never
// re-encoded here (see above), so these change nothing.
constexpr TexFilterFlags kTexFilterSrgbIn = 0x1000000;
constexpr TexFilterFlags kTexFilterSrgbOut = 0x2000000;
constexpr TexFilterFlags kTexFilterSrgb = 0x3000000;

using TexCompressFlags = uint32_t;
constexpr TexCompressFlags kTexCompressDefault = 0;
// stb_dxt's own colour fit: about 1.2x faster, about 0.4 dB worse on photographs.
constexpr TexCompressFlags kTexCompressFast = 0x1;

// The alpha threshold callers pass unless they have a reason not to.
constexpr float kTexThresholdDefault = 0.5f;

// A rectangle of pixels: left, top, width, height.
struct Rect {
    size_t x = 0;
    size_t y = 0;
    size_t w = 0;
    size_t h = 0;
};

// BC1..BC5 to an uncompressed format. DxgiFormat::UNKNOWN picks the natural
// one: R8G8B8A8_UNORM (_SRGB for sRGB sources) for BC1..BC3, R8_UNORM /
// R8_SNORM for BC4, R8G8_UNORM / R8G8_SNORM for BC5 (typeless blocks as
// UNORM). Any other uncompressed target goes through Convert's rules.
// BC6H/BC7 give kNotSupported.
HResult Decompress(const Image& source, DxgiFormat format, ScratchImage& result);
HResult Decompress(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat format,
                   ScratchImage& result);

// Between uncompressed formats. Beyond the channel conventions above: RGB to a
// red-only format takes the luminance 0.2125 R + 0.7154 G + 0.0721 B (unless
// kTexFilterRgbCopyRed); SNORM and UNORM channels map [-1, 1] onto [0, 1] both
// ways; values are rounded to nearest. threshold applies where the target
// keeps 1 bit of alpha (B5G5R5A1): alpha >= threshold is opaque, below it
// transparent. Same-layout targets (sRGB twins, the same format) are copies.
HResult Convert(const Image& source, DxgiFormat format, TexFilterFlags filter, float threshold, ScratchImage& result);
HResult Convert(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat format,
                TexFilterFlags filter, float threshold, ScratchImage& result);

// To width x height (1..kMaxTextureDimension) in the same format; the result
// has one level (regenerate mips afterwards). kTexFilterDefault picks per
// axis: a box for shrinking by a whole factor, Mitchell for other shrinking,
// Catmull-Rom for enlarging. Colour is weighted by alpha for formats with
// 8-bit channels and alpha (unless kTexFilterSeparateAlpha), so transparent
// pixels do not bleed their colour into visible ones; other formats filter
// every channel alike. Block formats give kNotSupported. The multi-image
// form resizes the base level of every item.
HResult Resize(const Image& source, size_t width, size_t height, TexFilterFlags filter, ScratchImage& result);
HResult Resize(const Image* images, size_t count, const TexMetadata& metadata, size_t width, size_t height,
               TexFilterFlags filter, ScratchImage& result);

// A mip chain of `levels` levels (0: down to 1x1) from `base`, which becomes
// level 0 unchanged. Each further level halves the previous one (sizes
// rounded down, at least 1): with the default, box or Fant filter by averaging
// 2x2 pixels, alpha-weighted like Resize; an odd size is filtered with a box
// over the exact footprint. Other filters resample as Resize does. The
// multi-image form builds a chain from the base level of every item.
HResult GenerateMipMaps(const Image& base, TexFilterFlags filter, size_t levels, ScratchImage& result);
HResult GenerateMipMaps(const Image* images, size_t count, const TexMetadata& metadata, TexFilterFlags filter,
                        size_t levels, ScratchImage& result);

// Copies `rect` of `source` to (x, y) of `destination`, both uncompressed;
// different formats are converted pixel by pixel like Convert. The rectangle
// must lie inside both images. filter is accepted for symmetry and unused.
HResult CopyRectangle(const Image& source, const Rect& rect, const Image& destination, TexFilterFlags filter, size_t x,
                      size_t y);

// To BC1..BC5 (BC1..BC3 also _SRGB; BC4/BC5 UNORM only) from any
// uncompressed format; sizes that are not multiples of 4 are padded by
// repeating the edge pixels. For BC1, pixels with alpha below threshold
// (0..1) become transparent black through the three-colour mode; 0 keeps
// every pixel opaque. BC2 rounds alpha to 4 bits. BC4 encodes red, BC5 red
// and green. Single-threaded.
HResult Compress(const Image& source, DxgiFormat format, TexCompressFlags compress, float threshold,
                 ScratchImage& result);
HResult Compress(const Image* images, size_t count, const TexMetadata& metadata, DxgiFormat format,
                 TexCompressFlags compress, float threshold, ScratchImage& result);

} // namespace zelko
