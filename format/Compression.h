#pragma once
// The games' compressed streams: decoding of "JDLZ", "RFPK", "COMP", "HUFF"
// and "RAWW" streams behind one entry point, and "JDLZ" encoding.
//
// Every stream starts with a 16-byte header whose first four bytes are the
// magic. Decoders never read outside [source, source + sourceSize) nor write
// outside [destination, destination + destinationCapacity), whatever the
// stream says; a corrupt, truncated or oversized stream yields 0.
#include <cstddef>
#include <cstdint>

namespace zelko {

// No stream of the games' formats unpacks to more than this many bytes per
// byte it holds (JDLZ, the most, reaches about 2,000): a declared size above
// it is damage, refused before anything is allocated for it.
constexpr uint64_t kMaxExpansion = 4096;
inline bool PlausibleUnpackedSize(uint64_t declared, uint64_t packed) {
    return declared <= packed * kMaxExpansion + 4096;
}

// Stream magics as little-endian 32-bit values (the ASCII bytes in order).
constexpr uint32_t kMagicJdlz = 0x5A4C444A; // "JDLZ"
constexpr uint32_t kMagicRfpk = 0x4B504652; // "RFPK"
constexpr uint32_t kMagicComp = 0x504D4F43; // "COMP"
constexpr uint32_t kMagicHuff = 0x46465548; // "HUFF"
constexpr uint32_t kMagicRaww = 0x57574152; // "RAWW"

constexpr size_t kStreamHeaderSize = 16;

// Decodes the stream at source into destination. Returns the number of bytes
// produced (the declared uncompressed size; for "COMP" the bytes written), or
// 0 on failure: a null pointer, an unknown magic, a failed header check, a
// declared size above destinationCapacity, or coded data that is corrupt,
// truncated, refers before the start of the output, or produces more or fewer
// bytes than declared. A stream that declares 0 bytes also returns 0.
// Destination bytes past the result may have been written to as well.
uint32_t DecompressStream(const uint8_t* source, size_t sourceSize, uint8_t* destination, size_t destinationCapacity);

// Largest stream CompressJdlz can produce for count bytes: the header, the two
// initial flag bytes, every byte as a literal and one more flag byte per eight
// literals. A match costs two bytes and two eighths of a flag byte for at
// least three input bytes, less than the same bytes as literals.
constexpr size_t JdlzCompressBound(size_t count) { return kStreamHeaderSize + 2 + count + count / 8; }

// Writes count bytes from source as a "JDLZ" stream into destination and
// returns the stream's size, or 0 when it does not fit in destinationCapacity
// (JdlzCompressBound(count) always does) or destination is null. source may
// be null only when count is 0. The output is fully determined by the input.
uint32_t CompressJdlz(const uint8_t* source, uint32_t count, uint8_t* destination, size_t destinationCapacity);

namespace detail {
// The "HUFF" decoder (HuffDecoder.cpp); DecompressStream has checked the
// pointers and that sourceSize covers the 16-byte header.
uint32_t DecodeHuff(const uint8_t* source, size_t sourceSize, uint8_t* destination, size_t destinationCapacity);
} // namespace detail

} // namespace zelko
