#include "format/NameHash.h"

#include "format/Errors.h"
#include "format/GameVersion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

namespace zelko {
namespace {

namespace fs = std::filesystem;

void ExpectError(const std::function<void()>& action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "expected Error(\"" << message << "\")";
    } catch (const Error& e) {
        EXPECT_EQ(message, e.what());
    }
}

std::string KnownName(std::string_view name) {
    const std::string* known = FindKnownName(NameHash(name));
    return known ? *known : std::string("<none>");
}

// "0x" + eight upper-case digits: a name that collides with `name` by spelling its hash.
std::string Spelled(std::string_view name) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(NameHash(name)));
    return text;
}

TEST(NameHash, TextHashesEveryByteSigned) {
    EXPECT_EQ(0xFFFFFFFFu, NameHash(""));
    EXPECT_EQ(0x20u, NameHash("A"));    // -1*33 + 65
    EXPECT_EQ(0x8A2u, NameHash("ab"));  // (-33 + 97)*33 + 98
    EXPECT_EQ(0xFu, NameHash("0"));     // too short for the prefix
    EXPECT_EQ(0x9B699u, NameHash("0X1A"));  // prefix is case-sensitive: text
    EXPECT_EQ(0xFFFFFFC8u, NameHash("\xE9"));  // -33 - 23, not -33 + 233
    EXPECT_EQ(0x420u, NameHash(std::string_view("A\0", 2)));  // length-counted
}

TEST(NameHash, HexPrefixSpellsTheHash) {
    EXPECT_EQ(0x1A2B3Cu, NameHash("0x1A2B3C"));
    EXPECT_EQ(0x1A2B3Cu, NameHash("0x1a2b3cZZ"));
    EXPECT_EQ(0xFFFFFFFFu, NameHash("0xffffffff"));
    // No digit: 0, the value refused as "invalid hash".
    EXPECT_EQ(0u, NameHash("0x"));
    EXPECT_EQ(0u, NameHash("0xZ1"));
    // Beyond 8 digits the value wraps: the last 8 digits count.
    EXPECT_EQ(0x23456789u, NameHash("0x123456789"));
    EXPECT_EQ(0xDEADBEEFu, NameHash("0x00000000DEADBEEF"));
}

TEST(KnownNames, LaterRegistrationWins) {
    ResetNameTables();
    // h*33 + b: raising one byte by 1 and lowering the next by 33 keeps the hash.
    ASSERT_EQ(NameHash("CAR_Ab"), NameHash("CAR_BA"));
    EXPECT_EQ(nullptr, FindKnownName(NameHash("CAR_Ab")));
    RegisterName("CAR_Ab");
    RegisterName("CAR_BA");
    EXPECT_EQ("CAR_BA", KnownName("CAR_Ab"));
    RegisterName(Spelled("CAR_Ab"));
    EXPECT_EQ(Spelled("CAR_Ab"), KnownName("CAR_Ab"));
    EXPECT_EQ(1u, KnownNames.size());
}

class NameListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Random part: other builds of these tests may run at the same time.
        dir_ = fs::temp_directory_path()
            / ("zelko_names_" + std::to_string(std::random_device{}()) + "_"
               + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ResetNameTables();
    }
    void TearDown() override {
        ResetNameTables();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Writes bytes exactly as given; `game` 0 means the lists folder itself.
    void Write(int game, const char* file, const std::string& bytes) {
        fs::path folder = game ? dir_ / GameName(game) : dir_;
        fs::create_directories(folder);
        std::ofstream(folder / file, std::ios::binary) << bytes;
    }
    fs::path dir_;
};

TEST_F(NameListsTest, ListFileLines) {
    Write(0, "List.txt", "# header\r\nNIS_240_SX\r\n\r\n\n  SPACED \r\n #NOT_A_COMMENT\n#x\r\nCR\rINSIDE\nLAST\r");
    EXPECT_EQ((std::vector<std::string>{"NIS_240_SX", "  SPACED ", " #NOT_A_COMMENT", "CR\rINSIDE", "LAST\r"}),
              ReadNameList(dir_ / "List.txt"));
    EXPECT_TRUE(ReadNameList(dir_ / "Missing.txt").empty());
    fs::create_directories(dir_ / "Folder.txt");
    ExpectError([&] { ReadNameList(dir_ / "Folder.txt"); }, "Failed to open the file");
}

TEST_F(NameListsTest, LoadsTheFolderLayout) {
    Write(0, "InvalidHashes.txt", "NULL_TEXTURE\nNULL_TEXTURE\r\n");
    Write(0, "Textures.txt", "ROOT_ONLY\n");
    Write(GameUnderground, "Cars.txt", "#cars\r\nZED\r\nMAZ_RX7\r\nZED\r\n\xE9T\r\n");
    Write(GameUnderground, "Parts.txt", "HOOD\n");
    Write(GameWorld, "Vinyls.txt", "FLAME\n");
    Write(GameWorld, "GenericTextures.txt", "SKY\n");
    LoadNameDatabase(dir_);

    EXPECT_EQ(NameSet{"NULL_TEXTURE"}, NameDatabase.InvalidHashes);
    // Byte-wise order: 0xE9 sorts after every ASCII letter.
    const NameSet& cars = NameDatabase.Cars.at(GameUnderground);
    EXPECT_EQ((std::vector<std::string>{"MAZ_RX7", "ZED", "\xE9T"}), std::vector<std::string>(cars.begin(), cars.end()));
    EXPECT_EQ(NameSet{"HOOD"}, NameDatabase.Parts.at(GameUnderground));
    EXPECT_EQ(NameSet{"FLAME"}, NameDatabase.Vinyls.at(GameWorld));
    EXPECT_EQ(NameSet{"SKY"}, NameDatabase.GenericTextures.at(GameWorld));
    EXPECT_TRUE(NameDatabase.Vinyls.at(GameUnderground).empty());
    for (int game = kFirstGame; game <= kLastGame; ++game)
        EXPECT_EQ(0u, NameDatabase.Textures.at(game).count("ROOT_ONLY"));

    // A list that cannot be read fails the load and keeps what was loaded,
    // also from the lists read before the failing one.
    Write(GameUnderground, "Parts.txt", "BONNET\n");
    fs::create_directories(dir_ / GameName(GameCarbon) / "Shaders.txt");
    ExpectError([&] { LoadNameDatabase(dir_); }, "Failed to open the file");
    EXPECT_EQ(NameSet{"HOOD"}, NameDatabase.Parts.at(GameUnderground));
}

TEST_F(NameListsTest, BuildRegistersInOrderLaterWins) {
    // Each pair collides; the name registered later must be the one known.
    Write(0, "InvalidHashes.txt", "INV\n");
    Write(GameUnderground, "Shaders.txt", Spelled("INV") + "\nSHD\n");
    Write(GameUnderground, "PositionMarkers.txt", Spelled("SHD") + "\nPOS\n");
    Write(GameUnderground, "GenericTextures.txt", Spelled("POS") + "\nGTX\n");
    Write(GameUnderground, "GenericParts.txt", Spelled("GTX") + "\nGPT\n");
    Write(GameUnderground2, "Shaders.txt", Spelled("GPT") + "\nCAR_Ab\n");
    // Set order within a list: "0x..." sorts before letters, so the text wins.
    Write(GameMostWanted, "Shaders.txt", "W2\n" + Spelled("W2") + "\n");
    // The root list keeps file order; DEFAULT_MATERIAL comes last of all.
    Write(0, "Textures.txt", "CAR_BA\nROOT_B\n" + Spelled("ROOT_B") + "\n" + Spelled("DEFAULT_MATERIAL") + "\n");
    LoadNameDatabase(dir_);
    EXPECT_FALSE(KnownNamesReady);
    BuildKnownNames(dir_);
    EXPECT_TRUE(KnownNamesReady);

    EXPECT_EQ(Spelled("INV"), KnownName("INV"));
    EXPECT_EQ(Spelled("SHD"), KnownName("SHD"));
    EXPECT_EQ(Spelled("POS"), KnownName("POS"));
    EXPECT_EQ(Spelled("GTX"), KnownName("GTX"));
    EXPECT_EQ(Spelled("GPT"), KnownName("GPT"));
    EXPECT_EQ("W2", KnownName("W2"));
    EXPECT_EQ("CAR_BA", KnownName("CAR_Ab"));
    EXPECT_EQ(Spelled("ROOT_B"), KnownName("ROOT_B"));
    EXPECT_EQ("DEFAULT_MATERIAL", KnownName("DEFAULT_MATERIAL"));
}

TEST_F(NameListsTest, FindCarNameTakesFirstGameThenSetOrder) {
    Write(GameMostWanted, "Cars.txt", "NIS_240_SX\n");
    Write(GameUnderground, "Cars.txt", "NIS_240\nMAZ_RX7_FD\nMAZ_RX7\n");
    LoadNameDatabase(dir_);
    EXPECT_EQ("NIS_240", FindCarName("NIS_240_SX_BADGING"));  // game 1 before game 3
    EXPECT_EQ("MAZ_RX7", FindCarName("MAZ_RX7_FD_TIRE"));     // set order within a game
    EXPECT_EQ("", FindCarName("NIS_240SX_TIRE"));             // no underscore after the car
    EXPECT_EQ("", FindCarName("NIS_240"));
    EXPECT_EQ("", FindCarName(""));
}

TEST_F(NameListsTest, RegisterCarNames) {
    // "Ab"/"BA" and "Xb"/"YA" collide, so the registration order shows: Parts, Textures, Vinyls.
    Write(GameCarbon, "Parts.txt", "HOOD\nAb\n");
    Write(GameCarbon, "Textures.txt", "BADGING\nBA\nXb\n");
    Write(GameCarbon, "Vinyls.txt", "YA\n");
    Write(GameWorld, "Parts.txt", "SPOILER\n");
    LoadNameDatabase(dir_);
    ExpectError([] { RegisterCarNames(GameCarbon, "MAZ_RX7"); }, "operation not allowed");

    BuildKnownNames(dir_);
    const auto generic = KnownNames;
    RegisterCarNames(GameCarbon, "");
    EXPECT_EQ(generic, KnownNames);

    RegisterCarNames(GameCarbon, "MAZ_RX7");
    EXPECT_EQ("MAZ_RX7_HOOD", KnownName("MAZ_RX7_HOOD"));
    EXPECT_EQ("MAZ_RX7_BADGING", KnownName("MAZ_RX7_BADGING"));
    EXPECT_EQ("MAZ_RX7_BA", KnownName("MAZ_RX7_Ab"));
    EXPECT_EQ("MAZ_RX7_YA", KnownName("MAZ_RX7_Xb"));
    EXPECT_EQ(generic.size() + 4, KnownNames.size());  // HOOD, BADGING and one of each pair
    EXPECT_EQ("<none>", KnownName("MAZ_RX7_SPOILER"));  // another game's part

    // A second pack of the same car must not register again: an override stays.
    RegisterName("MAZ_RX7_Ab");
    const auto before = KnownNames;
    RegisterCarNames(GameCarbon, "MAZ_RX7");
    EXPECT_EQ(before, KnownNames);

    RegisterCarNames(GameWorld, "MAZ_RX7");
    EXPECT_EQ("MAZ_RX7_SPOILER", KnownName("MAZ_RX7_SPOILER"));
}

} // namespace
} // namespace zelko
