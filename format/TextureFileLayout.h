#pragma once
// Chunk ids and per-version record layouts of a texture pack, shared by the
// pack reader and writer. Offsets are byte positions inside one record.
#include <cstdint>

namespace zelko::pack {

constexpr uint32_t kRoot = 0xB3300000;
constexpr uint32_t kHeaderGroup = 0xB3310000;
constexpr uint32_t kPackHeader = 0x33310001;
constexpr uint32_t kHashList = 0x33310002;
constexpr uint32_t kCompressedTable = 0x33310003;
constexpr uint32_t kInfoRecords = 0x33310004;
constexpr uint32_t kFormatRecords = 0x33310005;
constexpr uint32_t kSecondHeaderGroup = 0xB3312000;
constexpr uint32_t kDataGroup = 0xB3320000;
constexpr uint32_t kDataHeader = 0x33320001;
constexpr uint32_t kWorldMarker = 0x33330001;
constexpr uint32_t kPixelData = 0x33320002;
constexpr uint32_t kPixelDataVariant = 0x33320003;
constexpr uint32_t kPieceMagic = 0x55441122; // a JDLZ piece, in packs and compressed containers
// Fields of a compressed table's record, after the hash at 0.
constexpr uint32_t kTableBlockOffset = 0x04; // where the texture's block starts in the pack
constexpr uint32_t kTableStoredSize = 0x08; // the block's bytes as stored (0: a plain texture)
constexpr uint32_t kTableUnpackedSize = 0x0C; // the block's bytes unpacked
// Fields of a piece header, after kPieceMagic at 0.
constexpr uint32_t kPieceOutputSize = 0x04; // bytes the piece unpacks to
constexpr uint32_t kPieceStoredSize = 0x08; // the piece with its header
constexpr uint32_t kPieceOutputAt = 0x0C; // where its bytes go in the texture's buffer
// A top-level chunk of JDLZ pieces holding a pack (thumbnail files are one too).
constexpr uint32_t kCompressedContainer = 0x66113388;

constexpr uint32_t kPackHeaderSize = 124;
constexpr uint32_t kPackNameField = 0x04; // 28 bytes
constexpr uint32_t kPackNameSize = 28;
constexpr uint32_t kPackFileNameField = 0x20; // 64 bytes
constexpr uint32_t kPackFileNameSize = 64;
constexpr uint32_t kPackHashField = 0x60;
constexpr uint32_t kPackOneField = 0x6C;

constexpr uint32_t kHashEntrySize = 8;
constexpr uint32_t kDataHeaderSize = 24;
constexpr uint32_t kPieceHeaderSize = 24;
constexpr uint32_t kDataAlignment = 128;
constexpr uint8_t kDataFill = 0x11;
constexpr uint32_t kXboxAlignment = 4096;

constexpr uint32_t kInfoConstant = 0x1A93CF;
constexpr uint32_t kInfoConstant2 = 0x1000100;
constexpr uint32_t kWorldInfoConstant = 0x1883E244;

// Fixed name area inside compressed texture buffers: length byte + 35 bytes.
constexpr uint32_t kCompressedNameArea = 36;
constexpr uint32_t kCompressedNameMax = 35;
// Version 9 compressed buffers start with a header area before the pixels.
constexpr uint32_t kHeadAreaPc = 256;
constexpr uint32_t kHeadAreaXbox = 4096;

// Largest uncompressed texture buffer a compressed pack may declare. The
// games' largest textures are a few tens of megabytes; the bound keeps a
// corrupt size from allocating gigabytes, and the writer holds to it too so
// that whatever it writes reads back.
constexpr uint32_t kMaxCompressedTexture = 128u << 20;

constexpr uint16_t kNone = 0xFFFF;

struct Layout {
    uint32_t version;
    uint16_t infoSize;
    uint16_t formatSize;
    uint16_t tableSize;
    bool nameInRecord; // versions 4 and 5: 24-byte name at 0x0C
    bool wideSizes; // version 10: 32-bit width, height and log2 fields
    // Info record fields (kNone when the version has no such field).
    uint16_t name;
    uint16_t hash;
    uint16_t constant;
    uint16_t dataOffset;
    uint16_t paletteOffset;
    uint16_t pixelBytes;
    uint16_t paletteBytes;
    uint16_t baseBytes;
    uint16_t width;
    uint16_t height;
    uint16_t log2Width;
    uint16_t log2Height;
    uint16_t formatClass;
    uint16_t paletteEntries;
    uint16_t mipCount;
    uint16_t modeFlag5;
    uint16_t modeFlag1;
    uint16_t alphaMode;
    uint16_t blendMode;
    uint16_t constant2;
    uint16_t pixelBytes2;
    // Format record fields.
    uint16_t formatCode;
    uint16_t formatFlag;
    // Bytes after the pixels (and palette) in a compressed texture buffer:
    // info record, name area, format record. 0 where the records come first.
    uint16_t compressedTail;
};

constexpr Layout kLayouts[] = {
    // v   info fmt tbl  inRec  wide   name  hash  const dOff  pOff  pix   pal   base  w     h     l2w   l2h   class pEnt  mips  f5    f1    alpha blend c2    pix2   code  flag  tail
    {4,    124,  32,   20,   true, false, 0x0C, 0x24, 0x28, 0x30, 0x34, 0x38,  0x3C, 0x40, 0x44,
     0x46, 0x48, 0x49, 0x4A, 0x4C, 0x4E,  0x51, 0x54, 0x55, 0x56, 0x62, kNone, 0x14, 0x08, 0},
    {5,    124,  32,   24,   true, false, 0x0C, 0x24, 0x28, 0x30, 0x34, 0x38,  0x3C, 0x40, 0x44,
     0x46, 0x48, 0x49, 0x4A, 0x4C, 0x4E,  0x51, 0x54, 0x55, 0x56, 0x62, kNone, 0x14, 0x08, 156},
    {8,    88,   24,   24,   false, false, kNone, 0x0C, 0x10, 0x14, 0x18, 0x1C,  0x20, 0x24,  0x28,
     0x2A, 0x2C, 0x2D, 0x2E, 0x30,  0x32,  0x35,  0x38, 0x39, 0x3A, 0x48, kNone, 0x0C, kNone, 148},
    {9,    88,   24,   24,   false, false, kNone, 0x0C, 0x10, 0x14, 0x18, 0x1C,  0x20, 0x24,  0x28,
     0x2A, 0x2C, 0x2D, 0x2E, 0x30,  0x32,  0x35,  0x38, 0x39, 0x3A, 0x48, kNone, 0x0C, kNone, 0},
    {10,   144,  32,   36,   false, true, kNone, 0x0C, 0x10, 0x50, kNone, 0x18, kNone, 0x1C,  0x20,
     0x24, 0x28, 0x2C, 0x30, kNone, 0x31, 0x34,  0x37, 0x39, 0x38, 0x46,  0x4C, 0x0C,  kNone, 212},
};

// The layout of a pack version, or nullptr for versions without one (6, 7
// and any number outside the table).
constexpr const Layout* LayoutFor(uint32_t version) {
    for (const Layout& layout : kLayouts) {
        if (layout.version == version) return &layout;
    }
    return nullptr;
}

} // namespace zelko::pack
