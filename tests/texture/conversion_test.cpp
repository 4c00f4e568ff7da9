// The conversion pipeline: import rules, Convert's steps, format changes,
// decoding and every failure text.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "format/Errors.h"
#include "texture/Conversion.h"
#include "texture/ImageFile.h"
#include "texture/ImageOps.h"
#include "texture/TextureObject.h"

namespace zelko {
namespace {

using Bgra = std::array<uint8_t, 4>;

constexpr Bgra kRed{0, 0, 255, 255};
constexpr Bgra kGreen{0, 255, 0, 255};
constexpr Bgra kBlue{255, 0, 0, 255};
constexpr Bgra kWhite{255, 255, 255, 255};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A DDS file: FourCC header, or a DX10 header when dxgi is not 0.
std::vector<uint8_t> DdsFile(uint32_t width, uint32_t height, uint32_t mips, uint32_t fourCC, uint32_t dxgi,
                             const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out{'D', 'D', 'S', ' '};
    Put32(out, 124);
    Put32(out, 0xA1007);
    Put32(out, height);
    Put32(out, width);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, mips);
    for (int i = 0; i < 11; ++i) Put32(out, 0);
    Put32(out, 32);
    Put32(out, 4);
    Put32(out, dxgi ? MakeFourCC('D', 'X', '1', '0') : fourCC);
    for (int i = 0; i < 5; ++i) Put32(out, 0);
    Put32(out, 0x401008);
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    if (dxgi) {
        Put32(out, dxgi);
        Put32(out, 3);  // 2D texture
        Put32(out, 0);
        Put32(out, 1);
        Put32(out, 0);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A one-level BGRA image file written by the image-file writers.
void WriteImage(const std::filesystem::path& path, ImageFileFormat type, uint32_t width, uint32_t height,
                Bgra left, Bgra right) {
    ScratchImage image;
    ASSERT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, width, height), kOk);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            std::memcpy(image.GetPixels() + (size_t(y) * width + x) * 4, (x < width / 2 ? left : right).data(), 4);
    ASSERT_EQ(SaveToImageFile(*image.GetImage(0, 0, 0), type, path), kOk);
}

Bgra PixelOf(const uint8_t* pixels, size_t width, size_t x, size_t y) {
    const uint8_t* p = pixels + (y * width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Levels of a chain from width x height: sizes halve, at least 1.
std::vector<std::pair<uint32_t, uint32_t>> Chain(uint32_t w, uint32_t h, uint32_t levels) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (uint32_t i = 0; i < levels; ++i) {
        out.emplace_back(w, h);
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    return out;
}

// The colour each DXT1 block of the test texture is filled with.
Bgra BlockColour(uint32_t level, uint32_t bx, uint32_t by) {
    static const Bgra colours[4] = {kRed, kGreen, kBlue, kWhite};
    return colours[(bx + by + level) % 4];
}

// 256x256 DXT1 with 9 levels, every block one solid colour (colour0 = colour1,
// indices 0), so every decoder gives exactly BlockColour.
std::vector<uint8_t> SolidDxt1Chain() {
    static const uint16_t c565[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    std::vector<uint8_t> out;
    uint32_t level = 0;
    for (auto [w, h] : Chain(256, 256, 9)) {
        for (uint32_t by = 0; by < (h + 3) / 4; ++by)
            for (uint32_t bx = 0; bx < (w + 3) / 4; ++bx) {
                const uint16_t c = c565[(bx + by + level) % 4];
                const uint8_t block[8] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 8), 0, 0, 0, 0};
                out.insert(out.end(), block, block + 8);
            }
        ++level;
    }
    return out;
}

std::unique_ptr<TextureObject> SolidDxt1Texture(bool packed = false) {
    const std::vector<uint8_t> data = SolidDxt1Chain();
    return TextureObject::Create(packed, 256, 256, kFormatDXT1, 9, data.data(), uint32_t(data.size()), nullptr, 0,
                                 0, 0, 0);
}

// Checks a BGRA chain (or a P8 chain through its palette) against BlockColour.
void ExpectSolidChain(const TextureObject& t) {
    const TextureObject::Pixels view = t.PixelView();
    const bool p8 = t.format == kFormatP8;
    size_t offset = 0;
    uint32_t level = 0;
    for (auto [w, h] : Chain(256, 256, 9)) {
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const size_t i = offset + size_t(y) * w + x;
                Bgra got;
                if (p8)
                    std::memcpy(got.data(), &t.palette[size_t(view.data()[i]) * 4], 4);
                else
                    std::memcpy(got.data(), view.data() + i * 4, 4);
                ASSERT_EQ(got, BlockColour(level, x / 4, y / 4)) << "level " << level << " at " << x << "," << y;
            }
        offset += size_t(w) * h;
        ++level;
    }
    EXPECT_EQ(offset * (p8 ? 1 : 4), view.size());
}

class ConversionTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* step : {"decompress", "convert", "resize", "initialize", "copy", "mipmaps", "compress"})
            detail::InjectConversionFailure(step, kOk);
    }
    TempFolder folder;
};

// --- import --------------------------------------------------------------

TEST_F(ConversionTest, ImportKeepsSidesThatAreMultiplesOfFour) {
    const auto path = folder.path() / "a.png";
    WriteImage(path, ImageFileFormat::PNG, 100, 60, kRed, kBlue);
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(false, path);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_EQ(t->width, 100u);
    EXPECT_EQ(t->height, 60u);
    EXPECT_EQ(t->mipCount, 1u);
    ASSERT_EQ(t->pixelsSize, 100u * 60 * 4);
    EXPECT_EQ(PixelOf(t->PixelView().data(), 100, 0, 0), kRed);
    EXPECT_EQ(PixelOf(t->PixelView().data(), 100, 99, 59), kBlue);
    EXPECT_TRUE(t->palette.empty());
    // Game 0 defaults for ARGB.
    EXPECT_EQ(t->alphaMode, 0);
    EXPECT_EQ(t->blendMode, 1);
    EXPECT_TRUE(t->flagsEdited);
}

TEST_F(ConversionTest, ImportRaisesSidesToMultiplesOfFour) {
    const auto path = folder.path() / "b.PNG";
    WriteImage(path, ImageFileFormat::PNG, 102, 61, kRed, kBlue);
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(false, path);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_EQ(t->width, 104u);
    EXPECT_EQ(t->height, 64u);
    EXPECT_EQ(t->mipCount, 1u);
    ASSERT_EQ(t->pixelsSize, 104u * 64 * 4);
    // Stretched, not padded: the right edge is still blue.
    EXPECT_EQ(PixelOf(t->PixelView().data(), 104, 0, 30), kRed);
    EXPECT_EQ(PixelOf(t->PixelView().data(), 104, 103, 63), kBlue);
}

TEST_F(ConversionTest, ImportPacksWhenAsked) {
    const auto path = folder.path() / "c.bmp";
    WriteImage(path, ImageFileFormat::BMP, 8, 8, kGreen, kWhite);
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(true, path);
    EXPECT_TRUE(t->pixelsPacked);
    EXPECT_EQ(PixelOf(t->PixelView().data(), 8, 7, 7), kWhite);
}

TEST_F(ConversionTest, ImportKeepsDxt5ChainWithoutReencoding) {
    std::vector<uint8_t> data;
    for (auto [w, h] : Chain(256, 256, 9))
        for (uint32_t i = 0; i < ((w + 3) / 4) * ((h + 3) / 4) * 16; ++i) data.push_back(uint8_t(i * 7 + w));
    ASSERT_EQ(data.size(), 87408u);
    const auto path = folder.path() / "d.DdS";
    WriteFile(path, DdsFile(256, 256, 9, kFormatDXT5, 0, data));
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(false, path);
    EXPECT_EQ(t->format, kFormatDXT5);
    EXPECT_EQ(t->width, 256u);
    EXPECT_EQ(t->mipCount, 9u);
    const TextureObject::Pixels view = t->PixelView();
    EXPECT_EQ(std::vector<uint8_t>(view.begin(), view.end()), data);
    EXPECT_EQ(t->alphaMode, 1);  // DXT5 default
    EXPECT_EQ(t->blendMode, 2);
}

TEST_F(ConversionTest, ImportDecodesSrgbBlocksToArgb) {
    const std::vector<uint8_t> dxt1 = SolidDxt1Chain();
    // The same solid blocks as BC3 (alpha block all 255, then the colour block).
    std::vector<uint8_t> data;
    for (size_t i = 0; i < dxt1.size(); i += 8) {
        const uint8_t alpha[8] = {255, 255, 0, 0, 0, 0, 0, 0};
        data.insert(data.end(), alpha, alpha + 8);
        data.insert(data.end(), dxt1.begin() + ptrdiff_t(i), dxt1.begin() + ptrdiff_t(i + 8));
    }
    const auto path = folder.path() / "e.dds";
    WriteFile(path, DdsFile(256, 256, 9, 0, 78, data));
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(false, path);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_EQ(t->mipCount, 9u);
    ExpectSolidChain(*t);
}

TEST_F(ConversionTest, ImportMakesPaddingByteOpaque) {
    // B8G8R8X8 with the fourth byte 0: stored as ARGB it must be opaque.
    std::vector<uint8_t> data(8 * 8 * 4, 0);
    for (size_t i = 0; i < data.size(); i += 4) data[i + 2] = 200;
    const auto path = folder.path() / "x.dds";
    WriteFile(path, DdsFile(8, 8, 1, 0, 88, data));
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(false, path);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_EQ(PixelOf(t->PixelView().data(), 8, 3, 3), (Bgra{0, 0, 200, 255}));
}

TEST_F(ConversionTest, ImportFailuresNameTheFile) {
    const auto missing = folder.path() / "missing.png";
    try {
        ImportAsNewTexture(false, missing);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to load the file: " + missing.string() + ". Error code: 0x80070002");
    }
    const auto missingDds = folder.path() / "missing.dds";
    try {
        ImportAsNewTexture(false, missingDds);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to load the file: " + missingDds.string() + ". Error code: 0x8", 0), 0u)
            << e.what();
    }
    // TGA has no signature and is not among the formats read here.
    const auto tga = folder.path() / "t.tga";
    ScratchImage img;
    ASSERT_EQ(img.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, 4, 4), kOk);
    ASSERT_EQ(SaveToTGAFile(*img.GetImage(0, 0, 0), tga), kOk);
    ScratchImage out;
    std::string error;
    EXPECT_FALSE(LoadImageFile(tga, out, error));
    EXPECT_EQ(error.rfind("Unable to load the file: " + tga.string() + ". Error code: 0x", 0), 0u) << error;
}

// --- Convert --------------------------------------------------------------

ScratchImage Bgra8(uint32_t w, uint32_t h, uint32_t mips, uint8_t fill) {
    ScratchImage image;
    EXPECT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, w, h, 1, mips), kOk);
    std::memset(image.GetPixels(), fill, image.GetPixelsSize());
    return image;
}

TEST_F(ConversionTest, ConvertLeavesMatchingImageUntouched) {
    ScratchImage image = Bgra8(16, 8, 3, 9);
    const uint8_t* before = image.GetPixels();
    std::string error;
    EXPECT_TRUE(ConvertImage(image, kFormatARGB, 16, 8, 3, true, error));
    EXPECT_EQ(image.GetPixels(), before);
}

TEST_F(ConversionTest, ConvertCutsChainToBaseLevel) {
    ScratchImage image = Bgra8(16, 16, 5, 0);
    for (size_t i = 0; i < 16 * 16 * 4; ++i) image.GetPixels()[i] = uint8_t(i);
    std::string error;
    ASSERT_TRUE(ConvertImage(image, kFormatARGB, 16, 16, 1, false, error)) << error;
    EXPECT_EQ(image.GetMetadata().mipLevels, 1u);
    ASSERT_EQ(image.GetPixelsSize(), 16u * 16 * 4);
    for (size_t i = 0; i < 16 * 16 * 4; ++i) ASSERT_EQ(image.GetPixels()[i], uint8_t(i));
}

TEST_F(ConversionTest, ConvertGeneratesChain) {
    ScratchImage image = Bgra8(16, 16, 1, 77);
    std::string error;
    ASSERT_TRUE(ConvertImage(image, kFormatARGB, 16, 16, 5, false, error)) << error;
    EXPECT_EQ(image.GetMetadata().mipLevels, 5u);
    EXPECT_EQ(image.GetPixelsSize(), (256u + 64 + 16 + 4 + 1) * 4);
    EXPECT_EQ(image.GetImage(4, 0, 0)->pixels[0], 77);
}

TEST_F(ConversionTest, ConvertResizesOnlyWhenAllowed) {
    ScratchImage image = Bgra8(8, 8, 1, 5);
    std::string error;
    ASSERT_TRUE(ConvertImage(image, kFormatARGB, 16, 4, 1, false, error));
    EXPECT_EQ(image.GetMetadata().width, 8u);
    ASSERT_TRUE(ConvertImage(image, kFormatARGB, 16, 4, 1, true, error));
    EXPECT_EQ(image.GetMetadata().width, 16u);
    EXPECT_EQ(image.GetMetadata().height, 4u);
}

TEST_F(ConversionTest, ConvertRejectsUnknownTarget) {
    ScratchImage image = Bgra8(4, 4, 1, 0);
    std::string error;
    try {
        ConvertImage(image, 23, 4, 4, 1, false, error);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Not supported texture format");
    }
}

TEST_F(ConversionTest, EveryStepFailureHasItsMessage) {
    struct Case {
        const char* step;
        DxgiFormat source;
        uint32_t target;
        uint32_t size, mips, sourceMips;
        const char* message;
    };
    const Case cases[] = {
        {"decompress", DxgiFormat::BC1_UNORM, kFormatARGB, 8, 1, 1, "Failed to decompress the texture. Error code: "},
        {"convert", DxgiFormat::R8_UNORM, kFormatARGB, 8, 1, 1, "Failed to convert the texture. Error code: "},
        {"convert", DxgiFormat::B8G8R8A8_UNORM, kFormatL8, 8, 1, 1, "Failed to convert the texture. Error code: "},
        {"resize", DxgiFormat::B8G8R8A8_UNORM, kFormatARGB, 16, 1, 1, "Failed to resize the texture. Error code: "},
        {"initialize", DxgiFormat::B8G8R8A8_UNORM, kFormatARGB, 8, 1, 3, "Failed to initialize texture. Error code: "},
        {"copy", DxgiFormat::B8G8R8A8_UNORM, kFormatARGB, 8, 1, 3, "Failed to copy texture. Error code: "},
        {"mipmaps", DxgiFormat::B8G8R8A8_UNORM, kFormatARGB, 8, 3, 1, "Failed to generate mip maps. Error code: "},
        {"compress", DxgiFormat::B8G8R8A8_UNORM, kFormatDXT1, 8, 1, 1, "Failed to compress the texture. Error code: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        ScratchImage image;
        ASSERT_EQ(image.Initialize2D(c.source, 8, 8, 1, c.sourceMips), kOk);
        const uint8_t* before = image.GetPixels();
        detail::InjectConversionFailure(c.step, kInvalidArg);
        std::string error;
        EXPECT_FALSE(ConvertImage(image, c.target, c.size, c.size, c.mips, true, error));
        EXPECT_EQ(error, std::string(c.message) + "0x80070057");
        EXPECT_EQ(image.GetPixels(), before);  // the caller's image is kept
        EXPECT_EQ(image.GetMetadata().format, c.source);
        detail::InjectConversionFailure(c.step, kOk);
    }
}

TEST_F(ConversionTest, RealFailuresCarryTheOperationsCode) {
    // A chain longer than the image allows.
    ScratchImage image = Bgra8(4, 4, 1, 0);
    std::string error;
    EXPECT_FALSE(ConvertImage(image, kFormatARGB, 4, 4, 9, false, error));
    EXPECT_EQ(error.rfind("Failed to generate mip maps. Error code: 0x8", 0), 0u) << error;
    // A size of 0.
    EXPECT_FALSE(ConvertImage(image, kFormatARGB, 0, 4, 1, true, error));
    EXPECT_EQ(error.rfind("Failed to resize the texture. Error code: 0x8", 0), 0u) << error;
    // BC7 has no decoder here.
    ScratchImage bc7;
    ASSERT_EQ(bc7.Initialize2D(DxgiFormat::BC7_UNORM, 4, 4), kOk);
    EXPECT_FALSE(ConvertImage(bc7, kFormatARGB, 4, 4, 1, false, error));
    EXPECT_EQ(error, "Failed to decompress the texture. Error code: 0x80070032");
}

// --- change format and decode ----------------------------------------------

TEST_F(ConversionTest, ChangeDxt1ToArgbKeepsChain) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ChangeFormat(*t, 4, kFormatARGB);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_EQ(t->width, 256u);
    EXPECT_EQ(t->height, 256u);
    EXPECT_EQ(t->mipCount, 9u);
    EXPECT_EQ(t->pixelsSize, 87381u * 4);
    ExpectSolidChain(*t);
    EXPECT_EQ(t->alphaMode, 0);  // ARGB, game 4
    EXPECT_EQ(t->blendMode, 0);
}

TEST_F(ConversionTest, ChangeDxt1ToP8GivesPaletteAndOneIndexPerPixel) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture(true);
    ChangeFormat(*t, 0, kFormatP8);
    EXPECT_EQ(t->format, kFormatP8);
    EXPECT_EQ(t->mipCount, 9u);
    EXPECT_EQ(t->paletteSize, 1024u);
    EXPECT_EQ(t->palette.size(), 1024u);
    EXPECT_EQ(t->pixelsSize, 87381u);  // 65536 + 16384 + ... + 1
    EXPECT_TRUE(t->pixelsPacked);
    ExpectSolidChain(*t);

    // And back: the palette expands to the same colours.
    ChangeFormat(*t, 0, kFormatARGB);
    EXPECT_EQ(t->format, kFormatARGB);
    EXPECT_EQ(t->paletteSize, 0u);
    EXPECT_TRUE(t->palette.empty());
    ExpectSolidChain(*t);
}

TEST_F(ConversionTest, ChangeToLuminanceAndBackToBlocks) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ChangeFormat(*t, 0, kFormatL8);
    EXPECT_EQ(t->format, kFormatL8);
    EXPECT_EQ(t->pixelsSize, 87381u);
    ChangeFormat(*t, 0, kFormatDXT5);
    EXPECT_EQ(t->format, kFormatDXT5);
    EXPECT_EQ(t->pixelsSize, 87408u);
}

TEST_F(ConversionTest, ChangeToSameFormatOnlyAssignsFlags) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    const std::vector<uint8_t> before(t->PixelView().begin(), t->PixelView().end());
    ChangeFormat(*t, 4, kFormatDXT1);
    EXPECT_EQ(std::vector<uint8_t>(t->PixelView().begin(), t->PixelView().end()), before);
    EXPECT_TRUE(t->flagsEdited);
}

TEST_F(ConversionTest, FailedChangeLeavesTextureUnchanged) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    detail::InjectConversionFailure("decompress", kOutOfMemory);
    try {
        ChangeFormat(*t, 0, kFormatARGB);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to decompress the texture. Error code: 0x8007000e");
    }
    EXPECT_EQ(t->format, kFormatDXT1);
    EXPECT_EQ(t->pixelsSize, 43704u);
    EXPECT_FALSE(t->flagsEdited);
}

TEST_F(ConversionTest, DecodeFailures) {
    // A P8 record without a full palette cannot be shown as DDS.
    const std::vector<uint8_t> idx(16, 0), pal(512, 0);
    auto p8 = TextureObject::Create(false, 4, 4, kFormatP8, 1, idx.data(), 16, pal.data(), 512, 0, 0, 0);
    ScratchImage image;
    std::string error;
    EXPECT_FALSE(DecodeTexture(*p8, image, error));
    EXPECT_EQ(error, "Failed to load the texture.");
    try {
        ChangeFormat(*p8, 0, kFormatARGB);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to load the texture.");
    }
    // Fewer pixel bytes than the header announces: the DDS reader refuses.
    const std::vector<uint8_t> few(16, 0);
    auto shortArgb = TextureObject::Create(false, 8, 8, kFormatARGB, 1, few.data(), 16, nullptr, 0, 0, 0, 0);
    EXPECT_FALSE(DecodeTexture(*shortArgb, image, error));
    EXPECT_EQ(error.rfind("Failed to load the texture. Error code: 0x8", 0), 0u) << error;
}

TEST_F(ConversionTest, DecodeGivesOwnFormat) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ScratchImage image;
    std::string error;
    ASSERT_TRUE(DecodeTexture(*t, image, error)) << error;
    EXPECT_EQ(image.GetMetadata().format, DxgiFormat::BC1_UNORM);
    EXPECT_EQ(image.GetMetadata().mipLevels, 9u);
}

TEST_F(ConversionTest, SetFromImageRefusesMismatchedLayout) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ScratchImage bgra = Bgra8(4, 4, 1, 1);
    EXPECT_FALSE(SetFromImage(*t, bgra));  // BGRA bytes are no DXT1 blocks
    EXPECT_EQ(t->pixelsSize, 43704u);
    ScratchImage r8;
    ASSERT_EQ(r8.Initialize2D(DxgiFormat::R8_UNORM, 4, 4), kOk);
    EXPECT_FALSE(SetFromImage(*t, r8, kFormatP8));  // P8 needs BGRA to quantize
    EXPECT_EQ(t->format, kFormatDXT1);
}

TEST_F(ConversionTest, LoadImageForTextureFitsTheTexture) {
    const auto path = folder.path() / "r.png";
    WriteImage(path, ImageFileFormat::PNG, 30, 20, kGreen, kGreen);
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ScratchImage image;
    std::string error;
    ASSERT_TRUE(LoadImageForTexture(path, *t, true, image, error)) << error;
    EXPECT_EQ(image.GetMetadata().format, DxgiFormat::BC1_UNORM);
    EXPECT_EQ(image.GetMetadata().width, 256u);
    EXPECT_EQ(image.GetMetadata().mipLevels, 9u);
    ASSERT_TRUE(SetFromImage(*t, image));
    EXPECT_EQ(t->pixelsSize, 43704u);

    // Without resizing the image keeps its size; 9 levels do not fit 30x20.
    EXPECT_FALSE(LoadImageForTexture(path, *t, false, image, error));
    EXPECT_EQ(error.rfind("Failed to generate mip maps. Error code: 0x", 0), 0u) << error;
}

} // namespace
} // namespace zelko
