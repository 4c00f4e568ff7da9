#pragma once
// The preview of the focused texture and the list thumbnails as bottom-up
// 32-bit DIB sections, and the double-buffered painting of the preview pane.
#include "toolkit/Handles.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace zelko {

class TextureObject;
struct PreviewPixels;

class PreviewBitmap {
public:
    // Null when the DIB section cannot be created.
    static std::unique_ptr<PreviewBitmap> FromPixels(const PreviewPixels& pixels);

    HBITMAP Handle() const { return bitmap_.Get(); }
    // Hands the bitmap to a new owner (a list item); this object is empty afterwards.
    HBITMAP Release() { return bitmap_.Release(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Width * 4 bytes per row, bottom row first.
    const uint8_t* Bits() const { return bits_; }

private:
    BitmapHandle bitmap_;
    uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The texture at its own size (or squeezed to squareSize), with the alpha
// channel over the checkerboard when showAlpha; null when it cannot be decoded.
std::unique_ptr<PreviewBitmap> MakePreviewBitmap(const TextureObject& texture, bool showAlpha,
                                                 std::optional<uint32_t> squareSize);

// A list thumbnail, opaque so that the image list draws colours without regard to alpha.
std::unique_ptr<PreviewBitmap> MakeThumbnailBitmap(const TextureObject& texture, uint32_t size);
// The same from pixels made beforehand (MakeThumbnailPixels, on any thread).
std::unique_ptr<PreviewBitmap> MakeThumbnailBitmap(PreviewPixels pixels);

// Draws the outlined pane and the bitmap at (1, 1), squeezed per axis when it
// does not fit, through a memory bitmap so that the pane never flickers.
void PaintPreviewPane(HDC target, const RECT& pane, const PreviewBitmap* bitmap);

} // namespace zelko
