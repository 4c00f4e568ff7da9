// What the pack round trips cannot show: reads that fail leave the reader as
// it was, lengths that wrap, file windows refused, and alignment at the boundaries.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/error_text.h"

using namespace zelko;

TEST(ByteReader, ChecksBoundsOnEveryReadOfMemoryAndFiles) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    ByteReader r(bytes.data(), bytes.size());
    r.Seek(2);
    EXPECT_EQ(r.ReadU32(), 0x06050403u);
    EXPECT_EQ(ErrorText([&] { r.ReadArray(3); }), "End of file");
    EXPECT_EQ(r.Tell(), 6u) << "a failed read leaves the position";
    r.Seek(100); // unchecked until the next read
    EXPECT_EQ(ErrorText([&] { r.Skip(0); }), "End of file");

    // Lengths that wrap, each with its own message; Skip's is the overflow kind.
    r.Seek(4);
    const size_t huge = std::numeric_limits<size_t>::max() - 1;
    EXPECT_EQ(ErrorText([&] { r.ReadArray(huge); }), "ReadArray");
    EXPECT_EQ(ErrorText([&] { r.PeekPointer(huge); }), "PeekPointer");
    EXPECT_THROW(r.Skip(huge), OverflowError);
    EXPECT_EQ(r.Tell(), 4u);

    // File windows: the archive entries' reads show a good one; here the refusals.
    const std::vector<uint8_t> big(5000, 7);
    TempFolder dir;
    const auto path = dir.path() / "data.bin";
    WriteFile(path, big);
    ByteReader v;
    EXPECT_EQ(ErrorText([&] { v.OpenFile(path, 4, 0); }), "Invalid offset. Only 0 is allowed.");
    EXPECT_EQ(ErrorText([&] { v.OpenFile(dir.path() / "missing.bin"); }), "Failed to open the file");
    EXPECT_EQ(ErrorText([&] { v.OpenFile(path, 4990, 16); }), "End of file");
}

TEST(ChunkFraming, AlignmentCountsTheBaseOffsetAndAnAlignedEndStillGetsAChunk) {
    ByteWriter based(0x7C);
    { ChunkScope c(based, 1, 0x80); }
    EXPECT_EQ(based.Size(), 8u + 0x7C);

    ByteWriter a;
    a.Fill(1, 3);
    WriteAlignmentChunk(a, 0x80);
    EXPECT_EQ(a.Size(), 0x80u);
    EXPECT_EQ(LoadU32(a.Data() + 7), 0x80u - 11);
    a.Fill(1, 0x78); // aligned after the header: still written, size 0
    WriteAlignmentChunk(a, 0x80);
    EXPECT_EQ(a.Size(), 0x100u);
    EXPECT_EQ(LoadU32(a.Data() + 0xFC), 0u);
}
