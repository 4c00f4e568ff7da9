#pragma once
// The portable side of opening a document: finding its texture packs (by a
// scan of the top-level chunks or from the load cache), the texts the
// program shows for them, and the rows of a pack's texture list.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "container/ArchiveEntry.h"
#include "container/BinFile.h"
#include "format/Errors.h"
#include "format/SafeFile.h"

namespace zelko {

struct Document {
    std::filesystem::path path;
    uint32_t kind = kEntryPack;
    std::map<uint32_t, ArchiveEntry> entries; // by id
    bool fromCache = false; // pack positions came from the load cache
    bool rolledBack = false; // an interrupted in-place save was undone first
    std::optional<FileIdentity> identity; // the file as it was opened, for saves to check
};

// Walks the top-level chunks of an archive: every texture pack with a hash
// list and every compressed container becomes an entry. `packPositions`
// receives the positions of the packs. Throws Error("The file is not
// supported") for a chunk id that is not known, and the reader's errors.
std::vector<ArchiveEntry> ScanArchive(const std::filesystem::path& path, const Host& host,
                                      std::vector<uint32_t>* packPositions = nullptr);

// The entries of a STREAM archive from its valid load cache; false (and no
// entries) when the cache is missing, stale or points at anything but packs.
bool ReadEntriesFromCache(const std::filesystem::path& path, const Host& host, std::vector<ArchiveEntry>& entries);

// Opens a document: expands a compressed .lzc in place, then lists the packs
// of an archive (a .vyl file gives its single entry). Throws Error with the
// text to show (the window puts "ERROR: " before it): "Unable to open the
// file: <path>", "The file is empty: <path>", or "<path> - <reason>".
Document OpenDocument(const std::filesystem::path& path, bool useCache, const Host& host);

// A World thumbnails folder as a document of one entry.
Document OpenWorldFolder(const std::filesystem::path& folder);

// "Files: N Textures: M".
std::string CountsText(const std::map<uint32_t, ArchiveEntry>& entries);
// "PC", "Xbox360" or "Unknown".
const char* PlatformText(uint32_t platform);

// The shown text says which entry failed; `reason` keeps the pack's message
// (empty when the entry simply holds no texture pack) for the log.
class EntryLoadError : public Error {
public:
    EntryLoadError(const std::string& text, std::string why) : Error(text), reason(std::move(why)) {}
    std::string reason;
};

// Opens the container of one entry. Throws EntryLoadError("<entry
// text> cannot be loaded") when the entry holds no texture pack or its pack
// fails to load.
std::unique_ptr<IBinFile> OpenEntry(const Document& document, ArchiveEntry& entry, const Host& host);

struct TextureRow {
    TextureObject* texture = nullptr;
    std::string displayName; // with the hash suffix, in the games' code page
    uint32_t width = 0;
    uint32_t height = 0;
    std::string formatName;
    uint32_t mipCount = 0;
};

// What follows a successful save of an archive: the memory-image files of a
// game installation around it are reset, and its load cache takes the new
// file time.
void FinishSave(const std::filesystem::path& archive, bool useCache);

// The row of one texture; throws Error("invalid hash") for hash 0.
TextureRow MakeTextureRow(TextureObject& texture);
// One row per texture in pack order; throws Error("invalid hash") for a texture with hash 0.
std::vector<TextureRow> BuildTextureRows(const IBinFile& container);

} // namespace zelko
