// Convert, Decompress, Compress, Resize, GenerateMipMaps and CopyRectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "texture/ImageBlock.h"
#include "texture/ImageOps.h"

namespace zelko {
namespace {

using Bytes = std::vector<uint8_t>;

// A one-level image holding `bytes` (packed rows).
ScratchImage Make(DxgiFormat format, size_t width, size_t height, const Bytes& bytes) {
    ScratchImage image;
    EXPECT_EQ(image.Initialize2D(format, width, height), kOk);
    EXPECT_EQ(bytes.size(), image.GetPixelsSize());
    std::memcpy(image.GetPixels(), bytes.data(), std::min(bytes.size(), image.GetPixelsSize()));
    return image;
}

Bytes Contents(const ScratchImage& image, size_t mip = 0) {
    const Image* level = image.GetImage(mip, 0, 0);
    return Bytes(level->pixels, level->pixels + level->slicePitch);
}

Bytes RandomBytes(size_t n, uint32_t seed = 5) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& v : b) v = uint8_t(rng());
    return b;
}

// Smooth BGRA colours (one step per pixel) with an alpha ramp.
Bytes Gradient(size_t width, size_t height) {
    Bytes b;
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            b.insert(b.end(), {uint8_t(x % 256), uint8_t(y % 256), uint8_t(64 + (x + y) / 2 % 128),
                               uint8_t(255 - y * 200 / height)});
    return b;
}

double Psnr(const Bytes& a, const Bytes& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::pow(double(a[i]) - b[i], 2);
    return 10 * std::log10(255.0 * 255.0 * double(a.size()) / std::max(sum, 1e-9));
}

// Converts `bytes`, rows of 256 pixels when there are more than that.
Bytes ConvertTo(DxgiFormat from, const Bytes& bytes, size_t count, DxgiFormat to,
                TexFilterFlags filter = kTexFilterDefault, float threshold = 0.5f) {
    size_t width = std::min<size_t>(count, 256);
    ScratchImage source = Make(from, width, count / width, bytes), result;
    EXPECT_EQ(Convert(*source.GetImages(), to, filter, threshold, result), kOk);
    return result.GetPixels() ? Contents(result) : Bytes{};
}

TEST(Convert, ExpandsMissingChannelsAndDropsTheRest) {
    EXPECT_EQ(ConvertTo(DxgiFormat::R8_UNORM, {7, 200}, 2, DxgiFormat::R8G8B8A8_UNORM),
              (Bytes{7, 0, 0, 255, 200, 0, 0, 255}));
    EXPECT_EQ(ConvertTo(DxgiFormat::A8_UNORM, {9}, 1, DxgiFormat::B8G8R8A8_UNORM), (Bytes{0, 0, 0, 9}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8_UNORM, {1, 2}, 1, DxgiFormat::B8G8R8A8_UNORM), (Bytes{0, 2, 1, 255}));
    // X reads as opaque and is written as 255.
    EXPECT_EQ(ConvertTo(DxgiFormat::B8G8R8X8_UNORM, {1, 2, 3, 0}, 1, DxgiFormat::R8G8B8A8_UNORM),
              (Bytes{3, 2, 1, 255}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, {1, 2, 3, 4}, 1, DxgiFormat::B8G8R8X8_UNORM),
              (Bytes{3, 2, 1, 255}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, {1, 2, 3, 4}, 1, DxgiFormat::A8_UNORM), (Bytes{4}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, {1, 2, 3, 4}, 1, DxgiFormat::R8G8_UNORM), (Bytes{1, 2}));
    // Colour to a red-only format: luminance, or red on request; grey stays exact.
    EXPECT_EQ(ConvertTo(DxgiFormat::B8G8R8A8_UNORM, {0, 0, 255, 255}, 1, DxgiFormat::R8_UNORM), (Bytes{54}));
    EXPECT_EQ(ConvertTo(DxgiFormat::B8G8R8A8_UNORM, {0, 0, 255, 255}, 1, DxgiFormat::R8_UNORM,
                        kTexFilterRgbCopyRed),
              (Bytes{255}));
    Bytes greys, expected;
    for (int v = 0; v < 256; ++v) {
        greys.insert(greys.end(), {uint8_t(v), uint8_t(v), uint8_t(v), 255});
        expected.push_back(uint8_t(v));
    }
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, greys, 256, DxgiFormat::R8_UNORM), expected);
}

TEST(Convert, ByteLayoutsAndRelabelsAreExact) {
    Bytes random = RandomBytes(64 * 4);
    Bytes rgba = ConvertTo(DxgiFormat::B8G8R8A8_UNORM, random, 64, DxgiFormat::R8G8B8A8_UNORM);
    for (size_t i = 0; i < random.size(); i += 4) {
        ASSERT_EQ(rgba[i], random[i + 2]);
        ASSERT_EQ(rgba[i + 3], random[i + 3]);
    }
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, rgba, 64, DxgiFormat::B8G8R8A8_UNORM), random);
    // sRGB is a label: no curve is applied either way.
    EXPECT_EQ(ConvertTo(DxgiFormat::B8G8R8A8_UNORM_SRGB, random, 64, DxgiFormat::B8G8R8A8_UNORM, kTexFilterSrgb),
              random);
    EXPECT_EQ(ConvertTo(DxgiFormat::B8G8R8A8_UNORM_SRGB, random, 64, DxgiFormat::R8G8B8A8_UNORM), rgba);
    // Through half floats and back, every byte value survives.
    Bytes all(256 * 4);
    for (size_t i = 0; i < all.size(); ++i) all[i] = uint8_t(i / 4 + i % 4 * 64);
    Bytes half = ConvertTo(DxgiFormat::R8G8B8A8_UNORM, all, 256, DxgiFormat::R16G16B16A16_FLOAT);
    EXPECT_EQ(ConvertTo(DxgiFormat::R16G16B16A16_FLOAT, half, 256, DxgiFormat::R8G8B8A8_UNORM), all);
}

TEST(Convert, PackedFormatsRoundAndThreshold) {
    Bytes every565(65536 * 2);
    for (size_t v = 0; v < 65536; ++v) {
        every565[2 * v] = uint8_t(v);
        every565[2 * v + 1] = uint8_t(v >> 8);
    }
    Bytes rgba = ConvertTo(DxgiFormat::B5G6R5_UNORM, every565, 65536, DxgiFormat::R8G8B8A8_UNORM);
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, rgba, 65536, DxgiFormat::B5G6R5_UNORM), every565);
    EXPECT_EQ(rgba[4 * (3 << 11)], 25);  // 3 / 31 rounded to nearest, not bit-replicated 24

    Bytes alphas = {0, 0, 0, 127, 0, 0, 0, 128};
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, alphas, 2, DxgiFormat::B5G5R5A1_UNORM),
              (Bytes{0, 0x00, 0, 0x80}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, alphas, 2, DxgiFormat::B5G5R5A1_UNORM, 0, 0.0f),
              (Bytes{0, 0x80, 0, 0x80}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, {255, 0, 0, 136}, 1, DxgiFormat::B4G4R4A4_UNORM),
              (Bytes{0x00, 0x8F}));
    // SNORM and UNORM meet at [-1, 1] <-> [0, 1].
    EXPECT_EQ(ConvertTo(DxgiFormat::R8_SNORM, {0x81, 0x80, 0, 127}, 4, DxgiFormat::R8_UNORM),
              (Bytes{0, 0, 128, 255}));
    EXPECT_EQ(ConvertTo(DxgiFormat::R8_UNORM, {0, 255}, 2, DxgiFormat::R8_SNORM), (Bytes{0x81, 127}));
}

TEST(Convert, RefusesBlocksAndUnknownFormats) {
    ScratchImage blocks, pixels, result;
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC1_UNORM, 4, 4), kOk);
    ASSERT_EQ(pixels.Initialize2D(DxgiFormat::R8_UNORM, 4, 4), kOk);
    EXPECT_EQ(Convert(*blocks.GetImages(), DxgiFormat::R8_UNORM, 0, 0.5f, result), kInvalidArg);
    EXPECT_EQ(Convert(*pixels.GetImages(), DxgiFormat::BC1_UNORM, 0, 0.5f, result), kInvalidArg);
    EXPECT_EQ(Convert(*pixels.GetImages(), DxgiFormat(23), 0, 0.5f, result), kInvalidArg);
    Image broken = *pixels.GetImages();
    broken.pixels = nullptr;
    EXPECT_EQ(Convert(broken, DxgiFormat::A8_UNORM, 0, 0.5f, result), kInvalidArg);
    TexMetadata wrong = pixels.GetMetadata();
    wrong.mipLevels = 2;
    EXPECT_EQ(Convert(pixels.GetImages(), 1, wrong, DxgiFormat::A8_UNORM, 0, 0.5f, result), kInvalidArg);
    EXPECT_EQ(result.GetPixels(), nullptr);
}

TEST(Decompress, WritesEveryTargetLayout) {
    // 5x3: partial blocks keep only the pixels inside the image.
    Bytes blocks = RandomBytes(2 * 8, 11);
    blocks[0] = 0x00, blocks[1] = 0x10, blocks[2] = 0x00, blocks[3] = 0x20;  // c0 < c1: transparent index 3
    ScratchImage bc1 = Make(DxgiFormat::BC1_UNORM, 5, 3, blocks), rgba, bgra, bgrx;
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::UNKNOWN, rgba), kOk);
    EXPECT_EQ(rgba.GetMetadata().format, DxgiFormat::R8G8B8A8_UNORM);
    uint8_t decoded[64];
    for (size_t b = 0; b < 2; ++b) {
        block::DecodeBC1(blocks.data() + 8 * b, decoded);
        for (size_t y = 0; y < 3; ++y)
            for (size_t x = 0; x < 4 && 4 * b + x < 5; ++x)
                ASSERT_EQ(std::memcmp(rgba.GetPixels() + (y * 5 + 4 * b + x) * 4, decoded + (y * 4 + x) * 4, 4), 0);
    }
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::B8G8R8A8_UNORM, bgra), kOk);
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::B8G8R8X8_UNORM, bgrx), kOk);
    bool sawTransparent = false;
    for (size_t i = 0; i < 15; ++i) {
        const uint8_t* p = rgba.GetPixels() + 4 * i;
        const uint8_t* q = bgra.GetPixels() + 4 * i;
        const uint8_t* x = bgrx.GetPixels() + 4 * i;
        EXPECT_EQ(Bytes(q, q + 4), (Bytes{p[2], p[1], p[0], p[3]}));
        EXPECT_EQ(Bytes(x, x + 4), (Bytes{p[2], p[1], p[0], 255}));
        sawTransparent |= p[3] == 0;
    }
    EXPECT_TRUE(sawTransparent);

    ScratchImage bc1srgb = Make(DxgiFormat::BC1_UNORM_SRGB, 5, 3, blocks), natural;
    ASSERT_EQ(Decompress(*bc1srgb.GetImages(), DxgiFormat::UNKNOWN, natural), kOk);
    EXPECT_EQ(natural.GetMetadata().format, DxgiFormat::R8G8B8A8_UNORM_SRGB);
    EXPECT_EQ(Contents(natural), Contents(rgba));
}

TEST(Decompress, SingleChannelBlocksExpandLikeRed) {
    Bytes bc4 = {200, 100, 0, 0, 0, 0, 0, 0};  // every pixel index 0: 200
    ScratchImage source = Make(DxgiFormat::BC4_UNORM, 4, 4, bc4), red, colour;
    ASSERT_EQ(Decompress(*source.GetImages(), DxgiFormat::UNKNOWN, red), kOk);
    EXPECT_EQ(red.GetMetadata().format, DxgiFormat::R8_UNORM);
    EXPECT_EQ(Contents(red), Bytes(16, 200));
    ASSERT_EQ(Decompress(*source.GetImages(), DxgiFormat::B8G8R8A8_UNORM, colour), kOk);
    EXPECT_EQ(Bytes(colour.GetPixels(), colour.GetPixels() + 4), (Bytes{0, 0, 200, 255}));

    Bytes bc5 = {10, 5, 0, 0, 0, 0, 0, 0, 250, 5, 0, 0, 0, 0, 0, 0};
    ScratchImage two = Make(DxgiFormat::BC5_UNORM, 4, 4, bc5), rg;
    ASSERT_EQ(Decompress(*two.GetImages(), DxgiFormat::UNKNOWN, rg), kOk);
    EXPECT_EQ(rg.GetMetadata().format, DxgiFormat::R8G8_UNORM);
    EXPECT_EQ(Bytes(rg.GetPixels(), rg.GetPixels() + 2), (Bytes{10, 250}));

    ScratchImage bc7, pixels, result;
    ASSERT_EQ(bc7.Initialize2D(DxgiFormat::BC7_UNORM, 4, 4), kOk);
    ASSERT_EQ(pixels.Initialize2D(DxgiFormat::R8_UNORM, 4, 4), kOk);
    EXPECT_EQ(Decompress(*bc7.GetImages(), DxgiFormat::UNKNOWN, result), kNotSupported);
    EXPECT_EQ(Decompress(*pixels.GetImages(), DxgiFormat::UNKNOWN, result), kInvalidArg);
    EXPECT_EQ(Decompress(*source.GetImages(), DxgiFormat::BC1_UNORM, result), kInvalidArg);
}

TEST(Compress, ChainsRoundTripAboveAQualityFloor) {
    ScratchImage base = Make(DxgiFormat::B8G8R8A8_UNORM, 64, 64, Gradient(64, 64)), chain;
    ASSERT_EQ(GenerateMipMaps(*base.GetImages(), kTexFilterDefault, 0, chain), kOk);
    for (DxgiFormat format : {DxgiFormat::BC1_UNORM, DxgiFormat::BC2_UNORM, DxgiFormat::BC3_UNORM_SRGB}) {
        SCOPED_TRACE(FormatName(format));
        for (TexCompressFlags flags : {kTexCompressDefault, kTexCompressFast}) {
            ScratchImage compressed, back;
            ASSERT_EQ(Compress(chain.GetImages(), chain.GetImageCount(), chain.GetMetadata(), format, flags, 0.0f,
                               compressed),
                      kOk);
            EXPECT_EQ(compressed.GetMetadata().mipLevels, 7u);
            EXPECT_EQ(compressed.GetMetadata().format, format);
            // Each level is the compression of its own source level.
            for (size_t mip = 0; mip < 7; ++mip) {
                ScratchImage single;
                ASSERT_EQ(Compress(*chain.GetImage(mip, 0, 0), format, flags, 0.0f, single), kOk);
                ASSERT_EQ(Contents(single), Contents(compressed, mip)) << mip;
            }
            ASSERT_EQ(Decompress(compressed.GetImages(), compressed.GetImageCount(), compressed.GetMetadata(),
                                 DxgiFormat::B8G8R8A8_UNORM, back),
                      kOk);
            Bytes original = Contents(chain), decoded = Contents(back);
            if (format == DxgiFormat::BC1_UNORM)
                for (size_t i = 3; i < original.size(); i += 4) original[i] = 255;
            EXPECT_GT(Psnr(original, decoded), 38.5);  // BC2 loses most: 4-bit alpha
        }
    }
}

TEST(Compress, PadsEdgesAndHonoursTheThreshold) {
    // One pixel fills its whole block: the result is that colour.
    ScratchImage pixel = Make(DxgiFormat::R8G8B8A8_UNORM, 1, 1, {10, 120, 240, 255}), bc1, back;
    ASSERT_EQ(Compress(*pixel.GetImages(), DxgiFormat::BC1_UNORM, 0, 0.5f, bc1), kOk);
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::UNKNOWN, back), kOk);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(back.GetPixels()[c], pixel.GetPixels()[c], 1);

    // 6x5 with distinct pixels: the padded blocks must not drag the visible ones.
    Bytes odd = Gradient(6, 5);
    ScratchImage small = Make(DxgiFormat::B8G8R8A8_UNORM, 6, 5, odd), bc3;
    ASSERT_EQ(Compress(*small.GetImages(), DxgiFormat::BC3_UNORM, 0, 0.5f, bc3), kOk);
    ASSERT_EQ(Decompress(*bc3.GetImages(), DxgiFormat::B8G8R8A8_UNORM, back), kOk);
    EXPECT_GT(Psnr(odd, Contents(back)), 36.0);

    Bytes halfClear = Gradient(8, 8);
    for (size_t i = 0; i < 32; ++i) halfClear[4 * i + 3] = uint8_t(i % 2 ? 127 : 128);
    ScratchImage cutout = Make(DxgiFormat::B8G8R8A8_UNORM, 8, 8, halfClear);
    for (float threshold : {0.5f, 0.0f}) {
        ASSERT_EQ(Compress(*cutout.GetImages(), DxgiFormat::BC1_UNORM, 0, threshold, bc1), kOk);
        ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::B8G8R8A8_UNORM, back), kOk);
        for (size_t i = 0; i < 64; ++i) {
            bool clear = threshold > 0 && halfClear[4 * i + 3] < 128;
            ASSERT_EQ(back.GetPixels()[4 * i + 3], clear ? 0 : 255) << i;
        }
    }
    // Without an alpha channel nothing turns transparent.
    ScratchImage noAlpha = Make(DxgiFormat::B8G8R8X8_UNORM, 8, 8, Bytes(256, 0));
    ASSERT_EQ(Compress(*noAlpha.GetImages(), DxgiFormat::BC1_UNORM, 0, 0.5f, bc1), kOk);
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::R8G8B8A8_UNORM, back), kOk);
    EXPECT_EQ(back.GetPixels()[3], 255);
}

TEST(Compress, SingleChannelFormatsReadRedAndGreen) {
    Bytes blue(16 * 4);
    for (size_t i = 0; i < 16; ++i) blue[4 * i] = 255, blue[4 * i + 1] = uint8_t(i * 16), blue[4 * i + 3] = 255;
    ScratchImage source = Make(DxgiFormat::B8G8R8A8_UNORM, 4, 4, blue), bc4, bc5, back;
    ASSERT_EQ(Compress(*source.GetImages(), DxgiFormat::BC4_UNORM, 0, 0.5f, bc4), kOk);
    ASSERT_EQ(Decompress(*bc4.GetImages(), DxgiFormat::UNKNOWN, back), kOk);
    EXPECT_EQ(Contents(back), Bytes(16, 0));  // red, not luminance
    ASSERT_EQ(Compress(*source.GetImages(), DxgiFormat::BC5_UNORM, 0, 0.5f, bc5), kOk);
    ASSERT_EQ(Decompress(*bc5.GetImages(), DxgiFormat::UNKNOWN, back), kOk);
    for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(back.GetPixels()[2 * i + 1], i * 16, 240 / 14 + 1);

    ScratchImage result;
    EXPECT_EQ(Compress(*source.GetImages(), DxgiFormat::BC7_UNORM, 0, 0.5f, result), kNotSupported);
    EXPECT_EQ(Compress(*source.GetImages(), DxgiFormat::BC4_SNORM, 0, 0.5f, result), kNotSupported);
    EXPECT_EQ(Compress(*bc4.GetImages(), DxgiFormat::BC1_UNORM, 0, 0.5f, result), kInvalidArg);
}

TEST(Resize, BoxHalvesExactlyAndWeightsColourByAlpha) {
    Bytes random = RandomBytes(8 * 6 * 4, 3);
    for (size_t i = 3; i < random.size(); i += 4) random[i] = 255;
    ScratchImage source = Make(DxgiFormat::R8G8B8A8_UNORM, 8, 6, random), half, same;
    ASSERT_EQ(Resize(*source.GetImages(), 4, 3, kTexFilterDefault, half), kOk);
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 4; ++x)
            for (size_t c = 0; c < 4; ++c) {
                auto at = [&](size_t sx, size_t sy) { return random[(sy * 8 + sx) * 4 + c]; };
                int sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
                ASSERT_EQ(half.GetPixels()[(y * 4 + x) * 4 + c], (sum + 2) / 4);
            }
    ASSERT_EQ(Resize(*source.GetImages(), 8, 6, kTexFilterDefault, same), kOk);
    EXPECT_EQ(Contents(same), random);

    // Red opaque next to green fully transparent: the green must not show.
    ScratchImage pair = Make(DxgiFormat::R8G8B8A8_UNORM, 2, 1, {255, 0, 0, 255, 0, 255, 0, 0}), one;
    ASSERT_EQ(Resize(*pair.GetImages(), 1, 1, kTexFilterDefault, one), kOk);
    EXPECT_EQ(Contents(one), (Bytes{255, 0, 0, 128}));
    ASSERT_EQ(Resize(*pair.GetImages(), 1, 1, kTexFilterSeparateAlpha, one), kOk);
    EXPECT_EQ(Contents(one), (Bytes{128, 128, 0, 128}));
}

TEST(Resize, OtherRatiosFormatsAndFilters) {
    // Flat images stay flat under every kernel and ratio.
    for (TexFilterFlags filter : {kTexFilterDefault, kTexFilterPoint, kTexFilterLinear, kTexFilterCubic,
                                  kTexFilterBox, kTexFilterTriangle, kTexFilterWrap | kTexFilterMirror}) {
        ScratchImage flat = Make(DxgiFormat::B8G8R8A8_UNORM, 10, 7, Bytes(10 * 7 * 4, 77)), result;
        for (auto [w, h] : {std::pair<size_t, size_t>{3, 3}, {13, 29}, {1, 1}}) {
            ASSERT_EQ(Resize(*flat.GetImages(), w, h, filter, result), kOk);
            EXPECT_EQ(Contents(result), Bytes(w * h * 4, 77)) << filter << " " << w << "x" << h;
        }
    }
    Bytes wide16(4 * 4 * 8);
    for (size_t i = 0; i < wide16.size(); i += 2) wide16[i] = 0x34, wide16[i + 1] = 0x12;
    ScratchImage deep = Make(DxgiFormat::R16G16B16A16_UNORM, 4, 4, wide16), result;
    ASSERT_EQ(Resize(*deep.GetImages(), 3, 2, kTexFilterDefault, result), kOk);
    EXPECT_EQ(Contents(result), Bytes(wide16.begin(), wide16.begin() + 3 * 2 * 8));

    // Point sampling picks source pixels.
    ScratchImage ramp = Make(DxgiFormat::R8_UNORM, 4, 1, {10, 20, 30, 40});
    ASSERT_EQ(Resize(*ramp.GetImages(), 2, 1, kTexFilterPoint, result), kOk);
    EXPECT_EQ(Contents(result), (Bytes{20, 40}));
    ASSERT_EQ(Resize(*ramp.GetImages(), 8, 1, kTexFilterPoint, result), kOk);
    EXPECT_EQ(Contents(result), (Bytes{10, 10, 20, 20, 30, 30, 40, 40}));

    ScratchImage blocks;
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC1_UNORM, 8, 8), kOk);
    EXPECT_EQ(Resize(*blocks.GetImages(), 4, 4, 0, result), kNotSupported);
    EXPECT_EQ(Resize(*ramp.GetImages(), 0, 1, 0, result), kInvalidArg);
    EXPECT_EQ(Resize(*ramp.GetImages(), kMaxTextureDimension + 1, 1, 0, result), kInvalidArg);
    EXPECT_EQ(Resize(*ramp.GetImages(), 2, 1, 0x700000, result), kInvalidArg);
}

TEST(GenerateMipMaps, ChainsOfOddSizes) {
    Bytes random = RandomBytes(100 * 60, 8);
    ScratchImage base = Make(DxgiFormat::R8_UNORM, 100, 60, random), chain;
    ASSERT_EQ(GenerateMipMaps(*base.GetImages(), kTexFilterDefault, 0, chain), kOk);
    ASSERT_EQ(chain.GetMetadata().mipLevels, 7u);
    EXPECT_EQ(Contents(chain, 0), random);
    // 100x60 -> 50x30 is an exact halving; 25x15 -> 12x7 is filtered over the footprint.
    const Image& level1 = *chain.GetImage(1, 0, 0);
    for (size_t y = 0; y < 30; ++y)
        for (size_t x = 0; x < 50; ++x) {
            int sum = random[2 * y * 100 + 2 * x] + random[2 * y * 100 + 2 * x + 1] +
                      random[(2 * y + 1) * 100 + 2 * x] + random[(2 * y + 1) * 100 + 2 * x + 1];
            ASSERT_EQ(level1.pixels[y * 50 + x], (sum + 2) / 4);
        }
    const Image& last = *chain.GetImage(6, 0, 0);
    EXPECT_EQ(last.width * last.height, 1u);
    double mean = 0;
    for (uint8_t v : random) mean += v;
    EXPECT_NEAR(last.pixels[0], mean / random.size(), 8.0);

    ScratchImage flat = Make(DxgiFormat::B8G8R8X8_UNORM, 25, 15, Bytes(25 * 15 * 4, 200)), flatChain;
    ASSERT_EQ(GenerateMipMaps(*flat.GetImages(), kTexFilterDefault, 3, flatChain), kOk);
    ASSERT_EQ(flatChain.GetImageCount(), 3u);
    EXPECT_EQ(flatChain.GetImage(2, 0, 0)->width, 6u);
    EXPECT_EQ(Contents(flatChain, 2), Bytes(6 * 3 * 4, 200));

    ScratchImage result, blocks;
    EXPECT_EQ(GenerateMipMaps(*base.GetImages(), 0, 8, result), kInvalidArg);
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC3_UNORM, 8, 8), kOk);
    EXPECT_EQ(GenerateMipMaps(*blocks.GetImages(), 0, 0, result), kNotSupported);
    // From a texture that has levels: the base of each item is used.
    ASSERT_EQ(GenerateMipMaps(chain.GetImages(), chain.GetImageCount(), chain.GetMetadata(), 0, 2, result), kOk);
    EXPECT_EQ(Contents(result, 1), Contents(chain, 1));
}

TEST(CopyRectangle, CopiesInsideBoundsOnly) {
    Bytes random = RandomBytes(4 * 4 * 4, 21);
    ScratchImage source = Make(DxgiFormat::B8G8R8A8_UNORM, 4, 4, random), target;
    ASSERT_EQ(target.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 8, 8), kOk);
    const Image& dst = *target.GetImages();
    ASSERT_EQ(CopyRectangle(*source.GetImages(), Rect{1, 2, 2, 2}, dst, 0, 6, 6), kOk);
    for (size_t y = 0; y < 8; ++y)
        for (size_t x = 0; x < 8; ++x) {
            bool inside = x >= 6 && y >= 6;
            const uint8_t* got = dst.pixels + (y * 8 + x) * 4;
            Bytes expected = inside ? Bytes(&random[((y - 4) * 4 + x - 5) * 4], &random[((y - 4) * 4 + x - 5) * 4] + 4)
                                    : Bytes(4, 0);
            ASSERT_EQ(Bytes(got, got + 4), expected) << x << "," << y;
        }
    EXPECT_EQ(CopyRectangle(*source.GetImages(), Rect{1, 2, 2, 2}, dst, 0, 7, 0), kInvalidArg);
    EXPECT_EQ(CopyRectangle(*source.GetImages(), Rect{3, 0, 2, 1}, dst, 0, 0, 0), kInvalidArg);
    EXPECT_EQ(CopyRectangle(*source.GetImages(), Rect{SIZE_MAX, 0, 2, 1}, dst, 0, 0, 0), kInvalidArg);
    EXPECT_EQ(CopyRectangle(*source.GetImages(), Rect{0, 0, 0, 1}, dst, 0, 0, 0), kInvalidArg);

    // Another format is converted on the way.
    ScratchImage rgba;
    ASSERT_EQ(rgba.Initialize2D(DxgiFormat::R8G8B8A8_UNORM, 4, 4), kOk);
    ASSERT_EQ(CopyRectangle(*source.GetImages(), Rect{0, 0, 4, 4}, *rgba.GetImages(), 0, 0, 0), kOk);
    EXPECT_EQ(rgba.GetPixels()[0], random[2]);
    ScratchImage blocks;
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC1_UNORM, 4, 4), kOk);
    EXPECT_EQ(CopyRectangle(*blocks.GetImages(), Rect{0, 0, 4, 4}, *blocks.GetImages(), 0, 0, 0), kNotSupported);
}

} // namespace
} // namespace zelko
