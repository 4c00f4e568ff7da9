// Image files: BMP, PNG, JPEG, GIF, TIFF and TGA through the image-file
// codecs; then DDS reading and writing: headers chosen, round trips, legacy
// layouts and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "Pictures.h"
#include "TempFolder.h"
#include "format/ByteStream.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

using pictures::Bgra;
using pictures::Drawn;

// Many colours and every kind of alpha (or opaque); odd size to exercise row padding.
ScratchImage Colourful(size_t w = 37, size_t h = 23, bool opaque = false) {
    return Drawn(w, h, [opaque](size_t x, size_t y) {
        return Bgra{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y), uint8_t(opaque ? 255 : (x + y * 5) * 3)};
    });
}

ScratchImage Opaque(size_t w = 37, size_t h = 23) { return Colourful(w, h, true); }

std::vector<uint8_t> PixelBytes(const ScratchImage& image) {
    return {image.GetPixels(), image.GetPixels() + image.GetPixelsSize()};
}

const ImageFileFormat kAll[] = {ImageFileFormat::BMP, ImageFileFormat::PNG,  ImageFileFormat::JPEG,
                                ImageFileFormat::GIF, ImageFileFormat::TIFF, ImageFileFormat::TGA};

const char* Ext(ImageFileFormat f) {
    const char* names[] = {".bmp", ".png", ".jpg", ".gif", ".tif", ".tga"};
    for (size_t i = 0; i < 6; ++i)
        if (kAll[i] == f) return names[i];
    return ".dds";
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
        EXPECT_EQ(PixelBytes(back), PixelBytes(source));
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
        ASSERT_EQ(f == ImageFileFormat::TGA ? LoadFromTGAFile(path, &meta, back) : LoadFromImageFile(path, &meta, back),
                  kOk);
        EXPECT_EQ(std::tuple(meta.width, meta.height, meta.format),
                  std::tuple(source.GetMetadata().width, source.GetMetadata().height, DxgiFormat::B8G8R8A8_UNORM));
        EXPECT_EQ(PixelBytes(back), PixelBytes(source));
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
    // At most 64 distinct colours: a GIF holds them exactly.
    ScratchImage source = Drawn(31, 17, [](size_t x, size_t y) {
        return Bgra{uint8_t((x % 4) * 80), uint8_t((y % 4) * 70), uint8_t(((x + y) % 4) * 60), 255};
    });
    EXPECT_EQ(PixelBytes(GifRoundTrip(source)), PixelBytes(source));

    // 255 opaque colours plus transparency fill the palette; row 1 is transparent.
    source = Drawn(255, 3, [](size_t x, size_t y) {
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
    source = Drawn(64, 48, [](size_t x, size_t y) { // smooth, as photographs are
        return Bgra{uint8_t(x * 3 + 20), uint8_t(y * 4 + 10), uint8_t(128 + (x + y)), 255};
    });
    for (size_t i = 3; i < source.GetPixelsSize(); i += 8) source.GetPixels()[i] = 0; // must not disturb colour
    ASSERT_EQ(SaveToImageFile(*source.GetImages(), ImageFileFormat::JPEG, dir.path() / "p.jpeg"), kOk);
    ASSERT_EQ(LoadFromImageFile(dir.path() / "p.jpeg", nullptr, back), kOk);
    ASSERT_EQ(back.GetPixelsSize(), source.GetPixelsSize());
    EXPECT_GT(pictures::Psnr(source.GetPixels(), back.GetPixels(), source.GetPixelsSize(), true), 32.0);
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
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + keep);
            const HResult hr = f == ImageFileFormat::TGA ? LoadFromTGAMemory(cut.data(), cut.size(), nullptr, out)
                                                         : LoadFromImageMemory(cut.data(), cut.size(), nullptr, out);
            // JPEG and GIF decoders may show what arrived; sizes stay right.
            if (keep <= 40 || (f != ImageFileFormat::JPEG && f != ImageFileFormat::GIF)) {
                EXPECT_TRUE(Failed(hr));
            } else if (Succeeded(hr)) {
                EXPECT_EQ(out.GetMetadata().width, 40u);
            }
        }
    }
}

// --- DDS ---

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t FourCC(const char (&s)[5]) { return LoadU32(reinterpret_cast<const uint8_t*>(s)); }

// File offsets of header fields ("DDS " takes the first four bytes).
constexpr size_t kFlags = 8, kHeight = 12, kWidth = 16, kPitch = 20, kMips = 28, kPfFlags = 80, kFourCC = 84,
                 kBits = 88, kRMask = 92, kGMask = 96, kBMask = 100, kAMask = 104, kCaps = 108, kCaps2 = 112,
                 kDx10Format = 128, kDx10Dimension = 132, kDx10Misc = 136, kDx10Array = 140;

// A legacy header in the style of the games' own DDS views.
Bytes LegacyHeader(uint32_t width, uint32_t height, uint32_t mips, uint32_t pfFlags, uint32_t fourCC, uint32_t bits = 0,
                   uint32_t r = 0, uint32_t g = 0, uint32_t b = 0, uint32_t a = 0) {
    Bytes h(128, 0);
    const std::pair<size_t, uint32_t> fields[] = {
        {0, FourCC("DDS ")}, {4, 124},    {kFlags, 0x81007},   {kHeight, height}, {kWidth, width},
        {kMips, mips},       {76, 32},    {kPfFlags, pfFlags}, {kFourCC, fourCC}, {kBits, bits},
        {kRMask, r},         {kGMask, g}, {kBMask, b},         {kAMask, a},       {kCaps, 0x401008}};
    for (auto [at, value] : fields) StoreU32(&h[at], value);
    return h;
}

Bytes WithData(Bytes header, size_t size, uint8_t seed = 1) {
    for (size_t i = 0; i < size; ++i) header.push_back(uint8_t(i * 7 + seed));
    return header;
}

// A texture whose bytes, every level's, are a fixed pattern.
ScratchImage Pattern(DxgiFormat format, size_t width, size_t height) {
    return pictures::Filled(format, width, height, 0, pictures::RandomBytes(width * height * 16, 7));
}

} // namespace

// The field values are the writer's constants; the reader is held to
// hand-built legacy headers below. What matters here is that a legacy header
// is chosen where one exists and that every format reads back.
TEST(Dds, WritesLegacyHeadersWhereTheyExistAndRoundTrips) {
    const std::pair<DxgiFormat, bool> cases[] = {
        {DxgiFormat::BC1_UNORM, false},         {DxgiFormat::BC3_UNORM, false},
        {DxgiFormat::BC5_SNORM, false},         {DxgiFormat::R16G16B16A16_FLOAT, false},
        {DxgiFormat::R10G10B10A2_UNORM, false}, {DxgiFormat::B5G6R5_UNORM, false},
        {DxgiFormat::R8_UNORM, false},          {DxgiFormat::A8_UNORM, false},
        {DxgiFormat::R8G8_UNORM, true},         {DxgiFormat::BC1_UNORM_SRGB, true},
        {DxgiFormat::BC7_UNORM, true},
    };
    for (auto [format, dx10] : cases) {
        SCOPED_TRACE(FormatName(format));
        ScratchImage image = Pattern(format, 12, 8);
        Bytes file;
        ASSERT_EQ(SaveToDDSMemory(image.GetImages(), image.GetImageCount(), image.GetMetadata(), file), kOk);
        ASSERT_EQ(file.size(), 128 + (dx10 ? 20 : 0) + image.GetPixelsSize());
        EXPECT_EQ(LoadU32(&file[kFourCC]) == FourCC("DX10"), dx10);
        TexMetadata metadata;
        ScratchImage loaded;
        ASSERT_EQ(LoadFromDDSMemory(file.data(), file.size(), &metadata, loaded), kOk);
        EXPECT_EQ(metadata.format, format);
        EXPECT_EQ(metadata.width * metadata.height * metadata.mipLevels, 12u * 8 * 4);
        ASSERT_EQ(loaded.GetPixelsSize(), image.GetPixelsSize());
        EXPECT_EQ(std::memcmp(loaded.GetPixels(), image.GetPixels(), image.GetPixelsSize()), 0);
    }
}

TEST(Dds, ReadsLegacyLayoutsAndTheMipCountWhateverTheFlags) {
    // 24-bit BGR widens to B8G8R8X8 with an opaque fourth byte.
    Bytes file = LegacyHeader(2, 1, 1, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF);
    for (uint8_t v : {1, 2, 3, 4, 5, 6}) file.push_back(v);
    ScratchImage image;
    ASSERT_EQ(LoadFromDDSMemory(file.data(), file.size(), nullptr, image), kOk);
    EXPECT_EQ(image.GetMetadata().format, DxgiFormat::B8G8R8X8_UNORM);
    EXPECT_EQ(Bytes(image.GetPixels(), image.GetPixels() + 8), (Bytes{1, 2, 3, 255, 4, 5, 6, 255}));

    // Padding bytes of X layouts read as opaque.
    file = LegacyHeader(1, 1, 1, 0x40, 0, 16, 0x7C00, 0x3E0, 0x1F, 0);
    file.insert(file.end(), {0x34, 0x12});
    ASSERT_EQ(LoadFromDDSMemory(file.data(), file.size(), nullptr, image), kOk);
    EXPECT_EQ(image.GetMetadata().format, DxgiFormat::B5G5R5A1_UNORM);
    EXPECT_EQ(image.GetPixels()[1], 0x92);

    struct Mapping {
        Bytes header;
        DxgiFormat format;
    };
    const Mapping mappings[] = {
        {LegacyHeader(4, 4, 1, 0x4, FourCC("DXT2")), DxgiFormat::BC2_UNORM},
        {LegacyHeader(4, 4, 1, 0x4, FourCC("BC4U")), DxgiFormat::BC4_UNORM},
        {LegacyHeader(4, 4, 1, 0x4, 36), DxgiFormat::R16G16B16A16_UNORM},
        {LegacyHeader(4, 4, 1, 0x20001, 0, 16, 0xFF, 0, 0, 0xFF00), DxgiFormat::R8G8_UNORM}, // A8L8
        {LegacyHeader(4, 4, 1, 0x40, 0, 32, 0xFFFF, 0xFFFF0000, 0, 0), DxgiFormat::R16G16_UNORM},
        {LegacyHeader(4, 4, 1, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0), DxgiFormat::B8G8R8X8_UNORM},
        {LegacyHeader(4, 4, 1, 0x40, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0), DxgiFormat::R8G8B8A8_UNORM},
    };
    for (const Mapping& m : mappings) {
        SCOPED_TRACE(FormatName(m.format));
        size_t row, slice;
        ComputePitch(m.format, 4, 4, row, slice);
        file = WithData(m.header, slice);
        ASSERT_EQ(LoadFromDDSMemory(file.data(), file.size(), nullptr, image), kOk);
        EXPECT_EQ(image.GetMetadata().format, m.format);
        const bool x = m.header[kBits] == 32 && LoadU32(&m.header[kGMask]) == 0xFF00; // X8 layouts: opaque
        for (size_t i = 0; i < slice; ++i) ASSERT_EQ(image.GetPixels()[i], x && i % 4 == 3 ? 255 : file[128 + i]) << i;
    }

    // The mip count whatever the flags, wrong pitch fields, trailing bytes.
    file = WithData(LegacyHeader(8, 8, 4, 0x4, FourCC("DXT5")), 64 + 16 + 16 + 16 + 5);
    ASSERT_EQ(LoadFromDDSMemory(file.data(), file.size(), nullptr, image), kOk);
    EXPECT_EQ(image.GetMetadata().mipLevels, 4u);
    Bytes argb = LegacyHeader(4, 2, 2, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    StoreU32(&argb[kFlags], 0x2100F);
    StoreU32(&argb[kPitch], 4 * 2);
    argb = WithData(argb, 32 + 8);
    ASSERT_EQ(LoadFromDDSMemory(argb.data(), argb.size(), nullptr, image), kOk);
    EXPECT_EQ(image.GetMetadata().mipLevels, 2u);
    EXPECT_EQ(std::memcmp(image.GetImage(1, 0, 0)->pixels, argb.data() + 128 + 32, 8), 0);
    Bytes noCount = WithData(LegacyHeader(4, 4, 0, 0x20000, 0, 8, 0xFF), 16);
    ASSERT_EQ(LoadFromDDSMemory(noCount.data(), noCount.size(), nullptr, image), kOk);
    EXPECT_EQ(image.GetMetadata().mipLevels, 1u);
}

TEST(Dds, EveryTruncationFails) {
    std::vector<Bytes> files;
    ScratchImage bc1 = Pattern(DxgiFormat::BC1_UNORM, 8, 8);
    ScratchImage srgb = Pattern(DxgiFormat::R8G8B8A8_UNORM_SRGB, 5, 3);
    for (const ScratchImage* image : {&bc1, &srgb}) {
        Bytes file;
        ASSERT_EQ(SaveToDDSMemory(image->GetImages(), image->GetImageCount(), image->GetMetadata(), file), kOk);
        files.push_back(file);
    }
    files.push_back(LegacyHeader(3, 2, 2, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF));
    files.back().resize(128 + 18 + 3);
    for (const Bytes& file : files) {
        ScratchImage image;
        ASSERT_EQ(LoadFromDDSMemory(file.data(), file.size(), nullptr, image), kOk);
        for (size_t size = 0; size < file.size(); ++size) {
            Bytes cut(file.begin(), file.begin() + long(size)); // exact-size buffer for ASan
            const HResult hr = LoadFromDDSMemory(cut.data(), cut.size(), nullptr, image);
            ASSERT_TRUE(size >= 4 ? hr == kHandleEof : Failed(hr)) << size << " " << HResultHex(hr);
            EXPECT_EQ(image.GetPixels(), nullptr);
        }
    }
}

TEST(Dds, RefusesDamagedAndUnsupportedHeaders) {
    Bytes legacy = WithData(LegacyHeader(4, 4, 1, 0x4, FourCC("DXT1")), 8);
    Bytes dx10 = LegacyHeader(4, 4, 1, 0x4, FourCC("DX10"));
    dx10.resize(148 + 64, 0);
    StoreU32(&dx10[kDx10Format], 28);
    StoreU32(&dx10[kDx10Dimension], 3);
    StoreU32(&dx10[kDx10Array], 1);
    struct Case {
        const Bytes* file;
        size_t at;
        uint32_t value;
        HResult expected;
    };
    const Case cases[] = {
        {&legacy, 0, FourCC("DDS!"), kInvalidData},
        {&legacy, 4, 123, kInvalidData},
        {&legacy, 76, 0, kInvalidData},
        {&legacy, kWidth, 0, kInvalidData},
        {&legacy, kWidth, 16385, kNotSupported},
        {&legacy, kMips, 4, kInvalidData}, // a 4x4 texture has 3 levels
        {&legacy, kMips, 2, kHandleEof},
        {&legacy, kFourCC, FourCC("DXT9"), kNotSupported},
        {&legacy, kCaps2, 0xFE00, kNotSupported}, // cube map
        {&legacy, kPfFlags, 0x40, kNotSupported}, // RGB without masks
        {&dx10, kDx10Format, 28, kOk},
        {&dx10, kDx10Format, 23, kNotSupported},
        {&dx10, kDx10Dimension, 4, kNotSupported},
        {&dx10, kDx10Misc, 4, kNotSupported},
        {&dx10, kDx10Array, 2, kNotSupported},
    };
    ScratchImage image;
    for (const Case& c : cases) {
        Bytes file = *c.file;
        StoreU32(&file[c.at], c.value);
        EXPECT_EQ(LoadFromDDSMemory(file.data(), file.size(), nullptr, image), c.expected) << c.at << " " << c.value;
    }
    Bytes huge = LegacyHeader(16384, 16384, 15, 0x4, FourCC("DXT5"));
    EXPECT_EQ(LoadFromDDSMemory(huge.data(), huge.size(), nullptr, image), kHandleEof);
    EXPECT_EQ(LoadFromDDSMemory(nullptr, 0, nullptr, image), kInvalidArg);
}
