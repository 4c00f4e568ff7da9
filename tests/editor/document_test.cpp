// Archives in the main window: the file list, the texture list with its
// thumbnails, the status bar, the preview, failures and the Find dialog.
#include "editor_harness.h"

#include "container/archive_builder.h"
#include "format/NameHash.h"
#include "texture/TextureObject.h"

#include <tuple>

namespace zelko {
namespace {

using test::Driver;

class EditorDocument : public test::EditorTest {};

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
TEST_F(EditorDocument, SampleListsItsPacksAndPreviewsTheFocusedTextureOverTheCheckerboard) {
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

        // The preview: the badge's transparent corner shows the checkerboard's
        // cyan only while alpha is on (the squares are the core's test).
        d.DoubleClick(files, 0);
        ASSERT_TRUE(d.SelectNamed(textures, L"NIS_240_SX_BADGING"));
        ASSERT_EQ(d.Ui([&] { return d.editor.Preview() ? d.editor.Preview()->Width() : 0; }), 128);
        EXPECT_EQ(PreviewPixel(d, 0, 0), 0x00FFFFu);
        const uint32_t centre = PreviewPixel(d, 64, 64); // opaque: its own colour either way
        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel disabled.");
        EXPECT_NE(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_EQ(PreviewPixel(d, 64, 64), centre);
        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel enabled.");
        EXPECT_EQ(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentTextureIndex; }),
                  d.Ui([&] { return static_cast<TextureObject*>(textures->GetSelectedItem()->GetData())->hash; }));

        // On screen, in the pane: the bitmap's rows run bottom-up from a cyan
        // square, so the 128-pixel-high logo's top-left corner is magenta.
        d.DoubleClick(files, 1);
        ASSERT_TRUE(d.SelectNamed(textures, L"FRONTEND_LOGO"));
        d.Ui([&] { SetForegroundWindow(d.window); });
        const ScratchImage shot = d.Shoot("editor-screenshot");
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

TEST_F(EditorDocument, FailedOpensChangeNothingElseAndSomeArchivesAllowFewerEdits) {
    const auto bad = folder.path() / "broken.bin", empty = folder.path() / "empty.bin",
               missing = folder.path() / "missing.bin", xbox = folder.path() / "xbox.bin";
    WriteFile(bad, {0x78, 0x56, 0x34, 0x12, 4, 0, 0, 0, 1, 2, 3, 4});
    WriteFile(empty, {});
    packtest::Tex t{.hash = NameHash("XBOX_ROAD"),
                    .name = "XBOX_ROAD",
                    .format = 0x1A200152,
                    .width = 128,
                    .height = 128,
                    .pixels = packtest::Pattern(128 * 128 / 2, 7)};
    WriteFile(xbox, packtest::PlainPack(5, {t}));
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

        // An Xbox 360 archive: every edit refuses before any dialog opens.
        d.Ui([&] { d.editor.OpenDocumentPath(xbox.wstring()); });
        ASSERT_EQ(d.StatusText(3), L"Xbox360");
        for (WORD id : {IDM_TEXTURE_ADD, IDM_TEXTURE_DUPLICATE, IDM_TEXTURE_RENAME, IDM_TEXTURE_FORMAT_CHANGE,
                        IDM_TEXTURE_DELETE, IDM_TEXTURE_REPLACE}) {
            d.Command(id); // answered at once: no dialog waits
            EXPECT_EQ(TakeMessages(d),
                      std::vector<std::wstring>{L"Error|This feature is only available for PC version"})
                << id;
        }
        EXPECT_FALSE(Modified(d));
    });
    EXPECT_NE(LogText().find(" | ERROR: " + bad.string() + " - The file is not supported\r\n"), std::string::npos);
}

// The Find dialog: F3 as the main window gets it, the rows it lists and a
// search typed into it.
HWND PressF3(Driver& d) {
    d.Key(d.window, VK_F3);
    return d.Dialog(L"Find");
}
std::vector<std::wstring> FoundRows(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
    std::vector<std::wstring> rows;
    for (int row = 0; row < Driver::Rows(list); ++row)
        rows.push_back(Driver::Cell(list, row, 0) + L"|" + Driver::Cell(list, row, 1));
    return rows;
}
void Search(Driver& d, HWND dialog, const std::wstring& text) {
    Driver::Type(GetDlgItem(dialog, IDC_FIND_TEXT), text);
    d.Sync();
}

// The index, the search on every keystroke and click, the go-to across
// packs, and what Close leaves behind.
TEST_F(EditorDocument, FindSearchesEveryPackOnEachKeyAndGoesToTheTexture) {
    const auto single = folder.path() / "single.bin";
    WriteFile(single, testing_archive::PackBytes("SINGLE", 2));
    Run(WithSample(), [&](Driver& d) {
        HWND dialog = nullptr;
        {
            test::StatusRecorder status(d);
            dialog = PressF3(d);
            ASSERT_TRUE(dialog);
            d.WaitIdle();
            EXPECT_EQ(status.Texts(),
                      (std::vector<std::wstring>{L"Loading... 33%", L"Loading... 66%", L"Loading... 100%", L"Ready"}));
        }
        {
            test::StatusRecorder status(d); // the second F3 builds nothing
            PressF3(d);
            EXPECT_TRUE(status.Texts().empty());
        }
        Search(d, dialog, L"nis_240_sx_b");
        EXPECT_EQ(FoundRows(dialog), (std::vector<std::wstring>{L"1|NIS_240_SX_BADGING", L"1|NIS_240_SX_BODY"}));
        SendDlgItemMessageW(dialog, IDC_FIND_MATCH_CASE, BM_CLICK, 0, 0); // found, then lost
        EXPECT_TRUE(FoundRows(dialog).empty());
        SendDlgItemMessageW(dialog, IDC_FIND_MATCH_CASE, BM_CLICK, 0, 0);
        EXPECT_EQ(FoundRows(dialog).size(), 2u);

        Search(d, dialog, L"road_a");
        ASSERT_EQ(FoundRows(dialog), (std::vector<std::wstring>{L"3|ROAD_ASPHALT", L"3|ROAD_ASPHALT_N"}));
        d.Shoot("dialog-find", dialog);

        // Another pack with unsaved changes: asked first, and Cancel changes nothing.
        d.Ui([&] { d.editor.Container()->modified = true; });
        HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
        d.Ui([&] { answer = IDCANCEL; });
        d.DoubleClick(list, 1, true);
        d.Sync();
        EXPECT_EQ(TakeMessages(d),
                  std::vector<std::wstring>{L"|There are unsaved changes. Do you want to SAVE the changes?"});
        EXPECT_EQ(d.StatusText(1), L"1 Texture file");
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentFileIndex; }), 0);

        // No: the pack opens and the texture is selected. Enter on a row does the same.
        d.Ui([&] {
            answer = IDNO;
            SetFocus(list);
        });
        Driver::Select(list, 1);
        d.Key(list, VK_RETURN);
        EXPECT_EQ(d.StatusText(1), L"3 Texture file");
        ListView* textures = d.editor.TextureList();
        EXPECT_EQ(d.Cell(textures, d.FocusedRow(textures), 0), L"ROAD_ASPHALT_N");

        // Escape hides the dialog; after Close it comes back empty.
        d.End(dialog, VK_ESCAPE);
        EXPECT_FALSE(IsWindowVisible(dialog));
        d.Command(IDM_FILE_CLOSE);
        EXPECT_FALSE(d.Ui([&] { return d.editor.FindIndexBuilt(); }));
        PressF3(d);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_FIND_TEXT)), L"");
        EXPECT_TRUE(FoundRows(dialog).empty());
        d.End(dialog, SC_CLOSE); // the close box only hides it
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_FALSE(IsWindowVisible(dialog));

        // A document of one pack is indexed from its list, without reading the disk.
        d.Ui([&] { d.editor.OpenDocumentPath(single.wstring()); });
        test::StatusRecorder status(d);
        PressF3(d);
        EXPECT_TRUE(status.Texts().empty());
        Search(d, dialog, L"single1");
        EXPECT_EQ(FoundRows(dialog), std::vector<std::wstring>{L"1|SINGLE1"});
    });
}

} // namespace
} // namespace zelko
