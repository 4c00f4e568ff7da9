#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/GameFiles.h"
#include "format/error_text.h"
#include "format/pack_builder.h"

using namespace zelko;
namespace fs = std::filesystem;
using packtest::Jdlz;

namespace {

// A small chunk file as an expanded archive holds it.
std::vector<uint8_t> Archive() {
    std::vector<uint8_t> bytes(4096);
    StoreU32(bytes.data(), 0xB3300000);
    StoreU32(bytes.data() + 4, 4088);
    for (size_t i = 8; i < bytes.size(); ++i) bytes[i] = uint8_t(i % 7);
    return bytes;
}

std::string ExpandError(const fs::path& path) {
    return ErrorText([&] { ExpandCompressedArchive(path); });
}

} // namespace

TEST(GameFiles, ExpandsCompressedArchivesOnly) {
    TempFolder dir;
    const std::vector<uint8_t> archive = Archive(), compressed = Jdlz(archive);
    const fs::path path = dir.path() / "level.LzC"; // the extension in any case
    WriteFile(path, compressed);
    EXPECT_EQ(ExpandError(path), "");
    EXPECT_EQ(ReadFileBytes(path), archive);
    ExpandCompressedArchive(path); // starts with a chunk id now: stays
    EXPECT_EQ(ReadFileBytes(path), archive);
    std::vector<uint8_t> corrupt = compressed, comp = compressed;
    corrupt[4] = 3;
    std::copy_n("COMP", 4, comp.begin());
    const std::pair<const char*, std::vector<uint8_t>> untouched[] = {
        {"GAMEPLAY.LZC", compressed}, {"level.bin", compressed}, {"a.lzc", corrupt}, {"b.lzc", comp}};
    for (const auto& [name, bytes] : untouched) {
        WriteFile(dir.path() / name, bytes);
        EXPECT_EQ(ExpandError(dir.path() / name), "") << name;
        EXPECT_EQ(ReadFileBytes(dir.path() / name), bytes) << name;
    }
    WriteFile(dir.path() / "short.lzc", {'J', 'D'});
    EXPECT_EQ(ExpandError(dir.path() / "short.lzc"), "End of file");
    EXPECT_EQ(ExpandError(dir.path() / "missing.lzc"), "Failed to open the file");
}

TEST(GameFiles, ResetsExistingMemoryFilesOfGameFolders) {
    TempFolder game;
    fs::create_directories(game.path() / "tracks");
    fs::create_directories(game.path() / "Global");
    const std::vector<uint8_t> old(1000, 0xAA);
    WriteFile(game.path() / "Global" / "GlobalMemoryFile.bin", old);
    WriteFile(game.path() / "Global" / "inGameMemoryFile.bin", old);
    EXPECT_FALSE(ResetMemoryFiles(game.path())); // no track file yet
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "GlobalMemoryFile.bin"), old);
    WriteFile(game.path() / "tracks" / "l8r_mw2.bun", {1});
    EXPECT_TRUE(ResetMemoryFiles(game.path()));
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "GlobalMemoryFile.bin"), GlobalMemoryFileContent());
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "inGameMemoryFile.bin"), EmptyMemoryFileContent());
    EXPECT_FALSE(fs::exists(game.path() / "Global" / "PermanentMemoryFile.bin"));
}
