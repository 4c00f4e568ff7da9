#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/TextureFile.h"
#include "format/pack_builder.h"
#include "texture/TextureObject.h"

using namespace zelko;
using packtest::Bytes;
using packtest::Tex;

namespace {

Tex MakeTex(uint32_t hash, uint32_t format = kFormatDXT1, uint32_t w = 8, uint32_t h = 8, uint32_t mips = 1) {
    Tex t;
    t.hash = hash, t.name = "T" + std::to_string(hash), t.format = format, t.width = w, t.height = h, t.mips = mips;
    t.pixels.assign(32, uint8_t(hash));
    return t;
}

std::vector<uint8_t> Jdlz(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(JdlzCompressBound(bytes.size()));
    out.resize(CompressJdlz(bytes.data(), uint32_t(bytes.size()), out.data(), out.size()));
    return out;
}

struct Result {
    std::string error;
    size_t textures = 0;
};

Result TryLoad(const std::vector<uint8_t>& bytes) {
    // A copy of exactly the given length, so reads past it are caught.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    ByteReader reader;
    reader.Adopt(std::move(copy), bytes.size());
    TextureFile file;
    file.packInMemory = true;
    Result result;
    try {
        file.Load(reader);
    } catch (const Error& e) {
        result.error = e.what();
    }
    result.textures = file.textures.size();
    return result;
}

size_t Find(const std::vector<uint8_t>& bytes, uint32_t id) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (LoadU32(&bytes[i]) == id) return i;
    }
    ADD_FAILURE() << "no chunk " << std::hex << id;
    return 0;
}

const std::set<std::string> kLoadMessages = {
    "End of file", "File is not a texture archive.", "Unable to detect game version.", "Unexpected data type",
    "Decompression failed", "Missing texture record", "invalid hash", "Invalid width", "Invalid height",
    "Invalid mip map count", "Not supported texture format"};

std::vector<std::vector<uint8_t>> EveryKindOfPack() {
    const std::vector<Tex> texs = {MakeTex(1), MakeTex(2, kFormatARGB, 4, 2)};
    std::vector<std::vector<uint8_t>> packs;
    for (uint32_t v : {4u, 5u, 8u, 9u, 10u}) {
        packs.push_back(packtest::PlainPack(v, texs));
        packs.push_back(packtest::CompressedPack(v, texs, &Jdlz));
    }
    return packs;
}

} // namespace

TEST(TextureFileMalformed, ReportsThePacksMessages) {
    Bytes notPack;
    notPack.U32(0xB3310000), notPack.U32(0);
    EXPECT_EQ(TryLoad(notPack.data).error, "File is not a texture archive.");
    EXPECT_EQ(TryLoad({}).error, "End of file");

    // No header before the data chunk.
    Bytes noHeader;
    noHeader.U32(0xB3300000), noHeader.U32(0), noHeader.U32(0x33320002), noHeader.U32(0);
    EXPECT_EQ(TryLoad(noHeader.data).error, "Unable to detect game version.");

    // Detection enters a nested root; the reader does not know it there.
    std::vector<uint8_t> nested = packtest::PlainPack(8, {MakeTex(1)});
    const size_t group = Find(nested, 0xB3320000);
    StoreU32(&nested[group], 0xB3300000);
    EXPECT_EQ(TryLoad(nested).error, "Unexpected data type");
}

TEST(TextureFileMalformed, TruncatedPacksFailCleanly) {
    for (const std::vector<uint8_t>& pack : EveryKindOfPack()) {
        ASSERT_EQ(TryLoad(pack).error, "");
        for (size_t n = 0; n < pack.size(); ++n) {
            const std::vector<uint8_t> cut(pack.begin(), pack.begin() + n);
            const Result result = TryLoad(cut);
            // A compressed block cut short may still decode to zeros; all
            // other cuts lose something the pack needs.
            if (result.error.empty()) continue;
            EXPECT_TRUE(kLoadMessages.count(result.error)) << result.error << " at " << n;
        }
    }
    // Every cut of a plain pack fails.
    const std::vector<uint8_t> plain = packtest::PlainPack(9, {MakeTex(1), MakeTex(2)});
    for (size_t n = 0; n < plain.size(); ++n) {
        EXPECT_NE(TryLoad(std::vector<uint8_t>(plain.begin(), plain.begin() + n)).error, "") << n;
    }
}

TEST(TextureFileMalformed, SizesAndCountsPastTheEnd) {
    for (uint32_t id : {0x33310002u, 0x33320001u, 0x33310004u}) {
        std::vector<uint8_t> pack = packtest::PlainPack(5, {MakeTex(1)});
        StoreU32(&pack[Find(pack, id) + 4], 0x7FFFFFF8);
        EXPECT_EQ(TryLoad(pack).error, "End of file");
    }
    // A table that claims more records than the pack holds.
    std::vector<uint8_t> compressed = packtest::CompressedPack(8, {MakeTex(1)}, &Jdlz);
    const size_t table = Find(compressed, 0x33310003);
    std::vector<uint8_t> moreRecords = compressed;
    StoreU32(&moreRecords[table + 4], 24 * 1000);
    EXPECT_EQ(TryLoad(moreRecords).error, "End of file");
    // Block offsets and pixel offsets beyond the end.
    std::vector<uint8_t> farBlock = compressed;
    StoreU32(&farBlock[table + 8 + 4], 0xFFFFFF00);
    EXPECT_EQ(TryLoad(farBlock).error, "End of file");
    std::vector<uint8_t> farPixels = packtest::PlainPack(10, {MakeTex(1)});
    StoreU32(&farPixels[Find(farPixels, 0x33310004) + 8 + 0x50], 0xFFFFFFF0);
    EXPECT_EQ(TryLoad(farPixels).error, "End of file");
    // A texture buffer too small for its records, and one too large to allocate.
    for (uint32_t total : {100u, 0xFFFFFFF0u}) {
        std::vector<uint8_t> bad = compressed;
        StoreU32(&bad[table + 8 + 12], total);
        EXPECT_EQ(TryLoad(bad).error, total == 100 ? "End of file" : "Decompression failed");
    }
}

TEST(TextureFileMalformed, CorruptCompressedBlocks) {
    // Versions 4 and 5: the stream's header check fails.
    for (uint32_t v : {4u, 5u}) {
        std::vector<uint8_t> pack = packtest::CompressedPack(v, {MakeTex(1)}, &Jdlz);
        const size_t stream = Find(pack, 0x5A4C444A);
        pack[stream + 4] = 3;
        EXPECT_EQ(TryLoad(pack).error, "Decompression failed") << v;
    }
    // Version 8, one piece: nothing decodes and the zeroed records have no hash.
    std::vector<uint8_t> v8 = packtest::CompressedPack(8, {MakeTex(1)}, &Jdlz);
    v8[Find(v8, 0x5A4C444A)] = 'X';
    EXPECT_EQ(TryLoad(v8).error, "invalid hash");
    // Version 9, records in the first piece, pixels in a broken second one:
    // the texture loads with zeroed pixels.
    Tex t = MakeTex(7, kFormatDXT1, 16, 16);
    t.pixels.assign(128, 0x5A);
    std::vector<uint8_t> v9 = packtest::CompressedPack(9, {t}, &packtest::RawwStream, 2);
    const size_t second = Find(v9, 0x55441122) + 24 + 16 + 192;
    ASSERT_EQ(LoadU32(&v9[second]), 0x55441122u);
    v9[second + 24] = 'X';
    TextureFile file;
    ByteReader reader(v9.data(), v9.size());
    file.Load(reader);
    ASSERT_EQ(file.textures.size(), 1u);
    EXPECT_EQ(file.textures[0]->pixelsSize, 128u);
    EXPECT_EQ(file.textures[0]->pixels[0], 0);
    // Pieces that claim no input or no output end the run instead of looping.
    std::vector<uint8_t> stuck = packtest::CompressedPack(10, {MakeTex(1)}, &packtest::RawwStream, 2);
    const size_t piece = Find(stuck, 0x55441122);
    StoreU32(&stuck[piece + 8], 0);
    EXPECT_EQ(TryLoad(stuck).error, "Not supported texture format");
}

TEST(TextureFileMalformed, RejectedTextureValues) {
    auto error = [](Tex t) { return TryLoad(packtest::PlainPack(8, {MakeTex(1), t})); };
    EXPECT_EQ(error(MakeTex(0)).error, "invalid hash");
    EXPECT_EQ(error(MakeTex(2, kFormatDXT1, 0, 8)).error, "Invalid width");
    EXPECT_EQ(error(MakeTex(2, kFormatDXT1, 8, 0)).error, "Invalid height");
    EXPECT_EQ(error(MakeTex(2, kFormatDXT1, 8, 8, 0)).error, "Invalid mip map count");
    EXPECT_EQ(error(MakeTex(2, 0)).error, "Not supported texture format");
    // The texture before the bad one stays in the list.
    EXPECT_EQ(error(MakeTex(0)).textures, 1u);

    EXPECT_EQ(TryLoad(packtest::CompressedPack(10, {MakeTex(0)}, &Jdlz)).error, "invalid hash");
}
