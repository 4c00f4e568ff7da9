#include "format/TextureFile.h"

#include <utility>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "imaging/Image.h"
#include "texture/PixelFormat.h"

namespace zelko {

void IChunkFile::LoadFrom(uint32_t /*hint*/, ByteReader& reader) {
    Load(reader);
    loaded = true;
}

TextureObject& TextureFile::AddTexture(const std::string& name, const ScratchImage& image) {
    const TexMetadata& metadata = image.GetMetadata();
    const uint32_t format = PackFormatFromDxgi(uint32_t(metadata.format));
    if (format == 0 || metadata.dimension != TexDimension::Texture2D || metadata.arraySize != 1 ||
        metadata.depth != 1 || image.GetPixelsSize() > UINT32_MAX) {
        throw Error("Not supported texture format");
    }
    auto texture = TextureObject::Create({.width = uint32_t(metadata.width),
                                          .height = uint32_t(metadata.height),
                                          .format = format,
                                          .mipCount = uint32_t(metadata.mipLevels),
                                          .pixels = image.GetPixels(),
                                          .pixelCount = uint32_t(image.GetPixelsSize())},
                                         packInMemory);
    // The format's default game bytes, as an import gives every new texture.
    texture->SetGameFlags(GameNone);
    return AddTexture(name, std::move(texture));
}

TextureObject& TextureFile::AddTexture(const std::string& name, std::unique_ptr<TextureObject> texture) {
    texture->name = name;
    texture->hash = NameHash(name);
    textures.push_back(std::move(texture));
    return *textures.back();
}

} // namespace zelko
