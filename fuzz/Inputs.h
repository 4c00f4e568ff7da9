#pragma once
// What each fuzz target does with one input, shared with the replay of the
// regression corpus in the unit tests, and so portable: Windows runs them too.
// Errors are fine; a crash, a hang, a huge allocation or a failed Check is a
// finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/BinFile.h"
#include "container/OpenFlow.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/GameFiles.h"
#include "format/GameVersion.h"
#include "format/LoadCache.h"
#include "format/Platform.h"
#include "format/TextureFile.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "imaging/ImageOps.h"
#include "tests/TempFolder.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"

namespace fuzz_inputs {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

// The input written as the file NAME (a relative path) in a folder that goes
// with everything in it once the input is done.
struct InputFile {
    TempFolder folder;
    std::filesystem::path path;
    InputFile(const std::string& name, const uint8_t* data, size_t size) : path(folder.path() / name) {
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path, std::vector<uint8_t>(data, data + size));
    }
};

// The file opened as the program opens it; nothing when it is refused.
inline std::optional<zelko::Document> Open(const std::filesystem::path& path, bool useCache = false) {
    try {
        return zelko::OpenDocument(path, useCache, zelko::Host{});
    } catch (const zelko::Error&) {
        return std::nullopt;
    }
}

// What the editor does with an opened container: a row per texture and the
// preview of each. A decoded texture has the record's size.
inline void ShowTextures(const zelko::IBinFile& container) {
    try {
        zelko::BuildTextureRows(container);
    } catch (const zelko::Error&) {
        // a texture with hash 0: refused with a message
    }
    container.ForEachTexture([](zelko::TextureObject* texture) {
        zelko::ScratchImage image;
        std::string error;
        if (!zelko::DecodeTexture(*texture, image, error)) return;
        Check(image.GetMetadata().width == texture->width && image.GetMetadata().height == texture->height);
    });
}

// Opens every entry of the document and shows its textures; entries that
// fail to load are fine.
inline void OpenEntries(zelko::Document& document) {
    for (auto& [id, entry] : document.entries) {
        std::unique_ptr<zelko::IBinFile> container;
        try {
            container = zelko::OpenEntry(document, entry, zelko::Host{});
        } catch (const zelko::Error&) {
            continue;
        }
        Check(container && container->pack);
        ShowTextures(*container);
    }
}

// A game archive: the scan of the top-level chunks, then every entry it
// found, then the rows and the preview of every texture.
inline int RunArchiveInput(const uint8_t* data, size_t size) {
    const InputFile input("CARS.BUN", data, size);
    if (auto document = Open(input.path)) OpenEntries(*document);
    return 0;
}

// A World vinyl file (.vyl): the blocks of compressed streams, the data
// chunks before the pack, the pack itself, then its rows and previews.
inline int RunVinylInput(const uint8_t* data, size_t size) {
    const InputFile input("DECAL.VYL", data, size);
    auto document = Open(input.path);
    if (!document) return 0;
    Check(document->kind == zelko::kEntryVinyl && document->entries.size() == 1);
    OpenEntries(*document);
    return 0;
}

// A compressed archive (.lzc) expanded in place, then opened. The expansion
// either leaves the file as it was or replaces it whole with no more bytes
// than the stream declares, and never leaves a temporary file behind.
inline int RunLzcInput(const uint8_t* data, size_t size) {
    const InputFile input("TRACKS.LZC", data, size);
    try {
        zelko::ExpandCompressedArchive(input.path);
    } catch (const zelko::Error&) {
        return 0;
    }
    Check(std::distance(std::filesystem::directory_iterator(input.folder.path()), {}) == 1);
    const std::vector<uint8_t> now = ReadFileBytes(input.path);
    if (!std::equal(now.begin(), now.end(), data, data + size))
        Check(size >= zelko::kStreamHeaderSize && !now.empty() && now.size() <= zelko::LoadU32(data + 8));
    if (auto document = Open(input.path)) OpenEntries(*document);
    return 0;
}

// The load cache of a STREAM archive: the cache file (its header and the
// positions it counts) followed by the archive. The cache is read as it
// stands, then with its time set to the archive's so that the open flow
// follows its positions into the archive.
constexpr size_t kHeaderSize = 0x10C;
constexpr size_t kTimeField = 0x104;
constexpr size_t kCountField = 0x108;

inline int RunLoadCacheInput(const uint8_t* data, size_t size) {
    size_t cacheSize = size;
    uint32_t count = 0;
    if (size >= kHeaderSize) {
        count = zelko::LoadU32(data + kCountField);
        cacheSize = size_t(std::min<uint64_t>(size, kHeaderSize + 4 * uint64_t(count)));
    }
    std::vector<uint8_t> cache(data, data + cacheSize);

    const InputFile input("STREAML2RA.BUN", data + cacheSize, size - cacheSize);
    const auto& archive = input.path;
    const auto cachePath = zelko::CachePathFor(archive);
    WriteFile(cachePath, cache);

    std::vector<uint32_t> positions;
    if (zelko::ReadLoadCache(positions, archive, true))
        Check(positions.size() == count && count != 0);
    else
        Check(positions.empty());

    uint64_t fileTime = 0;
    Check(zelko::LastWriteFileTime(archive, fileTime));
    if (cache.size() >= kCountField) {
        zelko::StoreU32(cache.data() + kTimeField, uint32_t(fileTime));
        WriteFile(cachePath, cache);
    }
    std::vector<uint32_t> timed;
    Check(zelko::ReadLoadCache(timed, archive, false) == !positions.empty());

    auto document = Open(archive, true);
    if (!document) return 0;
    if (document->fromCache) Check(document->entries.size() == positions.size());
    OpenEntries(*document);
    return 0;
}

inline bool SameThumbnail(const zelko::TextureObject& a, const zelko::TextureObject& b) {
    return a.name == b.name && a.format == b.format && a.width == b.width && a.height == b.height &&
        a.mipCount == b.mipCount && std::ranges::equal(a.PixelView(), b.PixelView());
}

// A World thumbnail file (.stp) in a thumbnails folder: its texture is shown,
// and a thumbnail written back reads again as the same texture.
inline int RunStpInput(const uint8_t* data, size_t size) {
    const InputFile input("Thumbnails/a.stp", data, size);
    const auto folder = input.path.parent_path();
    zelko::Document document = zelko::OpenWorldFolder(folder);
    std::unique_ptr<zelko::IBinFile> thumbnails;
    try {
        thumbnails = zelko::OpenEntry(document, document.entries.at(0), zelko::Host{});
    } catch (const zelko::Error&) {
        return 0;
    }
    Check(thumbnails->pack && thumbnails->pack->textures.size() <= 1);
    ShowTextures(*thumbnails);
    if (thumbnails->pack->textures.empty()) return 0;

    // Xbox 360 layouts are turned into PC ones on load and cannot be written
    // back as they came; World thumbnails are PC files.
    zelko::TextureObject* texture = thumbnails->pack->textures[0].get();
    if (texture->fromXbox360) return 0;
    thumbnails->changedTextures.push_back(texture);
    try {
        Check(thumbnails->Save(document.path, false));
    } catch (const zelko::Error&) {
        return 0;
    }
    zelko::Document again = zelko::OpenWorldFolder(folder);
    auto reread = zelko::OpenEntry(again, again.entries.at(0), zelko::Host{});
    Check(reread->pack->textures.size() == 1 && SameThumbnail(*reread->pack->textures[0], *texture));
    return 0;
}

inline bool SameTexture(const zelko::TextureObject& a, const zelko::TextureObject& b) {
    return a.hash == b.hash && a.format == b.format && a.width == b.width && a.height == b.height &&
        a.mipCount == b.mipCount && a.alphaMode == b.alphaMode && a.blendMode == b.blendMode &&
        a.palette == b.palette && std::ranges::equal(a.PixelView(), b.PixelView());
}

// A texture pack. Whatever loads and then saves must load again with the
// same textures: a save never drops a texture or changes its pixels.
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

// Every stream decoder, and a round trip through the JDLZ encoder.
// Destinations are heap blocks of exactly their capacity so the sanitizer
// sees any write past them.
constexpr size_t kLargeCapacity = 1 << 20;
constexpr size_t kSmallCapacity = 64;
constexpr const char* kMagics[] = {"JDLZ", "RFPK", "COMP", "HUFF", "RAWW"};

inline void DecodeInto(const uint8_t* data, size_t size, size_t capacity) {
    // Allocated once per capacity, each block exactly that large.
    static uint8_t* const large = static_cast<uint8_t*>(std::malloc(kLargeCapacity));
    static uint8_t* const small = static_cast<uint8_t*>(std::malloc(kSmallCapacity));
    uint8_t* out = capacity == kLargeCapacity ? large : small;
    Check(zelko::DecompressStream(data, size, out, capacity) <= capacity);
}

inline int RunDecompressInput(const uint8_t* data, size_t size) {
    DecodeInto(data, size, kLargeCapacity);
    DecodeInto(data, size, kSmallCapacity);

    // The same bytes under each magic, so every decoder sees every input
    // without the fuzzer having to find the magics first.
    if (size >= zelko::kStreamHeaderSize) {
        std::vector<uint8_t> copy(data, data + size);
        for (const char* magic : kMagics) {
            std::memcpy(copy.data(), magic, 4);
            DecodeInto(copy.data(), copy.size(), kLargeCapacity);
        }
    }

    // Round trip: the encoder must fit its bound and decode back exactly.
    const size_t bound = zelko::JdlzCompressBound(size);
    std::vector<uint8_t> packed(bound), unpacked(size);
    const uint32_t packedSize = zelko::CompressJdlz(data, uint32_t(size), packed.data(), bound);
    Check(packedSize != 0 && packedSize <= bound);
    packed.resize(packedSize);
    const uint32_t n = zelko::DecompressStream(packed.data(), packed.size(), unpacked.data(), size);
    Check(n == size && (size == 0 || std::memcmp(unpacked.data(), data, size) == 0));
    return 0;
}

// A DDS file. Whatever the reader accepts must decode or convert to BGRA and
// write back to a file that reads the same; the header-only read judges
// every file as the full read does.
inline int RunDdsInput(const uint8_t* data, size_t size) {
    using namespace zelko;
    TexMetadata header;
    HResult headerResult = GetMetadataFromDDSMemory(data, size, header);

    ScratchImage image;
    TexMetadata metadata;
    HResult hr = LoadFromDDSMemory(data, size, &metadata, image);
    Check(hr == headerResult);
    if (Failed(hr)) {
        Check(image.GetPixels() == nullptr);
        return 0;
    }

    const Image* images = image.GetImages();
    size_t count = image.GetImageCount();
    ScratchImage bgra;
    if (IsCompressed(metadata.format))
        hr = Decompress(images, count, metadata, DxgiFormat::B8G8R8A8_UNORM, bgra);
    else
        hr = Convert(images, count, metadata, DxgiFormat::B8G8R8A8_UNORM, kTexFilterDefault, 0.5f, bgra);
    if (Succeeded(hr)) Check(bgra.GetMetadata().mipLevels == metadata.mipLevels);

    std::vector<uint8_t> written;
    Check(Succeeded(SaveToDDSMemory(images, count, metadata, written)));
    ScratchImage again;
    Check(Succeeded(LoadFromDDSMemory(written.data(), written.size(), nullptr, again)));
    Check(again.GetPixelsSize() == image.GetPixelsSize() &&
          std::memcmp(again.GetPixels(), image.GetPixels(), image.GetPixelsSize()) == 0);
    return 0;
}

// Larger images only decode: the round trips and the import would spend the
// fuzzer's time encoding what a few bytes declared.
constexpr size_t kMaxCheckedPixels = 1 << 18;

inline bool SamePixels(const zelko::ScratchImage& a, const zelko::ScratchImage& b) {
    return a.GetPixelsSize() == b.GetPixelsSize() && std::memcmp(a.GetPixels(), b.GetPixels(), a.GetPixelsSize()) == 0;
}

// A decoded image is one level of 32-bit BGRA whatever the file held, and
// comes back exactly from the lossless writers.
inline void CheckDecoded(const zelko::ScratchImage& image) {
    const zelko::TexMetadata& m = image.GetMetadata();
    Check(m.format == zelko::DxgiFormat::B8G8R8A8_UNORM && m.mipLevels == 1 && m.arraySize == 1);
    Check(m.width >= 1 && m.width <= zelko::kMaxTextureDimension && m.height >= 1 &&
          m.height <= zelko::kMaxTextureDimension);
    Check(image.GetPixelsSize() == m.width * m.height * 4);
    if (m.width * m.height > kMaxCheckedPixels) return;
    for (auto format : {zelko::ImageFileFormat::PNG, zelko::ImageFileFormat::TGA}) {
        std::vector<uint8_t> bytes;
        Check(zelko::Succeeded(zelko::SaveToImageMemory(*image.GetImage(0, 0, 0), format, bytes)));
        zelko::ScratchImage again;
        const zelko::HResult hr = format == zelko::ImageFileFormat::TGA
            ? zelko::LoadFromTGAMemory(bytes.data(), bytes.size(), nullptr, again)
            : zelko::LoadFromImageMemory(bytes.data(), bytes.size(), nullptr, again);
        Check(zelko::Succeeded(hr) && SamePixels(again, image));
    }
}

// An image file: BMP, PNG, JPEG, GIF and TIFF by content, TGA on its own,
// and the import of the bytes as a file, which takes a ".dds" name when they
// start like one; memory and file reads agree.
inline int RunImageFileInput(const uint8_t* data, size_t size) {
    zelko::ScratchImage tga;
    if (zelko::Succeeded(zelko::LoadFromTGAMemory(data, size, nullptr, tga))) CheckDecoded(tga);
    zelko::ScratchImage image;
    const bool decoded = zelko::Succeeded(zelko::LoadFromImageMemory(data, size, nullptr, image));
    if (decoded) CheckDecoded(image);

    const bool dds = zelko::DetectImageFileFormat(data, size) == zelko::ImageFileFormat::DDS;
    const InputFile input(dds ? "image.dds" : "image.png", data, size);
    const auto& path = input.path;
    zelko::ScratchImage loaded;
    std::string error;
    const bool read = zelko::LoadImageFile(path, loaded, error);
    if (!dds) Check(read == decoded && (!read || SamePixels(loaded, image)));
    if (!read) return 0;
    const zelko::TexMetadata& m = loaded.GetMetadata();
    if (m.width * m.height > kMaxCheckedPixels) return 0;
    try {
        auto texture = zelko::ImportAsNewTexture(false, path);
        Check(texture->width % 4 == 0 && texture->height % 4 == 0);
    } catch (const zelko::Error&) {}
    return 0;
}

} // namespace fuzz_inputs
