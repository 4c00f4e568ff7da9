#pragma once
// Loads arbitrary bytes as a texture pack. Whatever loads and then saves
// must load again with the same textures: a save never drops a texture or
// changes its pixels. Shared by the fuzz target and the replay of its
// regression corpus in the unit tests.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzFiles.h"
#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/GameVersion.h"
#include "format/TextureFile.h"
#include "texture/TextureObject.h"

namespace fuzz_texture_file {

using fuzz_files::Check;

inline bool SameTexture(const zelko::TextureObject& a, const zelko::TextureObject& b) {
    return a.hash == b.hash && a.format == b.format && a.width == b.width && a.height == b.height &&
        a.mipCount == b.mipCount && a.alphaMode == b.alphaMode && a.blendMode == b.blendMode &&
        a.palette == b.palette && std::ranges::equal(a.PixelView(), b.PixelView());
}

inline int RunTextureFileInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the loader's switches; the rest is the pack, in a
    // buffer of its exact length so reads past it are caught.
    const uint8_t switches = data[0];
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size - 1 + 1]);
    std::memcpy(bytes.get(), data + 1, size - 1);
    zelko::ByteReader reader;
    reader.Adopt(std::move(bytes), size - 1);

    zelko::TextureFile file;
    file.packInMemory = switches & 1;
    file.keepGameRecords = (switches & 2) != 0;
    try {
        file.LoadFrom(0, reader);
    } catch (const zelko::Error&) {
        return 0;
    }
    if (file.textures.empty() || !(switches & 4)) return 0;
    // Compressing tens of megabytes that a few bytes declared only slows the
    // search down; the round trip is checked on smaller packs.
    size_t pixelBytes = 0;
    for (const auto& t : file.textures) pixelBytes += t->pixelsSize;
    if (pixelBytes > (4u << 20)) return 0;

    zelko::ByteWriter writer;
    try {
        file.Save(zelko::GameFromVersion(file.version), writer);
    } catch (const zelko::Error&) {
        return 0;
    }
    zelko::TextureFile again;
    zelko::ByteReader saved(writer.Data(), writer.Size());
    again.Load(saved); // an error here is a finding too
    Check(again.textures.size() == file.textures.size());
    std::vector<const zelko::TextureObject*> sorted;
    for (const auto& t : file.textures) sorted.push_back(t.get());
    std::stable_sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a->hash < b->hash; });
    for (size_t i = 0; i < sorted.size(); ++i) Check(SameTexture(*again.textures[i], *sorted[i]));
    return 0;
}

} // namespace fuzz_texture_file
