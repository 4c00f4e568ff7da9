#pragma once
// Internals shared by the image operations: row codecs between stored formats
// and RGBA floats, and checks of multi-image arguments. Not part of the
// imaging layer's interface.
#include <cstddef>
#include <cstdint>

#include <vector>

#include "imaging/Image.h"
#include "imaging/ImageOps.h"

namespace zelko::detail {

// Whether rows of `format` can be read and written as RGBA floats.
bool HasRowCodec(DxgiFormat format);
// Whether every channel is one byte (R8G8B8A8, B8G8R8A8/X8, R8G8, R8, A8).
bool IsByteChannels(DxgiFormat format);

// count pixels of `format` to 4 floats each. UNORM gives 0..1, SNORM -1..1,
// missing colour channels 0 and missing alpha 1.
void UnpackRow(DxgiFormat format, const uint8_t* source, size_t count, float* rgba);
// count RGBA pixels to `format`, clamped to its range and rounded to nearest;
// 1-bit alpha is set where alpha >= threshold. NaN counts as 0.
void PackRow(DxgiFormat format, const float* rgba, size_t count, uint8_t* destination, float threshold);

// Checks a texture handed over as (images, count, metadata): a 2D texture of
// known format whose images match the sizes ScratchImage would give them.
HResult CheckImages(const Image* images, size_t count, const TexMetadata& metadata);

// Converts rows from one format to another with Convert's rules: a byte copy
// for the same layout, otherwise through RGBA floats.
class RowConverter {
public:
    RowConverter(DxgiFormat from, DxgiFormat to, TexFilterFlags filter, float threshold);
    bool Supported() const;
    // count pixels; may throw std::bad_alloc for its scratch row.
    void Run(const uint8_t* source, uint8_t* destination, size_t count);

private:
    DxgiFormat from_, to_;
    float threshold_;
    bool copy_ = false;
    bool swizzle_ = false; // between 32-bit byte layouts, without floats
    int order_[2][4] = {}; // byte of R, G, B, A in the source and target layouts
    bool luminance_ = false;
    int remapChannels_ = 0; // SNORM <-> UNORM: x * scale + bias on the first channels
    float remapScale_ = 1.0f;
    float remapBias_ = 0.0f;
    std::vector<float> scratch_;
};

// Initialises `result` with the metadata of a texture but another format.
HResult InitializeLike(const TexMetadata& metadata, DxgiFormat format, ScratchImage& result);

// Rows of a level as stored: rows of blocks for block formats.
inline size_t StoredRows(const Image& image) {
    return IsCompressed(image.format) ? (image.height + 3) / 4 : image.height;
}

} // namespace zelko::detail
