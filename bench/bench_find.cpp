// The Find index on a big document: 50 packs of 400 textures (20,000 names).
// Yardstick in the same run: opening every pack from disk, which building the
// index must do anyway; the index's own work is the records made from the
// opened packs. A keystroke's search runs over the whole index.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "container/Find.h"
#include "format/ByteStream.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/TextureFile.h"
#include "texture/TextureObject.h"

namespace {

using namespace zelko;

constexpr int kPacks = 50;
constexpr int kTexturesPerPack = 400;

const char* const kParts[] = {"BODY",  "WINDOW_FRONT", "HEADLIGHT", "BRAKELIGHT",
                              "WHEEL", "TIRE",         "INTERIOR",  "BADGING"};

struct BigDocument {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "zelko-bench-find.bin";
    Document document;

    BigDocument() {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::vector<uint8_t> pixels(32, 0x5A);
        for (int p = 0; p < kPacks; ++p) {
            TextureFile pack;
            pack.packName = "BENCH";
            pack.packFileName = "BENCH.BIN";
            for (int t = 0; t < kTexturesPerPack; ++t) {
                char name[64];
                std::snprintf(name, sizeof name, "CAR_%02d_%s_%03d", p, kParts[t % 8], t);
                auto texture = TextureObject::Create({.width = 8,
                                                      .height = 8,
                                                      .format = kFormatDXT1,
                                                      .mipCount = 1,
                                                      .pixels = pixels.data(),
                                                      .pixelCount = 32});
                texture->name = name;
                texture->hash = NameHash(name);
                pack.textures.push_back(std::move(texture));
            }
            ByteWriter writer;
            pack.Save(GameUnderground2, writer);
            out.write(reinterpret_cast<const char*>(writer.Data()), std::streamsize(writer.Size()));
        }
        out.close();
        document = OpenDocument(path, false, Host{});
    }
    ~BigDocument() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

BigDocument& Big() {
    static BigDocument big;
    return big;
}

// Every pack read from disk: what any index of the file costs at the least.
void BM_OpenEveryPack(benchmark::State& state) {
    Document& document = Big().document;
    for (auto _ : state) {
        size_t textures = 0;
        for (auto& [id, entry] : document.entries) {
            ArchiveEntry copy = entry;
            textures += OpenEntry(document, copy, Host{})->pack->textures.size();
        }
        benchmark::DoNotOptimize(textures);
    }
}
BENCHMARK(BM_OpenEveryPack)->Unit(benchmark::kMillisecond);

// The index as the editor builds it: reading included.
void BM_BuildFindIndex(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(BuildFindIndex(Big().document).size());
}
BENCHMARK(BM_BuildFindIndex)->Unit(benchmark::kMillisecond);

// The index's own work: 20,000 records from packs already in memory.
void BM_RecordsFromOpenPacks(benchmark::State& state) {
    Document& document = Big().document;
    std::vector<std::unique_ptr<IBinFile>> packs;
    std::vector<ArchiveEntry> entries;
    entries.reserve(document.entries.size());
    for (auto& [id, entry] : document.entries) {
        entries.push_back(entry);
        packs.push_back(OpenEntry(document, entries.back(), Host{}));
    }
    for (auto _ : state) {
        std::vector<FindRecord> index;
        index.reserve(kPacks * kTexturesPerPack);
        for (size_t i = 0; i < packs.size(); ++i) {
            packs[i]->ForEachTexture([&](TextureObject* t) { index.push_back(MakeFindRecord(*t, uint32_t(i))); });
        }
        benchmark::DoNotOptimize(index.data());
    }
}
BENCHMARK(BM_RecordsFromOpenPacks)->Unit(benchmark::kMillisecond);

// One keystroke: a pattern that hits few names, and one that hits most of them.
void BM_SearchKeystroke(benchmark::State& state) {
    static const std::vector<FindRecord> index = BuildFindIndex(Big().document);
    const std::u16string pattern = state.range(0) == 0 ? u"car_07_wheel_1" : u"e";
    size_t hits = 0;
    for (auto _ : state) {
        hits = SearchIndex(index, pattern, false).size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK(BM_SearchKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
