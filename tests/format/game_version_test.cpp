#include <gtest/gtest.h>

#include <vector>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"

using namespace zelko;

namespace {

// Builds chunk sequences the way a pack lays them out.
struct PackBuilder {
    ByteWriter w;
    void Chunk(uint32_t id, uint32_t payload = 0) {
        w.WriteU32(id);
        w.WriteU32(payload);
        w.Fill(0, payload);
    }
    void Group(uint32_t id) { w.WriteU32(id); w.WriteU32(0); }  // size is not read
    void Header(uint32_t version) {
        w.WriteU32(0x33310001);
        w.WriteU32(124);
        w.WriteU32(version);
        w.Fill(0, 120);
    }
    uint32_t Detect(bool& raw) {
        ByteReader r(w.Data(), w.Size());
        return DetectPackVersion(r, raw);
    }
};

// root, header group, header, hash list, info, format, padding, data group,
// data header, [marker], padding, data.
PackBuilder TypicalPack(uint32_t version, bool worldMarker) {
    PackBuilder p;
    p.Group(0xB3300000);
    p.Group(0xB3310000);
    p.Header(version);
    p.Chunk(0x33310002, 16);
    p.Chunk(0x33310004, 124);
    p.Chunk(0x33310005, 32);
    p.Chunk(0, 40);
    p.Group(0xB3320000);
    p.Chunk(0x33320001, 24);
    if (worldMarker) p.Chunk(0x33330001, 8);
    p.Chunk(0, 72);
    p.Chunk(0x33320002, 64);
    return p;
}

} // namespace

TEST(GameVersion, GameNumbersAndPackVersions) {
    EXPECT_STREQ(GameName(GameUnderground), "Underground");
    EXPECT_STREQ(GameName(GameWorld), "World");
    EXPECT_STREQ(GameName(GameNone), "");
    EXPECT_STREQ(GameName(8), "");
    const uint32_t versions[] = {0, 4, 5, 5, 8, 8, 9, 10};
    for (int g = 0; g <= kLastGame; ++g) EXPECT_EQ(PackVersionOf(g), versions[g]) << g;

    EXPECT_EQ(GameFromVersion(4), GameUnderground);
    EXPECT_EQ(GameFromVersion(5), GameUnderground2);
    EXPECT_EQ(GameFromVersion(8), GameCarbon);
    EXPECT_EQ(GameFromVersion(9), GameUndercover);
    EXPECT_EQ(GameFromVersion(10), GameWorld);
    for (uint32_t bad : {0u, 6u, 7u, 11u}) {
        try {
            GameFromVersion(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Invalid type");
        }
    }
}

TEST(GameVersion, DetectsTheVersionFromTheChunkSequence) {
    bool raw = true;
    EXPECT_EQ(TypicalPack(5, false).Detect(raw), 5u);
    EXPECT_FALSE(raw);
    EXPECT_EQ(TypicalPack(5, true).Detect(raw), 10u);
    EXPECT_EQ(TypicalPack(9, false).Detect(raw), 9u);

    // A header after the marker sets its own number.
    PackBuilder later;
    later.Group(0xB3300000);
    later.Chunk(0x33330001, 4);
    later.Header(8);
    later.Chunk(0x33320003);
    EXPECT_EQ(later.Detect(raw), 8u);

    // The caller's position does not move.
    PackBuilder p = TypicalPack(4, false);
    ByteReader r(p.w.Data(), p.w.Size());
    r.Skip(8);
    EXPECT_EQ(DetectPackVersion(r, raw), 4u);
    EXPECT_EQ(r.Tell(), 8u);
}

TEST(GameVersion, CompressedBytesWhereAChunkWasExpected) {
    for (uint32_t magic : {0x5A4C444Au, 0x55441122u}) {
        PackBuilder p;
        p.Group(0xB3300000);
        p.Group(0xB3310000);
        p.Header(8);
        p.Chunk(magic, 100);
        bool raw = false;
        EXPECT_EQ(p.Detect(raw), 8u);
        EXPECT_TRUE(raw);

        PackBuilder bare;
        bare.Group(0xB3300000);
        bare.Group(0xB3310000);
        bare.w.WriteU32(magic);
        bare.w.Fill(0, 12);
        EXPECT_EQ(bare.Detect(raw), 0u);
        EXPECT_TRUE(raw);
    }
}

TEST(GameVersion, UnknownChunksAndShortPacks) {
    PackBuilder p;
    p.Group(0xB3300000);
    p.Header(5);
    p.Chunk(0x12345678, 4);
    p.Chunk(0x33320002);
    bool raw = true;
    EXPECT_EQ(p.Detect(raw), 0u);
    EXPECT_FALSE(raw);

    // Ends before a stopping chunk: the scan raises the reader's error.
    PackBuilder shortPack;
    shortPack.Group(0xB3300000);
    shortPack.Header(5);
    EXPECT_THROW(shortPack.Detect(raw), Error);
    PackBuilder cut;
    cut.Group(0xB3300000);
    cut.w.WriteU32(0x33310001);
    cut.w.WriteU32(124);
    cut.w.WriteU32(5);
    EXPECT_THROW(cut.Detect(raw), Error);
    PackBuilder pastEnd;
    pastEnd.Chunk(0x33310002, 0);
    pastEnd.w.WriteAt(0x7FFFFFFF, 4);
    EXPECT_THROW(pastEnd.Detect(raw), Error);
}
