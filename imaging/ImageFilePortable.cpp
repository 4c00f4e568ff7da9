// BMP, PNG, JPEG, GIF and TIFF without the Windows Imaging Component:
// stb_image decodes BMP, PNG, JPEG and GIF; libpng encodes PNG (stb's
// writer makes files up to 1.6 times larger); stb_image_write encodes JPEG;
// libtiff reads and writes TIFF; giflib writes GIF. All work on memory
// buffers, so paths never reach the libraries' narrow-name functions.
#ifndef _WIN32

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include "imaging/ImageFileCodec.h"

// Private copies: other translation units may compile stb too.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace zelko::imagefile {

namespace {

constexpr int kJpegQuality = 90;

void AppendToVector(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// stb gives R, G, B, A; we keep B, G, R, A.
void SwapRedBlue(std::vector<uint8_t>& pixels) {
    for (size_t i = 0; i + 3 < pixels.size(); i += 4) std::swap(pixels[i], pixels[i + 2]);
}

// stb_image 2.27 trusts a JPEG's tables: it writes past its 256-entry
// arrays when a Huffman table's symbol counts sum higher, and decodes a scan
// with whatever its memory holds when the scan uses a quantization or
// Huffman table the file has not defined (stale heap bytes come back as
// pixels, or an assertion fails). Such files are refused first, as libjpeg
// refuses them.
bool JpegTablesSane(const uint8_t* data, size_t size) {
    bool quant[4] = {}, dc[4] = {}, ac[4] = {};
    uint8_t componentQuant[256]; // the frame's table of each component id; 0xFF: not in the frame
    std::memset(componentQuant, 0xFF, sizeof componentQuant);
    bool progressive = false;
    size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) {
            ++pos; // entropy-coded data between scans
            continue;
        }
        const uint8_t marker = data[pos + 1];
        if (marker == 0x00 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD8) || marker == 0x01) {
            pos += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xD9) break;
        const size_t length = size_t(data[pos + 2] << 8 | data[pos + 3]);
        if (length < 2) return false;
        const size_t end = std::min(size, pos + 2 + length);
        if (marker == 0xC4) {
            size_t p = pos + 4;
            while (p < end) {
                if (end - p < 17) return false;
                size_t symbols = 0;
                for (int i = 1; i <= 16; ++i) symbols += data[p + i];
                if (symbols > 256) return false;
                if ((data[p] & 15) < 4) (data[p] >> 4 ? ac : dc)[data[p] & 15] = true;
                p += 17 + symbols;
            }
        } else if (marker == 0xDB) {
            for (size_t p = pos + 4; p < end; p += data[p] >> 4 ? 129 : 65) {
                if ((data[p] & 15) < 4) quant[data[p] & 15] = true;
            }
        } else if (marker >= 0xC0 && marker <= 0xC2) {
            if (end - pos < 10 || end - pos < 10 + 3 * size_t(data[pos + 9])) return false;
            progressive = marker == 0xC2;
            for (size_t i = 0; i < data[pos + 9]; ++i) componentQuant[data[pos + 10 + 3 * i]] = data[pos + 12 + 3 * i];
        } else if (marker == 0xDA) {
            if (end - pos < 5 || end - pos < 8 + 2 * size_t(data[pos + 4])) return false;
            const size_t count = data[pos + 4];
            const bool firstDc = data[pos + 5 + 2 * count] == 0 && (data[pos + 7 + 2 * count] >> 4) == 0;
            const bool needDc = !progressive || firstDc, needAc = !progressive || data[pos + 5 + 2 * count] != 0;
            for (size_t i = 0; i < count; ++i) {
                const uint8_t q = componentQuant[data[pos + 5 + 2 * i]], tables = data[pos + 6 + 2 * i];
                if (q > 3 || !quant[q]) return false;
                if (needDc && ((tables >> 4) > 3 || !dc[tables >> 4])) return false;
                if (needAc && ((tables & 15) > 3 || !ac[tables & 15])) return false;
            }
        }
        pos += 2 + length;
    }
    return true;
}

HResult DecodeWithStb(const uint8_t* data, size_t size, Bgra& picture) {
    if (size > size_t(INT32_MAX)) return kInvalidArg;
    int width = 0, height = 0, channels = 0;
    // The header first, so oversized claims are refused before any allocation.
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) return kInvalidData;
    HResult hr = CheckDimensions(size_t(width), size_t(height));
    if (Failed(hr)) return hr;
    // No file of these formats packs more than a few thousand pixels into a
    // byte; a larger claim would only make the decoder allocate for nothing.
    if (uint64_t(width) * uint64_t(height) > uint64_t(size) * 8192 + 65536) return kInvalidData;
    stbi_uc* pixels = stbi_load_from_memory(data, int(size), &width, &height, &channels, 4);
    if (!pixels) return kInvalidData;
    picture.width = size_t(width);
    picture.height = size_t(height);
    picture.pixels.assign(pixels, pixels + picture.width * picture.height * 4);
    stbi_image_free(pixels);
    SwapRedBlue(picture.pixels);
    return kOk;
}

// ---- TIFF through libtiff on a memory buffer ----

struct TiffBuffer {
    const uint8_t* readData = nullptr; // decoding
    std::vector<uint8_t>* writeData = nullptr; // encoding
    size_t size = 0;
    size_t pos = 0;
};

tmsize_t TiffRead(thandle_t handle, void* buf, tmsize_t n) {
    auto* b = static_cast<TiffBuffer*>(handle);
    if (n < 0 || !b->readData || b->pos >= b->size) return 0;
    size_t count = std::min(size_t(n), b->size - b->pos);
    std::memcpy(buf, b->readData + b->pos, count);
    b->pos += count;
    return tmsize_t(count);
}

tmsize_t TiffWrite(thandle_t handle, void* buf, tmsize_t n) {
    auto* b = static_cast<TiffBuffer*>(handle);
    if (n < 0 || !b->writeData) return -1;
    std::vector<uint8_t>& out = *b->writeData;
    if (out.size() < b->pos + size_t(n)) out.resize(b->pos + size_t(n));
    std::memcpy(out.data() + b->pos, buf, size_t(n));
    b->pos += size_t(n);
    b->size = out.size();
    return n;
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto* b = static_cast<TiffBuffer*>(handle);
    uint64_t base = whence == SEEK_CUR ? b->pos : whence == SEEK_END ? b->size : 0;
    uint64_t target = base + offset;
    // Reads past the end fail on their own; seeks that far stay cheap.
    if (target > (uint64_t(1) << 40)) return toff_t(-1);
    b->pos = size_t(target);
    return target;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<TiffBuffer*>(handle)->size; }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

// Messages of damaged files are expected; they must not reach stderr.
int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* OpenTiff(TiffBuffer& buffer, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffQuiet, nullptr);
    TIFF* tif = TIFFClientOpenExt("memory", mode, &buffer, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                                  TiffUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// 8-bit contiguous RGB(A) strips, the layout our writer and most tools use,
// read directly: libtiff's general RGBA path premultiplies unassociated
// alpha, which would lose colour under translucent pixels.
bool ReadPlainRgbTiff(TIFF* tif, Bgra& picture) {
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool straightAlpha = samples == 4 && extraCount == 1 && extra && extra[0] == EXTRASAMPLE_UNASSALPHA;
    if (TIFFIsTiled(tif) || bits != 8 || photometric != PHOTOMETRIC_RGB || planar != PLANARCONFIG_CONTIG ||
        !(samples == 3 || straightAlpha))
        return false;
    const tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize < tmsize_t(picture.width * samples)) return false;
    std::vector<uint8_t> line(static_cast<size_t>(lineSize));
    for (size_t y = 0; y < picture.height; ++y) {
        if (TIFFReadScanline(tif, line.data(), uint32_t(y), 0) < 0) return false;
        uint8_t* dst = &picture.pixels[y * picture.width * 4];
        for (size_t x = 0; x < picture.width; ++x, dst += 4) {
            const uint8_t* src = &line[x * samples];
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = samples == 4 ? src[3] : 255;
        }
    }
    return true;
}

HResult DecodeTiff(const uint8_t* data, size_t size, Bgra& picture) {
    TiffBuffer buffer;
    buffer.readData = data;
    buffer.size = size;
    TiffPtr tif(OpenTiff(buffer, "rm"));
    if (!tif) return kInvalidData;
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        return kInvalidData;
    HResult hr = CheckDimensions(width, height);
    if (Failed(hr)) return hr;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * height * 4, 0);
    if (ReadPlainRgbTiff(tif.get(), picture)) return kOk;

    // Everything else (palette, grey, 16-bit, tiles, YCbCr...) through the
    // general reader, whose alpha comes premultiplied and is undone here.
    char message[1024];
    if (!TIFFRGBAImageOK(tif.get(), message)) return kInvalidData;
    std::vector<uint32_t> raster(size_t(width) * height);
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 0))
        return kInvalidData;
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool premultiplied = extraCount > 0;
    for (size_t i = 0; i < raster.size(); ++i) {
        uint32_t v = raster[i];
        uint8_t r = TIFFGetR(v), g = TIFFGetG(v), b = TIFFGetB(v), a = TIFFGetA(v);
        if (premultiplied && a != 0 && a != 255) {
            r = uint8_t(std::min(255, (r * 255 + a / 2) / a));
            g = uint8_t(std::min(255, (g * 255 + a / 2) / a));
            b = uint8_t(std::min(255, (b * 255 + a / 2) / a));
        }
        uint8_t* dst = &picture.pixels[i * 4];
        dst[0] = b;
        dst[1] = g;
        dst[2] = r;
        dst[3] = a;
    }
    return kOk;
}

HResult EncodeTiff(const Bgra& picture, std::vector<uint8_t>& out) {
    std::vector<uint8_t> bytes;
    TiffBuffer buffer;
    buffer.writeData = &bytes;
    {
        TiffPtr tif(OpenTiff(buffer, "w"));
        if (!tif) return kFail;
        TIFF* t = tif.get();
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
        std::vector<uint8_t> line(picture.width * 4);
        for (size_t y = 0; y < picture.height; ++y) {
            const uint8_t* src = &picture.pixels[y * picture.width * 4];
            for (size_t x = 0; x < picture.width; ++x) {
                line[x * 4 + 0] = src[x * 4 + 2];
                line[x * 4 + 1] = src[x * 4 + 1];
                line[x * 4 + 2] = src[x * 4 + 0];
                line[x * 4 + 3] = src[x * 4 + 3];
            }
            if (TIFFWriteScanline(t, line.data(), uint32_t(y), 0) < 0) return kFail;
        }
        if (!TIFFFlush(t)) return kFail;
    }
    out = std::move(bytes);
    return kOk;
}

// ---- GIF through giflib ----

int GifWrite(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}

HResult EncodeGif(const Bgra& picture, std::vector<uint8_t>& out) {
    const Indexed indexed = ToIndexed(picture);
    const int entries = int(indexed.paletteRgb.size() / 3);
    std::vector<uint8_t> bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, GifWrite, &error);
    if (!gif) return kFail;
    bool ok = true;
    ColorMapObject* map = GifMakeMapObject(entries, nullptr);
    if (!map) ok = false;
    if (ok) {
        for (int i = 0; i < entries; ++i) {
            map->Colors[i].Red = indexed.paletteRgb[i * 3 + 0];
            map->Colors[i].Green = indexed.paletteRgb[i * 3 + 1];
            map->Colors[i].Blue = indexed.paletteRgb[i * 3 + 2];
        }
        EGifSetGifVersion(gif, true);
        ok = EGifPutScreenDesc(gif, int(picture.width), int(picture.height), map->BitsPerPixel, 0, map) == GIF_OK;
    }
    if (ok && indexed.transparentIndex >= 0) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.TransparentColor = indexed.transparentIndex;
        GifByteType extension[4];
        EGifGCBToExtension(&gcb, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    if (ok) ok = EGifPutImageDesc(gif, 0, 0, int(picture.width), int(picture.height), false, nullptr) == GIF_OK;
    for (size_t y = 0; ok && y < picture.height; ++y) {
        auto* row = const_cast<GifByteType*>(&indexed.indices[y * picture.width]);
        ok = EGifPutLine(gif, row, int(picture.width)) == GIF_OK;
    }
    if (map) GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    if (!ok) return kFail;
    out = std::move(bytes);
    return kOk;
}

} // namespace

HResult DecodeWithBackEnd(const uint8_t* data, size_t size, ImageFileFormat format, Bgra& picture) {
    switch (format) {
    case ImageFileFormat::JPEG:
        if (!JpegTablesSane(data, size)) return kInvalidData;
        return DecodeWithStb(data, size, picture);
    case ImageFileFormat::BMP:
    case ImageFileFormat::PNG:
    case ImageFileFormat::GIF: return DecodeWithStb(data, size, picture);
    case ImageFileFormat::TIFF: return DecodeTiff(data, size, picture);
    default: return kNotSupported;
    }
}

void AppendPng(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// libpng at its default compression; an opaque picture is written without
// its alpha channel, which reads back as the same pixels.
HResult EncodePng(const Bgra& picture, std::vector<uint8_t>& out) {
    const size_t w = picture.width, h = picture.height;
    // Decided before setjmp and never changed after it, as longjmp requires.
    const bool opaque = [&] {
        for (size_t i = 3; i < picture.pixels.size(); i += 4)
            if (picture.pixels[i] != 255) return false;
        return true;
    }();
    const size_t channels = opaque ? 3 : 4;
    std::vector<uint8_t> rows(w * h * channels);
    for (size_t p = 0, q = 0; p < w * h; ++p, q += channels) {
        const uint8_t* bgra = &picture.pixels[p * 4];
        rows[q] = bgra[2], rows[q + 1] = bgra[1], rows[q + 2] = bgra[0];
        if (!opaque) rows[q + 3] = bgra[3];
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return kOutOfMemory;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> bytes;
    std::vector<png_bytep> pointers(h);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return kFail;
    }
    png_set_write_fn(png, &bytes, &AppendPng, nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (size_t y = 0; y < h; ++y) pointers[y] = rows.data() + y * w * channels;
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    out = std::move(bytes);
    return kOk;
}

HResult EncodeWithBackEnd(const Bgra& picture, ImageFileFormat format, std::vector<uint8_t>& out) {
    const int w = int(picture.width), h = int(picture.height);
    std::vector<uint8_t> bytes;
    switch (format) {
    case ImageFileFormat::BMP: EncodeBmp(picture, out); return kOk;
    case ImageFileFormat::TIFF: return EncodeTiff(picture, out);
    case ImageFileFormat::GIF: return EncodeGif(picture, out);
    case ImageFileFormat::PNG: return EncodePng(picture, out);
    case ImageFileFormat::JPEG: {
        std::vector<uint8_t> rgba = picture.pixels;
        SwapRedBlue(rgba);
        if (!stbi_write_jpg_to_func(AppendToVector, &bytes, w, h, 4, rgba.data(), kJpegQuality)) return kFail;
        out = std::move(bytes);
        return kOk;
    }
    default: return kNotSupported;
    }
}

} // namespace zelko::imagefile

#endif // _WIN32
