// Loading and saving a large texture pack, plain and compressed, measured in
// MB/s of pixel data. Yardsticks in the same run: one memcpy of the pixel
// bytes (plain load without in-memory packing should stay within 2x of it)
// and LZ4 compressing every texture (plain load with packing should stay
// within 1.2x of it). Peak and retained heap of a loaded pack are counted
// through a replaced operator new.
#include <benchmark/benchmark.h>
#include <lz4.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <vector>

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/TextureFile.h"
#include "texture/TextureObject.h"

namespace {

std::atomic<size_t> gLive{0};
std::atomic<size_t> gPeak{0};

// Each block carries its size in front so that delete can count it.
constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t n) {
    void* block = std::malloc(n + kHeader);
    if (!block) throw std::bad_alloc();
    *static_cast<size_t*>(block) = n;
    const size_t live = gLive.fetch_add(n) + n;
    size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {}
    return static_cast<char*>(block) + kHeader;
}

void Release(void* p) noexcept {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    gLive.fetch_sub(*static_cast<size_t*>(block));
    std::free(block);
}

} // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }

namespace {

using namespace zelko;
using Clock = std::chrono::steady_clock;

constexpr int kTextureCount = 2000;
constexpr double kMB = 1e6;

// Texture-like bytes: a small set of colour endpoints, index bits with some
// structure, and runs of repeated blocks, about as compressible as game data.
void FillPixels(std::mt19937& rng, uint8_t* out, size_t n) {
    uint8_t colours[64][4];
    for (auto& colour : colours)
        for (uint8_t& b : colour) b = uint8_t(rng());
    for (size_t i = 0; i + 8 <= n; i += 8) {
        if (i >= 8 && rng() % 10 < 3) {
            std::memcpy(out + i, out + i - 8, 8);
            continue;
        }
        std::memcpy(out + i, colours[rng() % 64], 4);
        uint32_t indices = uint32_t(rng());
        if (rng() % 2) indices &= 0x55555555;
        std::memcpy(out + i + 4, &indices, 4);
    }
}

uint32_t ImageSize(uint32_t format, uint32_t size, uint32_t mips) {
    uint32_t total = 0;
    for (uint32_t m = 0; m < mips; ++m, size = std::max(1u, size / 2)) {
        const uint32_t blocks = ((size + 3) / 4) * ((size + 3) / 4);
        total += format == kFormatARGB ? size * size * 4 : blocks * (format == kFormatDXT1 ? 8 : 16);
    }
    return total;
}

// Wall and processor time of one run. The machine is shared, so the ratios
// against the yardsticks use processor time (page faults included).
struct Times {
    double wall = 0;
    double cpu = 0;
};

Times Measure(const auto& work) {
    const auto wall = Clock::now();
    const std::clock_t cpu = std::clock();
    work();
    return {std::chrono::duration<double>(Clock::now() - wall).count(), double(std::clock() - cpu) / CLOCKS_PER_SEC};
}

Times Best(int runs, const auto& work) {
    Times best{1e9, 1e9};
    for (int i = 0; i < runs; ++i) {
        const Times t = Measure(work);
        best.wall = std::min(best.wall, t.wall);
        best.cpu = std::min(best.cpu, t.cpu);
    }
    return best;
}

struct Corpus {
    std::vector<uint8_t> plain;
    std::vector<uint8_t> compressed;
    std::vector<std::pair<size_t, uint32_t>> pixelSpans; // per texture, inside `plain`
    size_t pixelBytes = 0;
    Times memcpy; // into one buffer that is already mapped
    Times lz4; // LZ4 over every texture's pixels
};

const Corpus& GetCorpus() {
    static const Corpus corpus = [] {
        Corpus c;
        std::mt19937 rng(2024);
        TextureFile file;
        file.packFileName = "BENCH.BIN";
        for (int i = 0; i < kTextureCount; ++i) {
            // Mostly small textures, few large ones: about 300 MB in all.
            static const uint32_t kSizes[20] = {64,  64,  64,  64,  64,  64,  128, 128, 128, 128,
                                                128, 128, 256, 256, 256, 256, 256, 512, 512, 1024};
            static const uint32_t kFormats[20] = {kFormatDXT1, kFormatDXT1, kFormatDXT1, kFormatDXT1, kFormatDXT1,
                                                  kFormatDXT1, kFormatDXT1, kFormatDXT1, kFormatDXT5, kFormatDXT5,
                                                  kFormatDXT5, kFormatDXT5, kFormatDXT5, kFormatDXT5, kFormatDXT5,
                                                  kFormatDXT5, kFormatDXT5, kFormatARGB, kFormatARGB, kFormatARGB};
            const uint32_t size = kSizes[rng() % 20];
            const uint32_t format = kFormats[rng() % 20];
            uint32_t mips = 1;
            while ((size >> mips) >= 1) ++mips;
            std::vector<uint8_t> pixels(ImageSize(format, size, mips));
            FillPixels(rng, pixels.data(), pixels.size());
            auto texture = TextureObject::Create({.width = size,
                                                  .height = size,
                                                  .format = format,
                                                  .mipCount = mips,
                                                  .pixels = pixels.data(),
                                                  .pixelCount = uint32_t(pixels.size())});
            texture->SetGameFlags(GameCarbon);
            file.AddTexture("BENCH_TEXTURE_" + std::to_string(i), std::move(texture));
            c.pixelBytes += pixels.size();
        }
        ByteWriter plain;
        file.Save(GameCarbon, plain);
        c.plain = plain.ToVector();
        file.hasCompressedTable = true;
        ByteWriter compressed;
        file.Save(GameCarbon, compressed);
        c.compressed = compressed.ToVector();

        // Where each texture's pixels lie, for the yardsticks.
        TextureFile read;
        ByteReader reader(c.plain.data(), c.plain.size());
        read.Load(reader);
        for (const auto& t : read.textures) c.pixelSpans.emplace_back(t->dataOffset, t->pixelsSize);

        std::vector<uint8_t> target(c.pixelBytes);
        c.memcpy = Best(5, [&] {
            size_t at = 0;
            for (const auto& [offset, size] : c.pixelSpans) {
                std::memcpy(target.data() + at, c.plain.data() + offset, size);
                at += size;
            }
            benchmark::DoNotOptimize(target.data());
        });
        std::vector<char> scratch(size_t(LZ4_compressBound(16 << 20)));
        c.lz4 = Best(3, [&] {
            for (const auto& [offset, size] : c.pixelSpans) {
                benchmark::DoNotOptimize(LZ4_compress_default(reinterpret_cast<const char*>(c.plain.data() + offset),
                                                              scratch.data(), int(size), int(scratch.size())));
            }
        });
        return c;
    }();
    return corpus;
}

void ReportPixels(benchmark::State& state, const Corpus& c) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.pixelBytes));
    state.counters["pixel_MB"] = double(c.pixelBytes) / kMB;
}

void BM_MemcpyPixels(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    std::vector<uint8_t> target(c.pixelBytes);
    for (auto _ : state) {
        size_t at = 0;
        for (const auto& [offset, size] : c.pixelSpans) {
            std::memcpy(target.data() + at, c.plain.data() + offset, size);
            at += size;
        }
        benchmark::DoNotOptimize(target.data());
    }
    ReportPixels(state, c);
}

// The copy any loader makes: a new buffer per texture, freed between runs.
void BM_CopyPixelsIntoNewBuffers(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    std::vector<std::unique_ptr<uint8_t[]>> copies;
    copies.reserve(c.pixelSpans.size());
    for (auto _ : state) {
        for (const auto& [offset, size] : c.pixelSpans) {
            copies.push_back(std::make_unique_for_overwrite<uint8_t[]>(size));
            std::memcpy(copies.back().get(), c.plain.data() + offset, size);
        }
        benchmark::DoNotOptimize(copies.data());
        state.PauseTiming();
        copies.clear();
        state.ResumeTiming();
    }
    ReportPixels(state, c);
}

void BM_Lz4Pixels(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    std::vector<char> scratch(size_t(LZ4_compressBound(16 << 20)));
    for (auto _ : state) {
        for (const auto& [offset, size] : c.pixelSpans) {
            benchmark::DoNotOptimize(LZ4_compress_default(reinterpret_cast<const char*>(c.plain.data() + offset),
                                                          scratch.data(), int(size), int(scratch.size())));
        }
    }
    ReportPixels(state, c);
}

// The yardstick of a compressed save: JDLZ of every texture's pixels on one core.
void BM_JdlzPixels(benchmark::State& state) {
    const Corpus& c = GetCorpus();
    std::vector<uint8_t> stream(JdlzCompressBound(16 << 20));
    for (auto _ : state) {
        for (const auto& [offset, size] : c.pixelSpans)
            benchmark::DoNotOptimize(CompressJdlz(c.plain.data() + offset, size, stream.data(), stream.size()));
    }
    ReportPixels(state, c);
}

// Loads the pack; counters give the heap peak during the load and what the
// loaded pack keeps, both above what was live before, and the load's time
// against the yardsticks.
void Load(benchmark::State& state, const std::vector<uint8_t>& bytes, bool packInMemory, bool plain) {
    const Corpus& c = GetCorpus();
    size_t peak = 0, retained = 0;
    Times total;
    for (auto _ : state) {
        auto file = std::make_unique<TextureFile>();
        file->packInMemory = packInMemory;
        const size_t before = gLive.load();
        gPeak.store(before);
        const Times t = Measure([&] {
            ByteReader reader(bytes.data(), bytes.size());
            file->Load(reader);
        });
        total.wall += t.wall;
        total.cpu += t.cpu;
        peak = gPeak.load() - before;
        retained = gLive.load() - before;
        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    ReportPixels(state, c);
    state.counters["peak_heap_MB"] = double(peak) / kMB;
    state.counters["kept_heap_MB"] = double(retained) / kMB;
    const double n = double(state.iterations());
    if (!plain) return;
    if (packInMemory) {
        state.counters["x_lz4"] = total.cpu / n / c.lz4.cpu;
    } else {
        state.counters["x_memcpy"] = total.cpu / n / c.memcpy.cpu;
    }
}

void BM_LoadPlain(benchmark::State& state) { Load(state, GetCorpus().plain, false, true); }
void BM_LoadPlainPacked(benchmark::State& state) { Load(state, GetCorpus().plain, true, true); }
void BM_LoadCompressed(benchmark::State& state) { Load(state, GetCorpus().compressed, false, false); }

void Save(benchmark::State& state, bool compressed) {
    const Corpus& c = GetCorpus();
    TextureFile file;
    ByteReader reader(c.plain.data(), c.plain.size());
    file.keepGameRecords = true;
    file.Load(reader);
    file.hasCompressedTable = compressed;
    for (auto _ : state) {
        ByteWriter writer;
        file.Save(GameCarbon, writer);
        benchmark::DoNotOptimize(writer.Data());
    }
    ReportPixels(state, c);
}

void BM_SavePlain(benchmark::State& state) { Save(state, false); }
void BM_SaveCompressed(benchmark::State& state) { Save(state, true); }

} // namespace

BENCHMARK(BM_MemcpyPixels)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_CopyPixelsIntoNewBuffers)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Lz4Pixels)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_JdlzPixels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadPlain)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPlainPacked)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadCompressed)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SavePlain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SaveCompressed)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
