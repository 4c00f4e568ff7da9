// Front end of the image file code: type detection, file input and output,
// pixel layout normalisation, and the encoders both platforms share (BMP with
// alpha, the GIF palette).
#include "imaging/ImageFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <unordered_map>

#include "imaging/ImageFileCodec.h"

namespace zelko {

using namespace imagefile;

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Packs a 32-bit image into BGRA rows without padding.
HResult PackBgra(const Image& image, Bgra& picture) {
    HResult hr = ValidateImage(image);
    if (Failed(hr)) return hr;
    bool swapRb = false;
    bool opaque = false;
    switch (image.format) {
    case DxgiFormat::B8G8R8A8_UNORM:
    case DxgiFormat::B8G8R8A8_UNORM_SRGB: break;
    case DxgiFormat::B8G8R8X8_UNORM:
    case DxgiFormat::B8G8R8X8_UNORM_SRGB: opaque = true; break;
    case DxgiFormat::R8G8B8A8_UNORM:
    case DxgiFormat::R8G8B8A8_UNORM_SRGB: swapRb = true; break;
    default: return kNotSupported;
    }
    picture.width = image.width;
    picture.height = image.height;
    picture.pixels.resize(image.width * image.height * 4);
    uint8_t* dst = picture.pixels.data();
    for (size_t y = 0; y < image.height; ++y) {
        const uint8_t* src = image.pixels + y * image.rowPitch;
        for (size_t x = 0; x < image.width; ++x, src += 4, dst += 4) {
            dst[0] = swapRb ? src[2] : src[0];
            dst[1] = src[1];
            dst[2] = swapRb ? src[0] : src[2];
            dst[3] = opaque ? 255 : src[3];
        }
    }
    return kOk;
}

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

// 4x4 Bayer thresholds in sixteenths.
constexpr uint8_t kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Channel value to one of `levels` steps, nudged by the dither threshold so
// the average over a 4x4 cell matches the source.
uint8_t DitherLevel(uint8_t value, int levels, int threshold) {
    int scaled = (value * (levels - 1) * 16 + 255 * threshold + 255 / 2) / (255 * 16);
    return uint8_t(std::min(scaled, levels - 1));
}

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24; }

// Decoders differ on BMPs whose pixel rows stop early (some fill the rest
// with black); both platforms refuse them here instead. Also refuses huge
// claimed sizes before a decoder allocates for them.
HResult CheckBmpHeader(const uint8_t* data, size_t size) {
    if (size < 26) return kHandleEof;
    const uint32_t offset = Le32(data + 10);
    const uint32_t headerSize = Le32(data + 14);
    uint64_t width, height;
    uint32_t bits, compression = 0;
    if (headerSize == 12) {
        width = uint16_t(data[18] | data[19] << 8);
        height = uint16_t(data[20] | data[21] << 8);
        bits = uint32_t(data[24] | data[25] << 8);
    } else {
        if (headerSize < 40 || size < 34) return kInvalidData;
        width = uint64_t(std::abs(int64_t(int32_t(Le32(data + 18)))));
        height = uint64_t(std::abs(int64_t(int32_t(Le32(data + 22)))));
        bits = uint32_t(data[28] | data[29] << 8);
        compression = Le32(data + 30);
    }
    HResult hr = CheckDimensions(size_t(width), size_t(height));
    if (Failed(hr)) return hr;
    // Only uncompressed layouts have a known size: BI_RGB, BI_BITFIELDS,
    // BI_ALPHABITFIELDS.
    if (compression != 0 && compression != 3 && compression != 6) return kOk;
    const uint64_t rowBytes = ((width * bits + 31) / 32) * 4;
    if (uint64_t(offset) + rowBytes * height > size) return kHandleEof;
    if (compression != 0 || (bits != 1 && bits != 4 && bits != 8)) return kOk;
    // Indexed pixels: the palette entries present are counted as the decoder
    // counts them, from the pixel data's offset; an index past them would
    // take a colour from memory the file never filled.
    const int64_t paletteBytes = int64_t(offset) - 14 - (headerSize == 12 ? 24 : int64_t(headerSize));
    const int64_t entries = paletteBytes <= 0 ? 0 : headerSize == 12 ? paletteBytes / 3 : paletteBytes / 4;
    if (entries >= (int64_t(1) << bits)) return kOk;
    for (uint64_t y = 0; y < height; ++y) {
        const uint8_t* row = data + offset + y * rowBytes;
        for (uint64_t x = 0; x < width; ++x) {
            const uint64_t bit = x * bits;
            const int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
            if (index >= entries) return kInvalidData;
        }
    }
    return kOk;
}

uint8_t LevelValue(int level, int levels) { return uint8_t((level * 255 + (levels - 1) / 2) / (levels - 1)); }

} // namespace

std::optional<ImageFileFormat> ImageFileFormatFromExtension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), LowerAscii);
    if (ext == ".dds") return ImageFileFormat::DDS;
    if (ext == ".bmp") return ImageFileFormat::BMP;
    if (ext == ".png") return ImageFileFormat::PNG;
    if (ext == ".jpg" || ext == ".jpeg") return ImageFileFormat::JPEG;
    if (ext == ".gif") return ImageFileFormat::GIF;
    if (ext == ".tif" || ext == ".tiff") return ImageFileFormat::TIFF;
    if (ext == ".tga") return ImageFileFormat::TGA;
    return std::nullopt;
}

std::optional<ImageFileFormat> DetectImageFileFormat(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t n) { return size >= n && std::memcmp(data, magic, n) == 0; };
    if (starts("DDS ", 4)) return ImageFileFormat::DDS;
    if (starts("BM", 2)) return ImageFileFormat::BMP;
    if (starts("\x89PNG\r\n\x1a\n", 8)) return ImageFileFormat::PNG;
    if (starts("\xFF\xD8\xFF", 3)) return ImageFileFormat::JPEG;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return ImageFileFormat::GIF;
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return ImageFileFormat::TIFF;
    return std::nullopt;
}

namespace imagefile {

HResult ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return kFileNotFound;
    if (std::filesystem::is_directory(status)) return kAccessDenied;
    std::ifstream in(path, std::ios::binary);
    if (!in) return kAccessDenied;
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    if (length < 0) return kFail;
    // A file far beyond the largest image is refused before it is read.
    if (uint64_t(length) > (uint64_t(1) << 31)) return kInvalidArg;
    in.seekg(0, std::ios::beg);
    bytes.resize(size_t(length));
    if (length > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), length)) return kFail;
    return kOk;
}

HResult WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    bool ok = false;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) return kWriteFault;
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.flush();
        ok = bool(out);
    }
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return kWriteFault;
    }
    return kOk;
}

HResult CheckDimensions(size_t width, size_t height) {
    if (width == 0 || height == 0 || width > kMaxTextureDimension || height > kMaxTextureDimension) return kInvalidArg;
    return kOk;
}

HResult StoreDecoded(const Bgra& picture, TexMetadata* metadata, ScratchImage& out) {
    HResult hr = CheckDimensions(picture.width, picture.height);
    if (Failed(hr)) return hr;
    if (picture.pixels.size() != picture.width * picture.height * 4) return kFail;
    ScratchImage image;
    hr = image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, picture.width, picture.height);
    if (Failed(hr)) return hr;
    std::memcpy(image.GetPixels(), picture.pixels.data(), picture.pixels.size());
    out = std::move(image);
    if (metadata) *metadata = out.GetMetadata();
    return kOk;
}

bool HasTranslucency(const Bgra& picture) {
    for (size_t i = 3; i < picture.pixels.size(); i += 4)
        if (picture.pixels[i] != 255) return true;
    return false;
}

void EncodeBmp(const Bgra& picture, std::vector<uint8_t>& out) {
    const bool alpha = HasTranslucency(picture);
    const uint32_t headerSize = alpha ? 124 : 40;
    const size_t rowBytes = alpha ? picture.width * 4 : (picture.width * 3 + 3) & ~size_t(3);
    const uint32_t dataOffset = 14 + headerSize;
    const uint32_t imageSize = uint32_t(rowBytes * picture.height);
    out.clear();
    out.reserve(dataOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, dataOffset + imageSize);
    PutLe32(out, 0);
    PutLe32(out, dataOffset);
    PutLe32(out, headerSize);
    PutLe32(out, uint32_t(picture.width));
    PutLe32(out, uint32_t(picture.height)); // positive: bottom-up
    PutLe16(out, 1);
    PutLe16(out, alpha ? 32 : 24);
    PutLe32(out, alpha ? 3 : 0); // BI_BITFIELDS : BI_RGB
    PutLe32(out, imageSize);
    PutLe32(out, 2835); // 72 dpi
    PutLe32(out, 2835);
    PutLe32(out, 0);
    PutLe32(out, 0);
    if (alpha) {
        PutLe32(out, 0x00FF0000); // red mask
        PutLe32(out, 0x0000FF00);
        PutLe32(out, 0x000000FF);
        PutLe32(out, 0xFF000000); // alpha mask
        PutLe32(out, 0x73524742); // 'sRGB' colour space
        out.insert(out.end(), 36 + 12, 0); // endpoints, gamma
        PutLe32(out, 4); // LCS_GM_IMAGES intent
        PutLe32(out, 0); // profile data, size, reserved
        PutLe32(out, 0);
        PutLe32(out, 0);
    }
    for (size_t y = picture.height; y-- > 0;) {
        const uint8_t* src = picture.pixels.data() + y * picture.width * 4;
        if (alpha) {
            out.insert(out.end(), src, src + picture.width * 4);
            continue;
        }
        for (size_t x = 0; x < picture.width; ++x, src += 4) out.insert(out.end(), src, src + 3);
        out.insert(out.end(), rowBytes - picture.width * 3, 0);
    }
}

Indexed ToIndexed(const Bgra& picture) {
    Indexed result;
    const size_t count = picture.width * picture.height;
    result.indices.resize(count);
    const uint8_t* px = picture.pixels.data();
    bool anyTransparent = false;
    for (size_t i = 0; i < count; ++i) anyTransparent |= px[i * 4 + 3] < 128;
    const size_t room = anyTransparent ? 255 : 256;

    // Exact palette when the opaque colours fit.
    std::unordered_map<uint32_t, uint8_t> exact;
    bool fits = true;
    for (size_t i = 0; i < count && fits; ++i) {
        const uint8_t* p = px + i * 4;
        if (p[3] < 128) continue;
        uint32_t rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        if (exact.count(rgb)) continue;
        if (exact.size() == room) {
            fits = false;
            break;
        }
        uint8_t index = uint8_t(exact.size());
        exact.emplace(rgb, index);
        result.paletteRgb.insert(result.paletteRgb.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
    }

    size_t used;
    if (fits) {
        used = exact.size();
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = px + i * 4;
            if (p[3] < 128) continue;
            result.indices[i] = exact[uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]];
        }
    } else {
        // Fixed 6 x 7 x 6 cube (green gets the extra step: the eye resolves
        // it best) with ordered dithering: no search, stable across runs.
        constexpr int kR = 6, kG = 7, kB = 6;
        result.paletteRgb.clear();
        for (int r = 0; r < kR; ++r)
            for (int g = 0; g < kG; ++g)
                for (int b = 0; b < kB; ++b)
                    result.paletteRgb.insert(result.paletteRgb.end(),
                                             {LevelValue(r, kR), LevelValue(g, kG), LevelValue(b, kB)});
        used = kR * kG * kB;
        for (size_t y = 0; y < picture.height; ++y)
            for (size_t x = 0; x < picture.width; ++x) {
                const size_t i = y * picture.width + x;
                const uint8_t* p = px + i * 4;
                const int t = kBayer4[y & 3][x & 3];
                int r = DitherLevel(p[2], kR, t), g = DitherLevel(p[1], kG, t), b = DitherLevel(p[0], kB, t);
                result.indices[i] = uint8_t((r * kG + g) * kB + b);
            }
    }
    if (anyTransparent) {
        result.transparentIndex = int(used);
        result.paletteRgb.insert(result.paletteRgb.end(), {0, 0, 0});
        ++used;
        for (size_t i = 0; i < count; ++i)
            if (px[i * 4 + 3] < 128) result.indices[i] = uint8_t(result.transparentIndex);
    }
    size_t entries = 2;
    while (entries < used) entries *= 2;
    result.paletteRgb.resize(entries * 3, 0);
    return result;
}

} // namespace imagefile

namespace {

// A GIF's logical screen against the bytes that could fill it: LZW packs a
// few thousand pixels into a byte at the most. Decoders allocate the screen
// before any frame (and one of them fails outright on a huge one).
HResult CheckGifScreen(const uint8_t* data, size_t size) {
    if (size < 10) return kInvalidData;
    const uint64_t width = data[6] | uint32_t(data[7]) << 8, height = data[8] | uint32_t(data[9]) << 8;
    return width * height > uint64_t(size) * 8192 + 65536 ? kInvalidData : kOk;
}

// A PNG's chunks up to IEND, each within the file: a decoder grows its
// buffer to a chunk's declared length before reading it (a 129-byte file
// asked for 1.3 GB).
HResult CheckPngChunks(const uint8_t* data, size_t size) {
    size_t at = 8; // after the signature
    while (size - at >= 12) {
        const uint64_t length = uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 |
            data[at + 3];
        if (length > size - at - 12) return kInvalidData;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return kOk;
        at += 12 + size_t(length);
    }
    return kInvalidData; // no IEND: the file was cut
}

} // namespace

HResult LoadFromImageMemory(const uint8_t* data, size_t size, TexMetadata* metadata, ScratchImage& out) {
    if (!data && size != 0) return kInvalidArg;
    auto format = DetectImageFileFormat(data, size);
    if (!format) return kInvalidData;
    if (*format == ImageFileFormat::DDS) return kNotSupported;
    HResult hr = kOk;
    if (*format == ImageFileFormat::BMP && Failed(hr = CheckBmpHeader(data, size))) return hr;
    if (*format == ImageFileFormat::GIF && Failed(hr = CheckGifScreen(data, size))) return hr;
    if (*format == ImageFileFormat::PNG && Failed(hr = CheckPngChunks(data, size))) return hr;
    Bgra picture;
    hr = DecodeWithBackEnd(data, size, *format, picture);
    if (Failed(hr)) return hr;
    return StoreDecoded(picture, metadata, out);
}

HResult LoadFromImageFile(const std::filesystem::path& path, TexMetadata* metadata, ScratchImage& out) {
    std::vector<uint8_t> bytes;
    HResult hr = ReadWholeFile(path, bytes);
    if (Failed(hr)) return hr;
    return LoadFromImageMemory(bytes.data(), bytes.size(), metadata, out);
}

HResult LoadFromTGAMemory(const uint8_t* data, size_t size, TexMetadata* metadata, ScratchImage& out) {
    if (!data && size != 0) return kInvalidArg;
    Bgra picture;
    HResult hr = DecodeTga(data, size, picture);
    if (Failed(hr)) return hr;
    return StoreDecoded(picture, metadata, out);
}

HResult LoadFromTGAFile(const std::filesystem::path& path, TexMetadata* metadata, ScratchImage& out) {
    std::vector<uint8_t> bytes;
    HResult hr = ReadWholeFile(path, bytes);
    if (Failed(hr)) return hr;
    return LoadFromTGAMemory(bytes.data(), bytes.size(), metadata, out);
}

HResult SaveToImageMemory(const Image& image, ImageFileFormat format, std::vector<uint8_t>& out) {
    if (format == ImageFileFormat::DDS) return kNotSupported;
    Bgra picture;
    HResult hr = PackBgra(image, picture);
    if (Failed(hr)) return hr;
    std::vector<uint8_t> bytes;
    if (format == ImageFileFormat::TGA) {
        EncodeTga(picture, bytes);
    } else if (format == ImageFileFormat::BMP && HasTranslucency(picture)) {
        // Our own writer on every platform: some BMP encoders drop alpha.
        EncodeBmp(picture, bytes);
    } else {
        hr = EncodeWithBackEnd(picture, format, bytes);
        if (Failed(hr)) return hr;
    }
    out = std::move(bytes);
    return kOk;
}

HResult SaveToImageFile(const Image& image, ImageFileFormat format, const std::filesystem::path& path) {
    std::vector<uint8_t> bytes;
    HResult hr = SaveToImageMemory(image, format, bytes);
    if (Failed(hr)) return hr;
    return WriteWholeFile(path, bytes);
}

HResult SaveToTGAFile(const Image& image, const std::filesystem::path& path) {
    return SaveToImageFile(image, ImageFileFormat::TGA, path);
}

} // namespace zelko
