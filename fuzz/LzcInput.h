#pragma once
// Expands arbitrary bytes as a compressed archive (.lzc) in place, then
// opens the result as the program does. The expansion either leaves the file
// as it was or replaces it whole with no more bytes than the stream
// declares, and never leaves a temporary file behind. Shared by the fuzz
// target and the replay of its regression corpus in the unit tests.
#include <algorithm>
#include <iterator>

#include "FuzzFiles.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/GameFiles.h"

namespace fuzz_lzc {

inline int RunLzcInput(const uint8_t* data, size_t size) {
    using fuzz_files::Check;
    const fuzz_files::InputFile input("TRACKS.LZC", data, size);
    try {
        zelko::ExpandCompressedArchive(input.path);
    } catch (const zelko::Error&) {
        return 0;
    }
    Check(std::distance(std::filesystem::directory_iterator(input.folder.path()), {}) == 1);
    const std::vector<uint8_t> now = ReadFileBytes(input.path);
    if (!std::equal(now.begin(), now.end(), data, data + size))
        Check(size >= zelko::kStreamHeaderSize && !now.empty() && now.size() <= zelko::LoadU32(data + 8));
    if (auto document = fuzz_files::Open(input.path)) fuzz_files::OpenEntries(*document);
    return 0;
}

} // namespace fuzz_lzc
