// "HUFF" streams: a canonical Huffman code over bytes with an escape symbol
// for runs, literal escapes and the end mark, then an optional running-sum
// filter. The coded data is a bit stream read most significant bit first.
#include "format/Compression.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zelko::detail {
namespace {

constexpr int kMaxCodeLength = 16; // codes are matched against a 16-bit window
constexpr int kQuickBits = 8;
constexpr uint8_t kLongCode = 64; // quick-table marker: code longer than 8 bits
constexpr uint8_t kEscapeCode = 96; // quick-table marker: the escape symbol

// Bits are kept left-aligned in a 64-bit buffer. Past the end of the data it
// supplies zero bits, so peeking ahead is always safe (the format reads two
// bytes at a time, so a final peek may reach beyond the data); consuming any
// of those bits marks the stream as overrun.
class BitReader {
public:
    BitReader(const uint8_t* data, const uint8_t* end) : next_(data), end_(end) {}

    void Need(int n) {
        if (count_ >= n) return;
        while (count_ <= 56) {
            uint64_t byte = 0;
            if (next_ < end_)
                byte = *next_++;
            else
                ++padBytes_;
            bits_ |= byte << (56 - count_);
            count_ += 8;
        }
    }
    // n in 1..32; the caller has made n bits available.
    uint32_t Peek(int n) const { return uint32_t(bits_ >> (64 - n)); }
    void Skip(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    uint32_t Read(int n) {
        Need(n);
        const uint32_t value = Peek(n);
        Skip(n);
        return value;
    }
    bool Overrun() const { return uint64_t(padBytes_) * 8 > uint64_t(count_); }

private:
    const uint8_t* next_;
    const uint8_t* end_;
    uint64_t bits_ = 0;
    int count_ = 0;
    uint32_t padBytes_ = 0;
};

// A 1 bit starts a 3-bit value v giving v - 4 (0..3). Otherwise z zero bits,
// a 1 bit and n = z + 2 bits b give b + 2^n - 4. The reading of 16 or more
// zeros (values from 2^18 - 4 up) is not settled, so such a prefix counts as
// corruption rather than a guess that could silently misplace every later
// bit. Code counts and symbol steps stay below 256; only a single run of more
// than 262,139 repeated bytes would need it.
bool ReadNumber(BitReader& bits, uint32_t& value) {
    bits.Need(16);
    const uint32_t window = bits.Peek(16);
    if (window & 0x8000) {
        value = bits.Read(3) - 4;
        return true;
    }
    if (window == 0) return false;
    const int zeros = std::countl_zero(window) - 16;
    bits.Skip(zeros + 1);
    const int n = zeros + 2;
    value = bits.Read(n) + (1u << n) - 4;
    return true;
}

struct HuffTables {
    uint32_t base[kMaxCodeLength + 1] = {}; // code - base = index into symbols
    uint32_t limit[kMaxCodeLength + 1] = {}; // first code past length L, 16-bit aligned
    uint32_t count[kMaxCodeLength + 1] = {};
    int maxLength = 0;
    uint32_t total = 0;
    uint8_t symbols[256] = {}; // in code order
    uint8_t quickLength[1 << kQuickBits]; // 1..8, or a marker
    uint8_t quickSymbol[1 << kQuickBits] = {};
    int escapeLength = 0;
};

// Reads the code-length counts. Only a complete code is accepted: it fills
// the quick table exactly and makes every 16-bit window decodable. An
// incomplete or over-subscribed code can only come from corrupt data.
bool ReadLengths(BitReader& bits, HuffTables& t) {
    uint32_t code = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        code <<= 1;
        t.base[length] = code - t.total;
        uint32_t k;
        if (!ReadNumber(bits, k) || k > 256 - t.total) return false;
        t.total += k;
        code += k;
        t.count[length] = k;
        t.limit[length] = k != 0 ? (code << (kMaxCodeLength - length)) & 0xFFFF : 0;
        if (k != 0 && t.limit[length] == 0) {
            t.maxLength = length;
            t.limit[length] = 0xFFFFFFFF;
            return code == 1u << length;
        }
    }
    return false;
}

// Symbols are given as steps over the byte values not used yet, starting
// after 255 and wrapping.
bool ReadSymbols(BitReader& bits, HuffTables& t) {
    bool used[256] = {};
    uint32_t unused = 256;
    uint32_t cursor = 255;
    for (uint32_t i = 0; i < t.total; ++i) {
        uint32_t step;
        if (!ReadNumber(bits, step)) return false;
        // A full turn passes every unused value once, so only the remainder
        // of the step matters; this bounds the walk at one turn.
        uint32_t left = step % unused + 1;
        for (;;) {
            cursor = (cursor + 1) & 0xFF;
            if (!used[cursor] && --left == 0) break;
        }
        used[cursor] = true;
        t.symbols[i] = uint8_t(cursor);
        --unused;
    }
    return true;
}

void BuildQuickTable(HuffTables& t, uint8_t escape) {
    std::memset(t.quickLength, kLongCode, sizeof t.quickLength);
    uint32_t entry = 0, index = 0;
    for (int length = 1; length <= std::min(t.maxLength, kQuickBits); ++length) {
        const uint32_t span = 1u << (kQuickBits - length);
        for (uint32_t i = 0; i < t.count[length]; ++i, ++index) {
            const uint8_t symbol = t.symbols[index];
            uint8_t mark = uint8_t(length);
            if (symbol == escape) {
                mark = kEscapeCode;
                t.escapeLength = length;
            }
            // The code is complete, so the entries never run past the table.
            std::memset(t.quickLength + entry, mark, span);
            std::memset(t.quickSymbol + entry, symbol, span);
            entry += span;
        }
    }
}

void RunningSum(uint8_t* data, size_t size) {
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i) data[i] = sum = uint8_t(sum + data[i]);
}

void DoubleRunningSum(uint8_t* data, size_t size) {
    uint8_t first = 0, second = 0;
    for (size_t i = 0; i < size; ++i) {
        first = uint8_t(first + data[i]);
        data[i] = second = uint8_t(second + first);
    }
}

} // namespace

uint32_t DecodeHuff(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t capacity) {
    if (src[4] != 1) return 0;
    const uint32_t declared = uint32_t(src[8] | src[9] << 8 | src[10] << 16) | uint32_t(src[11]) << 24;
    BitReader bits(src + kStreamHeaderSize, src + srcSize);

    const uint32_t type = bits.Read(16);
    const int width = (type & 0x8000) ? 32 : 24;
    if (type & 0x100) bits.Read(width); // compressed size, not needed
    const uint32_t size = bits.Read(width);
    const uint8_t escape = uint8_t(bits.Read(8));
    // Two sizes that disagree leave no right answer; the stream is corrupt.
    if (size != declared || size > capacity) return 0;

    HuffTables t;
    if (!ReadLengths(bits, t) || !ReadSymbols(bits, t) || bits.Overrun()) return 0;
    BuildQuickTable(t, escape);

    uint8_t* out = dst;
    uint8_t* const outEnd = dst + size;
    for (;;) {
        bits.Need(kMaxCodeLength);
        if (bits.Overrun()) return 0;
        const uint32_t quick = bits.Peek(kQuickBits);
        int length = t.quickLength[quick];
        if (length <= kQuickBits) {
            bits.Skip(length);
            if (out == outEnd) return 0;
            *out++ = t.quickSymbol[quick];
            continue;
        }
        if (length == kEscapeCode) {
            length = t.escapeLength;
        } else {
            // Reachable only with codes longer than the quick table covers.
            if (t.maxLength <= kQuickBits) return 0;
            const uint32_t window = bits.Peek(kMaxCodeLength);
            length = kQuickBits + 1;
            while (window >= t.limit[length]) ++length;
        }
        const uint32_t index = bits.Peek(length) - t.base[length];
        bits.Skip(length);
        if (index >= t.total) // cannot happen with a complete code; guards the read
            return 0;
        const uint8_t symbol = t.symbols[index];
        if (symbol != escape) {
            if (out == outEnd) return 0;
            *out++ = symbol;
            continue;
        }
        uint32_t run;
        if (!ReadNumber(bits, run)) return 0;
        if (run > 0) {
            if (out == dst || run > size_t(outEnd - out)) return 0;
            std::memset(out, out[-1], run);
            out += run;
        } else if (bits.Read(1) == 0) {
            if (out == outEnd) return 0;
            *out++ = uint8_t(bits.Read(8));
        } else {
            break; // end mark
        }
    }
    // The end mark alone ends the loop; it must come exactly after the
    // declared size. Its last bit is a 1, which the zero padding past the
    // data never supplies, so reaching it means the data was not overrun.
    if (out != outEnd) return 0;

    switch (type & ~0x100u) {
    case 0x32FB:
    case 0xB2FB: RunningSum(dst, size); break;
    case 0x34FB:
    case 0xB4FB: DoubleRunningSum(dst, size); break;
    default: break;
    }
    return size;
}

} // namespace zelko::detail
