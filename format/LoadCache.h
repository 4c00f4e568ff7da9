#pragma once
// The load cache: the positions of the texture packs found in a large
// archive, kept beside it and trusted while the archive's last-write time is
// unchanged.
//
// Cache file, little-endian: 0x000 the magic text and a NUL (32 bytes),
// 224 zero bytes, 0x100 format number 1, 0x104 the low 32 bits of the
// archive's last-write time as a Windows file time, 0x108 the count N, then
// N 32-bit positions. The time is the Windows file time on every platform so
// that a cache written on one system is valid on another.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zelko {

// archivePath + ".zelko_cache".
std::filesystem::path CachePathFor(const std::filesystem::path& archivePath);

// Writes the cache for the archive with its current time, replacing any old
// one. Failures are silent (false): the cache only saves a scan.
bool WriteLoadCache(const std::vector<uint32_t>& positions, const std::filesystem::path& archivePath);

// Appends the cached positions when the cache is valid: magic, format 1, a
// count other than 0, all positions present and, unless ignoreTime is set, a
// time equal to the low 32 bits of the archive's. True only when positions
// were appended; an invalid cache leaves `positions` as it was.
bool ReadLoadCache(std::vector<uint32_t>& positions, const std::filesystem::path& archivePath, bool ignoreTime);

// After a save: reads the cache whatever its time and writes it again with
// the archive's new time. True when the cache was read and rewritten.
bool RefreshLoadCache(std::vector<uint32_t>& positions, const std::filesystem::path& archivePath);

} // namespace zelko
