#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/SpecialFiles.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Jdlz(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out(JdlzCompressBound(bytes.size()));
    out.resize(CompressJdlz(bytes.data(), uint32_t(bytes.size()), out.data(), out.size()));
    return out;
}

// A small chunk file as an expanded archive holds it.
std::vector<uint8_t> Archive() {
    std::vector<uint8_t> bytes(4096);
    StoreU32(bytes.data(), 0xB3300000);
    StoreU32(bytes.data() + 4, 4088);
    for (size_t i = 8; i < bytes.size(); ++i) bytes[i] = uint8_t(i % 7);
    return bytes;
}

std::string ExpandError(const fs::path& path) {
    try {
        ExpandCompressedArchive(path);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(SpecialFiles, ExpandsCompressedArchivesInPlace) {
    TempFolder dir;
    const std::vector<uint8_t> archive = Archive();
    for (const char* name : {"level.LZC", "Track.lzc", "X.LzC"}) {
        const fs::path path = dir.path() / name;
        WriteFile(path, Jdlz(archive));
        EXPECT_EQ(ExpandError(path), "");
        EXPECT_EQ(ReadFileBytes(path), archive) << name;
        // Opened again, it starts with a chunk id and stays as it is.
        ExpandCompressedArchive(path);
        EXPECT_EQ(ReadFileBytes(path), archive);
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().extension(), ".zelko-tmp") << "no temporary file is left";
    }

    // "RFPK": one command of 8 literals, then the end command.
    const fs::path rfpk = dir.path() / "r.lzc";
    WriteFile(rfpk, {'R', 'F', 'P', 'K', 0, 0, 0, 0, 8, 0, 0, 0, 30, 0, 0, 0,
                     0x10, 0xFB, 0, 0, 8, 0xE1, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0xFC});
    ExpandCompressedArchive(rfpk);
    EXPECT_EQ(ReadFileBytes(rfpk), std::vector<uint8_t>({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
}

TEST(SpecialFiles, LeavesOtherFilesAlone) {
    TempFolder dir;
    const std::vector<uint8_t> compressed = Jdlz(Archive());
    std::vector<uint8_t> corrupt = compressed;
    corrupt[4] = 3;  // fails the stream's header check
    std::vector<uint8_t> comp = compressed;
    std::copy_n("COMP", 4, comp.begin());
    std::vector<uint8_t> noSize = compressed;
    StoreU32(noSize.data() + 8, 0);
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"gameplay.lzc", compressed}, {"GAMEPLAY.LZC", compressed}, {"level.bin", compressed},
        {"level.lzc.bak", compressed}, {"a.lzc", corrupt}, {"b.lzc", comp}, {"c.lzc", noSize}};
    for (const auto& [name, bytes] : cases) {
        WriteFile(dir.path() / name, bytes);
        EXPECT_EQ(ExpandError(dir.path() / name), "") << name;
        EXPECT_EQ(ReadFileBytes(dir.path() / name), bytes) << name;
    }

    WriteFile(dir.path() / "short.lzc", {'J', 'D'});
    EXPECT_EQ(ExpandError(dir.path() / "short.lzc"), "End of file");
    WriteFile(dir.path() / "header.lzc", {'J', 'D', 'L', 'Z', 2, 0x10, 0, 0});
    EXPECT_EQ(ExpandError(dir.path() / "header.lzc"), "End of file");
    EXPECT_EQ(ExpandError(dir.path() / "missing.lzc"), "Failed to open the file");
}

TEST(SpecialFiles, AFailedWriteKeepsTheOriginal) {
    TempFolder dir;
    const fs::path path = dir.path() / "level.lzc";
    const std::vector<uint8_t> compressed = Jdlz(Archive());
    WriteFile(path, compressed);
    // The temporary file cannot be created where a folder of its name stands.
    fs::create_directory(dir.path() / "level.lzc.zelko-tmp");
    EXPECT_EQ(ExpandError(path), "The file can not be found or there is no write permission");
    EXPECT_EQ(ReadFileBytes(path), compressed);
}

TEST(SpecialFiles, MemoryFileContents) {
    const std::vector<uint8_t> global = GlobalMemoryFileContent();
    ASSERT_EQ(global.size(), 366u);
    const uint32_t header[] = {0, 0, 0x53219999, 1, 0x97E7DAA1, 36, 330, 330, 366};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(LoadU32(&global[4 * i]), header[i]) << i;
    const std::string text(global.begin() + 36, global.end());
    EXPECT_EQ(text.substr(0, 4), "//\r\n");
    EXPECT_NE(text.find("\r\nMachine:\t\t\t\t\""), std::string::npos);
    EXPECT_NE(text.find("ChangelistNumber:\t\t0\t\t\t// Changelist # extracted from above string\r\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 28), "BuildVersionFullName:\t\"\"\r\n\r\n");

    const std::vector<uint8_t> empty = EmptyMemoryFileContent();
    EXPECT_EQ(empty, std::vector<uint8_t>({0, 0, 0, 0, 0, 0, 0, 0, 0x99, 0x99, 0x21, 0x53, 0, 0, 0, 0}));
}

TEST(SpecialFiles, ResetsMemoryFilesOfRecognisedGameFolders) {
    TempFolder game;
    fs::create_directories(game.path() / "TRACKS");
    fs::create_directories(game.path() / "Global");
    const std::vector<uint8_t> old(1000, 0xAA);
    WriteFile(game.path() / "Global" / "GlobalMemoryFile.bin", old);
    WriteFile(game.path() / "Global" / "InGameMemoryFile.bin", old);
    // Not an installation yet: nothing changes.
    EXPECT_FALSE(ResetMemoryFiles(game.path()));
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "GlobalMemoryFile.bin"), old);

    WriteFile(game.path() / "TRACKS" / "L8R_MW2.BUN", {1});
    EXPECT_TRUE(ResetMemoryFiles(game.path()));
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "GlobalMemoryFile.bin"), GlobalMemoryFileContent());
    EXPECT_EQ(ReadFileBytes(game.path() / "Global" / "InGameMemoryFile.bin"), EmptyMemoryFileContent());
    // Files that were not there are not created.
    EXPECT_FALSE(fs::exists(game.path() / "Global" / "PermanentMemoryFile.bin"));
    EXPECT_FALSE(fs::exists(game.path() / "Global" / "CarHeadersMemoryFile.bin"));

    // Names in another case are found too.
    TempFolder lower;
    fs::create_directories(lower.path() / "tracks");
    fs::create_directories(lower.path() / "global");
    WriteFile(lower.path() / "tracks" / "l4ra.bun", {1});
    WriteFile(lower.path() / "global" / "permanentmemoryfile.bin", old);
    EXPECT_TRUE(ResetMemoryFiles(lower.path()));
    EXPECT_EQ(ReadFileBytes(lower.path() / "global" / "permanentmemoryfile.bin"), EmptyMemoryFileContent());
}
