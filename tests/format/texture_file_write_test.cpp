#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/error_text.h"
#include "format/pack_builder.h"
#include "texture/TextureObject.h"

using namespace zelko;
using packtest::Find;
using packtest::MakeTexture;

namespace {

// Textures every game can store, in an order their hashes do not follow.
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

std::string SaveError(TextureFile& file, int game) {
    ByteWriter writer;
    writer.WriteU32(0xCAFEF00D);
    const std::string error = ErrorText([&] { file.Save(game, writer); });
    EXPECT_EQ(writer.Size(), 4u) << "the output must stay untouched";
    return error;
}

// What a round trip must keep of a texture.
auto Fields(const TextureObject& t) {
    const auto pixels = t.PixelView();
    return std::tuple(t.name, t.hash, t.format, t.width, t.height, t.mipCount, t.alphaMode, t.blendMode,
                      std::vector<uint8_t>(pixels.begin(), pixels.end()), t.palette);
}

} // namespace

TEST(TextureFileWrite, RoundTripsEveryGamePlainAndCompressed) {
    for (int game = kFirstGame; game <= kLastGame; ++game) {
        for (bool compressed : {false, true}) {
            SCOPED_TRACE(std::string(GameName(game)) + (compressed ? " compressed" : " plain"));
            TextureFile original = SampleFile(game, compressed);
            const std::vector<uint8_t> bytes = Save(original, game);
            TextureFile read;
            read.keepGameRecords = true;
            ASSERT_EQ(packtest::TryLoad(read, bytes), "");
            EXPECT_EQ(std::tuple(read.version, read.hasCompressedTable, read.packName, read.packFileName),
                      std::tuple(PackVersionOf(game), compressed, "ZELKO_PACK", original.packFileName));
            std::vector<const TextureObject*> expected;
            for (const auto& t : original.textures) expected.push_back(t.get());
            std::stable_sort(expected.begin(), expected.end(), [](auto a, auto b) { return a->hash < b->hash; });
            ASSERT_EQ(read.textures.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_TRUE(Fields(*read.textures[i]) == Fields(*expected[i])) << expected[i]->name;
            // Written again after a read, or from packed pixels, the pack is the same to the byte.
            EXPECT_EQ(Save(read, game), bytes);
            TextureFile packed = SampleFile(game, compressed, true);
            EXPECT_EQ(Save(packed, game), bytes);
        }
    }
}

// Where the round trips cannot see: fields only the game reads, the palette's place.
TEST(TextureFileWrite, WritesTheLayoutOfEachGame) {
    TextureFile mw = SampleFile(GameMostWanted, false);
    EXPECT_EQ(SaveError(mw, 8), "Not supported game");
    const std::vector<uint8_t> v5 = Save(mw, GameMostWanted);
    EXPECT_EQ(LoadU32(&v5[Find(v5, 0x33310001) + 8 + 0x60]), NameHash("TRACKS\\ZELKO.BIN"));
    EXPECT_EQ(LoadU32(&v5[4]), v5.size() - 8);

    // Version 5: palette before pixels, each on a multiple of 128. Plain version 4 holds a palette too.
    TextureFile pal = SampleFile(GameUnderground2, false);
    pal.textures.push_back(MakeTexture("PALETTED", kFormatP8, 8, 8, 1));
    pal.textures.back()->gameRecord.assign(124, 0);
    TextureFile read, read4;
    ASSERT_EQ(packtest::TryLoad(read, Save(pal, GameUnderground2)), "");
    ASSERT_EQ(read.textures.size(), 5u);
    for (const auto& t : read.textures) {
        EXPECT_EQ((t->paletteSize ? t->paletteOffset : t->dataOffset) % 128, 0u) << t->name;
        if (t->paletteSize) {
            EXPECT_EQ(t->dataOffset, t->paletteOffset + 1024);
        }
    }
    ASSERT_EQ(packtest::TryLoad(read4, Save(pal, GameUnderground)), "");
    EXPECT_EQ(read4.textures.size(), 5u);
    TextureFile world;
    world.textures.push_back(MakeTexture("ONE", kFormatDXT1, 4, 4, 1));
    EXPECT_NE(Find(Save(world, GameWorld), 0x33330001), SIZE_MAX);
}

TEST(TextureFileWrite, RefusesPacksThatWouldNotReadBack) {
    TextureFile empty;
    EXPECT_EQ(SaveError(empty, GameCarbon), "No textures to save.");
    TextureFile zero = SampleFile(GameCarbon, false);
    zero.textures[2]->hash = 0;
    EXPECT_EQ(SaveError(zero, GameCarbon), "invalid hash");

    TextureFile p8;
    p8.textures.push_back(MakeTexture("PAL", kFormatP8, 8, 8, 1));
    EXPECT_EQ(SaveError(p8, GameUnderground), "PAL: Not supported texture format");
    // Versions 8 to 10 have no place for a palette, even with a game record.
    p8.textures[0]->gameRecord.assign(88, 0);
    EXPECT_EQ(SaveError(p8, GameCarbon), "PAL: Textures with a palette are not supported by this game");
    TextureFile fresh = SampleFile(GameWorld, true);
    fresh.textures[1]->flagsEdited = false;
    EXPECT_EQ(SaveError(fresh, GameWorld), "Uninitialized texture cannot be saved");
    TextureFile wide;
    wide.textures.push_back(MakeTexture("WIDE", kFormatDXT1, 4, 4, 1));
    wide.textures[0]->width = 70000;
    EXPECT_EQ(SaveError(wide, GameCarbon), "Invalid slice size");
}
