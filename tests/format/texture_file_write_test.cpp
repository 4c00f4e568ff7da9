#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/TextureFile.h"
#include "format/pack_builder.h"
#include "texture/Image.h"
#include "texture/TextureObject.h"

using namespace zelko;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    return v;
}

// Bytes of all mip levels: 4x4 blocks of 8 or 16 bytes, or 4 bytes per pixel.
uint32_t ImageSize(uint32_t format, uint32_t w, uint32_t h, uint32_t mips) {
    uint32_t total = 0;
    for (uint32_t m = 0; m < mips; ++m, w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
        const uint32_t blocks = ((w + 3) / 4) * ((h + 3) / 4);
        total += format == kFormatARGB ? w * h * 4 : format == kFormatP8 ? w * h
               : blocks * (format == kFormatDXT1 || format == kFormatATI1 ? 8 : 16);
    }
    return total;
}

std::unique_ptr<TextureObject> MakeTexture(const std::string& name, uint32_t format, uint32_t w, uint32_t h,
                                           uint32_t mips, bool packed = false) {
    const std::vector<uint8_t> pixels = Pattern(ImageSize(format, w, h, mips), NameHash(name));
    const std::vector<uint8_t> palette = format == kFormatP8 ? Pattern(1024, 5) : std::vector<uint8_t>();
    auto t = TextureObject::Create(packed, w, h, format, mips, pixels.data(), uint32_t(pixels.size()),
                                   palette.data(), uint32_t(palette.size()), 1, 0, 0);
    t->name = name;
    t->hash = NameHash(name);
    return t;
}

// Textures every game can store, in an order their hashes do not follow;
// "0xF0000001" has the top bit set.
TextureFile SampleFile(int game, bool compressed, bool packed = false) {
    TextureFile file;
    file.packName = "ZELKO_PACK";
    file.packFileName = "TRACKS\\ZELKO.BIN";
    file.hasCompressedTable = compressed;
    file.textures.push_back(MakeTexture("0xF0000001", kFormatDXT5, 16, 16, 3, packed));
    file.textures.push_back(MakeTexture("ROAD_ASPHALT", kFormatDXT1, 32, 8, 2, packed));
    file.textures.push_back(MakeTexture("SIGN", kFormatARGB, 8, 4, 1, packed));
    file.textures.push_back(MakeTexture("0x00000010", kFormatDXT3, 4, 4, 1, packed));
    if (game == GameWorld) file.textures.push_back(MakeTexture("NORMALS", kFormatATI2, 8, 8, 1, packed));
    for (auto& t : file.textures) t->SetGameFlags(game);
    return file;
}

std::vector<uint8_t> Save(TextureFile& file, int game) {
    ByteWriter writer;
    file.Save(game, writer);
    return writer.ToVector();
}

void Load(TextureFile& file, const std::vector<uint8_t>& bytes) {
    ByteReader reader(bytes.data(), bytes.size());
    file.Load(reader);
}

std::string SaveError(TextureFile& file, int game) {
    ByteWriter writer;
    writer.WriteU32(0xCAFEF00D);
    try {
        file.Save(game, writer);
    } catch (const Error& e) {
        EXPECT_EQ(writer.Size(), 4u) << "the output must stay untouched";
        return e.what();
    }
    return "";
}

void ExpectSameTexture(const TextureObject& a, const TextureObject& b) {
    SCOPED_TRACE(a.name);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.hash, b.hash);
    EXPECT_EQ(a.format, b.format);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.mipCount, b.mipCount);
    EXPECT_EQ(a.alphaMode, b.alphaMode);
    EXPECT_EQ(a.blendMode, b.blendMode);
    const auto pa = a.PixelView(), pb = b.PixelView();
    EXPECT_TRUE(std::equal(pa.begin(), pa.end(), pb.begin(), pb.end()));
    EXPECT_EQ(a.palette, b.palette);
}

std::vector<const TextureObject*> ByHash(const TextureFile& file) {
    std::vector<const TextureObject*> sorted;
    for (const auto& t : file.textures) sorted.push_back(t.get());
    std::stable_sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a->hash < b->hash; });
    return sorted;
}

size_t FindChunk(const std::vector<uint8_t>& bytes, uint32_t id, size_t from = 0) {
    for (size_t i = from; i + 4 <= bytes.size(); ++i) {
        if (LoadU32(&bytes[i]) == id) return i;
    }
    return SIZE_MAX;
}

} // namespace

TEST(TextureFileWrite, RoundTripsEveryGamePlainAndCompressed) {
    for (int game = kFirstGame; game <= kLastGame; ++game) {
        for (bool compressed : {false, true}) {
            SCOPED_TRACE(std::string(GameName(game)) + (compressed ? " compressed" : " plain"));
            TextureFile original = SampleFile(game, compressed);
            const std::vector<uint8_t> bytes = Save(original, game);
            EXPECT_EQ(original.version, PackVersionOf(game));

            TextureFile read;
            read.keepGameRecords = true;
            Load(read, bytes);
            EXPECT_EQ(read.version, PackVersionOf(game));
            EXPECT_EQ(read.hasCompressedTable, compressed);
            EXPECT_EQ(read.packName, "ZELKO_PACK");
            EXPECT_EQ(read.packFileName, original.packFileName);
            const auto expected = ByHash(original);
            ASSERT_EQ(read.textures.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) ExpectSameTexture(*read.textures[i], *expected[i]);

            // Written again after a read, the pack is the same to the byte.
            EXPECT_EQ(Save(read, game), bytes);
            // In-memory packing does not change what is written.
            TextureFile packed = SampleFile(game, compressed, true);
            EXPECT_EQ(Save(packed, game), bytes);
        }
    }
}

TEST(TextureFileWrite, ReadsBackAPackBuiltByHand) {
    // A hand-built pack read and written again keeps every texture.
    for (uint32_t v : {4u, 5u, 8u, 9u, 10u}) {
        packtest::Tex t;
        t.hash = 0x1234, t.name = "HAND", t.format = kFormatDXT1, t.width = t.height = 8, t.mips = 1;
        t.pixels = Pattern(32, 3), t.alphaMode = 2, t.blendMode = 1;
        TextureFile file;
        file.keepGameRecords = true;
        Load(file, packtest::PlainPack(v, {t}));
        TextureFile again;
        Load(again, Save(file, GameFromVersion(v)));
        ASSERT_EQ(again.textures.size(), 1u);
        ExpectSameTexture(*again.textures[0], *file.textures[0]);
    }
}

TEST(TextureFileWrite, WritesTheLayoutOfEachGame) {
    TextureFile mw = SampleFile(GameMostWanted, false);
    EXPECT_EQ(SaveError(mw, 0), "Not supported game");
    EXPECT_EQ(SaveError(mw, 8), "Not supported game");
    Save(mw, GameMostWanted);
    EXPECT_EQ(mw.version, 5u);
    TextureFile ps = SampleFile(GameProStreet, false);
    Save(ps, GameProStreet);
    EXPECT_EQ(ps.version, 8u);

    // Pack header and hash order: the top-bit hash comes last.
    const std::vector<uint8_t> v5 = Save(mw, GameMostWanted);
    const size_t header = FindChunk(v5, 0x33310001) + 8;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&v5[header + 4])), "ZELKO_PACK");
    EXPECT_EQ(LoadU32(&v5[header + 0x60]), NameHash("TRACKS\\ZELKO.BIN"));
    EXPECT_EQ(LoadU16(&v5[header + 0x6C]), 1);
    const size_t list = FindChunk(v5, 0x33310002) + 8;
    EXPECT_EQ(LoadU32(&v5[list]), 0x10u);
    EXPECT_EQ(LoadU32(&v5[list + 24]), 0xF0000001u);
    EXPECT_EQ(LoadU32(&v5[8]), 0u) << "alignment chunk after the root header";
    EXPECT_EQ(LoadU32(&v5[4]), v5.size() - 8);

    // Plain version 5: the palette goes before the pixels and every texture
    // starts on a multiple of 128 of the pack.
    TextureFile pal = SampleFile(GameUnderground2, false);
    pal.textures.push_back(MakeTexture("PALETTED", kFormatP8, 8, 8, 1));
    pal.textures.back()->gameRecord.assign(124, 0);
    const std::vector<uint8_t> withPalette = Save(pal, GameUnderground2);
    TextureFile read;
    Load(read, withPalette);
    ASSERT_EQ(read.textures.size(), 5u);
    for (const auto& t : read.textures) {
        const uint32_t start = t->paletteSize ? t->paletteOffset : t->dataOffset;
        EXPECT_EQ(start % 128, 0u) << t->name;
        if (t->paletteSize) {
            EXPECT_EQ(t->dataOffset, t->paletteOffset + 1024);
        }
    }
    EXPECT_EQ(LoadU32(&withPalette[pal.dataChunkPosition]), 0x33320002u);

    // Version 4: pixels then palette, back to back, and no compressed table.
    const std::vector<uint8_t> v4 = Save(pal, GameUnderground);
    EXPECT_EQ(FindChunk(v4, 0x33310003), SIZE_MAX);
    TextureFile read4;
    Load(read4, v4);
    ASSERT_EQ(read4.textures.size(), 5u);
    for (size_t i = 1; i < read4.textures.size(); ++i) {
        const TextureObject& prev = *read4.textures[i - 1];
        EXPECT_EQ(prev.paletteOffset, prev.dataOffset + prev.pixelsSize);
        EXPECT_EQ(read4.textures[i]->dataOffset, prev.paletteOffset + prev.paletteSize);
    }

    // Version 8: a 10-character name gets length 11 plus padding to 32.
    TextureFile carbon;
    carbon.textures.push_back(MakeTexture("TENLETTERS", kFormatDXT1, 4, 4, 1));
    const std::vector<uint8_t> v8 = Save(carbon, GameCarbon);
    const size_t record = FindChunk(v8, 0x33310004) + 8;
    const uint8_t length = v8[record + 88];
    EXPECT_EQ((record + 88 + 1 + length) % 32, 0u);
    EXPECT_GE(length, 11);
    EXPECT_LT(length, 11 + 32);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&v8[record + 89])), "TENLETTERS");

    // World packs carry the marker chunk.
    TextureFile world;
    world.textures.push_back(MakeTexture("ONE", kFormatDXT1, 4, 4, 1));
    EXPECT_NE(FindChunk(Save(world, GameWorld), 0x33330001), SIZE_MAX);
    EXPECT_EQ(FindChunk(Save(world, GameUndercover), 0x33330001), SIZE_MAX);
}

TEST(TextureFileWrite, ReusesGameRecordsAndRecomputesTheRest) {
    for (uint32_t v : {5u, 8u, 10u}) {
        packtest::Tex t;
        t.hash = 0x4321, t.name = "KEPT", t.format = kFormatDXT5, t.width = 16, t.height = 16, t.mips = 1;
        t.pixels = Pattern(256, 8);
        std::vector<uint8_t> bytes = packtest::PlainPack(v, {t});
        // Game values the editor does not interpret: a byte of a zero area
        // and the first constant.
        const size_t record = FindChunk(bytes, 0x33310004) + 8;
        const size_t unknown = v == 5 ? 0x5C : v == 8 ? 0x40 : 0x60;
        const size_t constant = v == 5 ? 0x28 : 0x10;
        bytes[record + unknown] = 0xAB;
        StoreU32(&bytes[record + constant], 0x12345678);

        TextureFile file;
        file.keepGameRecords = true;
        Load(file, bytes);
        TextureObject& texture = *file.textures[0];
        const std::vector<uint8_t> smaller = Pattern(64, 1);
        texture.SetData(8, 8, 1, smaller.data(), 64, nullptr, 0);
        const std::vector<uint8_t> saved = Save(file, GameFromVersion(v));
        const size_t out = FindChunk(saved, 0x33310004) + 8;
        EXPECT_EQ(saved[out + unknown], 0xAB);
        EXPECT_EQ(LoadU32(&saved[out + constant]), v == 10 ? 0x1A93CFu : 0x12345678u);
        TextureFile again;
        Load(again, saved);
        EXPECT_EQ(again.textures[0]->width, 8u);
        EXPECT_EQ(again.textures[0]->pixelsSize, 64u);

        // Edited flags rewrite the constants, the class byte and mode flags.
        texture.SetGameFlags(GameFromVersion(v));
        const std::vector<uint8_t> edited = Save(file, GameFromVersion(v));
        EXPECT_EQ(LoadU32(&edited[out + constant]), 0x1A93CFu);
        EXPECT_EQ(edited[out + (v <= 5 ? 0x4A : v == 8 ? 0x2E : 0x30)], 0x26);
    }

    // A record of another version's size is not copied into this layout.
    TextureFile mixed;
    mixed.textures.push_back(MakeTexture("MIXED", kFormatDXT1, 4, 4, 1));
    mixed.textures[0]->gameRecord.assign(144, 0xEE);
    TextureFile read;
    Load(read, Save(mixed, GameCarbon));
    ExpectSameTexture(*read.textures[0], *mixed.textures[0]);
}

TEST(TextureFileWrite, RefusesPacksThatWouldNotReadBack) {
    TextureFile empty;
    EXPECT_EQ(SaveError(empty, GameCarbon), "No textures to save.");
    EXPECT_EQ(empty.version, 8u);

    TextureFile zero = SampleFile(GameCarbon, false);
    zero.textures[2]->hash = 0;
    EXPECT_EQ(SaveError(zero, GameCarbon), "invalid hash");

    TextureFile p8;
    p8.textures.push_back(MakeTexture("PAL", kFormatP8, 8, 8, 1));
    EXPECT_EQ(SaveError(p8, GameUnderground), "PAL: Not supported texture format");
    // A palette has no place in versions 8 to 10: the reader would skip the
    // texture, so the save refuses it even with a game record.
    for (int game : {GameCarbon, GameUndercover, GameWorld}) {
        p8.textures[0]->gameRecord.assign(PackVersionOf(game) == 10 ? 144 : 88, 0);
        EXPECT_EQ(SaveError(p8, game), "PAL: Textures with a palette are not supported by this game");
    }

    TextureFile bc4;
    bc4.textures.push_back(MakeTexture("BC4", kFormatATI1, 8, 8, 1));
    EXPECT_EQ(SaveError(bc4, GameCarbon), "BC4: Not supported texture format");
    EXPECT_EQ(SaveError(bc4, GameWorld), "");

    TextureFile fresh = SampleFile(GameWorld, true);
    fresh.textures[1]->flagsEdited = false;
    EXPECT_EQ(SaveError(fresh, GameWorld), "Uninitialized texture cannot be saved");

    TextureFile wide;
    wide.textures.push_back(MakeTexture("WIDE", kFormatDXT1, 4, 4, 1));
    wide.textures[0]->width = 70000;
    EXPECT_EQ(SaveError(wide, GameCarbon), "Invalid slice size");
    wide.textures[0]->width = 4;
    wide.textures[0]->mipCount = 256;
    EXPECT_EQ(SaveError(wide, GameWorld), "Invalid mip map count");

    ByteWriter w;
    EXPECT_THROW(WriteTextureInfo(w, *wide.textures[0], 6, nullptr, false), Error);
    EXPECT_THROW(WriteFormatRecord(w, *wide.textures[0], 7), Error);
}

TEST(TextureFileWrite, LongNamesKeepTheRecordsAfterThemReadable) {
    for (int game : {GameCarbon, GameWorld}) {
        TextureFile file;
        file.textures.push_back(MakeTexture(std::string(300, 'N'), kFormatDXT1, 4, 4, 1));
        file.textures.push_back(MakeTexture("0xFFFFFFFF", kFormatDXT5, 4, 4, 1));
        TextureFile read;
        Load(read, Save(file, game));
        ASSERT_EQ(read.textures.size(), 2u);
        EXPECT_GE(read.textures[0]->name.size(), 200u);
        EXPECT_EQ(read.textures[0]->name, std::string(read.textures[0]->name.size(), 'N'));
        ExpectSameTexture(*read.textures[1], *file.textures[1]);
    }
}

TEST(TextureFileWrite, TexturesWithoutPixelBytesReadBack) {
    for (int game = kFirstGame; game <= kLastGame; ++game) {
        for (bool compressed : {false, true}) {
            TextureFile file;
            file.hasCompressedTable = compressed;
            file.textures.push_back(MakeTexture("EMPTY", kFormatDXT1, 4, 4, 1));
            file.textures[0]->SetData(4, 4, 1, nullptr, 0, nullptr, 0);
            file.textures[0]->SetGameFlags(game);
            TextureFile read;
            Load(read, Save(file, game));
            ASSERT_EQ(read.textures.size(), 1u) << game;
            EXPECT_EQ(read.textures[0]->pixelsSize, 0u);
        }
    }
}

TEST(TextureFileWrite, AddsTexturesFromDecodedImages) {
    TextureFile file;
    file.packInMemory = true;
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 8, 4, 1, 2), kOk);
    for (size_t i = 0; i < image.GetPixelsSize(); ++i) image.GetPixels()[i] = uint8_t(i);
    TextureObject& added = file.AddTexture("NEW_SIGN", image);
    EXPECT_EQ(file.textures.size(), 1u);
    EXPECT_EQ(added.hash, NameHash("NEW_SIGN"));
    EXPECT_EQ(added.format, kFormatARGB);
    EXPECT_EQ(added.mipCount, 2u);
    EXPECT_TRUE(added.pixelsPacked);
    // The format's default game bytes, so that a compressed pack can take it.
    EXPECT_EQ(added.alphaMode, 0);
    EXPECT_EQ(added.blendMode, 1);
    EXPECT_TRUE(added.flagsEdited);
    const auto pixels = added.PixelView();
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), image.GetPixels()));

    ScratchImage luminance;
    ASSERT_EQ(luminance.Initialize2D(DxgiFormat::R8_UNORM, 4, 4, 1, 1), kOk);
    EXPECT_THROW(file.AddTexture("L8", luminance), Error);
    EXPECT_EQ(file.textures.size(), 1u);
}
