#include "texture/Conversion.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "format/Errors.h"
#include "format/Text.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "imaging/ImageOps.h"
#include "texture/PaletteQuantizer.h"
#include "texture/PixelFormat.h"
#include "texture/TextureObject.h"

namespace zelko {

namespace {

struct InjectedFailure {
    std::string step;
    HResult hr = kOk;
};
InjectedFailure& Injected() {
    static InjectedFailure failure;
    return failure;
}

// The result of a pipeline step, or the failure a test injected for it.
template <typename Op>
HResult RunStep(const char* step, Op&& op) {
    const InjectedFailure& f = Injected();
    if (Failed(f.hr) && f.step == step) return f.hr;
    return op();
}

bool Fail(std::string& error, const char* message, HResult hr) {
    error = std::string(message) + HResultHex(hr);
    return false;
}

bool IsDdsPath(const std::filesystem::path& path) { return HasExtension(path, ".dds"); }

// Bytes of the first item's levels: the whole texture for the usual single
// item, and only the first of an array, which a pack cannot hold.
size_t FirstItemSize(const ScratchImage& image) {
    const size_t levels = image.GetMetadata().mipLevels;
    const Image* images = image.GetImages();
    size_t size = 0;
    for (size_t i = 0; i < levels && i < image.GetImageCount(); ++i) size += images[i].slicePitch;
    return size;
}

} // namespace

void detail::InjectConversionFailure(const std::string& step, HResult hr) {
    Injected().step = step;
    Injected().hr = hr;
}

bool LoadImageFile(const std::filesystem::path& path, ScratchImage& image, std::string& error) {
    ScratchImage loaded;
    const HResult hr = IsDdsPath(path) ? LoadFromDDSFile(path, kDdsFlagsNone, nullptr, loaded)
                                       : LoadFromImageFile(path, nullptr, loaded);
    if (Failed(hr)) {
        error = "Unable to load the file: " + Utf8FromPath(path) + ". Error code: " + HResultHex(hr);
        return false;
    }
    image = std::move(loaded);
    return true;
}

bool ConvertImage(ScratchImage& image, uint32_t targetFormat, uint32_t width, uint32_t height, uint32_t mipCount,
                  Resizing resizing, std::string& error) {
    const DxgiFormat target = DxgiFormat(ToDxgi(targetFormat));
    {
        const TexMetadata& m = image.GetMetadata();
        if (m.format == target && m.width == width && m.height == height && m.mipLevels == mipCount) return true;
    }

    // `current` is the caller's image until the first step replaces it.
    ScratchImage work;
    const ScratchImage* current = &image;
    auto replace = [&](ScratchImage& next) {
        work = std::move(next);
        current = &work;
    };

    // Levels below the base that will not be kept are dropped before any
    // pixel work (a thumbnail decodes one level, not the whole chain).
    if (const TexMetadata& m = current->GetMetadata(); mipCount != m.mipLevels && m.mipLevels >= 2) {
        TexMetadata baseOnly = m;
        baseOnly.mipLevels = 1;
        ScratchImage next;
        const HResult hr = RunStep("initialize", [&] { return next.Initialize(baseOnly); });
        if (Failed(hr)) return Fail(error, "Failed to initialize texture. Error code: ", hr);
        for (size_t item = 0; item < baseOnly.arraySize; ++item) {
            const Image* from = current->GetImage(0, item, 0);
            const Image* to = next.GetImage(0, item, 0);
            const HResult copied = RunStep("copy", [&] {
                if (!from || !to || from->slicePitch != to->slicePitch) return kInvalidArg;
                std::memcpy(to->pixels, from->pixels, from->slicePitch);
                return kOk;
            });
            if (Failed(copied)) return Fail(error, "Failed to copy texture. Error code: ", copied);
        }
        replace(next);
    }

    // 32-bit BGRA. B8G8R8X8 is converted too: its fourth byte is padding, and
    // taking it as alpha would make the texture transparent where it was 0.
    const DxgiFormat source = current->GetMetadata().format;
    if (source != DxgiFormat::B8G8R8A8_UNORM) {
        ScratchImage next;
        if (IsCompressed(source)) {
            const HResult hr = RunStep("decompress", [&] {
                return Decompress(current->GetImages(), current->GetImageCount(), current->GetMetadata(),
                                  DxgiFormat::B8G8R8A8_UNORM, next);
            });
            if (Failed(hr)) return Fail(error, "Failed to decompress the texture. Error code: ", hr);
        } else {
            const TexFilterFlags filter = IsSRGB(source) ? kTexFilterSrgb : kTexFilterDefault;
            const HResult hr = RunStep("convert", [&] {
                return Convert(current->GetImages(), current->GetImageCount(), current->GetMetadata(),
                               DxgiFormat::B8G8R8A8_UNORM, filter, kTexThresholdDefault, next);
            });
            if (Failed(hr)) return Fail(error, "Failed to convert the texture. Error code: ", hr);
        }
        replace(next);
    }

    if (resizing == Resizing::ToTarget &&
        (current->GetMetadata().width != width || current->GetMetadata().height != height)) {
        ScratchImage next;
        const HResult hr = RunStep("resize", [&] {
            return Resize(current->GetImages(), current->GetImageCount(), current->GetMetadata(), width, height,
                          kTexFilterDefault, next);
        });
        if (Failed(hr)) return Fail(error, "Failed to resize the texture. Error code: ", hr);
        replace(next);
    }

    if (mipCount != current->GetMetadata().mipLevels) {
        ScratchImage next;
        const HResult hr = RunStep("mipmaps", [&] {
            return GenerateMipMaps(current->GetImages(), current->GetImageCount(), current->GetMetadata(),
                                   kTexFilterDefault, mipCount, next);
        });
        if (Failed(hr)) return Fail(error, "Failed to generate mip maps. Error code: ", hr);
        replace(next);
    }

    if (target != DxgiFormat::B8G8R8A8_UNORM) {
        ScratchImage next;
        if (IsCompressed(target)) {
            const HResult hr = RunStep("compress", [&] {
                return Compress(current->GetImages(), current->GetImageCount(), current->GetMetadata(), target,
                                kTexCompressDefault, kTexThresholdDefault, next);
            });
            if (Failed(hr)) return Fail(error, "Failed to compress the texture. Error code: ", hr);
        } else {
            const HResult hr = RunStep("convert", [&] {
                return Convert(current->GetImages(), current->GetImageCount(), current->GetMetadata(), target,
                               kTexFilterDefault, kTexThresholdDefault, next);
            });
            if (Failed(hr)) return Fail(error, "Failed to convert the texture. Error code: ", hr);
        }
        replace(next);
    }

    if (current != &image) image = std::move(work);
    return true;
}

bool SetFromImage(TextureObject& texture, const ScratchImage& image, uint32_t format) {
    const TexMetadata& meta = image.GetMetadata();
    if (!image.GetPixels() || meta.arraySize != 1 || meta.depth != 1) return false;
    if (meta.width > std::numeric_limits<uint32_t>::max() || meta.height > std::numeric_limits<uint32_t>::max() ||
        meta.mipLevels > std::numeric_limits<uint32_t>::max() ||
        image.GetPixelsSize() > std::numeric_limits<uint32_t>::max())
        return false;
    if (format == kFormatP8) {
        std::vector<uint8_t> palette, indices;
        if (!QuantizeImage(image, palette, indices)) return false;
        texture.SetData(uint32_t(meta.width), uint32_t(meta.height), uint32_t(meta.mipLevels), indices.data(),
                        uint32_t(indices.size()), palette.data(), uint32_t(palette.size()));
    } else {
        if (uint32_t(meta.format) != ToDxgi(format)) return false;
        texture.SetData(uint32_t(meta.width), uint32_t(meta.height), uint32_t(meta.mipLevels), image.GetPixels(),
                        uint32_t(image.GetPixelsSize()), nullptr, 0);
    }
    texture.format = format;
    return true;
}

bool SetFromImage(TextureObject& texture, const ScratchImage& image) {
    return SetFromImage(texture, image, texture.format);
}

std::unique_ptr<TextureObject> ImportAsNewTexture(bool packInMemory, const std::filesystem::path& path) {
    ScratchImage image;
    std::string error;
    if (!LoadImageFile(path, image, error)) throw Error(error);
    const TexMetadata& meta = image.GetMetadata();
    if (meta.mipLevels == 0) throw Error("Invalid mip levels");

    uint32_t format = PackFormatFromDxgi(uint32_t(meta.format));
    const bool keep = format != 0 && meta.width % 4 == 0 && meta.height % 4 == 0;
    if (!keep || meta.format == DxgiFormat::B8G8R8X8_UNORM) {
        // Sides raised to multiples of 4 (unchanged when they already are).
        format = kFormatARGB;
        const uint32_t width = uint32_t((meta.width + 3) / 4 * 4);
        const uint32_t height = uint32_t((meta.height + 3) / 4 * 4);
        if (!ConvertImage(image, format, width, height, uint32_t(meta.mipLevels), Resizing::ToTarget, error))
            throw Error(error);
    }

    const TexMetadata& done = image.GetMetadata();
    std::unique_ptr<TextureObject> texture = TextureObject::Create({.width = uint32_t(done.width),
                                                                    .height = uint32_t(done.height),
                                                                    .format = format,
                                                                    .mipCount = uint32_t(done.mipLevels),
                                                                    .pixels = image.GetPixels(),
                                                                    .pixelCount = uint32_t(FirstItemSize(image))},
                                                                   packInMemory);
    ChangeFormat(*texture, 0, format);
    return texture;
}

bool LoadImageForTexture(const std::filesystem::path& path, const TextureObject& texture, Resizing resizing,
                         ScratchImage& image, std::string& error) {
    ScratchImage loaded;
    if (!LoadImageFile(path, loaded, error)) return false;
    try {
        if (!ConvertImage(loaded, texture.format, texture.width, texture.height, texture.mipCount, resizing, error))
            return false;
    } catch (const Error& e) {
        error = e.what();
        return false;
    }
    image = std::move(loaded);
    return true;
}

void ChangeFormat(TextureObject& texture, int game, uint32_t newFormat) {
    if (newFormat != texture.format) {
        ScratchImage image;
        std::string error;
        if (!DecodeTexture(texture, image, error)) throw Error(error);
        if (!ConvertImage(image, newFormat, texture.width, texture.height, texture.mipCount, Resizing::KeepSize, error))
            throw Error(error);
        // The image is in the new format's layout, so the record must be
        // stored as the new format (not the old one it still carries).
        if (!SetFromImage(texture, image, newFormat)) throw Error("Failed to convert the texture.");
    }
    texture.SetGameFlags(game);
}

bool DecodeTexture(const TextureObject& texture, ScratchImage& image, std::string& error) {
    uint32_t dxgi = 0;
    TextureObject::Pixels pixels;
    try {
        dxgi = ToDxgi(texture.format);
        pixels = texture.PixelView();
    } catch (const Error&) {
        error = "Failed to load the texture."; // an unknown format, or packed pixels that do not unpack
        return false;
    }
    // Xbox 360 ARGB has no PC layout before the record is converted.
    if (texture.format == kXboxLinearARGB || texture.format == kXboxTiledARGB)
        return Fail(error, "Failed to load the texture. Error code: ", kNotSupported);

    // The bytes are read as a DDS file's data would be: P8 expanded through
    // its palette, any other record's palette bytes first.
    std::vector<uint8_t> joined;
    const uint8_t* data = pixels.data();
    size_t size = pixels.size();
    if (texture.format == kFormatP8) {
        if (texture.paletteSize != 1024 || texture.palette.size() != 1024) {
            error = "Failed to load the texture.";
            return false;
        }
        joined.resize(size_t(size) * 4);
        for (size_t i = 0; i < size; ++i) std::memcpy(&joined[i * 4], &texture.palette[size_t(data[i]) * 4], 4);
    } else if (texture.paletteSize) {
        joined.assign(texture.palette.begin(),
                      texture.palette.begin() + std::min<size_t>(texture.paletteSize, texture.palette.size()));
        joined.insert(joined.end(), data, data + size);
    }
    if (!joined.empty() || texture.format == kFormatP8) data = joined.data(), size = joined.size();

    ScratchImage decoded;
    const HResult hr = LoadFromDDSPixels(DxgiFormat(dxgi), texture.width, texture.height, texture.mipCount, data, size,
                                         decoded);
    if (Failed(hr)) return Fail(error, "Failed to load the texture. Error code: ", hr);
    image = std::move(decoded);
    return true;
}

} // namespace zelko
