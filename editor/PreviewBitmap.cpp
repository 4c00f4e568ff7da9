#include "editor/PreviewBitmap.h"

#include "texture/Preview.h"

#include <algorithm>
#include <cstring>

namespace zelko {

std::unique_ptr<PreviewBitmap> PreviewBitmap::FromPixels(const PreviewPixels& pixels) {
    if (pixels.width == 0 || pixels.height == 0 || pixels.bgra.size() < size_t(pixels.width) * pixels.height * 4) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(pixels.width);
    info.bmiHeader.biHeight = LONG(pixels.height); // positive: rows run bottom-up like the pixels
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return nullptr;
    std::memcpy(bits, pixels.bgra.data(), size_t(pixels.width) * pixels.height * 4);
    auto result = std::make_unique<PreviewBitmap>();
    result->bitmap_ = std::move(bitmap);
    result->bits_ = static_cast<uint8_t*>(bits);
    result->width_ = int(pixels.width);
    result->height_ = int(pixels.height);
    return result;
}

std::unique_ptr<PreviewBitmap> MakePreviewBitmap(const TextureObject& texture, bool showAlpha,
                                                 std::optional<uint32_t> squareSize) {
    auto pixels = MakePreviewPixels(texture, showAlpha, squareSize);
    return pixels ? PreviewBitmap::FromPixels(*pixels) : nullptr;
}

std::unique_ptr<PreviewBitmap> MakeThumbnailBitmap(const TextureObject& texture, uint32_t size) {
    auto pixels = MakeThumbnailPixels(texture, size);
    return pixels ? MakeThumbnailBitmap(std::move(*pixels)) : nullptr;
}

std::unique_ptr<PreviewBitmap> MakeThumbnailBitmap(PreviewPixels pixels) {
    for (size_t i = 3; i < pixels.bgra.size(); i += 4) pixels.bgra[i] = 255;
    return PreviewBitmap::FromPixels(pixels);
}

void PaintPreviewPane(HDC target, const RECT& pane, const PreviewBitmap* bitmap) {
    const int width = pane.right - pane.left;
    const int height = pane.bottom - pane.top;
    if (width <= 0 || height <= 0) return;
    MemoryDcHandle memory(CreateCompatibleDC(target));
    BitmapHandle buffer(CreateCompatibleBitmap(target, width, height));
    if (!memory || !buffer) return;
    {
        SelectedObject selected(memory.Get(), buffer.Get());
        Rectangle(memory.Get(), 0, 0, width, height);
        if (bitmap && bitmap->Handle()) {
            MemoryDcHandle source(CreateCompatibleDC(target));
            SelectedObject sourceSelected(source.Get(), bitmap->Handle());
            BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, 0};
            const int drawWidth = std::min(width - 2, bitmap->Width());
            const int drawHeight = std::min(height - 2, bitmap->Height());
            if (drawWidth > 0 && drawHeight > 0) {
                AlphaBlend(memory.Get(), 1, 1, drawWidth, drawHeight, source.Get(), 0, 0, bitmap->Width(),
                           bitmap->Height(), blend);
            }
        }
        BitBlt(target, pane.left, pane.top, width, height, memory.Get(), 0, 0, SRCCOPY);
    }
}

} // namespace zelko
