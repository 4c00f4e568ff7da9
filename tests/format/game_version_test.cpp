#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "format/ByteStream.h"
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
};

} // namespace

// Each version's usual layout is read by the pack tests; here what overrides the header.
TEST(GameVersion, DetectsTheVersionFromTheChunkSequence) {
    Seq world, later, compressed, bare, unknown;
    world.Group(0xB3300000).Group(0xB3310000).Header(5).Chunk(0x33310002, 16).Group(0xB3320000);
    world.Chunk(0x33320001, 24).Chunk(0x33330001, 8).Chunk(0x33320002, 64); // the World marker wins
    later.Group(0xB3300000).Chunk(0x33330001, 4).Header(8).Chunk(0x33320003); // header after the marker
    compressed.Group(0xB3300000).Group(0xB3310000).Header(8).Chunk(0x5A4C444A, 100);
    bare.Group(0xB3300000).Group(0xB3310000).Chunk(0x55441122, 4).w.Fill(0, 4);
    unknown.Group(0xB3300000).Header(5).Chunk(0x12345678, 4).Chunk(0x33320002);
    const std::tuple<Seq*, uint32_t, bool> cases[] = {
        {&world, 10, false}, {&later, 8, false}, {&compressed, 8, true}, {&bare, 0, true}, {&unknown, 0, false}};
    for (const auto& [seq, version, expectRaw] : cases) {
        bool raw = !expectRaw;
        ByteReader r(seq->w.Data(), seq->w.Size());
        r.Skip(8); // inside the root group; the caller's position does not move
        EXPECT_EQ(DetectPackVersion(r, raw), version);
        EXPECT_EQ(std::pair(raw, r.Tell()), std::pair(expectRaw, size_t(8))) << version;
    }
}
