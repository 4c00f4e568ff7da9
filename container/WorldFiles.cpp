// The two World containers: the vinyl file and the thumbnails folder.
#include <algorithm>
#include <bit>
#include <cstring>

#include "container/BinFile.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/NameHash.h"
#include "format/SafeFile.h"
#include "format/TextureFileLayout.h"

namespace zelko {

namespace {

constexpr size_t kBlockHeaderSize = 24;
constexpr size_t kThumbnailRecordSize = 212;

bool IsVinylDataChunk(uint32_t id) { return id == 0 || id == 0x8003CE00 || id == 0x3CE01 || id == 0x3CE02; }

} // namespace

bool VinylBinFile::Open(const std::filesystem::path& path, ArchiveEntry& openEntry) {
    canRebuild = true;
    entry = &openEntry;
    ByteReader file;
    file.OpenFile(path);
    if (file.Size() <= 16 || LoadU32(file.Begin()) != pack::kCompressedContainer) return false;

    const uint32_t total = LoadU32(file.Begin() + 4);
    if (!PlausibleUnpackedSize(total, file.Size())) return false;
    auto data = std::make_unique<uint8_t[]>(total ? total : 1);
    size_t produced = 0;
    file.Skip(16);
    while (file.Remaining() > kBlockHeaderSize) {
        const uint8_t* header = file.ReadArray(kBlockHeaderSize);
        if (LoadU32(header) != pack::kPieceMagic) return false;
        const uint32_t blockSize = LoadU32(header + 8);
        if (blockSize < kBlockHeaderSize) return false;
        const size_t streamSize = blockSize - kBlockHeaderSize;
        const uint8_t* stream = file.ReadArray(streamSize);
        const uint32_t n = DecompressStream(stream, streamSize, data.get() + produced, total - produced);
        if (n == 0) return false;
        produced += n;
    }

    ByteReader chunks(data.get(), produced);
    for (;;) {
        const uint32_t id = chunks.PeekU32();
        if (id == pack::kRoot) break;
        if (!IsVinylDataChunk(id)) throw Error("Unexpected data type");
        chunks.Skip(4);
        const uint32_t size = chunks.ReadU32();
        chunks.Skip(size);
    }
    auto loaded = std::make_unique<TextureFile>();
    ByteReader packReader(chunks.Position(), chunks.Remaining());
    loaded->LoadFrom(7, packReader);
    pack = std::move(loaded);
    loadedPackName = pack->packName;
    loadedPackFileName = pack->packFileName;
    return true;
}

bool VinylBinFile::Save(const std::filesystem::path&, bool) {
    host.Message("This feature is not available");
    return false;
}

bool ZRCWorldIconsFolder::Open(const std::filesystem::path& folder, ArchiveEntry& openEntry) {
    canRebuild = true;
    entry = &openEntry;
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        // The extension test is exact: ".STP" is not a thumbnail.
        if (item.is_regular_file() && item.path().extension() == ".stp") files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    pack = std::make_unique<TextureFile>();
    for (const auto& file : files) {
        LoadFile(file);
        host.Pump();
    }
    NoteFirstTexture();
    return true;
}

bool ZRCWorldIconsFolder::LoadFile(const std::filesystem::path& file) {
    ByteReader reader;
    reader.OpenFile(file);
    // First pass: every block must carry the magic; sum the unpacked sizes.
    uint64_t total = 0;
    std::vector<std::pair<const uint8_t*, uint32_t>> blocks;
    while (!reader.AtEnd()) {
        if (reader.Remaining() < kBlockHeaderSize) return false;
        const uint8_t* header = reader.PeekPointer(kBlockHeaderSize);
        if (LoadU32(header) != pack::kPieceMagic) return false;
        const uint32_t blockSize = LoadU32(header + 8);
        if (blockSize < kBlockHeaderSize || blockSize > reader.Remaining()) return false;
        total += LoadU32(header + 4);
        blocks.emplace_back(header, blockSize);
        reader.Skip(blockSize);
    }
    if (total < kThumbnailRecordSize || total > UINT32_MAX || !PlausibleUnpackedSize(total, reader.Size()))
        return false;

    std::vector<uint8_t> data(static_cast<size_t>(total));
    size_t produced = 0;
    for (const auto& [block, size] : blocks) {
        const uint32_t n = DecompressStream(block + kBlockHeaderSize, size - kBlockHeaderSize, data.data() + produced,
                                            data.size() - produced);
        if (n == 0) return false;
        produced += n;
    }
    if (produced != data.size()) return false;

    const uint8_t* record = data.data() + data.size() - kThumbnailRecordSize;
    const uint32_t pixelCount = uint32_t(data.size() - kThumbnailRecordSize);
    auto texture = TextureObject::Create({.width = LoadU32(record + 32),
                                          .height = LoadU32(record + 36),
                                          .format = LoadU32(record + 192),
                                          .mipCount = record[49],
                                          .pixels = data.data(),
                                          .pixelCount = pixelCount});
    const char* nameStart = reinterpret_cast<const char*>(record + 145);
    texture->name.assign(nameStart, strnlen(nameStart, kThumbnailRecordSize - 145));
    texture->hash = NameHash(texture->name);
    texture->sourcePath = file;
    texture->gameRecord.assign(record, record + kThumbnailRecordSize);
    pack->textures.push_back(std::move(texture));
    return true;
}

bool ZRCWorldIconsFolder::Save(const std::filesystem::path&, bool) {
    for (TextureObject* t : changedTextures) {
        if (t->sourcePath.empty() || t->gameRecord.size() != kThumbnailRecordSize) continue;
        const auto pixels = t->PixelView();
        const uint32_t n = pixels.size();
        uint8_t* record = t->gameRecord.data();
        StoreU32(record + 24, n);
        StoreU32(record + 28, n);
        StoreU32(record + 32, t->width);
        StoreU32(record + 36, t->height);
        StoreU32(record + 40, uint32_t(std::bit_width(t->width | 1u)) - 1); // floor of log2
        StoreU32(record + 44, uint32_t(std::bit_width(t->height | 1u)) - 1);
        record[49] = uint8_t(t->mipCount);

        std::vector<uint8_t> plain(size_t(n) + kThumbnailRecordSize);
        if (n) std::memcpy(plain.data(), pixels.data(), n);
        std::memcpy(plain.data() + n, record, kThumbnailRecordSize);
        std::vector<uint8_t> out(kBlockHeaderSize + JdlzCompressBound(plain.size()));
        const uint32_t packed = CompressJdlz(plain.data(), uint32_t(plain.size()), out.data() + kBlockHeaderSize,
                                             out.size() - kBlockHeaderSize);
        if (packed == 0) throw Error("Compression failed");
        std::memset(out.data(), 0, kBlockHeaderSize);
        StoreU32(out.data(), pack::kPieceMagic);
        StoreU32(out.data() + 4, uint32_t(plain.size()));
        StoreU32(out.data() + 8, packed + uint32_t(kBlockHeaderSize));
        out.resize(kBlockHeaderSize + packed);
        SaveFileAtomically(t->sourcePath, out.data(), out.size());
    }
    changedTextures.clear();
    return true;
}

} // namespace zelko
