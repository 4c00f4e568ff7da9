#include "container/BinFile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/SafeFile.h"
#include "format/Text.h"
#include "format/TextureFileLayout.h"

namespace zelko {

namespace {

constexpr uint32_t kSaveAlignment = 128;

std::filesystem::path WithSuffix(const std::filesystem::path& path, const char* suffix) {
    std::filesystem::path out = path;
    out += suffix;
    return out;
}

} // namespace

std::unique_ptr<IBinFile> MakeContainer(uint32_t kind) {
    switch (kind) {
    case kEntryPack: return std::make_unique<TextureBinFile>();
    case kEntryWorldFolder: return std::make_unique<ZRCWorldIconsFolder>();
    case kEntryVinyl: return std::make_unique<VinylBinFile>();
    default: return nullptr;
    }
}

bool IsStreamArchive(const std::filesystem::path& path) {
    return UpperAscii(Utf8FromPath(path.filename())).rfind("STREAM", 0) == 0;
}

std::string TextureNameFromFile(const std::filesystem::path& path) { return Cp1252FromUtf8(Utf8FromPath(path.stem())); }

TextureObject* IBinFile::DuplicateTexture(const TextureObject& source, const std::string& newName) {
    if (!pack) return nullptr;
    pack->textures.push_back(TextureObject::Duplicate(source, newName));
    NoteChange();
    return pack->textures.back().get();
}

bool IBinFile::DeleteTexture(const TextureObject* texture) {
    if (!pack) return false;
    auto& list = pack->textures;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& t) { return t.get() == texture; });
    if (it == list.end()) return false;
    std::erase(changedTextures, texture);
    list.erase(it);
    NoteChange();
    return true;
}

void IBinFile::ForEachTexture(const std::function<void(TextureObject*)>& callback) const {
    if (!pack) return;
    for (const auto& t : pack->textures) callback(t.get());
}

TextureObject* IBinFile::FindTexture(const std::string& name) const {
    if (!pack) return nullptr;
    for (const auto& t : pack->textures) {
        if (t->name == name) return t.get();
    }
    return nullptr;
}

void IBinFile::NoteChange() {
    modified = true;
    // The entry's count follows the pack, so listings tell the truth before a save.
    if (entry && pack) entry->textureCount = uint32_t(pack->textures.size());
}

void IBinFile::NoteFirstTexture() {
    platform = 0;
    carName.clear();
    if (!pack || pack->textures.empty()) return;
    const TextureObject& first = *pack->textures.front();
    platform = first.fromXbox360;
    carName = FindCarName(first.name);
    if (!carName.empty() && KnownNamesReady) {
        for (int game = kFirstGame; game <= kLastGame; ++game) RegisterCarNames(game, carName);
    }
}

bool TextureBinFile::Open(const std::filesystem::path& path, ArchiveEntry& openEntry) {
    entry = &openEntry;
    ByteReader reader;
    reader.OpenFile(path, openEntry.offset, openEntry.size);
    if (reader.Size() < 4 || LoadU32(reader.Begin()) != pack::kRoot) return false;
    canRebuild = !IsStreamArchive(path);

    pack = std::make_unique<TextureFile>();
    pack->packInMemory = true;
    pack->keepGameRecords = true;
    pack->LoadFrom(0, reader);
    NoteFirstTexture();
    if (!canRebuild) streamCopy.assign(reader.Begin(), reader.End());
    loadedPackName = pack->packName;
    loadedPackFileName = pack->packFileName;
    pack->packName = kPackNameOnSave;
    pack->packFileName = kPackFileNameOnSave;
    packVersion = pack->version;
    return true;
}

bool TextureBinFile::Save(const std::filesystem::path& path, bool makeBackup) {
    if (!pack || !entry) return false;
    return canRebuild ? SaveRebuild(path, makeBackup) : SaveInPlace(path, makeBackup);
}

bool TextureBinFile::SaveRebuild(const std::filesystem::path& path, bool makeBackup) {
    const int game = GameFromVersion(packVersion);

    // Compose the pack first: a writer error leaves every file untouched.
    ByteWriter packBytes;
    pack->Save(game, packBytes);

    std::error_code sizeError;
    const uint64_t fileSize = std::filesystem::file_size(path, sizeError);
    if (sizeError) throw SaveError(path, sizeError.message());

    // The backup is a copy: the archive itself never leaves its place.
    const std::filesystem::path bakPath = WithSuffix(path, ".bak");
    std::error_code ec;
    if (makeBackup && !std::filesystem::exists(bakPath, ec)) CopyFileAtomically(path, bakPath);

    // The pack must still start a chunk: walk the chunk headers up to it.
    uint64_t packEnd = 0;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw SaveError(path, "Unable to read the archive");
        uint64_t p = 0;
        while (p + 8 <= fileSize && p <= entry->offset) {
            uint8_t header[8];
            in.seekg(std::streamoff(p));
            if (!in.read(reinterpret_cast<char*>(header), 8)) throw SaveError(path, "Unable to read the archive");
            const uint64_t next = p + 8 + LoadU32(header + 4);
            if (p == entry->offset) packEnd = next;
            p = next;
        }
        if (packEnd == 0) throw SaveError(path, "The texture pack is no longer where it was");
    }
    const uint32_t newOffset = entry->offset;

    // Everything before and after the pack is copied as it stands (a chunk
    // running past the end of the file, a torn header at the end included).
    SaveFileAtomically(path, [&](FileWriter& out) {
        if (!out.CopyFrom(path, 0, newOffset)) throw SaveError(path, "Unable to read the archive");
        out.Write(packBytes.Data(), packBytes.Size());
        const uint64_t end = uint64_t(newOffset) + packBytes.Size();
        if (end % kSaveAlignment != 0) {
            const uint32_t n = PadTo(end + 8, kSaveAlignment);
            std::vector<uint8_t> filler(8 + size_t(n), 0);
            StoreU32(filler.data() + 4, n);
            out.Write(filler.data(), filler.size());
        }
        if (packEnd < fileSize && !out.CopyFrom(path, packEnd, fileSize - packEnd))
            throw SaveError(path, "Unable to read the archive");
    });
    entry->offset = newOffset;
    entry->size = packBytes.Size();
    return true;
}

bool TextureBinFile::SaveInPlace(const std::filesystem::path& path, bool makeBackup) {
    if (streamCopy.empty()) return false;
    // Every position is checked before anything is written.
    const uint64_t limit = streamCopy.size();
    for (const auto& t : pack->textures) {
        if (t->dataOffset == 0) throw Error("Invalid position");
        if (uint64_t(t->dataOffset) + t->pixelsSize > limit) throw Error("Invalid position");
        if (t->paletteSize != 0) {
            if (t->paletteOffset == 0) throw Error("Invalid position");
            if (uint64_t(t->paletteOffset) + t->paletteSize > limit) throw Error("Invalid position");
        }
    }
    if (streamCopy.size() != entry->size && entry->size != 0) return false;

    std::vector<uint8_t> patched = streamCopy;
    for (const auto& t : pack->textures) {
        const auto pixels = t->PixelView();
        if (pixels.size()) std::memcpy(patched.data() + t->dataOffset, pixels.data(), pixels.size());
        if (t->paletteSize != 0) std::memcpy(patched.data() + t->paletteOffset, t->palette.data(), t->paletteSize);
    }

    // The backup is refreshed on every in-place save: it holds the state before this one.
    if (makeBackup) CopyFileAtomically(path, WithSuffix(path, ".bak"));
    PatchFileInPlace(path, entry->offset, patched.data(), streamCopy.data(), patched.size());
    streamCopy = std::move(patched);
    return true;
}

} // namespace zelko
