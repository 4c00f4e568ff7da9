// TGA reading and writing, the same on every platform (no system codec reads
// TGA). Every read is bounds-checked: TGA has no signature, so any bytes may
// arrive here.
#include <cstring>

#include "imaging/ImageFileCodec.h"

namespace zelko::imagefile {

namespace {

constexpr size_t kHeaderSize = 18;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// One source pixel of `bytes` bytes to B, G, R, A.
void ExpandPixel(const uint8_t* src, int bytes, bool hasAlpha16, uint8_t* dst) {
    switch (bytes) {
    case 1:
        dst[0] = dst[1] = dst[2] = src[0];
        dst[3] = 255;
        break;
    case 2: {
        uint16_t v = Le16(src);
        auto five = [](unsigned c) { return uint8_t((c << 3) | (c >> 2)); };
        dst[0] = five(v & 31);
        dst[1] = five((v >> 5) & 31);
        dst[2] = five((v >> 10) & 31);
        dst[3] = (!hasAlpha16 || (v & 0x8000)) ? 255 : 0;
        break;
    }
    case 3:
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 255;
        break;
    default: std::memcpy(dst, src, 4); break;
    }
}

} // namespace

HResult DecodeTga(const uint8_t* data, size_t size, Bgra& picture) {
    if (size < kHeaderSize) return kInvalidData;
    const uint8_t idLength = data[0];
    const uint8_t mapType = data[1];
    const uint8_t imageType = data[2];
    const uint16_t mapFirst = Le16(data + 3);
    const uint16_t mapLength = Le16(data + 5);
    const uint8_t mapBits = data[7];
    const size_t width = Le16(data + 12);
    const size_t height = Le16(data + 14);
    const uint8_t bits = data[16];
    const uint8_t descriptor = data[17];

    const bool rle = imageType >= 9;
    const int kind = imageType & 7; // 1 colour-mapped, 2 true colour, 3 grey
    if ((imageType & ~8) < 1 || (imageType & ~8) > 3 || mapType > 1) return kInvalidData;
    if (kind == 1 && (mapType != 1 || bits != 8)) return kInvalidData;
    if (kind == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return kInvalidData;
    if (kind == 3 && bits != 8) return kInvalidData;
    HResult hr = CheckDimensions(width, height);
    if (Failed(hr)) return hr;

    size_t pos = kHeaderSize + idLength;
    // Palette entries in BGRA; a map may also precede a true-colour image and
    // is then skipped.
    std::vector<uint8_t> palette;
    if (mapType == 1) {
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) return kInvalidData;
        const int entryBytes = (mapBits + 7) / 8;
        const size_t mapBytes = size_t(mapLength) * entryBytes;
        if (pos > size || size - pos < mapBytes) return kInvalidData;
        if (kind == 1) {
            palette.resize((size_t(mapFirst) + mapLength) * 4, 0);
            for (size_t i = 0; i < mapLength; ++i)
                ExpandPixel(data + pos + i * entryBytes, entryBytes, mapBits == 16, &palette[(mapFirst + i) * 4]);
        }
        pos += mapBytes;
    }

    const int pixelBytes = (bits + 7) / 8;
    // 16-bit pixels carry alpha only when the descriptor announces one bit.
    const bool alpha16 = (descriptor & 15) == 1;
    const size_t count = width * height;
    std::vector<uint8_t> raw(count * pixelBytes);
    if (!rle) {
        if (pos > size || size - pos < raw.size()) return kHandleEof;
        std::memcpy(raw.data(), data + pos, raw.size());
    } else {
        size_t filled = 0;
        while (filled < count) {
            if (pos >= size) return kHandleEof;
            const uint8_t packet = data[pos++];
            const size_t run = size_t(packet & 0x7F) + 1;
            if (run > count - filled) return kInvalidData;
            const size_t literal = (packet & 0x80) ? 1 : run;
            if (size - pos < literal * pixelBytes) return kHandleEof;
            for (size_t i = 0; i < run; ++i) {
                const uint8_t* src = data + pos + ((packet & 0x80) ? 0 : i * pixelBytes);
                std::memcpy(&raw[(filled + i) * pixelBytes], src, pixelBytes);
            }
            pos += literal * pixelBytes;
            filled += run;
        }
    }

    picture.width = width;
    picture.height = height;
    picture.pixels.assign(count * 4, 0);
    const bool rightToLeft = descriptor & 0x10;
    const bool topDown = descriptor & 0x20;
    // 32-bit files without alpha bits in the descriptor store padding there.
    const bool ignoreAlpha32 = bits == 32 && (descriptor & 15) == 0;
    for (size_t y = 0; y < height; ++y) {
        const size_t dy = topDown ? y : height - 1 - y;
        for (size_t x = 0; x < width; ++x) {
            const size_t dx = rightToLeft ? width - 1 - x : x;
            const uint8_t* src = &raw[(y * width + x) * pixelBytes];
            uint8_t* dst = &picture.pixels[(dy * width + dx) * 4];
            if (kind == 1) {
                const size_t index = src[0];
                if (index >= palette.size() / 4) return kInvalidData;
                std::memcpy(dst, &palette[index * 4], 4);
            } else {
                ExpandPixel(src, pixelBytes, alpha16, dst);
                if (ignoreAlpha32) dst[3] = 255;
            }
        }
    }
    return kOk;
}

void EncodeTga(const Bgra& picture, std::vector<uint8_t>& out) {
    out.assign(kHeaderSize, 0);
    out[2] = 2; // uncompressed true colour
    out[12] = uint8_t(picture.width);
    out[13] = uint8_t(picture.width >> 8);
    out[14] = uint8_t(picture.height);
    out[15] = uint8_t(picture.height >> 8);
    out[16] = 32;
    out[17] = 0x28; // 8 alpha bits, top-left origin
    out.insert(out.end(), picture.pixels.begin(), picture.pixels.end());
    // TGA 2.0 footer without extension or developer areas: tells readers the
    // alpha bits are real.
    static const char kFooter[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    out.insert(out.end(), kFooter, kFooter + sizeof(kFooter)); // includes the final NUL
}

} // namespace zelko::imagefile
