// The editing rules shared by the editor and the command line.
#include <gtest/gtest.h>

#include "TempFolder.h"
#include "archive_builder.h"
#include "container/Editing.h"
#include "format/Errors.h"
#include "format/error_text.h"
#include "texture/TextureFlags.h"

using namespace zelko;
using namespace testing_archive;

namespace {

// A loose container over a pack of the given textures (no file behind it).
std::unique_ptr<IBinFile> Loose(uint32_t packVersion, bool canRebuild, std::vector<std::string> names) {
    auto bin = std::make_unique<TextureBinFile>();
    bin->pack = std::make_unique<TextureFile>();
    bin->packVersion = packVersion;
    bin->canRebuild = canRebuild;
    for (const std::string& name : names) bin->pack->textures.push_back(packtest::MakeTexture(name, kFormatARGB, 8, 8));
    return bin;
}

} // namespace

// Which names are taken is the Rename dialog's test and the command line's.
TEST(Editing, RenameDuplicateAndDeleteKeepTheOrderAndTheLastTexture) {
    auto bin = Loose(5, true, {"road", "SKY"});
    TextureObject& sky = *bin->pack->textures[1];
    RenameTexture(*bin, sky, "CLOUDS");
    EXPECT_EQ(sky.hash, NameHash("CLOUDS"));
    EXPECT_EQ(bin->pack->textures[1].get(), &sky); // keeps its place
    EXPECT_TRUE(bin->modified);

    bin->modified = false;
    TextureObject other;
    EXPECT_EQ(ErrorText([&] { DeleteTexture(*bin, other); }), "Not in the pack");
    EXPECT_FALSE(bin->modified);
    TextureObject& copy = DuplicateTexture(*bin, sky, "CLOUDS_2");
    EXPECT_EQ(bin->pack->textures.back().get(), &copy);
    EXPECT_TRUE(bin->modified);
    DeleteTexture(*bin, copy);
    EXPECT_EQ(bin->FindTexture("CLOUDS_2"), nullptr);
    DeleteTexture(*bin, *bin->pack->textures[0]);
    EXPECT_EQ(ErrorText([&] { DeleteTexture(*bin, sky); }), "The file must contain at least one texture.");
    EXPECT_EQ(bin->pack->textures.size(), 1u);

    bin->pack->textures[0]->hash = 0;
    EXPECT_EQ(ErrorText([&] { TextureHashes(*bin); }), "invalid hash");
}

TEST(Editing, FormatChangeTakesTheGamesFlagsForTheNameWithoutItsCarPrefix) {
    ResetNameTables();
    RegisterName("NIS_240_SX_HEADLIGHT_GLASS");
    EXPECT_EQ(TextureFlagKey(NameHash("NIS_240_SX_HEADLIGHT_GLASS"), "NIS_240_SX"), "HEADLIGHT_GLASS");
    RegisterName("%_WINDOW_FRONT");
    EXPECT_EQ(TextureFlagKey(NameHash("%_WINDOW_FRONT"), "ANY"), "WINDOW_FRONT");
    EXPECT_EQ(TextureFlagKey(0xABC, ""), "0xabc");
    EXPECT_EQ(ErrorText([] { TextureFlagKey(0, ""); }), "invalid hash");

    auto bin = Loose(4, true, {"NIS_240_SX_HEADLIGHT_GLASS", "PLAIN"});
    bin->carName = "NIS_240_SX";
    TextureObject& glass = *bin->pack->textures[0];
    TextureObject& plain = *bin->pack->textures[1];
    EXPECT_FALSE(ChangeTextureFormat(*bin, glass, kFormatARGB)); // already so: nothing happens
    EXPECT_FALSE(bin->modified);
    EXPECT_TRUE(ChangeTextureFormat(*bin, glass, kFormatDXT3));
    EXPECT_TRUE(ChangeTextureFormat(*bin, plain, kFormatDXT3));
    EXPECT_EQ(glass.format, kFormatDXT3);
    EXPECT_EQ(glass.alphaMode * 10 + glass.blendMode, 22); // Underground's headlight row
    EXPECT_NE(plain.alphaMode * 10 + plain.blendMode, 22); // the format's defaults
    EXPECT_TRUE(bin->modified);

    // In place, a change of the byte count is refused and changes nothing.
    auto stream = Loose(4, false, {"PLAIN"});
    TextureObject& patched = *stream->pack->textures[0];
    EXPECT_NE(ErrorText([&] { ChangeTextureFormat(*stream, patched, kFormatDXT1); }), "");
    EXPECT_EQ(patched.format, kFormatARGB);
    EXPECT_FALSE(stream->modified);
    ResetNameTables();
}

// The entries behind the rebuilt pack, against a fresh scan, are the window's save test.
TEST(Editing, SaveIntoDocumentRefusesAFileChangedSinceItWasOpened) {
    TempFolder dir;
    ArchiveBuilder b;
    b.Pack(PackBytes("A", 3));
    b.Chunk(0x34026, 40);
    b.Pack(PackBytes("B", 2));
    const auto path = dir.path() / "CARS.BUN";
    WriteFile(path, b.Bytes());
    Document doc = OpenDocument(path, false, Host{});
    auto bin = OpenEntry(doc, doc.entries.at(0), Host{});
    DeleteTexture(*bin, *bin->pack->textures[0]);
    EXPECT_EQ(doc.entries.at(0).textureCount, 2u); // the listing follows the pack
    SaveIntoDocument(*bin, doc, false);
    EXPECT_FALSE(bin->modified);

    // Another program wrote the file since: the save is refused, their file
    // stays, and the edits stay unsaved for a save elsewhere or a reload.
    DeleteTexture(*bin, *bin->pack->textures[0]);
    auto theirs = ReadFileBytes(path);
    theirs.push_back(0);
    WriteFile(path, theirs);
    EXPECT_EQ(ErrorText([&] { SaveIntoDocument(*bin, doc, false); }),
              "Failed to save " + path.string() + ": CARS.BUN was changed by another program since it was opened");
    EXPECT_EQ(ReadFileBytes(path), theirs);
    EXPECT_TRUE(bin->modified);
}
