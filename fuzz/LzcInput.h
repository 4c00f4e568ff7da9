#pragma once
// Expands arbitrary bytes as a compressed archive (.lzc) in place, then
// opens the result as the program does. The expansion either leaves the file
// as it was or replaces it whole with no more bytes than the stream
// declares, and never leaves a temporary file behind. Shared by the fuzz
// target and the replay of its regression corpus in the unit tests.
#include <cstring>
#include <vector>

#include "FuzzFiles.h"
#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/GameFiles.h"

namespace fuzz_lzc {

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline int RunLzcInput(const uint8_t* data, size_t size) {
    using fuzz_files::Check;
    fuzz_files::Scope temp;
    const auto path = temp.path() / "TRACKS.LZC";
    fuzz_files::WriteBytes(path, data, size);
    try {
        zelko::ExpandCompressedArchive(path);
    } catch (const zelko::Error&) {
        return 0;
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(temp.path())) ++files;
    Check(files == 1);
    const std::vector<uint8_t> now = ReadBytes(path);
    if (now.size() != size || (size != 0 && std::memcmp(now.data(), data, size) != 0)) {
        Check(size >= zelko::kStreamHeaderSize && !now.empty() && now.size() <= zelko::LoadU32(data + 8));
    }

    zelko::Document document;
    try {
        document = zelko::OpenDocument(path, false, zelko::Host{});
    } catch (const zelko::Error&) {
        return 0;
    }
    fuzz_files::OpenEntries(document);
    return 0;
}

} // namespace fuzz_lzc
