#include "imaging/Image.h"

#include <cstring>
#include <new>
#include <utility>

namespace zelko {

namespace {

// Rows of a level as stored: rows of blocks for block formats.
size_t StoredRows(DxgiFormat format, size_t height) { return IsCompressed(format) ? (height + 3) / 4 : height; }

// First code of the block family (BC1 70..72, BC2 73..75, ...), or 0.
uint32_t BlockFamily(DxgiFormat format) {
    uint32_t c = uint32_t(format);
    if (c >= 70 && c <= 84) return 70 + (c - 70) / 3 * 3;
    if (c >= 94 && c <= 99) return 94 + (c - 94) / 3 * 3;
    return 0;
}

} // namespace

size_t TexMetadata::ComputeIndex(size_t mip, size_t item, size_t slice) const {
    if (mip >= mipLevels || item >= arraySize || slice != 0) return SIZE_MAX;
    return item * mipLevels + mip;
}

HResult ValidateImage(const Image& image) {
    size_t rowPitch, slicePitch;
    HResult hr = ComputePitch(image.format, image.width, image.height, rowPitch, slicePitch);
    if (Failed(hr)) return kInvalidArg;
    if (!image.pixels || image.rowPitch < rowPitch) return kInvalidArg;
    // The last row needs only its packed bytes, earlier ones the full pitch.
    size_t rows = StoredRows(image.format, image.height);
    if (image.rowPitch > (SIZE_MAX - rowPitch) / rows) return kInvalidArg;
    if (image.slicePitch < image.rowPitch * (rows - 1) + rowPitch) return kInvalidArg;
    return kOk;
}

ScratchImage::ScratchImage(ScratchImage&& other) noexcept
    : metadata_(other.metadata_),
      images_(std::move(other.images_)),
      pixels_(std::move(other.pixels_)),
      size_(other.size_) {
    other.metadata_ = TexMetadata{};
    other.images_.clear();
    other.size_ = 0;
}

ScratchImage& ScratchImage::operator=(ScratchImage&& other) noexcept {
    if (this != &other) {
        metadata_ = other.metadata_;
        images_ = std::move(other.images_);
        pixels_ = std::move(other.pixels_);
        size_ = other.size_;
        other.metadata_ = TexMetadata{};
        other.images_.clear();
        other.size_ = 0;
    }
    return *this;
}

HResult ScratchImage::Initialize(const TexMetadata& metadata) {
    Release();
    if (metadata.dimension != TexDimension::Texture2D || metadata.depth != 1 || metadata.arraySize == 0 ||
        metadata.arraySize > 2048 || (metadata.miscFlags & kTexMiscTextureCube))
        return kInvalidArg;
    size_t rowPitch, slicePitch;
    if (Failed(ComputePitch(metadata.format, metadata.width, metadata.height, rowPitch, slicePitch)))
        return kInvalidArg;
    size_t maxLevels = CountMips(metadata.width, metadata.height);
    size_t levels = metadata.mipLevels == 0 ? maxLevels : metadata.mipLevels;
    if (levels > maxLevels) return kInvalidArg;

    // Summed in 64 bits: within the limits the total stays below 2^44, but a
    // 32-bit size_t would wrap long before that.
    uint64_t itemBytes = 0;
    for (size_t mip = 0; mip < levels; ++mip) {
        size_t w = metadata.width >> mip, h = metadata.height >> mip;
        ComputePitch(metadata.format, w ? w : 1, h ? h : 1, rowPitch, slicePitch);
        itemBytes += slicePitch;
    }
    uint64_t total = itemBytes * metadata.arraySize;
    if (total > uint64_t(SIZE_MAX) / 2) return kOutOfMemory;

    std::vector<Image> images;
    try {
        images.reserve(metadata.arraySize * levels);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[size_t(total)]());
    if (!pixels) return kOutOfMemory;

    uint8_t* p = pixels.get();
    for (size_t item = 0; item < metadata.arraySize; ++item) {
        for (size_t mip = 0; mip < levels; ++mip) {
            Image image;
            image.width = metadata.width >> mip ? metadata.width >> mip : 1;
            image.height = metadata.height >> mip ? metadata.height >> mip : 1;
            image.format = metadata.format;
            ComputePitch(image.format, image.width, image.height, image.rowPitch, image.slicePitch);
            image.pixels = p;
            p += image.slicePitch;
            images.push_back(image);
        }
    }
    metadata_ = metadata;
    metadata_.mipLevels = levels;
    images_ = std::move(images);
    pixels_ = std::move(pixels);
    size_ = size_t(total);
    return kOk;
}

HResult ScratchImage::Initialize2D(DxgiFormat format, size_t width, size_t height, size_t arraySize, size_t mipLevels) {
    TexMetadata metadata;
    metadata.width = width;
    metadata.height = height;
    metadata.arraySize = arraySize;
    metadata.mipLevels = mipLevels;
    metadata.format = format;
    return Initialize(metadata);
}

HResult ScratchImage::InitializeFromImage(const Image& image) {
    Release();
    if (Failed(ValidateImage(image))) return kInvalidArg;
    HResult hr = Initialize2D(image.format, image.width, image.height, 1, 1);
    if (Failed(hr)) return hr;
    const Image& dst = images_[0];
    size_t rows = StoredRows(image.format, image.height);
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(dst.pixels + y * dst.rowPitch, image.pixels + y * image.rowPitch, dst.rowPitch);
    return kOk;
}

void ScratchImage::Release() {
    metadata_ = TexMetadata{};
    images_.clear();
    pixels_.reset();
    size_ = 0;
}

bool ScratchImage::OverrideFormat(DxgiFormat format) {
    if (!pixels_) return false;
    DxgiFormat current = metadata_.format;
    bool sameLayout = MakeLinear(current) == MakeLinear(format) ||
        (BlockFamily(current) != 0 && BlockFamily(current) == BlockFamily(format));
    if (!sameLayout) return false;
    metadata_.format = format;
    for (Image& image : images_) image.format = format;
    return true;
}

const Image* ScratchImage::GetImage(size_t mip, size_t item, size_t slice) const {
    size_t index = metadata_.ComputeIndex(mip, item, slice);
    if (index >= images_.size()) return nullptr;
    return &images_[index];
}

} // namespace zelko
