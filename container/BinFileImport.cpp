// Changes of a container's textures that go through the conversion pipeline.
#include "container/BinFile.h"
#include "format/Errors.h"
#include "format/NameHash.h"
#include "texture/Conversion.h"

namespace zelko {

TextureObject& IBinFile::AddTextureFromFile(const std::filesystem::path& path) {
    if (!pack) throw Error("No texture pack is open");
    return AddImportedTexture(path, ImportAsNewTexture(pack->packInMemory, path));
}

TextureObject& IBinFile::AddImportedTexture(const std::filesystem::path& path, std::unique_ptr<TextureObject> texture) {
    if (!pack) throw Error("No texture pack is open");
    const std::string base = TextureNameFromFile(path);
    std::string name = base;
    for (uint64_t n = 1; FindTexture(name); ++n) name = base + "_" + std::to_string(n);
    texture->name = name;
    texture->hash = NameHash(name);
    pack->textures.push_back(std::move(texture));
    NoteChange();
    return *pack->textures.back();
}

bool IBinFile::ReplaceImage(TextureObject* texture, const ScratchImage& image) {
    if (!texture) return false;
    if (!SetFromImage(*texture, image)) return false;
    changedTextures.push_back(texture);
    modified = true;
    return true;
}

} // namespace zelko
