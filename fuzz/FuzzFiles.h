#pragma once
// What the targets that read from files share: a folder of this process's own
// under the system temporary folder, emptied after every input and removed
// at exit, and the checks run on every container a target opens. Portable:
// the unit tests replay the targets' inputs on Windows too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "container/BinFile.h"
#include "container/OpenFlow.h"
#include "format/Errors.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"

namespace fuzz_files {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

// The process's folder, made on first use.
inline const std::filesystem::path& ProcessFolder() {
    struct Owned {
        std::filesystem::path path;
        Owned() {
            path = std::filesystem::temp_directory_path() / ("zelko-fuzz-" + std::to_string(std::random_device{}()));
            std::filesystem::create_directories(path);
        }
        ~Owned() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static Owned folder;
    return folder.path;
}

// The folder for one input; whatever the input left there goes with it.
class Scope {
public:
    Scope() { Clear(); }
    ~Scope() { Clear(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    const std::filesystem::path& path() const { return ProcessFolder(); }

private:
    static void Clear() {
        std::error_code ec;
        for (const auto& item : std::filesystem::directory_iterator(ProcessFolder(), ec))
            std::filesystem::remove_all(item.path(), ec);
    }
};

inline void WriteBytes(const std::filesystem::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    Check(!out.fail());
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
