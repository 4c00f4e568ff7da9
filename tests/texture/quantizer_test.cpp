// The palette quantizer. Expected palettes and indices below were worked out
// by hand from the described arithmetic; the reasoning is in the comments.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "texture/PaletteQuantizer.h"

namespace zelko {
namespace {

using Bgra = std::array<uint8_t, 4>;

std::vector<uint8_t> Pixels(const std::vector<Bgra>& colours) {
    std::vector<uint8_t> out;
    for (const Bgra& c : colours) out.insert(out.end(), c.begin(), c.end());
    return out;
}

Bgra Entry(const uint8_t* palette, int i) {
    return {palette[i * 4], palette[i * 4 + 1], palette[i * 4 + 2], palette[i * 4 + 3]};
}

constexpr Bgra kRed{0, 0, 255, 255};
constexpr Bgra kGreen{0, 255, 0, 255};
constexpr Bgra kBlueHalf{255, 0, 0, 128};
constexpr Bgra kBlack{0, 0, 0, 255};
constexpr Bgra kGrey120{120, 120, 120, 255};
constexpr Bgra kWhite{255, 255, 255, 255};

// --- hashing -------------------------------------------------------------

TEST(QuantizerHash, BucketsOfKnownColours) {
    // Three rounds of v - rotr(v, 13) on paper: 0 and 0xFFFFFFFF both stay 0.
    EXPECT_EQ(PaletteQuantizer::Bucket(0x00000000u), 0u);
    EXPECT_EQ(PaletteQuantizer::Bucket(0xFFFFFFFFu), 0u);
    // Worked out separately with the same rounds of rotr 13 and wrapping subtraction.
    EXPECT_EQ(PaletteQuantizer::Bucket(0xFFFF0000u), 59048u);  // opaque red
    EXPECT_EQ(PaletteQuantizer::Bucket(0xFF00FF00u), 26204u);  // opaque green
    EXPECT_EQ(PaletteQuantizer::Bucket(0x800000FFu), 22316u);  // blue at alpha 128
}

TEST(QuantizerHash, CollidingColoursStayDistinct) {
    // White and transparent black share bucket 0 and must not merge.
    PaletteQuantizer q;
    std::vector<uint8_t> px = Pixels({kWhite, Bgra{0, 0, 0, 0}, kWhite});
    q.AddPixels(px.data(), 3);
    EXPECT_EQ(q.ColourCount(), 2u);
    uint8_t palette[1024];
    q.BuildPalette(palette);
    uint8_t idx[3];
    q.MapLevel(px.data(), 3, 1, 12, idx);
    EXPECT_EQ(Entry(palette, idx[0]), kWhite);
    EXPECT_EQ(Entry(palette, idx[1]), (Bgra{0, 0, 0, 0}));
    EXPECT_EQ(idx[0], idx[2]);
}

// --- palette construction ------------------------------------------------

TEST(QuantizerPalette, ThreeColoursInSplitOrder) {
    // 2x2: red, green / blue(alpha 128), red. Coordinates (b, 1.2g, 0.8r, a),
    // premultiplied: blue (.502, 0, 0, .502), green (0, 1.2, 0, 1), red x2
    // (0, 0, .8, 1). Bucket order blue, green, red. Direction: blue's
    // deviation, green's flipped, red's added -> projections green < blue <
    // red. Cut 1 (green | blue, red) errors .76 < cut 2's .97, so green is
    // split off as box 1. Box 0 (blue, red) then splits with red first:
    // red becomes box 2. Remaining boxes are empty (zero entries).
    // Blue: b / a = 1 -> 255, a = 128/255 * 255.9 = 128.45 -> 128.
    std::vector<uint8_t> px = Pixels({kRed, kGreen, kBlueHalf, kRed});
    PaletteQuantizer q;
    q.AddPixels(px.data(), 4);
    uint8_t palette[1024];
    q.BuildPalette(palette);
    EXPECT_EQ(Entry(palette, 0), kBlueHalf);
    EXPECT_EQ(Entry(palette, 1), kGreen);
    EXPECT_EQ(Entry(palette, 2), kRed);
    for (int i = 3; i < 256; ++i) EXPECT_EQ(Entry(palette, i), (Bgra{0, 0, 0, 0})) << i;

    uint8_t idx[4];
    q.MapLevel(px.data(), 2, 2, 8, idx);
    EXPECT_EQ(std::vector<uint8_t>(idx, idx + 4), (std::vector<uint8_t>{2, 1, 0, 2}));
}

TEST(QuantizerPalette, TwoBoxesAverageAndDither) {
    // 4x2 greys, columns: 120, 120, 0, 255 (both rows). Counts 4, 2, 2.
    // All points lie on one line, so distances are in grey units.
    // Cut {0 | 120, 255}: mean 165, error 4*45^2 + 2*90^2 = 24300;
    // cut {0, 120 | 255}: mean 80, error 2*80^2 + 4*40^2 = 19200 -> wins.
    // Bucket order white, black, grey; the direction follows white, so the
    // order is black, grey, white and {black, grey} becomes box 1.
    // Palette: box 0 white; box 1 80/255 * 255.9 = 80.28 -> 80.
    // Dither of 120: i0 = 80, e = -40; q - e/3 = 133.3 still nearest 80;
    // q - 3e = 240 nearest 255, so s = 175 * 0.8 = 140. Cells:
    // 120 - 52.5 = 67.5 -> 80; 120 + 17.5 -> 80; 120 + 52.5 = 172.5 -> 255;
    // 120 - 17.5 -> 80. Black: nearest 80, both probes too: s = 0 -> 80.
    std::vector<Bgra> colours;
    for (int row = 0; row < 2; ++row)
        for (Bgra c : {kGrey120, kGrey120, kBlack, kWhite}) colours.push_back(c);
    std::vector<uint8_t> px = Pixels(colours);
    PaletteQuantizer q(2);
    q.AddPixels(px.data(), 8);
    uint8_t palette[1024];
    q.BuildPalette(palette);
    EXPECT_EQ(Entry(palette, 0), kWhite);
    EXPECT_EQ(Entry(palette, 1), (Bgra{80, 80, 80, 255}));
    for (int i = 2; i < 256; ++i) EXPECT_EQ(Entry(palette, i), (Bgra{0, 0, 0, 0})) << i;

    uint8_t idx[8];
    q.MapLevel(px.data(), 4, 2, 16, idx);
    EXPECT_EQ(std::vector<uint8_t>(idx, idx + 8), (std::vector<uint8_t>{1, 1, 1, 0, 0, 1, 1, 0}));
}

TEST(QuantizerPalette, FullyTransparentImageGivesZeroEntry) {
    // Transparent colours all premultiply to the origin; the mean alpha 0 must
    // not be divided by.
    std::vector<uint8_t> px = Pixels({Bgra{10, 20, 30, 0}, Bgra{200, 100, 50, 0}});
    PaletteQuantizer q;
    q.AddPixels(px.data(), 2);
    uint8_t palette[1024];
    q.BuildPalette(palette);
    uint8_t idx[2];
    q.MapLevel(px.data(), 2, 1, 8, idx);
    EXPECT_EQ(Entry(palette, idx[0]), (Bgra{0, 0, 0, 0}));
    EXPECT_EQ(Entry(palette, idx[1]), (Bgra{0, 0, 0, 0}));
}

TEST(QuantizerPalette, ManyColoursStayClose) {
    // 64x64 smooth gradient, 4096 distinct colours: 256 entries must cover it
    // with a small error and never wrap a channel.
    const int n = 64;
    std::vector<uint8_t> px(size_t(n) * n * 4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            uint8_t* p = &px[size_t(y * n + x) * 4];
            p[0] = uint8_t(x * 4);
            p[1] = uint8_t(y * 4);
            p[2] = uint8_t(255 - x * 2);
            p[3] = 255;
        }
    PaletteQuantizer q;
    q.AddPixels(px.data(), size_t(n) * n);
    uint8_t palette[1024];
    q.BuildPalette(palette);
    std::vector<uint8_t> idx(size_t(n) * n);
    q.MapLevel(px.data(), n, n, size_t(n) * 4, idx.data());
    long worst = 0;
    double total = 0;
    for (size_t i = 0; i < idx.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            long d = std::labs(long(px[i * 4 + size_t(c)]) - long(palette[idx[i] * 4 + c]));
            worst = std::max(worst, d);
            total += double(d);
        }
        EXPECT_EQ(palette[idx[i] * 4 + 3], 255);
    }
    EXPECT_LT(total / double(idx.size() * 3), 8.0);
    EXPECT_LT(worst, 48);
}

// --- whole images ----------------------------------------------------------

TEST(QuantizeImage, EveryLevelGetsIndicesDitheredPerLevel) {
    // Two levels, 4x2 and 2x1, of the two-colour case: exact colours need no
    // dither, and the indices follow each level's own pixels.
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 4, 2, 1, 2), kOk);
    std::vector<uint8_t> base = Pixels({kRed, kGreen, kRed, kGreen, kGreen, kGreen, kRed, kRed});
    std::vector<uint8_t> mip = Pixels({kGreen, kRed});
    ASSERT_EQ(image.GetPixelsSize(), base.size() + mip.size());
    std::copy(base.begin(), base.end(), image.GetPixels());
    std::copy(mip.begin(), mip.end(), image.GetPixels() + base.size());

    std::vector<uint8_t> palette, indices;
    ASSERT_TRUE(QuantizeImage(image, palette, indices));
    ASSERT_EQ(palette.size(), 1024u);
    ASSERT_EQ(indices.size(), 10u);
    const std::vector<Bgra> expected = {kRed, kGreen, kRed, kGreen, kGreen, kGreen, kRed, kRed, kGreen, kRed};
    for (size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(Entry(palette.data(), indices[i]), expected[i]) << i;
}

TEST(QuantizeImage, RefusesOtherFormats) {
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, 4, 4), kOk);
    std::vector<uint8_t> palette{1}, indices{2};
    EXPECT_FALSE(QuantizeImage(image, palette, indices));
    EXPECT_EQ(palette, std::vector<uint8_t>{1});
    EXPECT_EQ(indices, std::vector<uint8_t>{2});
}

} // namespace
} // namespace zelko
