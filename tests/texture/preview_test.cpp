// Preview pixels: bottom-up rows and the checkerboard behind alpha.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "texture/Preview.h"
#include "texture/TextureObject.h"

namespace zelko {
namespace {

using Bgra = std::array<uint8_t, 4>;

PreviewPixels Filled(uint32_t width, uint32_t height, Bgra colour) {
    PreviewPixels p;
    p.width = width;
    p.height = height;
    for (uint32_t i = 0; i < width * height; ++i) p.bgra.insert(p.bgra.end(), colour.begin(), colour.end());
    return p;
}

Bgra At(const PreviewPixels& p, uint32_t x, uint32_t row) {
    const uint8_t* q = &p.bgra[(size_t(row) * p.width + x) * 4];
    return {q[0], q[1], q[2], q[3]};
}

constexpr Bgra kCyan0{255, 255, 0, 0};     // transparent pixel over the cyan square
constexpr Bgra kMagenta0{255, 0, 255, 0};  // ... over the magenta square

TEST(Checkerboard, TransparentPixelsShowTheSquares) {
    PreviewPixels p = Filled(96, 96, Bgra{10, 200, 30, 0});
    CompositeOverCheckerboard(p);
    EXPECT_EQ(At(p, 0, 0), kCyan0);
    EXPECT_EQ(At(p, 31, 31), kCyan0);
    EXPECT_EQ(At(p, 32, 0), kMagenta0);
    EXPECT_EQ(At(p, 0, 32), kMagenta0);
    EXPECT_EQ(At(p, 63, 0), kMagenta0);
    EXPECT_EQ(At(p, 32, 32), kCyan0);
    EXPECT_EQ(At(p, 64, 0), kCyan0);   // the pattern repeats every 64
    EXPECT_EQ(At(p, 64, 32), kMagenta0);
    EXPECT_EQ(At(p, 95, 95), kCyan0);  // 95 mod 64 = 31 in both directions
}

TEST(Checkerboard, OpaquePixelsAreUnchanged) {
    PreviewPixels p = Filled(70, 70, Bgra{1, 2, 3, 255});
    const std::vector<uint8_t> before = p.bgra;
    CompositeOverCheckerboard(p);
    EXPECT_EQ(p.bgra, before);
}

TEST(Checkerboard, HalfAlphaUsesIntegerArithmetic) {
    // a = 128, background 127. Cyan square: B 200*128/255 = 100 (100.39) + 127
    // = 227; G 100*128/255 = 50 (50.19) + 127 = 177; R 50*128/255 = 25 (25.09).
    // Magenta square: B 227, G 50, R 25 + 127 = 152. Alpha stays 128.
    PreviewPixels p = Filled(64, 1, Bgra{200, 100, 50, 128});
    CompositeOverCheckerboard(p);
    EXPECT_EQ(At(p, 0, 0), (Bgra{227, 177, 25, 128}));
    EXPECT_EQ(At(p, 40, 0), (Bgra{227, 50, 152, 128}));
    // White at a = 1: 255*1/255 = 1, + 254 = 255 in lit channels, 1 elsewhere.
    PreviewPixels w = Filled(1, 1, Bgra{255, 255, 255, 1});
    CompositeOverCheckerboard(w);
    EXPECT_EQ(At(w, 0, 0), (Bgra{255, 255, 1, 1}));
}

TEST(BottomUp, RowsAreReversedAndSquaresCountMemoryRows) {
    // 1x40 image, top row red, bottom row green: memory row 0 is the bottom.
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 1, 40), kOk);
    uint8_t* px = image.GetPixels();
    for (int y = 0; y < 40; ++y) {
        px[y * 4 + 0] = uint8_t(y);  // row number in blue
        px[y * 4 + 3] = 0;
    }
    std::optional<PreviewPixels> p = BottomUpPixels(image);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->width, 1u);
    ASSERT_EQ(p->height, 40u);
    ASSERT_EQ(p->bgra.size(), 160u);
    EXPECT_EQ(p->bgra[0], 39);           // bottom image row first
    EXPECT_EQ(p->bgra[39 * 4], 0);       // top image row last
    CompositeOverCheckerboard(*p);
    EXPECT_EQ(At(*p, 0, 0), kCyan0);     // the image's bottom row
    EXPECT_EQ(At(*p, 0, 39), kMagenta0); // its top row, memory row 39
}

TEST(BottomUp, OnlyThirtyTwoBitBgraIsAccepted) {
    ScratchImage image;
    EXPECT_FALSE(BottomUpPixels(image));
    ASSERT_EQ(image.Initialize2D(DxgiFormat::R8G8B8A8_UNORM, 4, 4), kOk);
    EXPECT_FALSE(BottomUpPixels(image));
}

// --- from texture records ------------------------------------------------

std::unique_ptr<TextureObject> Argb2x2() {
    // Top row: red, transparent green; bottom row: blue, half-transparent white.
    const uint8_t px[16] = {0, 0, 255, 255, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 255, 128};
    return TextureObject::Create(false, 2, 2, kFormatARGB, 1, px, 16, nullptr, 0, 0, 0, 0);
}

TEST(MakePreview, RowsBottomUpWithoutAlpha) {
    auto t = Argb2x2();
    std::optional<PreviewPixels> p = MakePreviewPixels(*t, false, std::nullopt);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 2u);
    EXPECT_EQ(p->height, 2u);
    EXPECT_EQ(At(*p, 0, 0), (Bgra{255, 0, 0, 255}));      // blue, bottom row first
    EXPECT_EQ(At(*p, 1, 0), (Bgra{255, 255, 255, 128}));
    EXPECT_EQ(At(*p, 0, 1), (Bgra{0, 0, 255, 255}));      // red
    EXPECT_EQ(At(*p, 1, 1), (Bgra{0, 255, 0, 0}));        // colour kept despite alpha 0
}

TEST(MakePreview, AlphaOverCheckerboard) {
    auto t = Argb2x2();
    std::optional<PreviewPixels> p = MakePreviewPixels(*t, true, std::nullopt);
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 0, 1), (Bgra{0, 0, 255, 255}));  // opaque: unchanged
    EXPECT_EQ(At(*p, 1, 1), kCyan0);                  // transparent: background
    // White at 128: lit 255*128/255 + 127 = 255, unlit 128.
    EXPECT_EQ(At(*p, 1, 0), (Bgra{255, 255, 128, 128}));
}

TEST(MakePreview, ThumbnailIsSquare) {
    auto t = Argb2x2();
    std::optional<PreviewPixels> p = MakeThumbnailPixels(*t, 16);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 16u);
    EXPECT_EQ(p->height, 16u);
    EXPECT_EQ(p->bgra.size(), 16u * 16 * 4);
    // Top-left stays red (the enlarging filter may leak a trace of green).
    const Bgra corner = At(*p, 0, 15);
    EXPECT_EQ(corner[2], 255);
    EXPECT_EQ(corner[3], 255);
    EXPECT_LE(corner[1], 8);
}

TEST(MakePreview, BlockTextureShowsBaseLevel) {
    // 8x8 DXT1 with 2 levels: four solid blocks (red, green / blue, white), then
    // one white block for the 4x4 level.
    const uint16_t c[5] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFFF};
    std::vector<uint8_t> data;
    for (uint16_t v : c) {
        const uint8_t block[8] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 8), 0, 0, 0, 0};
        data.insert(data.end(), block, block + 8);
    }
    auto t = TextureObject::Create(false, 8, 8, kFormatDXT1, 2, data.data(), uint32_t(data.size()), nullptr, 0, 0, 0, 0);
    std::optional<PreviewPixels> p = MakePreviewPixels(*t, false, std::nullopt);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->bgra.size(), 8u * 8 * 4);
    EXPECT_EQ(At(*p, 0, 7), (Bgra{0, 0, 255, 255}));      // image top-left: red
    EXPECT_EQ(At(*p, 7, 7), (Bgra{0, 255, 0, 255}));      // top-right: green
    EXPECT_EQ(At(*p, 0, 0), (Bgra{255, 0, 0, 255}));      // bottom-left: blue
    EXPECT_EQ(At(*p, 7, 0), (Bgra{255, 255, 255, 255}));  // bottom-right: white
}

TEST(MakePreview, PaletteTextureIsExpanded) {
    std::vector<uint8_t> palette(1024, 0);
    palette[4 * 7 + 1] = 200;  // entry 7: green 200
    palette[4 * 7 + 3] = 255;
    const std::vector<uint8_t> idx(16, 7);
    auto t = TextureObject::Create(false, 4, 4, kFormatP8, 1, idx.data(), 16, palette.data(), 1024, 0, 0, 0);
    std::optional<PreviewPixels> p = MakePreviewPixels(*t, true, std::nullopt);
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 3, 3), (Bgra{0, 200, 0, 255}));
}

TEST(MakePreview, UndecodableTextureGivesNothing) {
    const std::vector<uint8_t> idx(16, 0), shortPalette(512, 0);
    auto t = TextureObject::Create(false, 4, 4, kFormatP8, 1, idx.data(), 16, shortPalette.data(), 512, 0, 0, 0);
    EXPECT_FALSE(MakePreviewPixels(*t, false, std::nullopt));
    EXPECT_FALSE(MakeThumbnailPixels(*t, 32));
    const std::vector<uint8_t> few(8, 0);
    auto truncated = TextureObject::Create(false, 8, 8, kFormatARGB, 1, few.data(), 8, nullptr, 0, 0, 0, 0);
    EXPECT_FALSE(MakePreviewPixels(*truncated, true, std::nullopt));
}

} // namespace
} // namespace zelko
