#pragma once
// Texture packs built byte by byte from the layout tables, without the pack
// writer, so that reader tests do not inherit the writer's view of a layout.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "error_text.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/NameHash.h"
#include "format/TextureFile.h"
#include "texture/TextureObject.h"

namespace packtest {

struct Bytes {
    std::vector<uint8_t> data;
    size_t size() const { return data.size(); }
    void U8(uint8_t v) { data.push_back(v); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(uint8_t(v >> (8 * i)));
    }
    void Raw(const std::vector<uint8_t>& v) { data.insert(data.end(), v.begin(), v.end()); }
    void Fill(uint8_t v, size_t n) { data.insert(data.end(), n, v); }
    void FillTo(size_t position, uint8_t v = 0) {
        if (position > size()) Fill(v, position - size());
    }
    void Put32(size_t at, uint32_t v) { zelko::StoreU32(&data[at], v); }
    void Put16(size_t at, uint16_t v) { data[at] = uint8_t(v), data[at + 1] = uint8_t(v >> 8); }
    size_t Open(uint32_t id) {
        size_t at = size();
        U32(id), U32(0);
        return at;
    }
    void Close(size_t at) { Put32(at + 4, uint32_t(size() - at - 8)); }
};

struct Tex {
    uint32_t hash = 0;
    std::string name;
    uint32_t format = 0, width = 0, height = 0, mips = 1;
    std::vector<uint8_t> pixels{}, palette{};
    uint8_t alphaMode = 0, blendMode = 0;
    uint32_t formatFlag = 0; // versions 4 and 5
};

inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    return v;
}
// Bytes of all mip levels: 4x4 blocks of 8 or 16 bytes, or bytes per pixel.
inline uint32_t ImageSize(uint32_t format, uint32_t w, uint32_t h, uint32_t mips) {
    uint32_t total = 0;
    for (uint32_t m = 0; m < mips; ++m, w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        total += format == zelko::kFormatARGB ? w * h * 4
            : format == zelko::kFormatP8
            ? w * h
            : ((w + 3) / 4) * ((h + 3) / 4) * (format == zelko::kFormatDXT1 || format == zelko::kFormatATI1 ? 8 : 16);
    return total;
}

// A record for the pack writer, named and hashed `name`, of pattern pixels;
// P8 comes with a full palette.
inline std::unique_ptr<zelko::TextureObject> MakeTexture(const std::string& name, uint32_t format, uint32_t w,
                                                         uint32_t h, uint32_t mips = 1, bool packed = false) {
    const std::vector<uint8_t> pixels = Pattern(ImageSize(format, w, h, mips), zelko::NameHash(name));
    const std::vector<uint8_t> palette = format == zelko::kFormatP8 ? Pattern(1024, 5) : std::vector<uint8_t>();
    auto t = zelko::TextureObject::Create(
        {w, h, format, mips, pixels.data(), uint32_t(pixels.size()), palette.data(), uint32_t(palette.size()), 1},
        packed);
    t->name = name;
    t->hash = zelko::NameHash(name);
    return t;
}

inline std::vector<uint8_t> Jdlz(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(zelko::JdlzCompressBound(bytes.size()));
    out.resize(zelko::CompressJdlz(bytes.data(), uint32_t(bytes.size()), out.data(), out.size()));
    return out;
}

// Loads from an exact-size copy, so reads past it are caught; returns the error.
inline std::string TryLoad(zelko::TextureFile& file, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    zelko::ByteReader reader;
    reader.Adopt(std::move(copy), bytes.size());
    return ErrorText([&] { file.Load(reader); });
}

inline size_t Find(const std::vector<uint8_t>& bytes, uint32_t id) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (zelko::LoadU32(&bytes[i]) == id) return i;
    return SIZE_MAX;
}

inline uint32_t InfoSize(uint32_t v) { return v <= 5 ? 124 : v == 10 ? 144 : 88; }

// The info record; offsets relative to the data start.
inline std::vector<uint8_t> InfoRecord(uint32_t v, const Tex& t, uint32_t dataOffset, uint32_t paletteOffset) {
    Bytes r;
    r.Fill(0, InfoSize(v));
    const uint32_t pixels = uint32_t(t.pixels.size()), palette = uint32_t(t.palette.size());
    if (v <= 5) {
        std::memcpy(r.data.data() + 0x0C, t.name.data(), std::min<size_t>(t.name.size(), 23));
        r.Put32(0x24, t.hash), r.Put32(0x28, 0x1A93CF), r.Put32(0x30, dataOffset), r.Put32(0x34, paletteOffset);
        r.Put32(0x38, pixels), r.Put32(0x3C, palette), r.Put16(0x44, uint16_t(t.width));
        r.Put16(0x46, uint16_t(t.height)), r.Put16(0x4C, uint16_t(palette / 4));
        r.data[0x4E] = uint8_t(t.mips), r.data[0x55] = t.alphaMode, r.data[0x56] = t.blendMode, r.data[0x57] = 1;
    } else if (v <= 9) {
        r.Put32(0x0C, t.hash), r.Put32(0x10, 0x1A93CF), r.Put32(0x14, dataOffset), r.Put32(0x18, paletteOffset);
        r.Put32(0x1C, pixels), r.Put32(0x20, palette), r.Put16(0x28, uint16_t(t.width));
        r.Put16(0x2A, uint16_t(t.height));
        r.data[0x32] = uint8_t(t.mips), r.data[0x39] = t.alphaMode, r.data[0x3A] = t.blendMode;
    } else {
        r.Put32(0x0C, t.hash), r.Put32(0x10, 0x1A93CF), r.Put32(0x14, 0x1883E244), r.Put32(0x18, pixels);
        r.Put32(0x20, t.width), r.Put32(0x24, t.height), r.Put32(0x4C, pixels), r.Put32(0x50, dataOffset);
        r.data[0x31] = uint8_t(t.mips), r.data[0x38] = t.blendMode, r.data[0x39] = t.alphaMode;
    }
    return r.data;
}

inline std::vector<uint8_t> FormatRecord(uint32_t v, const Tex& t) {
    Bytes r;
    r.Fill(0, v == 8 || v == 9 ? 24 : 32);
    if (v <= 5)
        r.Put32(0x08, t.formatFlag), r.Put32(0x0C, 5), r.Put32(0x10, 6), r.Put32(0x14, t.format);
    else
        r.Put32(0x0C, t.format);
    return r.data;
}

// Length byte and name: `area` bytes in compressed buffers, else the name and NUL.
inline std::vector<uint8_t> NameField(const std::string& name, size_t area = 0) {
    const size_t length = area ? area - 1 : name.size() + 1, kept = std::min(name.size(), length);
    std::vector<uint8_t> r(1 + length, 0);
    r[0] = uint8_t(area ? kept : length);
    std::copy_n(name.begin(), kept, r.begin() + 1);
    return r;
}

inline bool IsXbox(uint32_t format) {
    return format == 0x18280086 || format == 0x18280186 || (format >= 0x1A200152 && format <= 0x1A200154);
}

// Header group (header, hash list, info, format); data group ([World marker],
// data header, data). Palette then pixels start on a multiple of 128 (4096 for Xbox 360).
inline std::vector<uint8_t> PlainPack(uint32_t v, const std::vector<Tex>& texs) {
    Bytes p;
    const size_t root = p.Open(0xB3300000), group = p.Open(0xB3310000), header = p.Open(0x33310001);
    p.U32(v), p.Raw({'P', 'a', 'c', 'k'}), p.FillTo(header + 8 + 0x20);
    p.Raw({'P', 'A', 'C', 'K', '.', 'B', 'I', 'N'}), p.FillTo(header + 8 + 124);
    p.Close(header);
    const size_t hashes = p.Open(0x33310002);
    for (const Tex& t : texs) p.U32(t.hash), p.U32(0);
    p.Close(hashes);
    std::vector<size_t> infoAt;
    const size_t info = p.Open(0x33310004);
    for (const Tex& t : texs) {
        infoAt.push_back(p.size());
        p.Raw(InfoRecord(v, t, 0, 0));
        if (v >= 8) p.Raw(NameField(t.name));
    }
    p.Close(info);
    const size_t format = p.Open(0x33310005);
    for (const Tex& t : texs) p.Raw(FormatRecord(v, t));
    p.Close(format), p.Close(group);
    const size_t dataGroup = p.Open(0xB3320000);
    if (v == 10) p.U32(0x33330001), p.U32(4), p.U32(0);
    p.U32(0x33320001), p.U32(24), p.Fill(0, 24);
    const size_t data = p.Open(0x33320002);
    p.FillTo((p.size() + 127) / 128 * 128, 0x11);
    const size_t dataStart = p.size();
    for (size_t i = 0; i < texs.size(); ++i) {
        const Tex& t = texs[i];
        const size_t align = v == 5 && IsXbox(t.format) ? 4096 : 128;
        p.FillTo((p.size() + 127) / 128 * 128);
        const uint32_t recorded = uint32_t(p.size() - dataStart); // the reader pads Xbox 360 pixels to 4096
        p.FillTo((p.size() + align - 1) / align * align);
        const uint32_t paletteOffset = align == 4096 ? recorded : uint32_t(p.size() - dataStart);
        p.Raw(t.palette);
        const uint32_t dataOffset = paletteOffset + uint32_t(t.palette.size());
        p.Raw(t.pixels);
        if (v <= 5) p.Put32(infoAt[i] + 0x30, dataOffset), p.Put32(infoAt[i] + 0x34, paletteOffset);
        if (v == 8 || v == 9) p.Put32(infoAt[i] + 0x14, dataOffset), p.Put32(infoAt[i] + 0x18, paletteOffset);
        if (v == 10) p.Put32(infoAt[i] + 0x50, dataOffset);
    }
    p.Close(data), p.Close(dataGroup), p.Close(root);
    return p.data;
}

inline std::vector<uint8_t> RawwStream(const std::vector<uint8_t>& bytes) {
    Bytes s;
    s.Raw({'R', 'A', 'W', 'W', 1, 0, 0, 0}), s.U32(uint32_t(bytes.size())), s.U32(uint32_t(bytes.size() + 16));
    s.Raw(bytes);
    return s.data;
}

using StreamMaker = std::vector<uint8_t> (*)(const std::vector<uint8_t>&);

// The uncompressed buffer of one texture in a compressed pack of version v.
inline std::vector<uint8_t> TextureBuffer(uint32_t v, const Tex& t) {
    Bytes b;
    if (v == 9) {
        b.Raw(InfoRecord(v, t, 0, 0)), b.Raw(NameField(t.name, 36)), b.Raw(FormatRecord(v, t));
        b.FillTo(IsXbox(t.format) ? 4096 : 256);
        b.Raw(t.pixels);
        return b.data;
    }
    b.Raw(t.pixels), b.Raw(t.palette), b.Raw(InfoRecord(v, t, 0, uint32_t(t.pixels.size())));
    if (v != 5) b.Raw(NameField(t.name, 36));
    b.Raw(FormatRecord(v, t));
    return b.data;
}

// Header group (header, hash list, table [, info, format for version 4]); data
// group (data header, blocks). Blocks of versions 8 to 10 come in `pieces` pieces.
inline std::vector<uint8_t> CompressedPack(uint32_t v, const std::vector<Tex>& texs, StreamMaker stream,
                                           int pieces = 1) {
    const uint32_t recordSize = v == 4 ? 20 : v == 10 ? 36 : 24;
    Bytes p;
    const size_t root = p.Open(0xB3300000), group = p.Open(0xB3310000), header = p.Open(0x33310001);
    p.U32(v), p.Fill(0, 120), p.Close(header);
    const size_t hashes = p.Open(0x33310002);
    for (const Tex& t : texs) p.U32(t.hash), p.U32(0);
    p.Close(hashes);
    const size_t table = p.Open(0x33310003);
    p.Fill(0, recordSize * texs.size()), p.Close(table);
    if (v == 4) {
        const size_t info = p.Open(0x33310004);
        uint32_t running = 0;
        for (const Tex& t : texs) {
            p.Raw(InfoRecord(v, t, running, running + uint32_t(t.pixels.size())));
            running += uint32_t(t.pixels.size() + t.palette.size());
        }
        p.Close(info);
        const size_t format = p.Open(0x33310005);
        for (const Tex& t : texs) p.Raw(FormatRecord(v, t));
        p.Close(format);
    }
    p.Close(group);
    const size_t dataGroup = p.Open(0xB3320000);
    p.U32(0x33320001), p.U32(24), p.Fill(0, 24);
    const size_t data = p.Open(0x33320002);
    for (size_t i = 0; i < texs.size(); ++i) {
        const Tex& t = texs[i];
        std::vector<uint8_t> buffer = v == 4 ? t.pixels : TextureBuffer(v, t);
        if (v == 4) buffer.insert(buffer.end(), t.palette.begin(), t.palette.end());
        const size_t record = table + 8 + recordSize * i, block = p.size();
        p.Put32(record, t.hash), p.Put32(record + 4, uint32_t(block));
        if (v <= 5) p.Raw(stream(buffer));
        for (int k = 0, n = int(buffer.size()); v > 5 && k < pieces; ++k) {
            const size_t from = size_t(n) * k / pieces, to = size_t(n) * (k + 1) / pieces;
            const std::vector<uint8_t> part(buffer.begin() + from, buffer.begin() + to), s = stream(part);
            p.U32(0x55441122), p.U32(uint32_t(part.size())), p.U32(uint32_t(s.size() + 24));
            p.U32(uint32_t(from)), p.U32(0), p.U32(0), p.Raw(s);
        }
        p.Put32(record + 8, uint32_t(p.size() - block));
        p.Put32(record + 12, v == 4 ? 256 : uint32_t(buffer.size()));
    }
    p.Close(data), p.Close(dataGroup), p.Close(root);
    return p.data;
}

} // namespace packtest
