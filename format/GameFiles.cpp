#include "format/GameFiles.h"

#include <array>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "format/ByteStream.h"
#include "format/Compression.h"
#include "format/Errors.h"
#include "format/SafeFile.h"
#include "format/Text.h"

namespace zelko {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kMemoryFileMagic = 0x53219999;

// `folder` followed by `parts`, each part matched exactly or else without
// regard to case: game folders copied from Windows keep whatever case their
// names had.
std::optional<fs::path> FindIgnoringCase(const fs::path& folder, std::initializer_list<std::string_view> parts) {
    fs::path current = folder;
    for (std::string_view part : parts) {
        std::error_code ec;
        fs::path exact = current / fs::path(std::u8string(part.begin(), part.end()));
        if (fs::exists(exact, ec)) {
            current = std::move(exact);
            continue;
        }
        bool found = false;
        for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
            if (EqualsIgnoringAsciiCase(Utf8FromPath(it->path().filename()), part)) {
                current = it->path();
                found = true;
                break;
            }
        }
        if (!found) return std::nullopt;
    }
    return current;
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
    out.resize(out.size() + 4);
    StoreU32(out.data() + out.size() - 4, value);
}

} // namespace

void ExpandCompressedArchive(const fs::path& path) {
    if (!HasExtension(path, ".lzc")) return;
    if (EqualsIgnoringAsciiCase(Utf8FromPath(path.filename()), "GAMEPLAY.LZC")) return;

    ByteReader reader;
    reader.OpenFile(path);
    const uint32_t magic = LoadU32(reader.PeekPointer(4));
    if (magic != kMagicJdlz && magic != kMagicRfpk) return;
    const uint8_t* header = reader.PeekPointer(kStreamHeaderSize);
    const uint32_t size = LoadU32(header + 0x08);
    if (size == 0 || LoadU32(header + 0x0C) == 0) return;
    if (!PlausibleUnpackedSize(size, reader.Size())) return; // as a stream that does not decode

    std::unique_ptr<uint8_t[]> expanded;
    try {
        expanded = std::make_unique_for_overwrite<uint8_t[]>(size);
    } catch (const std::bad_alloc&) {
        return; // a size no file of the games has: treated like a stream that does not decode
    }
    const uint32_t produced = DecompressStream(reader.Begin(), reader.Size(), expanded.get(), size);
    if (produced == 0) return;
    SaveFileAtomically(path, expanded.get(), produced);
}

std::vector<uint8_t> GlobalMemoryFileContent() {
    // The build-version text the games write into a fresh memory file; the
    // build computer's name is any 8 characters.
    static constexpr std::string_view kBuildVersion =
        "//\r\n"
        "// BuildVersion.moo - Generated from Makefile.cpp\r\n"
        "//\r\n"
        "\r\n"
        "Machine:\t\t\t\t\"ZRCZELKO\"\t\t// Name of computer that built this version\r\n"
        "ChangelistName:\t\t\t\"Unknown\"\t\t// Perforce changelist retrieved with 'p4 changes'\r\n"
        "ChangelistNumber:\t\t0\t\t\t// Changelist # extracted from above string\r\n"
        "BuildVersionName:\t\t\"\"\r\n"
        "BuildVersionFullName:\t\"\"\r\n"
        "\r\n";
    static_assert(kBuildVersion.size() == 330);
    std::vector<uint8_t> out(8, 0);
    for (uint32_t value : {kMemoryFileMagic, 1u, 0x97E7DAA1u, 36u, 330u, 330u, 366u}) AppendU32(out, value);
    out.insert(out.end(), kBuildVersion.begin(), kBuildVersion.end());
    return out;
}

std::vector<uint8_t> EmptyMemoryFileContent() {
    std::vector<uint8_t> out(8, 0);
    AppendU32(out, kMemoryFileMagic);
    AppendU32(out, 0);
    return out;
}

bool ResetMemoryFiles(const fs::path& gameFolder) {
    static constexpr std::string_view kTrackFiles[] = {"L4RA.BUN", "L2RA.BUN", "L5RA.BUN", "L6R_INFINEON.BUN",
                                                       "L8R_MW2.BUN"};
    bool recognised = false;
    for (std::string_view track : kTrackFiles) {
        if (FindIgnoringCase(gameFolder, {"TRACKS", track})) {
            recognised = true;
            break;
        }
    }
    if (!recognised) return false;

    const std::vector<uint8_t> global = GlobalMemoryFileContent();
    const std::vector<uint8_t> empty = EmptyMemoryFileContent();
    const std::pair<std::string_view, const std::vector<uint8_t>*> kMemoryFiles[] = {
        {"GlobalMemoryFile.bin", &global},
        {"InGameMemoryFile.bin", &empty},
        {"PermanentMemoryFile.bin", &empty},
        {"CarHeadersMemoryFile.bin", &empty},
    };
    for (const auto& [name, content] : kMemoryFiles) {
        const std::optional<fs::path> file = FindIgnoringCase(gameFolder, {"Global", name});
        std::error_code ec;
        if (file && fs::is_regular_file(*file, ec)) SaveFileAtomically(*file, content->data(), content->size());
    }
    return true;
}

} // namespace zelko
