#pragma once
// Reads arbitrary bytes as the load cache of a STREAM archive. The input is
// the cache file (its header and the positions it counts) followed by the
// archive. The cache is read as it stands, then with its time set to the
// archive's so that the open flow follows its positions into the archive.
// Shared by the fuzz target and the replay of its regression corpus in the
// unit tests.
#include <algorithm>
#include <vector>

#include "FuzzFiles.h"
#include "format/ByteStream.h"
#include "format/LoadCache.h"
#include "format/Platform.h"

namespace fuzz_load_cache {

constexpr size_t kHeaderSize = 0x10C;
constexpr size_t kTimeField = 0x104;
constexpr size_t kCountField = 0x108;

inline int RunLoadCacheInput(const uint8_t* data, size_t size) {
    using fuzz_files::Check;
    size_t cacheSize = size;
    uint32_t count = 0;
    if (size >= kHeaderSize) {
        count = zelko::LoadU32(data + kCountField);
        cacheSize = size_t(std::min<uint64_t>(size, kHeaderSize + 4 * uint64_t(count)));
    }
    std::vector<uint8_t> cache(data, data + cacheSize);

    const fuzz_files::InputFile input("STREAML2RA.BUN", data + cacheSize, size - cacheSize);
    const auto& archive = input.path;
    const auto cachePath = zelko::CachePathFor(archive);
    WriteFile(cachePath, cache);

    std::vector<uint32_t> positions;
    if (zelko::ReadLoadCache(positions, archive, true))
        Check(positions.size() == count && count != 0);
    else
        Check(positions.empty());

    uint64_t fileTime = 0;
    Check(zelko::LastWriteFileTime(archive, fileTime));
    if (cache.size() >= kCountField) {
        zelko::StoreU32(cache.data() + kTimeField, uint32_t(fileTime));
        WriteFile(cachePath, cache);
    }
    std::vector<uint32_t> timed;
    Check(zelko::ReadLoadCache(timed, archive, false) == !positions.empty());

    auto document = fuzz_files::Open(archive, true);
    if (!document) return 0;
    if (document->fromCache) Check(document->entries.size() == positions.size());
    fuzz_files::OpenEntries(*document);
    return 0;
}

} // namespace fuzz_load_cache
