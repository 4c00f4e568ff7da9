// The Find dialog over the running editor: the index, the search on every
// keystroke and click, the go-to across packs, and what Close leaves behind.
#include "editor_harness.h"

#include "format/NameHash.h"
#include "format/pack_builder.h"

namespace zelko {
namespace {

using test::Driver;

class FindCommand : public test::EditorTest {
protected:
    // F3 as the main window gets it; returns the dialog once it shows.
    HWND PressF3(Driver& d) {
        d.Key(d.window, VK_F3);
        return d.Dialog(L"Find");
    }
    static std::vector<std::wstring> Rows(HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_FIND_LIST);
        std::vector<std::wstring> rows;
        for (int row = 0; row < Driver::Rows(list); ++row)
            rows.push_back(Driver::Cell(list, row, 0) + L"|" + Driver::Cell(list, row, 1));
        return rows;
    }
    static void Type(Driver& d, HWND dialog, const std::wstring& text) {
        Driver::Type(GetDlgItem(dialog, IDC_FIND_TEXT), text);
        d.Sync();
    }
};

TEST_F(FindCommand, SearchesEveryPackOnEachKeyAndGoesToTheTexture) {
    const auto single = folder.path() / "single.bin";
    packtest::Tex road{.hash = NameHash("ROAD_WET"),
                       .name = "ROAD_WET",
                       .format = kFormatDXT1,
                       .width = 8,
                       .height = 8,
                       .pixels = packtest::Pattern(32, 3)};
    packtest::Tex sky{.hash = NameHash("SKY_DUSK"),
                      .name = "SKY_DUSK",
                      .format = kFormatDXT1,
                      .width = 8,
                      .height = 8,
                      .pixels = packtest::Pattern(32, 4)};
    WriteFile(single, packtest::PlainPack(5, {road, sky}));
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
        Type(d, dialog, L"nis_240_sx_b");
        EXPECT_EQ(Rows(dialog), (std::vector<std::wstring>{L"1|NIS_240_SX_BADGING", L"1|NIS_240_SX_BODY"}));
        SendDlgItemMessageW(dialog, IDC_FIND_MATCH_CASE, BM_CLICK, 0, 0); // found, then lost
        EXPECT_TRUE(Rows(dialog).empty());
        SendDlgItemMessageW(dialog, IDC_FIND_MATCH_CASE, BM_CLICK, 0, 0);
        EXPECT_EQ(Rows(dialog).size(), 2u);

        Type(d, dialog, L"road_a");
        ASSERT_EQ(Rows(dialog), (std::vector<std::wstring>{L"3|ROAD_ASPHALT", L"3|ROAD_ASPHALT_N"}));
        d.Shoot(dialog, "dialog-find");

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
        EXPECT_TRUE(Rows(dialog).empty());
        d.End(dialog, SC_CLOSE); // the close box only hides it
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_FALSE(IsWindowVisible(dialog));

        // A document of one pack is indexed from its list, without reading the disk.
        d.Ui([&] { d.editor.OpenDocumentPath(single.wstring()); });
        test::StatusRecorder status(d);
        PressF3(d);
        EXPECT_TRUE(status.Texts().empty());
        EXPECT_TRUE(d.Ui([&] { return d.editor.FindIndexBuilt(); }));
        Type(d, dialog, L"wet");
        EXPECT_EQ(Rows(dialog), std::vector<std::wstring>{L"1|ROAD_WET"});
    });
}

} // namespace
} // namespace zelko
