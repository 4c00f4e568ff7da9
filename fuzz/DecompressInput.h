#pragma once
// Feeds arbitrary bytes to every stream decoder and round-trips them through
// the JDLZ encoder. Destinations are heap blocks of exactly their capacity so
// the sanitizer sees any write past them. Shared by the fuzz target and the
// replay of its regression corpus in the unit tests.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzFiles.h"
#include "format/Compression.h"

namespace fuzz_decompress {

constexpr size_t kLargeCapacity = 1 << 20;
constexpr size_t kSmallCapacity = 64;
constexpr const char* kMagics[] = {"JDLZ", "RFPK", "COMP", "HUFF", "RAWW"};

using fuzz_files::Check;

inline void DecodeInto(const uint8_t* data, size_t size, size_t capacity) {
    // Allocated once per capacity, each block exactly that large.
    static uint8_t* const large = static_cast<uint8_t*>(std::malloc(kLargeCapacity));
    static uint8_t* const small = static_cast<uint8_t*>(std::malloc(kSmallCapacity));
    uint8_t* out = capacity == kLargeCapacity ? large : small;
    Check(zelko::DecompressStream(data, size, out, capacity) <= capacity);
}

inline int RunDecompressInput(const uint8_t* data, size_t size) {
    DecodeInto(data, size, kLargeCapacity);
    DecodeInto(data, size, kSmallCapacity);

    // The same bytes under each magic, so every decoder sees every input
    // without the fuzzer having to find the magics first.
    if (size >= zelko::kStreamHeaderSize) {
        std::vector<uint8_t> copy(data, data + size);
        for (const char* magic : kMagics) {
            std::memcpy(copy.data(), magic, 4);
            DecodeInto(copy.data(), copy.size(), kLargeCapacity);
        }
    }

    // Round trip: the encoder must fit its bound and decode back exactly.
    const size_t bound = zelko::JdlzCompressBound(size);
    std::vector<uint8_t> packed(bound), unpacked(size);
    const uint32_t packedSize = zelko::CompressJdlz(data, uint32_t(size), packed.data(), bound);
    Check(packedSize != 0 && packedSize <= bound);
    packed.resize(packedSize);
    const uint32_t n = zelko::DecompressStream(packed.data(), packed.size(), unpacked.data(), size);
    Check(n == size && (size == 0 || std::memcmp(unpacked.data(), data, size) == 0));
    return 0;
}

} // namespace fuzz_decompress
