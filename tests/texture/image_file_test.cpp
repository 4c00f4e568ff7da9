#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <set>

#include "TempFolder.h"
#include "texture/ImageFile.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

using Bgra = std::array<uint8_t, 4>;

// A one-level B8G8R8A8 image whose pixel (x, y) is fn(x, y).
ScratchImage MakeImage(size_t w, size_t h, const std::function<Bgra(size_t, size_t)>& fn,
                       DxgiFormat format = DxgiFormat::B8G8R8A8_UNORM) {
    ScratchImage image;
    EXPECT_EQ(image.Initialize2D(format, w, h), kOk);
    uint8_t* p = image.GetPixels();
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) std::memcpy(p + (y * w + x) * 4, fn(x, y).data(), 4);
    return image;
}

// Many colours and every kind of alpha; odd size to exercise row padding.
ScratchImage Colourful(size_t w = 37, size_t h = 23) {
    return MakeImage(w, h, [](size_t x, size_t y) {
        return Bgra{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y), uint8_t((x + y * 5) * 3)};
    });
}

ScratchImage Opaque(size_t w = 37, size_t h = 23) {
    return MakeImage(w, h, [](size_t x, size_t y) {
        return Bgra{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y), 255};
    });
}

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
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < a.GetPixelsSize(); ++i) {
        if (colourOnly && i % 4 == 3) continue;
        double d = double(a.GetPixels()[i]) - double(b.GetPixels()[i]);
        sum += d * d;
        ++n;
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

const char* Ext(ImageFileFormat f) {
    switch (f) {
    case ImageFileFormat::BMP: return ".bmp";
    case ImageFileFormat::PNG: return ".png";
    case ImageFileFormat::JPEG: return ".jpg";
    case ImageFileFormat::GIF: return ".gif";
    case ImageFileFormat::TIFF: return ".tif";
    case ImageFileFormat::TGA: return ".tga";
    default: return ".dds";
    }
}

HResult Load(ImageFileFormat f, const fs::path& path, ScratchImage& out, TexMetadata* meta = nullptr) {
    return f == ImageFileFormat::TGA ? LoadFromTGAFile(path, meta, out)
                                     : LoadFromImageFile(path, meta, out);
}

HResult LoadMemory(ImageFileFormat f, const std::vector<uint8_t>& bytes, ScratchImage& out) {
    return f == ImageFileFormat::TGA ? LoadFromTGAMemory(bytes.data(), bytes.size(), nullptr, out)
                                     : LoadFromImageMemory(bytes.data(), bytes.size(), nullptr, out);
}

const ImageFileFormat kAll[] = {ImageFileFormat::BMP,  ImageFileFormat::PNG,
                                ImageFileFormat::JPEG, ImageFileFormat::GIF,
                                ImageFileFormat::TIFF, ImageFileFormat::TGA};

} // namespace

// ---- type names and signatures ----

TEST(ImageFileType, ExtensionsIgnoreCase) {
    EXPECT_EQ(ImageFileFormatFromExtension("a/b.DDS"), ImageFileFormat::DDS);
    EXPECT_EQ(ImageFileFormatFromExtension("x.Bmp"), ImageFileFormat::BMP);
    EXPECT_EQ(ImageFileFormatFromExtension("x.png"), ImageFileFormat::PNG);
    EXPECT_EQ(ImageFileFormatFromExtension("x.JPG"), ImageFileFormat::JPEG);
    EXPECT_EQ(ImageFileFormatFromExtension("x.jpeg"), ImageFileFormat::JPEG);
    EXPECT_EQ(ImageFileFormatFromExtension("x.gif"), ImageFileFormat::GIF);
    EXPECT_EQ(ImageFileFormatFromExtension("x.TIF"), ImageFileFormat::TIFF);
    EXPECT_EQ(ImageFileFormatFromExtension("x.tiff"), ImageFileFormat::TIFF);
    EXPECT_EQ(ImageFileFormatFromExtension("x.tga"), ImageFileFormat::TGA);
    EXPECT_FALSE(ImageFileFormatFromExtension("x.txt"));
    EXPECT_FALSE(ImageFileFormatFromExtension("png"));
    EXPECT_FALSE(ImageFileFormatFromExtension("x.png.bak"));
}

TEST(ImageFileType, SignaturesDecideNotNames) {
    auto detect = [](const std::string& s) {
        return DetectImageFileFormat(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    EXPECT_EQ(detect("BM...."), ImageFileFormat::BMP);
    EXPECT_EQ(detect("\x89PNG\r\n\x1a\n"), ImageFileFormat::PNG);
    EXPECT_EQ(detect("\xFF\xD8\xFF\xE0"), ImageFileFormat::JPEG);
    EXPECT_EQ(detect("GIF89a"), ImageFileFormat::GIF);
    EXPECT_EQ(detect(std::string("II*\0", 4)), ImageFileFormat::TIFF);
    EXPECT_EQ(detect(std::string("MM\0*", 4)), ImageFileFormat::TIFF);
    EXPECT_EQ(detect("DDS "), ImageFileFormat::DDS);
    EXPECT_FALSE(detect("\x89PN"));
    EXPECT_FALSE(detect(""));
    EXPECT_FALSE(detect("GIF90a"));
}

// ---- round trips through files ----

class LosslessRoundTrip : public ::testing::TestWithParam<ImageFileFormat> {};

TEST_P(LosslessRoundTrip, ColourAndAlphaSurvive) {
    TempFolder dir;
    const ImageFileFormat f = GetParam();
    ScratchImage source = Colourful();
    fs::path path = dir.path() / (std::string("t") + Ext(f));
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), f, path), kOk);
    ScratchImage back;
    TexMetadata meta;
    ASSERT_EQ(Load(f, path, back, &meta), kOk);
    EXPECT_EQ(meta.width, 37u);
    EXPECT_EQ(meta.height, 23u);
    EXPECT_EQ(meta.mipLevels, 1u);
    EXPECT_EQ(meta.format, DxgiFormat::B8G8R8A8_UNORM);
    EXPECT_EQ(Bytes(back), Bytes(source));
}

TEST_P(LosslessRoundTrip, OpaqueImagesStayOpaque) {
    TempFolder dir;
    ScratchImage source = Opaque(1, 1);
    fs::path path = dir.path() / (std::string("one") + Ext(GetParam()));
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), GetParam(), path), kOk);
    ScratchImage back;
    ASSERT_EQ(Load(GetParam(), path, back), kOk);
    EXPECT_EQ(Bytes(back), Bytes(source));
}

INSTANTIATE_TEST_SUITE_P(Formats, LosslessRoundTrip,
                         ::testing::Values(ImageFileFormat::PNG, ImageFileFormat::BMP,
                                           ImageFileFormat::TIFF, ImageFileFormat::TGA),
                         [](const auto& info) { return std::string(Ext(info.param) + 1); });

TEST(ImageFileRoundTrip, BmpIs24BitWhenOpaqueAnd32BitV5WithAlpha) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(SaveToImageMemory(*Opaque().GetImages(), ImageFileFormat::BMP, bytes), kOk);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[28], 24);                     // bits per pixel
    EXPECT_EQ(bytes.size(), 54u + 23 * 112);      // rows of 37 * 3 padded to 112
    ASSERT_EQ(SaveToImageMemory(*Colourful().GetImages(), ImageFileFormat::BMP, bytes), kOk);
    ASSERT_GE(bytes.size(), 138u);
    EXPECT_EQ(bytes[14], 124);                    // BITMAPV5HEADER
    EXPECT_EQ(bytes[28], 32);
    EXPECT_EQ(bytes.size(), 138u + 37 * 23 * 4);
    const uint8_t alphaMask[4] = {0, 0, 0, 0xFF};
    EXPECT_EQ(std::memcmp(&bytes[14 + 52], alphaMask, 4), 0);
}

TEST(ImageFileRoundTrip, GifWithFewColoursIsExact) {
    TempFolder dir;
    ScratchImage source = FewColours();
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::GIF, dir.path() / "a.gif"), kOk);
    ScratchImage back;
    ASSERT_EQ(LoadFromImageFile(dir.path() / "a.gif", nullptr, back), kOk);
    EXPECT_EQ(Bytes(back), Bytes(source));
}

TEST(ImageFileRoundTrip, GifTransparencyBecomesAlphaZero) {
    TempFolder dir;
    // Exactly 255 opaque colours plus transparency: the palette is full.
    ScratchImage source = MakeImage(255, 3, [](size_t x, size_t y) {
        return Bgra{uint8_t(x), uint8_t(255 - x), 7, uint8_t(y == 1 ? (x % 2 ? 127 : 0) : 200)};
    });
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::GIF, dir.path() / "t.gif"), kOk);
    ScratchImage back;
    ASSERT_EQ(LoadFromImageFile(dir.path() / "t.gif", nullptr, back), kOk);
    const uint8_t* p = back.GetPixels();
    const uint8_t* s = source.GetPixels();
    for (size_t i = 0; i < 255 * 3; ++i) {
        SCOPED_TRACE(i);
        if (i / 255 == 1) {
            EXPECT_EQ(p[i * 4 + 3], 0);
        } else {
            EXPECT_EQ(p[i * 4 + 3], 255);
            EXPECT_EQ(std::memcmp(p + i * 4, s + i * 4, 3), 0);
        }
    }
}

TEST(ImageFileRoundTrip, GifWithManyColoursIsQuantizedClosely) {
    TempFolder dir;
    ScratchImage source = Smooth(200, 150);  // thousands of colours
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::GIF, dir.path() / "q.gif"), kOk);
    ScratchImage back;
    ASSERT_EQ(LoadFromImageFile(dir.path() / "q.gif", nullptr, back), kOk);
    ASSERT_EQ(back.GetPixelsSize(), source.GetPixelsSize());
    // Ordered dithering keeps the average colour of every channel.
    EXPECT_GT(Psnr(source, back, true), 20.0);
    for (size_t c = 0; c < 3; ++c) {
        double bias = 0;
        for (size_t i = c; i < back.GetPixelsSize(); i += 4)
            bias += double(back.GetPixels()[i]) - double(source.GetPixels()[i]);
        EXPECT_LT(std::abs(bias / (200 * 150)), 3.0) << c;
    }
    std::set<uint32_t> colours;
    for (size_t i = 0; i < back.GetPixelsSize(); i += 4) {
        uint32_t c;
        std::memcpy(&c, back.GetPixels() + i, 4);
        colours.insert(c);
    }
    EXPECT_LE(colours.size(), 256u);
}

TEST(ImageFileRoundTrip, JpegIsCloseAndOpaque) {
    TempFolder dir;
    ScratchImage source = Smooth();
    // Alpha in the source must not disturb the colours.
    uint8_t* p = source.GetPixels();
    for (size_t i = 3; i < source.GetPixelsSize(); i += 8) p[i] = 0;
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::JPEG, dir.path() / "p.jpeg"), kOk);
    ScratchImage back;
    TexMetadata meta;
    ASSERT_EQ(LoadFromImageFile(dir.path() / "p.jpeg", &meta, back), kOk);
    EXPECT_EQ(meta.width, 64u);
    EXPECT_EQ(meta.height, 48u);
    EXPECT_GT(Psnr(source, back, true), 32.0);
    for (size_t i = 3; i < back.GetPixelsSize(); i += 4) ASSERT_EQ(back.GetPixels()[i], 255);
}

// ---- source layouts ----

TEST(ImageFileSource, RgbaAndBgrxAreConverted) {
    ScratchImage bgra = Colourful();
    ScratchImage rgba = MakeImage(37, 23, [](size_t x, size_t y) {
        return Bgra{uint8_t(x * y), uint8_t(y * 11), uint8_t(x * 7), uint8_t((x + y * 5) * 3)};
    }, DxgiFormat::R8G8B8A8_UNORM_SRGB);
    std::vector<uint8_t> a, b;
    ASSERT_EQ(SaveToImageMemory(*bgra.GetImages(), ImageFileFormat::PNG, a), kOk);
    ASSERT_EQ(SaveToImageMemory(*rgba.GetImages(), ImageFileFormat::PNG, b), kOk);
    EXPECT_EQ(a, b);

    ScratchImage bgrx = MakeImage(37, 23, [](size_t x, size_t y) {
        return Bgra{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y), 0};
    }, DxgiFormat::B8G8R8X8_UNORM);
    ASSERT_EQ(SaveToImageMemory(*bgrx.GetImages(), ImageFileFormat::TGA, b), kOk);
    ScratchImage back;
    ASSERT_EQ(LoadFromTGAMemory(b.data(), b.size(), nullptr, back), kOk);
    for (size_t i = 0; i < back.GetPixelsSize(); ++i)
        ASSERT_EQ(back.GetPixels()[i], i % 4 == 3 ? 255 : bgra.GetPixels()[i]) << i;
}

TEST(ImageFileSource, PaddedRowsAreRead) {
    ScratchImage packed = Colourful(5, 4);
    std::vector<uint8_t> padded(4 * 32, 0xEE);
    for (size_t y = 0; y < 4; ++y) std::memcpy(&padded[y * 32], packed.GetPixels() + y * 20, 20);
    Image view{5, 4, DxgiFormat::B8G8R8A8_UNORM, 32, 128, padded.data()};
    std::vector<uint8_t> bytes;
    ASSERT_EQ(SaveToImageMemory(view, ImageFileFormat::TGA, bytes), kOk);
    ScratchImage back;
    ASSERT_EQ(LoadFromTGAMemory(bytes.data(), bytes.size(), nullptr, back), kOk);
    EXPECT_EQ(Bytes(back), Bytes(packed));
}

TEST(ImageFileSource, RefusesOtherLayoutsAndDds) {
    TempFolder dir;
    ScratchImage bc1;
    ASSERT_EQ(bc1.Initialize2D(DxgiFormat::BC1_UNORM, 8, 8), kOk);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(SaveToImageMemory(*bc1.GetImages(), ImageFileFormat::PNG, bytes), kNotSupported);
    ScratchImage ok = Opaque();
    EXPECT_EQ(SaveToImageFile(*ok.GetImages(), ImageFileFormat::DDS, dir.path() / "x.dds"),
              kNotSupported);
    EXPECT_FALSE(fs::exists(dir.path() / "x.dds"));
    EXPECT_TRUE(Failed(SaveToImageMemory(Image{}, ImageFileFormat::PNG, bytes)));
}

// ---- failures ----

TEST(ImageFileErrors, MissingFileIsFileNotFound) {
    TempFolder dir;
    ScratchImage out;
    EXPECT_EQ(LoadFromImageFile(dir.path() / "none.png", nullptr, out), kFileNotFound);
    EXPECT_EQ(LoadFromTGAFile(dir.path() / "none.tga", nullptr, out), kFileNotFound);
    EXPECT_EQ(HResultHex(kFileNotFound), "0x80070002");
}

TEST(ImageFileErrors, UnwritableTargetIsWriteFaultAndLeavesNothing) {
    TempFolder dir;
    ScratchImage image = Opaque();
    fs::path target = dir.path() / "no-such-folder" / "x.png";
    EXPECT_EQ(SaveToImageFile(*image.GetImages(), ImageFileFormat::PNG, target), kWriteFault);
    EXPECT_FALSE(fs::exists(target));
    // A failed encode must not clobber an existing file.
    WriteTextFile(dir.path() / "keep.png", "old");
    EXPECT_TRUE(Failed(SaveToImageFile(Image{}, ImageFileFormat::PNG, dir.path() / "keep.png")));
    EXPECT_EQ(ReadFileBytes(dir.path() / "keep.png").size(), 3u);
}

TEST(ImageFileErrors, GarbageAndUnknownContentFail) {
    TempFolder dir;
    std::mt19937 rng(7);
    std::vector<uint8_t> garbage(4096);
    for (auto& b : garbage) b = uint8_t(rng());
    garbage[0] = 'X';
    ScratchImage out;
    for (ImageFileFormat f : kAll) {
        fs::path path = dir.path() / (std::string("g") + Ext(f));
        WriteFile(path, garbage);
        EXPECT_TRUE(Failed(LoadFromImageFile(path, nullptr, out))) << Ext(f);
    }
    WriteFile(dir.path() / "empty.png", {});
    EXPECT_EQ(LoadFromImageFile(dir.path() / "empty.png", nullptr, out), kInvalidData);
    EXPECT_TRUE(Failed(LoadFromTGAFile(dir.path() / "empty.png", nullptr, out)));
    // Valid signatures followed by garbage.
    for (const char* magic : {"BM", "\x89PNG\r\n\x1a\n", "\xFF\xD8\xFF", "GIF89a", "II*"}) {
        std::vector<uint8_t> bytes = garbage;
        std::memcpy(bytes.data(), magic, std::strlen(magic) + 1);
        EXPECT_TRUE(Failed(LoadFromImageMemory(bytes.data(), bytes.size(), nullptr, out))) << magic;
    }
    EXPECT_EQ(out.GetImageCount(), 0u);
}

TEST(ImageFileErrors, TruncatedFilesFailCleanly) {
    ScratchImage source = Colourful(40, 30);
    for (ImageFileFormat f : kAll) {
        std::vector<uint8_t> whole;
        ASSERT_EQ(SaveToImageMemory(*source.GetImages(), f, whole), kOk);
        for (size_t keep : {size_t(0), size_t(10), size_t(40), whole.size() / 2, whole.size() - 30}) {
            SCOPED_TRACE(std::string(Ext(f)) + " " + std::to_string(keep));
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + keep);
            ScratchImage out;
            HResult hr = LoadMemory(f, cut, out);
            // JPEG and GIF decoders may show what arrived; sizes stay right.
            if (f == ImageFileFormat::JPEG || f == ImageFileFormat::GIF) {
                if (Succeeded(hr)) {
                    EXPECT_EQ(out.GetMetadata().width, 40u);
                }
            } else {
                EXPECT_TRUE(Failed(hr));
            }
            if (keep <= 40) {
                EXPECT_TRUE(Failed(hr));
            }
        }
    }
}

TEST(ImageFileErrors, CorruptedFilesNeverCrash) {
    ScratchImage source = Colourful(24, 20);
    std::mt19937 rng(11);
    for (ImageFileFormat f : kAll) {
        std::vector<uint8_t> whole;
        ASSERT_EQ(SaveToImageMemory(*source.GetImages(), f, whole), kOk);
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> bytes = whole;
            for (int k = 0; k < 4; ++k) bytes[8 + rng() % (bytes.size() - 8)] = uint8_t(rng());
            ScratchImage out;
            HResult hr = LoadMemory(f, bytes, out);
            if (Succeeded(hr)) {
                EXPECT_LE(out.GetMetadata().width, kMaxTextureDimension);
                EXPECT_EQ(out.GetMetadata().format, DxgiFormat::B8G8R8A8_UNORM);
            }
        }
    }
}

TEST(ImageFileErrors, OversizedDimensionsAreInvalidArg) {
    // 20000 x 2 claims in BMP and TGA headers, with no pixels behind them.
    std::vector<uint8_t> bmp;
    ASSERT_EQ(SaveToImageMemory(*Opaque(2, 2).GetImages(), ImageFileFormat::BMP, bmp), kOk);
    bmp[18] = 0x20;
    bmp[19] = 0x4E;
    ScratchImage out;
    EXPECT_TRUE(Failed(LoadFromImageMemory(bmp.data(), bmp.size(), nullptr, out)));
    std::vector<uint8_t> tga;
    ASSERT_EQ(SaveToImageMemory(*Opaque(2, 2).GetImages(), ImageFileFormat::TGA, tga), kOk);
    tga[12] = 0x20;
    tga[13] = 0x4E;
    EXPECT_EQ(LoadFromTGAMemory(tga.data(), tga.size(), nullptr, out), kInvalidArg);
}

// ---- content over names ----

TEST(ImageFileNames, ContentDecidesTheDecoder) {
    TempFolder dir;
    ScratchImage source = Colourful();
    std::vector<uint8_t> png;
    ASSERT_EQ(SaveToImageMemory(*source.GetImages(), ImageFileFormat::PNG, png), kOk);
    WriteFile(dir.path() / "lies.bmp", png);
    WriteFile(dir.path() / "noext", png);
    ScratchImage back;
    ASSERT_EQ(LoadFromImageFile(dir.path() / "lies.bmp", nullptr, back), kOk);
    EXPECT_EQ(Bytes(back), Bytes(source));
    ASSERT_EQ(LoadFromImageFile(dir.path() / "noext", nullptr, back), kOk);
    // TGA has no signature: only the TGA loader reads it.
    std::vector<uint8_t> tga;
    ASSERT_EQ(SaveToImageMemory(*source.GetImages(), ImageFileFormat::TGA, tga), kOk);
    WriteFile(dir.path() / "t.png", tga);
    EXPECT_EQ(LoadFromImageFile(dir.path() / "t.png", nullptr, back), kInvalidData);
    EXPECT_EQ(LoadFromTGAFile(dir.path() / "t.png", nullptr, back), kOk);
}

TEST(ImageFileNames, NonAsciiPathsWork) {
    TempFolder dir;
    ScratchImage source = Colourful();
    fs::path path = dir.path() / fs::path(u8"t\u00ebxture_\u0436.png");
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::PNG, path), kOk);
    EXPECT_TRUE(fs::exists(path));
    ScratchImage back;
    ASSERT_EQ(LoadFromImageFile(path, nullptr, back), kOk);
    EXPECT_EQ(Bytes(back), Bytes(source));
}

// ---- TGA variants other writers produce ----

TEST(ImageFileTga, ReadsRleBottomUpAndColourMapped) {
    // 3 x 2, 24-bit RLE, bottom-up: a run of 3 red, then 3 literal pixels.
    std::vector<uint8_t> rle = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0,
                                0x82, 0, 0, 255,
                                0x02, 255, 0, 0, 0, 255, 0, 1, 2, 3};
    ScratchImage out;
    ASSERT_EQ(LoadFromTGAMemory(rle.data(), rle.size(), nullptr, out), kOk);
    const std::vector<uint8_t> expected = {255, 0, 0, 255, 0, 255, 0, 255, 1, 2, 3, 255,
                                           0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    EXPECT_EQ(Bytes(out), expected);

    // 2 x 1 colour-mapped, 32-bit map of 2 entries starting at 0, top-down.
    std::vector<uint8_t> mapped = {0, 1, 1, 0, 0, 2, 0, 32, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0x28,
                                   1, 2, 3, 4, 5, 6, 7, 8, 1, 0};
    ASSERT_EQ(LoadFromTGAMemory(mapped.data(), mapped.size(), nullptr, out), kOk);
    EXPECT_EQ(Bytes(out), (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
    mapped.back() = 2;  // index past the map
    EXPECT_TRUE(Failed(LoadFromTGAMemory(mapped.data(), mapped.size(), nullptr, out)));

    // A run longer than the image is refused, not written past the end.
    rle[18] = 0xFF;
    EXPECT_TRUE(Failed(LoadFromTGAMemory(rle.data(), rle.size(), nullptr, out)));
}
