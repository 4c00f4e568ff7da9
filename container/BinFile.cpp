#include "container/BinFile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/Text.h"

namespace zelko {

namespace {

constexpr uint32_t kPackRootId = 0xB3300000;
constexpr uint32_t kSaveAlignment = 128;
constexpr size_t kCopyBlock = 1 << 20;

std::filesystem::path WithSuffix(const std::filesystem::path& path, const char* suffix) {
    std::filesystem::path out = path;
    out += suffix;
    return out;
}

// Copies n bytes from in to out in blocks; returns the bytes copied.
uint64_t CopyBytes(std::istream& in, std::ostream& out, uint64_t n, std::vector<char>& buffer) {
    uint64_t done = 0;
    while (done < n) {
        const size_t want = size_t(std::min<uint64_t>(buffer.size(), n - done));
        in.read(buffer.data(), std::streamsize(want));
        const size_t got = size_t(in.gcount());
        out.write(buffer.data(), std::streamsize(got));
        done += got;
        if (got < want) break;
    }
    return done;
}

// A whole-file copy that replaces the target. std::filesystem::copy_file is
// not used: the mingw runtime fails it with overwrite_existing under Wine.
bool CopyWholeFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out) return false;
    std::vector<char> buffer(kCopyBlock);
    while (in) {
        in.read(buffer.data(), std::streamsize(buffer.size()));
        out.write(buffer.data(), in.gcount());
    }
    out.close();
    return !in.bad() && !out.fail();
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

std::string TextureNameFromFile(const std::filesystem::path& path) {
    return Cp1252FromUtf8(Utf8FromPath(path.stem()));
}

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
    if (reader.Size() < 4 || LoadU32(reader.Begin()) != kPackRootId) return false;
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
    const uint64_t fileSize = std::filesystem::file_size(path);  // throws for a missing file
    const int game = GameFromVersion(packVersion);

    // Compose the pack first: a writer error leaves every file untouched.
    ByteWriter packBytes;
    pack->Save(game, packBytes);

    const std::filesystem::path tmpPath = WithSuffix(path, ".tmp");
    uint32_t newOffset = 0;
    bool ok = false;
    {
        std::ifstream in(path, std::ios::binary);
        std::ofstream out(tmpPath, std::ios::binary | std::ios::trunc);
        if (!in || !out) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(tmpPath, ec);
            return false;
        }
        std::vector<char> buffer(kCopyBlock);
        uint64_t p = 0;
        bool replaced = false;
        while (p < fileSize && in && out) {
            uint8_t header[8];
            in.read(reinterpret_cast<char*>(header), 8);
            const size_t got = size_t(in.gcount());
            if (got < 8) {
                // A torn header at the end is kept as it stands.
                out.write(reinterpret_cast<const char*>(header), std::streamsize(got));
                p += got;
                break;
            }
            const uint32_t size = LoadU32(header + 4);
            if (p == entry->offset && !replaced) {
                replaced = true;
                in.seekg(std::streamoff(p + 8 + uint64_t(size)));
                const uint64_t q = uint64_t(out.tellp());
                if (q > UINT32_MAX) break;
                newOffset = uint32_t(q);
                out.write(reinterpret_cast<const char*>(packBytes.Data()), packBytes.Size());
                const uint64_t end = q + packBytes.Size();
                if (end % kSaveAlignment != 0) {
                    const uint32_t n = PadTo(end + 8, kSaveAlignment);
                    uint8_t filler[8] = {};
                    StoreU32(filler + 4, n);
                    out.write(reinterpret_cast<const char*>(filler), 8);
                    std::vector<char> zeros(n, 0);
                    out.write(zeros.data(), std::streamsize(n));
                }
                p += 8 + uint64_t(size);
                in.clear();
                continue;
            }
            out.write(reinterpret_cast<const char*>(header), 8);
            p += 8 + CopyBytes(in, out, size, buffer);
        }
        ok = replaced && !out.fail() && !in.bad();
        out.close();
        ok = ok && !out.fail();
    }
    std::error_code ec;
    if (!ok) {
        std::filesystem::remove(tmpPath, ec);
        return false;
    }

    const std::filesystem::path bakPath = WithSuffix(path, ".bak");
    bool movedToBackup = false;
    if (makeBackup && !std::filesystem::exists(bakPath, ec)) {
        std::filesystem::rename(path, bakPath, ec);
        if (ec) {
            std::filesystem::remove(tmpPath, ec);
            return false;
        }
        movedToBackup = true;
    }
    std::filesystem::rename(tmpPath, path, ec);
    if (ec) {
        // Put the original back where it was; the archive must never go missing.
        std::error_code ignored;
        if (movedToBackup) std::filesystem::rename(bakPath, path, ignored);
        std::filesystem::remove(tmpPath, ignored);
        return false;
    }
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

    if (makeBackup && !CopyWholeFile(path, WithSuffix(path, ".bak"))) return false;
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file) return false;
    file.seekp(std::streamoff(entry->offset));
    file.write(reinterpret_cast<const char*>(patched.data()), std::streamsize(patched.size()));
    file.close();
    if (file.fail()) return false;
    streamCopy = std::move(patched);
    return true;
}

} // namespace zelko
