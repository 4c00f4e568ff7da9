#pragma once
// Opens arbitrary bytes as a World thumbnail file (.stp) in a thumbnails
// folder, shows its texture, and checks that a thumbnail written back reads
// again as the same texture. Shared by the fuzz target and the replay of its
// regression corpus in the unit tests.
#include <algorithm>

#include "FuzzFiles.h"

namespace fuzz_stp {

inline bool SameThumbnail(const zelko::TextureObject& a, const zelko::TextureObject& b) {
    return a.name == b.name && a.format == b.format && a.width == b.width && a.height == b.height &&
        a.mipCount == b.mipCount && std::ranges::equal(a.PixelView(), b.PixelView());
}

inline int RunStpInput(const uint8_t* data, size_t size) {
    using fuzz_files::Check;
    const fuzz_files::InputFile input("Thumbnails/a.stp", data, size);
    const auto folder = input.path.parent_path();
    zelko::Document document = zelko::OpenWorldFolder(folder);
    std::unique_ptr<zelko::IBinFile> thumbnails;
    try {
        thumbnails = zelko::OpenEntry(document, document.entries.at(0), zelko::Host{});
    } catch (const zelko::Error&) {
        return 0;
    }
    Check(thumbnails->pack && thumbnails->pack->textures.size() <= 1);
    fuzz_files::ShowTextures(*thumbnails);
    if (thumbnails->pack->textures.empty()) return 0;

    // Xbox 360 layouts are turned into PC ones on load and cannot be written
    // back as they came; World thumbnails are PC files.
    zelko::TextureObject* texture = thumbnails->pack->textures[0].get();
    if (texture->fromXbox360) return 0;
    thumbnails->changedTextures.push_back(texture);
    try {
        Check(thumbnails->Save(document.path, false));
    } catch (const zelko::Error&) {
        return 0;
    }
    zelko::Document again = zelko::OpenWorldFolder(folder);
    auto reread = zelko::OpenEntry(again, again.entries.at(0), zelko::Host{});
    Check(reread->pack->textures.size() == 1 && SameThumbnail(*reread->pack->textures[0], *texture));
    return 0;
}

} // namespace fuzz_stp
