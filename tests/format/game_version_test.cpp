#include <gtest/gtest.h>

#include <vector>

#include "format/ByteStream.h"
#include "format/error_text.h"
#include "format/GameVersion.h"

using namespace zelko;

namespace {

// Chunk sequences: a group (size not read), a header, a chunk with a zero payload.
struct Seq {
    ByteWriter w;
    Seq& Group(uint32_t id) {
        w.WriteU32(id), w.WriteU32(0);
        return *this;
    }
    Seq& Header(uint32_t v) {
        w.WriteU32(0x33310001), w.WriteU32(124), w.WriteU32(v), w.Fill(0, 120);
        return *this;
    }
    Seq& Chunk(uint32_t id, uint32_t size = 0) {
        w.WriteU32(id), w.WriteU32(size), w.Fill(0, size);
        return *this;
    }
    std::vector<uint8_t> Bytes() const { return w.ToVector(); }
};

Seq Typical(uint32_t v, bool worldMarker) {
    Seq p;
    p.Group(0xB3300000).Group(0xB3310000).Header(v).Chunk(0x33310002, 16).Chunk(0x33310004, 124);
    p.Chunk(0x33310005, 32).Chunk(0, 40).Group(0xB3320000).Chunk(0x33320001, 24);
    if (worldMarker) p.Chunk(0x33330001, 8);
    p.Chunk(0, 72).Chunk(0x33320002, 64);
    return p;
}

} // namespace

TEST(GameVersion, GameNumbersAndPackVersions) {
    EXPECT_STREQ(GameName(GameUnderground), "Underground");
    EXPECT_STREQ(GameName(8), "");
    const uint32_t versions[] = {0, 4, 5, 5, 8, 8, 9, 10};
    for (int g = 0; g <= kLastGame; ++g) EXPECT_EQ(PackVersionOf(g), versions[g]) << g;
    const std::pair<uint32_t, int> games[] = {
        {4, GameUnderground}, {5, GameUnderground2}, {8, GameCarbon}, {9, GameUndercover}, {10, GameWorld}};
    for (auto [v, game] : games) EXPECT_EQ(GameFromVersion(v), game);
    for (uint32_t bad : {0u, 6u, 11u}) EXPECT_THROW(GameFromVersion(bad), Error) << bad;
}

TEST(GameVersion, DetectsTheVersionFromTheChunkSequence) {
    Seq later, compressed, bare, unknown;
    later.Group(0xB3300000).Chunk(0x33330001, 4).Header(8).Chunk(0x33320003); // header after the marker
    compressed.Group(0xB3300000).Group(0xB3310000).Header(8).Chunk(0x5A4C444A, 100);
    bare.Group(0xB3300000).Group(0xB3310000).Chunk(0x55441122, 4).w.Fill(0, 4);
    unknown.Group(0xB3300000).Header(5).Chunk(0x12345678, 4).Chunk(0x33320002);
    const struct {
        std::vector<uint8_t> bytes;
        uint32_t version;
        bool raw;
    } cases[] = {{Typical(4, false).Bytes(), 4, false},
                 {Typical(5, true).Bytes(), 10, false},
                 {Typical(9, false).Bytes(), 9, false},
                 {later.Bytes(), 8, false},
                 {compressed.Bytes(), 8, true},
                 {bare.Bytes(), 0, true},
                 {unknown.Bytes(), 0, false}};
    for (const auto& c : cases) {
        bool raw = !c.raw;
        ByteReader r(c.bytes.data(), c.bytes.size());
        r.Skip(8); // inside the root group; the caller's position does not move
        EXPECT_EQ(DetectPackVersion(r, raw), c.version);
        EXPECT_EQ(std::pair(raw, r.Tell()), std::pair(c.raw, size_t(8))) << c.version;
    }
    // Ending before a stopping chunk raises the reader's error.
    Seq shortPack, pastEnd;
    shortPack.Group(0xB3300000).Header(5);
    pastEnd.Chunk(0x33310002).w.WriteAt(0x7FFFFFFF, 4);
    for (Seq* s : {&shortPack, &pastEnd}) {
        bool raw = false;
        ByteReader r(s->w.Data(), s->w.Size());
        EXPECT_EQ(ErrorText([&] { DetectPackVersion(r, raw); }), "End of file");
    }
}
