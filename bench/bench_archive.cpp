// The whole workflow on a generated archive of about 200 MB (four packs of
// 150 DXT5 512x512 textures with mip maps; the third pack compressed), timed
// in one run beside its yardsticks: one memcpy and `cp` of the archive, `cp -r`
// of the exported DDS folder, ImageMagick writing the same PNG files when it
// is installed. Prints one table; the ratios are what to compare across
// machines.
// Usage: bench_archive [FOLDER [--make-only]] (default: a folder under the
// system's temporary folder, removed afterwards; a FOLDER given keeps
// BENCH.BIN, and --make-only stops there)
#include <stb_image_resize.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "container/Editing.h"
#include "container/OpenFlow.h"
#include "container/Transfer.h"
#include "format/ByteStream.h"
#include "format/GameVersion.h"
#include "format/Parallel.h"
#include "format/SafeFile.h"
#include "format/TextureFile.h"
#include "imaging/Image.h"
#include "texture/Conversion.h"
#include "texture/PixelFormat.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

constexpr int kPacks = 4;
constexpr int kTexturesPerPack = 150;
constexpr int kDistinct = 24; // textures repeat after this many (the pixel work does not)
constexpr uint32_t kSide = 512;

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_archive: failed: %s\n", command.c_str());
        std::exit(1);
    }
}

uint64_t FolderBytes(const fs::path& folder) {
    uint64_t total = 0;
    for (const auto& item : fs::directory_iterator(folder)) total += item.file_size();
    return total;
}

// A smooth picture with some detail, like a game's texture: overlapping
// waves in each channel, alpha varying slowly.
ScratchImage Picture(uint32_t seed) {
    ScratchImage image;
    image.Initialize2D(DxgiFormat::R8G8B8A8_UNORM, kSide, kSide, 1, 1);
    const Image& plane = *image.GetImage(0, 0, 0);
    const double a = 0.011 + 0.003 * (seed % 5), b = 0.023 + 0.002 * (seed % 7);
    for (uint32_t y = 0; y < kSide; ++y) {
        uint8_t* row = plane.pixels + y * plane.rowPitch;
        for (uint32_t x = 0; x < kSide; ++x) {
            const double v = std::sin(x * a + seed) + std::cos(y * b) + std::sin((x + y) * 0.05 + seed * 0.3);
            const uint32_t noise = (x * 7919u + y * 104729u + seed * 31u) * 2654435761u >> 27;
            row[x * 4 + 0] = uint8_t(std::clamp(128 + 40 * v + noise, 0.0, 255.0));
            row[x * 4 + 1] = uint8_t(std::clamp(128 + 35 * std::sin(v * 2 + seed) + noise, 0.0, 255.0));
            row[x * 4 + 2] = uint8_t(std::clamp(100 + 60 * std::cos(v + x * 0.002), 0.0, 255.0));
            row[x * 4 + 3] = uint8_t(std::clamp(200 + 50 * std::sin(y * 0.01 + seed), 0.0, 255.0));
        }
    }
    return image;
}

std::vector<std::unique_ptr<TextureObject>> DistinctTextures() {
    std::vector<std::unique_ptr<TextureObject>> textures(kDistinct);
    ForEachInOrder<std::unique_ptr<TextureObject>>(
        kDistinct, DefaultJobs(),
        [](size_t i) {
            ScratchImage image = Picture(uint32_t(i));
            std::string error;
            if (!ConvertImage(image, kFormatDXT5, kSide, kSide, 10, Resizing::KeepSize, error)) throw Error(error);
            TextureFile scratch;
            return TextureObject::Duplicate(scratch.AddTexture("BASE", image), "BASE");
        },
        [&](size_t i, std::unique_ptr<TextureObject>& t) { textures[i] = std::move(t); });
    return textures;
}

void WriteArchive(const fs::path& path) {
    const auto bases = DistinctTextures();
    const int games[kPacks] = {GameUnderground2, GameCarbon, GameWorld, GameWorld};
    ByteWriter w;
    for (int p = 0; p < kPacks; ++p) {
        TextureFile pack;
        pack.packName = "BENCH";
        pack.packFileName = "TRACKS\\BENCH_" + std::to_string(p) + ".BIN";
        pack.hasCompressedTable = p == 2;
        for (int i = 0; i < kTexturesPerPack; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "BENCH_%d_%03d", p, i);
            auto t = TextureObject::Duplicate(*bases[size_t(i + p * 7) % bases.size()], name);
            t->SetGameFlags(games[p]);
            pack.AddTexture(name, std::move(t));
        }
        pack.Save(games[p], w);
        // Packs start on 128-byte boundaries, as in the games' files.
        const uint32_t padding = PadTo(uint64_t(w.Position()) + 8, 128);
        w.WriteU32(0);
        w.WriteU32(padding);
        w.Fill(0, padding);
    }
    const auto bytes = w.ToVector();
    SaveFileAtomically(path, bytes.data(), bytes.size());
}

struct Row {
    std::string what;
    double seconds;
    std::string note;
};

} // namespace

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "zelko-bench-archive";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path archive = folder / "BENCH.BIN";
    std::vector<Row> rows;
    char note[160];
    const double made = Seconds([&] { WriteArchive(archive); });
    if (argc > 2 && std::string(argv[2]) == "--make-only") return 0;
    const uint64_t archiveBytes = fs::file_size(archive);
    std::printf("archive: %.1f MB in %d packs, made in %.1f s; %u cores\n", archiveBytes / 1e6, kPacks, made,
                DefaultJobs());

    // Yardsticks.
    std::vector<uint8_t> bytes(archiveBytes), copy(archiveBytes);
    std::memset(bytes.data(), 1, bytes.size());
    std::memset(copy.data(), 2, copy.size());
    const double memcpyTime = Seconds([&] { std::memcpy(copy.data(), bytes.data(), bytes.size()); });
    std::vector<uint8_t>().swap(bytes);
    std::vector<uint8_t>().swap(copy);
    rows.push_back({"memcpy of the archive's bytes", memcpyTime, ""});
    const double cpTime = Seconds(
        [&] { Shell("cp '" + archive.string() + "' '" + (folder / "copy.bin").string() + "'"); });
    rows.push_back({"cp of the archive", cpTime, ""});
    const double syncTime = Seconds([&] { Shell("sync '" + (folder / "copy.bin").string() + "'"); });
    fs::remove(folder / "copy.bin");
    rows.push_back({"fsync of that copy", syncTime, ""});

    // Open and list.
    size_t textures = 0;
    const double openTime = Seconds([&] {
        Document doc = OpenDocument(archive, false, Host{});
        for (auto& [id, entry] : doc.entries) {
            auto bin = OpenEntry(doc, entry, Host{});
            bin->ForEachTexture([&](TextureObject*) { ++textures; });
        }
    });
    rows.push_back({"open + list (" + std::to_string(textures) + " textures)", openTime, ""});

    // The texture list's 32 x 32 thumbnails of the first pack, and the same
    // made the earlier way: the whole chain decoded, then stb's float box.
    {
        Document d = OpenDocument(archive, false, Host{});
        auto bin = OpenEntry(d, d.entries.begin()->second, Host{});
        std::vector<const TextureObject*> pack;
        bin->ForEachTexture([&](TextureObject* t) { pack.push_back(t); });
        const double now = Seconds([&] {
            for (const TextureObject* t : pack) MakeThumbnailPixels(*t, 32);
        });
        const double before = Seconds([&] {
            for (const TextureObject* t : pack) {
                ScratchImage image;
                std::string error;
                DecodeTexture(*t, image, error);
                ConvertImage(image, kFormatARGB, t->width, t->height, t->mipCount, Resizing::KeepSize, error);
                const Image& base = *image.GetImage(0, 0, 0);
                std::vector<uint8_t> out(32 * 32 * 4);
                stbir_resize(base.pixels, int(base.width), int(base.height), int(base.rowPitch), out.data(), 32, 32,
                             32 * 4, STBIR_TYPE_UINT8, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX,
                             STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR, nullptr);
            }
        });
        std::snprintf(note, sizeof note, "%.2f ms a texture; %.1fx faster than the earlier way",
                      now * 1000 / pack.size(), before / now);
        rows.push_back({"thumbnails of a pack (" + std::to_string(pack.size()) + ")", now, note});
        rows.push_back({"thumbnails, the earlier way", before, ""});
    }

    // Exports, every pack, read once.
    Document doc = OpenDocument(archive, false, Host{});
    std::vector<std::unique_ptr<IBinFile>> bins;
    std::vector<const TextureObject*> all;
    for (auto& [id, entry] : doc.entries) {
        bins.push_back(OpenEntry(doc, entry, Host{}));
        bins.back()->ForEachTexture([&](TextureObject* t) { all.push_back(t); });
    }
    const auto exportAll = [&](const char* format, unsigned jobs) {
        ExportOptions options;
        options.folder = folder / (std::string(format) + "-" + std::to_string(jobs));
        options.format = ExportFormatFromName(format);
        options.jobs = jobs;
        fs::create_directories(options.folder);
        const double t = Seconds([&] { ExportTextures(all, options, Host{}, nullptr); });
        return std::pair(t, options.folder);
    };
    const unsigned cores = DefaultJobs();
    const auto [dds1, ddsFolder1] = exportAll("dds", 1);
    const auto [ddsN, ddsFolder] = exportAll("dds", cores);
    const double cpDds = Seconds(
        [&] { Shell("cp -r '" + ddsFolder.string() + "' '" + (folder / "dds-copy").string() + "'"); });
    std::snprintf(note, sizeof note, "%.2fx cp -r of the same %.0f MB", ddsN / cpDds, FolderBytes(ddsFolder) / 1e6);
    rows.push_back({"export DDS, 1 job", dds1, ""});
    rows.push_back({"export DDS, " + std::to_string(cores) + " jobs", ddsN, note});
    rows.push_back({"cp -r of the DDS folder", cpDds, ""});
    fs::remove_all(folder / "dds-copy");
    fs::remove_all(ddsFolder1);

    const auto [png1, pngFolder1] = exportAll("png", 1);
    const auto [pngN, pngFolder] = exportAll("png", cores);
    const uint64_t pngBytes = FolderBytes(pngFolder);
    std::snprintf(note, sizeof note, "%.1f ms an image, %.0f MB", pngN * 1000 / all.size(), pngBytes / 1e6);
    rows.push_back({"export PNG, 1 job", png1, ""});
    rows.push_back({"export PNG, " + std::to_string(cores) + " jobs", pngN, note});
    fs::remove_all(pngFolder1);

    // ImageMagick on the same pixels: the top levels of the distinct textures.
    if (std::system("command -v convert >/dev/null 2>&1") == 0) {
        uint64_t ours = 0, theirs = 0;
        const double magick = Seconds([&] {
            for (int i = 0; i < kDistinct; ++i) {
                char name[32];
                std::snprintf(name, sizeof name, "BENCH_0_%03d", i);
                const fs::path dds = ddsFolder / (std::string(name) + ".dds");
                const fs::path png = folder / (std::string(name) + "-magick.png");
                Shell("convert '" + dds.string() + "[0]' '" + png.string() + "'");
                theirs += fs::file_size(png);
                ours += fs::file_size(pngFolder / (std::string(name) + ".png"));
            }
        });
        std::snprintf(note, sizeof note, "%.1f ms an image; our files %.3fx its size", magick * 1000 / kDistinct,
                      double(ours) / double(theirs));
        rows.push_back({"ImageMagick DDS -> PNG, " + std::to_string(kDistinct) + " images", magick, note});
    }
    fs::remove_all(ddsFolder);
    fs::remove_all(pngFolder);

    // Format change of a whole pack.
    for (unsigned jobs : {1u, cores}) {
        Document d = OpenDocument(archive, false, Host{});
        auto bin = OpenEntry(d, d.entries.begin()->second, Host{});
        std::vector<TextureObject*> pack;
        bin->ForEachTexture([&](TextureObject* t) { pack.push_back(t); });
        const double t = Seconds([&] { ChangeTextureFormats(*bin, pack, kFormatDXT1, jobs, {}); });
        rows.push_back(
            {"convert a pack (" + std::to_string(pack.size()) + ") to DXT1, " + std::to_string(jobs) + " job(s)", t,
             ""});
    }

    // Rename and save: a plain pack, then the compressed one.
    for (int index : {0, 2}) {
        Document d = OpenDocument(archive, false, Host{});
        auto it = d.entries.begin();
        std::advance(it, index);
        auto bin = OpenEntry(d, it->second, Host{});
        TextureObject* first = nullptr;
        uint64_t pixels = 0;
        bin->ForEachTexture([&](TextureObject* t) {
            if (!first) first = t;
            pixels += t->pixelsSize;
        });
        RenameTexture(*bin, *first, "RENAMED");
        const double t = Seconds([&] { SaveIntoDocument(*bin, d, false); });
        std::snprintf(note, sizeof note, "%.0f MB of pixels", pixels / 1e6);
        rows.push_back({std::string("rename + save, ") + (index == 2 ? "compressed" : "plain") + " pack", t, note});
    }

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-48s %10s %12s  %s\n", "step", "seconds", "x memcpy", "");
    for (const Row& row : rows)
        std::printf("%-48s %10.3f %12.1f  %s\n", row.what.c_str(), row.seconds, row.seconds / memcpyTime,
                    row.note.c_str());
    std::printf("peak RSS: %.0f MB\n", usage.ru_maxrss / 1024.0);
    // A folder given on the command line keeps the archive for other tools.
    if (argc > 1) {
        std::printf("archive kept: %s\n", archive.string().c_str());
    } else {
        fs::remove_all(folder);
    }
    return 0;
}
