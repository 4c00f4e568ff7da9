#pragma once
// Bringing image files into a pack by name, and writing textures out to
// image files: the shared core of the editor's commands and the command line.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "container/ArchiveEntry.h"

namespace zelko {

class IBinFile;
class TextureObject;

// The files directly in a folder (no subfolders), in path order.
std::vector<std::filesystem::path> FolderFiles(const std::filesystem::path& folder);

struct ImportOutcome {
    uint32_t succeeded = 0;
    bool changed = false;
    TextureObject* last = nullptr; // the last texture replaced or added
    std::vector<TextureObject*> changedTextures; // replaced or added, in file order
    std::vector<std::string> failures; // "<path>: <reason>", UTF-8
};

// Replaces the textures whose hash is the NameHash of a file's stem and adds
// the other files as new textures (where the archive may be rebuilt). `rows`
// are the textures as listed (the first of equal hashes wins); `onAdded` is
// told of every new texture. Reports per-file errors and the final count
// through the host; the container's modified flag is set when anything changed.
// `jobs` threads read and convert files ahead; the outcome and the messages
// are those of one job. Throws Error("invalid hash") for a listed texture
// with hash 0.
ImportOutcome ImportFiles(IBinFile& container, const std::vector<TextureObject*>& rows,
                          std::vector<std::filesystem::path> files, const Host& host,
                          const std::function<void(TextureObject&)>& onAdded = {}, unsigned jobs = 1);

struct ExportOptions {
    std::filesystem::path folder;
    int format = 0; // index: dds, bmp, gif, tiff, jpg, png, tga
    bool overwrite = false; // else a free "name (n).ext" is chosen
    bool hashWhenTruncated = true; // names that do not hash to the texture's hash become "0x<hash>"
    unsigned jobs = 1; // threads decoding and encoding; the files and messages are the same
};

constexpr int kExportFormatCount = 7;
// "dds", "bmp", "gif", "tiff", "jpg", "png", "tga"; empty for other indexes.
const char* ExportExtension(int format);
// The index for an extension or format name ("tif" and "jpeg" too); -1 if none.
int ExportFormatFromName(const std::string& name);

struct ExportOutcome {
    std::vector<std::filesystem::path> written;
    uint32_t failed = 0;
};

// Writes each texture as an image file; undecodable textures are skipped.
// False when the folder is empty or the format has no extension. Reports
// "Texture exported: <name>", or as a failure "Failed to export texture: <name>"
// with a message (the failed step's text) through the host, and lets the
// host pump its messages after every file. Throws Error("invalid hash") for a texture
// with hash 0 when hash names are on.
bool ExportTextures(const std::vector<const TextureObject*>& textures, const ExportOptions& options, const Host& host,
                    ExportOutcome* outcome = nullptr);

// The file name an exported texture gets (before numbering), in UTF-8 with
// characters that cannot stand in a file name replaced by '_'.
std::string ExportName(const TextureObject& texture, bool hashWhenTruncated);

} // namespace zelko
