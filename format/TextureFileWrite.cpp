// Writing a texture pack in the layout of one game, plain or compressed.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/Parallel.h"
#include "format/TextureFile.h"
#include "format/TextureFileLayout.h"
#include "texture/PixelFormat.h"

namespace zelko {

namespace {

using pack::kNone;
using pack::Layout;

uint8_t FormatClass(uint32_t format, uint8_t current) {
    switch (format) {
    case kFormatDXT1: return 0x22;
    case kFormatDXT3: return 0x24;
    case kFormatDXT5: return 0x26;
    case kFormatATI2: return 0x27;
    case kFormatATI1: return 0x2C;
    case kFormatARGB: return 0x20;
    case kFormatP8: return 8;
    default: return current;
    }
}

// Formats a record made from scratch may describe.
bool WritableAsNew(uint32_t format, uint32_t version) {
    switch (format) {
    case kFormatDXT1:
    case kFormatDXT3:
    case kFormatDXT5:
    case kFormatARGB: return true;
    case kFormatATI1:
    case kFormatATI2: return version == 10;
    default: return false;
    }
}

// Halvings down to 1: the integer part of log2 (0 for 0).
uint32_t Log2(uint32_t value) { return uint32_t(std::bit_width(value | 1u)) - 1; }

// Length byte and name of versions 8 to 10. Compressed buffers have a fixed
// 35-byte area; plain packs pad the name so the next record starts aligned.
void WriteNameField(ByteWriter& writer, const std::string& name, uint32_t version, bool compressed) {
    if (compressed) {
        uint8_t area[pack::kCompressedNameMax] = {};
        const size_t length = std::min<size_t>(name.size(), pack::kCompressedNameMax);
        std::memcpy(area, name.data(), length);
        writer.WriteU8(uint8_t(length));
        writer.Write(area, sizeof area);
        return;
    }
    const uint32_t alignment = version == 10 ? 4 : 32;
    const uint64_t at = uint64_t(writer.BaseOffset()) + writer.Position();
    // The length is one byte: a name too long for it is shortened rather than
    // written with a wrapped length that would derail every later record.
    size_t length = std::min<size_t>(name.size(), 254);
    uint64_t field = 0;
    for (;; --length) {
        const uint64_t end = at + 1 + length + 1;
        field = length + 1 + PadTo(end, alignment);
        if (field <= 255) break;
    }
    writer.WriteU8(uint8_t(field));
    writer.Write(name.data(), length);
    writer.Fill(0, size_t(field - length));
}

void WriteTableRecord(ByteWriter& writer, uint32_t version, uint32_t hash) {
    const Layout& layout = *pack::LayoutFor(version);
    uint8_t record[36] = {};
    StoreU32(record, hash);
    switch (version) {
    case 4: StoreU32(record + 0x0C, 256); break;
    case 5: record[0x11] = 1; break;
    case 8:
    case 9: record[0x11] = 2; break;
    case 10:
        StoreU32(record + 0x10, 212);
        record[0x15] = 6;
        break;
    }
    writer.Write(record, layout.tableSize);
}

void WritePixels(ByteWriter& writer, const TextureObject& texture) {
    texture.CopyPixelsTo(writer.WriteInPlace(texture.pixelsSize));
}

void WritePalette(ByteWriter& writer, const TextureObject& texture) {
    if (texture.paletteSize) writer.Write(texture.palette.data(), texture.paletteSize);
}

// Composes one pack in its own buffer so that a failure leaves the caller's
// writer as it was.
class PackComposer {
public:
    PackComposer(const TextureFile& file, uint32_t version, std::vector<const TextureObject*> order)
        : file_(file),
          version_(version),
          layout_(*pack::LayoutFor(version)),
          order_(std::move(order)),
          packHash_(NameHash(file.packFileName)) {}

    void Compose();
    ByteWriter& Bytes() { return w_; }
    uint32_t DataChunkPosition() const { return dataChunkPosition_; }

private:
    void WritePackHeader();
    void WriteHashList();
    void WriteDataGroupStart();
    // The info and format record chunks; remembers where each info record starts.
    void WriteRecordChunks(std::vector<uint32_t>& recordAt);
    void ComposePlain();
    void ComposeCompressed();
    void ComposeVersion4();

    const TextureFile& file_;
    uint32_t version_;
    const Layout& layout_;
    std::vector<const TextureObject*> order_;
    uint32_t packHash_;
    ByteWriter w_;
    uint32_t dataChunkPosition_ = 0;
};

void PackComposer::Compose() {
    // The pixels and a generous allowance for records, tables and alignment;
    // pages never written are never touched.
    uint64_t estimate = 64 * 1024;
    for (const TextureObject* texture : order_) estimate += uint64_t(texture->pixelsSize) + texture->paletteSize + 512;
    w_.ReserveCapacity(size_t(std::min<uint64_t>(estimate, std::numeric_limits<uint32_t>::max())));
    w_.WriteU32(pack::kRoot);
    w_.WriteU32(0);
    WriteAlignmentChunk(w_, version_ == 4 ? 16 : 64);
    if (version_ == 4) {
        ComposeVersion4();
    } else if (file_.hasCompressedTable) {
        ComposeCompressed();
    } else {
        ComposePlain();
    }
    w_.WriteAt(w_.Size() - uint32_t(kChunkHeaderSize), 4);
}

void PackComposer::WritePackHeader() {
    uint8_t header[pack::kPackHeaderSize] = {};
    StoreU32(header, version_);
    std::memcpy(header + pack::kPackNameField, file_.packName.data(),
                std::min<size_t>(file_.packName.size(), pack::kPackNameSize - 1));
    std::memcpy(header + pack::kPackFileNameField, file_.packFileName.data(),
                std::min<size_t>(file_.packFileName.size(), pack::kPackFileNameSize));
    StoreU32(header + pack::kPackHashField, packHash_);
    StoreU16(header + pack::kPackOneField, 1);
    w_.WriteU32(pack::kPackHeader);
    w_.WriteU32(pack::kPackHeaderSize);
    w_.Write(header, sizeof header);
}

void PackComposer::WriteRecordChunks(std::vector<uint32_t>& recordAt) {
    {
        ChunkScope info(w_, pack::kInfoRecords);
        for (const TextureObject* texture : order_) {
            recordAt.push_back(w_.Position());
            WriteTextureInfo(w_, *texture, version_, nullptr, false);
        }
    }
    ChunkScope formats(w_, pack::kFormatRecords);
    for (const TextureObject* texture : order_) WriteFormatRecord(w_, *texture, version_);
}

void PackComposer::WriteHashList() {
    ChunkScope list(w_, pack::kHashList);
    for (const TextureObject* texture : order_) {
        w_.WriteU32(texture->hash);
        w_.WriteU32(0);
    }
}

// Padding, the data group's header chunks and padding again: the pixel-data
// chunk that follows starts on a multiple of 128.
void PackComposer::WriteDataGroupStart() {
    if (version_ == 10) {
        w_.WriteU32(pack::kWorldMarker);
        w_.WriteU32(4);
        w_.WriteU32(0);
    }
    w_.WriteU32(pack::kDataHeader);
    w_.WriteU32(pack::kDataHeaderSize);
    const uint32_t values[6] = {0, 0, 1, packHash_, 0, 0};
    for (uint32_t value : values) w_.WriteU32(value);
    WriteAlignmentChunk(w_, pack::kDataAlignment);
}

void PackComposer::ComposePlain() {
    std::vector<uint32_t> recordAt;
    {
        ChunkScope group(w_, pack::kHeaderGroup);
        WritePackHeader();
        WriteHashList();
        WriteRecordChunks(recordAt);
    }
    WriteAlignmentChunk(w_, pack::kDataAlignment);
    ChunkScope group(w_, pack::kDataGroup);
    WriteDataGroupStart();
    dataChunkPosition_ = w_.Position();
    ChunkScope data(w_, pack::kPixelData, pack::kDataAlignment, pack::kDataFill);
    const uint32_t dataStart = w_.Position();
    for (size_t i = 0; i < order_.size(); ++i) {
        const TextureObject& texture = *order_[i];
        uint32_t paletteOffset = 0;
        if (texture.paletteSize) {
            paletteOffset = w_.Position() - dataStart;
            WritePalette(w_, texture);
        }
        const uint32_t dataOffset = w_.Position() - dataStart;
        WritePixels(w_, texture);
        w_.Fill(0, PadTo(w_.Position(), pack::kDataAlignment));
        w_.WriteAt(dataOffset, recordAt[i] + layout_.dataOffset);
        if (layout_.paletteOffset != kNone) w_.WriteAt(paletteOffset, recordAt[i] + layout_.paletteOffset);
    }
}

// Scratch blocks up to this size are kept by each thread between textures.
constexpr size_t kKeptScratch = size_t(8) << 20;

// A texture's bytes as a "JDLZ" stream.
std::vector<uint8_t> CompressStream(const uint8_t* bytes, uint32_t count, const TextureObject& texture) {
    // The reader refuses larger buffers; writing one would lose the texture.
    if (count > pack::kMaxCompressedTexture) throw Error(texture.name + ": Texture too large to compress");
    // The bound is well above what the stream takes; one scratch block per
    // thread spares a fresh, zeroed block of that size for every texture.
    thread_local std::vector<uint8_t> kept;
    std::vector<uint8_t> once;
    const size_t bound = JdlzCompressBound(count);
    std::vector<uint8_t>& scratch = bound <= kKeptScratch ? kept : once;
    if (scratch.size() < bound) scratch.resize(bound);
    const uint32_t size = CompressJdlz(bytes, count, scratch.data(), bound);
    if (size == 0) throw Error("Compression failed");
    return std::vector<uint8_t>(scratch.begin(), scratch.begin() + size);
}

void PackComposer::ComposeCompressed() {
    uint32_t tableAt = 0;
    {
        ChunkScope group(w_, pack::kHeaderGroup);
        WritePackHeader();
        WriteHashList();
        ChunkScope table(w_, pack::kCompressedTable);
        tableAt = w_.Position();
        for (const TextureObject* texture : order_) WriteTableRecord(w_, version_, texture->hash);
    }
    WriteAlignmentChunk(w_, pack::kDataAlignment);
    ChunkScope group(w_, pack::kDataGroup);
    WriteDataGroupStart();
    ChunkScope data(w_, pack::kPixelData, pack::kDataAlignment, pack::kDataFill);

    // Each record carries the running offset of the pixels before it (the
    // sum of their pixel sizes), known before any is compressed.
    std::vector<uint32_t> runningBefore(order_.size());
    uint32_t running = 0;
    for (size_t i = 0; i < order_.size(); ++i) {
        runningBefore[i] = running;
        running += order_[i]->pixelsSize;
    }
    struct Block {
        uint32_t total = 0; // bytes before compression
        std::vector<uint8_t> stream;
    };
    // Compressed on every core, up to 64 textures a core ahead of the one
    // laid out. Waiting blocks cost nothing extra: the writer would hold them
    // a moment later anyway. A short reach left a core idle behind each large
    // texture while the other finished the small ones up to the limit (a 315
    // MB pack of mixed sizes on two cores: 2.85 s with 2 a core, 1.80 s with
    // 8, 1.51 s with 64, against 2.9 s for one core).
    ForEachInOrder<Block>(
        order_.size(), DefaultJobs(),
        [&](size_t i) {
            const TextureObject& texture = *order_[i];
            uint32_t offset = runningBefore[i];
            ByteWriter buffer;
            // The records and head area come to well under 1 KiB.
            buffer.ReserveCapacity(size_t(texture.pixelsSize) + texture.paletteSize + 1024);
            if (version_ == 9) {
                WriteTextureInfo(buffer, texture, version_, &offset, true);
                WriteFormatRecord(buffer, texture, version_);
                buffer.Fill(0, pack::kHeadAreaPc - buffer.Size());
                WritePixels(buffer, texture);
                WritePalette(buffer, texture);
            } else {
                WritePixels(buffer, texture);
                WritePalette(buffer, texture);
                WriteTextureInfo(buffer, texture, version_, &offset, true);
                WriteFormatRecord(buffer, texture, version_);
            }
            return Block{buffer.Size(), CompressStream(buffer.Data(), buffer.Size(), texture)};
        },
        [&](size_t i, Block& block) {
            const uint32_t blockAt = w_.Position();
            uint32_t compressedSize = uint32_t(block.stream.size());
            if (version_ != 5) {
                const uint32_t header[6] = {pack::kPieceMagic, block.total, 0, 0, 0, 0};
                for (uint32_t value : header) w_.WriteU32(value);
                compressedSize += pack::kPieceHeaderSize;
                w_.WriteAt(compressedSize, blockAt + pack::kPieceStoredSize);
            }
            w_.Write(block.stream.data(), uint32_t(block.stream.size()));
            const uint32_t recordAt = tableAt + uint32_t(i) * layout_.tableSize;
            w_.WriteAt(blockAt, recordAt + pack::kTableBlockOffset);
            w_.WriteAt(compressedSize, recordAt + pack::kTableStoredSize);
            w_.WriteAt(block.total, recordAt + pack::kTableUnpackedSize);
        },
        {}, 64);
}

void PackComposer::ComposeVersion4() {
    const bool compressed = file_.hasCompressedTable;
    uint32_t tableAt = 0;
    std::vector<uint32_t> recordAt;
    {
        ChunkScope group(w_, pack::kHeaderGroup);
        WritePackHeader();
        WriteHashList();
        // The reader takes this table as the mark of compressed data, so a
        // plain pack goes without it.
        if (compressed) {
            ChunkScope table(w_, pack::kCompressedTable);
            tableAt = w_.Position();
            for (const TextureObject* texture : order_) WriteTableRecord(w_, version_, texture->hash);
        }
        WriteRecordChunks(recordAt);
    }
    WriteAlignmentChunk(w_, pack::kDataAlignment);
    ChunkScope group(w_, pack::kDataGroup);
    WriteDataGroupStart();
    ChunkScope data(w_, pack::kPixelData, pack::kDataAlignment, pack::kDataFill);
    const uint32_t dataStart = w_.Position();

    uint32_t running = 0;
    for (size_t i = 0; i < order_.size(); ++i) {
        const TextureObject& texture = *order_[i];
        uint32_t dataOffset = 0;
        uint32_t paletteOffset = 0;
        if (compressed) {
            ByteWriter buffer;
            WritePixels(buffer, texture);
            WritePalette(buffer, texture);
            const uint32_t blockAt = w_.Position();
            const std::vector<uint8_t> stream = CompressStream(buffer.Data(), buffer.Size(), texture);
            w_.Write(stream.data(), uint32_t(stream.size()));
            const uint32_t size = uint32_t(stream.size());
            w_.WriteAt(blockAt, tableAt + uint32_t(i) * layout_.tableSize + pack::kTableBlockOffset);
            w_.WriteAt(size, tableAt + uint32_t(i) * layout_.tableSize + pack::kTableStoredSize);
            dataOffset = running;
            paletteOffset = running + texture.pixelsSize;
            running += texture.pixelsSize + texture.paletteSize;
        } else {
            dataOffset = w_.Position() - dataStart;
            WritePixels(w_, texture);
            paletteOffset = w_.Position() - dataStart;
            WritePalette(w_, texture);
        }
        w_.WriteAt(dataOffset, recordAt[i] + layout_.dataOffset);
        w_.WriteAt(paletteOffset, recordAt[i] + layout_.paletteOffset);
    }
}

} // namespace

void WriteTextureInfo(ByteWriter& writer, const TextureObject& texture, uint32_t version, uint32_t* runningOffset,
                      bool compressed) {
    const Layout* found = pack::LayoutFor(version);
    if (!found) throw Error("Not supported game version");
    const Layout& layout = *found;
    if (compressed && texture.gameRecord.empty() && !texture.flagsEdited) {
        throw Error("Uninitialized texture cannot be saved");
    }
    const uint32_t baseBytes = BaseSliceSize(texture);
    // The count is one byte; a larger one would read back as another texture.
    // (Widths and heights above what 16 bits hold fail the slice size.)
    if (texture.mipCount > 0xFF) throw Error("Invalid mip map count");
    if (texture.hash == 0) throw Error("invalid hash");

    uint8_t record[144] = {};
    // A record of another version's size has another layout; it cannot be
    // reused field for field.
    const bool fromGame = texture.gameRecord.size() == layout.infoSize;
    if (fromGame) {
        std::memcpy(record, texture.gameRecord.data(), layout.infoSize);
    } else {
        if (!WritableAsNew(texture.format, version)) throw Error(texture.name + ": Not supported texture format");
        if (version == 4 || version == 5) record[0x57] = 1;
        if (version == 4) StoreU16(record + 0x58, 256);
        if (version == 8 || version == 9) {
            StoreU32(record + 0x18, 0xFFFFFFFF);
            StoreU16(record + 0x3B, 1);
        }
    }

    if (layout.nameInRecord) {
        std::memset(record + layout.name, 0, 24);
        std::memcpy(record + layout.name, texture.name.data(), std::min<size_t>(texture.name.size(), 24));
        record[layout.name + 23] = 0;
    }
    StoreU32(record + layout.hash, texture.hash);
    StoreU32(record + layout.pixelBytes, texture.pixelsSize);
    if (layout.paletteBytes != kNone) StoreU32(record + layout.paletteBytes, texture.paletteSize);
    StoreU32(record + layout.baseBytes, baseBytes);
    if (layout.wideSizes) {
        StoreU32(record + layout.width, texture.width);
        StoreU32(record + layout.height, texture.height);
        StoreU32(record + layout.log2Width, Log2(texture.width));
        StoreU32(record + layout.log2Height, Log2(texture.height));
    } else {
        StoreU16(record + layout.width, uint16_t(texture.width));
        StoreU16(record + layout.height, uint16_t(texture.height));
        record[layout.log2Width] = uint8_t(Log2(texture.width));
        record[layout.log2Height] = uint8_t(Log2(texture.height));
    }
    record[layout.mipCount] = uint8_t(texture.mipCount);
    if (layout.paletteEntries != kNone) StoreU16(record + layout.paletteEntries, uint16_t(texture.paletteSize / 4));
    record[layout.alphaMode] = texture.alphaMode;
    record[layout.blendMode] = texture.blendMode;
    if (version == 10) {
        StoreU32(record + layout.constant, pack::kInfoConstant);
        StoreU32(record + 0x14, pack::kWorldInfoConstant);
        StoreU32(record + layout.pixelBytes2, texture.pixelsSize);
        if (compressed) record[0x32] = 0;
    }

    if (texture.flagsEdited || !fromGame) {
        StoreU32(record + layout.constant, pack::kInfoConstant);
        StoreU32(record + layout.constant2, pack::kInfoConstant2);
        record[layout.formatClass] = FormatClass(texture.format, record[layout.formatClass]);
        const bool modes = texture.alphaMode != 0 || texture.blendMode != 0;
        record[layout.modeFlag5] = modes ? 5 : 0;
        record[layout.modeFlag1] = modes ? 1 : 0;
    }

    if (runningOffset && version != 4) {
        StoreU32(record + layout.dataOffset, *runningOffset);
        if (version == 5 || (layout.paletteOffset != kNone && LoadU32(record + layout.paletteOffset) != 0xFFFFFFFF)) {
            StoreU32(record + layout.paletteOffset, *runningOffset + texture.pixelsSize);
        }
        *runningOffset += texture.pixelsSize;
    }

    writer.Write(record, layout.infoSize);
    if (!layout.nameInRecord) WriteNameField(writer, texture.name, version, compressed);
}

void WriteFormatRecord(ByteWriter& writer, const TextureObject& texture, uint32_t version) {
    const Layout* layout = pack::LayoutFor(version);
    if (!layout) throw Error("Not supported game");
    uint8_t record[32] = {};
    if (version == 4 || version == 5) {
        StoreU32(record + 0x08, texture.formatRecordFlag);
        StoreU32(record + 0x0C, 5);
        StoreU32(record + 0x10, 6);
    }
    StoreU32(record + layout->formatCode, texture.format);
    writer.Write(record, layout->formatSize);
}

void TextureFile::Save(int game, ByteWriter& writer) {
    const uint32_t newVersion = PackVersionOf(game);
    if (newVersion == 0) throw Error("Not supported game");
    version = newVersion;
    if (textures.empty()) throw Error("No textures to save.");

    std::vector<const TextureObject*> order;
    order.reserve(textures.size());
    for (const auto& texture : textures) order.push_back(texture.get());
    std::stable_sort(order.begin(), order.end(),
                     [](const TextureObject* a, const TextureObject* b) { return a->hash < b->hash; });
    for (const TextureObject* texture : order) {
        if (texture->hash == 0) throw Error("invalid hash");
        // Versions 8 to 10 have no palette in their records; the reader passes
        // such textures over, so saving one would drop it from the pack.
        if (version >= 8 && texture->paletteSize != 0) {
            throw Error(texture->name + ": Textures with a palette are not supported by this game");
        }
    }

    PackComposer composer(*this, version, std::move(order));
    composer.Compose();
    ByteWriter& bytes = composer.Bytes();
    if (writer.Size() == 0) {
        // Taken over whole: a copy of every pixel less.
        bytes.SetBaseOffset(writer.BaseOffset());
        writer = std::move(bytes);
        writer.Seek(writer.Size());
    } else {
        writer.Write(bytes.Data(), bytes.Size());
    }
    if (version != 4 && !hasCompressedTable) dataChunkPosition = composer.DataChunkPosition();
}

} // namespace zelko
