#include "format/ByteStream.h"
#include "format/Compression.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zelko {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Header(const char* magic, uint8_t b4, uint16_t at6, uint32_t at8, uint32_t at12, const Bytes& payload = {}) {
    Bytes h(16, 0);
    std::memcpy(h.data(), magic, 4);
    h[4] = b4, h[6] = uint8_t(at6), h[7] = uint8_t(at6 >> 8);
    StoreU32(&h[8], at8), StoreU32(&h[12], at12);
    h.insert(h.end(), payload.begin(), payload.end());
    return h;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
Bytes Repeat(const Bytes& unit, size_t times) { return times ? Concat({unit, Repeat(unit, times - 1)}) : Bytes(); }
Bytes Iota(size_t n, uint8_t first) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(first + i);
    return b;
}

// Exact-size copies of input and output, so ASan sees any access past either.
std::pair<uint32_t, Bytes> Decode(const Bytes& stream, size_t capacity) {
    Bytes source(stream), out(capacity);
    uint8_t dummy = 0;
    const uint32_t n = DecompressStream(source.empty() ? &dummy : source.data(), source.size(),
                                        out.empty() ? &dummy : out.data(), out.size());
    out.resize(n <= capacity ? n : 0);
    return {n, out};
}

Bytes Compress(const Bytes& data) {
    Bytes out(JdlzCompressBound(data.size()));
    const uint32_t n = CompressJdlz(data.data(), uint32_t(data.size()), out.data(), out.size());
    EXPECT_GT(n, 0u);
    out.resize(n);
    return out;
}

// A back-reference copied the plain way; one before the start copies zeros.
void CopyBack(Bytes& out, size_t dist, size_t len) {
    while (len--) out.push_back(dist <= out.size() ? out[out.size() - dist] : 0);
}

// Noise, runs and repeated 8-byte blocks, like texture data.
Bytes Mixed(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes data;
    while (data.size() < size) {
        const uint32_t r = rng();
        Bytes unit(r % 3 == 0 ? 64 : 8);
        for (auto& b : unit) b = uint8_t(r % 3 == 0 ? rng() : rng() % 4);
        for (const Bytes& part : {Repeat(unit, r % 3 == 0 ? 1 : r % 40), Bytes(r % 5 ? 0 : r % 3000, 7)})
            data.insert(data.end(), part.begin(), part.end());
    }
    data.resize(size);
    return data;
}

// A de Bruijn prefix: no 3-byte string repeats, so every byte is a literal.
Bytes Incompressible(size_t size) {
    Bytes seq;
    int a[4] = {};
    auto gen = [&](auto&& self, int t, int p) -> void {
        if (seq.size() >= size) return;
        if (t > 3) {
            if (3 % p == 0) seq.insert(seq.end(), a + 1, a + 1 + p);
            return;
        }
        a[t] = a[t - p];
        self(self, t + 1, p);
        for (a[t] = a[t - p] + 1; a[t] < 256; ++a[t]) self(self, t + 1, t);
    };
    gen(gen, 1, 1);
    seq.resize(size);
    return seq;
}

TEST(Jdlz, RoundTripsVariedData) {
    // Runs past the longest match, periods of both match forms, matches at the farthest reach.
    for (const Bytes& data :
         {Bytes(), Bytes{0x42}, Bytes(5000, 'x'), Repeat(Iota(16, 100), 300), Repeat(Iota(17, 100), 4),
          Concat({Iota(34, 200), Incompressible(2030), Iota(34, 200)}), Incompressible(70000), Mixed(1 << 20, 1)})
        EXPECT_TRUE(Decode(Compress(data), data.size()) == std::make_pair(uint32_t(data.size()), data)) << data.size();
    // Three literals, flags padded with ones; a literal and a match of 7 at distance 1.
    Bytes abc = Header("JDLZ", 2, 0, 3, 21, {0xF8, 0xFF, 'a', 'b', 'c'});
    Bytes run = Header("JDLZ", 2, 0, 8, 21, {0xFE, 0xFF, 'a', 0x00, 0x04});
    abc[5] = run[5] = 0x10;
    EXPECT_EQ(Compress(ToBytes("abc")), abc);
    EXPECT_EQ(Compress(ToBytes("aaaaaaaa")), run);
}

TEST(Jdlz, RejectsReferencesOutsideTheOutput) {
    auto stream = [](uint32_t size, const Bytes& coded) { return Header("JDLZ", 2, 0, size, 0, coded); };
    EXPECT_EQ(Decode(stream(4, {0x02, 0x01, 'a', 0x00, 0x00}), 4).second, ToBytes("aaaa"));
    EXPECT_EQ(Decode(stream(4, {0x02, 0x01, 'a', 0x01, 0x00}), 4).first, 0u); // distance 2
    EXPECT_EQ(Decode(stream(3, {0x01, 0x00, 0x00, 0x00}), 3).first, 0u); // long form, empty
    EXPECT_EQ(Decode(stream(3, {0x02, 0x01, 'a', 0x00, 0x02}), 100).first, 0u); // past declared size
    Bytes bad = stream(4, {0x02, 0x01, 'a', 0x00, 0x00});
    bad[4] = 1;
    EXPECT_EQ(Decode(bad, 4).first, 0u);
}

TEST(Jdlz, BoundIsExactForIncompressibleData) {
    const Bytes source = Incompressible(70000);
    for (size_t n = 0; n <= 70000; n = n < 100 ? n + 1 : n * 3 / 2 / 8 * 8) {
        const size_t bound = JdlzCompressBound(n);
        Bytes out(bound);
        ASSERT_EQ(CompressJdlz(source.data(), uint32_t(n), out.data(), bound), bound) << n;
        ASSERT_EQ(CompressJdlz(source.data(), uint32_t(n), out.data(), bound - 1), 0u) << n;
    }
    // Eight literals reserve a final flag byte no command needs.
    const Bytes stream = Compress(Incompressible(8));
    ASSERT_EQ(stream.size(), 27u);
    EXPECT_EQ(Decode(Bytes(stream.begin(), stream.end() - 1), 8).first, 8u);
}

Bytes CompStream(const Bytes& payload, uint16_t mode) {
    return Header("COMP", 0, mode, 0, uint32_t(16 + payload.size()), payload);
}

// RFPK commands written by field, with the output they must produce.
struct RfpkBuilder {
    Bytes data, expected;
    void Literals(size_t n) {
        for (size_t i = 0; i < n; ++i) {
            data.push_back(uint8_t(expected.size() * 13 + expected.size() / 256));
            expected.push_back(data.back());
        }
    }
    void Match(Bytes code, uint32_t lit, uint32_t len, uint32_t dist) {
        data.insert(data.end(), code.begin(), code.end()), Literals(lit), CopyBack(expected, dist, len);
    }
    void Two(uint32_t lit, uint32_t len, uint32_t dist) {
        Match({uint8_t(lit | (len - 3) << 2 | ((dist - 1) >> 8) << 5), uint8_t(dist - 1)}, lit, len, dist);
    }
    void Three(uint32_t lit, uint32_t len, uint32_t dist) {
        Match({uint8_t(0x80 | (len - 4)), uint8_t(lit << 6 | (dist - 1) >> 8), uint8_t(dist - 1)}, lit, len, dist);
    }
    void Four(uint32_t lit, uint32_t len, uint32_t dist) {
        Match({uint8_t(0xC0 | lit | ((len - 5) >> 8) << 2 | ((dist - 1) >> 16) << 4), uint8_t((dist - 1) >> 8),
               uint8_t(dist - 1), uint8_t(len - 5)},
              lit, len, dist);
    }
    void LiteralBlock(uint32_t n) { data.push_back(uint8_t(0xE0 + n / 4 - 1)), Literals(n); } // n = 4..112
    void Stop(uint32_t lit) { data.push_back(uint8_t(0xFC | lit)), Literals(lit); }
    Bytes Stream(uint8_t f0) const {
        Bytes s = Header("RFPK", 0, 0, 0, 0, {f0, 0xFB});
        const int width = (f0 & 0x80) ? 4 : 3;
        for (int field = (f0 & 1) ? 2 : 1; field > 0; --field) {
            const uint32_t v = field == 2 ? 0xABCDEFu : uint32_t(expected.size());
            for (int i = width - 1; i >= 0; --i) s.push_back(uint8_t(v >> (8 * i)));
        }
        s.insert(s.end(), data.begin(), data.end());
        return s;
    }
};

TEST(Streams, RfpkDecodesEveryCommandAndSizeHeaderCompRawwAndUnknownMagic) {
    RfpkBuilder r;
    for (int i = 0; i < 700; ++i) r.LiteralBlock(112);
    r.Two(3, 10, 1024), r.Two(0, 3, 1), r.Three(2, 67, 16384), r.Four(1, 1028, 5);
    r.Four(0, 5, 65536 + 37), r.Stop(3); // 17-bit distance
    for (uint8_t f0 : {0x10, 0x11, 0x90}) {
        EXPECT_TRUE(Decode(r.Stream(f0), r.expected.size()).second == r.expected) << int(f0);
    }
    r.expected.push_back(0); // declares one byte more than the commands make
    EXPECT_EQ(Decode(r.Stream(0x10), r.expected.size()).first, 0u);
    RfpkBuilder before; // a reference before the start
    before.LiteralBlock(4), before.Two(0, 3, 5), before.Stop(0);
    EXPECT_EQ(Decode(before.Stream(0x10), 100).first, 0u);

    // COMP, RAWW and an unknown magic.
    const Bytes stored = ToBytes("stored payload");
    EXPECT_TRUE(Decode(CompStream(stored, 1), 100).second == stored);
    // 16 literals as a group, then item by item: match 18 at 16, 'x', match 3 at 1, 13 literals.
    const Bytes digits = ToBytes("0123456789ABCDEF"), tail = ToBytes("thirteen more");
    const Bytes stream = CompStream(Concat({{0, 0}, digits, {0x05, 0x00, 0x0F, 0x10, 'x', 0x00, 0x01}, tail}), 0);
    Bytes expected = digits;
    CopyBack(expected, 16, 18), expected.push_back('x'), CopyBack(expected, 1, 3);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Decode(stream, 4096).second, expected);
    EXPECT_EQ(Decode(stream, expected.size() - 1).first, 0u);
    EXPECT_EQ(Decode(CompStream({0x01, 0x00, 0x00, 0x00}, 0), 100).first, 0u); // distance 0
    Bytes longer = CompStream(stored, 1);
    StoreU32(&longer[12], uint32_t(longer.size() + 1));
    EXPECT_EQ(Decode(longer, 100).first, 0u);

    Bytes raww = Header("RAWW", 1, 0, 3, 0, {1, 2, 3});
    EXPECT_EQ(Decode(raww, 3).second, (Bytes{1, 2, 3}));
    EXPECT_EQ(Decode(raww, 2).first, 0u);
    StoreU32(&raww[8], 4);
    EXPECT_EQ(Decode(raww, 4).first, 0u);

    EXPECT_EQ(Decode(Header("RAWX", 1, 0, 1, 0, {5}), 16).first, 0u);
    uint8_t out[4];
    EXPECT_EQ(DecompressStream(nullptr, 16, out, 4), 0u);
    EXPECT_EQ(CompressJdlz(nullptr, 1, out, sizeof out), 0u);
}

// Most significant bit first, as the HUFF reader reads.
struct BitWriter {
    Bytes bytes;
    size_t used = 0;
    void Put(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i, ++used) {
            if (used % 8 == 0) bytes.push_back(0);
            if (value >> i & 1) bytes.back() |= uint8_t(0x80 >> used % 8);
        }
    }
    void Number(uint32_t v) { // v + 4 in n + 1 bits after n - 2 zeros
        const int n = std::bit_width(v + 4) - 1;
        Put(0, n - 2), Put(v + 4, n + 1);
    }
};

// Tokens: 's' symbol, 'r' run of the last byte, 'l' escaped literal, 'e' end mark.
using HuffCode = std::vector<std::pair<uint8_t, int>>; // code order, lengths ascending
const HuffCode kCode = {{'a', 1}, {'b', 2}, {0, 3}, {'c', 3}}; // escape 0
const std::vector<std::pair<char, uint32_t>> kMessage = {{'s', 'a'}, {'s', 'b'}, {'s', 'c'}, {'r', 3},
                                                         {'l', 0},   {'s', 'a'}, {'e', 0}};

Bytes HuffStream(uint16_t type, uint32_t size, const std::vector<std::pair<char, uint32_t>>& tokens = kMessage) {
    BitWriter w;
    const int width = (type & 0x8000) ? 32 : 24;
    w.Put(type, 16);
    if (type & 0x100) w.Put(12345, width);
    w.Put(size, width), w.Put(0, 8);
    std::pair<uint32_t, int> codes[256] = {};
    uint32_t next = 0;
    for (int len = 1, i = 0; len <= kCode.back().second; ++len) {
        next <<= 1;
        uint32_t k = 0;
        for (; i < int(kCode.size()) && kCode[i].second == len; ++i, ++k) codes[kCode[i].first] = {next++, len};
        w.Number(k);
    }
    bool used[256] = {};
    int cursor = 255;
    for (auto [symbol, len] : kCode) {
        uint32_t step = 0; // unused values passed before the symbol
        for (int c = (cursor + 1) & 255; c != symbol; c = (c + 1) & 255) step += !used[c];
        w.Number(step);
        used[symbol] = true, cursor = symbol;
    }
    auto put = [&](uint32_t s) { w.Put(codes[s].first, codes[s].second); };
    for (auto [kind, value] : tokens) {
        put(kind == 's' ? value : 0);
        if (kind == 's') continue;
        w.Number(kind == 'r' ? value : 0);
        if (kind != 'r') w.Put(kind == 'e', 1);
        if (kind == 'l') w.Put(value, 8);
    }
    if (w.bytes.size() % 2) w.bytes.push_back(0);
    return Header("HUFF", 1, 0, size, 0, w.bytes);
}

TEST(Huff, DecodesSymbolsRunsEscapesAndSums) {
    for (uint16_t type : {0x30FB, 0x31FB, 0xB0FB, 0xB1FB})
        EXPECT_EQ(Decode(HuffStream(type, 8), 8).second, (Bytes{'a', 'b', 'c', 'c', 'c', 'c', 0, 'a'})) << type;
    for (uint16_t type : {0x32FB, 0xB2FB})
        EXPECT_EQ(Decode(HuffStream(type, 8), 8).second, (Bytes{97, 195, 38, 137, 236, 79, 79, 176})) << type;
    EXPECT_EQ(Decode(HuffStream(0x34FB, 8), 8).second, (Bytes{97, 36, 74, 211, 191, 14, 93, 13}));
    // End mark before or after the declared size; a run with nothing to repeat.
    EXPECT_EQ(Decode(HuffStream(0x30FB, 9), 9).first, 0u);
    EXPECT_EQ(Decode(HuffStream(0x30FB, 7), 100).first, 0u);
    EXPECT_EQ(Decode(HuffStream(0x30FB, 2, {{'r', 2}, {'e', 0}}), 2).first, 0u);
}

TEST(Streams, SurviveTruncationAndCorruption) {
    RfpkBuilder rfpk;
    rfpk.LiteralBlock(40), rfpk.Two(2, 6, 30), rfpk.Three(1, 20, 40), rfpk.Four(3, 300, 7), rfpk.Stop(2);
    const std::pair<Bytes, size_t> streams[] = {
        {Compress(Mixed(6000, 3)), 6000},
        {rfpk.Stream(0x11), rfpk.expected.size()},
        {CompStream({0x14, 0x00, 'a', 'b', 0x00, 0x01, 'c', 0x01, 0x03, 'd', 'e'}, 0), 12},
        {HuffStream(0x34FB, 8), 8},
        {Header("RAWW", 1, 0, 40, 0, Bytes(40, 0x5A)), 40},
    };
    std::mt19937 rng(7);
    for (const auto& [stream, size] : streams) {
        const std::string kind(stream.begin(), stream.begin() + 4);
        ASSERT_EQ(Decode(stream, size).first, size) << kind;
        EXPECT_EQ(Decode(stream, size - 1).first, 0u) << kind; // destination too small
        for (size_t len = 0; len < stream.size(); ++len) {
            const uint32_t n = Decode(Bytes(stream.begin(), stream.begin() + len), size).first;
            ASSERT_TRUE(n == 0 || n == size) << kind << " prefix " << len;
        }
        for (int round = 0; round < 400; ++round) {
            Bytes bad = stream;
            for (int flips = 1 + rng() % 4; flips > 0; --flips) bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
            ASSERT_LE(Decode(bad, size).first, size) << kind;
            Decode(bad, size / 2 + 1);
        }
    }
}

} // namespace
} // namespace zelko
