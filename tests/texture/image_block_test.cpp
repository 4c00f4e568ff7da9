// BC1..BC5 block decoding against libsquish and the encoders' quality floors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "texture/ImageBlock.h"

#if ZELKO_HAVE_SQUISH
#include <squish.h>
#endif

namespace zelko::block {
namespace {

using Pixels = std::vector<uint8_t>;  // 4 bytes per pixel, RGBA

std::mt19937 Random() { return std::mt19937(20240611); }

void RandomBytes(std::mt19937& rng, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t(rng());
}

// Squared error over the first `channels` channels of 16 RGBA pixels.
double BlockError(const uint8_t* a, const uint8_t* b, int channels) {
    double sum = 0;
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < channels; ++c) sum += std::pow(double(a[4 * i + c]) - b[4 * i + c], 2);
    return sum;
}

double Psnr(double squaredError, double samples) {
    return 10 * std::log10(255.0 * 255.0 * samples / std::max(squaredError, 1e-9));
}

// A smooth colour ramp with a little deterministic noise, as RGBA blocks.
std::vector<Pixels> TestBlocks(int count, float noise) {
    std::mt19937 rng = Random();
    std::normal_distribution<float> jitter(0.0f, noise);
    std::vector<Pixels> blocks;
    for (int b = 0; b < count; ++b) {
        Pixels block(64);
        float base[3] = {float(rng() % 200), float(rng() % 200), float(rng() % 200)};
        float slope[3] = {float(rng() % 9) - 4, float(rng() % 9) - 4, float(rng() % 9) - 4};
        for (int i = 0; i < 16; ++i)
            for (int c = 0; c < 4; ++c) {
                float v = c == 3 ? 255.0f : base[c] + slope[c] * float(i % 4 + i / 4) + jitter(rng);
                block[4 * i + c] = uint8_t(std::clamp(v, 0.0f, 255.0f) + 0.5f);
            }
        blocks.push_back(block);
    }
    return blocks;
}

#if ZELKO_HAVE_SQUISH
TEST(BlockDecode, ColourBlocksMatchLibsquishBitForBit) {
    std::mt19937 rng = Random();
    uint8_t block[16], ours[64], bgra[64], reference[64];
    for (int n = 0; n < 20000; ++n) {
        RandomBytes(rng, block, 16);
        if (n % 4 == 0) std::memcpy(block + 10, block + 8, 2);  // equal endpoints
        if (n % 4 == 1) std::memcpy(block + 2, block, 2);
        DecodeBC1(block, ours);
        squish::Decompress(reference, block, squish::kDxt1);
        ASSERT_EQ(std::memcmp(ours, reference, 64), 0) << "BC1 block " << n;
        DecodeBC1(block, bgra, true);
        for (int i = 0; i < 16; ++i) {
            const uint8_t swapped[4] = {bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i], bgra[4 * i + 3]};
            ASSERT_EQ(std::memcmp(swapped, ours + 4 * i, 4), 0);
        }
        DecodeBC2(block, ours);
        squish::Decompress(reference, block, squish::kDxt3);
        ASSERT_EQ(std::memcmp(ours, reference, 64), 0) << "BC2 block " << n;
        DecodeBC3(block, ours);
        squish::Decompress(reference, block, squish::kDxt5);
        ASSERT_EQ(std::memcmp(ours, reference, 64), 0) << "BC3 block " << n;
    }
}

// BC4 and each half of BC5 are BC3 alpha blocks.
TEST(BlockDecode, SingleChannelBlocksMatchLibsquishAlpha) {
    std::mt19937 rng = Random();
    uint8_t bc3[16] = {}, reference[64], red[16], rg[32];
    for (int n = 0; n < 20000; ++n) {
        RandomBytes(rng, bc3, 8);
        if (n % 3 == 0) bc3[1] = bc3[0];  // equal endpoints take the 6-step ramp
        DecodeBC4(bc3, red);
        squish::Decompress(reference, bc3, squish::kDxt5);
        for (int i = 0; i < 16; ++i) ASSERT_EQ(red[i], reference[4 * i + 3]) << "block " << n;

        uint8_t bc5[16];
        RandomBytes(rng, bc5, 16);
        DecodeBC5(bc5, rg);
        for (int half = 0; half < 2; ++half) {
            std::memcpy(bc3, bc5 + 8 * half, 8);
            squish::Decompress(reference, bc3, squish::kDxt5);
            for (int i = 0; i < 16; ++i) ASSERT_EQ(rg[2 * i + half], reference[4 * i + 3]);
        }
    }
}
#endif

TEST(BlockDecode, SignedRampsClampAndInterpolate) {
    // s0 = 127 > s1 = -128 (read as -127): eight steps, truncated toward zero.
    uint8_t block[8] = {0x7F, 0x80};
    uint64_t indices = 0;
    for (int i = 0; i < 8; ++i) indices |= uint64_t(i) << (3 * i);
    for (int i = 0; i < 6; ++i) block[2 + i] = uint8_t(indices >> (8 * i));
    int8_t red[16];
    DecodeBC4S(block, red);
    const int8_t expected[8] = {127, -127, 90, 54, 18, -18, -54, -90};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(red[i], expected[i]) << i;
    // s0 <= s1: six steps and the ends -127 / 127.
    block[0] = 0xC0;  // -64
    block[1] = 0x40;  // 64
    DecodeBC4S(block, red);
    EXPECT_EQ(red[2], -38);
    EXPECT_EQ(red[6], -127);
    EXPECT_EQ(red[7], 127);
}

TEST(BlockEncode, Bc1StaysOpaqueWithoutThreshold) {
    // Equal endpoints decode in three-colour mode, where index 3 would be
    // transparent: constant and two-colour blocks must avoid it.
    std::vector<Pixels> blocks = TestBlocks(300, 20.0f);
    for (int grey = 0; grey < 256; ++grey) blocks.push_back(Pixels(64, uint8_t(grey)));
    Pixels twoColours(64, 255);
    for (int i = 0; i < 8; ++i) twoColours[4 * i] = 0;
    blocks.push_back(twoColours);
    for (EncodeQuality quality : {EncodeQuality::kFast, EncodeQuality::kRefined}) {
        for (const Pixels& source : blocks) {
            uint8_t block[8], decoded[64];
            EncodeBC1(source.data(), block, 0, quality);
            DecodeBC1(block, decoded);
            for (int i = 0; i < 16; ++i) ASSERT_EQ(decoded[4 * i + 3], 255);
        }
    }
}

TEST(BlockEncode, SingleColoursAreMatchedClosely) {
    for (int v = 0; v < 256; ++v) {
        Pixels source(64, 255);
        for (int i = 0; i < 16; ++i) source[4 * i] = source[4 * i + 1] = source[4 * i + 2] = uint8_t(v);
        uint8_t block[8], decoded[64];
        EncodeBC1(source.data(), block, 0, EncodeQuality::kRefined);
        DecodeBC1(block, decoded);
        for (int c = 0; c < 3; ++c) EXPECT_LE(std::abs(decoded[c] - v), 1) << v;
    }
}

TEST(BlockEncode, RefinedFitBeatsFastOnGradients) {
    std::vector<Pixels> blocks = TestBlocks(2000, 3.0f);
    double fast = 0, refined = 0, squishFit = 0;
    for (const Pixels& source : blocks) {
        uint8_t block[8], decoded[64];
        EncodeBC1(source.data(), block, 0, EncodeQuality::kFast);
        DecodeBC1(block, decoded);
        fast += BlockError(source.data(), decoded, 3);
        EncodeBC1(source.data(), block, 0, EncodeQuality::kRefined);
        DecodeBC1(block, decoded);
        refined += BlockError(source.data(), decoded, 3);
#if ZELKO_HAVE_SQUISH
        squish::Compress(source.data(), block, squish::kDxt1 | squish::kColourClusterFit);
        DecodeBC1(block, decoded);
        squishFit += BlockError(source.data(), decoded, 3);
#endif
    }
    double samples = 48.0 * blocks.size();
    EXPECT_GT(Psnr(fast, samples), 38.0);
    EXPECT_GT(Psnr(refined, samples), Psnr(fast, samples) + 0.2);
#if ZELKO_HAVE_SQUISH
    EXPECT_GT(Psnr(refined, samples), Psnr(squishFit, samples) - 0.3);
#endif
}

TEST(BlockEncode, Bc1PunchThroughFollowsAlphaReference) {
    std::vector<Pixels> blocks = TestBlocks(200, 4.0f);
    std::mt19937 rng = Random();
    for (Pixels& source : blocks) {
        for (int i = 0; i < 16; ++i) source[4 * i + 3] = uint8_t(rng());
        for (EncodeQuality quality : {EncodeQuality::kFast, EncodeQuality::kRefined}) {
            uint8_t block[8], decoded[64];
            EncodeBC1(source.data(), block, 128, quality);
            DecodeBC1(block, decoded);
            double error = 0;
            int opaque = 0;
            for (int i = 0; i < 16; ++i) {
                bool transparent = source[4 * i + 3] < 128;
                ASSERT_EQ(decoded[4 * i + 3], transparent ? 0 : 255);
                if (transparent) {
                    EXPECT_EQ(decoded[4 * i] | decoded[4 * i + 1] | decoded[4 * i + 2], 0);
                    continue;
                }
                ++opaque;
                for (int c = 0; c < 3; ++c) error += std::pow(double(decoded[4 * i + c]) - source[4 * i + c], 2);
            }
            if (opaque) {
                EXPECT_LT(error / (3 * opaque), 60.0);  // a gradient in three colours
            }
        }
    }
    Pixels clear(64, 0);
    uint8_t block[8], decoded[64];
    EncodeBC1(clear.data(), block, 128, EncodeQuality::kRefined);
    DecodeBC1(block, decoded);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(decoded[4 * i + 3], 0);
    EncodeBC1(clear.data(), block, 0, EncodeQuality::kRefined);  // no threshold: opaque black
    DecodeBC1(block, decoded);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(decoded[4 * i + 3], 255);
}

TEST(BlockEncode, ExplicitAndInterpolatedAlpha) {
    // BC2 keeps round(a * 15 / 255) for every alpha value.
    for (int start = 0; start < 256; start += 16) {
        Pixels source(64, 128);
        for (int i = 0; i < 16; ++i) source[4 * i + 3] = uint8_t(start + i);
        uint8_t block[16], decoded[64];
        EncodeBC2(source.data(), block, EncodeQuality::kRefined);
        DecodeBC2(block, decoded);
        for (int i = 0; i < 16; ++i) {
            int a = start + i;
            EXPECT_EQ(decoded[4 * i + 3], (a * 15 + 127) / 255 * 17) << a;
        }
    }
    // BC3 alpha, BC4 and BC5: within half a ramp step of the block's range.
    std::mt19937 rng = Random();
    for (int n = 0; n < 500; ++n) {
        uint8_t lo = uint8_t(rng() % 128), span = uint8_t(rng() % 128);
        Pixels source(64);
        uint8_t red[16], rg[32];
        for (int i = 0; i < 16; ++i) {
            source[4 * i + 3] = red[i] = rg[2 * i] = uint8_t(lo + rng() % (span + 1));
            rg[2 * i + 1] = uint8_t(255 - red[i]);
        }
        int limit = span / 14 + 1;
        uint8_t block[16], decoded[64], singles[32];
        EncodeBC3(source.data(), block, EncodeQuality::kFast);
        DecodeBC3(block, decoded);
        EncodeBC4(red, block);
        DecodeBC4(block, singles);
        for (int i = 0; i < 16; ++i) {
            ASSERT_LE(std::abs(decoded[4 * i + 3] - source[4 * i + 3]), limit);
            ASSERT_LE(std::abs(singles[i] - red[i]), limit);
        }
        EncodeBC5(rg, block);
        DecodeBC5(block, singles);
        for (int i = 0; i < 32; ++i) ASSERT_LE(std::abs(singles[i] - rg[i]), limit);
    }
}

} // namespace
} // namespace zelko::block
