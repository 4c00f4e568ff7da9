#include <gtest/gtest.h>

#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/LoadCache.h"
#include "format/Platform.h"
#include "format/SafeFile.h"

using namespace zelko;
namespace fs = std::filesystem;

TEST(LoadCache, WritesReadsRejectsAndInvalidatesCacheFiles) {
    constexpr uint64_t k2020 = 132223104000000000ULL; // 2020-01-01 00:00:00 UTC as a Windows file time
    TempFolder dir;
    const fs::path archive = dir.path() / "STREAML5RA.BUN";
    WriteFile(archive, std::vector<uint8_t>(64, 1));
    fs::last_write_time(archive, FromWindowsFileTime(k2020));
    std::vector<uint32_t> positions = {7};
    EXPECT_FALSE(ReadLoadCache(positions, archive, true)); // no cache yet
    ASSERT_TRUE(WriteLoadCache({0x800, 0x12345, 0xFFFFFFF0}, archive));
    const std::vector<uint8_t> good = ReadFileBytes(CachePathFor(archive));
    EXPECT_TRUE(ReadLoadCache(positions, archive, false));
    EXPECT_EQ(positions, (std::vector<uint32_t>{7, 0x800, 0x12345, 0xFFFFFFF0}));
    // A cache that cannot be written is no error (each failing step of the
    // atomic writer is the save tests'), and the old one stays whole.
    detail::FailFileStep(FileStep::Write, 1);
    EXPECT_FALSE(WriteLoadCache({1}, archive));
    detail::FailFileStep(FileStep::Write, 0);
    EXPECT_EQ(ReadFileBytes(CachePathFor(archive)), good);

    // A damaged cache is not used (the fuzz corpus tries the rest).
    std::vector<uint8_t> magic = good, shortened = good;
    magic[4] = 'z';
    shortened.pop_back();
    for (const auto& bytes : {magic, shortened}) {
        WriteFile(CachePathFor(archive), bytes);
        positions = {99};
        EXPECT_FALSE(ReadLoadCache(positions, archive, true));
        EXPECT_EQ(positions.size(), 1u);
    }

    // Touching the archive invalidates the cache until it is refreshed.
    ASSERT_TRUE(WriteLoadCache({0x40, 0x80}, archive));
    fs::last_write_time(archive, FromWindowsFileTime(k2020 + 10000000));
    positions.clear();
    EXPECT_FALSE(ReadLoadCache(positions, archive, false));
    EXPECT_TRUE(RefreshLoadCache(positions, archive));
    positions.clear();
    EXPECT_TRUE(ReadLoadCache(positions, archive, false));
    EXPECT_EQ(positions, (std::vector<uint32_t>{0x40, 0x80}));
    fs::remove(CachePathFor(archive));
    EXPECT_FALSE(RefreshLoadCache(positions, archive));
}
