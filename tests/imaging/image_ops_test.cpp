// Format arithmetic, ScratchImage, the image operations the conversions use,
// and BC1..BC5 blocks against libsquish and the encoders' quality floors.
#include <gtest/gtest.h>
#include <stb_image_resize.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "Pictures.h"
#include "imaging/ImageBlock.h"
#include "imaging/ImageOps.h"

#if ZELKO_HAVE_SQUISH
#include <squish.h>
#endif

namespace zelko {
namespace {

using Bytes = std::vector<uint8_t>;
using pictures::Filled;
using pictures::RandomBytes;

Bytes Contents(const ScratchImage& image, size_t mip = 0) {
    const Image* level = image.GetImage(mip, 0, 0);
    return Bytes(level->pixels, level->pixels + level->slicePitch);
}

// Smooth BGRA colours (one step per pixel) with an alpha ramp.
Bytes Gradient(size_t width, size_t height) {
    Bytes b;
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            b.insert(
                b.end(),
                {uint8_t(x % 256), uint8_t(y % 256), uint8_t(64 + (x + y) / 2 % 128), uint8_t(255 - y * 200 / height)});
    return b;
}

double Psnr(const Bytes& a, const Bytes& b) { return pictures::Psnr(a.data(), b.data(), a.size()); }

// Converts `bytes`, rows of 256 pixels when there are more than that.
Bytes ConvertTo(DxgiFormat from, const Bytes& bytes, size_t count, DxgiFormat to,
                TexFilterFlags filter = kTexFilterDefault) {
    size_t width = std::min<size_t>(count, 256);
    ScratchImage source = Filled(from, width, count / width, 1, bytes), result;
    EXPECT_EQ(Convert(*source.GetImages(), to, filter, 0.5f, result), kOk);
    return result.GetPixels() ? Contents(result) : Bytes{};
}

TEST(ScratchImage, MipChainsAndRefusals) {
    EXPECT_EQ(CountMips(100, 60), 7u); // the height reaches 1 first; the width goes on
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 100, 60, 1, 0), kOk);
    ASSERT_EQ(image.GetImageCount(), 7u);
    size_t offset = 0;
    for (size_t mip = 0; mip < 7; ++mip) {
        EXPECT_EQ(image.GetImage(mip, 0, 0)->pixels, image.GetPixels() + offset); // levels without gaps
        offset += image.GetImage(mip, 0, 0)->slicePitch;
    }
    EXPECT_EQ(image.GetPixelsSize(), offset);
    EXPECT_EQ(image.GetImage(7, 0, 0), nullptr);
    ScratchImage blocks;
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC1_UNORM, 100, 60, 1, 0), kOk);
    EXPECT_EQ(blocks.GetImage(6, 0, 0)->slicePitch, 8u);
    EXPECT_EQ(blocks.GetPixelsSize(), 3000u + 832 + 224 + 48 + 16 + 8 + 8);

    // Impossible textures are refused.
    EXPECT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, 0, 4), kInvalidArg);
    EXPECT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, 4, 4, 1, 4), kInvalidArg); // 3 levels at most
    size_t row, slice;
    EXPECT_EQ(ComputePitch(DxgiFormat::R8_UNORM, SIZE_MAX, SIZE_MAX, row, slice), kInvalidArg); // no overflow
    EXPECT_EQ(image.GetPixels(), nullptr);
    EXPECT_EQ(image.GetImageCount(), 0u);
}

TEST(Convert, ChannelsLayoutsAndPackedFormatsAreExact) {
    using F = DxgiFormat;
    struct Case {
        F from;
        Bytes in;
        F to;
        Bytes out;
    };
    const Case cases[] = {
        {F::R8_UNORM, {7, 200}, F::R8G8B8A8_UNORM, {7, 0, 0, 255, 200, 0, 0, 255}},
        {F::B8G8R8X8_UNORM, {1, 2, 3, 0}, F::R8G8B8A8_UNORM, {3, 2, 1, 255}}, // X reads opaque
        {F::B8G8R8A8_UNORM, {0, 0, 255, 255}, F::R8_UNORM, {54}}, // luminance
        {F::R8_SNORM, {0x81, 0x80, 0, 127}, F::R8_UNORM, {0, 0, 128, 255}}, // [-1, 1] <-> [0, 1]
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertTo(c.from, c.in, c.in.size() / (BitsPerPixel(c.from) / 8), c.to), c.out)
            << FormatName(c.from) << " -> " << FormatName(c.to);

    Bytes random = RandomBytes(64 * 4);
    Bytes rgba = ConvertTo(DxgiFormat::B8G8R8A8_UNORM, random, 64, DxgiFormat::R8G8B8A8_UNORM);
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
    // Every 565 value comes back, each channel rounded to nearest.
    Bytes every565(65536 * 2);
    for (size_t v = 0; v < 65536; ++v) every565[2 * v] = uint8_t(v), every565[2 * v + 1] = uint8_t(v >> 8);
    const Bytes wide = ConvertTo(DxgiFormat::B5G6R5_UNORM, every565, 65536, DxgiFormat::R8G8B8A8_UNORM);
    EXPECT_EQ(ConvertTo(DxgiFormat::R8G8B8A8_UNORM, wide, 65536, DxgiFormat::B5G6R5_UNORM), every565);
    EXPECT_EQ(wide[4 * (3 << 11)], 25); // 3 / 31 rounded to nearest, not bit-replicated 24

    // Blocks (Decompress' and Compress' work) and unknown formats are refused.
    ScratchImage pixels = Filled(DxgiFormat::R8_UNORM, 4, 4), result;
    EXPECT_EQ(Convert(*pixels.GetImages(), DxgiFormat::BC1_UNORM, 0, 0.5f, result), kInvalidArg);
    EXPECT_EQ(Convert(*pixels.GetImages(), DxgiFormat(23), 0, 0.5f, result), kInvalidArg);
    EXPECT_EQ(result.GetPixels(), nullptr);
}

TEST(Decompress, WritesEveryTargetLayoutOfPartialBlocks) {
    // 5x3: partial blocks keep only the pixels inside the image.
    Bytes blocks = RandomBytes(2 * 8, 11);
    blocks[0] = 0x00, blocks[1] = 0x10, blocks[2] = 0x00, blocks[3] = 0x20; // c0 < c1: index 3 transparent
    ScratchImage bc1 = Filled(DxgiFormat::BC1_UNORM_SRGB, 5, 3, 1, blocks), rgba, bgra;
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::UNKNOWN, rgba), kOk);
    EXPECT_EQ(rgba.GetMetadata().format, DxgiFormat::R8G8B8A8_UNORM_SRGB);
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::B8G8R8A8_UNORM, bgra), kOk);
    uint8_t decoded[64];
    bool sawTransparent = false;
    for (size_t b = 0; b < 2; ++b) {
        block::DecodeBC1(blocks.data() + 8 * b, decoded);
        for (size_t y = 0; y < 3; ++y)
            for (size_t x = 0; x < 4 && 4 * b + x < 5; ++x) {
                const uint8_t* d = decoded + (y * 4 + x) * 4;
                const size_t at = (y * 5 + 4 * b + x) * 4;
                ASSERT_EQ(Bytes(rgba.GetPixels() + at, rgba.GetPixels() + at + 4), Bytes(d, d + 4));
                ASSERT_EQ(Bytes(bgra.GetPixels() + at, bgra.GetPixels() + at + 4), (Bytes{d[2], d[1], d[0], d[3]}));
                sawTransparent |= d[3] == 0;
            }
    }
    EXPECT_TRUE(sawTransparent);

    // Refused: a block target (BC7's refusal is the conversion tests').
    ScratchImage result;
    EXPECT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::BC1_UNORM, result), kInvalidArg);
}

TEST(Compress, ChainsRoundTripAboveAQualityFloor) {
    ScratchImage base = Filled(DxgiFormat::B8G8R8A8_UNORM, 64, 64, 1, Gradient(64, 64)), chain;
    ASSERT_EQ(GenerateMipMaps(*base.GetImages(), kTexFilterDefault, 0, chain), kOk);
    for (DxgiFormat format : {DxgiFormat::BC1_UNORM, DxgiFormat::BC2_UNORM, DxgiFormat::BC3_UNORM_SRGB}) {
        SCOPED_TRACE(FormatName(format));
        ScratchImage compressed, back;
        ASSERT_EQ(Compress(chain.GetImages(), chain.GetImageCount(), chain.GetMetadata(), format, kTexCompressDefault,
                           0.0f, compressed),
                  kOk);
        EXPECT_EQ(compressed.GetMetadata().mipLevels, 7u);
        EXPECT_EQ(compressed.GetMetadata().format, format);
        ASSERT_EQ(Decompress(compressed.GetImages(), compressed.GetImageCount(), compressed.GetMetadata(),
                             DxgiFormat::B8G8R8A8_UNORM, back),
                  kOk);
        Bytes original = Contents(chain), decoded = Contents(back);
        if (format == DxgiFormat::BC1_UNORM)
            for (size_t i = 3; i < original.size(); i += 4) original[i] = 255;
        EXPECT_GT(Psnr(original, decoded), 38.5); // BC2 loses most: 4-bit alpha
    }
}

TEST(Compress, PadsEdgesAndHonoursTheThreshold) {
    // 6x5 with distinct pixels: the padded blocks must not drag the visible ones.
    Bytes odd = Gradient(6, 5);
    ScratchImage small = Filled(DxgiFormat::B8G8R8A8_UNORM, 6, 5, 1, odd), bc1, bc3, back;
    ASSERT_EQ(Compress(*small.GetImages(), DxgiFormat::BC3_UNORM, 0, 0.5f, bc3), kOk);
    ASSERT_EQ(Decompress(*bc3.GetImages(), DxgiFormat::B8G8R8A8_UNORM, back), kOk);
    EXPECT_GT(Psnr(odd, Contents(back)), 36.0);

    Bytes halfClear = Gradient(8, 8);
    for (size_t i = 0; i < 32; ++i) halfClear[4 * i + 3] = uint8_t(i % 2 ? 127 : 128);
    ScratchImage cutout = Filled(DxgiFormat::B8G8R8A8_UNORM, 8, 8, 1, halfClear);
    for (float threshold : {0.5f, 0.0f}) {
        ASSERT_EQ(Compress(*cutout.GetImages(), DxgiFormat::BC1_UNORM, 0, threshold, bc1), kOk);
        ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::B8G8R8A8_UNORM, back), kOk);
        for (size_t i = 0; i < 64; ++i) {
            bool clear = threshold > 0 && halfClear[4 * i + 3] < 128;
            ASSERT_EQ(back.GetPixels()[4 * i + 3], clear ? 0 : 255) << i;
        }
    }
    // Without an alpha channel nothing turns transparent.
    ScratchImage noAlpha = Filled(DxgiFormat::B8G8R8X8_UNORM, 8, 8);
    ASSERT_EQ(Compress(*noAlpha.GetImages(), DxgiFormat::BC1_UNORM, 0, 0.5f, bc1), kOk);
    ASSERT_EQ(Decompress(*bc1.GetImages(), DxgiFormat::R8G8B8A8_UNORM, back), kOk);
    EXPECT_EQ(back.GetPixels()[3], 255);
}

TEST(Compress, LargeImagesInBandsGiveTheBytesOfStrips) {
    // A 1024 x 1024 image is encoded in bands on several threads; strips of
    // it small enough for one pass must give the same blocks.
    const size_t side = 1024, strip = 128;
    const Bytes random = RandomBytes(side * side * 4, 11);
    ScratchImage whole = Filled(DxgiFormat::R8G8B8A8_UNORM, side, side, 1, random), encoded;
    ASSERT_EQ(Compress(*whole.GetImages(), DxgiFormat::BC1_UNORM, kTexCompressFast, 0.5f, encoded), kOk);
    Bytes strips;
    for (size_t y = 0; y < side; y += strip) {
        const Bytes part(random.begin() + long(y * side * 4), random.begin() + long((y + strip) * side * 4));
        ScratchImage piece = Filled(DxgiFormat::R8G8B8A8_UNORM, side, strip, 1, part), out;
        ASSERT_EQ(Compress(*piece.GetImages(), DxgiFormat::BC1_UNORM, kTexCompressFast, 0.5f, out), kOk);
        const Bytes blocks = Contents(out);
        strips.insert(strips.end(), blocks.begin(), blocks.end());
    }
    EXPECT_TRUE(Contents(encoded) == strips);
}

TEST(Compress, SingleChannelFormatsReadRedAndGreen) {
    Bytes blue(16 * 4);
    for (size_t i = 0; i < 16; ++i) blue[4 * i] = 255, blue[4 * i + 1] = uint8_t(i * 16), blue[4 * i + 3] = 255;
    ScratchImage source = Filled(DxgiFormat::B8G8R8A8_UNORM, 4, 4, 1, blue), bc4, bc5, back;
    ASSERT_EQ(Compress(*source.GetImages(), DxgiFormat::BC4_UNORM, 0, 0.5f, bc4), kOk);
    ASSERT_EQ(Decompress(*bc4.GetImages(), DxgiFormat::UNKNOWN, back), kOk);
    EXPECT_EQ(back.GetMetadata().format, DxgiFormat::R8_UNORM);
    EXPECT_EQ(Contents(back), Bytes(16, 0)); // red, not luminance
    ASSERT_EQ(Compress(*source.GetImages(), DxgiFormat::BC5_UNORM, 0, 0.5f, bc5), kOk);
    ASSERT_EQ(Decompress(*bc5.GetImages(), DxgiFormat::UNKNOWN, back), kOk);
    EXPECT_EQ(back.GetMetadata().format, DxgiFormat::R8G8_UNORM);
    for (size_t i = 0; i < 16; ++i) ASSERT_NEAR(back.GetPixels()[2 * i + 1], i * 16, 240 / 14 + 1);
}

TEST(Resize, AlphaWeightingAndStbsBoxForWholeFactors) {
    // Exact halving is checked on a mip chain; here colour is weighted by
    // alpha: transparent green must not show.
    ScratchImage source, result;
    ScratchImage pair = Filled(DxgiFormat::R8G8B8A8_UNORM, 2, 1, 1, {255, 0, 0, 255, 0, 255, 0, 0});
    ASSERT_EQ(Resize(*pair.GetImages(), 1, 1, kTexFilterDefault, result), kOk);
    EXPECT_EQ(Contents(result), (Bytes{255, 0, 0, 128}));

    // Thumbnails shrink by whole factors in integers; stb's box filter (what
    // they went through before) is the reference. Alpha is random, so colour
    // weighting by alpha is compared too.
    for (auto [w, h, tw, th] : {std::array<size_t, 4>{512, 256, 32, 32}, {15, 20, 5, 4}, {64, 3, 4, 1}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Bytes noise = RandomBytes(w * h * 4, uint32_t(w + h));
        source = Filled(DxgiFormat::R8G8B8A8_UNORM, w, h, 1, noise);
        ASSERT_EQ(Resize(*source.GetImages(), tw, th, kTexFilterDefault, result), kOk);
        Bytes reference(tw * th * 4);
        ASSERT_TRUE(stbir_resize(noise.data(), int(w), int(h), int(w * 4), reference.data(), int(tw), int(th),
                                 int(tw * 4), STBIR_TYPE_UINT8, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP,
                                 STBIR_FILTER_BOX, STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR, nullptr));
        const Bytes got = Contents(result);
        for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], reference[i], 1) << i;
    }
}

TEST(GenerateMipMaps, ChainsOfOddSizes) {
    Bytes random = RandomBytes(100 * 60, 8);
    ScratchImage base = Filled(DxgiFormat::R8_UNORM, 100, 60, 1, random), chain;
    ASSERT_EQ(GenerateMipMaps(*base.GetImages(), kTexFilterDefault, 0, chain), kOk);
    ASSERT_EQ(chain.GetMetadata().mipLevels, 7u);
    EXPECT_EQ(Contents(chain, 0), random);
    for (size_t y = 0; y < 30; ++y) // an exact halving, rounded
        for (size_t x = 0; x < 50; ++x) {
            const uint8_t* p = &random[2 * y * 100 + 2 * x];
            ASSERT_EQ(chain.GetImage(1, 0, 0)->pixels[y * 50 + x], (p[0] + p[1] + p[100] + p[101] + 2) / 4);
        }
}

// --- single blocks ---

using namespace block;
using Pixels = std::vector<uint8_t>; // 4 bytes per pixel, RGBA

#if ZELKO_HAVE_SQUISH
// BC4 and each half of BC5 are BC3 alpha blocks.
TEST(BlockDecode, MatchesLibsquishBitForBit) {
    std::mt19937 rng(20240611);
    uint8_t block[16], ours[64], reference[64], alpha[16] = {}, red[16], rg[32];
    for (int n = 0; n < 20000; ++n) {
        for (uint8_t& b : block) b = uint8_t(rng());
        if (n % 4 == 0) std::memcpy(block + 10, block + 8, 2); // equal endpoints
        if (n % 4 == 1) std::memcpy(block + 2, block, 2);
        DecodeBC1(block, ours);
        squish::Decompress(reference, block, squish::kDxt1);
        ASSERT_EQ(std::memcmp(ours, reference, 64), 0) << "BC1 block " << n;
        DecodeBC2(block, ours);
        squish::Decompress(reference, block, squish::kDxt3);
        ASSERT_EQ(std::memcmp(ours, reference, 64), 0) << "BC2 block " << n;
        DecodeBC3(block, ours);
        squish::Decompress(reference, block, squish::kDxt5);
        ASSERT_EQ(std::memcmp(ours, reference, 64), 0) << "BC3 block " << n;

        if (n % 3 == 0) block[1] = block[0]; // equal alpha endpoints take the 6-step ramp
        DecodeBC4(block, red);
        DecodeBC5(block, rg);
        for (int half = 0; half < 2; ++half) {
            std::memcpy(alpha, block + 8 * half, 8);
            squish::Decompress(reference, alpha, squish::kDxt5);
            for (int i = 0; i < 16; ++i) {
                ASSERT_EQ(rg[2 * i + half], reference[4 * i + 3]) << "BC5 block " << n;
                ASSERT_TRUE(half || red[i] == reference[4 * i + 3]) << "BC4 block " << n;
            }
        }
    }
}
#endif

TEST(BlockCodecs, SignedRampsAndExplicitAlphaRound) {
    // s0 = 127 > s1 = -128 (read as -127): eight steps, truncated toward zero; indices 0..7.
    uint8_t block[8] = {0x7F, 0x80, 0x88, 0xC6, 0xFA};
    int8_t red[16];
    DecodeBC4S(block, red);
    const int8_t expected[8] = {127, -127, 90, 54, 18, -18, -54, -90};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(red[i], expected[i]) << i;
    // s0 = -64 <= s1 = 64: six steps and the ends -127 / 127.
    block[0] = 0xC0, block[1] = 0x40;
    DecodeBC4S(block, red);
    EXPECT_EQ(red[2], -38);
    EXPECT_EQ(red[6], -127);
    EXPECT_EQ(red[7], 127);

    // BC2 keeps round(a * 15 / 255) for every alpha value.
    for (int start = 0; start < 256; start += 16) {
        Pixels source(64, 128);
        for (int i = 0; i < 16; ++i) source[4 * i + 3] = uint8_t(start + i);
        uint8_t encoded[16], decoded[64];
        EncodeBC2(source.data(), encoded, EncodeQuality::kRefined);
        DecodeBC2(encoded, decoded);
        for (int i = 0, a = start; i < 16; ++i, ++a) EXPECT_EQ(decoded[4 * i + 3], (a * 15 + 127) / 255 * 17) << a;
    }
}

// Transparency against a reference is Compress' threshold test's.
TEST(BlockEncode, Bc1WithoutAReferenceStaysOpaque) {
    // A single grey gives equal endpoints, which decode in three-colour mode
    // where index 3 is transparent; the refined fit matches each within 1.
    for (int grey = 0; grey < 256; ++grey) {
        const Pixels source(64, uint8_t(grey));
        for (EncodeQuality quality : {EncodeQuality::kFast, EncodeQuality::kRefined}) {
            uint8_t block[8], opaque[64];
            EncodeBC1(source.data(), block, 0, quality);
            DecodeBC1(block, opaque);
            for (int i = 0; i < 16; ++i) ASSERT_EQ(opaque[4 * i + 3], 255) << grey;
            for (int c = 0; c < 3 && quality == EncodeQuality::kRefined; ++c)
                ASSERT_LE(std::abs(opaque[c] - source[c]), 1) << grey;
        }
    }
}

} // namespace
} // namespace zelko
