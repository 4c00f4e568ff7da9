#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/TextureFile.h"
#include "format/pack_builder.h"
#include "texture/PixelFormat.h"
#include "texture/TextureObject.h"

using namespace zelko;
using packtest::Bytes;
using packtest::Tex;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    return v;
}

Tex MakeTex(uint32_t hash, std::string name, uint32_t format, uint32_t w, uint32_t h, uint32_t mips, size_t bytes,
            uint8_t alpha = 0, uint8_t blend = 0) {
    Tex t;
    t.hash = hash, t.name = std::move(name), t.format = format, t.width = w, t.height = h, t.mips = mips;
    t.pixels = Pattern(bytes, hash), t.alphaMode = alpha, t.blendMode = blend;
    return t;
}

// Textures each version can hold; versions 4 and 5 add a palette texture.
std::vector<Tex> Sample(uint32_t v) {
    std::vector<Tex> texs = {MakeTex(0x100, "road", kFormatDXT1, 8, 8, 2, 40, 0, 0),
                             MakeTex(0x200, "sky_with_a_long_name", kFormatDXT5, 16, 8, 1, 128, 1, 2),
                             MakeTex(0x300, "sign", kFormatARGB, 4, 4, 3, 84, 2, 1)};
    if (v <= 5) {
        texs.push_back(MakeTex(0x400, "paletted", kFormatP8, 8, 4, 1, 32));
        texs.back().palette = Pattern(1024, 9);
        texs[0].formatFlag = 7;
    }
    return texs;
}

std::vector<uint8_t> Jdlz(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(JdlzCompressBound(bytes.size()));
    out.resize(CompressJdlz(bytes.data(), uint32_t(bytes.size()), out.data(), out.size()));
    return out;
}

void Load(TextureFile& file, const std::vector<uint8_t>& bytes) {
    ByteReader reader(bytes.data(), bytes.size());
    file.LoadFrom(0, reader);
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
    TextureFile file;
    try {
        Load(file, bytes);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

void ExpectMatches(const TextureObject& o, const Tex& t, uint32_t version) {
    SCOPED_TRACE(t.name + " in version " + std::to_string(version));
    EXPECT_EQ(o.hash, t.hash);
    EXPECT_EQ(o.name, t.name.substr(0, version <= 5 ? 23 : 35));
    EXPECT_EQ(o.format, PcFormatOf(t.format));
    EXPECT_EQ(o.width, t.width);
    EXPECT_EQ(o.height, t.height);
    EXPECT_EQ(o.mipCount, t.mips);
    EXPECT_EQ(o.alphaMode, t.alphaMode);
    EXPECT_EQ(o.blendMode, t.blendMode);
    EXPECT_EQ(o.formatRecordFlag, version <= 5 && t.formatFlag ? 1 : 0);
    const auto pixels = o.PixelView();
    EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.end()), t.pixels);
    EXPECT_EQ(o.palette, t.palette);
}

// Element i of a linear surface P elements wide goes to its tiled place, and
// every word is stored big-endian, as the Xbox 360 packs hold it.
std::vector<uint8_t> TileForXbox(const std::vector<uint8_t>& linear, uint32_t P, uint32_t rows, uint32_t e) {
    std::vector<uint8_t> tiled(linear.size());
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = 0; x < P; ++x) {
            const size_t to = size_t(e) * XboxTiledOffset(x, y, P, e);
            EXPECT_LE(to + e, tiled.size());
            std::copy_n(&linear[(size_t(y) * P + x) * e], e, &tiled[to]);
        }
    }
    const size_t word = e == 4 ? 4 : 2;
    for (size_t i = 0; i < tiled.size(); i += word) std::reverse(tiled.begin() + i, tiled.begin() + i + word);
    return tiled;
}

} // namespace

TEST(TextureFileRead, ReadsEveryPlainVersion) {
    for (uint32_t v : {4u, 5u, 8u, 9u, 10u}) {
        const std::vector<Tex> texs = Sample(v);
        const std::vector<uint8_t> bytes = packtest::PlainPack(v, texs);
        TextureFile file;
        Load(file, bytes);
        EXPECT_TRUE(file.loaded);
        EXPECT_EQ(file.version, v);
        EXPECT_EQ(file.packName, "Pack");
        EXPECT_EQ(file.packFileName, "PACK.BIN");
        EXPECT_FALSE(file.hasCompressedTable);
        ASSERT_EQ(file.textures.size(), texs.size()) << v;
        for (size_t i = 0; i < texs.size(); ++i) {
            ExpectMatches(*file.textures[i], texs[i], v);
            // dataOffset is the pixels' position in the pack.
            const uint32_t at = file.textures[i]->dataOffset;
            ASSERT_LE(at + texs[i].pixels.size(), bytes.size());
            EXPECT_TRUE(std::equal(texs[i].pixels.begin(), texs[i].pixels.end(), bytes.begin() + at));
            EXPECT_TRUE(file.textures[i]->gameRecord.empty());
        }
    }
}

TEST(TextureFileRead, ReadsEveryCompressedVersion) {
    for (uint32_t v : {4u, 5u, 8u, 9u, 10u}) {
        for (packtest::StreamMaker stream : {&packtest::RawwStream, &Jdlz}) {
            for (int pieces : {1, 3}) {
                const std::vector<Tex> texs = Sample(v);
                TextureFile file;
                file.keepGameRecords = true;
                Load(file, packtest::CompressedPack(v, texs, stream, pieces));
                EXPECT_TRUE(file.hasCompressedTable);
                ASSERT_EQ(file.textures.size(), texs.size()) << v;
                for (size_t i = 0; i < texs.size(); ++i) {
                    ExpectMatches(*file.textures[i], texs[i], v);
                    EXPECT_EQ(file.textures[i]->dataOffset, 0u);
                    EXPECT_EQ(file.textures[i]->gameRecord.size(), packtest::InfoSize(v));
                }
            }
        }
    }
}

TEST(TextureFileRead, ConvertsXbox360TexturesToLinear) {
    // 128x128 DXT1 and 32x32 ARGB: both 32 elements wide, one whole tile.
    const std::vector<uint8_t> dxt1 = Pattern(32 * 32 * 8, 1), argb = Pattern(32 * 32 * 4, 2);
    Tex a = MakeTex(0x10, "xdxt1", kXboxTiledDXT1, 128, 128, 1, 0);
    Tex b = MakeTex(0x20, "xargb", kXboxTiledARGB, 32, 32, 1, 0);
    a.pixels = TileForXbox(dxt1, 32, 32, 8);
    b.pixels = TileForXbox(argb, 32, 32, 4);
    for (bool compressed : {false, true}) {
        TextureFile file;
        const uint32_t v = compressed ? 9 : 5;
        Load(file, compressed ? packtest::CompressedPack(v, {a, b}, &packtest::RawwStream)
                              : packtest::PlainPack(v, {a, b}));
        ASSERT_EQ(file.textures.size(), 2u);
        const TextureObject& t0 = *file.textures[0];
        const TextureObject& t1 = *file.textures[1];
        EXPECT_EQ(t0.format, kFormatDXT1);
        EXPECT_EQ(t1.format, kFormatARGB);
        EXPECT_EQ(t0.fromXbox360, 1u);
        EXPECT_EQ(std::vector<uint8_t>(t0.pixels.get(), t0.pixels.get() + t0.pixelsSize), dxt1);
        EXPECT_EQ(std::vector<uint8_t>(t1.pixels.get(), t1.pixels.get() + t1.pixelsSize), argb);
        if (!compressed) {
            EXPECT_EQ(t0.dataOffset % 4096, 0u);
        }
    }
}

TEST(TextureFileRead, ReadsOneRecordPerEntryWhateverTheChunkSizes) {
    const std::vector<Tex> texs = Sample(8);
    std::vector<uint8_t> bytes = packtest::PlainPack(8, texs);
    Bytes p{bytes};
    // The info chunk claims to cover the format chunk too (detection steps
    // over both); the format chunk claims 7 bytes.
    size_t info = 0;
    while (p.data[info] != 0x04 || p.data[info + 3] != 0x33) ++info;
    const uint32_t infoSize = LoadU32(&p.data[info + 4]);
    const size_t format = info + 8 + infoSize;
    p.Put32(info + 4, infoSize + 8 + LoadU32(&p.data[format + 4]));
    p.Put32(format + 4, 7);
    TextureFile file;
    Load(file, p.data);
    ASSERT_EQ(file.textures.size(), 3u);
    for (size_t i = 0; i < 3; ++i) ExpectMatches(*file.textures[i], texs[i], 8);
}

TEST(TextureFileRead, DataStartsOnTheNext128AndXboxPixelsOn4096) {
    // One version 5 texture at data offset 0; the pixel-data header ends at
    // `headerEnd`, so the data start is that rounded up to 128.
    auto pack = [](uint32_t format, size_t headerEnd) {
        Tex t = MakeTex(0x77, "t", format, 8, 8, 1, 64);
        Bytes p;
        p.Open(0xB3300000), p.Open(0xB3310000);
        p.U32(0x33310001), p.U32(124), p.U32(5), p.Fill(0, 120);
        p.U32(0x33310002), p.U32(8), p.U32(0x77), p.U32(0);
        p.U32(0x33310004), p.U32(124), p.Raw(packtest::InfoRecord(5, t, 0, 0));
        p.U32(0x33310005), p.U32(32), p.Raw(packtest::FormatRecord(5, t));
        p.Open(0xB3320000);
        const size_t pad = p.Open(0);
        p.FillTo(headerEnd - 8);
        p.Close(pad);
        p.Open(0x33320002);
        p.FillTo(0x2100);
        for (size_t i = 0; i < 0x2100; i += 0x40) p.data[i] = uint8_t(i >> 6);
        return p.data;
    };
    for (auto [headerEnd, start] : {std::pair<size_t, uint32_t>{0x1040, 0x1080}, {0x1080, 0x1080}, {0x1081, 0x1100}}) {
        const std::vector<uint8_t> bytes = pack(kFormatDXT5, headerEnd);
        TextureFile file;
        Load(file, bytes);
        ASSERT_EQ(file.textures.size(), 1u);
        EXPECT_EQ(file.textures[0]->dataOffset, start);
        EXPECT_EQ(file.textures[0]->pixels[0], bytes[start]);
    }
    TextureFile xbox;
    Load(xbox, pack(kXboxTiledDXT5, 0x1040));
    EXPECT_EQ(xbox.textures[0]->dataOffset, 0x2000u);
}

TEST(TextureFileRead, CompressedPackReadsTheTableOnly) {
    std::vector<Tex> texs = Sample(8);
    texs[1].infoHash = 0x999;  // the compressed pack takes the info record's hash
    std::vector<uint8_t> bytes = packtest::CompressedPack(8, texs, &packtest::RawwStream);
    Bytes p{bytes};
    // The table keeps two records; the third one's bytes become a chunk that
    // detection steps over and that the reader never reaches.
    size_t table = 0;
    while (LoadU32(&p.data[table]) != 0x33310003) ++table;
    p.Put32(table + 4, 2 * 24);
    p.Put32(table + 8 + 48, 0x33310004);
    p.Put32(table + 8 + 52, 16);
    TextureFile file;
    Load(file, p.data);
    ASSERT_EQ(file.textures.size(), 2u);
    EXPECT_EQ(file.textures[1]->hash, 0x999u);

    // Uncompressed, the hash list wins over the info record.
    TextureFile plain;
    Load(plain, packtest::PlainPack(8, texs));
    EXPECT_EQ(plain.textures[1]->hash, 0x200u);
}

TEST(TextureFileRead, VersionsWithoutALayoutLoadNoTextures) {
    for (uint32_t v : {6u, 7u}) {
        std::vector<uint8_t> plain = packtest::PlainPack(5, Sample(5));
        std::vector<uint8_t> compressed = packtest::CompressedPack(5, Sample(5), &packtest::RawwStream);
        for (std::vector<uint8_t>* bytes : {&plain, &compressed}) {
            StoreU32(bytes->data() + 24, v);  // root, group, header chunk: version at 24
            TextureFile file;
            Load(file, *bytes);
            EXPECT_EQ(file.version, v);
            EXPECT_TRUE(file.textures.empty());
        }
    }
}

TEST(TextureFileRead, SkipsPaletteRecordsOfVersions8And9) {
    for (uint32_t v : {8u, 9u}) {
        std::vector<Tex> texs = Sample(v);
        texs[1].palette = Pattern(64, 3);
        TextureFile file;
        Load(file, packtest::PlainPack(v, texs));
        ASSERT_EQ(file.textures.size(), 2u);
        EXPECT_EQ(file.textures[1]->hash, texs[2].hash);
    }
}

TEST(TextureFileRead, KeepsRecordsAndPacksPixelsWhenAsked) {
    const std::vector<Tex> texs = Sample(10);
    const std::vector<uint8_t> bytes = packtest::PlainPack(10, texs);
    TextureFile file;
    file.keepGameRecords = true;
    file.packInMemory = true;
    Load(file, bytes);
    ASSERT_EQ(file.textures.size(), 3u);
    EXPECT_TRUE(file.textures[0]->pixelsPacked);
    ExpectMatches(*file.textures[0], texs[0], 10);
    // The copy is the record as it lies in the pack.
    const std::vector<uint8_t>& record = file.textures[2]->gameRecord;
    ASSERT_EQ(record.size(), 144u);
    EXPECT_EQ(LoadU32(&record[0x0C]), texs[2].hash);
    EXPECT_EQ(record[0x38], texs[2].blendMode);
    EXPECT_EQ(record[0x39], texs[2].alphaMode);
}

TEST(TextureFileRead, Version4TableWithoutCompressedBytesIsAPlainPack) {
    const std::vector<Tex> texs = Sample(4);
    TextureFile file;
    Load(file, packtest::PlainPack(4, texs, true));
    EXPECT_FALSE(file.hasCompressedTable);
    ASSERT_EQ(file.textures.size(), texs.size());
    for (size_t i = 0; i < texs.size(); ++i) ExpectMatches(*file.textures[i], texs[i], 4);
}

TEST(TextureFileRead, RawCompressedDataStartsTheDataSection) {
    Tex t = MakeTex(0x55, "raw", kFormatDXT1, 4, 4, 1, 8);
    Bytes p;
    p.Open(0xB3300000), p.Open(0xB3310000);
    p.U32(0x33310001), p.U32(124), p.U32(5), p.Fill(0, 120);
    p.U32(0x33310002), p.U32(8), p.U32(0x55), p.U32(0);
    p.U32(0x33310004), p.U32(124), p.Raw(packtest::InfoRecord(5, t, 0, 0));
    p.U32(0x33310005), p.U32(32), p.Raw(packtest::FormatRecord(5, t));
    p.Raw({'J', 'D', 'L', 'Z', 2, 0x10, 0, 0});
    p.FillTo((p.size() + 127) / 128 * 128);
    p.Raw(t.pixels);
    TextureFile file;
    Load(file, p.data);
    ASSERT_EQ(file.textures.size(), 1u);
    ExpectMatches(*file.textures[0], t, 5);
}

TEST(TextureFileRead, EntryWithoutRecordsIsAnError) {
    const std::vector<Tex> texs = Sample(9);
    std::vector<uint8_t> bytes = packtest::PlainPack(9, texs);
    // A second hash list after the records: its entry has neither record.
    Bytes p{bytes};
    size_t data = 0;
    while (LoadU32(&p.data[data]) != 0xB3320000) ++data;
    Bytes extra;
    extra.U32(0x33310002), extra.U32(8), extra.U32(0x500), extra.U32(0);
    p.data.insert(p.data.begin() + data, extra.data.begin(), extra.data.end());
    EXPECT_EQ(LoadError(p.data), "Missing texture record");

    // A pack without a format chunk.
    Bytes q{packtest::PlainPack(9, texs)};
    size_t format = 0;
    while (LoadU32(&q.data[format]) != 0x33310005) ++format;
    q.Put32(format, 0);  // now a padding chunk
    EXPECT_EQ(LoadError(q.data), "Missing texture record");
}
