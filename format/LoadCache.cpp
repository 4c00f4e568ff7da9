#include "format/LoadCache.h"

#include <cstring>
#include <fstream>
#include <system_error>

#include "format/ByteStream.h"
#include "format/Errors.h"
#include "format/Platform.h"
#include "format/SafeFile.h"

namespace zelko {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "ZRC-Zelko by korvane cache file";
static_assert(sizeof kMagic == 32);
constexpr uint32_t kFormatNumber = 1;
constexpr size_t kHeaderSize = 0x10C;
constexpr size_t kFormatField = 0x100;
constexpr size_t kTimeField = 0x104;
constexpr size_t kCountField = 0x108;

} // namespace

fs::path CachePathFor(const fs::path& archivePath) {
    fs::path cache = archivePath;
    cache += ".zelko_cache";
    return cache;
}

bool WriteLoadCache(const std::vector<uint32_t>& positions, const fs::path& archivePath) {
    uint64_t fileTime = 0;
    if (!LastWriteFileTime(archivePath, fileTime)) return false;
    std::vector<uint8_t> bytes(kHeaderSize + 4 * positions.size(), 0);
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    StoreU32(bytes.data() + kFormatField, kFormatNumber);
    StoreU32(bytes.data() + kTimeField, uint32_t(fileTime));
    StoreU32(bytes.data() + kCountField, uint32_t(positions.size()));
    for (size_t i = 0; i < positions.size(); ++i) StoreU32(bytes.data() + kHeaderSize + 4 * i, positions[i]);
    try {
        SaveFileAtomically(CachePathFor(archivePath), bytes.data(), bytes.size());
    } catch (const Error&) {
        return false;
    }
    return true;
}

bool ReadLoadCache(std::vector<uint32_t>& positions, const fs::path& archivePath, bool ignoreTime) {
    std::ifstream in(CachePathFor(archivePath), std::ios::binary);
    if (!in) return false;
    uint8_t header[kHeaderSize];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;
    if (LoadU32(header + kFormatField) != kFormatNumber) return false;
    const uint32_t count = LoadU32(header + kCountField);
    if (count == 0) return false;
    if (!ignoreTime) {
        uint64_t fileTime = 0;
        if (!LastWriteFileTime(archivePath, fileTime)) return false;
        if (uint32_t(fileTime) != LoadU32(header + kTimeField)) return false;
    }
    // Checked against the file's length before allocating: the count is data.
    std::error_code ec;
    const uintmax_t length = fs::file_size(CachePathFor(archivePath), ec);
    if (ec || length < kHeaderSize || (length - kHeaderSize) / 4 < count) return false;
    std::vector<uint8_t> values(size_t(count) * 4);
    if (!in.read(reinterpret_cast<char*>(values.data()), std::streamsize(values.size()))) return false;
    positions.reserve(positions.size() + count);
    for (uint32_t i = 0; i < count; ++i) positions.push_back(LoadU32(values.data() + 4 * i));
    return true;
}

bool RefreshLoadCache(std::vector<uint32_t>& positions, const fs::path& archivePath) {
    std::vector<uint32_t> cached;
    if (!ReadLoadCache(cached, archivePath, true)) return false;
    positions.insert(positions.end(), cached.begin(), cached.end());
    return WriteLoadCache(cached, archivePath);
}

} // namespace zelko
