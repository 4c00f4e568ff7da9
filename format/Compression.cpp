#include "format/Compression.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "format/ByteStream.h"

namespace zelko {
namespace {

size_t Remaining(const uint8_t* from, const uint8_t* end) { return size_t(end - from); }

// Results are 32-bit, so no decoder produces more than this.
size_t ClampCapacity(size_t capacity) { return std::min<size_t>(capacity, std::numeric_limits<uint32_t>::max()); }

// Copies a back-reference the caller has bounds-checked: dist <= out - start
// and out + len <= limit. The bytes repeat with period dist, so an overlapping
// copy must see its own output.
inline void CopyMatch(uint8_t* out, size_t dist, size_t len, const uint8_t* limit) {
    const uint8_t* from = out - dist;
    const size_t room = Remaining(out, limit);
    // Chunked copies read bytes at least one chunk behind the ones they
    // write, so those are final. Up to a chunk minus one byte past len gets
    // scribbled; it lies below limit and the following commands overwrite it.
    if (dist >= 16 && room >= len + 16) {
        for (uint8_t* end = out + len; out < end; out += 16, from += 16) std::memcpy(out, from, 16);
        return;
    }
    if (dist >= 8 && room >= len + 8) {
        for (uint8_t* end = out + len; out < end; out += 8, from += 8) std::memcpy(out, from, 8);
        return;
    }
    if (dist == 1) {
        std::memset(out, *from, len);
        return;
    }
    for (size_t i = 0; i < len; ++i) out[i] = from[i];
}

// ---------------------------------------------------------------- JDLZ ---

uint32_t DecodeJdlz(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t capacity) {
    if (src[4] != 2) return 0;
    const uint32_t size = LoadU32(src + 8);
    // The size at 0x0C is not needed: the output size alone ends the stream.
    if (size > capacity || srcSize < kStreamHeaderSize + 2) return 0;
    const uint8_t* in = src + kStreamHeaderSize + 2;
    const uint8_t* const inEnd = src + srcSize;
    uint8_t* out = dst;
    uint8_t* const outEnd = dst + size;
    uint32_t flagsA = src[16] | 0x100u; // match or literal, one bit per command
    uint32_t flagsB = src[17] | 0x100u; // short or long match form, per match

    // A register shifted down to its marker bit takes the next input byte.
    // The encoder reserves that byte even after the last command, but a
    // stream missing it once the output is complete loses nothing.
    auto reload = [&](uint32_t& flags) {
        if (flags != 1) return true;
        if (in == inEnd) return out == outEnd;
        flags = *in++ | 0x100u;
        return true;
    };

    // While both buffers have room for the widest step, a step is a run of
    // literals (maybe none) and then one match, each copied in fixed-size
    // pieces: no branch on literal-or-match, and only the bounds that the
    // stream's own numbers can break are checked. The careful loop below
    // finishes the stream.
    constexpr size_t kInMargin = 16; // 8 literals, a match, two flag bytes
    constexpr size_t kOutMargin = 64; // 8 literals and a 48-byte match copy
    while (Remaining(in, inEnd) >= kInMargin && Remaining(out, outEnd) >= kOutMargin) {
        const size_t run = size_t(std::countr_zero(flagsA));
        std::memcpy(out, in, 8);
        in += run;
        out += run;
        flagsA >>= run;
        if (flagsA == 1) {
            flagsA = *in++ | 0x100u;
            continue;
        }
        const uint32_t b0 = in[0], b1 = in[1];
        in += 2;
        const bool shortForm = flagsB & 1;
        const size_t len = shortForm ? (((b0 & 0xF0) << 4) | b1) + 3 : (b0 & 0x1F) + 3;
        const size_t dist = shortForm ? (b0 & 0x0F) + 1 : (((b0 & 0xE0) << 3) | b1) + 17;
        if (dist > Remaining(dst, out) || len > Remaining(out, outEnd)) return 0;
        if (dist >= 16 && len <= 48) {
            const uint8_t* from = out - dist;
            std::memcpy(out, from, 16);
            std::memcpy(out + 16, from + 16, 16);
            std::memcpy(out + 32, from + 32, 16);
        } else {
            CopyMatch(out, dist, len, outEnd);
        }
        out += len;
        flagsA >>= 1;
        if (flagsA == 1) flagsA = *in++ | 0x100u;
        flagsB >>= 1;
        if (flagsB == 1) flagsB = *in++ | 0x100u;
    }

    while (out < outEnd) {
        if (flagsA & 1) {
            if (Remaining(in, inEnd) < 2) return 0;
            const uint32_t b0 = in[0], b1 = in[1];
            in += 2;
            size_t len, dist;
            if (flagsB & 1) {
                len = (((b0 & 0xF0) << 4) | b1) + 3;
                dist = (b0 & 0x0F) + 1;
            } else {
                len = (b0 & 0x1F) + 3;
                dist = (((b0 & 0xE0) << 3) | b1) + 17;
            }
            // A match running past the declared size is as corrupt as one
            // reaching before the start.
            if (dist > Remaining(dst, out) || len > Remaining(out, outEnd)) return 0;
            CopyMatch(out, dist, len, outEnd);
            out += len;
            flagsA >>= 1;
            if (!reload(flagsA)) return 0;
            flagsB >>= 1;
            if (!reload(flagsB)) return 0;
        } else {
            // The literals up to the next set flag bit form one run; the
            // marker bit at 0x100 bounds it at eight.
            size_t run = size_t(std::countr_zero(flagsA));
            run = std::min(run, Remaining(out, outEnd));
            if (Remaining(in, inEnd) < run) return 0;
            // One fixed 8-byte copy where both buffers have room past the run.
            if (Remaining(in, inEnd) >= 8 && Remaining(out, outEnd) >= 8)
                std::memcpy(out, in, 8);
            else
                std::memcpy(out, in, run);
            in += run;
            out += run;
            flagsA >>= run;
            if (!reload(flagsA)) return 0;
        }
    }
    return size;
}

// ---------------------------------------------------------------- RFPK ---

uint32_t DecodeRfpk(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t capacity) {
    const uint8_t* in = src + kStreamHeaderSize;
    const uint8_t* const inEnd = src + srcSize;
    if (Remaining(in, inEnd) < 2) return 0;
    const uint8_t f0 = in[0];
    in += 2; // the second byte (0xFB in practice) is not checked
    const size_t width = (f0 & 0x80) ? 4 : 3;
    const size_t fields = (f0 & 0x01) ? 2 : 1; // compressed size, skipped
    if (Remaining(in, inEnd) < width * fields) return 0;
    in += width * (fields - 1);
    uint32_t size = 0;
    for (size_t i = 0; i < width; ++i) size = size << 8 | *in++;
    if (size > capacity) return 0;

    uint8_t* out = dst;
    uint8_t* const outEnd = dst + size;
    for (;;) {
        if (in == inEnd) return 0;
        const uint32_t b = in[0];
        size_t literals, len, dist;
        size_t commandSize;
        if (b < 0x80) {
            commandSize = 2;
            if (Remaining(in, inEnd) < commandSize) return 0;
            literals = b & 3;
            len = ((b >> 2) & 7) + 3;
            dist = ((b & 0x60) << 3) + in[1] + 1;
        } else if (b < 0xC0) {
            commandSize = 3;
            if (Remaining(in, inEnd) < commandSize) return 0;
            literals = in[1] >> 6;
            len = (b & 0x3F) + 4;
            dist = ((in[1] & 0x3Fu) << 8) + in[2] + 1;
        } else if (b < 0xE0) {
            commandSize = 4;
            if (Remaining(in, inEnd) < commandSize) return 0;
            literals = b & 3;
            len = ((b & 0x0C) << 6) + in[3] + 5;
            dist = ((b & 0x10) << 12) + (uint32_t(in[1]) << 8) + in[2] + 1;
        } else {
            commandSize = 1;
            literals = b < 0xFC ? ((b & 0x1F) + 1) * 4 : b & 3;
            len = 0;
            dist = 0;
        }
        in += commandSize;
        if (Remaining(in, inEnd) < literals || Remaining(out, outEnd) < literals) return 0;
        std::memcpy(out, in, literals);
        in += literals;
        out += literals;
        if (b >= 0xFC) break;
        if (len != 0) {
            if (dist > Remaining(dst, out) || len > Remaining(out, outEnd)) return 0;
            CopyMatch(out, dist, len, outEnd);
            out += len;
        }
    }
    // Stopping short would hand the caller bytes the stream never wrote.
    return out == outEnd ? size : 0;
}

// ---------------------------------------------------------------- COMP ---

uint32_t DecodeComp(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t capacity) {
    const uint32_t total = LoadU32(src + 12);
    if (total < kStreamHeaderSize || total > srcSize) return 0;
    const uint8_t* in = src + kStreamHeaderSize;
    const uint8_t* const end = src + total;
    if (LoadU16(src + 6) == 1) {
        const size_t stored = Remaining(in, end);
        if (stored > capacity) return 0;
        std::memcpy(dst, in, stored);
        return uint32_t(stored);
    }

    uint8_t* out = dst;
    uint8_t* const outEnd = dst + ClampCapacity(capacity);
    uint32_t flags = 1;
    while (in != end) {
        if (flags == 1) {
            if (Remaining(in, end) < 2) return 0;
            flags = LoadU16(in) | 0x10000u;
            in += 2;
        }
        // Near the end items go one at a time so the stream can stop
        // mid-group; a full group of 16 needs at most 32 bytes.
        int items = Remaining(in, end) < 32 ? 1 : 16;
        for (; items > 0; --items, flags >>= 1) {
            if (flags & 1) {
                if (Remaining(in, end) < 2) return 0;
                const uint32_t b0 = in[0], b1 = in[1];
                in += 2;
                const size_t len = (b0 & 0x0F) + 3;
                const size_t dist = ((b0 & 0xF0) << 4) | b1;
                // Distance 0 would copy bytes not written yet.
                if (dist == 0 || dist > Remaining(dst, out) || len > Remaining(out, outEnd)) return 0;
                CopyMatch(out, dist, len, outEnd);
                out += len;
            } else {
                if (in == end || out == outEnd) return 0;
                *out++ = *in++;
            }
        }
    }
    return uint32_t(out - dst);
}

// ---------------------------------------------------------------- RAWW ---

uint32_t DecodeRaww(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t capacity) {
    if (src[4] != 1) return 0;
    const uint32_t size = LoadU32(src + 8);
    if (size > capacity || size > srcSize - kStreamHeaderSize) return 0;
    std::memcpy(dst, src + kStreamHeaderSize, size);
    return size;
}

// ------------------------------------------------------- JDLZ encoding ---

constexpr uint32_t kWindow = 2064; // ring of chain nodes = farthest distance
constexpr uint32_t kHashBits = 13; // 8,192 chain heads
constexpr uint32_t kMaxShortLength = 4098;
constexpr uint32_t kMaxLongLength = 34;
constexpr uint32_t kShortDistances = 16; // d below this uses the short form

inline uint32_t Hash3(const uint8_t* p) {
    const uint32_t trigram = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    return (trigram * 2654435761u) >> (32 - kHashBits);
}

// Length of the common prefix of a and b, at most maxLen.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t maxLen) {
    uint32_t n = 0;
    if constexpr (std::endian::native == std::endian::little) {
        while (n + 8 <= maxLen) {
            uint64_t x, y;
            std::memcpy(&x, a + n, 8);
            std::memcpy(&y, b + n, 8);
            if (x != y) return n + uint32_t(std::countr_zero(x ^ y)) / 8;
            n += 8;
        }
    }
    while (n < maxLen && a[n] == b[n]) ++n;
    return n;
}

// A flag register being filled: events enter at the top of the low byte and
// move down, so the first event ends in bit 0. The high byte's ones count the
// events still missing; the byte is complete once they have all moved out.
struct FlagAccumulator {
    uint32_t bits = 0xFF00;
    uint8_t* slot = nullptr; // reserved output byte

    void Record(bool bit) { bits = bit ? bits >> 1 : (bits >> 1) & 0x7F7F; }
    bool Complete() const { return bits < 0x100; }
    // Pads the unused events with ones.
    void Flush() {
        while (bits >= 0x100) bits >>= 1;
        *slot = uint8_t(bits);
    }
};

} // namespace

uint32_t DecompressStream(const uint8_t* source, size_t sourceSize, uint8_t* destination, size_t destinationCapacity) {
    if (source == nullptr || destination == nullptr || sourceSize < kStreamHeaderSize) return 0;
    switch (LoadU32(source)) {
    case kMagicJdlz: return DecodeJdlz(source, sourceSize, destination, destinationCapacity);
    case kMagicRfpk: return DecodeRfpk(source, sourceSize, destination, destinationCapacity);
    case kMagicComp: return DecodeComp(source, sourceSize, destination, destinationCapacity);
    case kMagicHuff: return detail::DecodeHuff(source, sourceSize, destination, destinationCapacity);
    case kMagicRaww: return DecodeRaww(source, sourceSize, destination, destinationCapacity);
    default: return 0;
    }
}

uint32_t CompressJdlz(const uint8_t* source, uint32_t count, uint8_t* destination, size_t destinationCapacity) {
    if (destination == nullptr || (source == nullptr && count != 0) || destinationCapacity < kStreamHeaderSize + 2)
        return 0;
    uint8_t* const start = destination;
    uint8_t* const outEnd = destination + destinationCapacity;
    StoreU32(start, kMagicJdlz);
    start[4] = 2;
    start[5] = 0x10;
    start[6] = 0;
    start[7] = 0;
    StoreU32(start + 8, count);
    FlagAccumulator flagsA, flagsB;
    flagsA.slot = start + 16;
    flagsB.slot = start + 17;
    uint8_t* out = start + 18;

    // Chains hold position + 1 (0 ends a chain); a node is indexed by
    // position mod kWindow and also keeps its successor's node index, which
    // spares a division per step of the walk. A chain is only followed while
    // its positions lie inside the window, which is the same as evicting a
    // position when its node is reused: it is always its chain's oldest.
    struct Node {
        uint32_t next; // older position + 1 with the same hash
        uint32_t nextIndex; // its node
    };
    std::vector<uint32_t> heads(size_t(1) << kHashBits, 0);
    std::vector<Node> nodes(kWindow, Node{0, 0});

    // The last two positions are never hashed or inserted: fewer than three
    // bytes remain there, so no match can start at them, and no later
    // position exists that could find them in a chain.
    auto insert = [&](uint32_t pos, uint32_t hash) {
        const uint32_t head = heads[hash];
        nodes[pos % kWindow] = Node{head, head == 0 ? 0 : (head - 1) % kWindow};
        heads[hash] = pos + 1;
    };

    uint32_t pos = 0;
    while (pos < count) {
        const uint32_t remaining = count - pos;
        uint32_t bestLen = 0, bestPos = 0;
        uint32_t hash = 0;
        if (remaining >= 3) {
            hash = Hash3(source + pos);
            const uint32_t maxLen = std::min(remaining, kMaxShortLength);
            const uint8_t* const current = source + pos;
            uint32_t link = heads[hash];
            uint32_t index = link == 0 ? 0 : (link - 1) % kWindow;
            while (link != 0) {
                const uint32_t cand = link - 1;
                if (pos - cand > kWindow) break;
                // Newest first, so once a long-form distance is reached all
                // further ones are too; with the best above 34 bytes none of
                // them may replace it any more.
                if (bestLen > kMaxLongLength && pos - cand - 1 >= kShortDistances) break;
                // Only a candidate that also matches at bestLen can be longer.
                if (source[cand + bestLen] == current[bestLen]) {
                    const uint32_t len = MatchLength(source + cand, current, maxLen);
                    if (len > bestLen) {
                        bestLen = len;
                        bestPos = cand;
                        if (len == maxLen) break;
                    }
                }
                const Node& node = nodes[index];
                link = node.next;
                index = node.nextIndex;
            }
        }

        if (bestLen >= 3) {
            if (Remaining(out, outEnd) < 2) return 0;
            const uint32_t d = pos - bestPos - 1;
            uint32_t len = bestLen;
            flagsA.Record(true);
            if (d >= kShortDistances) {
                len = std::min(len, kMaxLongLength);
                flagsB.Record(false);
                out[0] = uint8_t((((d - 16) >> 3) & 0xE0) | (len - 3));
                out[1] = uint8_t(d - 16);
            } else {
                flagsB.Record(true);
                out[0] = uint8_t((((len - 3) >> 4) & 0xF0) | d);
                out[1] = uint8_t(len - 3);
            }
            out += 2;
            const uint32_t last = std::min(pos + len, count - 2);
            insert(pos, hash);
            for (uint32_t p = pos + 1; p < last; ++p) insert(p, Hash3(source + p));
            pos += len;
        } else {
            if (out == outEnd) return 0;
            if (remaining >= 3) insert(pos, hash);
            flagsA.Record(false);
            *out++ = source[pos];
            ++pos;
        }

        // A completed register takes its byte and reserves the next one; A
        // before B, the order in which the decoder reloads them.
        for (FlagAccumulator* flags : {&flagsA, &flagsB}) {
            if (!flags->Complete()) continue;
            if (out == outEnd) return 0;
            *flags->slot = uint8_t(flags->bits);
            flags->slot = out++;
            flags->bits = 0xFF00;
        }
    }

    flagsA.Flush();
    flagsB.Flush();
    const size_t size = size_t(out - start);
    if (size > std::numeric_limits<uint32_t>::max()) return 0;
    StoreU32(start + 12, uint32_t(size));
    return uint32_t(size);
}

} // namespace zelko
