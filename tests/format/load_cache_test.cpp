#include <gtest/gtest.h>

#include <vector>

#include "TempFolder.h"
#include "format/ByteStream.h"
#include "format/LoadCache.h"

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

TEST(LoadCache, FileTimesAreWindowsFileTimes) {
    EXPECT_EQ(ToWindowsFileTime(FromWindowsFileTime(k2020)), k2020);
    EXPECT_EQ(ToWindowsFileTime(FromWindowsFileTime(k2020 + 1234567)), k2020 + 1234567);
    EXPECT_EQ(ToWindowsFileTime(FromWindowsFileTime(kUnixEpochAsFileTime)), kUnixEpochAsFileTime);
    Archive archive;
    uint64_t time = 0;
    ASSERT_TRUE(LastWriteFileTime(archive.path, time));
    EXPECT_EQ(time, k2020);
    EXPECT_FALSE(LastWriteFileTime(archive.dir.path() / "missing", time));
}

TEST(LoadCache, WritesAndReadsTheCacheFile) {
    Archive archive;
    EXPECT_EQ(CachePathFor(archive.path), archive.dir.path() / "STREAML5RA.BUN.zelko_cache");
    ASSERT_TRUE(WriteLoadCache({0x800, 0x12345, 0xFFFFFFF0}, archive.path));
    const std::vector<uint8_t> bytes = ReadFileBytes(CachePathFor(archive.path));
    ASSERT_EQ(bytes.size(), 0x10Cu + 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "ZRC-Zelko by korvane cache file");
    for (size_t i = 31; i < 0x100; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(LoadU32(&bytes[0x100]), 1u);
    EXPECT_EQ(LoadU32(&bytes[0x104]), uint32_t(k2020));
    EXPECT_EQ(LoadU32(&bytes[0x108]), 3u);
    EXPECT_EQ(LoadU32(&bytes[0x114]), 0xFFFFFFF0u);

    std::vector<uint32_t> positions = {7};
    EXPECT_TRUE(ReadLoadCache(positions, archive.path, false));
    EXPECT_EQ(positions, (std::vector<uint32_t>{7, 0x800, 0x12345, 0xFFFFFFF0}));
}

TEST(LoadCache, InvalidCachesAreIgnored) {
    Archive archive;
    std::vector<uint32_t> none;
    EXPECT_FALSE(ReadLoadCache(none, archive.path, true));  // no cache yet
    ASSERT_TRUE(WriteLoadCache({1, 2, 3}, archive.path));
    const std::vector<uint8_t> good = ReadFileBytes(CachePathFor(archive.path));
    auto readWith = [&](std::vector<uint8_t> bytes) {
        WriteFile(CachePathFor(archive.path), bytes);
        std::vector<uint32_t> positions = {99};
        const bool ok = ReadLoadCache(positions, archive.path, true);
        EXPECT_EQ(positions.size(), ok ? 4u : 1u);
        return ok;
    };
    EXPECT_TRUE(readWith(good));
    std::vector<uint8_t> magic = good, format = good, empty = good, shortened = good;
    magic[4] = 'z';
    StoreU32(&format[0x100], 2);
    StoreU32(&empty[0x108], 0);
    shortened.pop_back();
    EXPECT_FALSE(readWith(magic));
    EXPECT_FALSE(readWith(format));
    EXPECT_FALSE(readWith(empty));
    EXPECT_FALSE(readWith(shortened));
    EXPECT_FALSE(readWith(std::vector<uint8_t>(good.begin(), good.begin() + 200)));
}

TEST(LoadCache, TouchingTheArchiveInvalidatesTheCacheUntilRefreshed) {
    Archive archive;
    ASSERT_TRUE(WriteLoadCache({0x40, 0x80}, archive.path));
    // 2^25 seconds (2^32 * 78125 ticks) later the low 32 bits are the same
    // again; whole seconds, which every file system keeps.
    archive.Touch(k2020 + (uint64_t(78125) << 32));
    std::vector<uint32_t> positions;
    EXPECT_TRUE(ReadLoadCache(positions, archive.path, false));

    archive.Touch(k2020 + 10000000);
    positions.clear();
    EXPECT_FALSE(ReadLoadCache(positions, archive.path, false));
    EXPECT_TRUE(RefreshLoadCache(positions, archive.path));
    EXPECT_EQ(positions, (std::vector<uint32_t>{0x40, 0x80}));
    positions.clear();
    EXPECT_TRUE(ReadLoadCache(positions, archive.path, false));
    EXPECT_EQ(positions, (std::vector<uint32_t>{0x40, 0x80}));
    EXPECT_EQ(LoadU32(&ReadFileBytes(CachePathFor(archive.path))[0x104]), uint32_t(k2020 + 10000000));

    // Without a readable cache there is nothing to refresh.
    fs::remove(CachePathFor(archive.path));
    EXPECT_FALSE(RefreshLoadCache(positions, archive.path));
    EXPECT_FALSE(fs::exists(CachePathFor(archive.path)));
}
