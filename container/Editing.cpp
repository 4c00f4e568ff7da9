#include "container/Editing.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "container/BinFile.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/Parallel.h"
#include "format/SafeFile.h"
#include "format/Text.h"
#include "texture/Conversion.h"
#include "texture/TextureFlags.h"
#include "texture/TextureObject.h"

namespace zelko {
namespace {

std::string RemoveAll(std::string text, const std::string& part) {
    if (part.empty()) return text;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) text.erase(at, part.size());
    return text;
}

} // namespace

std::set<uint32_t> TextureHashes(const IBinFile& container) {
    std::set<uint32_t> hashes;
    container.ForEachTexture([&](TextureObject* t) {
        if (t->hash == 0) throw Error("invalid hash");
        hashes.insert(t->hash);
    });
    return hashes;
}

bool IsNameFree(const std::set<uint32_t>& taken, const std::string& name) {
    return !name.empty() && !taken.count(NameHash(name));
}

void RenameTexture(IBinFile& container, TextureObject& texture, const std::string& name) {
    texture.hash = NameHash(name);
    texture.name = name;
    container.modified = true;
}

void DeleteTexture(IBinFile& container, TextureObject& texture) {
    if (container.pack && container.pack->textures.size() <= 1) {
        throw Error("The file must contain at least one texture.");
    }
    if (!container.DeleteTexture(&texture)) throw Error("Not in the pack");
}

TextureObject& DuplicateTexture(IBinFile& container, const TextureObject& source, const std::string& name) {
    TextureObject* copy = container.DuplicateTexture(source, name);
    if (!copy) throw Error("Textures of this file cannot be duplicated");
    return *copy;
}

std::string TextureFlagKey(uint32_t hash, const std::string& carName) {
    if (hash == 0) throw Error("invalid hash");
    std::string name;
    if (const std::string* known = FindKnownName(hash)) {
        name = *known;
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", unsigned(hash));
        name = text;
    }
    if (carName.empty()) return name;
    if (name.rfind("%_", 0) == 0) return RemoveAll(name, "%_");
    return RemoveAll(name, carName + "_");
}

namespace {

// The pixel work of a format change, which touches the texture alone.
bool ConvertTexture(const IBinFile& container, TextureObject& texture, uint32_t format) {
    if (texture.format == format) return false;
    // Thumbnail folders carry no pack version; their textures are World's.
    const int game = container.packVersion ? int(GameFromVersion(container.packVersion)) : int(GameWorld);
    if (!container.CanRebuild()) {
        // Patched in place: only a change that keeps every byte count fits.
        auto probe = TextureObject::Duplicate(texture, texture.name);
        ChangeFormat(*probe, game, format);
        if (probe->pixelsSize != texture.pixelsSize || probe->paletteSize != texture.paletteSize) {
            throw Error("The new format changes the texture's size, which this archive cannot hold");
        }
    }
    ChangeFormat(texture, game, format);
    return true;
}

void ApplyTextureFlags(IBinFile& container, TextureObject& texture, uint32_t format) {
    const int game = container.packVersion ? int(GameFromVersion(container.packVersion)) : int(GameWorld);
    if (const TextureFlagRow* row = FindTextureFlags(game, NameHash(TextureFlagKey(texture.hash, container.carName)),
                                                     format)) {
        texture.alphaMode = row->alphaMode;
        texture.blendMode = row->blendMode;
        texture.flagsEdited = true;
    }
    container.modified = true;
}

} // namespace

bool ChangeTextureFormat(IBinFile& container, TextureObject& texture, uint32_t format) {
    TextureFlagKey(texture.hash, container.carName); // an invalid hash fails before the pixels change
    if (!ConvertTexture(container, texture, format)) return false;
    ApplyTextureFlags(container, texture, format);
    return true;
}

unsigned ChangeTextureFormats(IBinFile& container, const std::vector<TextureObject*>& textures, uint32_t format,
                              unsigned jobs, const std::function<void(TextureObject&, uint32_t)>& changed) {
    // A texture listed twice is converted once, by its first listing, so no
    // two jobs ever touch the same texture.
    std::vector<bool> first(textures.size());
    for (size_t i = 0; i < textures.size(); ++i) {
        first[i] = std::find(textures.begin(), textures.begin() + long(i), textures[i]) == textures.begin() + long(i);
        if (first[i]) TextureFlagKey(textures[i]->hash, container.carName);
    }
    unsigned count = 0;
    ForEachInOrder<uint32_t>(
        textures.size(), jobs,
        [&](size_t i) -> uint32_t {
            const uint32_t old = textures[i]->format;
            return first[i] && ConvertTexture(container, *textures[i], format) ? old : format;
        },
        [&](size_t i, uint32_t& old) {
            if (old == format) return;
            ApplyTextureFlags(container, *textures[i], format);
            ++count;
            if (changed) changed(*textures[i], old);
        });
    return count;
}

void SaveIntoDocument(IBinFile& container, Document& document, bool makeBackup) {
    // One program saves a file at a time, and only over the version it opened.
    std::optional<FileLock> lock;
    if (document.identity) {
        lock.emplace(document.path);
        if (IdentityOf(document.path) != document.identity) {
            throw SaveError(
                document.path,
                Utf8FromPath(document.path.filename()) + " was changed by another program since it was opened");
        }
    }
    ArchiveEntry* entry = container.entry;
    const bool rebuild = container.CanRebuild() && entry;
    const uint64_t oldEnd = rebuild ? uint64_t(entry->offset) + entry->size : 0;
    std::error_code sizeError;
    const uint64_t oldSize = std::filesystem::file_size(document.path, sizeError);
    bool saved = false;
    try {
        try {
            saved = container.Save(document.path, makeBackup);
        } catch (const SaveError&) {
            throw;
        } catch (const std::exception& failure) {
            // The pack writer's refusals ("invalid hash", ...) as the reason of the failed save.
            throw SaveError(document.path, failure.what());
        }
    } catch (const SaveError&) {
        // A failed in-place patch was rolled back, which touched the file:
        // under the lock, that change is our own.
        if (lock && !container.CanRebuild()) document.identity = IdentityOf(document.path);
        throw;
    }
    if (!saved) throw SaveError(document.path, "the texture pack cannot be written back into this file");
    container.modified = false;
    document.identity = IdentityOf(document.path);

    std::error_code newSizeError;
    const uint64_t newSize = std::filesystem::file_size(document.path, newSizeError);
    if (rebuild && !sizeError && !newSizeError) {
        // Everything behind the pack is copied unchanged, so it moved by the
        // change of the file's size: the pack's own change plus the alignment
        // filler the writer puts after it.
        const int64_t change = int64_t(newSize) - int64_t(oldSize);
        for (auto& [id, other] : document.entries) {
            if (&other != entry && other.offset >= oldEnd) other.offset = uint32_t(int64_t(other.offset) + change);
        }
    }
}

} // namespace zelko
