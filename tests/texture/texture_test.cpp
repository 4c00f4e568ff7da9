// Texture records, Xbox 360 untiling, decoding and preview pixels; then the
// conversion pipeline (import rules, Convert's steps, format changes, every
// failure text) and the palette quantizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "Pictures.h"
#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/NameHash.h"
#include "format/error_text.h"
#include "format/pack_builder.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "imaging/ImageOps.h"
#include "texture/Conversion.h"
#include "texture/PaletteQuantizer.h"
#include "texture/PixelFormat.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

namespace zelko {
namespace {

using Bytes = std::vector<uint8_t>;
using pictures::Bgra;
using pictures::Filled;

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
}

// Preview pixels: the checkerboard behind alpha, then bottom-up rows of each kind of texture.
Bgra At(const PreviewPixels& p, uint32_t x, uint32_t row) {
    const uint8_t* q = &p.bgra[(size_t(row) * p.width + x) * 4];
    return {q[0], q[1], q[2], q[3]};
}

constexpr Bgra kCyan0{255, 255, 0, 0};
constexpr Bgra kMagenta0{255, 0, 255, 0};

TEST(Checkerboard, ShowsThroughWhereAlphaIsZero) {
    PreviewPixels p{96, 96, std::vector<uint8_t>(96 * 96 * 4)};
    for (size_t i = 0; i < p.bgra.size(); i += 4) std::memcpy(&p.bgra[i], Bgra{10, 200, 30, 0}.data(), 4);
    CompositeOverCheckerboard(p);
    // 32-pixel squares repeating every 64.
    const uint32_t cyan[][2] = {{31, 31}, {32, 32}, {64, 0}};
    const uint32_t magenta[][2] = {{32, 0}, {63, 0}, {64, 32}};
    for (auto [x, y] : cyan) EXPECT_EQ(At(p, x, y), kCyan0) << x << "," << y;
    for (auto [x, y] : magenta) EXPECT_EQ(At(p, x, y), kMagenta0) << x << "," << y;
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
}

TEST(MakePreview, ThumbnailsFromTheMipChainLookLikeTheBaseShrunk) {
    for (uint32_t format : {kFormatDXT1, kFormatDXT5, kFormatARGB}) {
        SCOPED_TRACE(format);
        // Gradients, a soft ring and mild noise, with the chain the import makes.
        std::mt19937 random(4);
        ScratchImage image = pictures::Drawn(512, 256, [&](size_t x, size_t y) {
            const double ring = std::sin(std::hypot(double(x) - 256, double(y) - 128) / 9);
            return Bgra{uint8_t(x / 2), uint8_t(y), uint8_t(128 + 100 * ring + int(random() % 9) - 4),
                        uint8_t(200 + 50 * ring)};
        });
        std::string error;
        ASSERT_TRUE(ConvertImage(image, format, 512, 256, 8, Resizing::KeepSize, error)) << error;
        auto texture = TextureObject::Create({512, 256, format, 8, image.GetPixels(), uint32_t(image.GetPixelsSize())});
        const auto fromChain = MakeThumbnailPixels(*texture, 32);
        const auto fromBase = MakePreviewPixels(*texture, false, 32);
        ASSERT_TRUE(fromChain && fromBase);
        // Colour only: alpha is not shown.
        EXPECT_GE(pictures::Psnr(fromChain->bgra.data(), fromBase->bgra.data(), fromBase->bgra.size(), true), 40.0);
        // A chain short of its bytes leaves the base to do the work.
        auto cut = TextureObject::Create({512, 256, format, 1, image.GetPixels(), uint32_t(image.GetPixelsSize())});
        cut->mipCount = 8;
        EXPECT_TRUE(MakeThumbnailPixels(*cut, 32).has_value());
    }
}

// --- conversions ---

constexpr Bgra kRed{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kBlue{255, 0, 0, 255}, kWhite{255, 255, 255, 255};

// Pixel i of BGRA bytes.
Bgra At(const uint8_t* pixels, size_t i) {
    return {pixels[i * 4], pixels[i * 4 + 1], pixels[i * 4 + 2], pixels[i * 4 + 3]};
}

ScratchImage Bgra8(uint32_t w, uint32_t h, uint32_t mips = 1) { return Filled(DxgiFormat::B8G8R8A8_UNORM, w, h, mips); }

// A one-level BGRA image file, left half one colour, right half another.
void WriteImage(const std::filesystem::path& path, ImageFileFormat type, uint32_t width, uint32_t height, Bgra left,
                Bgra right) {
    const ScratchImage image = pictures::Drawn(width, height,
                                               [&](size_t x, size_t) { return x < width / 2 ? left : right; });
    ASSERT_EQ(SaveToImageFile(*image.GetImage(0, 0, 0), type, path), kOk);
}

// A square DDS file of `format`, through the DDS writer (its headers are checked there).
void WriteDds(const std::filesystem::path& path, DxgiFormat format, uint32_t size, uint32_t mips, const Bytes& data) {
    ScratchImage image = Filled(format, size, size, mips, data);
    ASSERT_EQ(SaveToDDSFile(image.GetImages(), image.GetImageCount(), image.GetMetadata(), path), kOk);
}

// 256x256 DXT1, 9 levels, every block solid (colour0 = colour1, indices 0):
// red, green, blue or white by (block x + block y + level) % 4.
Bytes SolidDxt1Chain() {
    static const uint16_t c565[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    Bytes out;
    for (uint32_t level = 0, s = 256; s >= 1; s /= 2, ++level)
        for (uint32_t by = 0; by < (s + 3) / 4; ++by)
            for (uint32_t bx = 0; bx < (s + 3) / 4; ++bx) {
                const uint16_t c = c565[(bx + by + level) % 4];
                out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 8), 0, 0, 0, 0});
            }
    return out;
}

std::unique_ptr<TextureObject> SolidDxt1Texture(bool packed = false) {
    const Bytes data = SolidDxt1Chain();
    return TextureObject::Create({256, 256, kFormatDXT1, 9, data.data(), uint32_t(data.size())}, packed);
}

// Checks a BGRA chain (or a P8 chain through its palette) against SolidDxt1Chain's colours.
void ExpectSolidChain(const TextureObject& t) {
    static const Bgra colours[4] = {kRed, kGreen, kBlue, kWhite};
    const TextureObject::Pixels view = t.PixelView();
    const bool p8 = t.format == kFormatP8;
    size_t offset = 0;
    for (uint32_t level = 0, s = 256; s >= 1; offset += size_t(s) * s, s /= 2, ++level)
        for (uint32_t y = 0; y < s; ++y)
            for (uint32_t x = 0; x < s; ++x) {
                const size_t i = offset + size_t(y) * s + x;
                const Bgra got = p8 ? At(t.palette.data(), view.data()[i]) : At(view.data(), i);
                ASSERT_EQ(got, colours[(x / 4 + y / 4 + level) % 4]) << "level " << level << " at " << x << "," << y;
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

TEST_F(ConversionTest, ImportRaisesSidesToMultiplesOfFour) {
    struct Case {
        const char* name;
        ImageFileFormat type;
        uint32_t width, height, wantWidth, wantHeight;
        bool pack;
    };
    const Case cases[] = {
        {"b.PNG", ImageFileFormat::PNG, 102, 61, 104, 64, false},
        {"c.bmp", ImageFileFormat::BMP, 102, 60, 104, 60, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteImage(folder.path() / c.name, c.type, c.width, c.height, kRed, kBlue);
        std::unique_ptr<TextureObject> t = ImportAsNewTexture(c.pack, folder.path() / c.name);
        EXPECT_EQ(std::tuple(t->format, t->width, t->height, t->mipCount, t->pixelsPacked),
                  std::tuple(kFormatARGB, c.wantWidth, c.wantHeight, 1u, c.pack));
        ASSERT_EQ(t->pixelsSize, c.wantWidth * c.wantHeight * 4);
        // Stretched, not padded: the right edge is still blue.
        EXPECT_EQ(At(t->PixelView().data(), c.wantHeight / 2 * c.wantWidth), kRed);
        EXPECT_EQ(At(t->PixelView().data(), c.wantWidth * c.wantHeight - 1), kBlue);
        EXPECT_EQ(std::tuple(t->alphaMode, t->blendMode, t->flagsEdited), std::tuple(0, 1, true)); // game 0, ARGB
    }
}

TEST_F(ConversionTest, ImportDdsKeepsDxt5DecodesSrgbAndPaddingAndFailuresNameTheFile) {
    Bytes data(87408);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + i / 1000);
    WriteDds(folder.path() / "d.DdS", DxgiFormat::BC3_UNORM, 256, 9, data);
    std::unique_ptr<TextureObject> t = ImportAsNewTexture(false, folder.path() / "d.DdS");
    EXPECT_EQ(std::tuple(t->format, t->mipCount, t->alphaMode, t->blendMode), std::tuple(kFormatDXT5, 9u, 1, 2));
    EXPECT_EQ(Unpacked(*t), data);

    // sRGB BC3 (opaque alpha block, then the solid colour block) becomes ARGB.
    const Bytes dxt1 = SolidDxt1Chain();
    data.clear();
    for (size_t i = 0; i < dxt1.size(); i += 8) {
        data.insert(data.end(), {255, 255, 0, 0, 0, 0, 0, 0});
        data.insert(data.end(), dxt1.begin() + ptrdiff_t(i), dxt1.begin() + ptrdiff_t(i + 8));
    }
    WriteDds(folder.path() / "e.dds", DxgiFormat::BC3_UNORM_SRGB, 256, 9, data);
    t = ImportAsNewTexture(false, folder.path() / "e.dds");
    EXPECT_EQ(std::tuple(t->format, t->mipCount), std::tuple(kFormatARGB, 9u));
    ExpectSolidChain(*t);

    // Failures name the file.
    const auto missing = folder.path() / "missing.png";
    EXPECT_EQ(ErrorText([&] { ImportAsNewTexture(false, missing); }),
              "Unable to load the file: " + missing.string() + ". Error code: 0x80070002");
}

TEST_F(ConversionTest, ConvertKeepsCutsGeneratesResizesAndNamesTheFailingStep) {
    std::string error;
    ScratchImage image = Bgra8(16, 8, 3);
    const uint8_t* before = image.GetPixels();
    EXPECT_TRUE(ConvertImage(image, kFormatARGB, 16, 8, 3, Resizing::ToTarget, error));
    EXPECT_EQ(image.GetPixels(), before); // already matching: untouched

    image = Bgra8(16, 16, 5);
    for (size_t i = 0; i < 16 * 16 * 4; ++i) image.GetPixels()[i] = uint8_t(i);
    ASSERT_TRUE(ConvertImage(image, kFormatARGB, 16, 16, 1, Resizing::KeepSize, error)) << error;
    ASSERT_EQ(image.GetPixelsSize(), 16u * 16 * 4); // one level
    for (size_t i = 0; i < 16 * 16 * 4; ++i) ASSERT_EQ(image.GetPixels()[i], uint8_t(i));

    image = Bgra8(8, 8);
    ASSERT_TRUE(ConvertImage(image, kFormatARGB, 16, 4, 1, Resizing::KeepSize, error));
    EXPECT_EQ(image.GetMetadata().width, 8u); // resizing not allowed
    EXPECT_EQ(ErrorText([&] { ConvertImage(image, 23, 4, 4, 1, Resizing::KeepSize, error); }),
              "Not supported texture format");

    // Every step's failure has its message.
    struct Case {
        const char* step;
        DxgiFormat source;
        uint32_t target, size, mips, sourceMips;
        const char* message;
    };
    const DxgiFormat bgra = DxgiFormat::B8G8R8A8_UNORM;
    const Case cases[] = {
        {"decompress", DxgiFormat::BC1_UNORM, kFormatARGB, 8, 1, 1, "Failed to decompress the texture."},
        {"convert", DxgiFormat::R8_UNORM, kFormatARGB, 8, 1, 1, "Failed to convert the texture."},
        {"convert", bgra, kFormatL8, 8, 1, 1, "Failed to convert the texture."},
        {"resize", bgra, kFormatARGB, 16, 1, 1, "Failed to resize the texture."},
        {"initialize", bgra, kFormatARGB, 8, 1, 3, "Failed to initialize texture."},
        {"copy", bgra, kFormatARGB, 8, 1, 3, "Failed to copy texture."},
        {"mipmaps", bgra, kFormatARGB, 8, 3, 1, "Failed to generate mip maps."},
        {"compress", bgra, kFormatDXT1, 8, 1, 1, "Failed to compress the texture."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        ASSERT_EQ(image.Initialize2D(c.source, 8, 8, 1, c.sourceMips), kOk);
        before = image.GetPixels();
        detail::InjectConversionFailure(c.step, kInvalidArg);
        EXPECT_FALSE(ConvertImage(image, c.target, c.size, c.size, c.mips, Resizing::ToTarget, error));
        EXPECT_EQ(error, std::string(c.message) + " Error code: 0x80070057");
        EXPECT_EQ(image.GetPixels(), before); // the caller's image is kept
        EXPECT_EQ(image.GetMetadata().format, c.source);
        detail::InjectConversionFailure(c.step, kOk);
    }

    // Real failures carry the operation's code (a mip chain's: see LoadImageForTexture).
    ASSERT_EQ(image.Initialize2D(DxgiFormat::BC7_UNORM, 4, 4), kOk);
    EXPECT_FALSE(ConvertImage(image, kFormatARGB, 4, 4, 1, Resizing::KeepSize, error));
    EXPECT_EQ(error, "Failed to decompress the texture. Error code: 0x80070032");
}

TEST_F(ConversionTest, ChangeFormatKeepsTheChainOrTheTextureWhenItFails) {
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ChangeFormat(*t, 4, kFormatARGB);
    EXPECT_EQ(std::tuple(t->format, t->mipCount, t->pixelsSize), std::tuple(kFormatARGB, 9u, 87381u * 4));
    ExpectSolidChain(*t);
    EXPECT_EQ(std::tuple(t->alphaMode, t->blendMode), std::tuple(0, 0)); // ARGB, game 4

    // P8: one index per pixel of every level, each through a full palette to its colour.
    t = SolidDxt1Texture(true);
    ChangeFormat(*t, 0, kFormatP8);
    EXPECT_EQ(std::tuple(t->format, t->mipCount, t->paletteSize, t->palette.size(), t->pixelsSize, t->pixelsPacked),
              std::tuple(kFormatP8, 9u, 1024u, size_t(1024), 87381u, true));
    ExpectSolidChain(*t);
    ChangeFormat(*t, 0, kFormatARGB);
    EXPECT_TRUE(t->palette.empty());
    ExpectSolidChain(*t);

    // Same format: only the flags change.
    const Bytes before = Unpacked(*t);
    t->flagsEdited = false;
    ChangeFormat(*t, 4, kFormatARGB);
    EXPECT_EQ(Unpacked(*t), before);
    EXPECT_TRUE(t->flagsEdited);

    // A failed change or decode leaves the texture unchanged.
    t = SolidDxt1Texture();
    detail::InjectConversionFailure("decompress", kOutOfMemory);
    EXPECT_EQ(ErrorText([&] { ChangeFormat(*t, 0, kFormatARGB); }),
              "Failed to decompress the texture. Error code: 0x8007000e");
    EXPECT_EQ(std::tuple(t->format, t->pixelsSize, t->flagsEdited), std::tuple(kFormatDXT1, 43704u, false));
    detail::InjectConversionFailure("decompress", kOk);

    // A P8 record without a full palette cannot be changed.
    const Bytes idx(16, 0), pal(512, 0);
    auto p8 = TextureObject::Create({4, 4, kFormatP8, 1, idx.data(), 16, pal.data(), 512});
    EXPECT_EQ(ErrorText([&] { ChangeFormat(*p8, 0, kFormatARGB); }), "Failed to load the texture.");

    // SetFromImage refuses bytes that do not fit the layout; P8 needs BGRA to quantize.
    EXPECT_FALSE(SetFromImage(*t, Bgra8(4, 4)));
    EXPECT_FALSE(SetFromImage(*t, Filled(DxgiFormat::R8_UNORM, 4, 4), kFormatP8));
    EXPECT_EQ(std::tuple(t->format, t->pixelsSize), std::tuple(kFormatDXT1, 43704u));
}

TEST_F(ConversionTest, LoadImageForTextureFitsTheTexture) {
    const auto path = folder.path() / "r.png";
    WriteImage(path, ImageFileFormat::PNG, 30, 20, kGreen, kGreen);
    std::unique_ptr<TextureObject> t = SolidDxt1Texture();
    ScratchImage image;
    std::string error;
    ASSERT_TRUE(LoadImageForTexture(path, *t, Resizing::ToTarget, image, error)) << error;
    const TexMetadata& meta = image.GetMetadata();
    EXPECT_EQ(std::tuple(meta.format, meta.width, meta.mipLevels), std::tuple(DxgiFormat::BC1_UNORM, 256u, 9u));
    ASSERT_TRUE(SetFromImage(*t, image));
    EXPECT_EQ(t->pixelsSize, 43704u);
    // Without resizing, 9 levels do not fit 30x20.
    EXPECT_FALSE(LoadImageForTexture(path, *t, Resizing::KeepSize, image, error));
    EXPECT_EQ(error.rfind("Failed to generate mip maps. Error code: 0x", 0), 0u) << error;
}

// --- palette quantizer ---

Bytes Pixels(const std::vector<Bgra>& colours) {
    Bytes out;
    for (const Bgra& c : colours) out.insert(out.end(), c.begin(), c.end());
    return out;
}

constexpr Bgra kClear{0, 0, 0, 0};

TEST(Quantizer, CollisionsAndTransparentColours) {
    // White and transparent black share a hash bucket and must not merge.
    ASSERT_EQ(PaletteQuantizer::Bucket(0xFFFFFFFFu), PaletteQuantizer::Bucket(0));
    PaletteQuantizer q;
    const Bytes px = Pixels({kWhite, kClear, kWhite});
    q.AddPixels(px.data(), 3);
    EXPECT_EQ(q.ColourCount(), 2u);
    uint8_t palette[1024], idx[3];
    q.BuildPalette(palette);
    q.MapLevel(px.data(), 3, 1, 12, idx);
    EXPECT_EQ(At(palette, idx[0]), kWhite);
    EXPECT_EQ(At(palette, idx[1]), kClear);
    EXPECT_EQ(idx[0], idx[2]);

    // Transparent colours premultiply to zero: no division by alpha 0.
    const Bytes clear = Pixels({Bgra{10, 20, 30, 0}, Bgra{200, 100, 50, 0}});
    PaletteQuantizer transparent;
    transparent.AddPixels(clear.data(), 2);
    transparent.BuildPalette(palette);
    for (size_t i = 0; i < 256; ++i) EXPECT_EQ(At(palette, i), kClear) << i;
}

} // namespace
} // namespace zelko
