#include <gtest/gtest.h>

#include "format/ChunkIds.h"

using namespace zelko;

TEST(ChunkIds, KnowsExactlyTheListedIds) {
    for (uint32_t id : {0x0u, 0xFFFFFFFFu, 0x30201u, 0x34026u, 0x3CE13u, 0x134002u, 0x1352003Fu, 0x33310001u,
                        0x33320003u, 0x5A4C444Au, 0x4B504652u, 0x46465548u, 0x57574152u, 0x55441122u, 0x80034020u,
                        0x80A3400Au, 0xB3300000u, 0xB3312004u, 0xB3320000u}) {
        EXPECT_TRUE(IsKnownChunkId(id)) << std::hex << id;
    }
    // "COMP" is not among them, nor are neighbours of listed ids.
    for (uint32_t id : {0x504D4F43u, 0x1u, 0x30200u, 0x33310006u, 0xB3300001u, 0xFFFFFFFEu, 0x80034021u}) {
        EXPECT_FALSE(IsKnownChunkId(id)) << std::hex << id;
    }
}
