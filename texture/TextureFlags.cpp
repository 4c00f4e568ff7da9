#include "texture/TextureFlags.h"

#include <algorithm>
#include <string_view>
#include <tuple>
#include <vector>

#include "format/NameHash.h"
#include "texture/TextureObject.h"

namespace zelko {
namespace {

// Keys are written as names (or "0x" hashes, which NameHash reads back as the
// hash itself) and hashed once on first use.
struct NamedRow {
    uint8_t game;
    std::string_view key;
    uint32_t format;
    uint8_t alphaMode;
    uint8_t blendMode;
};

constexpr uint32_t ARGB = kFormatARGB;
constexpr uint32_t P8 = kFormatP8;
constexpr uint32_t DXT1 = kFormatDXT1;
constexpr uint32_t DXT3 = kFormatDXT3;
constexpr uint32_t DXT5 = kFormatDXT5;
constexpr uint32_t ATI2 = kFormatATI2;

constexpr NamedRow kRows[] = {
    {1, "0x88D7D7CB", ARGB, 2, 1},
    {1, "0x88D7D7CB", DXT3, 2, 1},
    {1, "WINDOW_FRONT", DXT3, 2, 1},
    {1, "WINDOW_FRONT", ARGB, 2, 1},
    {1, "WINDOW_REAR", DXT3, 2, 1},
    {1, "WINDOW_LEFT_FRONT", DXT3, 2, 1},
    {1, "WINDOW_RIGHT_FRONT", DXT3, 2, 1},
    {1, "HEADLIGHT_GLASS", DXT3, 2, 2},
    {1, "BRAKELIGHT_GLASS", DXT3, 2, 2},
    {1, "SHADOW", DXT3, 2, 1},
    {1, "SHADOW", DXT1, 0, 0},
    {1, "DECAL_FRONT_WINDOW", ARGB, 2, 1},
    {1, "DECAL_REAR_WINDOW", ARGB, 2, 1},
    {1, "TIRE_STYLE01", DXT1, 0, 0},
    {1, "INTERIOR", DXT1, 0, 0},
    {1, "DRIVER", P8, 0, 0},
    {2, "WINDOW_FRONT", DXT3, 2, 1},
    {2, "WINDOW_REAR", DXT3, 2, 1},
    {2, "HEADLIGHT_GLASS", DXT5, 2, 2},
    {2, "BRAKELIGHT_GLASS", DXT5, 2, 2},
    {2, "SHADOW", DXT3, 2, 1},
    {2, "NEON_GLOW", ARGB, 2, 2},
    {2, "DECAL_FRONT_WINDOW", ARGB, 2, 1},
    {2, "TIRE_STYLE01", DXT1, 0, 0},
    {3, "WINDOW_FRONT", DXT1, 0, 0},
    {3, "WINDOW_FRONT", DXT3, 2, 1},
    {3, "HEADLIGHT_GLASS", DXT5, 2, 2},
    {3, "SHADOW", DXT3, 2, 1},
    {3, "BADGING", DXT5, 2, 1},
    {4, "WINDOW_FRONT", DXT3, 2, 1},
    {4, "HEADLIGHT_GLASS", DXT5, 2, 2},
    {4, "BRAKELIGHT_GLASS", DXT5, 2, 2},
    {4, "SHADOW", DXT3, 2, 1},
    {4, "BADGING", DXT5, 2, 1},
    {5, "WINDOW_FRONT", DXT3, 2, 1},
    {5, "HEADLIGHT_GLASS", DXT5, 2, 2},
    {5, "SHADOW", DXT3, 2, 1},
    {5, "NORMAL_MAP", ATI2, 0, 0},
    {6, "WINDOW_FRONT", DXT3, 2, 1},
    {6, "HEADLIGHT_GLASS", DXT5, 2, 2},
    {6, "SHADOW", DXT3, 2, 1},
    {7, "WINDOW_FRONT", DXT3, 2, 1},
    {7, "HEADLIGHT_GLASS", DXT5, 2, 2},
    {7, "BRAKELIGHT_GLASS", DXT5, 2, 2},
    {7, "SHADOW", DXT3, 2, 1},
    {7, "DECAL_FRONT_WINDOW", ARGB, 2, 1},
};

using Key = std::tuple<uint8_t, uint32_t, uint32_t>;

Key KeyOf(const TextureFlagRow& row) { return {row.game, row.keyHash, row.format}; }

// Sorted by (game, key hash, format); the first row of equal keys wins.
const std::vector<TextureFlagRow>& Table() {
    static const std::vector<TextureFlagRow> table = [] {
        std::vector<TextureFlagRow> rows;
        for (const NamedRow& row : kRows) {
            rows.push_back({row.game, NameHash(row.key), row.format, row.alphaMode, row.blendMode});
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [](const TextureFlagRow& a, const TextureFlagRow& b) { return KeyOf(a) < KeyOf(b); });
        return rows;
    }();
    return table;
}

} // namespace

const TextureFlagRow* FindTextureFlags(int game, uint32_t keyHash, uint32_t format) {
    if (game < 1 || game > 7) return nullptr;
    const auto& table = Table();
    const Key key{uint8_t(game), keyHash, format};
    auto found = std::lower_bound(table.begin(), table.end(), key,
                                  [](const TextureFlagRow& row, const Key& k) { return KeyOf(row) < k; });
    return found != table.end() && KeyOf(*found) == key ? &*found : nullptr;
}

} // namespace zelko
