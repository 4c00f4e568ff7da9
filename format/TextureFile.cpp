#include "format/TextureFile.h"

#include <utility>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "texture/Image.h"

namespace zelko {

void IChunkFile::LoadFrom(uint32_t /*hint*/, ByteReader& reader) {
    Load(reader);
    loaded = true;
}

namespace {

// The pack format for an image the packs can hold as it is; 0 for any other.
uint32_t PackFormatOf(DxgiFormat format) {
    switch (format) {
    case DxgiFormat::BC1_UNORM: return kFormatDXT1;
    case DxgiFormat::BC2_UNORM: return kFormatDXT3;
    case DxgiFormat::BC3_UNORM: return kFormatDXT5;
    case DxgiFormat::BC4_UNORM: return kFormatATI1;
    case DxgiFormat::BC5_UNORM: return kFormatATI2;
    case DxgiFormat::B8G8R8A8_UNORM:
    case DxgiFormat::B8G8R8X8_UNORM: return kFormatARGB;
    default: return 0;
    }
}

} // namespace

TextureObject& TextureFile::AddTexture(const std::string& name, const ScratchImage& image) {
    const TexMetadata& metadata = image.GetMetadata();
    const uint32_t format = PackFormatOf(metadata.format);
    if (format == 0 || metadata.dimension != TexDimension::Texture2D || metadata.arraySize != 1 ||
        metadata.depth != 1 || image.GetPixelsSize() > UINT32_MAX) {
        throw Error("Not supported texture format");
    }
    auto texture = TextureObject::Create(packInMemory, uint32_t(metadata.width), uint32_t(metadata.height), format,
                                         uint32_t(metadata.mipLevels), image.GetPixels(),
                                         uint32_t(image.GetPixelsSize()), nullptr, 0, 0, 0, 0);
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
