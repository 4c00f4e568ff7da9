#include <gtest/gtest.h>

#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/LoadCache.h"
#include "format/Platform.h"
#include "format/SafeFile.h"

using namespace zelko;
namespace fs = std::filesystem;

namespace {

// 2020-01-01 00:00:00 UTC as a Windows file time.
constexpr uint64_t k2020 = 132223104000000000ULL;

struct Archive {
    TempFolder dir;
    fs::path path = dir.path() / "STREAML5RA.BUN";
    Archive() {
        WriteFile(path, std::vector<uint8_t>(64, 1));
        fs::last_write_time(path, FromWindowsFileTime(k2020));
    }
    void Touch(uint64_t fileTime) { fs::last_write_time(path, FromWindowsFileTime(fileTime)); }
};

} // namespace

TEST(LoadCache, WritesReadsRejectsAndInvalidatesCacheFiles) {
    EXPECT_EQ(ToWindowsFileTime(FromWindowsFileTime(k2020 + 1234567)), k2020 + 1234567);
    Archive archive;
    std::vector<uint32_t> positions = {7};
    EXPECT_FALSE(ReadLoadCache(positions, archive.path, true)); // no cache yet
    ASSERT_TRUE(WriteLoadCache({0x800, 0x12345, 0xFFFFFFF0}, archive.path));
    const std::vector<uint8_t> good = ReadFileBytes(CachePathFor(archive.path));
    ASSERT_EQ(good.size(), 0x10Cu + 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(good.data())), "ZRC-Zelko by korvane cache file");
    EXPECT_EQ(LoadU32(&good[0x104]), uint32_t(k2020));
    EXPECT_EQ(LoadU32(&good[0x108]), 3u);
    EXPECT_TRUE(ReadLoadCache(positions, archive.path, false));
    EXPECT_EQ(positions, (std::vector<uint32_t>{7, 0x800, 0x12345, 0xFFFFFFF0}));
    // A cache that cannot be written is no error, and the old one stays whole.
    for (FileStep step : {FileStep::Open, FileStep::Write, FileStep::Flush, FileStep::Rename}) {
        detail::FailFileStep(step, 1);
        EXPECT_FALSE(WriteLoadCache({1}, archive.path));
        detail::FailFileStep(step, 0);
        EXPECT_EQ(ReadFileBytes(CachePathFor(archive.path)), good);
        EXPECT_EQ(std::distance(fs::directory_iterator(archive.path.parent_path()), fs::directory_iterator()), 2);
    }

    std::vector<uint8_t> magic = good, format = good, empty = good, shortened = good;
    magic[4] = 'z';
    StoreU32(&format[0x100], 2);
    StoreU32(&empty[0x108], 0);
    shortened.pop_back();
    for (const auto& bytes : {magic, format, empty, shortened}) {
        WriteFile(CachePathFor(archive.path), bytes);
        positions = {99};
        EXPECT_FALSE(ReadLoadCache(positions, archive.path, true));
        EXPECT_EQ(positions.size(), 1u);
    }

    // Touching the archive invalidates the cache until it is refreshed.
    ASSERT_TRUE(WriteLoadCache({0x40, 0x80}, archive.path));
    // 2^25 seconds later the low 32 bits of the time are the same again.
    archive.Touch(k2020 + (uint64_t(78125) << 32));
    positions.clear();
    EXPECT_TRUE(ReadLoadCache(positions, archive.path, false));
    archive.Touch(k2020 + 10000000);
    positions.clear();
    EXPECT_FALSE(ReadLoadCache(positions, archive.path, false));
    EXPECT_TRUE(RefreshLoadCache(positions, archive.path));
    positions.clear();
    EXPECT_TRUE(ReadLoadCache(positions, archive.path, false));
    EXPECT_EQ(positions, (std::vector<uint32_t>{0x40, 0x80}));
    fs::remove(CachePathFor(archive.path));
    EXPECT_FALSE(RefreshLoadCache(positions, archive.path));
}
