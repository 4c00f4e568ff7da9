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
    for (const char* name : {"level.LZC", "X.LzC"}) {
        const fs::path path = dir.path() / name;
        WriteFile(path, compressed);
        EXPECT_EQ(ExpandError(path), "");
        EXPECT_EQ(ReadFileBytes(path), archive) << name;
        ExpandCompressedArchive(path); // starts with a chunk id now: stays
        EXPECT_EQ(ReadFileBytes(path), archive);
    }
    // "RFPK": one command of 8 literals, then the end command.
    const fs::path rfpk = dir.path() / "r.lzc";
    WriteFile(rfpk, {'R',  'F',  'P', 'K', 0, 0,    0,   0,   8,   0,   0,   0,   30,  0,   0,   0,
                     0x10, 0xFB, 0,   0,   8, 0xE1, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0xFC});
    ExpandCompressedArchive(rfpk);
    EXPECT_EQ(ReadFileBytes(rfpk), std::vector<uint8_t>({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));

    std::vector<uint8_t> corrupt = compressed, comp = compressed;
    corrupt[4] = 3;
    std::copy_n("COMP", 4, comp.begin());
    const std::pair<const char*, std::vector<uint8_t>> untouched[] = {{"gameplay.lzc", compressed},
                                                                      {"GAMEPLAY.LZC", compressed},
                                                                      {"level.bin", compressed},
                                                                      {"a.lzc", corrupt},
                                                                      {"b.lzc", comp}};
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
    const std::vector<uint8_t> global = GlobalMemoryFileContent();
    ASSERT_EQ(global.size(), 366u);
    const uint32_t header[] = {0, 0, 0x53219999, 1, 0x97E7DAA1, 36, 330, 330, 366};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(LoadU32(&global[4 * i]), header[i]) << i;
    EXPECT_EQ(std::string(global.end() - 28, global.end()), "BuildVersionFullName:\t\"\"\r\n\r\n");
    EXPECT_EQ(EmptyMemoryFileContent(),
              std::vector<uint8_t>({0, 0, 0, 0, 0, 0, 0, 0, 0x99, 0x99, 0x21, 0x53, 0, 0, 0, 0}));

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
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "GlobalMemoryFile.bin"), global);
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "inGameMemoryFile.bin"), EmptyMemoryFileContent());
    EXPECT_FALSE(fs::exists(game.path() / "Global" / "PermanentMemoryFile.bin"));
}
