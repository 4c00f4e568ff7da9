#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/NameHash.h"
#include "texture/PixelFormat.h"
#include "texture/TextureObject.h"

using namespace zelko;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint32_t seed = 1) {
    std::vector<uint8_t> v(n);
    uint32_t s = seed;
    for (auto& b : v) b = uint8_t((s = s * 1103515245 + 12345) >> 16);
    return v;
}

std::unique_ptr<TextureObject> Make(uint32_t format, uint32_t w, uint32_t h, uint32_t mips,
                                    const std::vector<uint8_t>& px, bool pack = false) {
    return TextureObject::Create(pack, w, h, format, mips, px.data(), uint32_t(px.size()), nullptr, 0, 0, 0, 0);
}

std::string CreateError(uint32_t format, uint32_t w, uint32_t h, uint32_t mips) {
    const uint8_t px[4] = {};
    try {
        TextureObject::Create(false, w, h, format, mips, px, 4, nullptr, 0, 0, 0, 0);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

std::vector<uint8_t> Unpacked(const TextureObject& t) {
    auto view = t.PixelView();
    return std::vector<uint8_t>(view.begin(), view.end());
}

} // namespace

TEST(TextureObject, CreateChecksItsArgumentsInOrder) {
    EXPECT_EQ(CreateError(0, 0, 0, 0), "Not supported texture format");
    EXPECT_EQ(CreateError(kFormatDXT1, 0, 0, 0), "Invalid width");
    EXPECT_EQ(CreateError(kFormatDXT1, 4, 0, 0), "Invalid height");
    EXPECT_EQ(CreateError(kFormatDXT1, 4, 4, 0), "Invalid mip map count");
    EXPECT_EQ(CreateError(kFormatDXT1, 4, 4, 1), "");
}

TEST(TextureObject, DisplayNames) {
    ResetNameTables();
    auto t = Make(kFormatDXT1, 4, 4, 1, Pattern(8));
    t->name = "WINDOW_FRONT";
    t->hash = NameHash("WINDOW_FRONT");
    EXPECT_EQ(t->GetDisplayName(true), "WINDOW_FRONT");

    t->hash = 0x00ab12cd;
    EXPECT_EQ(t->GetDisplayName(true), "WINDOW_FRONT (0xab12cd)");
    EXPECT_EQ(t->GetDisplayName(false), "WINDOW_FRONT");

    RegisterName("REAR_WINDOW");
    t->hash = NameHash("REAR_WINDOW");
    EXPECT_EQ(t->GetDisplayName(true), "REAR_WINDOW");
    EXPECT_EQ(t->GetDisplayName(false), "REAR_WINDOW");
    ResetNameTables();
}

TEST(TextureObject, PackingKeepsPixelsByteIdentical) {
    for (size_t n : {size_t(1), size_t(8), size_t(16), size_t(4096 * 4 + 3)}) {
        auto px = Pattern(n, uint32_t(n));
        auto t = Make(kFormatARGB, 1, 1, 1, px, true);
        EXPECT_TRUE(t->pixelsPacked);
        EXPECT_EQ(t->pixelsSize, n);
        EXPECT_GT(t->packedSize, 0u);
        EXPECT_EQ(Unpacked(*t), px) << n;
        EXPECT_FALSE(t->SetPacked(false));
        EXPECT_EQ(std::vector<uint8_t>(t->pixels.get(), t->pixels.get() + n), px);
        EXPECT_TRUE(t->SetPacked(true));
        EXPECT_EQ(Unpacked(*t), px);
    }
}

TEST(TextureObject, SetDataAndDuplicateKeepThePixelStore) {
    std::vector<uint8_t> zeros(64 * 64 * 4, 0);
    auto t = Make(kFormatARGB, 64, 64, 1, zeros, true);
    const auto px = Pattern(32 * 32 * 4);
    const std::vector<uint8_t> pal(1024, 7);
    t->SetData(32, 32, 1, px.data(), uint32_t(px.size()), pal.data(), 1024);
    EXPECT_TRUE(t->pixelsPacked);
    EXPECT_EQ(t->width, 32u);
    EXPECT_EQ(t->paletteSize, 1024u);
    EXPECT_EQ(Unpacked(*t), px);
    t->SetData(32, 32, 1, px.data(), uint32_t(px.size()), nullptr, 0);
    EXPECT_TRUE(t->palette.empty());
    EXPECT_EQ(t->paletteSize, 0u);

    t->name = "A";
    t->alphaMode = 2;
    t->gameRecord = {1, 2, 3};
    t->fromXbox360 = 1;
    auto copy = TextureObject::Duplicate(*t, "COPY_OF_A");
    EXPECT_EQ(copy->name, "COPY_OF_A");
    EXPECT_EQ(copy->hash, NameHash("COPY_OF_A"));
    EXPECT_TRUE(copy->pixelsPacked);
    EXPECT_EQ(copy->packedSize, t->packedSize);
    EXPECT_EQ(copy->alphaMode, 2);
    EXPECT_EQ(copy->gameRecord, t->gameRecord);
    EXPECT_EQ(copy->fromXbox360, 0u);
    EXPECT_EQ(Unpacked(*copy), px);
}

TEST(TextureObject, GameFlags) {
    auto t = Make(kFormatDXT3, 4, 4, 1, Pattern(16));
    t->SetGameFlags(4);
    EXPECT_EQ(t->alphaMode, 1);
    EXPECT_EQ(t->blendMode, 0);
    EXPECT_TRUE(t->flagsEdited);

    t->format = kFormatARGB;
    t->flagsEdited = false;
    t->SetGameFlags(0);
    EXPECT_EQ(t->alphaMode, 0);
    EXPECT_EQ(t->blendMode, 1);
    EXPECT_TRUE(t->flagsEdited);
    t->SetGameFlags(2);
    EXPECT_EQ(t->alphaMode, 2);
    t->SetGameFlags(5);  // empty cell: the default
    EXPECT_EQ(t->alphaMode, 0);
    EXPECT_EQ(t->blendMode, 1);

    t->format = kFormatDXT5;
    t->SetGameFlags(1);
    EXPECT_EQ(t->alphaMode, 1);
    EXPECT_EQ(t->blendMode, 2);
    t->format = kFormatATI1;
    t->SetGameFlags(7);
    EXPECT_EQ(t->alphaMode, 0);
    EXPECT_EQ(t->blendMode, 0);
}

TEST(PixelFormat, NamesAndDxgiMapping) {
    EXPECT_STREQ(FormatName(0x1A200154), "DXT5");
    EXPECT_STREQ(FormatName(0x18280186), "ARGB");
    EXPECT_STREQ(FormatName(23), "UNKNOWN");
    EXPECT_STREQ(FormatName(kFormatATI2), "BC5");
    EXPECT_EQ(ToDxgi(kFormatP8), 87u);
    EXPECT_EQ(ToDxgi(kFormatDXT4), 77u);
    EXPECT_THROW(ToDxgi(23), Error);
    EXPECT_TRUE(IsSrgbDxgi(29));
    EXPECT_TRUE(IsSrgbDxgi(91));
    EXPECT_FALSE(IsSrgbDxgi(87));
    EXPECT_TRUE(IsCompressedDxgi(71));
    EXPECT_TRUE(IsCompressedDxgi(98));
    EXPECT_FALSE(IsCompressedDxgi(85));

    auto dxt = Make(kFormatDXT1, 100, 60, 1, Pattern(8));
    EXPECT_EQ(BaseSliceSize(*dxt), 25u * 15 * 8);
    auto p8 = Make(kFormatP8, 10, 3, 1, Pattern(30));
    EXPECT_EQ(BaseSliceSize(*p8), 30u);
}

TEST(Xbox360, TiledOffsetsWorkedByHand) {
    // 32-bit elements on a 32-element-wide surface.
    EXPECT_EQ(XboxTiledOffset(0, 0, 32, 4), 0u);
    EXPECT_EQ(XboxTiledOffset(1, 0, 32, 4), 1u);
    EXPECT_EQ(XboxTiledOffset(0, 1, 32, 4), 4u);
    EXPECT_EQ(XboxTiledOffset(8, 0, 32, 4), 16u);
    EXPECT_EQ(XboxTiledOffset(0, 2, 32, 4), 64u);
}

TEST(Xbox360, TiledDxt1BecomesRowOrderBlocks) {
    // 256x256 DXT1: 64x64 blocks of 8 bytes, each block holding its own index.
    constexpr uint32_t kBlocks = 64, kE = 8;
    std::vector<uint8_t> linear(kBlocks * kBlocks * kE);
    for (uint32_t i = 0; i < kBlocks * kBlocks; ++i) {
        StoreU32(&linear[i * kE], i);
        StoreU32(&linear[i * kE + 4], ~i);
    }
    std::vector<uint8_t> tiled(linear.size());
    std::vector<bool> used(kBlocks * kBlocks);
    for (uint32_t y = 0; y < kBlocks; ++y) {
        for (uint32_t x = 0; x < kBlocks; ++x) {
            const uint32_t t = XboxTiledOffset(x, y, kBlocks, kE);
            ASSERT_LT(t, kBlocks * kBlocks);
            ASSERT_FALSE(used[t]) << "tiling must be a permutation";
            used[t] = true;
            std::memcpy(&tiled[t * kE], &linear[(y * kBlocks + x) * kE], kE);
        }
    }
    // The console stores 16-bit words big-endian.
    for (size_t i = 0; i < tiled.size(); i += 2) std::swap(tiled[i], tiled[i + 1]);

    auto t = Make(kXboxTiledDXT1, 256, 256, 1, tiled);
    EXPECT_EQ(t->format, kFormatDXT1);
    EXPECT_EQ(t->fromXbox360, 1u);
    EXPECT_EQ(Unpacked(*t), linear);
}

TEST(Xbox360, LinearArgbIsOnlyByteSwapped) {
    const std::vector<uint8_t> px = {1, 2, 3, 4, 5, 6, 7, 8};
    auto t = Make(kXboxLinearARGB, 2, 1, 1, px, true);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_TRUE(t->pixelsPacked);
    EXPECT_EQ(Unpacked(*t), (std::vector<uint8_t>{4, 3, 2, 1, 8, 7, 6, 5}));

    t->SetPacked(true);
    EXPECT_THROW(ConvertFromXbox360(*t), Error);
}

TEST(DdsView, HeadersPerFormat) {
    std::vector<uint8_t> dds;
    auto argb = Make(kFormatARGB, 2, 2, 1, Pattern(16));
    ASSERT_TRUE(BuildDdsView(*argb, dds));
    ASSERT_EQ(dds.size(), 128u + 16);
    EXPECT_EQ(LoadU32(&dds[0]), MakeFourCC('D', 'D', 'S', ' '));
    EXPECT_EQ(LoadU32(&dds[4]), 124u);
    EXPECT_EQ(LoadU32(&dds[8]), 0x2100Fu);
    EXPECT_EQ(LoadU32(&dds[20]), 4u);
    EXPECT_EQ(LoadU32(&dds[80]), 0x41u);
    EXPECT_EQ(LoadU32(&dds[88]), 32u);
    EXPECT_EQ(LoadU32(&dds[92]), 0x00FF0000u);
    EXPECT_EQ(LoadU32(&dds[104]), 0xFF000000u);
    EXPECT_EQ(LoadU32(&dds[108]), 0x401008u);

    auto dxt5 = Make(kFormatDXT5, 8, 8, 2, Pattern(80), true);
    ASSERT_TRUE(BuildDdsView(*dxt5, dds));
    EXPECT_EQ(dds.size(), 128u + 80);
    EXPECT_EQ(LoadU32(&dds[8]), 0x81007u);
    EXPECT_EQ(LoadU32(&dds[20]), 8u * 8 * 4);
    EXPECT_EQ(LoadU32(&dds[28]), 2u);
    EXPECT_EQ(LoadU32(&dds[80]), 4u);
    EXPECT_EQ(LoadU32(&dds[84]), kFormatDXT5);
    EXPECT_EQ(std::vector<uint8_t>(dds.begin() + 128, dds.end()), Unpacked(*dxt5));

    auto l8 = Make(kFormatL8, 4, 1, 1, Pattern(4));
    ASSERT_TRUE(BuildDdsView(*l8, dds));
    EXPECT_EQ(LoadU32(&dds[80]), 0x20000u);
    EXPECT_EQ(LoadU32(&dds[88]), 8u);
    EXPECT_EQ(LoadU32(&dds[92]), 0xFFu);

    // P8 expands every index through the palette.
    std::vector<uint8_t> pal(1024);
    for (int i = 0; i < 256; ++i) StoreU32(&pal[i * 4], 0xFF000000u | uint32_t(i) * 0x010101u);
    const std::vector<uint8_t> idx = {0, 5, 255, 5};
    auto p8 = TextureObject::Create(false, 2, 2, kFormatP8, 1, idx.data(), 4, pal.data(), 1024, 0, 0, 0);
    ASSERT_TRUE(BuildDdsView(*p8, dds));
    ASSERT_EQ(dds.size(), 128u + 16);
    EXPECT_EQ(LoadU32(&dds[8]), 0x2100Fu);
    EXPECT_EQ(LoadU32(&dds[128 + 4]), 0xFF050505u);
    EXPECT_EQ(LoadU32(&dds[128 + 8]), 0xFFFFFFFFu);
    auto badP8 = TextureObject::Create(false, 2, 2, kFormatP8, 1, idx.data(), 4, pal.data(), 512, 0, 0, 0);
    EXPECT_FALSE(BuildDdsView(*badP8, dds));
}
