#pragma once
// What the fuzz targets share: the check that ends the run on a finding, a
// folder of its own for each input read from a file, and the checks run on
// every container a target opens. Portable: the unit tests replay the
// targets' inputs on Windows too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "container/BinFile.h"
#include "container/OpenFlow.h"
#include "format/Errors.h"
#include "tests/TempFolder.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"

namespace fuzz_files {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

// The input written as the file NAME (a relative path) in a folder that goes
// with everything in it once the input is done.
struct InputFile {
    TempFolder folder;
    std::filesystem::path path;
    InputFile(const std::string& name, const uint8_t* data, size_t size) : path(folder.path() / name) {
        std::filesystem::create_directories(path.parent_path());
        WriteFile(path, std::vector<uint8_t>(data, data + size));
    }
};

// The file opened as the program opens it; nothing when it is refused.
inline std::optional<zelko::Document> Open(const std::filesystem::path& path, bool useCache = false) {
    try {
        return zelko::OpenDocument(path, useCache, zelko::Host{});
    } catch (const zelko::Error&) {
        return std::nullopt;
    }
}

// What the editor does with an opened container: a row per texture and the
// preview of each. A decoded texture has the record's size.
inline void ShowTextures(const zelko::IBinFile& container) {
    try {
        zelko::BuildTextureRows(container);
    } catch (const zelko::Error&) {
        // a texture with hash 0: refused with a message
    }
    container.ForEachTexture([](zelko::TextureObject* texture) {
        zelko::ScratchImage image;
        std::string error;
        if (!zelko::DecodeTexture(*texture, image, error)) return;
        Check(image.GetMetadata().width == texture->width && image.GetMetadata().height == texture->height);
    });
}

// Opens every entry of the document and shows its textures; entries that
// fail to load are fine.
inline void OpenEntries(zelko::Document& document) {
    for (auto& [id, entry] : document.entries) {
        std::unique_ptr<zelko::IBinFile> container;
        try {
            container = zelko::OpenEntry(document, entry, zelko::Host{});
        } catch (const zelko::Error&) {
            continue;
        }
        Check(container && container->pack);
        ShowTextures(*container);
    }
}

} // namespace fuzz_files
