// Writes small valid inputs for every fuzz target, made with the project's own
// writers and the tests' archive builders, into OUT/NAME/ (one folder per
// target, NAME as in fuzz_NAME.cpp).
// Usage: make_seeds OUT. Built and run by scripts/fuzz-seeds.sh.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "container/SampleArchive.h"
#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/TextureFile.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "tests/Pictures.h"
#include "tests/container/archive_builder.h"
#include "tests/format/pack_builder.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"

using namespace zelko;

namespace {

std::filesystem::path gOut;

void Put(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto folder = gOut / target;
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw Error("cannot write " + (folder / name).string());
}

// A gradient with a translucent corner, or fully opaque.
ScratchImage Picture(uint32_t w, uint32_t h, bool alpha) {
    return pictures::Drawn(w, h, [=](size_t x, size_t y) {
        return pictures::Bgra{uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t((x + y) * 16),
                              uint8_t(alpha && x < w / 2 && y < h / 2 ? 40 + 20 * x : 255)};
    });
}

// The picture in a pack format with its mip chain.
ScratchImage Encoded(uint32_t format, uint32_t w, uint32_t h, uint32_t mips) {
    ScratchImage image = Picture(w, h, true);
    std::string error;
    if (!ConvertImage(image, format, w, h, mips, Resizing::KeepSize, error)) throw Error(error);
    return image;
}

// A pack of `game`'s layout; `small` keeps two tiny textures, for inputs
// that hold several packs.
std::vector<uint8_t> Pack(int game, bool compressed, bool small = false) {
    TextureFile pack;
    pack.packName = "SEED";
    pack.packFileName = "SEED.BIN";
    pack.hasCompressedTable = compressed;
    pack.AddTexture("SEED_DXT1", Encoded(kFormatDXT1, 8, 8, small ? 1 : 2));
    pack.AddTexture("SEED_ARGB", Encoded(kFormatARGB, 4, 4, 1));
    if (!small) {
        pack.AddTexture("SEED_DXT5", Encoded(kFormatDXT5, 4, 4, 1));
        if (game == GameWorld) pack.AddTexture("SEED_ATI2", Encoded(kFormatATI2, 4, 4, 1));
    }
    ByteWriter w;
    pack.Save(game, w);
    return w.ToVector();
}

// Packs of three layouts between other chunks; `positions` gets the packs'.
std::vector<uint8_t> Archive(std::vector<uint32_t>& positions) {
    testing_archive::ArchiveBuilder b;
    b.Chunk(0x34026, 8, 0x21);
    for (int game : {GameUnderground2, GameCarbon, GameWorld}) {
        b.Pack(Pack(game, false, true));
        b.Chunk(0, 8, 0);
    }
    b.Chunk(0x80034A10, 4, 0x13);
    positions = b.packOffsets;
    return b.Bytes();
}

std::vector<uint8_t> Thumbnail(const std::string& name, uint32_t format, uint32_t size, size_t blockSize) {
    const ScratchImage image = Encoded(format, size, size, 1);
    return testing_archive::ThumbnailFile(name, format, size, size,
                                          {image.GetPixels(), image.GetPixels() + image.GetPixelsSize()}, blockSize);
}

void Textures() {
    // One game of each layout.
    for (int game : {GameUnderground, GameUnderground2, GameCarbon, GameUndercover, GameWorld}) {
        for (bool compressed : {false, true}) {
            std::vector<uint8_t> pack;
            try {
                pack = Pack(game, compressed);
            } catch (const Error&) {
                continue; // a layout without compressed packs
            }
            pack.insert(pack.begin(), uint8_t(7)); // every loader switch on
            Put("texture_file", std::string(GameName(game)) + (compressed ? "-compressed" : "") + ".bin", pack);
        }
    }
}

void Archives() {
    std::vector<uint32_t> positions;
    const auto archive = Archive(positions);
    Put("archive", "three-packs.bin", archive);
    Put("archive", "sample.bin", MakeSampleArchive());

    // The load cache: header, positions, then the archive they point into.
    std::vector<uint8_t> cache(0x10C, 0);
    const char magic[] = "ZRC-Zelko by korvane cache file";
    std::copy(magic, magic + sizeof magic, cache.begin());
    StoreU32(&cache[0x100], 1);
    StoreU32(&cache[0x108], uint32_t(positions.size()));
    for (uint32_t p : positions) {
        cache.resize(cache.size() + 4);
        StoreU32(&cache[cache.size() - 4], p);
    }
    cache.insert(cache.end(), archive.begin(), archive.end());
    Put("load_cache", "three-packs.bin", cache);

    Put("lzc", "three-packs.lzc", packtest::Jdlz(archive));

    testing_archive::ArchiveBuilder inner;
    inner.Chunk(0x3CE01, 20, 0x11);
    inner.Chunk(0x3CE02, 12, 0x22);
    inner.Pack(Pack(GameWorld, false));
    Put("vinyl", "world-pack.vyl", testing_archive::VinylFile(inner.Bytes(), 1024));

    Put("stp", "argb.stp", Thumbnail("ICON_ARGB", kFormatARGB, 8, 4096));
    Put("stp", "dxt1-blocks.stp", Thumbnail("ICON_DXT1", kFormatDXT1, 8, 100));

    Put("decompress", "jdlz.bin", packtest::Jdlz(Pack(GameUnderground2, false)));
}

void Images() {
    const ScratchImage translucent = Picture(8, 6, true), opaque = Picture(5, 4, false);
    const struct {
        ImageFileFormat format;
        const char* extension;
    } kinds[] = {{ImageFileFormat::BMP, "bmp"}, {ImageFileFormat::PNG, "png"},  {ImageFileFormat::JPEG, "jpg"},
                 {ImageFileFormat::GIF, "gif"}, {ImageFileFormat::TIFF, "tif"}, {ImageFileFormat::TGA, "tga"}};
    for (const auto& kind : kinds) {
        for (const ScratchImage* image : {&translucent, &opaque}) {
            std::vector<uint8_t> bytes;
            if (Failed(SaveToImageMemory(*image->GetImage(0, 0, 0), kind.format, bytes))) throw Error("image writer");
            Put("image_file", std::string(image == &opaque ? "opaque." : "alpha.") + kind.extension, bytes);
        }
    }
    for (uint32_t format : {kFormatARGB, kFormatDXT1, kFormatDXT5, kFormatATI2}) {
        const ScratchImage image = Encoded(format, 8, 8, format == kFormatARGB ? 1 : 4);
        std::vector<uint8_t> bytes;
        if (Failed(SaveToDDSMemory(image.GetImages(), image.GetImageCount(), image.GetMetadata(), bytes)))
            throw Error("DDS writer");
        const std::string name = FormatName(format);
        Put("dds", name + ".dds", bytes);
        if (format == kFormatDXT1) Put("image_file", "dxt1.dds", bytes);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUT\n");
        return 2;
    }
    gOut = argv[1];
    try {
        Textures();
        Archives();
        Images();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
