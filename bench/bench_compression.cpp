// Throughput of the JDLZ codec on texture-like data, with LZ4 as the
// yardstick and a plain greedy JDLZ encoder as the reference for the ratio.
#include "format/Compression.h"

#include <benchmark/benchmark.h>
#include <lz4.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kCorpusSize = 16u << 20;

// DXT1/DXT5-like block streams with mip chains. Styles: smooth gradients
// (endpoints change every few blocks, few index patterns), tiled patterns,
// noisy photo-like blocks and flat areas with scattered detail.
class CorpusBuilder {
public:
    Bytes Build() {
        while (data_.size() < kCorpusSize) {
            const bool dxt5 = rng_() % 3 == 0;
            static const int kStyles[10] = {0, 0, 1, 1, 2, 2, 2, 2, 3, 3}; // weights
            const int style = kStyles[rng_() % 10];
            const uint32_t base = rng_();
            int blocks = 16 << (rng_() % 4);
            for (; blocks >= 1; blocks /= 2) // the mip chain
                Texture(dxt5, style, base, blocks, blocks);
        }
        data_.resize(kCorpusSize);
        return data_;
    }

private:
    void Texture(bool dxt5, int style, uint32_t base, int width, int height) {
        std::vector<uint32_t> tile(16);
        for (auto& t : tile) t = rng_();
        for (int by = 0; by < height; ++by)
            for (int bx = 0; bx < width; ++bx) {
                if (dxt5) Alpha(style, bx, by, width);
                Color(style, base, bx, by, width, height, tile);
            }
    }

    void Alpha(int style, int bx, int by, int width) {
        if (style != 2 && (bx + by * width) % 7 != 0) { // mostly opaque
            Put({0xFF, 0xFF, 0, 0, 0, 0, 0, 0});
            return;
        }
        const uint32_t r = rng_();
        Put({uint8_t(r), uint8_t(r >> 8), uint8_t(rng_()), uint8_t(rng_()), uint8_t(rng_()), uint8_t(rng_()), 0x49,
             0x92});
    }

    void Color(int style, uint32_t base, int bx, int by, int width, int height, const std::vector<uint32_t>& tile) {
        uint16_t c0, c1;
        uint32_t indices;
        static const uint32_t patterns[] = {0x00000000, 0x55555555, 0xAAAAAAAA, 0xE4E4E4E4};
        switch (style) {
        case 0: { // gradient
            const uint32_t r = (base & 7) + uint32_t(bx * 24 / width);
            const uint32_t g = (base >> 3 & 15) + uint32_t(by * 48 / height);
            c0 = uint16_t(r << 11 | g << 5 | (base >> 8 & 31));
            c1 = uint16_t(c0 + 0x0821);
            indices = patterns[(bx + by) & 3];
            if (rng_() % 4 == 0) indices ^= rng_() & 0x0F0F0F0F;
            break;
        }
        case 1: { // tiled
            const uint32_t t = tile[(bx & 3) + (by & 3) * 4];
            c0 = uint16_t(t);
            c1 = uint16_t(t >> 16);
            indices = tile[(t + uint32_t(by)) & 15];
            break;
        }
        case 2: { // noisy
            const uint32_t n = rng_();
            c0 = uint16_t(base + (n & 0x0843));
            c1 = uint16_t(base - (n >> 16 & 0x1863));
            indices = rng_();
            break;
        }
        default: { // flat with detail
            c0 = c1 = uint16_t(base);
            indices = 0;
            if (rng_() % 20 == 0) {
                c1 = uint16_t(rng_());
                indices = rng_();
            }
            break;
        }
        }
        Put({uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8), uint8_t(indices), uint8_t(indices >> 8),
             uint8_t(indices >> 16), uint8_t(indices >> 24)});
    }

    void Put(std::initializer_list<uint8_t> bytes) { data_.insert(data_.end(), bytes); }

    std::mt19937 rng_{0x5EED};
    Bytes data_;
};

const Bytes& Corpus() {
    static const Bytes corpus = CorpusBuilder().Build();
    return corpus;
}

Bytes JdlzCompress(const Bytes& data) {
    Bytes out(zelko::JdlzCompressBound(data.size()));
    out.resize(zelko::CompressJdlz(data.data(), uint32_t(data.size()), out.data(), out.size()));
    return out;
}

const Bytes& JdlzStream() {
    static const Bytes stream = JdlzCompress(Corpus());
    return stream;
}

// Plain greedy JDLZ: at every position take the longest match the format can
// express (long form capped at 34, the nearest on ties) among all earlier
// positions in the window with the same first three bytes.
Bytes GreedyJdlz(const Bytes& in) {
    constexpr uint32_t kWindow = 2064;
    const uint32_t n = uint32_t(in.size());
    std::vector<int32_t> head(1 << 18, -1), prev(n, -1);
    Bytes out(zelko::JdlzCompressBound(n), 0);
    size_t at = 18, slotA = 16, slotB = 17;
    int usedA = 0, usedB = 0;
    auto flag = [&](size_t slot, int& used, bool bit) { out[slot] |= uint8_t(bit << used++); };
    auto advance = [&](size_t& slot, int& used) {
        if (used == 8) {
            slot = at++;
            used = 0;
        }
    };
    auto trigram = [&](uint32_t p) { return ((in[p] | in[p + 1] << 8 | in[p + 2] << 16) * 2654435761u) >> 14; };
    auto insert = [&](uint32_t p) {
        if (p + 3 <= n) {
            prev[p] = head[trigram(p)];
            head[trigram(p)] = int32_t(p);
        }
    };
    for (uint32_t pos = 0; pos < n;) {
        uint32_t best = 0, bestDist = 0;
        if (pos + 3 <= n) {
            const uint32_t maxLen = std::min<uint32_t>(n - pos, 4098);
            for (int32_t c = head[trigram(pos)]; c >= 0 && pos - uint32_t(c) <= kWindow; c = prev[c]) {
                uint32_t len = 0;
                while (len < maxLen && in[c + len] == in[pos + len]) ++len;
                const uint32_t dist = pos - uint32_t(c);
                len = dist > 16 ? std::min<uint32_t>(len, 34) : len;
                if (len > best) {
                    best = len;
                    bestDist = dist;
                }
            }
        }
        if (best >= 3) {
            const uint32_t d = bestDist - 1;
            flag(slotA, usedA, true);
            flag(slotB, usedB, d < 16);
            if (d >= 16) {
                out[at++] = uint8_t((((d - 16) >> 3) & 0xE0) | (best - 3));
                out[at++] = uint8_t(d - 16);
            } else {
                out[at++] = uint8_t((((best - 3) >> 4) & 0xF0) | d);
                out[at++] = uint8_t(best - 3);
            }
            for (uint32_t p = pos; p < pos + best; ++p) insert(p);
            pos += best;
        } else {
            flag(slotA, usedA, false);
            out[at++] = in[pos];
            insert(pos++);
        }
        advance(slotA, usedA);
        advance(slotB, usedB);
    }
    const uint8_t header[16] = {
        'J', 'D', 'L', 'Z', 2, 0x10, 0, 0, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    std::copy(header, header + 16, out.begin());
    out.resize(at);
    return out;
}

double GreedyRatio() {
    static const double ratio = [] {
        const Bytes stream = GreedyJdlz(Corpus());
        Bytes check(Corpus().size());
        if (zelko::DecompressStream(stream.data(), stream.size(), check.data(), check.size()) != check.size() ||
            check != Corpus()) {
            std::fprintf(stderr, "greedy reference stream does not decode\n");
            std::abort();
        }
        return double(stream.size()) / double(Corpus().size());
    }();
    return ratio;
}

void BM_JdlzEncode(benchmark::State& state) {
    const Bytes& in = Corpus();
    Bytes out(zelko::JdlzCompressBound(in.size()));
    uint32_t size = 0;
    for (auto _ : state) {
        size = zelko::CompressJdlz(in.data(), uint32_t(in.size()), out.data(), out.size());
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.size()));
    const double ratio = double(size) / double(in.size());
    state.counters["ratio"] = ratio;
    state.counters["greedy_ratio"] = GreedyRatio();
    state.counters["vs_greedy_pct"] = (ratio / GreedyRatio() - 1) * 100;
}

void BM_JdlzDecode(benchmark::State& state) {
    const Bytes& stream = JdlzStream();
    Bytes out(Corpus().size());
    for (auto _ : state) {
        const uint32_t n = zelko::DecompressStream(stream.data(), stream.size(), out.data(), out.size());
        if (n != out.size()) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    if (out != Corpus()) state.SkipWithError("decoded data differs");
    state.SetBytesProcessed(int64_t(state.iterations() * out.size()));
    state.counters["ratio"] = double(stream.size()) / double(out.size());
}

void BM_Lz4Encode(benchmark::State& state) {
    const Bytes& in = Corpus();
    Bytes out(size_t(LZ4_compressBound(int(in.size()))));
    int size = 0;
    for (auto _ : state) {
        size = LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                    int(in.size()), int(out.size()));
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.size()));
    state.counters["ratio"] = double(size) / double(in.size());
}

void BM_Lz4Decode(benchmark::State& state) {
    const Bytes& in = Corpus();
    Bytes packed(size_t(LZ4_compressBound(int(in.size()))));
    packed.resize(
        size_t(LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(packed.data()),
                                    int(in.size()), int(packed.size()))));
    Bytes out(in.size());
    for (auto _ : state) {
        const int n = LZ4_decompress_safe(reinterpret_cast<const char*>(packed.data()),
                                          reinterpret_cast<char*>(out.data()), int(packed.size()), int(out.size()));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.size()));
    state.counters["ratio"] = double(packed.size()) / double(in.size());
}

BENCHMARK(BM_JdlzEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JdlzDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz4Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz4Decode)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
