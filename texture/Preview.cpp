#include "texture/Preview.h"

#include <cstring>
#include <string>

#include "format/Errors.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"

namespace zelko {

std::optional<PreviewPixels> BottomUpPixels(const ScratchImage& image) {
    const TexMetadata& meta = image.GetMetadata();
    const Image* base = image.GetImage(0, 0, 0);
    if (meta.format != DxgiFormat::B8G8R8A8_UNORM || !base || !base->pixels || base->width == 0 ||
        base->height == 0)
        return std::nullopt;
    PreviewPixels out;
    out.width = uint32_t(base->width);
    out.height = uint32_t(base->height);
    const size_t rowBytes = base->width * 4;
    out.bgra.resize(rowBytes * base->height);
    for (size_t y = 0; y < base->height; ++y)
        std::memcpy(&out.bgra[(base->height - 1 - y) * rowBytes], base->pixels + y * base->rowPitch, rowBytes);
    return out;
}

void CompositeOverCheckerboard(PreviewPixels& pixels) {
    uint8_t* p = pixels.bgra.data();
    for (uint32_t y = 0; y < pixels.height; ++y) {
        const bool lowerHalfY = (y % (2 * kCheckerSquare)) >= kCheckerSquare;
        for (uint32_t x = 0; x < pixels.width; ++x, p += 4) {
            const bool upperHalfX = (x % (2 * kCheckerSquare)) >= kCheckerSquare;
            // Blue is always lit; green in the first kind of square (cyan),
            // red in the second (magenta).
            const bool magenta = upperHalfX != lowerHalfY;
            const uint32_t a = p[3];
            const uint32_t background = 255 - a;
            p[0] = uint8_t(p[0] * a / 255 + background);
            p[1] = uint8_t(p[1] * a / 255 + (magenta ? 0 : background));
            p[2] = uint8_t(p[2] * a / 255 + (magenta ? background : 0));
        }
    }
}

std::optional<PreviewPixels> MakePreviewPixels(const TextureObject& texture, bool showAlpha,
                                               std::optional<uint32_t> squareSize) {
    try {
        ScratchImage image;
        std::string error;
        if (!DecodeTexture(texture, image, error)) return std::nullopt;
        const bool square = squareSize.has_value();
        const uint32_t width = square ? *squareSize : texture.width;
        const uint32_t height = square ? *squareSize : texture.height;
        if (width == 0 || height == 0) return std::nullopt;
        if (!ConvertImage(image, kFormatARGB, width, height, 1, square, error)) return std::nullopt;
        std::optional<PreviewPixels> pixels = BottomUpPixels(image);
        if (pixels && showAlpha) CompositeOverCheckerboard(*pixels);
        return pixels;
    } catch (const std::exception&) {
        // An unmapped format or an allocation failure: no preview, as for any
        // undecodable texture.
        return std::nullopt;
    }
}

std::optional<PreviewPixels> MakeThumbnailPixels(const TextureObject& texture, uint32_t size) {
    return MakePreviewPixels(texture, false, size);
}

} // namespace zelko
