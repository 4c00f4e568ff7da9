#include "texture/TextureObject.h"

#include <cstdio>
#include <cstring>
#include <lz4.h>
#include <vector>

#include "format/Errors.h"
#include "format/NameHash.h"
#include "texture/PixelFormat.h"

namespace zelko {

bool IsXboxFormat(uint32_t format) {
    switch (format) {
    case kXboxLinearARGB:
    case kXboxTiledARGB:
    case kXboxTiledDXT1:
    case kXboxTiledDXT3:
    case kXboxTiledDXT5: return true;
    default: return false;
    }
}

uint32_t PcFormatOf(uint32_t format) {
    switch (format) {
    case kXboxLinearARGB:
    case kXboxTiledARGB: return kFormatARGB;
    case kXboxTiledDXT1: return kFormatDXT1;
    case kXboxTiledDXT3: return kFormatDXT3;
    case kXboxTiledDXT5: return kFormatDXT5;
    default: return format;
    }
}

const char* FormatName(uint32_t format) {
    switch (PcFormatOf(format)) {
    case kFormatARGB: return "ARGB";
    case kFormatP8: return "P8";
    case kFormatL8: return "L8";
    case kFormatDXT1: return "DXT1";
    case kFormatDXT2: return "DXT2";
    case kFormatDXT3: return "DXT3";
    case kFormatDXT4: return "DXT4";
    case kFormatDXT5: return "DXT5";
    case kFormatATI1: return "BC4";
    case kFormatATI2: return "BC5";
    default: return "UNKNOWN";
    }
}

namespace {

std::unique_ptr<uint8_t[]> CopyBytes(const uint8_t* bytes, uint32_t count) {
    auto copy = std::make_unique_for_overwrite<uint8_t[]>(count ? count : 1);
    if (count) std::memcpy(copy.get(), bytes, count);
    return copy;
}

} // namespace

std::unique_ptr<TextureObject> TextureObject::Create(const TextureSource& source, bool packInMemory) {
    const auto& [width, height, format, mipCount, pixelBytes, pixelCount, paletteBytes, paletteCount, formatRecordFlag,
                 alphaMode, blendMode] = source;
    if (format == 0) throw Error("Not supported texture format");
    if (width == 0) throw Error("Invalid width");
    if (height == 0) throw Error("Invalid height");
    if (mipCount == 0) throw Error("Invalid mip map count");

    auto t = std::make_unique<TextureObject>();
    t->width = width;
    t->height = height;
    t->format = format;
    t->mipCount = mipCount;
    t->formatRecordFlag = formatRecordFlag;
    t->alphaMode = alphaMode;
    t->blendMode = blendMode;
    t->pixelsSize = pixelCount;
    if (packInMemory && !IsXboxFormat(format) && pixelCount != 0)
        t->PackFrom(pixelBytes); // no unpacked copy on the way
    else
        t->pixels = CopyBytes(pixelBytes, pixelCount);
    if (paletteCount != 0) {
        t->palette.assign(paletteBytes, paletteBytes + paletteCount);
        t->paletteSize = paletteCount;
    }
    if (IsXboxFormat(format)) {
        t->fromXbox360 = 1;
        ConvertFromXbox360(*t);
    }
    t->SetPacked(packInMemory);
    return t;
}

void TextureObject::PackFrom(const uint8_t* bytes) {
    // LZ4's own bound: a fixed multiple of the input is too small for tiny inputs.
    const int bound = LZ4_compressBound(int(pixelsSize));
    if (bound <= 0) throw Error("Unable to process compressed data");
    // Reused per thread up to a size: a block freshly taken from the system for
    // every texture pays its page faults each time, and keeping the largest
    // texture's block for good would cost memory.
    constexpr size_t kKeptScratch = size_t(4) << 20;
    thread_local std::vector<char> kept;
    std::vector<char> once;
    std::vector<char>& scratch = size_t(bound) <= kKeptScratch ? kept : once;
    if (scratch.size() < size_t(bound)) scratch.resize(size_t(bound));
    const int length = LZ4_compress_default(reinterpret_cast<const char*>(bytes), scratch.data(), int(pixelsSize),
                                            bound);
    if (length <= 0) throw Error("Unable to process compressed data");
    pixels = CopyBytes(reinterpret_cast<const uint8_t*>(scratch.data()), uint32_t(length));
    packedSize = uint32_t(length);
    pixelsPacked = true;
}

std::unique_ptr<TextureObject> TextureObject::Duplicate(const TextureObject& source, const std::string& newName) {
    auto t = std::make_unique<TextureObject>();
    t->name = newName;
    t->hash = NameHash(newName);
    t->format = source.format;
    t->width = source.width;
    t->height = source.height;
    t->mipCount = source.mipCount;
    t->dataOffset = source.dataOffset;
    t->paletteOffset = source.paletteOffset;
    t->formatRecordFlag = source.formatRecordFlag;
    t->alphaMode = source.alphaMode;
    t->blendMode = source.blendMode;
    t->flagsEdited = source.flagsEdited;
    t->sourcePath = source.sourcePath;
    t->gameRecord = source.gameRecord;
    t->palette = source.palette;
    t->paletteSize = source.paletteSize;
    t->pixelsSize = source.pixelsSize;
    t->pixelsPacked = source.pixelsPacked;
    t->packedSize = source.packedSize;
    t->pixels = CopyBytes(source.pixels.get(), source.pixelsPacked ? source.packedSize : source.pixelsSize);
    return t;
}

std::string TextureObject::GetDisplayName(bool withHash) const {
    if (NameHash(name) == hash) return name;
    if (const std::string* known = FindKnownName(hash)) return *known;
    if (!withHash) return name;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "0x%x", hash);
    return name + " (" + suffix + ")";
}

bool TextureObject::SetPacked(bool packed) {
    if (pixelsPacked == packed) return pixelsPacked;
    if (packed) {
        PackFrom(pixels.get());
        return true;
    } else {
        auto unpacked = std::make_unique_for_overwrite<uint8_t[]>(pixelsSize ? pixelsSize : 1);
        const int length = LZ4_decompress_safe(reinterpret_cast<const char*>(pixels.get()),
                                               reinterpret_cast<char*>(unpacked.get()), int(packedSize),
                                               int(pixelsSize));
        if (length != int(pixelsSize)) throw Error("Unable to process compressed data");
        pixels = std::move(unpacked);
        packedSize = 0;
    }
    pixelsPacked = packed;
    return pixelsPacked;
}

TextureObject::Pixels TextureObject::PixelView() const {
    Pixels view;
    view.size_ = pixelsSize;
    if (!pixelsPacked) {
        view.data_ = pixels.get();
        return view;
    }
    view.owned_ = std::make_unique_for_overwrite<uint8_t[]>(pixelsSize ? pixelsSize : 1);
    CopyPixelsTo(view.owned_.get());
    view.data_ = view.owned_.get();
    return view;
}

void TextureObject::CopyPixelsTo(uint8_t* out) const {
    if (!pixelsPacked) {
        if (pixelsSize) std::memcpy(out, pixels.get(), pixelsSize);
        return;
    }
    const int length = LZ4_decompress_safe(reinterpret_cast<const char*>(pixels.get()), reinterpret_cast<char*>(out),
                                           int(packedSize), int(pixelsSize));
    if (length != int(pixelsSize)) throw Error("Unable to process compressed data");
}

void TextureObject::SetData(uint32_t newWidth, uint32_t newHeight, uint32_t newMipCount,
                            std::unique_ptr<uint8_t[]> pixelBytes, uint32_t pixelCount, const uint8_t* paletteBytes,
                            uint32_t paletteCount) {
    const bool wasPacked = pixelsPacked;
    pixelsPacked = false;
    packedSize = 0;
    pixels = std::move(pixelBytes);
    pixelsSize = pixelCount;
    if (paletteCount != 0) {
        palette.assign(paletteBytes, paletteBytes + paletteCount);
    } else {
        palette.clear();
    }
    paletteSize = paletteCount;
    width = newWidth;
    height = newHeight;
    mipCount = newMipCount;
    SetPacked(wasPacked);
}

void TextureObject::SetData(uint32_t newWidth, uint32_t newHeight, uint32_t newMipCount, const uint8_t* pixelBytes,
                            uint32_t pixelCount, const uint8_t* paletteBytes, uint32_t paletteCount) {
    SetData(newWidth, newHeight, newMipCount, CopyBytes(pixelBytes, pixelCount), pixelCount, paletteBytes,
            paletteCount);
}

namespace {

struct Flags {
    int8_t alpha; // -1: keep the default
    int8_t blend;
};

constexpr Flags K = {-1, -1};

// Default then games 1..7.
struct FlagRow {
    uint32_t format;
    Flags cells[8];
};

constexpr FlagRow kFlagTable[] = {
    {kFormatARGB, {{0, 1}, {0, 0}, {2, 1}, {0, 0}, {0, 0}, K, K, {0, 0}}},
    {kFormatDXT1, {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}},
    {kFormatDXT3, {{2, 1}, {2, 1}, {2, 2}, {2, 1}, {1, 0}, {2, 1}, {2, 1}, {0, 1}}},
    {kFormatDXT5, {{1, 2}, K, K, K, {2, 1}, {2, 1}, K, {1, 2}}},
    {kFormatP8, {{0, 0}, {0, 0}, K, K, K, K, K, K}},
    {kFormatATI2, {{0, 0}, K, K, K, K, K, K, {0, 0}}},
};

} // namespace

void TextureObject::SetGameFlags(int game) {
    Flags chosen = {0, 0};
    for (const FlagRow& row : kFlagTable) {
        if (row.format != format) continue;
        chosen = row.cells[0];
        if (game >= 1 && game <= 7 && row.cells[game].alpha >= 0) chosen = row.cells[game];
    }
    alphaMode = uint8_t(chosen.alpha);
    blendMode = uint8_t(chosen.blend);
    flagsEdited = true;
}

} // namespace zelko
