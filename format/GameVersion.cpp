#include "format/GameVersion.h"

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/TextureFileLayout.h"

namespace zelko {

namespace {

struct GameInfo {
    const char* name;
    uint32_t packVersion;
};

constexpr GameInfo kGames[] = {
    {"", 0},       {"Underground", 4}, {"Underground2", 5}, {"MostWanted", 5},
    {"Carbon", 8}, {"ProStreet", 8},   {"Undercover", 9},   {"World", 10},
};

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
        case pack::kRoot:
        case pack::kHeaderGroup:
        case pack::kDataGroup: break;
        case 0:
        case pack::kDataHeader:
        case pack::kSecondHeaderGroup:
        case pack::kHashList:
        case pack::kCompressedTable:
        case pack::kInfoRecords:
        case pack::kFormatRecords: scan.Skip(size); break;
        case pack::kPackHeader: version = LoadU32(scan.ReadArray(pack::kPackHeaderSize)); break;
        case pack::kWorldMarker:
            scan.Skip(size);
            version = 10;
            break;
        case pack::kPixelData:
        case pack::kPixelDataVariant: return version;
        case kMagicJdlz:
        case pack::kPieceMagic: rawCompressed = true; return version;
        default: return 0;
        }
    }
}

} // namespace zelko
