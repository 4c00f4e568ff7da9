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
constexpr size_t kCopyBlock = 1 << 20;

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

    uint32_t newOffset = 0;
    SaveFileAtomically(path, [&](FileWriter& out) {
        // Closed before the new file replaces it: Windows will not replace an open file.
        std::ifstream in(path, std::ios::binary);
        if (!in) throw SaveError(path, "Unable to read the archive");
        std::vector<char> buffer(kCopyBlock);
        uint64_t p = 0, written = 0;
        bool replaced = false;
        while (p < fileSize) {
            uint8_t header[8];
            in.read(reinterpret_cast<char*>(header), 8);
            const size_t got = size_t(in.gcount());
            if (got < 8) {
                // A torn header at the end is kept as it stands.
                out.Write(header, got);
                break;
            }
            const uint32_t size = LoadU32(header + 4);
            if (p == entry->offset && !replaced) {
                replaced = true;
                in.seekg(std::streamoff(p + 8 + uint64_t(size)));
                if (written > UINT32_MAX) throw SaveError(path, "The archive is too large");
                newOffset = uint32_t(written);
                out.Write(packBytes.Data(), packBytes.Size());
                written += packBytes.Size();
                const uint64_t end = written;
                if (end % kSaveAlignment != 0) {
                    const uint32_t n = PadTo(end + 8, kSaveAlignment);
                    std::vector<uint8_t> filler(8 + size_t(n), 0);
                    StoreU32(filler.data() + 4, n);
                    out.Write(filler.data(), filler.size());
                    written += filler.size();
                }
                p += 8 + uint64_t(size);
                in.clear();
                continue;
            }
            out.Write(header, 8);
            written += 8;
            // The chunk's payload, as far as the file holds it.
            uint64_t left = std::min<uint64_t>(size, fileSize - p - 8);
            while (left > 0) {
                in.read(buffer.data(), std::streamsize(std::min<uint64_t>(buffer.size(), left)));
                const size_t n = size_t(in.gcount());
                if (n == 0) break;
                out.Write(buffer.data(), n);
                left -= n;
                written += n;
            }
            p += 8 + uint64_t(size);
        }
        if (in.bad()) throw SaveError(path, "Unable to read the archive");
        if (!replaced) throw SaveError(path, "The texture pack is no longer where it was");
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
