#pragma once
// Preview and thumbnail pixels of a texture, ready for a bottom-up 32-bit
// Windows DIB: the editor only copies `bgra` into its DIB section.
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/Image.h"

namespace zelko {

class TextureObject;

struct PreviewPixels {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgra; // width * 4 bytes per row, bottom row first
};

// Side of the checkerboard squares shown behind transparent pixels.
constexpr uint32_t kCheckerSquare = 32;

// The base level of a B8G8R8A8_UNORM image with its rows reversed into
// bottom-up order. Empty for other formats or an empty image.
std::optional<PreviewPixels> BottomUpPixels(const ScratchImage& image);

// Composites every pixel over cyan and magenta 32x32 squares (rows counted in
// memory order, bottom-up): lit channels become v*a/255 + (255 - a), the others
// v*a/255, in integer arithmetic. Alpha bytes are left as they are.
void CompositeOverCheckerboard(PreviewPixels& pixels);

// Decodes the texture, converts it to one level of 32-bit BGRA (own size, or
// squareSize x squareSize, aspect not kept), flips it bottom-up and, with
// showAlpha, composites it over the checkerboard. Empty on any failure; the
// error text is dropped, as the pane then just stays empty.
std::optional<PreviewPixels> MakePreviewPixels(const TextureObject& texture, bool showAlpha,
                                               std::optional<uint32_t> squareSize);

// The list's thumbnail: alpha ignored, squeezed to size x size, from the
// smallest level of the mip chain that is at least that size.
std::optional<PreviewPixels> MakeThumbnailPixels(const TextureObject& texture, uint32_t size);

} // namespace zelko
