#include "container/OpenFlow.h"

#include <fstream>

#include "format/ByteStream.h"
#include "format/ChunkIds.h"
#include "format/Errors.h"
#include "format/LoadCache.h"
#include "format/GameFiles.h"
#include "format/Text.h"
#include "format/TextureFileLayout.h"

namespace zelko {

namespace {

constexpr unsigned kChunksPerProgress = 101;

bool ReadHeader(std::istream& in, uint64_t at, uint32_t& id, uint32_t& size) {
    in.clear();
    in.seekg(std::streamoff(at));
    uint8_t header[8];
    in.read(reinterpret_cast<char*>(header), 8);
    if (in.gcount() != 8) return false;
    id = LoadU32(header);
    size = LoadU32(header + 4);
    return true;
}

// Looks for the hash list among a pack's children, entering the header group.
// Returns its payload size, or -1 when the pack has none.
int64_t FindHashListSize(std::istream& in, uint64_t packAt, uint32_t packSize) {
    const uint64_t end = packAt + 8 + uint64_t(packSize);
    uint64_t p = packAt + 8;
    uint32_t id = 0, size = 0;
    while (p + 8 <= end && ReadHeader(in, p, id, size)) {
        if (id == pack::kHashList) return size;
        p += id == pack::kHeaderGroup ? 8 : 8 + uint64_t(size);
    }
    return -1;
}

ArchiveEntry PackEntry(uint32_t id, uint64_t offset, uint32_t size, uint32_t textureCount) {
    ArchiveEntry e;
    e.id = id;
    e.name = kTextureFileEntryName;
    e.offset = uint32_t(offset);
    e.size = size + 8;
    e.textureCount = textureCount;
    e.kind = kEntryPack;
    return e;
}

std::string Percent(uint64_t part, uint64_t whole) { return std::to_string(whole ? part * 100 / whole : 100) + "%"; }

} // namespace

std::vector<ArchiveEntry> ScanArchive(const std::filesystem::path& path, const Host& host,
                                      std::vector<uint32_t>* packPositions) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Failed to open the file");
    // The size of the file this stream reads: another program may replace
    // the one at `path` meanwhile, and its size would walk past our end.
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    if (end < 0) throw Error("Failed to open the file");
    const uint64_t fileSize = uint64_t(end);
    std::vector<ArchiveEntry> entries;
    uint64_t p = 0;
    unsigned chunks = 0;
    while (p < fileSize) {
        uint32_t id = 0, size = 0;
        if (!ReadHeader(in, p, id, size)) throw Error("End of file");
        if (!IsKnownChunkId(id)) throw Error("The file is not supported");
        // Archive offsets are 32-bit in the entries and the cache; so are
        // entry sizes, which hold the header too: a chunk that large cannot be whole.
        if (p > UINT32_MAX) throw Error("The file is not supported");
        if (size > UINT32_MAX - 8) throw Error("End of file");
        if (id == pack::kCompressedContainer) {
            entries.push_back(PackEntry(uint32_t(entries.size()), p, size, 0));
        } else if (id == pack::kRoot) {
            const int64_t tableSize = FindHashListSize(in, p, size);
            if (tableSize >= 0) {
                entries.push_back(PackEntry(uint32_t(entries.size()), p, size, uint32_t(tableSize / 8)));
                if (packPositions) packPositions->push_back(uint32_t(p));
            }
        }
        p += 8 + uint64_t(size);
        if (++chunks % kChunksPerProgress == 0) {
            host.Progress("Loading... " + Percent(std::min(p, fileSize), fileSize));
            host.Pump();
        }
    }
    return entries;
}

bool ReadEntriesFromCache(const std::filesystem::path& path, const Host& host, std::vector<ArchiveEntry>& entries) {
    std::vector<uint32_t> positions;
    if (!ReadLoadCache(positions, path, false) || positions.empty()) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<ArchiveEntry> found;
    const size_t step = std::max<size_t>(1, positions.size() / 100);
    for (size_t i = 0; i < positions.size(); ++i) {
        uint32_t id = 0, size = 0;
        if (!ReadHeader(in, positions[i], id, size) || id != pack::kRoot || size > UINT32_MAX - 8) return false;
        const int64_t tableSize = FindHashListSize(in, positions[i], size);
        if (tableSize < 0) return false;
        found.push_back(PackEntry(uint32_t(found.size()), positions[i], size, uint32_t(tableSize / 8)));
        if ((i + 1) % step == 0) {
            host.Progress("Loading... " + Percent(i + 1, positions.size()) + " [from cache]");
            host.Pump();
        }
    }
    entries = std::move(found);
    return true;
}

Document OpenDocument(const std::filesystem::path& path, bool useCache, const Host& host) {
    const std::string shown = Utf8FromPath(path);
    Document doc;
    doc.path = path;
    try {
        ExpandCompressedArchive(path);
    } catch (const std::exception& e) {
        throw Error(shown + " - " + e.what());
    }
    std::error_code ec;
    {
        std::ifstream probe(path, std::ios::binary);
        if (!probe || std::filesystem::is_directory(path, ec)) throw Error("Unable to open the file: " + shown);
    }
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) throw Error("Unable to open the file: " + shown);
    if (size == 0) throw Error("The file is empty: " + shown);
    // A crash during an in-place save left its journal: the file goes back to before that save.
    doc.rolledBack = RollBackInterruptedPatch(path);
    RemoveAbandonedTemporaries(path);
    doc.identity = IdentityOf(path);

    if (HasExtension(path, ".vyl")) {
        ArchiveEntry e;
        e.name = kVinylEntryName;
        e.kind = kEntryVinyl;
        doc.kind = kEntryVinyl;
        doc.entries.emplace(0, e);
        return doc;
    }

    try {
        const bool cached = useCache && IsStreamArchive(path);
        std::vector<ArchiveEntry> entries;
        if (cached && ReadEntriesFromCache(path, host, entries)) {
            doc.fromCache = true;
        } else {
            std::vector<uint32_t> positions;
            entries = ScanArchive(path, host, &positions);
            if (cached && !positions.empty()) WriteLoadCache(positions, path);
        }
        for (auto& e : entries) doc.entries.emplace(e.id, std::move(e));
    } catch (const std::exception& e) {
        throw Error(shown + " - " + e.what());
    }
    return doc;
}

Document OpenWorldFolder(const std::filesystem::path& folder) {
    Document doc;
    doc.path = folder;
    doc.kind = kEntryWorldFolder;
    ArchiveEntry e;
    e.name = kWorldFolderEntryName;
    e.kind = kEntryWorldFolder;
    doc.entries.emplace(0, e);
    return doc;
}

std::string CountsText(const std::map<uint32_t, ArchiveEntry>& entries) {
    uint64_t textures = 0;
    for (const auto& [id, e] : entries) textures += e.textureCount;
    return "Files: " + std::to_string(entries.size()) + " Textures: " + std::to_string(textures);
}

const char* PlatformText(uint32_t platform) {
    switch (platform) {
    case 0: return "PC";
    case 1: return "Xbox360";
    default: return "Unknown";
    }
}

std::unique_ptr<IBinFile> OpenEntry(const Document& document, ArchiveEntry& entry, const Host& host) {
    auto container = MakeContainer(entry.kind);
    if (!container) throw Error(entry.Text() + " cannot be loaded");
    container->host = host;
    bool opened = false;
    std::string reason;
    try {
        opened = container->Open(document.path, entry);
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (opened) return container;
    // The pack is not where the scan found it when another program rewrote the file since.
    if (document.identity && IdentityOf(document.path) != document.identity) {
        reason += (reason.empty() ? "" : "; ") + Utf8FromPath(document.path.filename()) +
            " was changed by another program since it was opened";
    }
    throw EntryLoadError(entry.Text() + " cannot be loaded", reason);
}

void FinishSave(const std::filesystem::path& archive, bool useCache) {
    // Archives sit one or two folders below the game folder (TRACKS\, CARS\...).
    const std::filesystem::path gameFolder = archive.parent_path().parent_path();
    if (!ResetMemoryFiles(gameFolder)) ResetMemoryFiles(gameFolder.parent_path());
    if (useCache) {
        std::vector<uint32_t> positions;
        RefreshLoadCache(positions, archive);
    }
}

TextureRow MakeTextureRow(TextureObject& texture) {
    if (texture.hash == 0) throw Error("invalid hash");
    TextureRow row;
    row.texture = &texture;
    row.displayName = texture.GetDisplayName(true);
    row.width = texture.width;
    row.height = texture.height;
    row.formatName = FormatName(texture.format);
    row.mipCount = texture.mipCount;
    return row;
}

std::vector<TextureRow> BuildTextureRows(const IBinFile& container) {
    std::vector<TextureRow> rows;
    container.ForEachTexture([&](TextureObject* t) { rows.push_back(MakeTextureRow(*t)); });
    return rows;
}

} // namespace zelko
