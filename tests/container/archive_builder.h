#pragma once
// Game archives for the container tests and the fuzz seeds, composed with the
// pack writer and the chunk framing: packs with known neighbours around them,
// and the files of JDLZ blocks World keeps vinyls and thumbnails in.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../format/pack_builder.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/GameVersion.h"
#include "format/TextureFile.h"

namespace testing_archive {

// Bytes of a pack holding `count` textures named prefix0, prefix1, ...
inline std::vector<uint8_t> PackBytes(const std::string& prefix, int count, int game = zelko::GameUnderground2) {
    zelko::TextureFile pack;
    pack.packName = "TEST";
    pack.packFileName = prefix + ".bin";
    for (int i = 0; i < count; ++i) {
        pack.textures.push_back(
            packtest::MakeTexture(prefix + std::to_string(i), i % 2 ? zelko::kFormatARGB : zelko::kFormatDXT1, 8, 8));
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

// Blocks of JDLZ streams behind 24-byte headers, as vinyl and thumbnail files hold them.
inline void WriteBlocks(zelko::ByteWriter& w, const std::vector<uint8_t>& data, size_t blockSize) {
    for (size_t at = 0; at < data.size(); at += blockSize) {
        const uint32_t n = uint32_t(std::min(blockSize, data.size() - at));
        std::vector<uint8_t> stream(zelko::JdlzCompressBound(n));
        const uint32_t len = zelko::CompressJdlz(data.data() + at, n, stream.data(), stream.size());
        w.WriteU32(0x55441122);
        w.WriteU32(n);
        w.WriteU32(len + 24);
        w.Fill(0, 12);
        w.Write(stream.data(), len);
    }
}

// A vinyl container: 16-byte header, then the blocks.
inline std::vector<uint8_t> VinylFile(const std::vector<uint8_t>& data, size_t blockSize = 100) {
    zelko::ByteWriter w;
    w.WriteU32(0x66113388);
    w.WriteU32(uint32_t(data.size()));
    w.Fill(0, 8);
    WriteBlocks(w, data, blockSize);
    return w.ToVector();
}

// A thumbnail file: the pixels and a 212-byte record, in blocks of `blockSize` bytes.
inline std::vector<uint8_t> ThumbnailFile(const std::string& name, uint32_t format, uint32_t w, uint32_t h,
                                          std::vector<uint8_t> data, size_t blockSize = 1 << 20) {
    data.resize(data.size() + 212);
    uint8_t* record = data.data() + data.size() - 212;
    zelko::StoreU32(record + 32, w);
    zelko::StoreU32(record + 36, h);
    record[49] = 1;
    record[100] = 0x77; // a byte of the game's that must survive
    std::memcpy(record + 145, name.c_str(), name.size() + 1);
    zelko::StoreU32(record + 192, format);
    zelko::ByteWriter out;
    WriteBlocks(out, data, blockSize);
    return out.ToVector();
}

} // namespace testing_archive
