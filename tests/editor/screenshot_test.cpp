// A picture of the editor with the sample archive loaded, a texture selected
// and previewed: written to the build folder as editor-screenshot.png.
#include "editor_harness.h"

#include "texture/ImageFile.h"

namespace zelko {
namespace {

class EditorScreenshot : public test::EditorTest {};

TEST_F(EditorScreenshot, ShowsTheLoadedSampleWithAPreview) {
    Run(WithSample(), [&](test::Driver& d) {
        d.DoubleClick(d.editor.FileList(), 1);
        ListView* textures = d.editor.TextureList();
        const int logo = d.RowNamed(textures, L"FRONTEND_LOGO");
        ASSERT_GE(logo, 0);
        d.Select(textures, logo);
        d.Ui([&] { SetForegroundWindow(d.window); });
        ScratchImage shot = d.Ui([&] { return test::CaptureWindow(d.window); });
        ASSERT_NE(shot.GetImage(0, 0, 0), nullptr);
        EXPECT_EQ(SaveToImageFile(*shot.GetImage(0, 0, 0), ImageFileFormat::PNG, test::kBuildFolder / "editor-screenshot.png"), kOk);

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
