// Reading a texture pack: the chunk walk, the per-texture records and the
// pixel data, plain or compressed.
#include <algorithm>
#include <cstring>
#include <utility>

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/TextureFile.h"
#include "format/TextureFileLayout.h"

namespace zelko {

namespace {

using pack::kNone;
using pack::Layout;

// One hash-list entry and the records read for it so far. The records point
// into the reader's block, which outlives the load.
struct Entry {
    uint32_t hash = 0;
    std::string name;
    const uint8_t* info = nullptr;
    const uint8_t* format = nullptr;
    const uint8_t* table = nullptr; // version 4 compressed-table record
};

std::string BoundedText(const uint8_t* text, size_t limit) {
    const void* nul = std::memchr(text, 0, limit);
    const size_t length = nul ? size_t(static_cast<const uint8_t*>(nul) - text) : limit;
    return std::string(reinterpret_cast<const char*>(text), length);
}

// The size, mip count and mode bytes every version keeps in its info record.
// A texture's shape and blending as its info record gives them.
void ReadShape(const uint8_t* info, const Layout& layout, TextureSource& source) {
    source.width = layout.wideSizes ? LoadU32(info + layout.width) : LoadU16(info + layout.width);
    source.height = layout.wideSizes ? LoadU32(info + layout.height) : LoadU16(info + layout.height);
    source.mipCount = info[layout.mipCount];
    source.alphaMode = info[layout.alphaMode];
    source.blendMode = info[layout.blendMode];
}

// Who a texture is and where its bytes lay in the pack.
struct Placement {
    uint32_t hash = 0;
    std::string name;
    uint64_t dataOffset = 0;
    uint64_t paletteOffset = 0;
};

// An uncompressed texture buffer. Bytes no stream wrote are zeroed so a
// texture built from a damaged block never carries stale heap contents.
struct Buffer {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;
};

Buffer AllocateBuffer(uint32_t size) {
    if (size == 0 || size > pack::kMaxCompressedTexture) throw Error("Decompression failed");
    return Buffer{std::make_unique_for_overwrite<uint8_t[]>(size), size};
}

// One stream into a whole buffer; "Decompression failed" when it does not
// decode. A texture without bytes is a stream of none, with nothing to decode.
Buffer DecodeStream(const uint8_t* source, size_t sourceSize, uint32_t size) {
    if (size == 0) return Buffer{};
    Buffer buffer = AllocateBuffer(size);
    const uint32_t produced = DecompressStream(source, sourceSize, buffer.bytes.get(), size);
    if (produced == 0) throw Error("Decompression failed");
    if (produced < size) std::memset(buffer.bytes.get() + produced, 0, size - produced);
    return buffer;
}

class PackReader {
public:
    PackReader(TextureFile& file, ByteReader& reader)
        : file_(file), reader_(reader), pack_(reader.Position()), packSize_(reader.Remaining()) {}

    void Run();

private:
    // `count` bytes at `offset` from the pack's first byte, or "End of file".
    const uint8_t* PackBytes(uint64_t offset, uint64_t count) const {
        if (offset > packSize_ || count > packSize_ - offset) throw Error("End of file");
        return pack_ + offset;
    }
    size_t PackPosition() const { return size_t(reader_.Position() - pack_); }

    void ReadHashList(uint32_t size);
    void ReadInfoRecords();
    void ReadFormatRecords();
    void ReadTableRecords();
    void ReadCompressedTextures(uint32_t size);
    Buffer DecodePieces(uint32_t offset, uint32_t size) const;
    void BuildTextures();
    void BuildPlain(const Entry& entry, uint64_t dataStart);
    void BuildVersion4Compressed(const Entry& entry);
    // A texture from its info record, its format and bytes (`source`, whose
    // shape the record fills in) and its placement.
    void Append(const uint8_t* info, TextureSource source, Placement placement);

    TextureFile& file_;
    ByteReader& reader_;
    const uint8_t* pack_;
    size_t packSize_;
    const Layout* layout_ = nullptr;
    std::vector<Entry> entries_;
};

void PackReader::Run() {
    if (LoadU32(reader_.ReadArray(kChunkHeaderSize)) != pack::kRoot) {
        throw Error("File is not a texture archive.");
    }
    bool rawCompressed = false;
    const uint32_t version = DetectPackVersion(reader_, rawCompressed);
    if (version == 0) throw Error("Unable to detect game version.");
    file_.version = version;
    file_.hasCompressedTable = false;
    layout_ = pack::LayoutFor(version);

    // Nesting is ignored: groups are entered by reading on, as detection does.
    for (;;) {
        const uint8_t* header = reader_.ReadArray(kChunkHeaderSize);
        const uint32_t id = LoadU32(header);
        const uint32_t size = LoadU32(header + 4);
        switch (id) {
        case kPaddingChunkId:
        case pack::kSecondHeaderGroup:
        case pack::kDataHeader:
        case pack::kWorldMarker: reader_.Skip(size); break;
        case pack::kHeaderGroup:
        case pack::kDataGroup: break;
        case pack::kPackHeader: {
            const uint8_t* record = reader_.ReadArray(pack::kPackHeaderSize);
            file_.packFileName = BoundedText(record + pack::kPackFileNameField, pack::kPackFileNameSize);
            file_.packName = BoundedText(record + pack::kPackNameField, pack::kPackNameSize);
            break;
        }
        case pack::kHashList: ReadHashList(size); break;
        case pack::kCompressedTable:
            file_.hasCompressedTable = true;
            if (version == 4) {
                ReadTableRecords();
                break;
            }
            // The table lists every texture of a compressed pack; nothing
            // after it is needed.
            if (layout_) ReadCompressedTextures(size);
            return;
        case pack::kInfoRecords:
            // A version without a layout cannot read records; stepping over
            // them keeps the walk on the chunk boundaries.
            if (layout_)
                ReadInfoRecords();
            else
                reader_.Skip(size);
            break;
        case pack::kFormatRecords:
            if (layout_)
                ReadFormatRecords();
            else
                reader_.Skip(size);
            break;
        case pack::kPixelData:
        case pack::kPixelDataVariant: BuildTextures(); return;
        case kMagicJdlz:
        case pack::kPieceMagic:
            if (!rawCompressed) throw Error("Unexpected data type");
            BuildTextures();
            return;
        default: throw Error("Unexpected data type");
        }
    }
}

void PackReader::ReadHashList(uint32_t size) {
    const uint32_t count = size / pack::kHashEntrySize;
    entries_.reserve(entries_.size() + std::min<size_t>(count, reader_.Remaining() / pack::kHashEntrySize));
    for (uint32_t i = 0; i < count; ++i) {
        Entry entry;
        entry.hash = LoadU32(reader_.ReadArray(pack::kHashEntrySize));
        entries_.push_back(std::move(entry));
    }
}

// Exactly one record per entry whatever the chunk's size says: that is how
// the games' packs are read.
void PackReader::ReadInfoRecords() {
    for (Entry& entry : entries_) {
        entry.info = reader_.ReadArray(layout_->infoSize);
        if (layout_->nameInRecord) {
            entry.name = BoundedText(entry.info + layout_->name, 24);
        } else {
            const uint8_t length = reader_.ReadU8();
            entry.name = BoundedText(reader_.ReadArray(length), length);
        }
    }
}

void PackReader::ReadFormatRecords() {
    for (Entry& entry : entries_) entry.format = reader_.ReadArray(layout_->formatSize);
}

void PackReader::ReadTableRecords() {
    for (Entry& entry : entries_) entry.table = reader_.ReadArray(layout_->tableSize);
}

void PackReader::BuildTextures() {
    const size_t position = PackPosition();
    const uint64_t dataStart = uint64_t(position) + PadTo(position, pack::kDataAlignment);
    if (!layout_) return;

    // An entry the records never reached has no size, format or name; building
    // it would make a texture out of whatever bytes follow.
    const bool version4Table = layout_->version == 4 && file_.hasCompressedTable;
    for (const Entry& entry : entries_) {
        if (!entry.info || !entry.format || (version4Table && !entry.table)) {
            throw Error("Missing texture record");
        }
    }
    // A version 4 table whose records all have no compressed bytes indexes a
    // plain pack; it is read, and saved again, as one.
    if (version4Table && !entries_.empty() && std::none_of(entries_.begin(), entries_.end(), [](const Entry& entry) {
            return LoadU32(entry.table + pack::kTableStoredSize) != 0;
        })) {
        file_.hasCompressedTable = false;
    }

    for (const Entry& entry : entries_) {
        if (layout_->version == 4 && entry.table && LoadU32(entry.table + pack::kTableStoredSize) != 0) {
            BuildVersion4Compressed(entry);
        } else {
            BuildPlain(entry, dataStart);
        }
    }
}

void PackReader::BuildPlain(const Entry& entry, uint64_t dataStart) {
    const Layout& layout = *layout_;
    const uint8_t* info = entry.info;
    const uint32_t format = LoadU32(entry.format + layout.formatCode);
    const uint8_t flag = layout.formatFlag != kNone && LoadU32(entry.format + layout.formatFlag) != 0;

    // Versions 8 and 9 keep no palette with the pixels; a record that
    // announces one is passed over.
    if (layout.paletteBytes != kNone && layout.version >= 8 && LoadU32(info + layout.paletteBytes) != 0) return;

    uint64_t dataOffset = dataStart + LoadU32(info + layout.dataOffset);
    uint64_t paletteOffset = layout.paletteOffset != kNone ? dataStart + LoadU32(info + layout.paletteOffset) : 0;
    // Only versions 4 and 5 carry a palette with the pixels.
    const uint32_t paletteCount = layout.version <= 5 ? LoadU32(info + layout.paletteBytes) : 0;
    // Xbox 360 pixels start on a 4096-byte boundary of the pack.
    if (layout.version == 5 && IsXboxFormat(format)) {
        const uint32_t pad = PadTo(dataOffset, pack::kXboxAlignment);
        dataOffset += pad;
        paletteOffset += pad;
    }
    const uint32_t pixelCount = LoadU32(info + layout.pixelBytes);
    const uint8_t* pixels = PackBytes(dataOffset, pixelCount);
    const uint8_t* palette = paletteCount ? PackBytes(paletteOffset, paletteCount) : nullptr;
    Append(info,
           {.format = format,
            .pixels = pixels,
            .pixelCount = pixelCount,
            .palette = palette,
            .paletteCount = paletteCount,
            .formatRecordFlag = flag},
           {entry.hash, entry.name, dataOffset, paletteOffset});
}

void PackReader::BuildVersion4Compressed(const Entry& entry) {
    const uint8_t* info = entry.info;
    const uint32_t offset = LoadU32(entry.table + pack::kTableBlockOffset);
    const uint8_t* header = PackBytes(offset, kStreamHeaderSize);
    const uint32_t streamSize = LoadU32(header + 0x0C);
    const uint8_t* stream = PackBytes(offset, streamSize);
    const Buffer buffer = DecodeStream(stream, streamSize, LoadU32(header + 0x08));

    // Pixels first, the palette at the very end of the buffer.
    const uint32_t pixelCount = LoadU32(info + 0x38);
    const uint32_t paletteCount = LoadU32(info + 0x3C);
    if (pixelCount > buffer.size || paletteCount > buffer.size) throw Error("End of file");
    const uint8_t* palette = paletteCount ? buffer.bytes.get() + (buffer.size - paletteCount) : nullptr;
    const uint8_t flag = LoadU32(entry.format + layout_->formatFlag) != 0;
    Append(info,
           {.format = LoadU32(entry.format + layout_->formatCode),
            .pixels = buffer.bytes.get(),
            .pixelCount = pixelCount,
            .palette = palette,
            .paletteCount = paletteCount,
            .formatRecordFlag = flag},
           {entry.hash, entry.name});
}

void PackReader::ReadCompressedTextures(uint32_t size) {
    const Layout& layout = *layout_;
    const uint32_t count = size / layout.tableSize;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* record = reader_.ReadArray(layout.tableSize);
        const uint32_t offset = LoadU32(record + pack::kTableBlockOffset);
        const uint32_t total = LoadU32(record + pack::kTableUnpackedSize);
        // The records sit at the end of the buffer (at its start in version 9).
        const uint32_t recordsSize = layout.version == 9 ? pack::kHeadAreaPc : layout.compressedTail;
        if (total < recordsSize) throw Error("End of file");

        if (layout.version == 5) {
            const uint8_t* stream = PackBytes(offset, 0);
            const Buffer buffer = DecodeStream(stream, packSize_ - offset, total);
            const uint8_t* info = buffer.bytes.get() + (total - layout.compressedTail);
            const uint8_t* format = buffer.bytes.get() + (total - layout.formatSize);
            const uint32_t paletteCount = LoadU32(info + layout.paletteBytes);
            if (paletteCount > total - layout.compressedTail) throw Error("End of file");
            const uint32_t pixelCount = total - layout.compressedTail - paletteCount;
            const uint8_t* palette = paletteCount ? buffer.bytes.get() + pixelCount : nullptr;
            Append(info,
                   {.format = LoadU32(format + layout.formatCode),
                    .pixels = buffer.bytes.get(),
                    .pixelCount = pixelCount,
                    .palette = palette,
                    .paletteCount = paletteCount,
                    .formatRecordFlag = LoadU32(format + layout.formatFlag) != 0},
                   {LoadU32(info + layout.hash), BoundedText(info + layout.name, 24)});
            continue;
        }

        const Buffer buffer = DecodePieces(offset, total);
        const uint8_t* bytes = buffer.bytes.get();
        const uint8_t* info = layout.version == 9 ? bytes : bytes + (total - layout.compressedTail);
        const uint8_t* name = info + layout.infoSize + 1;
        const uint32_t format = LoadU32(info + layout.infoSize + pack::kCompressedNameArea + layout.formatCode);
        const uint8_t* pixels = bytes;
        uint32_t pixelCount = total - layout.compressedTail;
        if (layout.version == 9) {
            const uint32_t head = IsXboxFormat(format) ? pack::kHeadAreaXbox : pack::kHeadAreaPc;
            if (total < head) throw Error("End of file");
            pixels = bytes + head;
            pixelCount = total - head;
        }
        Append(info, {.format = format, .pixels = pixels, .pixelCount = pixelCount},
               {LoadU32(info + layout.hash), BoundedText(name, pack::kCompressedNameMax)});
    }
}

// A run of pieces, each a 24-byte header and one stream that fills part of
// the buffer. A piece that does not decode ends the run quietly, as in the
// games; the texture keeps what the earlier pieces produced.
Buffer PackReader::DecodePieces(uint32_t offset, uint32_t size) const {
    Buffer buffer = AllocateBuffer(size);
    std::vector<std::pair<uint32_t, uint32_t>> written;
    uint64_t input = offset;
    uint64_t declared = 0;
    uint64_t decoded = 0;
    // Counting decoded bytes too bounds the work when piece headers lie.
    while (declared < size && decoded < size) {
        const uint8_t* piece = PackBytes(input, pack::kPieceHeaderSize);
        const uint32_t pieceOutput = LoadU32(piece + pack::kPieceOutputSize);
        const uint32_t pieceSize = LoadU32(piece + pack::kPieceStoredSize);
        const uint32_t outputAt = LoadU32(piece + pack::kPieceOutputAt);
        if (outputAt >= size) break;
        const uint64_t streamAt = input + pack::kPieceHeaderSize;
        const uint32_t produced = DecompressStream(pack_ + streamAt, packSize_ - streamAt,
                                                   buffer.bytes.get() + outputAt, size - outputAt);
        if (produced == 0) break;
        written.emplace_back(outputAt, produced);
        decoded += produced;
        // A piece that claims no output or no input would repeat forever.
        if (pieceOutput == 0 || pieceSize <= pack::kPieceHeaderSize) break;
        declared += pieceOutput;
        input += pieceSize;
    }

    std::sort(written.begin(), written.end());
    uint32_t filled = 0;
    for (const auto& [at, count] : written) {
        if (at > filled) std::memset(buffer.bytes.get() + filled, 0, at - filled);
        filled = std::max(filled, at + count);
    }
    if (filled < size) std::memset(buffer.bytes.get() + filled, 0, size - filled);
    return buffer;
}

void PackReader::Append(const uint8_t* info, TextureSource source, Placement placement) {
    if (placement.hash == 0) throw Error("invalid hash");
    ReadShape(info, *layout_, source);
    auto texture = TextureObject::Create(source, file_.packInMemory);
    texture->hash = placement.hash;
    texture->name = std::move(placement.name);
    texture->dataOffset = uint32_t(placement.dataOffset);
    texture->paletteOffset = uint32_t(placement.paletteOffset);
    if (file_.keepGameRecords) texture->gameRecord.assign(info, info + layout_->infoSize);
    file_.textures.push_back(std::move(texture));
}

} // namespace

void TextureFile::Load(ByteReader& reader) { PackReader(*this, reader).Run(); }

} // namespace zelko
