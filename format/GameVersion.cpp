#include "format/GameVersion.h"

#include "format/ByteStream.h"
#include "format/Errors.h"

namespace zelko {

namespace {

struct GameInfo {
    const char* name;
    uint32_t packVersion;
};

constexpr GameInfo kGames[] = {
    {"", 0},
    {"Underground", 4},
    {"Underground2", 5},
    {"MostWanted", 5},
    {"Carbon", 8},
    {"ProStreet", 8},
    {"Undercover", 9},
    {"World", 10},
};

constexpr uint32_t kPackHeaderChunk = 0x33310001;
constexpr uint32_t kPackHeaderSize = 124;
constexpr uint32_t kWorldMarkerChunk = 0x33330001;
constexpr uint32_t kJdlzMagic = 0x5A4C444A;
constexpr uint32_t kCompressedPieceMagic = 0x55441122;

bool KnownGame(int game) { return game >= kFirstGame && game <= kLastGame; }

} // namespace

const char* GameName(int game) { return KnownGame(game) ? kGames[game].name : ""; }

uint32_t PackVersionOf(int game) { return KnownGame(game) ? kGames[game].packVersion : 0; }

GameId GameFromVersion(uint32_t version) {
    switch (version) {
    case 4: return GameUnderground;
    case 5: return GameUnderground2;
    case 8: return GameCarbon;
    case 9: return GameUndercover;
    case 10: return GameWorld;
    default: throw Error("Invalid type");
    }
}

uint32_t DetectPackVersion(const ByteReader& reader, bool& rawCompressed) {
    rawCompressed = false;
    ByteReader scan = reader.View();
    uint32_t version = 0;
    // Nesting is ignored: container ids are entered by reading on, everything
    // else is skipped or ends the scan.
    for (;;) {
        const uint8_t* header = scan.ReadArray(kChunkHeaderSize);
        const uint32_t id = LoadU32(header);
        const uint32_t size = LoadU32(header + 4);
        switch (id) {
        case 0xB3300000:
        case 0xB3310000:
        case 0xB3320000:
            break;
        case 0:
        case 0x33320001:
        case 0xB3312000:
        case 0x33310002:
        case 0x33310003:
        case 0x33310004:
        case 0x33310005:
            scan.Skip(size);
            break;
        case kPackHeaderChunk:
            version = LoadU32(scan.ReadArray(kPackHeaderSize));
            break;
        case kWorldMarkerChunk:
            scan.Skip(size);
            version = 10;
            break;
        case 0x33320002:
        case 0x33320003:
            return version;
        case kJdlzMagic:
        case kCompressedPieceMagic:
            rawCompressed = true;
            return version;
        default:
            return 0;
        }
    }
}

} // namespace zelko
