#pragma once
// Game archives for the container tests, composed with the pack writer and
// the chunk framing: packs with known neighbours around them.
#include <cstdint>
#include <string>
#include <vector>

#include "format/ByteStream.h"
#include "format/GameVersion.h"
#include "format/NameHash.h"
#include "format/TextureFile.h"
#include "format/error_text.h"
#include "texture/TextureObject.h"

namespace testing_archive {

inline std::unique_ptr<zelko::TextureObject> SolidTexture(const std::string& name, uint32_t format, uint32_t size,
                                                          uint8_t fill) {
    using namespace zelko;
    const uint32_t bytes = format == kFormatARGB ? size * size * 4 : ((size + 3) / 4) * ((size + 3) / 4) * 8;
    std::vector<uint8_t> px(bytes);
    for (uint32_t i = 0; i < bytes; ++i) px[i] = uint8_t(fill + i * 13);
    auto t = TextureObject::Create({size, size, format, 1, px.data(), bytes});
    t->name = name;
    t->hash = NameHash(name);
    return t;
}

// Bytes of a pack holding `count` textures named prefix0, prefix1, ...
inline std::vector<uint8_t> PackBytes(const std::string& prefix, int count, int game = zelko::GameUnderground2,
                                      uint8_t fill = 1) {
    zelko::TextureFile pack;
    pack.packName = "TEST";
    pack.packFileName = prefix + ".bin";
    for (int i = 0; i < count; ++i) {
        pack.textures.push_back(SolidTexture(prefix + std::to_string(i),
                                             i % 2 ? zelko::kFormatARGB : zelko::kFormatDXT1, 8, uint8_t(fill + i)));
    }
    zelko::ByteWriter w;
    pack.Save(game, w);
    return w.ToVector();
}

struct ArchiveBuilder {
    zelko::ByteWriter w;
    std::vector<uint32_t> packOffsets;

    void Chunk(uint32_t id, uint32_t payload, uint8_t fill = 0x5A) {
        w.WriteU32(id);
        w.WriteU32(payload);
        w.Fill(fill, payload);
    }
    void Pack(const std::vector<uint8_t>& bytes) {
        packOffsets.push_back(w.Position());
        w.Write(bytes.data(), bytes.size());
    }
    std::vector<uint8_t> Bytes() const { return w.ToVector(); }
};

} // namespace testing_archive
