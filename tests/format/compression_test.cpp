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
using Command = std::pair<uint32_t, uint32_t>; // (length, distance); a literal is (1, 0)

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

void Put32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

Bytes Header(const char* magic, uint8_t b4, uint16_t at6, uint32_t at8, uint32_t at12)
{
    Bytes h(16, 0);
    std::memcpy(h.data(), magic, 4);
    h[4] = b4;
    h[6] = uint8_t(at6);
    h[7] = uint8_t(at6 >> 8);
    Put32(h, 8, at8);
    Put32(h, 12, at12);
    return h;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Repeat(const Bytes& unit, size_t times)
{
    Bytes all;
    while (times-- > 0)
        all.insert(all.end(), unit.begin(), unit.end());
    return all;
}

Bytes Iota(size_t n, uint8_t first)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(first + i);
    return b;
}

// Decodes into a buffer of exactly `capacity` bytes so that ASan sees any
// write past it; the stream is copied so reads past it are caught too.
std::pair<uint32_t, Bytes> Decode(const Bytes& stream, size_t capacity)
{
    Bytes source(stream), out(capacity);
    uint8_t dummy = 0;
    const uint32_t n = DecompressStream(source.empty() ? &dummy : source.data(), source.size(),
                                        out.empty() ? &dummy : out.data(), out.size());
    out.resize(n <= capacity ? n : 0);
    return {n, out};
}

Bytes Compress(const Bytes& data)
{
    Bytes out(JdlzCompressBound(data.size()));
    const uint32_t n = CompressJdlz(data.data(), uint32_t(data.size()), out.data(), out.size());
    EXPECT_GT(n, 0u);
    out.resize(n);
    return out;
}

// The commands of a JDLZ stream, read the plain way.
std::vector<Command> Commands(const Bytes& s)
{
    std::vector<Command> commands;
    size_t in = 18, produced = 0;
    uint32_t a = s[16] | 0x100u, b = s[17] | 0x100u;
    auto reload = [&](uint32_t& f) {
        if (f == 1 && in < s.size())
            f = s[in++] | 0x100u;
    };
    while (produced < size_t(s[8] | s[9] << 8 | s[10] << 16)) {
        if (a & 1) {
            const uint32_t b0 = s[in], b1 = s[in + 1];
            in += 2;
            if (b & 1)
                commands.push_back({(((b0 & 0xF0) << 4) | b1) + 3, (b0 & 0x0F) + 1});
            else
                commands.push_back({(b0 & 0x1F) + 3, (((b0 & 0xE0) << 3) | b1) + 17});
            a >>= 1;
            b >>= 1;
            reload(a);
            reload(b);
        } else {
            commands.push_back({1, 0});
            ++in;
            a >>= 1;
            reload(a);
        }
        produced += commands.back().first;
    }
    return commands;
}

// Compresses, checks the stream decodes back, returns its commands.
std::vector<Command> RoundTrip(const Bytes& data)
{
    const Bytes stream = Compress(data);
    EXPECT_LE(stream.size(), JdlzCompressBound(data.size()));
    EXPECT_EQ(stream[8] | stream[9] << 8 | stream[10] << 16 | stream[11] << 24, int(data.size()));
    const auto [n, out] = Decode(stream, data.size());
    EXPECT_EQ(n, data.size());
    EXPECT_TRUE(out == data) << "size " << data.size();
    return Commands(stream);
}

// Copies a back-reference the plain way, to build expected outputs; one
// reaching before the start (for streams that must fail) copies zeros.
void CopyBack(Bytes& out, size_t dist, size_t len)
{
    for (size_t i = 0; i < len; ++i)
        out.push_back(dist <= out.size() ? out[out.size() - dist] : 0);
}

// Noise, runs and repeated 8-byte blocks, like texture data.
Bytes Mixed(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes data;
    while (data.size() < size) {
        const uint32_t r = rng();
        Bytes unit(r % 3 == 0 ? 64 : 8);
        for (auto& b : unit)
            b = uint8_t(r % 3 == 0 ? rng() : rng() % 4);
        for (const Bytes& part : {Repeat(unit, r % 3 == 0 ? 1 : r % 40), Bytes(r % 5 ? 0 : r % 3000, 7)})
            data.insert(data.end(), part.begin(), part.end());
    }
    data.resize(size);
    return data;
}

// A prefix of a de Bruijn sequence over bytes: no 3-byte string repeats, so
// the encoder finds no match and must emit every byte as a literal.
Bytes Incompressible(size_t size)
{
    Bytes seq;
    int a[4] = {};
    auto gen = [&](auto&& self, int t, int p) -> void {
        if (seq.size() >= size)
            return;
        if (t > 3) {
            if (3 % p == 0)
                seq.insert(seq.end(), a + 1, a + 1 + p);
            return;
        }
        a[t] = a[t - p];
        self(self, t + 1, p);
        for (a[t] = a[t - p] + 1; a[t] < 256; ++a[t])
            self(self, t + 1, t);
    };
    gen(gen, 1, 1);
    seq.resize(size);
    return seq;
}

TEST(Jdlz, RoundTripsVariedData)
{
    RoundTrip({});
    RoundTrip({0x42});
    RoundTrip(Incompressible(70000));
    RoundTrip(Mixed(1 << 20, 1));
    std::mt19937 rng(2);
    for (size_t size : {2, 3, 4, 35, 2065, 4099, 4100, 10000}) {
        Bytes data(size);
        for (auto& b : data)
            b = uint8_t(rng() % 3); // many short and long candidates
        RoundTrip(data);
    }
}

TEST(Jdlz, EncodesTinyInputsExactly)
{
    // Three literals: flags A = 0,0,0 padded with ones; B unused.
    Bytes abc = Header("JDLZ", 2, 0, 3, 21);
    abc[5] = 0x10;
    abc.insert(abc.end(), {0xF8, 0xFF, 'a', 'b', 'c'});
    EXPECT_EQ(Compress(ToBytes("abc")), abc);
    RoundTrip(ToBytes("abc"));

    // A literal, then a short-form match of 7 at distance 1.
    Bytes run = Header("JDLZ", 2, 0, 8, 21);
    run[5] = 0x10;
    run.insert(run.end(), {0xFE, 0xFF, 'a', 0x00, 0x04});
    EXPECT_EQ(Compress(ToBytes("aaaaaaaa")), run);

    // 5,000 equal bytes: a literal, then distance-1 matches of 4,098 and 901.
    const Bytes longRun = Compress(Bytes(5000, 'x'));
    EXPECT_EQ(Bytes(longRun.begin() + 16, longRun.end()),
              (Bytes{0xFE, 0xFF, 'x', 0xF0, 0xFF, 0x30, 0x82}));
    RoundTrip(Bytes(5000, 'x'));
}

TEST(Jdlz, UsesBothMatchFormsUpToTheirLimits)
{
    // Period 16 is still the short form, up to 4,098 bytes a match.
    std::vector<Command> expected(16, Command{1, 0});
    expected.insert(expected.end(), {{4098, 16}, {686, 16}});
    EXPECT_EQ(RoundTrip(Repeat(Iota(16, 100), 300)), expected);
    // Period 17 needs the long form, 34 bytes at most.
    expected.assign(17, Command{1, 0});
    expected.insert(expected.end(), {{34, 17}, {17, 17}});
    EXPECT_EQ(RoundTrip(Repeat(Iota(17, 100), 4)), expected);
    // The farthest reach is 2,064 bytes.
    const Bytes marker = Iota(34, 200); // no 3 bytes of it occur in the filler
    const Bytes filler = Incompressible(2031);
    auto last = [&](size_t fillerSize) {
        return RoundTrip(Concat({marker, Bytes(filler.begin(), filler.begin() + fillerSize), marker}))
            .back();
    };
    EXPECT_EQ(last(2030), (Command{34, 2064}));
    EXPECT_EQ(last(2031), (Command{1, 0}));
}

TEST(Jdlz, KeepsALongNearMatchOverAFartherLongerOne)
{
    // far = (ab)^33 T, later (ab)^50 T. At the start of the second run the
    // candidates (all far) grow 4, 6, ..., 34, 36: 36 still replaces 34 but
    // nothing replaces 36, so a 34-byte long-form match at that distance is
    // sent. Then the run itself gives 66 bytes at distance 2, which the
    // farther 106-byte candidate may not replace. T follows from far.
    const Bytes tail = Iota(40, 210);
    const Bytes far = Concat({Repeat({200, 201}, 33), tail});
    const Bytes data = Concat({far, Incompressible(300), Repeat({200, 201}, 50), tail});
    const size_t start = far.size() + 300;
    std::vector<Command> fromStart;
    size_t at = 0;
    for (Command command : RoundTrip(data)) {
        if (at >= start)
            fromStart.push_back(command);
        at += command.first;
    }
    const uint32_t farTail = uint32_t(start + 100 - 66);
    EXPECT_EQ(fromStart,
              (std::vector<Command>{{34, uint32_t(start - 30)}, {66, 2}, {34, farTail}, {6, farTail}}));
}

TEST(Jdlz, RejectsReferencesOutsideTheOutput)
{
    auto stream = [](uint32_t size, const Bytes& coded) {
        Bytes s = Header("JDLZ", 2, 0, size, 0);
        s.insert(s.end(), coded.begin(), coded.end());
        return s;
    };
    // Literal 'a', then a short match of 3 at distance 1 (b0 = 0x00, b1 = 0x00).
    EXPECT_EQ(Decode(stream(4, {0x02, 0x01, 'a', 0x00, 0x00}), 4).second, ToBytes("aaaa"));
    // The same at distance 2, before the start.
    EXPECT_EQ(Decode(stream(4, {0x02, 0x01, 'a', 0x01, 0x00}), 4).first, 0u);
    // A long-form match (distance 17) with nothing written yet.
    EXPECT_EQ(Decode(stream(3, {0x01, 0x00, 0x00, 0x00}), 3).first, 0u);
    // 1 + 5 bytes against a declared size of 3, even with room to spare.
    EXPECT_EQ(Decode(stream(3, {0x02, 0x01, 'a', 0x00, 0x02}), 100).first, 0u);
    // Wrong version byte.
    Bytes bad = stream(4, {0x02, 0x01, 'a', 0x00, 0x00});
    bad[4] = 1;
    EXPECT_EQ(Decode(bad, 4).first, 0u);
}

TEST(Jdlz, ToleratesAMissingFinalFlagByte)
{
    // Eight literals complete flag byte A, so the encoder reserves one more
    // at the very end that no command needs.
    const Bytes stream = Compress(Incompressible(8));
    ASSERT_EQ(stream.size(), 27u);
    EXPECT_EQ(Decode(Bytes(stream.begin(), stream.end() - 1), 8).first, 8u);
}

TEST(Jdlz, BoundCoversIncompressibleData)
{
    std::vector<size_t> sizes;
    for (size_t n = 0; n <= 100; ++n)
        sizes.push_back(n);
    for (size_t n = 104; n <= 70000; n = n * 3 / 2 / 8 * 8)
        sizes.push_back(n);
    const Bytes source = Incompressible(70000);
    for (size_t n : sizes) {
        const size_t bound = JdlzCompressBound(n);
        Bytes out(bound);
        // All literals: the bound is reached exactly, and one byte less fails.
        ASSERT_EQ(CompressJdlz(source.data(), uint32_t(n), out.data(), bound), bound) << n;
        ASSERT_EQ(CompressJdlz(source.data(), uint32_t(n), out.data(), bound - 1), 0u) << n;
    }
    EXPECT_EQ(JdlzCompressBound(8), 27u);
}

// RFPK commands written by field, with the output they must produce.
struct RfpkBuilder {
    Bytes data, expected;
    void Literals(size_t n)
    {
        for (size_t i = 0; i < n; ++i) {
            data.push_back(uint8_t(expected.size() * 13 + expected.size() / 256));
            expected.push_back(data.back());
        }
    }
    void Two(uint32_t lit, uint32_t len, uint32_t dist)
    {
        data.insert(data.end(), {uint8_t(lit | (len - 3) << 2 | ((dist - 1) >> 8) << 5), uint8_t(dist - 1)});
        Then(lit, len, dist);
    }
    void Three(uint32_t lit, uint32_t len, uint32_t dist)
    {
        data.insert(data.end(), {uint8_t(0x80 | (len - 4)), uint8_t(lit << 6 | (dist - 1) >> 8),
                                 uint8_t(dist - 1)});
        Then(lit, len, dist);
    }
    void Four(uint32_t lit, uint32_t len, uint32_t dist)
    {
        data.insert(data.end(), {uint8_t(0xC0 | lit | ((len - 5) >> 8) << 2 | ((dist - 1) >> 16) << 4),
                                 uint8_t((dist - 1) >> 8), uint8_t(dist - 1), uint8_t(len - 5)});
        Then(lit, len, dist);
    }
    void LiteralBlock(uint32_t n) // n a multiple of 4, 4..112
    {
        data.push_back(uint8_t(0xE0 + n / 4 - 1));
        Literals(n);
    }
    void Stop(uint32_t lit)
    {
        data.push_back(uint8_t(0xFC | lit));
        Literals(lit);
    }
    void Then(uint32_t lit, uint32_t len, uint32_t dist)
    {
        Literals(lit);
        CopyBack(expected, dist, len);
    }
    Bytes Stream(uint8_t f0) const
    {
        Bytes s = Header("RFPK", 0, 0, 0, 0);
        s.insert(s.end(), {f0, 0xFB});
        const int width = (f0 & 0x80) ? 4 : 3;
        for (int field = (f0 & 1) ? 2 : 1; field > 0; --field) {
            const uint32_t v = field == 2 ? 0xABCDEFu : uint32_t(expected.size());
            for (int i = width - 1; i >= 0; --i)
                s.push_back(uint8_t(v >> (8 * i)));
        }
        s.insert(s.end(), data.begin(), data.end());
        return s;
    }
};

RfpkBuilder SampleRfpk()
{
    RfpkBuilder r;
    for (int i = 0; i < 150; ++i)
        r.LiteralBlock(112);
    r.Two(3, 10, 1024);
    r.Two(0, 3, 1);
    r.Three(2, 67, 16384);
    r.Four(1, 1028, 5);
    r.Stop(3);
    return r;
}

TEST(Rfpk, DecodesEveryCommandAndSizeHeader)
{
    const RfpkBuilder r = SampleRfpk();
    for (uint8_t f0 : {0x10, 0x11, 0x90}) {
        const auto [n, out] = Decode(r.Stream(f0), r.expected.size());
        EXPECT_EQ(n, r.expected.size()) << int(f0);
        EXPECT_TRUE(out == r.expected) << int(f0);
    }
    // The 17-bit distance of the four-byte command.
    RfpkBuilder far;
    for (int i = 0; i < 700; ++i)
        far.LiteralBlock(112);
    far.Four(0, 5, 65536 + 37);
    far.Stop(0);
    EXPECT_TRUE(Decode(far.Stream(0x10), far.expected.size()).second == far.expected);
}

TEST(Rfpk, RejectsBadReferencesAndShortOutput)
{
    RfpkBuilder before;
    before.LiteralBlock(4);
    before.Two(0, 3, 5);
    before.Stop(0);
    EXPECT_EQ(Decode(before.Stream(0x10), 100).first, 0u);
    RfpkBuilder r = SampleRfpk();
    r.expected.push_back(0); // declares one byte more than the commands make
    EXPECT_EQ(Decode(r.Stream(0x10), r.expected.size()).first, 0u);
}

Bytes CompStream(const Bytes& payload, uint16_t mode)
{
    Bytes s = Header("COMP", 0, mode, 0, uint32_t(16 + payload.size()));
    s.insert(s.end(), payload.begin(), payload.end());
    return s;
}

TEST(Comp, DecodesStoredAndCodedData)
{
    const Bytes stored = ToBytes("stored payload");
    EXPECT_TRUE(Decode(CompStream(stored, 1), 100).second == stored);

    // A full group of 16 literals, then a group handled item by item because
    // fewer than 32 bytes remain: match 18 at distance 16, 'x', match 3 at
    // distance 1, 13 literals.
    Bytes coded = {0x00, 0x00};
    const Bytes digits = ToBytes("0123456789ABCDEF");
    coded.insert(coded.end(), digits.begin(), digits.end());
    coded.insert(coded.end(), {0x05, 0x00, 0x0F, 0x10, 'x', 0x00, 0x01});
    const Bytes tail = ToBytes("thirteen more");
    coded.insert(coded.end(), tail.begin(), tail.end());
    Bytes expected = digits;
    CopyBack(expected, 16, 18);
    expected.push_back('x');
    CopyBack(expected, 1, 3);
    expected.insert(expected.end(), tail.begin(), tail.end());
    const Bytes stream = CompStream(coded, 0);
    EXPECT_EQ(Decode(stream, 4096).second, expected);
    EXPECT_EQ(Decode(stream, expected.size() - 1).first, 0u);

    // Distance 0 and a total size beyond the data.
    EXPECT_EQ(Decode(CompStream({0x01, 0x00, 0x00, 0x00}, 0), 100).first, 0u);
    Bytes longer = CompStream(stored, 1);
    Put32(longer, 12, uint32_t(longer.size() + 1));
    EXPECT_EQ(Decode(longer, 100).first, 0u);
}

TEST(Raww, CopiesItsPayload)
{
    Bytes s = Header("RAWW", 1, 0, 3, 0);
    s.insert(s.end(), {1, 2, 3});
    EXPECT_EQ(Decode(s, 3).second, (Bytes{1, 2, 3}));
    EXPECT_EQ(Decode(s, 2).first, 0u);
    Put32(s, 8, 4);
    EXPECT_EQ(Decode(s, 4).first, 0u);
    s[4] = 2;
    EXPECT_EQ(Decode(s, 4).first, 0u);
}

TEST(Streams, RejectsUnknownMagicAndNullPointers)
{
    Bytes s = Header("RAWX", 1, 0, 1, 0);
    s.push_back(5);
    EXPECT_EQ(Decode(s, 16).first, 0u);
    uint8_t out[4];
    EXPECT_EQ(DecompressStream(nullptr, 16, out, 4), 0u);
    s[3] = 'W';
    EXPECT_EQ(DecompressStream(s.data(), s.size(), nullptr, 4), 0u);
    EXPECT_EQ(DecompressStream(s.data(), s.size(), out, 4), 1u);

    uint8_t packed[32];
    EXPECT_EQ(CompressJdlz(nullptr, 0, packed, sizeof packed), 18u); // empty input
    EXPECT_EQ(CompressJdlz(nullptr, 1, packed, sizeof packed), 0u);
    EXPECT_EQ(CompressJdlz(out, 1, nullptr, sizeof packed), 0u);
}

// Writes most significant bit first, like the HUFF reader reads.
struct BitWriter {
    Bytes bytes;
    size_t used = 0;
    void Put(uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i, ++used) {
            if (used % 8 == 0)
                bytes.push_back(0);
            if (value >> i & 1)
                bytes.back() |= uint8_t(0x80 >> used % 8);
        }
    }
    // A variable-length number: v + 4 in n + 1 bits after n - 2 zeros.
    void Number(uint32_t v)
    {
        const int n = std::bit_width(v + 4) - 1;
        Put(0, n - 2);
        Put(v + 4, n + 1);
    }
};

struct HuffToken {
    char kind; // 's' symbol, 'r' run of the last byte, 'l' escaped literal, 'e' end mark
    uint32_t value;
};
using HuffCode = std::vector<std::pair<uint8_t, int>>; // code order, lengths ascending

Bytes HuffStream(uint16_t type, uint32_t size, uint8_t escape, const HuffCode& code,
                 const std::vector<HuffToken>& tokens)
{
    BitWriter w;
    const int width = (type & 0x8000) ? 32 : 24;
    w.Put(type, 16);
    if (type & 0x100)
        w.Put(12345, width);
    w.Put(size, width);
    w.Put(escape, 8);
    std::pair<uint32_t, int> codes[256] = {};
    uint32_t next = 0;
    for (int len = 1, i = 0; len <= code.back().second; ++len) {
        next <<= 1;
        uint32_t k = 0;
        for (; i < int(code.size()) && code[i].second == len; ++i, ++k)
            codes[code[i].first] = {next++, len};
        w.Number(k);
    }
    bool used[256] = {};
    int cursor = 255;
    for (auto [symbol, len] : code) {
        uint32_t step = 0; // unused values passed before reaching the symbol
        for (int c = (cursor + 1) & 255; c != symbol; c = (c + 1) & 255)
            step += !used[c];
        w.Number(step);
        used[symbol] = true;
        cursor = symbol;
    }
    auto put = [&](uint32_t s) { w.Put(codes[s].first, codes[s].second); };
    for (auto [kind, value] : tokens) {
        if (kind == 's') {
            put(value);
            continue;
        }
        put(escape);
        w.Number(kind == 'r' ? value : 0);
        if (kind != 'r')
            w.Put(kind == 'e', 1);
        if (kind == 'l')
            w.Put(value, 8);
    }
    if (w.bytes.size() % 2)
        w.bytes.push_back(0);
    Bytes s = Header("HUFF", 1, 0, size, 0);
    s.insert(s.end(), w.bytes.begin(), w.bytes.end());
    return s;
}

const HuffCode kSmallCode = {{'a', 1}, {'b', 2}, {0, 3}, {'c', 3}}; // escape 0
const std::vector<HuffToken> kSmallMessage = {{'s', 'a'}, {'s', 'b'}, {'s', 'c'}, {'r', 3},
                                              {'l', 0},   {'s', 'a'}, {'e', 0}};
const Bytes kSmallPlain = {'a', 'b', 'c', 'c', 'c', 'c', 0, 'a'};

TEST(Huff, DecodesSymbolsRunsEscapesAndFilters)
{
    for (uint16_t type : {0x30FB, 0x31FB, 0xB0FB, 0xB1FB})
        EXPECT_EQ(Decode(HuffStream(type, 8, 0, kSmallCode, kSmallMessage), 8).second, kSmallPlain)
            << type;
    const Bytes sum = {97, 195, 38, 137, 236, 79, 79, 176};
    const Bytes doubleSum = {97, 36, 74, 211, 191, 14, 93, 13};
    for (uint16_t type : {0x32FB, 0xB2FB, 0x33FB})
        EXPECT_EQ(Decode(HuffStream(type, 8, 0, kSmallCode, kSmallMessage), 8).second, sum) << type;
    for (uint16_t type : {0x34FB, 0xB4FB, 0x35FB})
        EXPECT_EQ(Decode(HuffStream(type, 8, 0, kSmallCode, kSmallMessage), 8).second, doubleSum)
            << type;
}

TEST(Huff, DecodesCodesLongerThanTheQuickTable)
{
    // Lengths 1..10 once each and 11 twice; the escape 0xEE has length 10.
    const HuffCode code = {{'a', 1}, {'b', 2}, {'c', 3}, {'d', 4},    {'e', 5},  {'f', 6},
                           {'g', 7}, {'h', 8}, {'i', 9}, {0xEE, 10}, {'j', 11}, {'k', 11}};
    const Bytes stream = HuffStream(0x30FB, 8, 0xEE, code,
                                    {{'s', 'k'}, {'s', 'i'}, {'s', 'a'}, {'s', 'h'}, {'r', 2},
                                     {'l', 0xEE}, {'s', 'j'}, {'e', 0}});
    EXPECT_EQ(Decode(stream, 8).second, (Bytes{'k', 'i', 'a', 'h', 'h', 'h', 0xEE, 'j'}));
}

TEST(Huff, RejectsInconsistentStreams)
{
    // The end mark before or after the declared size.
    Bytes s = HuffStream(0x30FB, 9, 0, kSmallCode, kSmallMessage);
    EXPECT_EQ(Decode(s, 9).first, 0u);
    s = HuffStream(0x30FB, 7, 0, kSmallCode, kSmallMessage);
    EXPECT_EQ(Decode(s, 100).first, 0u);
    // Header and coded sizes that disagree.
    s = HuffStream(0x30FB, 8, 0, kSmallCode, kSmallMessage);
    Put32(s, 8, 9);
    EXPECT_EQ(Decode(s, 9).first, 0u);
    // A run with no byte before it to repeat.
    EXPECT_EQ(Decode(HuffStream(0x30FB, 2, 0, kSmallCode, {{'r', 2}, {'e', 0}}), 2).first, 0u);

    auto header = [] {
        BitWriter w;
        w.Put(0x30FB, 16);
        w.Put(1, 24);
        w.Put(0, 8);
        return w;
    };
    auto stream = [](BitWriter w) {
        w.Put(0, 32);
        w.Put(0, 32);
        Bytes s = Header("HUFF", 1, 0, 1, 0);
        s.insert(s.end(), w.bytes.begin(), w.bytes.end());
        return s;
    };
    // A run of 2^18 - 1 needs 16 zero bits before its number, a length
    // whose reading is not settled.
    EXPECT_EQ(Decode(HuffStream(0x30FB, 1 << 18, 0, kSmallCode, {{'s', 'a'}, {'r', 262143}, {'e', 0}}),
                     1 << 18).first, 0u);
    // Four codes of length 1: over-subscribed.
    BitWriter w = header();
    w.Number(4);
    EXPECT_EQ(Decode(stream(w), 1).first, 0u);
}

// One valid stream of every kind with its decoded size.
std::vector<std::pair<Bytes, size_t>> ValidStreams()
{
    RfpkBuilder rfpk;
    rfpk.LiteralBlock(40);
    rfpk.Two(2, 6, 30);
    rfpk.Three(1, 20, 40);
    rfpk.Four(3, 300, 7);
    rfpk.Stop(2);
    Bytes raww = Header("RAWW", 1, 0, 40, 0);
    raww.resize(56, 0x5A);
    return {
        {Compress(Mixed(6000, 3)), 6000},
        {rfpk.Stream(0x11), rfpk.expected.size()},
        {CompStream({0x14, 0x00, 'a', 'b', 0x00, 0x01, 'c', 0x01, 0x03, 'd', 'e'}, 0), 12},
        {HuffStream(0x34FB, 8, 0, kSmallCode, kSmallMessage), 8},
        {raww, 40},
    };
}

TEST(Streams, SurviveTruncationAndCorruption)
{
    std::mt19937 rng(7);
    for (const auto& [stream, size] : ValidStreams()) {
        const std::string kind(stream.begin(), stream.begin() + 4);
        ASSERT_EQ(Decode(stream, size).first, size) << kind;
        EXPECT_EQ(Decode(stream, size - 1).first, 0u) << kind;
        for (size_t len = 0; len < stream.size(); ++len) {
            const uint32_t n = Decode(Bytes(stream.begin(), stream.begin() + len), size).first;
            ASSERT_TRUE(n == 0 || n == size) << kind << " prefix " << len;
        }
        for (int round = 0; round < 400; ++round) {
            Bytes bad = stream;
            for (int flips = 1 + rng() % 4; flips > 0; --flips)
                bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
            ASSERT_LE(Decode(bad, size).first, size) << kind;
            Decode(bad, size / 2 + 1);
        }
    }
}

} // namespace
} // namespace zelko
