#pragma once
// The games the editor knows, their pack versions, and detection of a pack's
// version from its chunk sequence.
#include <cstdint>

namespace zelko {

class ByteReader;

enum GameId : int {
    GameNone = 0,
    GameUnderground = 1,
    GameUnderground2 = 2,
    GameMostWanted = 3,
    GameCarbon = 4,
    GameProStreet = 5,
    GameUndercover = 6,
    GameWorld = 7,
};

constexpr int kFirstGame = GameUnderground;
constexpr int kLastGame = GameWorld;

// "Underground" ... "World"; also the names of the per-game list folders.
// Empty text for GameNone or an unknown number.
const char* GameName(int game);

// Pack version the writer uses for a game (4, 5, 5, 8, 8, 9, 10); 0 for none.
uint32_t PackVersionOf(int game);

// 4 -> Underground, 5 -> Underground2, 8 -> Carbon, 9 -> Undercover,
// 10 -> World; anything else throws Error("Invalid type").
GameId GameFromVersion(uint32_t version);

// Scans the chunk headers from the reader's position without moving it.
// Returns the version found (0 = not detected); sets rawCompressed when
// compressed bytes stand where a chunk header was expected.
uint32_t DetectPackVersion(const ByteReader& reader, bool& rawCompressed);

} // namespace zelko
