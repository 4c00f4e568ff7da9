#pragma once
// Game files that need handling beyond the texture packs: compressed archive
// files expanded in place before they are opened, and the memory-image files
// reset after an archive of a game installation was saved.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zelko {

// For a ".lzc" file (any case) other than GAMEPLAY.LZC that starts with a
// "JDLZ" or "RFPK" stream: replaces the file by the decompressed bytes.
// Anything else, or a stream that does not decode, leaves the file as it
// was. Throws the byte reader's errors ("Failed to open the file", "End of
// file") and SaveError for a file that cannot be written.
void ExpandCompressedArchive(const std::filesystem::path& path);

// When `gameFolder` holds one of the track files that mark an installation
// of the earlier games, overwrites each existing memory-image file under
// "Global" with its minimal content and returns true; otherwise changes
// nothing and returns false. Names are matched without regard to case, also
// on file systems that tell case apart. Throws SaveError.
bool ResetMemoryFiles(const std::filesystem::path& gameFolder);

// The 366-byte replacement of Global\GlobalMemoryFile.bin.
std::vector<uint8_t> GlobalMemoryFileContent();
// The 16-byte replacement of the other three memory-image files.
std::vector<uint8_t> EmptyMemoryFileContent();

} // namespace zelko
