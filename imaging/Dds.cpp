#include "imaging/Dds.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>
#include <system_error>

#include "imaging/ImagePixel.h"

namespace zelko {

namespace {

using F = DxgiFormat;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t kMagic = FourCC('D', 'D', 'S', ' ');
constexpr size_t kHeaderSize = 124;
constexpr size_t kDx10Size = 20;
constexpr size_t kDataStart = 4 + kHeaderSize; // without a DX10 header

// Header flags.
constexpr uint32_t kFlagCaps = 0x1, kFlagHeight = 0x2, kFlagWidth = 0x4, kFlagPitch = 0x8;
constexpr uint32_t kFlagPixelFormat = 0x1000, kFlagMipCount = 0x20000, kFlagLinearSize = 0x80000;
constexpr uint32_t kFlagDepth = 0x800000;
// Pixel format flags.
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40;
constexpr uint32_t kPfLuminance = 0x20000;
// Caps.
constexpr uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipmap = 0x400000;
constexpr uint32_t kCaps2Cubemap = 0x200, kCaps2Volume = 0x200000;
// DX10 header.
constexpr uint32_t kDimensionTexture1D = 2, kDimensionTexture2D = 3, kDimensionTexture3D = 4;

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Write32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

struct PixelFormat {
    uint32_t flags = 0, fourCC = 0, bits = 0, r = 0, g = 0, b = 0, a = 0;
};

// How a legacy layout becomes its DXGI format.
enum class Expansion {
    None,
    Bgr24, // 3 bytes B, G, R -> B8G8R8X8
    Opaque32, // byte 3 is padding: set to 255
    Opaque1555,
    Opaque4444,
};

struct Layout {
    DxgiFormat format = F::UNKNOWN;
    Expansion expansion = Expansion::None;
};

bool Masks(const PixelFormat& pf, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return pf.r == r && pf.g == g && pf.b == b && pf.a == a;
}

Layout LegacyLayout(const PixelFormat& pf) {
    if (pf.flags & kPfFourCC) {
        switch (pf.fourCC) {
        case FourCC('D', 'X', 'T', '1'): return {F::BC1_UNORM};
        case FourCC('D', 'X', 'T', '2'):
        case FourCC('D', 'X', 'T', '3'): return {F::BC2_UNORM};
        case FourCC('D', 'X', 'T', '4'):
        case FourCC('D', 'X', 'T', '5'): return {F::BC3_UNORM};
        case FourCC('A', 'T', 'I', '1'):
        case FourCC('B', 'C', '4', 'U'): return {F::BC4_UNORM};
        case FourCC('B', 'C', '4', 'S'): return {F::BC4_SNORM};
        case FourCC('A', 'T', 'I', '2'):
        case FourCC('B', 'C', '5', 'U'): return {F::BC5_UNORM};
        case FourCC('B', 'C', '5', 'S'): return {F::BC5_SNORM};
        case 36: return {F::R16G16B16A16_UNORM}; // D3DFMT_A16B16G16R16
        case 113: return {F::R16G16B16A16_FLOAT}; // D3DFMT_A16B16G16R16F
        case 116: return {F::R32G32B32A32_FLOAT}; // D3DFMT_A32B32G32R32F
        default: return {};
        }
    }
    if (pf.flags & kPfRgb) {
        switch (pf.bits) {
        case 32:
            if (Masks(pf, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)) return {F::B8G8R8A8_UNORM};
            if (Masks(pf, 0xFF0000, 0xFF00, 0xFF, 0)) return {F::B8G8R8X8_UNORM, Expansion::Opaque32};
            if (Masks(pf, 0xFF, 0xFF00, 0xFF0000, 0xFF000000)) return {F::R8G8B8A8_UNORM};
            if (Masks(pf, 0xFF, 0xFF00, 0xFF0000, 0)) return {F::R8G8B8A8_UNORM, Expansion::Opaque32};
            if (Masks(pf, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000)) return {F::R10G10B10A2_UNORM};
            if (Masks(pf, 0xFFFF, 0xFFFF0000, 0, 0)) return {F::R16G16_UNORM};
            return {};
        case 24:
            if (Masks(pf, 0xFF0000, 0xFF00, 0xFF, 0)) return {F::B8G8R8X8_UNORM, Expansion::Bgr24};
            return {};
        case 16:
            if (Masks(pf, 0xF800, 0x7E0, 0x1F, 0)) return {F::B5G6R5_UNORM};
            if (Masks(pf, 0x7C00, 0x3E0, 0x1F, 0x8000)) return {F::B5G5R5A1_UNORM};
            if (Masks(pf, 0x7C00, 0x3E0, 0x1F, 0)) return {F::B5G5R5A1_UNORM, Expansion::Opaque1555};
            if (Masks(pf, 0xF00, 0xF0, 0xF, 0xF000)) return {F::B4G4R4A4_UNORM};
            if (Masks(pf, 0xF00, 0xF0, 0xF, 0)) return {F::B4G4R4A4_UNORM, Expansion::Opaque4444};
            return {};
        case 8:
            if (Masks(pf, 0xFF, 0, 0, 0)) return {F::R8_UNORM}; // luminance written as red
            return {};
        default: return {};
        }
    }
    if (pf.flags & kPfLuminance) {
        if (pf.bits == 8 && Masks(pf, 0xFF, 0, 0, 0)) return {F::R8_UNORM};
        if (pf.bits == 16 && Masks(pf, 0xFFFF, 0, 0, 0)) return {F::R16_UNORM};
        if (pf.bits == 16 && Masks(pf, 0xFF, 0, 0, 0xFF00)) return {F::R8G8_UNORM}; // A8L8
        return {};
    }
    if ((pf.flags & (kPfAlpha | kPfAlphaPixels)) && pf.bits == 8 && Masks(pf, 0, 0, 0, 0xFF)) return {F::A8_UNORM};
    return {};
}

struct Parsed {
    TexMetadata metadata;
    Expansion expansion = Expansion::None;
    size_t dataOffset = 0;
};

size_t SourceRowBytes(const Parsed& dds, size_t width, size_t height, size_t& rows) {
    size_t rowPitch, slicePitch;
    ComputePitch(dds.metadata.format, width, height, rowPitch, slicePitch);
    rows = IsCompressed(dds.metadata.format) ? (height + 3) / 4 : height;
    return dds.expansion == Expansion::Bgr24 ? width * 3 : rowPitch;
}

// The rules on the shape and the data length, whether the shape comes from
// a header or from the caller.
HResult CheckShape(const Parsed& dds, size_t available) {
    const TexMetadata& md = dds.metadata;
    if (md.width == 0 || md.height == 0) return kInvalidData;
    if (md.width > kMaxTextureDimension || md.height > kMaxTextureDimension) return kNotSupported;
    if (md.mipLevels > CountMips(md.width, md.height)) return kInvalidData;

    // Every level's bytes must be present; 64-bit sums cannot wrap here.
    uint64_t needed = 0;
    for (size_t mip = 0; mip < md.mipLevels; ++mip) {
        size_t w = std::max<size_t>(1, md.width >> mip), hgt = std::max<size_t>(1, md.height >> mip), rows;
        needed += uint64_t(SourceRowBytes(dds, w, hgt, rows)) * rows;
    }
    if (needed > uint64_t(available)) return kHandleEof;
    return kOk;
}

HResult ParseHeader(const uint8_t* data, size_t size, Parsed& dds) {
    if (!data) return kInvalidArg;
    if (size >= 4 && Read32(data) != kMagic) return kInvalidData;
    if (size < kDataStart) return kHandleEof;
    const uint8_t* h = data + 4;
    if (Read32(h) != kHeaderSize || Read32(h + 72) != 32) return kInvalidData;
    uint32_t flags = Read32(h + 4);
    uint32_t height = Read32(h + 8), width = Read32(h + 12), depth = Read32(h + 20);
    uint32_t mipCount = Read32(h + 24);
    PixelFormat pf{Read32(h + 76), Read32(h + 80), Read32(h + 84), Read32(h + 88),
                   Read32(h + 92), Read32(h + 96), Read32(h + 100)};
    uint32_t caps2 = Read32(h + 108);
    if ((caps2 & (kCaps2Cubemap | kCaps2Volume)) || ((flags & kFlagDepth) && depth > 1)) return kNotSupported;

    TexMetadata& md = dds.metadata;
    dds.dataOffset = kDataStart;
    if ((pf.flags & kPfFourCC) && pf.fourCC == FourCC('D', 'X', '1', '0')) {
        if (size < kDataStart + kDx10Size) return kHandleEof;
        const uint8_t* x = data + kDataStart;
        uint32_t format = Read32(x), dimension = Read32(x + 4), misc = Read32(x + 8);
        uint32_t arraySize = Read32(x + 12);
        if (dimension == kDimensionTexture1D || dimension == kDimensionTexture3D) return kNotSupported;
        if (dimension != kDimensionTexture2D || arraySize == 0) return kInvalidData;
        if ((misc & kTexMiscTextureCube) || arraySize > 1) return kNotSupported;
        md.format = DxgiFormat(format);
        if (BitsPerPixel(md.format) == 0) return kNotSupported;
        md.miscFlags2 = Read32(x + 16);
        if (md.format == F::B8G8R8X8_UNORM || md.format == F::B8G8R8X8_UNORM_SRGB) dds.expansion = Expansion::Opaque32;
        dds.dataOffset += kDx10Size;
    } else {
        Layout layout = LegacyLayout(pf);
        if (layout.format == F::UNKNOWN) return kNotSupported;
        md.format = layout.format;
        dds.expansion = layout.expansion;
    }
    md.width = width;
    md.height = height;
    md.mipLevels = mipCount == 0 ? 1 : mipCount;
    return CheckShape(dds, size - dds.dataOffset);
}

void CopyRow(const uint8_t* source, uint8_t* destination, size_t width, size_t bytes, Expansion expansion) {
    switch (expansion) {
    case Expansion::Bgr24:
        for (size_t x = 0; x < width; ++x, source += 3, destination += 4) {
            std::memcpy(destination, source, 3);
            destination[3] = 255;
        }
        return;
    case Expansion::Opaque32:
        std::memcpy(destination, source, bytes);
        for (size_t x = 0; x < width; ++x) destination[4 * x + 3] = 255;
        return;
    case Expansion::Opaque1555:
        std::memcpy(destination, source, bytes);
        for (size_t x = 0; x < width; ++x) destination[2 * x + 1] |= 0x80;
        return;
    case Expansion::Opaque4444:
        std::memcpy(destination, source, bytes);
        for (size_t x = 0; x < width; ++x) destination[2 * x + 1] |= 0xF0;
        return;
    case Expansion::None: std::memcpy(destination, source, bytes); return;
    }
}

// Copies the levels of checked data into `image`.
HResult LoadParsed(const Parsed& dds, const uint8_t* source, ScratchImage& image) {
    if (HResult hr = image.Initialize(dds.metadata); Failed(hr)) return hr;
    for (size_t mip = 0; mip < dds.metadata.mipLevels; ++mip) {
        const Image& level = *image.GetImage(mip, 0, 0);
        size_t rows;
        size_t sourceRow = SourceRowBytes(dds, level.width, level.height, rows);
        for (size_t y = 0; y < rows; ++y, source += sourceRow)
            CopyRow(source, level.pixels + y * level.rowPitch, level.width, level.rowPitch, dds.expansion);
    }
    return kOk;
}

// The legacy pixel format that writes `format` exactly, if there is one.
bool LegacyPixelFormat(DxgiFormat format, PixelFormat& pf) {
    auto fourCC = [&](uint32_t code) { pf = {kPfFourCC, code}; };
    auto masks = [&](uint32_t flags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
        pf = {flags, 0, bits, r, g, b, a};
    };
    switch (format) {
    case F::BC1_UNORM: fourCC(FourCC('D', 'X', 'T', '1')); return true;
    case F::BC2_UNORM: fourCC(FourCC('D', 'X', 'T', '3')); return true;
    case F::BC3_UNORM: fourCC(FourCC('D', 'X', 'T', '5')); return true;
    case F::BC4_UNORM: fourCC(FourCC('A', 'T', 'I', '1')); return true;
    case F::BC4_SNORM: fourCC(FourCC('B', 'C', '4', 'S')); return true;
    case F::BC5_UNORM: fourCC(FourCC('A', 'T', 'I', '2')); return true;
    case F::BC5_SNORM: fourCC(FourCC('B', 'C', '5', 'S')); return true;
    case F::R16G16B16A16_UNORM: fourCC(36); return true;
    case F::R16G16B16A16_FLOAT: fourCC(113); return true;
    case F::R32G32B32A32_FLOAT: fourCC(116); return true;
    case F::B8G8R8A8_UNORM: masks(kPfRgb | kPfAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000); return true;
    case F::B8G8R8X8_UNORM: masks(kPfRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0); return true;
    case F::R8G8B8A8_UNORM: masks(kPfRgb | kPfAlphaPixels, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000); return true;
    case F::R10G10B10A2_UNORM: masks(kPfRgb | kPfAlphaPixels, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000); return true;
    case F::R16G16_UNORM: masks(kPfRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0); return true;
    case F::B5G6R5_UNORM: masks(kPfRgb, 16, 0xF800, 0x7E0, 0x1F, 0); return true;
    case F::B5G5R5A1_UNORM: masks(kPfRgb | kPfAlphaPixels, 16, 0x7C00, 0x3E0, 0x1F, 0x8000); return true;
    case F::B4G4R4A4_UNORM: masks(kPfRgb | kPfAlphaPixels, 16, 0xF00, 0xF0, 0xF, 0xF000); return true;
    case F::R8_UNORM: masks(kPfLuminance, 8, 0xFF, 0, 0, 0); return true;
    case F::R16_UNORM: masks(kPfLuminance, 16, 0xFFFF, 0, 0, 0); return true;
    case F::A8_UNORM: masks(kPfAlpha, 8, 0, 0, 0, 0xFF); return true;
    default: return false;
    }
}

} // namespace

HResult GetMetadataFromDDSMemory(const void* data, size_t size, TexMetadata& metadata) {
    Parsed dds;
    HResult hr = ParseHeader(static_cast<const uint8_t*>(data), size, dds);
    if (Succeeded(hr)) metadata = dds.metadata;
    return hr;
}

HResult LoadFromDDSMemory(const void* data, size_t size, TexMetadata* metadata, ScratchImage& image) {
    image.Release();
    Parsed dds;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (HResult hr = ParseHeader(bytes, size, dds); Failed(hr)) return hr;
    if (HResult hr = LoadParsed(dds, bytes + dds.dataOffset, image); Failed(hr)) return hr;
    if (metadata) *metadata = image.GetMetadata();
    return kOk;
}

HResult LoadFromDDSPixels(DxgiFormat format, size_t width, size_t height, size_t mipLevels, const void* data,
                          size_t size, ScratchImage& image) {
    image.Release();
    if (!data && size) return kInvalidArg;
    if (BitsPerPixel(format) == 0) return kNotSupported;
    Parsed dds;
    dds.metadata.format = format;
    dds.metadata.width = width;
    dds.metadata.height = height;
    dds.metadata.mipLevels = mipLevels == 0 ? 1 : mipLevels;
    if (HResult hr = CheckShape(dds, size); Failed(hr)) return hr;
    return LoadParsed(dds, static_cast<const uint8_t*>(data), image);
}

HResult LoadFromDDSMemory(const void* data, size_t size, DdsFlags flags, TexMetadata* metadata, ScratchImage& image) {
    if (flags != kDdsFlagsNone) {
        image.Release();
        return kInvalidArg;
    }
    return LoadFromDDSMemory(data, size, metadata, image);
}

HResult LoadFromDDSFile(const std::filesystem::path& path, DdsFlags flags, TexMetadata* metadata, ScratchImage& image) {
    if (flags != kDdsFlagsNone) {
        image.Release();
        return kInvalidArg;
    }
    return LoadFromDDSFile(path, metadata, image);
}

HResult LoadFromDDSFile(const std::filesystem::path& path, TexMetadata* metadata, ScratchImage& image) {
    image.Release();
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return kFileNotFound;
    if (!std::filesystem::is_regular_file(status)) return kAccessDenied;
    uintmax_t fileSize = std::filesystem::file_size(path, ec);
    if (ec) return kAccessDenied;
    if (fileSize > SIZE_MAX) return kNotSupported;
    std::ifstream in(path, std::ios::binary);
    if (!in) return kAccessDenied;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(fileSize));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    if (size_t(in.gcount()) != bytes.size()) return kHandleEof;
    return LoadFromDDSMemory(bytes.data(), bytes.size(), metadata, image);
}

HResult SaveToDDSMemory(const Image* images, size_t count, const TexMetadata& metadata, std::vector<uint8_t>& out) {
    out.clear();
    if (Failed(detail::CheckImages(images, count, metadata))) return kInvalidArg;
    if (metadata.arraySize != 1) return kNotSupported;

    PixelFormat pf;
    bool dx10 = !LegacyPixelFormat(metadata.format, pf);
    if (dx10) pf = {kPfFourCC, FourCC('D', 'X', '1', '0')};
    bool compressed = IsCompressed(metadata.format);
    size_t total = kDataStart + (dx10 ? kDx10Size : 0);
    for (size_t i = 0; i < count; ++i) {
        size_t rowPitch, slicePitch;
        ComputePitch(images[i].format, images[i].width, images[i].height, rowPitch, slicePitch);
        if (slicePitch > SIZE_MAX - total) return kArithmeticOverflow;
        total += slicePitch;
    }
    try {
        out.assign(total, 0);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }

    uint8_t* h = out.data() + 4;
    Write32(out.data(), kMagic);
    Write32(h, kHeaderSize);
    uint32_t flags = kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat |
        (compressed ? kFlagLinearSize : kFlagPitch) | (metadata.mipLevels > 1 ? kFlagMipCount : 0);
    Write32(h + 4, flags);
    Write32(h + 8, uint32_t(metadata.height));
    Write32(h + 12, uint32_t(metadata.width));
    size_t rowPitch, slicePitch;
    ComputePitch(metadata.format, metadata.width, metadata.height, rowPitch, slicePitch);
    Write32(h + 16, uint32_t(compressed ? slicePitch : rowPitch));
    Write32(h + 24, uint32_t(metadata.mipLevels));
    Write32(h + 72, 32);
    Write32(h + 76, pf.flags);
    Write32(h + 80, pf.fourCC);
    Write32(h + 84, pf.bits);
    Write32(h + 88, pf.r);
    Write32(h + 92, pf.g);
    Write32(h + 96, pf.b);
    Write32(h + 100, pf.a);
    Write32(h + 104, kCapsTexture | (metadata.mipLevels > 1 ? kCapsComplex | kCapsMipmap : 0));
    uint8_t* p = out.data() + kDataStart;
    if (dx10) {
        Write32(p, uint32_t(metadata.format));
        Write32(p + 4, kDimensionTexture2D);
        Write32(p + 12, 1);
        Write32(p + 16, metadata.miscFlags2);
        p += kDx10Size;
    }
    for (size_t i = 0; i < count; ++i) {
        const Image& image = images[i];
        ComputePitch(image.format, image.width, image.height, rowPitch, slicePitch);
        for (size_t y = 0, rows = detail::StoredRows(image); y < rows; ++y, p += rowPitch)
            std::memcpy(p, image.pixels + y * image.rowPitch, rowPitch);
    }
    return kOk;
}

HResult SaveToDDSMemory(const Image* images, size_t count, const TexMetadata& metadata, DdsFlags flags,
                        std::vector<uint8_t>& out) {
    if (flags != kDdsFlagsNone) {
        out.clear();
        return kInvalidArg;
    }
    return SaveToDDSMemory(images, count, metadata, out);
}

HResult SaveToDDSMemory(const Image& image, std::vector<uint8_t>& out) {
    TexMetadata metadata;
    metadata.width = image.width;
    metadata.height = image.height;
    metadata.format = image.format;
    return SaveToDDSMemory(&image, 1, metadata, out);
}

HResult SaveToDDSFile(const Image* images, size_t count, const TexMetadata& metadata,
                      const std::filesystem::path& path) {
    std::vector<uint8_t> bytes;
    if (HResult hr = SaveToDDSMemory(images, count, metadata, bytes); Failed(hr)) return hr;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return kAccessDenied;
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    return file ? kOk : kWriteFault;
}

HResult SaveToDDSFile(const Image* images, size_t count, const TexMetadata& metadata, DdsFlags flags,
                      const std::filesystem::path& path) {
    if (flags != kDdsFlagsNone) return kInvalidArg;
    return SaveToDDSFile(images, count, metadata, path);
}

HResult SaveToDDSFile(const Image& image, const std::filesystem::path& path) {
    TexMetadata metadata;
    metadata.width = image.width;
    metadata.height = image.height;
    metadata.format = image.format;
    return SaveToDDSFile(&image, 1, metadata, path);
}

} // namespace zelko
