#pragma once
// Chunk ids the archive scan accepts at the top level of a game archive.
#include <cstdint>

namespace zelko {

// True for the 220 ids known to occur at the top level of the games'
// archives: padding (0), 0xFFFFFFFF, the texture-pack ids and the stream
// magics read as 32-bit values. Anything else means the scan has lost its
// way in the file.
bool IsKnownChunkId(uint32_t id);

// Number of known ids (for callers that list or check the set).
constexpr unsigned kKnownChunkIdCount = 220;

} // namespace zelko
