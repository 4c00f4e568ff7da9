#pragma once
// A texture pack: the games' chunk tree of a pack header, a hash list, one
// info and one format record per texture and a data section with the pixels,
// in the layouts of pack versions 4, 5, 8, 9 and 10, stored plain or with
// every texture compressed.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "texture/TextureObject.h"

namespace zelko {

class ByteReader;
class ByteWriter;
class ScratchImage;

// A file made of chunks that a container loads from and saves into its bytes.
class IChunkFile {
public:
    virtual void Load(ByteReader& reader) = 0;
    virtual void Save(int game, ByteWriter& writer) = 0;
    virtual ~IChunkFile() = default;

    // Load, then mark the file loaded. `hint` is the container's guess of the
    // game; packs take their version from the data and ignore it.
    void LoadFrom(uint32_t hint, ByteReader& reader);

    bool loaded = false;
};

class TextureFile : public IChunkFile {
public:
    uint32_t version = 0; // from detection on load, from the game on save
    std::string packFileName; // header text at 0x20 (64 bytes)
    std::string packName; // header text at 0x04 (28 bytes)
    bool hasCompressedTable = false; // textures are stored compressed
    bool packInMemory = false; // LZ4-pack pixels of loaded textures
    std::vector<std::unique_ptr<TextureObject>> textures;
    bool keepGameRecords = false; // copy each info record into gameRecord
    uint32_t dataChunkPosition = 0; // where Save put the pixel-data chunk

    // Reads the pack whose root header is at the reader's position; offsets in
    // the pack count from there. Throws Error with the pack's message; the
    // textures appended before a failure stay in the list.
    void Load(ByteReader& reader) override;

    // Appends the pack in the layout of `game` (a GameId) to `writer`, in
    // hash order, compressed when the pack was loaded compressed. Throws
    // Error and leaves `writer` untouched on failure.
    void Save(int game, ByteWriter& writer) override;

    // Appends a texture made from a decoded image (one 2D item whose format is
    // BC1, BC2, BC3, BC4, BC5 or B8G8R8A8/X8), named `name` with its name hash
    // and the format's default game bytes. Throws "Not supported texture
    // format" for other images.
    TextureObject& AddTexture(const std::string& name, const ScratchImage& image);
    // Appends an already built record under `name` and its name hash.
    TextureObject& AddTexture(const std::string& name, std::unique_ptr<TextureObject> texture);
};

// Appends one info record (and for versions 8 to 10 its name field). With a
// running offset the data offsets count from it and it grows by the pixel
// bytes; compressed mode writes the fixed name area of compressed buffers.
// Throws "Not supported game version" for versions without a layout.
void WriteTextureInfo(ByteWriter& writer, const TextureObject& texture, uint32_t version, uint32_t* runningOffset,
                      bool compressed);

// Appends one format record; "Not supported game" for versions without one.
void WriteFormatRecord(ByteWriter& writer, const TextureObject& texture, uint32_t version);

} // namespace zelko
