#pragma once
// The conversion pipeline every change of pixel data goes through: image
// files to textures, format changes, and textures back to images for preview
// and export. Images travel as ScratchImage values; the pipeline steps return
// false with an error text, the record-level operations throw Error.
//
// Error texts that end in "Error code: " carry the imaging result code after
// it as "0x" and lower-case hex (HResultHex).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "imaging/Image.h"

namespace zelko {

class TextureObject;

// A ".dds" file (extension ignoring case) through the DDS reader, anything
// else through the image-file decoders (BMP, PNG, JPEG, GIF, TIFF; not TGA).
// Failure: "Unable to load the file: <path>. Error code: 0x...".
bool LoadImageFile(const std::filesystem::path& path, ScratchImage& image, std::string& error);

// Whether a conversion may change the image's sides to the target's: an
// archive patched in place needs the replacement at the record's size, a
// rebuilt one takes the image as it is.
enum class Resizing : bool { KeepSize, ToTarget };

// Converts `image` to the DXGI format of pack format `targetFormat`, width x
// height and mipCount levels: through 32-bit BGRA, resized only with
// Resizing::ToTarget, the mip chain cut and regenerated when its length differs,
// then compressed or converted. Nothing is done when the image already
// matches. On failure `image` is unchanged. Throws Error("Not supported
// texture format") for an unmapped target.
bool ConvertImage(ScratchImage& image, uint32_t targetFormat, uint32_t width, uint32_t height, uint32_t mipCount,
                  Resizing resizing, std::string& error);

// Stores a converted image in the record as format `format`: P8 quantizes a
// B8G8R8A8 image into palette + indices, every other format takes the block
// as it is and clears the palette. Sets the record's format. False, with the
// record unchanged, when the image is not in that format's DXGI layout.
bool SetFromImage(TextureObject& texture, const ScratchImage& image, uint32_t format);
// The same with the record's own format.
bool SetFromImage(TextureObject& texture, const ScratchImage& image);

// A new record from an image file: block formats and 32-bit BGRA with sides
// divisible by 4 are kept as they are, anything else becomes ARGB with sides
// raised to multiples of 4. Default game flags; name and hash left to the
// caller. Throws Error with the pipeline's text.
std::unique_ptr<TextureObject> ImportAsNewTexture(bool packInMemory, const std::filesystem::path& path);

// An image file converted to the record's format, size and mip count (size
// only with Resizing::ToTarget), ready for SetFromImage.
bool LoadImageForTexture(const std::filesystem::path& path, const TextureObject& texture, Resizing resizing,
                         ScratchImage& image, std::string& error);

// Re-encodes the record in `newFormat` (same size and mip count) and assigns
// the game flags of `game`. Same format: only the game flags. Throws Error
// with the pipeline's text and leaves the record unchanged on failure.
void ChangeFormat(TextureObject& texture, int game, uint32_t newFormat);

// The record's pixels as an image in its own DXGI format (P8 expanded to
// B8G8R8A8). Failure: "Failed to load the texture." when the record cannot
// be shown as DDS, else "Failed to load the texture. Error code: 0x...".
bool DecodeTexture(const TextureObject& texture, ScratchImage& image, std::string& error);

namespace detail {
// Test hook: the next runs of `step` ("decompress", "convert", "resize",
// "initialize", "copy", "mipmaps", "compress") report `hr` instead of
// running, so every failure path can be exercised. kOk clears the step.
void InjectConversionFailure(const std::string& step, HResult hr);
} // namespace detail

} // namespace zelko
