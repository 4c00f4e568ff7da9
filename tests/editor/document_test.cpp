// Archives in the main window: the file list, the texture list with its
// thumbnails, the status bar, the preview, saving and failures.
#include "editor_harness.h"

#include "texture/TextureObject.h"

#include <tuple>

namespace zelko {
namespace {

using test::Driver;

class EditorDocument : public test::EditorTest {};

TEST_F(EditorDocument, SampleListsItsPacksAndTheTexturesOfTheActivatedOne) {
    Run(WithSample(), [&](Driver& d) {
        ListView* files = d.editor.FileList();
        ListView* textures = d.editor.TextureList();
        ASSERT_EQ(d.Rows(files), 3);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(d.Cell(files, row, 0) + L" " + d.Cell(files, row, 1),
                      std::to_wstring(row + 1) + L" Texture file");
            EXPECT_EQ(d.Cell(files, row, 3), std::to_wstring(5 - row)); // texture count
        }
        EXPECT_EQ(d.StatusText(2), L"Files: 3 Textures: 12");
        EXPECT_EQ(d.StatusText(1) + L"|" + d.StatusText(3), L"1 Texture file|PC");
        EXPECT_TRUE(d.StatusText(0).starts_with(L"Loaded sample.bin [")) << d.StatusText(0);
        EXPECT_EQ(d.Title(), sample.wstring() + L" - ZRC-Zelko v1.7 by korvane");
        EXPECT_FALSE(d.MenuGreyed(IDM_TEXTURE_ADD));

        // {entry, texture, "width|height|format"}; each list opens with its first row focused.
        const std::tuple<int, const wchar_t*, const wchar_t*> rows[] = {{0, L"NIS_240_SX_BADGING", L"128|128|DXT5"},
                                                                        {0, L"NIS_240_SX_INTERIOR", L"128|64|ARGB"},
                                                                        {1, L"FRONTEND_LOGO", L"256|128|ARGB"},
                                                                        {2, L"ROAD_ASPHALT_N", L"128|128|BC5"}};
        for (const auto& [entry, name, cells] : rows) {
            if (entry != 0) d.DoubleClick(files, entry);
            EXPECT_EQ(d.StatusText(1), std::to_wstring(entry + 1) + L" Texture file");
            ASSERT_EQ(d.Rows(textures), 5 - entry);
            EXPECT_EQ(d.FocusedRow(textures), 0);
            const int row = d.RowNamed(textures, name);
            EXPECT_EQ(d.Cell(textures, row, 1) + L"|" + d.Cell(textures, row, 2) + L"|" + d.Cell(textures, row, 3),
                      cells);
            for (int i = 0; i < d.Rows(textures); ++i) {
                LVITEMW item{};
                item.mask = LVIF_IMAGE;
                item.iItem = i;
                SendMessageW(textures->window, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                EXPECT_GE(item.iImage, 0) << name << " " << i; // a thumbnail for every row
            }
        }
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentFileIndex; }), 2);

        // Reload keeps the entry and the focused texture.
        d.DoubleClick(files, 1);
        ASSERT_TRUE(d.SelectNamed(textures, L"WARNING_STRIPES"));
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(d.FocusedRow(files), 1);
        EXPECT_EQ(d.Cell(textures, d.FocusedRow(textures), 0), L"WARNING_STRIPES");
    });
}

// Pixel (x, y) of the preview DIB as 0xRRGGBB, rows counted bottom-up as in memory.
uint32_t PreviewPixel(Driver& d, int x, int y) {
    return d.Ui([&]() -> uint32_t {
        const PreviewBitmap* preview = d.editor.Preview();
        if (!preview || x >= preview->Width() || y >= preview->Height()) return 0xDEADBEEF;
        const uint8_t* p = preview->Bits() + (size_t(y) * preview->Width() + x) * 4;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    });
}

// The picture of the window is written to the build folder as editor-screenshot.png.
TEST_F(EditorDocument, PreviewShowsTheFocusedTextureOverTheCheckerboardWhenAlphaIsOn) {
    Run(WithSample(), [&](Driver& d) {
        ListView* textures = d.editor.TextureList();
        ASSERT_TRUE(d.SelectNamed(textures, L"NIS_240_SX_BADGING"));
        ASSERT_EQ(d.Ui([&] { return d.editor.Preview() ? d.editor.Preview()->Width() : 0; }), 128);
        // The badge's corners are transparent: cyan in the first square, magenta in the next.
        EXPECT_EQ(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_EQ(PreviewPixel(d, 40, 0), 0xFF00FFu);
        EXPECT_EQ(PreviewPixel(d, 127, 127), 0x00FFFFu);
        const uint32_t centre = PreviewPixel(d, 64, 64); // opaque: its own colour either way

        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel disabled.");
        EXPECT_NE(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_NE(PreviewPixel(d, 40, 0), 0xFF00FFu);
        EXPECT_EQ(PreviewPixel(d, 64, 64), centre);
        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel enabled.");
        EXPECT_EQ(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentTextureIndex; }),
                  d.Ui([&] { return static_cast<TextureObject*>(textures->GetSelectedItem()->GetData())->hash; }));

        // On screen, in the pane: the bitmap's rows run bottom-up from a cyan
        // square, so the 128-pixel-high logo's top-left corner is magenta.
        d.DoubleClick(d.editor.FileList(), 1);
        ASSERT_TRUE(d.SelectNamed(textures, L"FRONTEND_LOGO"));
        d.Ui([&] { SetForegroundWindow(d.window); });
        const ScratchImage shot = d.Shoot(nullptr, "editor-screenshot");
        ASSERT_NE(shot.GetImage(0, 0, 0), nullptr);
        RECT pane = d.Ui([&] { return d.editor.PreviewArea(); }), outer{};
        POINT corner{pane.left + 2, pane.top + 2};
        ClientToScreen(d.window, &corner);
        GetWindowRect(d.window, &outer);
        const Image& image = *shot.GetImage(0, 0, 0);
        const uint8_t* p = image.pixels + size_t(corner.y - outer.top) * image.rowPitch +
            size_t(corner.x - outer.left) * 4;
        EXPECT_EQ(p[0] * 0x10000 + p[1] * 0x100 + p[2], 0xFF00FF); // blue, green, red
    });
}

TEST_F(EditorDocument, FailedOpensChangeNothingElseAndAWorldFolderIsOneEntry) {
    const auto bad = folder.path() / "broken.bin", empty = folder.path() / "empty.bin",
               missing = folder.path() / "missing.bin";
    WriteFile(bad, {0x78, 0x56, 0x34, 0x12, 4, 0, 0, 0, 1, 2, 3, 4});
    WriteFile(empty, {});
    Run(Environment({L"ZRC-Zelko.exe", bad.wstring()}), [&](Driver& d) {
        EXPECT_EQ(d.StatusText(0), L"ERROR: " + bad.wstring() + L" - The file is not supported");
        EXPECT_EQ(d.Rows(d.editor.FileList()) + d.Rows(d.editor.TextureList()), 0);
        EXPECT_EQ(d.Title(), L"ZRC-Zelko v1.7 by korvane");
        EXPECT_TRUE(d.MenuGreyed(IDM_FILE_SAVE));
        EXPECT_EQ(d.StatusText(2), L"");
        EXPECT_TRUE(d.Ui([&] { return d.editor.Settings().recentFilePath.empty(); }));
        EXPECT_TRUE(IsWindowEnabled(d.window));
        d.Ui([&] { d.editor.OpenDocumentPath(empty.wstring()); });
        EXPECT_EQ(d.StatusText(0), L"ERROR: The file is empty: " + empty.wstring());
        d.Ui([&] { d.editor.OpenDocumentPath(missing.wstring()); });
        EXPECT_EQ(d.StatusText(0), L"ERROR: Unable to open the file: " + missing.wstring());
        EXPECT_EQ(d.Rows(d.editor.FileList()), 0);

        // A world folder is one entry whose layout cannot change: Replace stays, Add and the like are greyed.
        d.Ui([&] { d.editor.OpenWorldFolderPath(folder.path().wstring()); });
        EXPECT_EQ(d.StatusText(1), L"1 ZRC World Thumbnails (.stp)");
        EXPECT_EQ(d.Rows(d.editor.FileList()), 1);
        for (UINT id : {IDM_FILE_SAVE, IDM_TEXTURE_REPLACE, IDM_TEXTURE_ADD, IDM_TEXTURE_RENAME, IDM_TEXTURE_DELETE})
            EXPECT_EQ(d.MenuGreyed(id), id != IDM_FILE_SAVE && id != IDM_TEXTURE_REPLACE) << id;
    });
    EXPECT_NE(LogText().find(" | ERROR: " + bad.string() + " - The file is not supported\r\n"), std::string::npos);
}

TEST_F(EditorDocument, SaveWritesThePackAndMovesTheEntriesBehindIt) {
    Run(WithSample(), [&](Driver& d) {
        d.Ui([&] { // shrink the first pack by one texture, as Delete will
            IBinFile* container = d.editor.Container();
            TextureObject* tire = container->FindTexture("NIS_240_SX_TIRE");
            ASSERT_NE(tire, nullptr);
            ASSERT_TRUE(container->DeleteTexture(tire));
            container->modified = true;
        });
        d.Command(IDM_FILE_SAVE);
        EXPECT_EQ(d.StatusText(0), L"The changes have been saved.");
        EXPECT_FALSE(Modified(d));
        // The entries behind the pack moved (how, is the core's test): the
        // window's still open, and a fresh scan agrees with them.
        const auto after = d.Ui([&] { return d.editor.OpenedDocument().entries; });
        d.DoubleClick(d.editor.FileList(), 2);
        EXPECT_EQ(d.Rows(d.editor.TextureList()), 3);
        Document scanned = OpenDocument(sample, false, Host{});
        ASSERT_EQ(scanned.entries.size(), 3u);
        for (uint32_t id = 0; id < 3; ++id) EXPECT_EQ(scanned.entries.at(id).offset, after.at(id).offset) << id;
        EXPECT_EQ(scanned.entries.at(0).textureCount, 4u);

        // A save into a read-only file fails: it reports the path and the
        // reason, keeps the document open, its changes unsaved and the file as it was.
        d.Ui([&] { d.editor.Container()->modified = true; });
        const auto before = ReadFileBytes(sample);
        namespace fs = std::filesystem;
        fs::permissions(sample, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        d.Command(IDM_FILE_SAVE);
        fs::permissions(sample, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_TRUE(d.StatusText(0).starts_with(L"ERROR: Failed to save " + sample.wstring() + L": "))
            << d.StatusText(0);
        EXPECT_TRUE(Modified(d));
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);
        EXPECT_EQ(ReadFileBytes(sample), before);
    });
}

} // namespace
} // namespace zelko
