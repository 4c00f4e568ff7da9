#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "TempFolder.h"
#include "archive_builder.h"
#include "container/BinFile.h"
#include "container/OpenFlow.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/LoadCache.h"
#include "format/SafeFile.h"
#include "format/error_text.h"

using namespace zelko;
using namespace testing_archive;

namespace {

// Three packs with 3, 2 and 4 textures between unrelated known chunks, and a
// compressed container chunk at the end, in a file of its own.
struct SampleArchive {
    TempFolder dir;
    ArchiveBuilder b;
    std::filesystem::path path;
    std::vector<uint8_t> original;
    explicit SampleArchive(const char* name = "CARS.BUN") : path(dir.path() / name) {
        b.Chunk(0x34026, 40);
        b.Pack(PackBytes("ALPHA", 3));
        b.Chunk(0x3B800, 100);
        b.Pack(PackBytes("BETA", 2));
        b.Chunk(0, 12, 0);
        b.Pack(PackBytes("GAMMA", 4));
        b.Chunk(0x66113388, 64);
        b.Chunk(0x80034A10, 24);
        original = b.Bytes();
        WriteFile(path, original);
    }
};

std::unique_ptr<IBinFile> OpenPack(const Document& doc, uint32_t id) {
    ArchiveEntry& e = const_cast<ArchiveEntry&>(doc.entries.at(id));
    return OpenEntry(doc, e, Host{});
}

// What an entry that fails to open shows, and the pack's reason after a slash.
std::string LoadFailure(const Document& doc, uint32_t id) {
    try {
        OpenPack(doc, id);
    } catch (const EntryLoadError& e) {
        return std::string(e.what()) + " / " + e.reason;
    }
    return "";
}

} // namespace

TEST(OpenFlow, ListsEveryPackAndCompressedContainerAndRefusesWhatItCannotRead) {
    SampleArchive a;
    const Document doc = OpenDocument(a.path, true, Host{});
    ASSERT_EQ(doc.entries.size(), 4u);
    const uint32_t counts[] = {3, 2, 4};
    for (uint32_t i = 0; i < 3; ++i) {
        const ArchiveEntry& e = doc.entries.at(i);
        EXPECT_EQ(std::tuple(e.id, e.offset, e.Text(), e.kind, e.textureCount),
                  std::tuple(i, a.b.packOffsets[i], std::to_string(i + 1) + " Texture file", 0u, counts[i]));
    }
    EXPECT_EQ(std::pair(doc.entries.at(3).textureCount, doc.entries.at(3).size), std::pair(0u, 64u + 8));
    EXPECT_FALSE(std::filesystem::exists(CachePathFor(a.path))); // only STREAM archives are cached

    auto beta = OpenPack(doc, 1);
    EXPECT_EQ(std::pair(beta->pack->textures.size(), beta->CanRebuild()), std::pair(size_t(2), true));
    EXPECT_EQ(LoadFailure(doc, 3), "4 Texture file cannot be loaded / ");
    // A zero hash stops the list (the rows themselves are the command line's output).
    beta->pack->textures[1]->hash = 0;
    EXPECT_EQ(ErrorText([&] { BuildTextureRows(*beta); }), "invalid hash");

    // A chunk of no known kind is refused, and the file left as it was. (A
    // missing or empty file is the window's and the command line's test.)
    ArchiveBuilder b;
    b.Pack(PackBytes("A", 1));
    b.Chunk(0x12345678, 4);
    const auto odd = a.dir.path() / "odd.bin";
    const auto bytes = b.Bytes();
    WriteFile(odd, bytes);
    EXPECT_EQ(ErrorText([&] { OpenDocument(odd, false, Host{}); }), odd.string() + " - The file is not supported");
    EXPECT_EQ(ReadFileBytes(odd), bytes);
    // A pack declaring 4 GB: its entry size (with the header) would wrap.
    auto huge = PackBytes("A", 1);
    StoreU32(huge.data() + 4, 0xFFFFFFF9);
    WriteFile(odd, huge);
    EXPECT_EQ(ErrorText([&] { OpenDocument(odd, false, Host{}); }), odd.string() + " - End of file");
}

TEST(TextureBinFile, RebuildMovesLaterChunksKeepsOneBackupAndWritesNothingOnRefusal) {
    SampleArchive a;
    Document doc = OpenDocument(a.path, false, Host{});
    ArchiveEntry& entry = doc.entries.at(0);
    auto bin = OpenEntry(doc, entry, Host{});
    const uint32_t oldSize = entry.size;

    ASSERT_NE(bin->DuplicateTexture(*bin->pack->textures[0], "ALPHA_COPY"), nullptr);
    EXPECT_TRUE(bin->modified);
    ASSERT_TRUE(bin->Save(a.path, true));
    EXPECT_EQ(ReadFileBytes(a.dir.path() / "CARS.BUN.bak"), a.original);
    EXPECT_EQ(entry.offset, a.b.packOffsets[0]);
    EXPECT_GT(entry.size, oldSize);

    const auto saved = ReadFileBytes(a.path);
    // What precedes the first pack is kept, everything after it is the old bytes, moved.
    EXPECT_TRUE(std::equal(a.original.begin(), a.original.begin() + entry.offset, saved.begin()));
    const size_t tailLength = a.original.size() - (a.b.packOffsets[0] + oldSize);
    EXPECT_TRUE(std::equal(a.original.end() - tailLength, a.original.end(), saved.end() - tailLength));

    const Document again = OpenDocument(a.path, false, Host{});
    ASSERT_EQ(again.entries.size(), 4u);
    EXPECT_EQ(again.entries.at(0).textureCount, 4u);
    EXPECT_NE(OpenPack(again, 0)->FindTexture("ALPHA_COPY"), nullptr);

    // A second save leaves the first backup alone.
    ASSERT_TRUE(bin->Save(a.path, true));
    EXPECT_EQ(ReadFileBytes(a.dir.path() / "CARS.BUN.bak"), a.original);

    // A pack the writer refuses changes nothing on disk (failing file steps are the save tests').
    const auto before = ReadFileBytes(a.path);
    for (auto& t : bin->pack->textures) t->hash = 0;
    EXPECT_EQ(ErrorText([&] { bin->Save(a.path, true); }), "invalid hash");
    EXPECT_EQ(ReadFileBytes(a.path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(a.dir.path()), {}), 2); // nothing beside the backup
}

TEST(TextureBinFile, StreamArchivesArePatchedInPlace) {
    SampleArchive a("StreamL2RA.bun");
    Document doc = OpenDocument(a.path, true, Host{});
    EXPECT_FALSE(doc.fromCache);
    EXPECT_TRUE(std::filesystem::exists(CachePathFor(a.path)));
    EXPECT_TRUE(OpenDocument(a.path, true, Host{}).fromCache);

    ArchiveEntry& entry = doc.entries.at(1);
    auto bin = OpenEntry(doc, entry, Host{});
    EXPECT_FALSE(bin->CanRebuild());
    TextureObject* t = bin->pack->textures[0].get();
    std::vector<uint8_t> px(t->pixelsSize, 0xEE);
    t->SetData(t->width, t->height, t->mipCount, px.data(), uint32_t(px.size()), nullptr, 0);
    ASSERT_TRUE(bin->Save(a.path, true));

    const auto saved = ReadFileBytes(a.path);
    ASSERT_EQ(saved.size(), a.original.size());
    EXPECT_EQ(ReadFileBytes(a.dir.path() / "StreamL2RA.bun.bak"), a.original);
    size_t changed = 0;
    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i] != a.original[i]) {
            ++changed;
            EXPECT_GE(i, entry.offset + t->dataOffset);
            EXPECT_LT(i, entry.offset + t->dataOffset + t->pixelsSize);
        }
    }
    EXPECT_GT(changed, 0u);
    // In-place saves refresh the backup each time.
    ASSERT_TRUE(bin->Save(a.path, true));
    EXPECT_EQ(ReadFileBytes(a.dir.path() / "StreamL2RA.bun.bak"), saved);

    // A texture without a recorded position stops the save before any write.
    t->dataOffset = 0;
    EXPECT_EQ(ErrorText([&] { bin->Save(a.path, false); }), "Invalid position");
    EXPECT_EQ(ReadFileBytes(a.path), saved);
}

TEST(VinylBinFile, OpensThePackBehindTheVinylData) {
    TempFolder dir;
    ArchiveBuilder inner;
    inner.Chunk(0x3CE01, 20);
    inner.Chunk(0x3CE02, 36);
    inner.Pack(PackBytes("VINYL", 3, GameWorld));
    const auto path = dir.path() / "decal.VYL";
    const auto bytes = VinylFile(inner.Bytes());
    WriteFile(path, bytes);

    Document doc = OpenDocument(path, false, Host{});
    ASSERT_EQ(doc.entries.size(), 1u);
    EXPECT_EQ(doc.entries.at(0).Text(), "1 ZRC World Vinyls File (.vyl)");
    std::string shown;
    Host host;
    host.showMessage = [&](const std::string& text) { shown = text; };
    auto bin = OpenEntry(doc, doc.entries.at(0), host);
    EXPECT_EQ(bin->pack->textures.size(), 3u);
    EXPECT_EQ(bin->packVersion, 0u);
    EXPECT_FALSE(bin->Save(path, true));
    EXPECT_EQ(shown, "This feature is not available");
    EXPECT_EQ(ReadFileBytes(path), bytes);

    ArchiveBuilder wrong;
    wrong.Chunk(0x30201, 8);
    wrong.Pack(PackBytes("VINYL", 1, GameWorld));
    WriteFile(path, VinylFile(wrong.Bytes()));
    // Rewritten since it was opened: the reason says so too.
    EXPECT_EQ(LoadFailure(doc, 0),
              "1 ZRC World Vinyls File (.vyl) cannot be loaded / Unexpected data type; decal.VYL "
              "was changed by another program since it was opened");
}

TEST(ZRCWorldIconsFolder, ReadsThumbnailsInPathOrderAndWritesBackChangedOnes) {
    TempFolder dir;
    Document empty = OpenWorldFolder(dir.path());
    auto none = OpenEntry(empty, empty.entries.at(0), Host{});
    EXPECT_EQ(std::tuple(none->pack->textures.size(), none->platform, none->carName), std::tuple(size_t(0), 0u, ""));

    using Bytes = std::vector<uint8_t>;
    WriteFile(dir.path() / "b.stp", ThumbnailFile("ICON_B", kFormatARGB, 8, 8, Bytes(256, 2), 160)); // three blocks
    WriteFile(dir.path() / "a.stp", ThumbnailFile("ICON_A", kFormatARGB, 4, 4, Bytes(64, 1)));
    WriteFile(dir.path() / "c.stp", ThumbnailFile("ICON_C", kFormatARGB, 64, 32, Bytes(8192, 3)));
    WriteFile(dir.path() / "d.STP", ThumbnailFile("ICON_D", kFormatARGB, 4, 4, Bytes(64, 4)));
    WriteFile(dir.path() / "e.stp", {1, 2, 3}); // malformed: left out
    const auto bBytes = ReadFileBytes(dir.path() / "b.stp");

    Document doc = OpenWorldFolder(dir.path());
    int pumps = 0;
    Host host;
    host.pumpMessages = [&] { ++pumps; };
    auto folder = OpenEntry(doc, doc.entries.at(0), host);
    std::vector<std::string> names;
    for (const auto& t : folder->pack->textures) names.push_back(t->name);
    ASSERT_EQ(names, (std::vector<std::string>{"ICON_A", "ICON_B", "ICON_C"}));
    EXPECT_EQ(std::tuple(pumps, folder->CanRebuild(), folder->IsCompressed()), std::tuple(4, false, true));
    EXPECT_EQ(folder->DuplicateTexture(*folder->pack->textures[0], "X"), nullptr);

    TextureObject* c = folder->pack->textures[2].get();
    std::vector<uint8_t> px(64 * 32 * 4, 0x42);
    c->SetData(64, 32, 1, px.data(), uint32_t(px.size()), nullptr, 0);
    folder->changedTextures.push_back(c);
    // Failing steps of the save are the atomic writer's test (save_test); here what it writes.
    ASSERT_TRUE(folder->Save(doc.path, false));
    EXPECT_TRUE(folder->changedTextures.empty());
    EXPECT_EQ(ReadFileBytes(dir.path() / "b.stp"), bBytes);

    const auto saved = ReadFileBytes(dir.path() / "c.stp");
    ASSERT_GT(saved.size(), 24u);
    EXPECT_EQ(LoadU32(&saved[0]), 0x55441122u);
    EXPECT_EQ(LoadU32(&saved[8]), saved.size()); // one block
    std::vector<uint8_t> plain(LoadU32(&saved[4]));
    ASSERT_EQ(DecompressStream(&saved[24], saved.size() - 24, plain.data(), plain.size()), plain.size());
    // Pixel bytes, mip size fields and the game's byte in the record; the new pixels.
    const uint8_t* record = plain.data() + plain.size() - 212;
    EXPECT_EQ(std::tuple(LoadU32(record + 24), LoadU32(record + 40), LoadU32(record + 44), record[100], plain[0]),
              std::tuple(64u * 32 * 4, 6u, 5u, uint8_t(0x77), uint8_t(0x42)));
}
