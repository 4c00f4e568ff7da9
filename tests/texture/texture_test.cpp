// Texture records, Xbox 360 untiling, decoding, and preview pixels.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "format/ByteStream.h"
#include "format/NameHash.h"
#include "format/error_text.h"
#include "format/pack_builder.h"
#include "texture/Conversion.h"
#include "texture/PixelFormat.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

namespace zelko {
namespace {

using Bytes = std::vector<uint8_t>;
using Bgra = std::array<uint8_t, 4>;

Bytes Pattern(size_t n, uint32_t seed = 1) { return packtest::Pattern(n, seed); }

std::unique_ptr<TextureObject> Make(uint32_t format, uint32_t w, uint32_t h, uint32_t mips, const Bytes& px,
                                    bool pack = false, const Bytes& palette = {}) {
    return TextureObject::Create(
        {w, h, format, mips, px.data(), uint32_t(px.size()), palette.data(), uint32_t(palette.size())}, pack);
}

Bytes Unpacked(const TextureObject& t) {
    auto view = t.PixelView();
    return Bytes(view.begin(), view.end());
}

TEST(TextureObject, CreateChecksItsArgumentsInOrderAndNamesShowTheirHash) {
    const Bytes px(4);
    EXPECT_EQ(ErrorText([&] { Make(0, 0, 0, 0, px); }), "Not supported texture format");
    EXPECT_EQ(ErrorText([&] { Make(kFormatDXT1, 0, 0, 0, px); }), "Invalid width");
    EXPECT_EQ(ErrorText([&] { Make(kFormatDXT1, 4, 0, 0, px); }), "Invalid height");
    EXPECT_EQ(ErrorText([&] { Make(kFormatDXT1, 4, 4, 0, px); }), "Invalid mip map count");
    EXPECT_EQ(ErrorText([&] { Make(kFormatDXT1, 4, 4, 1, px); }), "");

    // Display names: the hash is shown when the name does not make it.
    ResetNameTables();
    auto t = Make(kFormatDXT1, 4, 4, 1, Pattern(8));
    t->name = "WINDOW_FRONT";
    t->hash = NameHash("WINDOW_FRONT");
    EXPECT_EQ(t->GetDisplayName(true), "WINDOW_FRONT");
    t->hash = 0x00ab12cd;
    EXPECT_EQ(t->GetDisplayName(true), "WINDOW_FRONT (0xab12cd)");
    RegisterName("REAR_WINDOW");
    t->hash = NameHash("REAR_WINDOW");
    EXPECT_EQ(t->GetDisplayName(true), "REAR_WINDOW");
    ResetNameTables();
}

TEST(TextureObject, PackingSetDataAndDuplicateKeepPixelsByteIdentical) {
    for (size_t n : {size_t(1), size_t(16), size_t(4096 * 4 + 3)}) {
        const Bytes px = Pattern(n, uint32_t(n));
        auto t = Make(kFormatARGB, 1, 1, 1, px, true);
        EXPECT_TRUE(t->pixelsPacked);
        EXPECT_GT(t->packedSize, 0u);
        EXPECT_EQ(Unpacked(*t), px) << n;
        EXPECT_FALSE(t->SetPacked(false));
        EXPECT_EQ(Bytes(t->pixels.get(), t->pixels.get() + n), px);
        EXPECT_TRUE(t->SetPacked(true));
        EXPECT_EQ(Unpacked(*t), px);
    }

    // SetData and Duplicate keep the pixel store.
    auto t = Make(kFormatARGB, 64, 64, 1, Bytes(64 * 64 * 4), true);
    const Bytes px = Pattern(32 * 32 * 4), pal(1024, 7);
    t->SetData(32, 32, 1, px.data(), uint32_t(px.size()), pal.data(), 1024);
    EXPECT_TRUE(t->pixelsPacked);
    EXPECT_EQ(std::tuple(t->width, t->paletteSize, Unpacked(*t)), std::tuple(32u, 1024u, px));

    t->name = "A", t->alphaMode = 2, t->gameRecord = {1, 2, 3}, t->fromXbox360 = 1;
    auto copy = TextureObject::Duplicate(*t, "COPY_OF_A");
    EXPECT_EQ(std::tuple(copy->name, copy->hash, copy->pixelsPacked, copy->packedSize, copy->alphaMode),
              std::tuple("COPY_OF_A", NameHash("COPY_OF_A"), true, t->packedSize, uint8_t(2)));
    EXPECT_EQ(copy->gameRecord, t->gameRecord);
    EXPECT_EQ(copy->fromXbox360, 0u);
    EXPECT_EQ(Unpacked(*copy), px);
}

TEST(Xbox360, TiledOffsetsAndLinearArgb) {
    // 32-bit elements on a 32-element-wide surface, worked by hand: {x, y, offset}. Whole
    // tiled textures are untiled where packs are read.
    const uint32_t offsets[][3] = {{0, 0, 0}, {1, 0, 1}, {0, 1, 4}, {8, 0, 16}, {0, 2, 64}};
    for (const auto& c : offsets) EXPECT_EQ(XboxTiledOffset(c[0], c[1], 32, 4), c[2]) << c[0] << "," << c[1];

    // Linear ARGB is only byte-swapped; packed pixels cannot be converted.
    auto t = Make(kXboxLinearARGB, 2, 1, 1, {1, 2, 3, 4, 5, 6, 7, 8}, true);
    EXPECT_EQ(std::tuple(t->format, t->fromXbox360), std::tuple(kFormatARGB, 1u));
    EXPECT_EQ(Unpacked(*t), (Bytes{4, 3, 2, 1, 8, 7, 6, 5}));
    EXPECT_THROW(ConvertFromXbox360(*t), Error);
}

Bytes Decoded(const TextureObject& t, DxgiFormat format, std::string& error) {
    ScratchImage image;
    if (!DecodeTexture(t, image, error)) return {};
    EXPECT_EQ(image.GetMetadata().format, format);
    EXPECT_EQ(image.GetMetadata().mipLevels, t.mipCount);
    return Bytes(image.GetPixels(), image.GetPixels() + image.GetPixelsSize());
}

TEST(DecodeTexture, ReadsEachFormatsBytesAsTheyStand) {
    std::string error;
    const Bytes argb = Pattern(16);
    EXPECT_EQ(Decoded(*Make(kFormatARGB, 2, 2, 1, argb), DxgiFormat::B8G8R8A8_UNORM, error), argb);
    auto dxt5 = Make(kFormatDXT5, 8, 8, 2, Pattern(80), true);
    EXPECT_EQ(Decoded(*dxt5, DxgiFormat::BC3_UNORM, error), Unpacked(*dxt5));
    EXPECT_EQ(Decoded(*Make(kFormatDXT2, 4, 4, 1, Pattern(16)), DxgiFormat::BC2_UNORM, error), Pattern(16));
    EXPECT_EQ(Decoded(*Make(kFormatATI2, 4, 4, 1, Pattern(16)), DxgiFormat::BC5_UNORM, error), Pattern(16));
    EXPECT_EQ(Decoded(*Make(kFormatL8, 4, 1, 1, Pattern(4)), DxgiFormat::R8_UNORM, error), Pattern(4));

    // P8 expands every index through the palette; a short palette fails.
    Bytes pal(1024);
    for (int i = 0; i < 256; ++i) StoreU32(&pal[i * 4], 0xFF000000u | uint32_t(i) * 0x010101u);
    const Bytes p8 = Decoded(*Make(kFormatP8, 2, 2, 1, {0, 5, 255, 5}, false, pal), DxgiFormat::B8G8R8A8_UNORM, error);
    ASSERT_EQ(p8.size(), 16u);
    EXPECT_EQ(std::tuple(LoadU32(&p8[4]), LoadU32(&p8[8])), std::tuple(0xFF050505u, 0xFFFFFFFFu));
    pal.resize(512);
    EXPECT_TRUE(Decoded(*Make(kFormatP8, 2, 2, 1, {0, 5, 255, 5}, false, pal), {}, error).empty());
    EXPECT_EQ(error, "Failed to load the texture.");

    // Xbox 360 ARGB before conversion, and more levels than the sides allow.
    auto xbox = Make(kFormatARGB, 2, 1, 1, Pattern(8));
    xbox->format = kXboxTiledARGB;
    EXPECT_TRUE(Decoded(*xbox, {}, error).empty());
    EXPECT_EQ(error, "Failed to load the texture. Error code: 0x80070032");
    xbox->format = kFormatARGB;
    xbox->mipCount = 3;
    EXPECT_TRUE(Decoded(*xbox, {}, error).empty());
    EXPECT_EQ(error, "Failed to load the texture. Error code: 0x8007000d");
}

// Preview pixels: the checkerboard behind alpha, then bottom-up rows of each kind of texture.
PreviewPixels Filled(uint32_t width, uint32_t height, Bgra colour) {
    PreviewPixels p;
    p.width = width, p.height = height;
    p.bgra.resize(size_t(width) * height * 4);
    for (size_t i = 0; i < p.bgra.size(); i += 4) std::memcpy(&p.bgra[i], colour.data(), 4);
    return p;
}

Bgra At(const PreviewPixels& p, uint32_t x, uint32_t row) {
    const uint8_t* q = &p.bgra[(size_t(row) * p.width + x) * 4];
    return {q[0], q[1], q[2], q[3]};
}

constexpr Bgra kCyan0{255, 255, 0, 0};
constexpr Bgra kMagenta0{255, 0, 255, 0};

TEST(Checkerboard, AlphaZeroFullAndHalf) {
    PreviewPixels p = Filled(96, 96, Bgra{10, 200, 30, 0});
    CompositeOverCheckerboard(p);
    // 32-pixel squares repeating every 64.
    const uint32_t cyan[][2] = {{31, 31}, {32, 32}, {64, 0}};
    const uint32_t magenta[][2] = {{32, 0}, {63, 0}, {64, 32}};
    for (auto [x, y] : cyan) EXPECT_EQ(At(p, x, y), kCyan0) << x << "," << y;
    for (auto [x, y] : magenta) EXPECT_EQ(At(p, x, y), kMagenta0) << x << "," << y;

    // a = 128 over background 127: channel * 128 / 255 (truncated) + 127 where lit.
    PreviewPixels half = Filled(64, 1, Bgra{200, 100, 50, 128});
    CompositeOverCheckerboard(half);
    EXPECT_EQ(At(half, 0, 0), (Bgra{227, 177, 25, 128}));
    EXPECT_EQ(At(half, 40, 0), (Bgra{227, 50, 152, 128}));
}

TEST(MakePreview, ArgbRowsBottomUpOverTheCheckerboard) {
    // Top row: red, transparent green; bottom row: blue, half-transparent white.
    auto argb = Make(kFormatARGB, 2, 2, 1, {0, 0, 255, 255, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 255, 128});
    std::optional<PreviewPixels> p = MakePreviewPixels(*argb, false, std::nullopt);
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 0, 0), (Bgra{255, 0, 0, 255}));
    EXPECT_EQ(At(*p, 1, 0), (Bgra{255, 255, 255, 128}));
    EXPECT_EQ(At(*p, 0, 1), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(At(*p, 1, 1), (Bgra{0, 255, 0, 0}));
    p = MakePreviewPixels(*argb, true, std::nullopt); // over the checkerboard, whose blend is tested above
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 1, 1), kCyan0);

    EXPECT_FALSE(MakePreviewPixels(*Make(kFormatARGB, 8, 8, 1, Bytes(8)), true, std::nullopt));
}

TEST(MakePreview, ThumbnailsFromBlocksMatchTheFullDecode) {
    // DXT thumbnails of whole multiples are summed block by block; random
    // blocks (every BC1 mode, every kind of alpha) must give the bytes of the
    // full-size decode and shrink.
    std::mt19937 random(9);
    for (uint32_t format : {kFormatDXT1, kFormatDXT3, kFormatDXT5}) {
        for (auto [w, h] : {std::array<uint32_t, 2>{512, 256}, {128, 128}}) {
            SCOPED_TRACE(std::to_string(format) + " " + std::to_string(w) + "x" + std::to_string(h));
            Bytes data((format == kFormatDXT1 ? 8 : 16) * (w / 4) * (h / 4));
            for (size_t i = 0; i < data.size(); ++i) data[i] = i % 97 < 30 ? 255 : uint8_t(random());
            auto texture = Make(format, w, h, 1, data);
            ScratchImage image;
            std::string error;
            ASSERT_TRUE(DecodeTexture(*texture, image, error));
            ASSERT_TRUE(ConvertImage(image, kFormatARGB, 32, 32, 1, Resizing::ToTarget, error));
            const auto thumbnail = MakeThumbnailPixels(*texture, 32);
            ASSERT_TRUE(thumbnail);
            EXPECT_TRUE(thumbnail->bgra == BottomUpPixels(image)->bgra);
        }
    }
    // A chain short of its bytes leaves the base to do the work.
    auto cut = Make(kFormatDXT1, 512, 256, 1, Bytes(512 * 256 / 2));
    cut->mipCount = 8;
    EXPECT_TRUE(MakeThumbnailPixels(*cut, 32).has_value());
}

} // namespace
} // namespace zelko
