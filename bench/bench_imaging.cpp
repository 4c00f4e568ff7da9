// Block compression and decompression of a 2048x2048 photograph-like texture
// with its full mip chain: our codecs against libsquish's range fit and
// cluster fit (compression) and DecompressImage (decoding), all on one core.
// Counters: MP/s over the whole chain, PSNR of the colour channels against
// the source and, for BC3, PSNR_A of alpha.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <squish.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/ImageOps.h"

namespace {

using namespace zelko;

constexpr size_t kSize = 2048;

uint32_t Hash(int x, int y, int seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float ValueNoise(float x, float y, int seed) {
    int xi = int(std::floor(x)), yi = int(std::floor(y));
    float fx = x - float(xi), fy = y - float(yi);
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    auto at = [&](int dx, int dy) { return float(Hash(xi + dx, yi + dy, seed) & 0xFFFF) / 65535.0f; };
    float top = at(0, 0) + (at(1, 0) - at(0, 0)) * fx;
    float bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * fx;
    return top + (bottom - top) * fy;
}

float Fractal(float x, float y, int seed, int octaves) {
    float sum = 0, amplitude = 0.5f, frequency = 1;
    for (int o = 0; o < octaves; ++o, amplitude *= 0.5f, frequency *= 2)
        sum += amplitude * ValueNoise(x * frequency, y * frequency, seed + o);
    return sum;
}

// Textured light and shade with slowly drifting hue, a few hard-edged
// patches, sensor-like noise, and an alpha channel of soft shapes.
struct Photo {
    ScratchImage chain; // R8G8B8A8_UNORM, full mip chain
    ScratchImage opaque; // the same with alpha 255, for BC1
    double pixels = 0; // over all levels

    Photo() {
        ScratchImage base;
        base.Initialize2D(DxgiFormat::R8G8B8A8_UNORM, kSize, kSize);
        uint8_t* p = base.GetPixels();
        for (size_t y = 0; y < kSize; ++y) {
            for (size_t x = 0; x < kSize; ++x, p += 4) {
                float u = float(x) / 64, v = float(y) / 64;
                float light = Fractal(u, v, 1, 7);
                float hue = Fractal(u * 0.3f, v * 0.3f, 50, 3) * 6.28f;
                float saturation = 0.5f * Fractal(u * 0.5f, v * 0.5f, 90, 3);
                float rgb[3] = {light + saturation * std::cos(hue), light + saturation * std::cos(hue - 2.09f),
                                light + saturation * std::cos(hue + 2.09f)};
                if ((x / 97 + y / 131) % 5 == 0) rgb[0] = rgb[0] * 0.4f + 0.5f;
                float grain = (float(Hash(int(x), int(y), 7) & 255) / 255 - 0.5f) * 0.04f;
                for (int c = 0; c < 3; ++c) p[c] = uint8_t(std::clamp(rgb[c] + grain, 0.0f, 1.0f) * 255 + 0.5f);
                p[3] = uint8_t(std::clamp(Fractal(u * 0.7f, v * 0.7f, 200, 4) * 1.4f - 0.2f, 0.0f, 1.0f) * 255 + 0.5f);
            }
        }
        GenerateMipMaps(*base.GetImages(), kTexFilterDefault, 0, chain);
        // libsquish turns pixels with alpha below 128 transparent in BC1;
        // ours is given threshold 0 instead.
        Convert(chain.GetImages(), chain.GetImageCount(), chain.GetMetadata(), DxgiFormat::B8G8R8X8_UNORM,
                kTexFilterDefault, 0.5f, base);
        Convert(base.GetImages(), base.GetImageCount(), base.GetMetadata(), DxgiFormat::R8G8B8A8_UNORM,
                kTexFilterDefault, 0.5f, opaque);
        for (size_t i = 0; i < chain.GetImageCount(); ++i)
            pixels += double(chain.GetImages()[i].width * chain.GetImages()[i].height);
    }
};

const Photo& Source() {
    static const Photo photo;
    return photo;
}

// PSNR of channels [first, last) between the source chain and a decoded one.
double Psnr(const ScratchImage& decoded, int first, int last) {
    const ScratchImage& source = Source().chain;
    double sum = 0, count = 0;
    for (size_t i = 0; i < source.GetPixelsSize(); i += 4)
        for (int c = first; c < last; ++c) {
            double d = double(source.GetPixels()[i + c]) - decoded.GetPixels()[i + c];
            sum += d * d;
            count += 1;
        }
    return 10 * std::log10(255.0 * 255.0 * count / sum);
}

void ReportQuality(benchmark::State& state, const ScratchImage& compressed, bool alpha) {
    ScratchImage decoded;
    Decompress(compressed.GetImages(), compressed.GetImageCount(), compressed.GetMetadata(), DxgiFormat::R8G8B8A8_UNORM,
               decoded);
    state.counters["PSNR"] = Psnr(decoded, 0, 3);
    if (alpha) state.counters["PSNR_A"] = Psnr(decoded, 3, 4);
    state.counters["MP/s"] = benchmark::Counter(Source().pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CompressOurs(benchmark::State& state, DxgiFormat format, TexCompressFlags flags) {
    const ScratchImage& chain = Source().chain;
    ScratchImage compressed;
    for (auto _ : state) {
        Compress(chain.GetImages(), chain.GetImageCount(), chain.GetMetadata(), format, flags, 0.0f, compressed);
        benchmark::DoNotOptimize(compressed.GetPixels());
    }
    ReportQuality(state, compressed, format == DxgiFormat::BC3_UNORM);
}

void BM_CompressSquish(benchmark::State& state, DxgiFormat format, int flags) {
    const ScratchImage& chain = format == DxgiFormat::BC1_UNORM ? Source().opaque : Source().chain;
    ScratchImage compressed;
    compressed.Initialize(TexMetadata{kSize, kSize, 1, 1, chain.GetMetadata().mipLevels, 0, 0, format});
    for (auto _ : state) {
        for (size_t i = 0; i < chain.GetImageCount(); ++i) {
            const Image& level = chain.GetImages()[i];
            squish::CompressImage(level.pixels, int(level.width), int(level.height), compressed.GetImages()[i].pixels,
                                  flags);
        }
        benchmark::DoNotOptimize(compressed.GetPixels());
    }
    ReportQuality(state, compressed, format == DxgiFormat::BC3_UNORM);
}

// The base level compressed by us, as input for the decoders.
const ScratchImage& Compressed(DxgiFormat format) {
    static ScratchImage images[5];
    int slot = format == DxgiFormat::BC1_UNORM ? 0
        : format == DxgiFormat::BC2_UNORM      ? 1
        : format == DxgiFormat::BC3_UNORM      ? 2
        : format == DxgiFormat::BC4_UNORM      ? 3
                                               : 4;
    if (!images[slot].GetPixels()) Compress(*Source().chain.GetImages(), format, kTexCompressFast, 0.0f, images[slot]);
    return images[slot];
}

void SetDecodeRate(benchmark::State& state) {
    state.counters["MP/s"] = benchmark::Counter(double(kSize * kSize) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecompressOurs(benchmark::State& state, DxgiFormat format) {
    const Image& blocks = *Compressed(format).GetImages();
    ScratchImage decoded;
    for (auto _ : state) {
        Decompress(blocks, DxgiFormat::UNKNOWN, decoded);
        benchmark::DoNotOptimize(decoded.GetPixels());
    }
    SetDecodeRate(state);
}

void BM_DecompressSquish(benchmark::State& state, DxgiFormat format, int flags) {
    const Image& blocks = *Compressed(format).GetImages();
    std::vector<uint8_t> rgba(kSize * kSize * 4);
    for (auto _ : state) {
        squish::DecompressImage(rgba.data(), int(kSize), int(kSize), blocks.pixels, flags);
        benchmark::DoNotOptimize(rgba.data());
    }
    SetDecodeRate(state);
}

} // namespace

BENCHMARK_CAPTURE(BM_CompressOurs, BC1, DxgiFormat::BC1_UNORM, kTexCompressDefault)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressOurs, BC1_fast, DxgiFormat::BC1_UNORM, kTexCompressFast)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressSquish, BC1_range, DxgiFormat::BC1_UNORM, squish::kDxt1 | squish::kColourRangeFit)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressSquish, BC1_cluster, DxgiFormat::BC1_UNORM, squish::kDxt1 | squish::kColourClusterFit)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressOurs, BC3, DxgiFormat::BC3_UNORM, kTexCompressDefault)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressOurs, BC3_fast, DxgiFormat::BC3_UNORM, kTexCompressFast)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressSquish, BC3_range, DxgiFormat::BC3_UNORM, squish::kDxt5 | squish::kColourRangeFit)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CompressSquish, BC3_cluster, DxgiFormat::BC3_UNORM, squish::kDxt5 | squish::kColourClusterFit)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_DecompressOurs, BC1, DxgiFormat::BC1_UNORM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressSquish, BC1, DxgiFormat::BC1_UNORM, squish::kDxt1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressOurs, BC2, DxgiFormat::BC2_UNORM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressSquish, BC2, DxgiFormat::BC2_UNORM, squish::kDxt3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressOurs, BC3, DxgiFormat::BC3_UNORM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressSquish, BC3, DxgiFormat::BC3_UNORM, squish::kDxt5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressOurs, BC4, DxgiFormat::BC4_UNORM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressSquish, BC4, DxgiFormat::BC4_UNORM, squish::kBc4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressOurs, BC5, DxgiFormat::BC5_UNORM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecompressSquish, BC5, DxgiFormat::BC5_UNORM, squish::kBc5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // libsquish spreads CompressImage over OpenMP threads; compare on one core.
    if (auto setThreads = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"))) setThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Source(); // build the texture before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
