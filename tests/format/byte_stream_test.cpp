#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/error_text.h"

using namespace zelko;

namespace {

// ErrorText, with the overflow kind marked.
std::string KindAndText(const std::function<void()>& action) {
    try {
        action();
    } catch (const OverflowError& e) {
        return std::string("overflow: ") + e.what();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(ByteReader, ChecksBoundsOnEveryReadOfMemoryAndFiles) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    ByteReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.PeekPointer(8), bytes.data());
    EXPECT_EQ(r.ReadArray(8), bytes.data());
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(ErrorText([&] { r.ReadArray(1); }), "End of file");
    EXPECT_EQ(ErrorText([&] { r.PeekPointer(1); }), "End of file");
    EXPECT_EQ(ErrorText([&] { r.Skip(1); }), "End of file");
    r.Seek(2);
    EXPECT_EQ(r.ReadU32(), 0x06050403u);
    EXPECT_EQ(ErrorText([&] { r.ReadArray(3); }), "End of file");
    EXPECT_EQ(r.Tell(), 6u) << "a failed read leaves the position";
    r.Seek(100); // unchecked until the next read
    EXPECT_EQ(ErrorText([&] { r.Skip(0); }), "End of file");

    // Lengths that wrap, each with its own message; Skip's is the overflow kind.
    r.Seek(4);
    const size_t huge = std::numeric_limits<size_t>::max() - 1;
    EXPECT_EQ(KindAndText([&] { r.ReadArray(huge); }), "ReadArray");
    EXPECT_EQ(KindAndText([&] { r.PeekPointer(huge); }), "PeekPointer");
    EXPECT_EQ(KindAndText([&] { r.Skip(huge); }), "overflow: ReadArray");
    EXPECT_EQ(r.Tell(), 4u);

    // Sub-views and files.
    std::vector<uint8_t> big(5000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
    ByteReader v(big.data(), 32, 100);
    v.Skip(10);
    EXPECT_EQ(v.SubView(4).FileOffset(), 110u);
    EXPECT_EQ(ErrorText([&] { v.SubView(23); }), "End of file");
    TempFolder dir;
    const auto path = dir.path() / "data.bin";
    WriteFile(path, big);
    ByteReader whole, window;
    whole.OpenFile(path);
    EXPECT_EQ(std::vector<uint8_t>(whole.Begin(), whole.End()), big);
    window.OpenFile(path, 1000, 16);
    ASSERT_EQ(window.Size(), 16u);
    EXPECT_EQ(window.Begin()[15], big[1015]);
    EXPECT_EQ(ErrorText([&] { v.OpenFile(path, 4, 0); }), "Invalid offset. Only 0 is allowed.");
    EXPECT_EQ(ErrorText([&] { v.OpenFile(dir.path() / "missing.bin"); }), "Failed to open the file");
    EXPECT_EQ(ErrorText([&] { v.OpenFile(path, 4990, 16); }), "End of file");
}

TEST(ByteWriter, GrowsPatchesAndSeeks) {
    // Across each growth of the buffer (first 1,024 bytes, then twice the needed end).
    ByteWriter w;
    w.WriteU32(0x11223344);
    w.Fill(0xAB, 1020);
    w.WriteU8(1);
    const std::vector<uint8_t> big(100000, 0x5A);
    w.Write(big.data(), big.size());
    const auto out = w.ToVector();
    ASSERT_EQ(out.size(), 4u + 1020 + 1 + 100000);
    EXPECT_EQ(LoadU32(out.data()), 0x11223344u);
    EXPECT_EQ(out[1023], 0xAB);
    EXPECT_EQ(out[1024], 1);
    EXPECT_EQ(out.back(), 0x5A);
    EXPECT_EQ(ErrorText([&] { w.Fill(0, 1048577); }), "Invalid padding value");

    ByteWriter p;
    for (uint32_t i = 0; i < 4; ++i) p.WriteU32(i);
    p.WriteAt(0xDEADBEEF, 4);
    EXPECT_EQ(p.Position(), 16u);
    EXPECT_EQ(LoadU32(p.Data() + 4), 0xDEADBEEFu);
    p.Seek(8);
    p.WriteU32(0x77);
    EXPECT_EQ(p.Size(), 16u);
    EXPECT_EQ(LoadU32(p.Data() + 12), 3u);
    p.Seek(14);
    p.WriteU32(0x01020304);
    EXPECT_EQ(p.Size(), 18u);
    EXPECT_THROW(p.WriteAt(0, 15), Error);
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
    ASSERT_EQ(out.size(), 8u + 8 + 16 + 4 + 1); // filler from 16 up to 0x20
    EXPECT_EQ(LoadU32(&out[4]), out.size() - 8);
    EXPECT_EQ(LoadU32(&out[12]), 16u + 4);
    EXPECT_EQ(out[31], 0x11);
    EXPECT_EQ(LoadU32(&out[32]), 7u);

    ByteWriter based(0x7C); // alignment counts the base offset
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
