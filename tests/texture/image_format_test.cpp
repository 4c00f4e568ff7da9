// Format arithmetic and the ScratchImage container.
#include <gtest/gtest.h>

#include <cstring>

#include "texture/DxgiFormat.h"
#include "texture/Image.h"
#include "texture/ImageResult.h"

namespace zelko {
namespace {

struct PitchCase {
    DxgiFormat format;
    size_t width, height, bits, rowPitch, slicePitch;
};

TEST(DxgiFormat, PitchesAndBitsPerPixel) {
    const PitchCase cases[] = {
        {DxgiFormat::R8G8B8A8_UNORM, 3, 5, 32, 12, 60},
        {DxgiFormat::B8G8R8A8_UNORM_SRGB, 100, 60, 32, 400, 24000},
        {DxgiFormat::R8_UNORM, 7, 3, 8, 7, 21},
        {DxgiFormat::A8_UNORM, 1, 1, 8, 1, 1},
        {DxgiFormat::R8G8_UNORM, 5, 2, 16, 10, 20},
        {DxgiFormat::B5G6R5_UNORM, 3, 3, 16, 6, 18},
        {DxgiFormat::B4G4R4A4_UNORM, 2, 2, 16, 4, 8},
        {DxgiFormat::R16G16B16A16_FLOAT, 2, 3, 64, 16, 48},
        {DxgiFormat::R32G32B32A32_FLOAT, 1, 2, 128, 16, 32},
        // Block formats: whole 4x4 blocks, at least one each way.
        {DxgiFormat::BC1_UNORM, 1, 1, 4, 8, 8},
        {DxgiFormat::BC1_UNORM, 5, 9, 4, 16, 48},
        {DxgiFormat::BC4_SNORM, 256, 4, 4, 512, 512},
        {DxgiFormat::BC2_UNORM, 2, 2, 8, 16, 16},
        {DxgiFormat::BC3_UNORM_SRGB, 100, 60, 8, 400, 6000},
        {DxgiFormat::BC5_UNORM, 8, 8, 8, 32, 64},
        {DxgiFormat::BC7_UNORM, 4, 4, 8, 16, 16},
    };
    for (const PitchCase& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        size_t row = 0, slice = 0;
        EXPECT_EQ(ComputePitch(c.format, c.width, c.height, row, slice), kOk);
        EXPECT_EQ(BitsPerPixel(c.format), c.bits);
        EXPECT_EQ(row, c.rowPitch);
        EXPECT_EQ(slice, c.slicePitch);
    }
    size_t row = 1, slice = 1;
    EXPECT_EQ(ComputePitch(DxgiFormat::UNKNOWN, 4, 4, row, slice), kInvalidArg);
    EXPECT_EQ(row + slice, 0u);
    EXPECT_EQ(ComputePitch(DxgiFormat(23), 4, 4, row, slice), kInvalidArg);
    EXPECT_EQ(ComputePitch(DxgiFormat::BC1_UNORM, 0, 4, row, slice), kInvalidArg);
    EXPECT_EQ(ComputePitch(DxgiFormat::R8_UNORM, kMaxTextureDimension + 1, 1, row, slice), kInvalidArg);
    EXPECT_EQ(ComputePitch(DxgiFormat::R8_UNORM, SIZE_MAX, SIZE_MAX, row, slice), kInvalidArg);
}

// By DXGI number ranges, so codes without an enumerator classify too.
TEST(DxgiFormat, ClassifiesByNumber) {
    for (uint32_t code : {70u, 71u, 77u, 84u, 94u, 98u, 99u}) EXPECT_TRUE(IsCompressed(DxgiFormat(code))) << code;
    for (uint32_t code : {0u, 28u, 69u, 85u, 87u, 93u, 100u}) EXPECT_FALSE(IsCompressed(DxgiFormat(code))) << code;
    for (uint32_t code : {29u, 72u, 75u, 78u, 91u, 93u, 99u}) EXPECT_TRUE(IsSRGB(DxgiFormat(code))) << code;
    for (uint32_t code : {28u, 71u, 87u, 88u, 98u}) EXPECT_FALSE(IsSRGB(DxgiFormat(code))) << code;
    EXPECT_EQ(HResultHex(kInvalidArg), "0x80070057");
    EXPECT_EQ(HResultHex(0x1A), "0x1a");
}

TEST(ScratchImage, MipChainOfOddSizeEndsAtOnePixel) {
    EXPECT_EQ(CountMips(100, 60), 7u);
    EXPECT_EQ(CountMips(1, 1), 1u);
    EXPECT_EQ(CountMips(4096, 2), 13u);

    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 100, 60, 1, 0), kOk);
    ASSERT_EQ(image.GetMetadata().mipLevels, 7u);
    ASSERT_EQ(image.GetImageCount(), 7u);
    const size_t widths[] = {100, 50, 25, 12, 6, 3, 1}, heights[] = {60, 30, 15, 7, 3, 1, 1};
    size_t offset = 0;
    for (size_t mip = 0; mip < 7; ++mip) {
        const Image* level = image.GetImage(mip, 0, 0);
        ASSERT_NE(level, nullptr);
        EXPECT_EQ(level->width, widths[mip]);
        EXPECT_EQ(level->height, heights[mip]);
        EXPECT_EQ(level->rowPitch, widths[mip] * 4);
        // Levels follow each other without gaps: the block is the game layout.
        EXPECT_EQ(level->pixels, image.GetPixels() + offset);
        offset += level->slicePitch;
    }
    EXPECT_EQ(image.GetPixelsSize(), offset);
    EXPECT_EQ(image.GetImage(7, 0, 0), nullptr);
    EXPECT_EQ(image.GetImage(0, 1, 0), nullptr);
    EXPECT_EQ(image.GetImage(0, 0, 1), nullptr);

    ScratchImage blocks;
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC1_UNORM, 100, 60, 1, 0), kOk);
    EXPECT_EQ(blocks.GetImage(6, 0, 0)->slicePitch, 8u);
    EXPECT_EQ(blocks.GetPixelsSize(), 3000u + 832 + 224 + 48 + 16 + 8 + 8);
}

TEST(ScratchImage, RefusesImpossibleTextures) {
    ScratchImage image;
    EXPECT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, 0, 4), kInvalidArg);
    EXPECT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, 4, 4, 1, 4), kInvalidArg);  // 3 levels at most
    EXPECT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, 4, 4, 0, 1), kInvalidArg);
    EXPECT_EQ(image.Initialize2D(DxgiFormat::UNKNOWN, 4, 4), kInvalidArg);
    EXPECT_EQ(image.Initialize2D(DxgiFormat::R8_UNORM, kMaxTextureDimension + 1, 1), kInvalidArg);
    TexMetadata cube;
    cube.width = cube.height = 4;
    cube.format = DxgiFormat::R8_UNORM;
    cube.miscFlags = kTexMiscTextureCube;
    EXPECT_EQ(image.Initialize(cube), kInvalidArg);
    EXPECT_EQ(image.GetPixels(), nullptr);
    EXPECT_EQ(image.GetImageCount(), 0u);
}

TEST(ScratchImage, ArraysMovesAndRelabels) {
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::R8G8B8A8_UNORM, 4, 2, 2, 2), kOk);
    ASSERT_EQ(image.GetImageCount(), 4u);
    // Items outer, levels inner.
    EXPECT_EQ(image.GetImage(0, 1, 0), image.GetImages() + 2);
    EXPECT_EQ(image.GetImage(1, 1, 0)->width, 2u);
    image.GetPixels()[0] = 42;

    ScratchImage moved(std::move(image));
    EXPECT_EQ(image.GetPixels(), nullptr);
    EXPECT_EQ(image.GetImageCount(), 0u);
    EXPECT_EQ(moved.GetPixels()[0], 42);

    EXPECT_TRUE(moved.OverrideFormat(DxgiFormat::R8G8B8A8_UNORM_SRGB));
    EXPECT_EQ(moved.GetImage(1, 1, 0)->format, DxgiFormat::R8G8B8A8_UNORM_SRGB);
    EXPECT_FALSE(moved.OverrideFormat(DxgiFormat::B8G8R8A8_UNORM));  // another byte order
    ScratchImage blocks;
    ASSERT_EQ(blocks.Initialize2D(DxgiFormat::BC4_UNORM, 4, 4), kOk);
    EXPECT_TRUE(blocks.OverrideFormat(DxgiFormat::BC4_SNORM));
    EXPECT_FALSE(blocks.OverrideFormat(DxgiFormat::BC1_UNORM));

    // A view with a wider pitch is repacked.
    uint8_t wide[2 * 16] = {};
    for (int i = 0; i < 8; ++i) wide[i] = wide[16 + i] = uint8_t(i + 1);
    Image view{2, 2, DxgiFormat::R8G8B8A8_UNORM, 16, 32, wide};
    ScratchImage copy;
    ASSERT_EQ(copy.InitializeFromImage(view), kOk);
    EXPECT_EQ(copy.GetPixelsSize(), 16u);
    EXPECT_EQ(std::memcmp(copy.GetPixels() + 8, wide + 16, 8), 0);
    view.rowPitch = 4;  // narrower than a row
    EXPECT_EQ(copy.InitializeFromImage(view), kInvalidArg);
}

} // namespace
} // namespace zelko
