#pragma once
// The games' own alpha and blend modes for well-known textures, in the format
// each game ships them: what a format change gives a texture whose name the
// game treats specially (glass, shadows, decals, lights).
#include <cstdint>

namespace zelko {

// One row, fields in the order of the table's 11-byte rows: game, key hash, format, alpha, blend.
struct TextureFlagRow {
    uint8_t game = 0; // 1..7
    uint32_t keyHash = 0; // NameHash of the name without its car prefix
    uint32_t format = 0; // pack format code
    uint8_t alphaMode = 0;
    uint8_t blendMode = 0;
};

// The row for (game, key hash, format), or null when the game has none.
const TextureFlagRow* FindTextureFlags(int game, uint32_t keyHash, uint32_t format);

} // namespace zelko
