#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <tuple>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "imaging/ImageFile.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

using Bgra = std::array<uint8_t, 4>;

// A one-level B8G8R8A8 image whose pixel (x, y) is fn(x, y).
ScratchImage MakeImage(size_t w, size_t h, const std::function<Bgra(size_t, size_t)>& fn) {
    ScratchImage image;
    EXPECT_EQ(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, w, h), kOk);
    uint8_t* p = image.GetPixels();
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) std::memcpy(p + (y * w + x) * 4, fn(x, y).data(), 4);
    return image;
}

// Many colours and every kind of alpha (or opaque); odd size to exercise row padding.
ScratchImage Colourful(size_t w = 37, size_t h = 23, bool opaque = false) {
    return MakeImage(w, h, [opaque](size_t x, size_t y) {
        return Bgra{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y), uint8_t(opaque ? 255 : (x + y * 5) * 3)};
    });
}

ScratchImage Opaque(size_t w = 37, size_t h = 23) { return Colourful(w, h, true); }

// At most 64 distinct colours, so a GIF can hold them exactly.
ScratchImage FewColours(size_t w = 31, size_t h = 17) {
    return MakeImage(w, h, [](size_t x, size_t y) {
        return Bgra{uint8_t((x % 4) * 80), uint8_t((y % 4) * 70), uint8_t(((x + y) % 4) * 60), 255};
    });
}

// Smooth content, as photographs are, for the lossy codec.
ScratchImage Smooth(size_t w = 64, size_t h = 48) {
    return MakeImage(w, h, [](size_t x, size_t y) {
        return Bgra{uint8_t(x * 3 + 20), uint8_t(y * 4 + 10), uint8_t(128 + (x + y)), 255};
    });
}

std::vector<uint8_t> Bytes(const ScratchImage& image) {
    return {image.GetPixels(), image.GetPixels() + image.GetPixelsSize()};
}

double Psnr(const ScratchImage& a, const ScratchImage& b, bool colourOnly) {
    double sum = 1e-9, n = 0;
    for (size_t i = 0; i < a.GetPixelsSize(); ++i)
        if (!colourOnly || i % 4 != 3) sum += std::pow(double(a.GetPixels()[i]) - double(b.GetPixels()[i]), 2), ++n;
    return 10 * std::log10(255.0 * 255.0 * n / sum);
}

const ImageFileFormat kAll[] = {ImageFileFormat::BMP, ImageFileFormat::PNG,  ImageFileFormat::JPEG,
                                ImageFileFormat::GIF, ImageFileFormat::TIFF, ImageFileFormat::TGA};

const char* Ext(ImageFileFormat f) {
    const char* names[] = {".bmp", ".png", ".jpg", ".gif", ".tif", ".tga"};
    for (size_t i = 0; i < 6; ++i)
        if (kAll[i] == f) return names[i];
    return ".dds";
}

HResult Load(ImageFileFormat f, const fs::path& path, ScratchImage& out, TexMetadata* meta = nullptr) {
    return f == ImageFileFormat::TGA ? LoadFromTGAFile(path, meta, out) : LoadFromImageFile(path, meta, out);
}

HResult LoadMemory(ImageFileFormat f, const std::vector<uint8_t>& bytes, ScratchImage& out) {
    return f == ImageFileFormat::TGA ? LoadFromTGAMemory(bytes.data(), bytes.size(), nullptr, out)
                                     : LoadFromImageMemory(bytes.data(), bytes.size(), nullptr, out);
}

} // namespace

TEST(ImageFileType, ExtensionsSignaturesAndContentDecidesTheDecoder) {
    EXPECT_EQ(ImageFileFormatFromExtension("a/b.JpEg"), ImageFileFormat::JPEG);
    for (const char* name : {"x.txt", "png", "x.png.bak"}) EXPECT_FALSE(ImageFileFormatFromExtension(name)) << name;
    const uint8_t png[] = {0x89, 'P', 'N'}; // a signature cut short
    EXPECT_FALSE(DetectImageFileFormat(png, sizeof png));
    // Content decides the decoder, whatever the name says.
    TempFolder dir;
    ScratchImage source = Colourful();
    std::vector<uint8_t> bytes;
    ASSERT_EQ(SaveToImageMemory(*source.GetImages(), ImageFileFormat::PNG, bytes), kOk);
    ScratchImage back;
    for (fs::path name : {fs::path("lies.bmp"), fs::path("noext")}) {
        WriteFile(dir.path() / name, bytes);
        ASSERT_EQ(LoadFromImageFile(dir.path() / name, nullptr, back), kOk);
        EXPECT_EQ(Bytes(back), Bytes(source));
    }
}

class LosslessRoundTrip : public ::testing::TestWithParam<ImageFileFormat> {};

TEST_P(LosslessRoundTrip, ColourAndAlphaSurvive) {
    TempFolder dir;
    const ImageFileFormat f = GetParam();
    for (const ScratchImage& source : {Colourful(), Opaque(1, 1)}) {
        fs::path path = dir.path() / (fs::path(u8"t\u00ebxture_\u0436") += Ext(f)); // non-ASCII too
        ASSERT_EQ(SaveToImageFile(*source.GetImages(), f, path), kOk);
        ScratchImage back;
        TexMetadata meta;
        ASSERT_EQ(Load(f, path, back, &meta), kOk);
        EXPECT_EQ(std::tuple(meta.width, meta.height, meta.format),
                  std::tuple(source.GetMetadata().width, source.GetMetadata().height, DxgiFormat::B8G8R8A8_UNORM));
        EXPECT_EQ(Bytes(back), Bytes(source));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, LosslessRoundTrip,
                         ::testing::Values(ImageFileFormat::PNG, ImageFileFormat::BMP, ImageFileFormat::TIFF,
                                           ImageFileFormat::TGA),
                         [](const auto& info) { return std::string(Ext(info.param) + 1); });

ScratchImage GifRoundTrip(const ScratchImage& source) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(SaveToImageMemory(*source.GetImages(), ImageFileFormat::GIF, bytes), kOk);
    ScratchImage back;
    EXPECT_EQ(LoadFromImageMemory(bytes.data(), bytes.size(), nullptr, back), kOk);
    EXPECT_EQ(back.GetPixelsSize(), source.GetPixelsSize());
    return back;
}

TEST(ImageFileRoundTrip, GifExactTransparentAndQuantizedJpegCloseAndOpaque) {
    ScratchImage source = FewColours();
    EXPECT_EQ(Bytes(GifRoundTrip(source)), Bytes(source));

    // 255 opaque colours plus transparency fill the palette; row 1 is transparent.
    source = MakeImage(255, 3, [](size_t x, size_t y) {
        return Bgra{uint8_t(x), uint8_t(255 - x), 7, uint8_t(y == 1 ? (x % 2 ? 127 : 0) : 200)};
    });
    ScratchImage back = GifRoundTrip(source);
    for (size_t i = 0; i < 255 * 3; ++i) {
        const bool clear = i / 255 == 1;
        ASSERT_EQ(back.GetPixels()[i * 4 + 3], clear ? 0 : 255) << i;
        ASSERT_TRUE(clear || std::memcmp(back.GetPixels() + i * 4, source.GetPixels() + i * 4, 3) == 0) << i;
    }

    // JPEG: close, and opaque.
    TempFolder dir;
    source = Smooth();
    for (size_t i = 3; i < source.GetPixelsSize(); i += 8) source.GetPixels()[i] = 0; // must not disturb colour
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::JPEG, dir.path() / "p.jpeg"), kOk);
    ASSERT_EQ(LoadFromImageFile(dir.path() / "p.jpeg", nullptr, back), kOk);
    ASSERT_EQ(back.GetPixelsSize(), source.GetPixelsSize());
    EXPECT_GT(Psnr(source, back, true), 32.0);
    for (size_t i = 3; i < back.GetPixelsSize(); i += 4) ASSERT_EQ(back.GetPixels()[i], 255);
}

// The program writes image files from memory, and only of 32-bit BGRA: the
// writers' refusals of other sources are not its concern.
TEST(ImageFileErrors, MissingEmptyAndOversizedFiles) {
    TempFolder dir;
    ScratchImage out;
    EXPECT_EQ(LoadFromImageFile(dir.path() / "none.png", nullptr, out), kFileNotFound);
    WriteFile(dir.path() / "empty.png", {});
    EXPECT_EQ(LoadFromImageFile(dir.path() / "empty.png", nullptr, out), kInvalidData);
    EXPECT_TRUE(Failed(LoadFromTGAFile(dir.path() / "empty.png", nullptr, out)));
    EXPECT_EQ(out.GetImageCount(), 0u);

    // 20000 x 2 claims in BMP and TGA headers, with no pixels behind them.
    std::vector<uint8_t> bmp, tga;
    ASSERT_EQ(SaveToImageMemory(*Opaque(2, 2).GetImages(), ImageFileFormat::BMP, bmp), kOk);
    ASSERT_EQ(SaveToImageMemory(*Opaque(2, 2).GetImages(), ImageFileFormat::TGA, tga), kOk);
    bmp[18] = tga[12] = 0x20;
    bmp[19] = tga[13] = 0x4E;
    EXPECT_TRUE(Failed(LoadFromImageMemory(bmp.data(), bmp.size(), nullptr, out)));
    EXPECT_EQ(LoadFromTGAMemory(tga.data(), tga.size(), nullptr, out), kInvalidArg);
}

// Random damage is the image file fuzz target's, whose checks hold what a decoded file must be.
TEST(ImageFileErrors, TruncatedFilesFailCleanly) {
    ScratchImage source = Colourful(40, 30);
    for (ImageFileFormat f : kAll) {
        std::vector<uint8_t> whole;
        ASSERT_EQ(SaveToImageMemory(*source.GetImages(), f, whole), kOk);
        for (size_t keep : {size_t(0), size_t(10), size_t(40), whole.size() / 2, whole.size() - 30}) {
            SCOPED_TRACE(std::string(Ext(f)) + " " + std::to_string(keep));
            ScratchImage out;
            const HResult hr = LoadMemory(f, std::vector<uint8_t>(whole.begin(), whole.begin() + keep), out);
            // JPEG and GIF decoders may show what arrived; sizes stay right.
            if (keep <= 40 || (f != ImageFileFormat::JPEG && f != ImageFileFormat::GIF)) {
                EXPECT_TRUE(Failed(hr));
            } else if (Succeeded(hr)) {
                EXPECT_EQ(out.GetMetadata().width, 40u);
            }
        }
    }
}
