#pragma once
// In-memory textures: the description of a texture (TexMetadata), a view of
// one level (Image), and ScratchImage, which owns every level of a texture in
// one contiguous block, largest level first, rows packed without padding.
// That block is byte for byte the layout the game packs store, so a finished
// image moves into a texture record by copying GetPixels().
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/DxgiFormat.h"
#include "imaging/ImageResult.h"

namespace zelko {

enum class TexDimension : uint32_t { Texture1D = 2, Texture2D = 3, Texture3D = 4 };

// DX10 header misc flag; cube maps are recognised only to be refused.
constexpr uint32_t kTexMiscTextureCube = 0x4;

struct TexMetadata {
    size_t width = 0;
    size_t height = 0;
    size_t depth = 1;
    size_t arraySize = 1;
    size_t mipLevels = 1;
    uint32_t miscFlags = 0;
    uint32_t miscFlags2 = 0; // DX10 header alpha mode, carried through untouched
    DxgiFormat format = DxgiFormat::UNKNOWN;
    TexDimension dimension = TexDimension::Texture2D;

    // Index into the image list (items outer, levels inner), or SIZE_MAX when
    // out of range. Only slice 0 exists for 2D textures.
    size_t ComputeIndex(size_t mip, size_t item, size_t slice) const;
};

// One level of one item. Does not own its pixels.
struct Image {
    size_t width = 0;
    size_t height = 0;
    DxgiFormat format = DxgiFormat::UNKNOWN;
    size_t rowPitch = 0; // bytes from one row (of blocks, for block formats) to the next
    size_t slicePitch = 0; // bytes of the whole level
    uint8_t* pixels = nullptr;
};

// The description of a one-level 2D texture made of `image`.
inline TexMetadata MetadataOf(const Image& image) {
    TexMetadata metadata;
    metadata.width = image.width;
    metadata.height = image.height;
    metadata.format = image.format;
    return metadata;
}

// kOk when `image` is usable as a source: known format, size within
// 1..kMaxTextureDimension, pixels present and pitches at least the packed ones.
HResult ValidateImage(const Image& image);

class ScratchImage {
public:
    ScratchImage() = default;
    ScratchImage(ScratchImage&& other) noexcept;
    ScratchImage& operator=(ScratchImage&& other) noexcept;
    ScratchImage(const ScratchImage&) = delete;
    ScratchImage& operator=(const ScratchImage&) = delete;
    ~ScratchImage() = default;

    // Allocates zeroed levels for a 2D texture. mipLevels 0 means the full
    // chain. kInvalidArg for sizes of 0 or over kMaxTextureDimension, more
    // levels than the chain has, unknown formats, non-2D or arraySize 0;
    // kOutOfMemory when the block cannot be allocated. On failure the image
    // is empty.
    HResult Initialize(const TexMetadata& metadata);
    HResult Initialize2D(DxgiFormat format, size_t width, size_t height, size_t arraySize = 1, size_t mipLevels = 1);
    // A one-level copy of `image` (rows repacked if its pitch is wider).
    HResult InitializeFromImage(const Image& image);

    void Release();

    // Relabels the pixels with a format of the same layout (an sRGB twin, or a
    // typeless/typed sibling). False, with nothing changed, otherwise.
    bool OverrideFormat(DxgiFormat format);

    const TexMetadata& GetMetadata() const { return metadata_; }
    const Image* GetImage(size_t mip, size_t item, size_t slice) const;
    const Image* GetImages() const { return images_.empty() ? nullptr : images_.data(); }
    size_t GetImageCount() const { return images_.size(); }
    uint8_t* GetPixels() const { return pixels_.get(); }
    size_t GetPixelsSize() const { return size_; }

private:
    TexMetadata metadata_;
    std::vector<Image> images_;
    std::unique_ptr<uint8_t[]> pixels_;
    size_t size_ = 0;
};

} // namespace zelko
