#include "texture/Preview.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "format/Errors.h"
#include "imaging/ImageBlock.h"
#include "texture/Conversion.h"
#include "texture/PixelFormat.h"
#include "texture/TextureObject.h"

namespace zelko {

std::optional<PreviewPixels> BottomUpPixels(const ScratchImage& image) {
    const TexMetadata& meta = image.GetMetadata();
    const Image* base = image.GetImage(0, 0, 0);
    if (meta.format != DxgiFormat::B8G8R8A8_UNORM || !base || !base->pixels || base->width == 0 || base->height == 0)
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
        if (!ConvertImage(image, kFormatARGB, width, height, 1, square ? Resizing::ToTarget : Resizing::KeepSize,
                          error))
            return std::nullopt;
        std::optional<PreviewPixels> pixels = BottomUpPixels(image);
        if (pixels && showAlpha) CompositeOverCheckerboard(*pixels);
        return pixels;
    } catch (const std::exception&) {
        // An unmapped format or an allocation failure: no preview, as for any
        // undecodable texture.
        return std::nullopt;
    }
}

namespace {

// A thumbnail straight from the blocks of a DXT texture whose sides are whole
// multiples of 4 x size: every block lies in one thumbnail pixel, so blocks
// are decoded one at a time and summed, with the arithmetic of the shrink
// the general path takes (same bytes, without the full-size image).
std::optional<PreviewPixels> ThumbnailFromBlocks(const TextureObject& texture, uint32_t size) {
    using Decoder = void (*)(const uint8_t*, uint8_t*, bool);
    const Decoder decode = texture.format == kFormatDXT1 ? block::DecodeBC1
        : texture.format == kFormatDXT3                  ? block::DecodeBC2
        : texture.format == kFormatDXT5                  ? block::DecodeBC3
                                                         : nullptr;
    if (!decode || size == 0 || texture.width % (size * 4) != 0 || texture.height % (size * 4) != 0) {
        return std::nullopt;
    }
    const uint32_t blockBytes = texture.format == kFormatDXT1 ? 8 : 16;
    const uint32_t blocksWide = texture.width / 4;
    const TextureObject::Pixels pixels = texture.PixelView();
    if (pixels.size() < uint64_t(blocksWide) * (texture.height / 4) * blockBytes) return std::nullopt;
    const uint32_t fx = texture.width / size / 4, fy = texture.height / size / 4; // blocks per pixel
    const uint64_t count = uint64_t(fx) * fy * 16;

    PreviewPixels out;
    out.width = out.height = size;
    out.bgra.resize(size_t(size) * size * 4);
    uint8_t decoded[64];
    for (uint32_t y = 0; y < size; ++y) {
        uint8_t* row = &out.bgra[size_t(size - 1 - y) * size * 4]; // bottom-up
        for (uint32_t x = 0; x < size; ++x) {
            uint64_t plain[4] = {}, weighted[4] = {}, alphaSum = 0;
            bool sameAlpha = true;
            int firstAlpha = -1;
            for (uint32_t by = y * fy; by < (y + 1) * fy; ++by) {
                for (uint32_t bx = x * fx; bx < (x + 1) * fx; ++bx) {
                    decode(pixels.data() + (size_t(by) * blocksWide + bx) * blockBytes, decoded, true);
                    if (firstAlpha < 0) firstAlpha = decoded[3];
                    for (const uint8_t* p = decoded; p < decoded + 64; p += 4) {
                        alphaSum += p[3];
                        sameAlpha = sameAlpha && p[3] == firstAlpha;
                        for (int c = 0; c < 4; ++c) {
                            plain[c] += p[c];
                            weighted[c] += uint64_t(p[c]) * p[3];
                        }
                    }
                }
            }
            const bool byAlpha = alphaSum != 0 && !sameAlpha;
            for (int c = 0; c < 4; ++c) {
                row[x * 4 + c] = byAlpha && c != 3 ? uint8_t((weighted[c] + alphaSum / 2) / alphaSum)
                                                   : uint8_t((plain[c] + count / 2) / count);
            }
        }
    }
    return out;
}

// The smallest level of the chain with both sides at least four times
// `size`, as a texture of its own: it holds the picture already shrunk (by
// the tool that made the chain), and a thumbnail of it averages away its
// block-compression error as the base's would (a level of the thumbnail's own
// size shows that error: 33 dB against the base shrunk, on a DXT1 picture
// where four times the size keeps it above 40). Null when that is the base
// level, or when the chain lacks the bytes its levels need.
constexpr uint32_t kLevelFactor = 4;

std::unique_ptr<TextureObject> ThumbnailLevel(const TextureObject& texture, uint32_t size) {
    auto side = [](uint32_t full, uint32_t level) { return std::max(1u, full >> level); };
    uint32_t level = 0;
    while (level + 1 < texture.mipCount && side(texture.width, level + 1) >= size * kLevelFactor &&
           side(texture.height, level + 1) >= size * kLevelFactor)
        ++level;
    if (level == 0) return nullptr;
    auto levelBytes = [&](uint32_t l) {
        return SliceSize(texture.format, side(texture.width, l), side(texture.height, l));
    };
    uint64_t offset = 0;
    for (uint32_t l = 0; l < level; ++l) offset += levelBytes(l);
    const uint64_t bytes = levelBytes(level);
    const TextureObject::Pixels pixels = texture.PixelView();
    if (bytes == 0 || offset + bytes > pixels.size()) return nullptr;
    return TextureObject::Create({.width = side(texture.width, level),
                                  .height = side(texture.height, level),
                                  .format = texture.format,
                                  .mipCount = 1,
                                  .pixels = pixels.data() + offset,
                                  .pixelCount = uint32_t(bytes),
                                  .palette = texture.palette.data(),
                                  .paletteCount = texture.paletteSize});
}

} // namespace

std::optional<PreviewPixels> MakeThumbnailPixels(const TextureObject& texture, uint32_t size) {
    std::unique_ptr<TextureObject> level;
    try {
        level = ThumbnailLevel(texture, size);
    } catch (const std::exception&) {
        level = nullptr; // a level that is no texture of its own: the base serves
    }
    const TextureObject& source = level ? *level : texture;
    if (auto pixels = ThumbnailFromBlocks(source, size)) return pixels;
    return MakePreviewPixels(source, false, size);
}

} // namespace zelko
