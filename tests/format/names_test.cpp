#include "format/NameHash.h"

#include "format/error_text.h"
#include "format/GameVersion.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempFolder.h"

namespace zelko {
namespace {

namespace fs = std::filesystem;

std::string KnownName(std::string_view name) {
    const std::string* known = FindKnownName(NameHash(name));
    return known ? *known : std::string("<none>");
}

TEST(NameHash, TextAndHexPrefix) {
    // The prefix is case-sensitive; bytes are signed (0xE9: -33 - 23); hex stops at a non-digit.
    const std::pair<std::string_view, uint32_t> cases[] = {
        {"", 0xFFFFFFFF},         {"0X1A", 0x9B699}, {"\xE9", 0xFFFFFFC8},        {std::string_view("A\0", 2), 0x420},
        {"0x1a2b3cZZ", 0x1A2B3C}, {"0x", 0},         {"0x123456789", 0x23456789}, {"0x00000000DEADBEEF", 0xDEADBEEF}};
    for (const auto& [name, hash] : cases) EXPECT_EQ(hash, NameHash(name)) << name;
}

class NameListsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetNameTables(); }
    void TearDown() override { ResetNameTables(); }
    // Writes bytes exactly as given; `game` 0 means the lists folder itself.
    void Write(int game, const char* file, const std::string& bytes) {
        fs::create_directories(game ? dir_ / GameName(game) : dir_);
        std::ofstream((game ? dir_ / GameName(game) : dir_) / file, std::ios::binary) << bytes;
    }
    TempFolder tmp_;
    fs::path dir_ = tmp_.path();
};

TEST_F(NameListsTest, ListFileLines) {
    Write(0, "List.txt", "# header\r\nNIS_240_SX\r\n\r\n\n  SPACED \r\n #NOT_A_COMMENT\n#x\r\nCR\rINSIDE\nLAST\r");
    EXPECT_EQ((std::vector<std::string>{"NIS_240_SX", "  SPACED ", " #NOT_A_COMMENT", "CR\rINSIDE", "LAST\r"}),
              ReadNameList(dir_ / "List.txt"));
    EXPECT_TRUE(ReadNameList(dir_ / "Missing.txt").empty());
    fs::create_directories(dir_ / "Folder.txt");
    EXPECT_EQ(ErrorText([&] { ReadNameList(dir_ / "Folder.txt"); }), "Failed to open the file");
}

TEST_F(NameListsTest, LoadsTheFolderLayout) {
    Write(0, "InvalidHashes.txt", "NULL_TEXTURE\nNULL_TEXTURE\r\n");
    Write(GameUnderground, "Cars.txt", "#cars\r\nZED\r\nMAZ_RX7\r\nZED\r\n\xE9T\r\n");
    Write(GameUnderground, "Parts.txt", "HOOD\n");
    Write(GameWorld, "GenericTextures.txt", "SKY\n");
    LoadNameDatabase(dir_);

    EXPECT_EQ(NameSet{"NULL_TEXTURE"}, NameDatabase.InvalidHashes);
    // Byte-wise order: 0xE9 sorts after every ASCII letter.
    const NameSet& cars = NameDatabase.Cars.at(GameUnderground);
    EXPECT_EQ((std::vector<std::string>{"MAZ_RX7", "ZED", "\xE9T"}),
              std::vector<std::string>(cars.begin(), cars.end()));
    EXPECT_EQ(NameSet{"HOOD"}, NameDatabase.Parts.at(GameUnderground));
    EXPECT_EQ(NameSet{"SKY"}, NameDatabase.GenericTextures.at(GameWorld));
    EXPECT_TRUE(NameDatabase.Vinyls.at(GameUnderground).empty());

    // An unreadable list fails the load; what was loaded stays.
    Write(GameUnderground, "Parts.txt", "BONNET\n");
    fs::create_directories(dir_ / GameName(GameCarbon) / "Shaders.txt");
    EXPECT_EQ(ErrorText([&] { LoadNameDatabase(dir_); }), "Failed to open the file");
    EXPECT_EQ(NameSet{"HOOD"}, NameDatabase.Parts.at(GameUnderground));
}

TEST_F(NameListsTest, FindCarNameTakesFirstGameThenSetOrder) {
    Write(GameMostWanted, "Cars.txt", "NIS_240_SX\n");
    Write(GameUnderground, "Cars.txt", "NIS_240\nMAZ_RX7_FD\nMAZ_RX7\n");
    LoadNameDatabase(dir_);
    EXPECT_EQ("NIS_240", FindCarName("NIS_240_SX_BADGING")); // game 1 before game 3
    EXPECT_EQ("MAZ_RX7", FindCarName("MAZ_RX7_FD_TIRE")); // set order within a game
    EXPECT_EQ("", FindCarName("NIS_240SX_TIRE")); // no underscore after the car
    EXPECT_EQ("", FindCarName("NIS_240"));
}

TEST_F(NameListsTest, RegisterCarNames) {
    // "Ab" and "BA" collide (h*33 + b: one byte up by 1 and the next down by 33 keeps the hash), so
    // the registration order shows: the texture name, registered after the car part's, wins.
    ASSERT_EQ(NameHash("MAZ_RX7_Ab"), NameHash("MAZ_RX7_BA"));
    Write(GameCarbon, "Parts.txt", "HOOD\nAb\n");
    Write(GameCarbon, "Textures.txt", "BADGING\nBA\n");
    Write(GameWorld, "Parts.txt", "SPOILER\n");
    LoadNameDatabase(dir_);
    EXPECT_EQ(ErrorText([] { RegisterCarNames(GameCarbon, "MAZ_RX7"); }), "operation not allowed");

    BuildKnownNames(dir_);
    const auto generic = KnownNames;
    RegisterCarNames(GameCarbon, "MAZ_RX7");
    EXPECT_EQ("MAZ_RX7_HOOD", KnownName("MAZ_RX7_HOOD"));
    EXPECT_EQ("MAZ_RX7_BADGING", KnownName("MAZ_RX7_BADGING"));
    EXPECT_EQ("MAZ_RX7_BA", KnownName("MAZ_RX7_Ab"));
    EXPECT_EQ(generic.size() + 3, KnownNames.size()); // HOOD, BADGING and one of the pair
    EXPECT_EQ("<none>", KnownName("MAZ_RX7_SPOILER")); // another game's part
}

} // namespace
} // namespace zelko
