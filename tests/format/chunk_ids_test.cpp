#include <gtest/gtest.h>

#include "format/ChunkIds.h"

using namespace zelko;

// The table is checked sorted where it is defined; the archives the container
// tests open show the listed chunks are known and others are not.
TEST(ChunkIds, StreamMagicsButCompAndTheEndsAreKnown) {
    for (uint32_t id : {0x0u, 0xFFFFFFFFu, 0x5A4C444Au, 0x4B504652u, 0x46465548u, 0x57574152u, 0x55441122u})
        EXPECT_TRUE(IsKnownChunkId(id)) << std::hex << id;
    // "COMP" is not among them, nor are neighbours of listed ids.
    for (uint32_t id : {0x504D4F43u, 0x1u, 0x33310006u, 0xB3300001u, 0xFFFFFFFEu, 0x80034021u})
        EXPECT_FALSE(IsKnownChunkId(id)) << std::hex << id;
}
