// A picture of the editor with the sample archive loaded, a texture selected
// and previewed: written to the build folder as editor-screenshot.png.
#include "editor_harness.h"

#include "texture/Image.h"
#include "texture/ImageFile.h"

#include <cstring>

namespace zelko {
namespace {

// The whole window, frame and menu included, as one level of 32-bit BGRA.
ScratchImage CaptureWindow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT outer{};
    GetWindowRect(window, &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    ScratchImage image;
    if (Failed(image.Initialize2D(DxgiFormat::B8G8R8A8_UNORM, size_t(width), size_t(height), 1, 1))) return image;
    HDC screen = GetDC(nullptr);
    MemoryDcHandle memory(CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    BitmapHandle bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        // The screen holds what the window and its children really drew.
        BitBlt(memory.Get(), 0, 0, width, height, screen, outer.left, outer.top, SRCCOPY);
    }
    ReleaseDC(nullptr, screen);
    const Image& target = *image.GetImage(0, 0, 0);
    for (int y = 0; y < height; ++y) {
        auto* row = target.pixels + size_t(y) * target.rowPitch;
        std::memcpy(row, static_cast<uint8_t*>(bits) + size_t(y) * width * 4, size_t(width) * 4);
        for (int x = 0; x < width; ++x) row[x * 4 + 3] = 255;
    }
    return image;
}

class EditorScreenshot : public test::EditorTest {};

TEST_F(EditorScreenshot, ShowsTheLoadedSampleWithAPreview) {
    Run(WithSample(), [&](test::Driver& d) {
        d.DoubleClick(d.editor.FileList(), 1);
        ListView* textures = d.editor.TextureList();
        const int logo = d.RowNamed(textures, L"FRONTEND_LOGO");
        ASSERT_GE(logo, 0);
        d.Select(textures, logo);
        d.Ui([&] { SetForegroundWindow(d.window); });
        ScratchImage shot = d.Ui([&] { return CaptureWindow(d.window); });
        ASSERT_NE(shot.GetImage(0, 0, 0), nullptr);
        EXPECT_EQ(SaveToImageFile(*shot.GetImage(0, 0, 0), ImageFileFormat::PNG, "editor-screenshot.png"), kOk);

        // The preview's checkerboard shows in the pane. The bitmap's rows run
        // bottom-up from a cyan square, so the 128-pixel-high logo's top-left corner is magenta.
        RECT pane = d.Ui([&] { return d.editor.PreviewArea(); });
        POINT corner{pane.left + 2, pane.top + 2};
        ClientToScreen(d.window, &corner);
        RECT outer{};
        GetWindowRect(d.window, &outer);
        const Image& image = *shot.GetImage(0, 0, 0);
        const uint8_t* p = image.pixels + size_t(corner.y - outer.top) * image.rowPitch + size_t(corner.x - outer.left) * 4;
        EXPECT_EQ(p[0], 255);  // blue
        EXPECT_EQ(p[1], 0);    // green
        EXPECT_EQ(p[2], 255);  // red
    });
}

} // namespace
} // namespace zelko
