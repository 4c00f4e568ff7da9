#pragma once
// The container of the selected entry of an opened document: it owns the
// loaded texture pack, knows whether it was changed and writes it back.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/ArchiveEntry.h"
#include "format/TextureFile.h"

namespace zelko {

class ScratchImage;

class IBinFile {
public:
    virtual ~IBinFile() = default;

    // Writes the pack back into `path` (the document's own path).
    virtual bool Save(const std::filesystem::path& path, bool makeBackup) = 0;
    // Loads the pack of `entry`; false when the entry holds no texture pack.
    // Pack errors are raised as exceptions.
    virtual bool Open(const std::filesystem::path& path, ArchiveEntry& entry) = 0;
    virtual bool IsCompressed() const { return pack && pack->hasCompressedTable; }
    virtual bool CanRebuild() const { return canRebuild; }
    // Every change below sets modified.
    // A copy under a new name appended to the pack; null where not allowed.
    virtual TextureObject* DuplicateTexture(const TextureObject& source, const std::string& newName);
    // Removes and destroys the texture; false when it is not in the pack.
    virtual bool DeleteTexture(const TextureObject* texture);

    // Imports an image file as a new texture named after the file (made
    // unique with "_1", "_2", ...), appended to the pack; import errors are
    // raised with the pack unchanged.
    TextureObject& AddTextureFromFile(const std::filesystem::path& path);
    // The second half of AddTextureFromFile: a texture already imported from
    // `path` (ImportAsNewTexture) is named and appended.
    TextureObject& AddImportedTexture(const std::filesystem::path& path, std::unique_ptr<TextureObject> texture);
    // Gives a decoded image to the texture; false for a null texture.
    bool ReplaceImage(TextureObject* texture, const ScratchImage& image);
    void ForEachTexture(const std::function<void(TextureObject*)>& callback) const;
    // The texture named exactly `name`, or null.
    TextureObject* FindTexture(const std::string& name) const;

    uint32_t platform = 0; // 0 PC, 1 Xbox 360
    uint32_t packVersion = 0;
    std::unique_ptr<TextureFile> pack;
    std::vector<TextureObject*> changedTextures;
    bool modified = false;
    bool canRebuild = false;
    std::string carName;
    // The pack's own header texts, before Open sets the ones written on save.
    std::string loadedPackName;
    std::string loadedPackFileName;
    ArchiveEntry* entry = nullptr;
    Host host;

protected:
    // Platform and car name from the first texture, as every container does after a load.
    void NoteFirstTexture();
    // Sets modified and keeps the entry's texture count with the pack.
    void NoteChange();
};

// One texture pack inside a game archive (.bin, .bun, .lzc).
class TextureBinFile : public IBinFile {
public:
    bool Save(const std::filesystem::path& path, bool makeBackup) override;
    bool Open(const std::filesystem::path& path, ArchiveEntry& entry) override;

    // The pack chunk's bytes as read, for archives patched in place.
    std::vector<uint8_t> streamCopy;

private:
    bool SaveRebuild(const std::filesystem::path& path, bool makeBackup);
    bool SaveInPlace(const std::filesystem::path& path, bool makeBackup);
};

// The pack of a World vinyl file; changes stay in memory.
class VinylBinFile : public IBinFile {
public:
    bool Save(const std::filesystem::path& path, bool makeBackup) override;
    bool Open(const std::filesystem::path& path, ArchiveEntry& entry) override;
};

// A folder of World thumbnail files (.stp) shown as one pack.
class ZRCWorldIconsFolder : public IBinFile {
public:
    bool Save(const std::filesystem::path& path, bool makeBackup) override;
    bool Open(const std::filesystem::path& path, ArchiveEntry& entry) override;
    bool IsCompressed() const override { return true; }
    bool CanRebuild() const override { return false; }
    TextureObject* DuplicateTexture(const TextureObject&, const std::string&) override { return nullptr; }
    bool DeleteTexture(const TextureObject*) override { return false; }

    // Loads one thumbnail file into the pack; false when it is malformed.
    bool LoadFile(const std::filesystem::path& file);
};

// A new container for an entry kind (0 pack, 1 World folder, 2 vinyl).
std::unique_ptr<IBinFile> MakeContainer(uint32_t kind);

// True when the file name (without folders) begins with "STREAM" in any case:
// such archives are patched in place and use the load cache.
bool IsStreamArchive(const std::filesystem::path& path);

// The texture name an image file gets: its file name without folders and extension.
std::string TextureNameFromFile(const std::filesystem::path& path);

constexpr const char* kPackNameOnSave = "DEFAULT";
constexpr const char* kPackFileNameOnSave = "ZRC-Zelko by korvane | Aug 18 2019";

} // namespace zelko
