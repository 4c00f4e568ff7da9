#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "format/pack_builder.h"
#include "texture/PixelFormat.h"
#include "texture/TextureObject.h"

using namespace zelko;
using namespace packtest;

namespace {

Tex MakeTex(uint32_t hash, std::string name, uint32_t format, uint32_t w, uint32_t h, uint32_t mips, size_t bytes,
            uint8_t alpha = 0, uint8_t blend = 0) {
    Tex t;
    t.hash = hash, t.name = std::move(name), t.format = format, t.width = w, t.height = h, t.mips = mips;
    t.pixels = Pattern(bytes, hash), t.alphaMode = alpha, t.blendMode = blend;
    return t;
}

Tex Small(uint32_t hash, uint32_t format = kFormatDXT1, uint32_t w = 8, uint32_t h = 8, uint32_t mips = 1) {
    return MakeTex(hash, std::to_string(hash).insert(0, 1, 'T'), format, w, h, mips, 32);
}

// Textures each version can hold; versions 4 and 5 add a palette texture.
std::vector<Tex> Sample(uint32_t v) {
    std::vector<Tex> texs = {MakeTex(0x100, "road", kFormatDXT1, 8, 8, 2, 40),
                             MakeTex(0x200, "sky_with_a_long_name", kFormatDXT5, 16, 8, 1, 128, 1, 2),
                             MakeTex(0x300, "sign", kFormatARGB, 4, 4, 3, 84, 2, 1)};
    if (v <= 5) {
        texs.push_back(MakeTex(0x400, "paletted", kFormatP8, 8, 4, 1, 32));
        texs.back().palette = Pattern(1024, 9);
        texs[0].formatFlag = 7;
    }
    return texs;
}

void ExpectMatches(const TextureFile& file, const std::vector<Tex>& texs, uint32_t v) {
    ASSERT_EQ(file.textures.size(), texs.size()) << v;
    for (size_t i = 0; i < texs.size(); ++i) {
        const TextureObject& o = *file.textures[i];
        const Tex& t = texs[i];
        const auto pixels = o.PixelView();
        EXPECT_EQ(std::tuple(o.hash, o.name, o.format, o.width, o.height, o.mipCount, o.alphaMode, o.blendMode,
                             int(o.formatRecordFlag), std::vector<uint8_t>(pixels.begin(), pixels.end()), o.palette),
                  std::tuple(t.hash, t.name.substr(0, v <= 5 ? 23 : 35), PcFormatOf(t.format), t.width, t.height,
                             t.mips, t.alphaMode, t.blendMode, v <= 5 && t.formatFlag ? 1 : 0, t.pixels, t.palette))
            << t.name << " in version " << v;
    }
}

// Linear elements to their tiled places, each word big-endian, as Xbox 360 packs hold them.
std::vector<uint8_t> TileForXbox(const std::vector<uint8_t>& linear, uint32_t P, uint32_t rows, uint32_t e) {
    std::vector<uint8_t> tiled(linear.size());
    std::set<uint32_t> places;
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < P; ++x) {
            const uint32_t t = XboxTiledOffset(x, y, P, e);
            places.insert(t);
            if (t < P * rows) std::copy_n(&linear[(size_t(y) * P + x) * e], e, &tiled[size_t(e) * t]);
        }
    EXPECT_TRUE(places.size() == P * rows && *places.rbegin() < P * rows) << "tiling must be a permutation";
    const size_t word = e == 4 ? 4 : 2;
    for (size_t i = 0; i < tiled.size(); i += word) std::reverse(tiled.begin() + i, tiled.begin() + i + word);
    return tiled;
}

std::string LoadError(const std::vector<uint8_t>& bytes, size_t* count = nullptr) {
    TextureFile file;
    file.packInMemory = true;
    const std::string error = TryLoad(file, bytes);
    if (count) *count = file.textures.size();
    return error;
}

} // namespace

TEST(TextureFileRead, ReadsEveryVersionPlainAndCompressedAndSkipsPaletteRecords) {
    for (uint32_t v : {4u, 5u, 8u, 9u, 10u}) {
        const std::vector<Tex> texs = Sample(v);
        const std::vector<uint8_t> bytes = PlainPack(v, texs);
        TextureFile file;
        ASSERT_EQ(TryLoad(file, bytes), "");
        EXPECT_EQ(std::tuple(file.version, file.packName, file.packFileName, file.hasCompressedTable),
                  std::tuple(v, "Pack", "PACK.BIN", false));
        ExpectMatches(file, texs, v);
        for (size_t i = 0; i < texs.size(); ++i) // dataOffset is the pixels' position in the pack
            EXPECT_TRUE(
                std::equal(texs[i].pixels.begin(), texs[i].pixels.end(), bytes.begin() + file.textures[i]->dataOffset));
        for (StreamMaker stream : {&RawwStream, &Jdlz}) {
            for (int pieces : {1, 3}) {
                TextureFile packed;
                packed.keepGameRecords = true;
                ASSERT_EQ(TryLoad(packed, CompressedPack(v, texs, stream, pieces)), "");
                EXPECT_TRUE(packed.hasCompressedTable);
                ExpectMatches(packed, texs, v);
                EXPECT_EQ(packed.textures[0]->gameRecord.size(), InfoSize(v));
            }
        }
    }
    // Palette records of versions 8 and 9 are skipped.
    for (uint32_t v : {8u, 9u}) {
        std::vector<Tex> texs = Sample(v);
        texs[1].palette = Pattern(64, 3);
        TextureFile file;
        ASSERT_EQ(TryLoad(file, PlainPack(v, texs)), "");
        ASSERT_EQ(file.textures.size(), 2u);
        EXPECT_EQ(file.textures[1]->hash, texs[2].hash);
    }
    // An entry without its format record.
    std::vector<uint8_t> noFormat = PlainPack(9, Sample(9));
    StoreU32(&noFormat[Find(noFormat, 0x33310005)], 0); // now a padding chunk
    EXPECT_EQ(LoadError(noFormat), "Missing texture record");
}

TEST(TextureFileRead, ConvertsXbox360TexturesToLinear) {
    // 256x256 DXT1, 64 blocks wide: 2x2 tiles; 32x32 ARGB: one whole tile.
    const std::vector<uint8_t> dxt1 = Pattern(64 * 64 * 8, 1), argb = Pattern(32 * 32 * 4, 2);
    Tex a = MakeTex(0x10, "xdxt1", kXboxTiledDXT1, 256, 256, 1, 0),
        b = MakeTex(0x20, "xargb", kXboxTiledARGB, 32, 32, 1, 0);
    a.pixels = TileForXbox(dxt1, 64, 64, 8);
    b.pixels = TileForXbox(argb, 32, 32, 4);
    for (bool compressed : {false, true}) {
        TextureFile file;
        ASSERT_EQ(TryLoad(file, compressed ? CompressedPack(9, {a, b}, &RawwStream) : PlainPack(5, {a, b})), "");
        ASSERT_EQ(file.textures.size(), 2u);
        const TextureObject &t0 = *file.textures[0], &t1 = *file.textures[1];
        EXPECT_EQ(std::tuple(t0.format, t1.format, t0.fromXbox360), std::tuple(kFormatDXT1, kFormatARGB, 1u));
        EXPECT_EQ(std::vector<uint8_t>(t0.pixels.get(), t0.pixels.get() + t0.pixelsSize), dxt1);
        EXPECT_EQ(std::vector<uint8_t>(t1.pixels.get(), t1.pixels.get() + t1.pixelsSize), argb);
        if (!compressed) {
            EXPECT_EQ(t0.dataOffset % 4096, 0u);
        }
    }
}

TEST(TextureFileMalformed, ReportsThePacksMessages) {
    EXPECT_EQ(LoadError({0x00, 0x00, 0x31, 0xB3, 0, 0, 0, 0}), "File is not a texture archive.");
    EXPECT_EQ(LoadError({}), "End of file");
    Bytes noHeader;
    noHeader.U32(0xB3300000), noHeader.U32(0), noHeader.U32(0x33320002), noHeader.U32(0);
    EXPECT_EQ(LoadError(noHeader.data), "Unable to detect game version.");

    // The reader's own check, and one of the texture record's (each is checked where records are made).
    size_t count = 0;
    const std::pair<Tex, const char*> bad[] = {{Small(0), "invalid hash"},
                                               {Small(2, kFormatDXT1, 0, 8), "Invalid width"}};
    for (const auto& [t, message] : bad) {
        EXPECT_EQ(LoadError(PlainPack(8, {Small(1), t}), &count), message);
        EXPECT_EQ(count, 1u) << "the texture before the bad one stays";
    }
    EXPECT_EQ(LoadError(CompressedPack(10, {Small(0)}, &Jdlz)), "invalid hash");
}

TEST(TextureFileMalformed, TruncatedPacksFailCleanly) {
    // Every message the reader has for a damaged pack, each between bars.
    const std::string messages =
        "|End of file|File is not a texture archive.|Unable to detect game version.|Unexpected data type|"
        "Decompression failed|Missing texture record|invalid hash|Invalid width|Invalid height|"
        "Invalid mip map count|Not supported texture format|";
    const std::vector<Tex> texs = {Small(1), Small(2, kFormatARGB, 4, 2)};
    for (uint32_t v : {4u, 5u, 8u, 9u, 10u}) {
        for (const std::vector<uint8_t>& pack : {PlainPack(v, texs), CompressedPack(v, texs, &Jdlz)}) {
            ASSERT_EQ(LoadError(pack), "");
            const bool plain = Find(pack, 0x33310003) == SIZE_MAX;
            for (size_t n = 0; n < pack.size(); ++n) {
                // A cut compressed block may still decode to zeros; a cut plain pack always fails.
                const std::string error = LoadError(std::vector<uint8_t>(pack.begin(), pack.begin() + n));
                EXPECT_TRUE(error.empty() ? !plain : messages.find("|" + error + "|") != std::string::npos)
                    << v << ": " << error << " at " << n;
            }
        }
    }
}

TEST(TextureFileMalformed, SizesCountsBlocksPastTheEndAndCorruptBlocks) {
    for (uint32_t id : {0x33310002u, 0x33320001u, 0x33310004u}) {
        std::vector<uint8_t> pack = PlainPack(5, {Small(1)});
        StoreU32(&pack[Find(pack, id) + 4], 0x7FFFFFF8);
        EXPECT_EQ(LoadError(pack), "End of file");
    }
    std::vector<uint8_t> farPixels = PlainPack(10, {Small(1)});
    StoreU32(&farPixels[Find(farPixels, 0x33310004) + 8 + 0x50], 0xFFFFFFF0);
    EXPECT_EQ(LoadError(farPixels), "End of file");
    // Table: too many records, a far block, a buffer too small and one too large.
    const std::vector<uint8_t> compressed = CompressedPack(8, {Small(1)}, &Jdlz);
    const size_t table = Find(compressed, 0x33310003);
    const std::tuple<size_t, uint32_t, const char*> edits[] = {{4, 24 * 1000, "End of file"},
                                                               {8 + 4, 0xFFFFFF00, "End of file"},
                                                               {8 + 12, 100, "End of file"},
                                                               {8 + 12, 0xFFFFFFF0, "Decompression failed"}};
    for (const auto& [at, value, message] : edits) {
        std::vector<uint8_t> bad = compressed;
        StoreU32(&bad[table + at], value);
        EXPECT_EQ(LoadError(bad), message) << at;
    }
    // Corrupt compressed blocks.
    for (uint32_t v : {4u, 5u}) { // the stream's header check fails
        std::vector<uint8_t> pack = CompressedPack(v, {Small(1)}, &Jdlz);
        pack[Find(pack, 0x5A4C444A) + 4] = 3;
        EXPECT_EQ(LoadError(pack), "Decompression failed") << v;
    }
    // Nothing decodes, so the zeroed records have no hash.
    std::vector<uint8_t> v8 = CompressedPack(8, {Small(1)}, &Jdlz);
    v8[Find(v8, 0x5A4C444A)] = 'X';
    EXPECT_EQ(LoadError(v8), "invalid hash");
    // A piece that claims no input ends the run instead of looping.
    std::vector<uint8_t> stuck = CompressedPack(10, {Small(1)}, &RawwStream, 2);
    StoreU32(&stuck[Find(stuck, 0x55441122) + 8], 0);
    EXPECT_EQ(LoadError(stuck), "Not supported texture format");
}
