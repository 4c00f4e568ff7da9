#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/Errors.h"

using namespace zelko;

namespace {

template <class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no exception)";
}

} // namespace

TEST(ByteReader, ChecksBoundsOnEveryRead) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    ByteReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.PeekPointer(8), bytes.data());
    EXPECT_EQ(r.Tell(), 0u);
    EXPECT_EQ(r.ReadArray(8), bytes.data());
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(MessageOf([&] { r.ReadArray(1); }), "End of file");
    EXPECT_EQ(MessageOf([&] { r.PeekPointer(1); }), "End of file");
    EXPECT_EQ(MessageOf([&] { r.Skip(1); }), "End of file");
    r.Skip(0);
    r.ReadArray(0);

    r.Seek(2);
    EXPECT_EQ(r.ReadU32(), 0x06050403u);
    // A failed read leaves the position where it was.
    EXPECT_THROW(r.ReadArray(3), Error);
    EXPECT_EQ(r.Tell(), 6u);
    EXPECT_EQ(r.ReadArray(2)[1], 8);
}

TEST(ByteReader, LengthsThatWrapAreRefusedWithTheirOwnMessages) {
    const std::vector<uint8_t> bytes(16);
    ByteReader r(bytes.data(), bytes.size());
    r.Skip(4);
    const size_t huge = std::numeric_limits<size_t>::max() - 1;
    EXPECT_EQ(MessageOf([&] { r.ReadArray(huge); }), "ReadArray");
    EXPECT_EQ(MessageOf([&] { r.PeekPointer(huge); }), "PeekPointer");
    try {
        r.Skip(huge);
        FAIL() << "Skip past the address space must throw";
    } catch (const OverflowError& e) {
        EXPECT_STREQ(e.what(), "ReadArray");
    }
    // ReadArray's wrap is not the overflow kind.
    try {
        r.ReadArray(huge);
    } catch (const OverflowError&) {
        FAIL() << "ReadArray must raise the ordinary kind";
    } catch (const Error&) {
    }
    EXPECT_EQ(r.Tell(), 4u);
}

TEST(ByteReader, SeekIsUncheckedUntilTheNextRead) {
    const std::vector<uint8_t> bytes(8);
    ByteReader r(bytes.data(), bytes.size());
    r.Seek(100);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(MessageOf([&] { r.ReadArray(1); }), "End of file");
    EXPECT_EQ(MessageOf([&] { r.Skip(0); }), "End of file");
}

TEST(ByteReader, ViewsShareBytesAndKeepFileOffsets) {
    std::vector<uint8_t> bytes(32);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i);
    ByteReader r(bytes.data(), bytes.size(), 100);
    r.Skip(10);
    ByteReader v = r.View();
    EXPECT_EQ(v.BaseOffset(), 110u);
    EXPECT_EQ(v.Size(), 22u);
    EXPECT_EQ(*v.ReadArray(1), 10);
    EXPECT_EQ(r.Tell(), 10u);

    ByteReader sub = r.SubView(4);
    EXPECT_EQ(sub.Size(), 4u);
    EXPECT_EQ(sub.FileOffset(), 110u);
    EXPECT_THROW(r.SubView(23), Error);
}

TEST(ByteReader, OpensWholeFilesAndWindows) {
    TempFolder dir;
    const auto path = dir.path() / "data.bin";
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    WriteFile(path, bytes);

    ByteReader whole;
    whole.OpenFile(path);
    ASSERT_EQ(whole.Size(), bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(whole.Begin(), whole.End()), bytes);
    EXPECT_EQ(whole.BaseOffset(), 0u);

    ByteReader window;
    window.OpenFile(path, 1000, 16);
    ASSERT_EQ(window.Size(), 16u);
    EXPECT_EQ(window.Begin()[0], bytes[1000]);
    EXPECT_EQ(window.Begin()[15], bytes[1015]);

    ByteReader r;
    EXPECT_EQ(MessageOf([&] { r.OpenFile(path, 4, 0); }), "Invalid offset. Only 0 is allowed.");
    EXPECT_EQ(MessageOf([&] { r.OpenFile(dir.path() / "missing.bin"); }), "Failed to open the file");
    EXPECT_EQ(MessageOf([&] { r.OpenFile(path, 4990, 16); }), "End of file");

    const auto empty = dir.path() / "empty.bin";
    WriteFile(empty, {});
    r.OpenFile(empty);
    EXPECT_EQ(r.Size(), 0u);
    EXPECT_THROW(r.ReadArray(1), Error);
}

TEST(ByteWriter, GrowsAndKeepsEverythingWritten) {
    ByteWriter w;
    EXPECT_EQ(w.Capacity(), 0u);
    w.WriteU32(0x11223344);
    EXPECT_EQ(w.Capacity(), 1024u);
    w.Fill(0xAB, 1020);
    EXPECT_EQ(w.Capacity(), 1024u);
    w.WriteU8(1);  // needs 1025 bytes: twice the needed end
    EXPECT_EQ(w.Capacity(), 2050u);
    std::vector<uint8_t> big(100000, 0x5A);
    w.Write(big.data(), big.size());
    w.Write(nullptr, 0);
    EXPECT_EQ(w.Size(), 4u + 1020 + 1 + 100000);
    const auto out = w.ToVector();
    EXPECT_EQ(LoadU32(out.data()), 0x11223344u);
    EXPECT_EQ(out[4], 0xAB);
    EXPECT_EQ(out[1023], 0xAB);
    EXPECT_EQ(out[1024], 1);
    EXPECT_EQ(out.back(), 0x5A);
}

TEST(ByteWriter, PatchesAndSeeksWithoutLosingSize) {
    ByteWriter w;
    for (uint32_t i = 0; i < 4; ++i) w.WriteU32(i);
    w.WriteAt(0xDEADBEEF, 4);
    EXPECT_EQ(w.Position(), 16u);
    EXPECT_EQ(w.Size(), 16u);
    EXPECT_EQ(LoadU32(w.Data() + 4), 0xDEADBEEFu);

    w.Seek(8);
    w.WriteU32(0x77);
    EXPECT_EQ(w.Size(), 16u);  // overwrote, did not grow
    EXPECT_EQ(LoadU32(w.Data() + 8), 0x77u);
    EXPECT_EQ(LoadU32(w.Data() + 12), 3u);
    w.Seek(14);
    w.WriteU32(0x01020304);
    EXPECT_EQ(w.Size(), 18u);

    EXPECT_EQ(MessageOf([&] { w.Seek(19); }), "");
    EXPECT_THROW(w.WriteAt(0, 15), Error);
}

TEST(ByteWriter, FillIsLimitedToOneMebibyte) {
    ByteWriter w;
    w.Fill(0, 1048576);
    EXPECT_EQ(w.Size(), 1048576u);
    EXPECT_EQ(MessageOf([&] { w.Fill(0, 1048577); }), "Invalid padding value");
    EXPECT_EQ(w.Size(), 1048576u);
}

TEST(ChunkFraming, ScopesPatchSizesAndAlignPayloads) {
    ByteWriter w;
    {
        ChunkScope outer(w, 0xB3300000);
        {
            ChunkScope inner(w, 0x33310001, 0x20, 0x11);
            w.WriteU32(7);
        }
        w.WriteU8(9);
    }
    const auto out = w.ToVector();
    // outer header, inner header at 8, filler from 16 up to the 0x20 boundary
    ASSERT_EQ(out.size(), 8u + 8 + 16 + 4 + 1);
    EXPECT_EQ(LoadU32(&out[0]), 0xB3300000u);
    EXPECT_EQ(LoadU32(&out[4]), out.size() - 8);
    EXPECT_EQ(LoadU32(&out[8]), 0x33310001u);
    EXPECT_EQ(LoadU32(&out[12]), 16u + 4);
    EXPECT_EQ(out[16], 0x11);
    EXPECT_EQ(out[31], 0x11);
    EXPECT_EQ(LoadU32(&out[32]), 7u);
}

TEST(ChunkFraming, AlignmentCountsTheWritersBaseOffset) {
    ByteWriter w(0x7C);
    { ChunkScope c(w, 1, 0x80); }
    // header ends at file offset 0x84: 0x7C filler bytes up to 0x100
    EXPECT_EQ(w.Size(), 8u + 0x7C);
    EXPECT_EQ(LoadU32(w.Data() + 4), 0x7Cu);

    ByteWriter aligned(0x78);
    { ChunkScope c(aligned, 1, 0x80); }
    EXPECT_EQ(aligned.Size(), 8u);
}

TEST(ChunkFraming, AlignmentChunks) {
    ByteWriter w;
    w.Fill(1, 3);
    WriteAlignmentChunk(w, 0x80);
    EXPECT_EQ((w.Size()) % 0x80, 0u);
    EXPECT_EQ(LoadU32(w.Data() + 3), 0u);
    EXPECT_EQ(LoadU32(w.Data() + 7), 0x80u - 11);

    // Already aligned after the header: still written, with size 0.
    ByteWriter v;
    v.Fill(1, 0x78);
    WriteAlignmentChunk(v, 0x80);
    EXPECT_EQ(v.Size(), 0x80u);
    EXPECT_EQ(LoadU32(v.Data() + 0x7C), 0u);

    ByteWriter none;
    WriteAlignmentChunk(none, 0);
    EXPECT_EQ(none.Size(), 8u);
}

TEST(ChunkFraming, WrittenChunksReadBack) {
    ByteWriter w;
    {
        ChunkScope group(w, 0x80000001);
        for (uint32_t i = 1; i <= 3; ++i) {
            ChunkScope c(w, i, 0x10);
            w.Fill(uint8_t(i), i * 5);
        }
    }
    ByteReader r(w.Data(), w.Size());
    EXPECT_EQ(r.ReadU32(), 0x80000001u);
    EXPECT_EQ(r.ReadU32(), w.Size() - 8);
    for (uint32_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(r.ReadU32(), i);
        const uint32_t size = r.ReadU32();
        r.Skip(size);
        EXPECT_EQ(*(r.Position() - 1), uint8_t(i));
    }
    EXPECT_TRUE(r.AtEnd());
}
