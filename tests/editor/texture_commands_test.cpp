// The Texture menu as a user drives it: the real dialogs, the refusals, the
// texts in the status bar and the log, and what a save then holds on disk.
#include "editor_harness.h"

#include "format/NameHash.h"
#include "format/pack_builder.h"
#include "imaging/ImageFile.h"
#include "texture/Conversion.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

namespace zelko {
namespace {

using test::Driver;

const std::wstring kImportTitle = L"ZRC-Zelko v1.7 by korvane | Select texture to import";

// Mean absolute difference per channel (colour only) between the texture's
// top level and the picture.
double MeanError(const TextureObject& texture, const ScratchImage& picture) {
    const Image& source = *picture.GetImage(0, 0, 0);
    const size_t side = source.width;
    auto shown = MakePreviewPixels(texture, false, std::nullopt);
    if (!shown || shown->width != side || shown->height != side) return 1e9;
    double sum = 0;
    for (size_t y = 0; y < side; ++y) {
        const uint8_t* a = shown->bgra.data() + (side - 1 - y) * side * 4; // bottom-up
        const uint8_t* b = source.pixels + y * source.rowPitch;
        for (size_t i = 0; i < side * 4; ++i) {
            if (i % 4 != 3) sum += std::abs(int(a[i]) - int(b[i]));
        }
    }
    return sum / double(side * side * 3);
}

class TextureCommands : public test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        const ScratchImage picture = test::TestPicture(64);
        ASSERT_EQ(SaveToImageFile(*picture.GetImage(0, 0, 0), ImageFileFormat::PNG, road), kOk);
    }

    std::filesystem::path road = folder.path() / "road.png";
};

TEST_F(TextureCommands, RefusalsAndCancelsChangeNothing) {
    // An Xbox 360 archive: every command refuses before any dialog opens.
    const auto xbox = folder.path() / "xbox.bin";
    packtest::Tex t{.hash = NameHash("XBOX_ROAD"),
                    .name = "XBOX_ROAD",
                    .format = 0x1A200152,
                    .width = 128,
                    .height = 128,
                    .pixels = packtest::Pattern(128 * 128 / 2, 7)};
    WriteFile(xbox, packtest::PlainPack(5, {t}));
    Run(Environment({L"ZRC-Zelko.exe", xbox.wstring()}), [&](Driver& d) {
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

    Run(WithSample(), [&](Driver& d) {
        ListView* list = d.editor.TextureList();
        const std::wstring status = d.StatusText(0);
        // No selected row: each command names itself in the refusal.
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list->window, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
        for (WORD id : {IDM_TEXTURE_DUPLICATE, IDM_TEXTURE_RENAME, IDM_TEXTURE_FORMAT_CHANGE, IDM_TEXTURE_DELETE,
                        IDM_TEXTURE_REPLACE})
            d.Command(id);
        EXPECT_EQ(TakeMessages(d),
                  (std::vector<std::wstring>{L"Duplicate|Select texture first", L"Rename|Select texture first",
                                             L"Format change|Select texture first", L"Delete|Select texture first",
                                             L"Replace|Select texture first"}));

        // Cancel in every dialog, a name typed or not: Escape, the Cancel button, the close box.
        d.Select(list, 1);
        const std::tuple<WORD, const wchar_t*, int> cancels[] = {
            {IDM_TEXTURE_RENAME, L"Rename", VK_ESCAPE},
            {IDM_TEXTURE_DUPLICATE, L"Duplicate", IDCANCEL},
            {IDM_TEXTURE_FORMAT_CHANGE, L"Change format", SC_CLOSE}};
        for (const auto& [command, title, how] : cancels) {
            HWND dialog = d.Open(command, title);
            ASSERT_TRUE(dialog);
            if (command != IDM_TEXTURE_FORMAT_CHANGE) Driver::Type(GetDlgItem(dialog, IDC_TEXT_EDIT), L"NEVER");
            d.End(dialog, how);
        }
        for (WORD id : {IDM_TEXTURE_ADD, IDM_TEXTURE_REPLACE}) {
            d.Post(id);
            HWND chooser = d.WaitForDialog(kImportTitle);
            ASSERT_TRUE(chooser);
            d.Press(chooser, IDCANCEL);
        }
        EXPECT_EQ(d.Rows(list), 5);
        EXPECT_EQ(d.Cell(list, d.RowNamed(list, L"NIS_240_SX_INTERIOR"), 3), L"ARGB");
        EXPECT_TRUE(TakeMessages(d).empty());
        EXPECT_EQ(d.StatusText(0), status);
        EXPECT_FALSE(Modified(d));

        // The last texture of a pack stays.
        d.DoubleClick(d.editor.FileList(), 2);
        for (int time = 0; time < 3; ++time) {
            d.Select(list, 0);
            d.Command(IDM_TEXTURE_DELETE);
        }
        EXPECT_EQ(d.Rows(list), 1);
        EXPECT_EQ(TakeMessages(d), std::vector<std::wstring>{L"Delete|The file must contain at least one texture."});
    });
}

TEST_F(TextureCommands, DialogsCheckWhatIsChosenAndNamesAreUnique) {
    Run(WithSample(), [&](Driver& d) {
        ListView* list = d.editor.TextureList();
        const int interior = d.RowNamed(list, L"NIS_240_SX_INTERIOR");
        d.Select(list, interior);
        // Format change opened with no remembered format: nothing selected, OK refuses.
        HWND dialog = d.Open(IDM_TEXTURE_FORMAT_CHANGE, L"Change format");
        ASSERT_TRUE(dialog);
        HWND combo = GetDlgItem(dialog, IDC_FORMAT_COMBO);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);
        d.Press(dialog, IDOK);
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(TakeMessages(d), std::vector<std::wstring>{L"Format change|Select texture format first"});
        SendMessageW(combo, CB_SETCURSEL, 2, 0); // DXT5
        d.Press(dialog, IDOK);
        EXPECT_EQ(d.Cell(list, interior, 3), L"DXT5");
        EXPECT_EQ(d.StatusText(0), L"NIS_240_SX_INTERIOR format change ARGB -> DXT5");
        EXPECT_TRUE(Modified(d));
        EXPECT_EQ(d.Ui([&] { return uint32_t(d.editor.Settings().formatChangeSelection); }), kFormatDXT5);

        // The format it already has: silent. The dialog opens on the remembered one.
        d.Ui([&] { d.editor.Container()->modified = false; });
        dialog = d.Open(IDM_TEXTURE_FORMAT_CHANGE, L"Change format");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_FORMAT_COMBO)), L"DXT5");
        d.Shoot(dialog, "dialog-format-change");
        d.Press(dialog, IDOK);
        EXPECT_EQ(d.StatusText(0), L"NIS_240_SX_INTERIOR format change ARGB -> DXT5");
        EXPECT_FALSE(Modified(d));

        // A conversion that fails: the error is shown, the texture and the flag stay.
        detail::InjectConversionFailure("compress", HResult(0x80004005));
        d.Post(IDM_TEXTURE_FORMAT_CHANGE);
        d.ChooseFormat(L"Change format", 0); // DXT1
        detail::InjectConversionFailure("compress", kOk);
        EXPECT_EQ(d.StatusText(0), L"ERROR: Failed to compress the texture. Error code: 0x80004005");
        EXPECT_EQ(d.Cell(list, interior, 3), L"DXT5");
        EXPECT_FALSE(Modified(d));

        dialog = d.Open(IDM_TEXTURE_RENAME, L"Rename");
        ASSERT_TRUE(dialog);
        HWND edit = GetDlgItem(dialog, IDC_TEXT_EDIT), ok = GetDlgItem(dialog, IDOK);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_TEXT_LABEL)), L"Enter texture name:");
        EXPECT_EQ(Driver::Text(edit), L"NIS_240_SX_INTERIOR");
        EXPECT_TRUE(IsWindowEnabled(ok)); // until the text is first edited
        d.Shoot(dialog, "dialog-rename");

        char badging[16];
        std::snprintf(badging, sizeof badging, "0x%08X", NameHash("NIS_240_SX_BADGING"));
        // {typed, OK enabled}: the own name, another's hash spelt differently
        // (its name is the command line's test) and the empty text are all taken.
        const std::pair<std::wstring, bool> cases[] = {{L"NIS_240_SX_INTERIOR", false},
                                                       {std::wstring(badging, badging + 10), false},
                                                       {L"", false},
                                                       {L"Road", true}};
        for (const auto& [typed, enabled] : cases) {
            Driver::Type(edit, typed);
            EXPECT_EQ(IsWindowEnabled(ok) != 0, enabled) << std::string(typed.begin(), typed.end());
        }
        // No more than 64 characters go in.
        Driver::Type(edit, std::wstring(70, L'x'));
        EXPECT_EQ(Driver::Text(edit).size(), 64u);
        Driver::Type(edit, L"Road");
        d.Key(edit, VK_RETURN); // Enter is OK
        EXPECT_EQ(d.Cell(list, interior, 0), L"Road");
        EXPECT_EQ(d.StatusText(0), L"Renamed texture: NIS_240_SX_INTERIOR -> Road");
        EXPECT_TRUE(Modified(d));

        // Added files take the first free name of road, road_1, road_2 ...;
        // "Road" does not hold "road" (names compare case-sensitively).
        for (const wchar_t* expected : {L"road", L"road_1", L"road_2"}) {
            d.Post(IDM_TEXTURE_ADD);
            d.ChooseFile(kImportTitle, road);
            EXPECT_EQ(d.StatusText(0), std::wstring(L"Added texture: ") + expected);
            const int last = d.Rows(list) - 1;
            EXPECT_EQ(d.Cell(list, last, 0), expected);
            EXPECT_EQ(d.FocusedRow(list), last);
        }
        EXPECT_EQ(d.StatusText(2), L"Files: 3 Textures: 15");
        EXPECT_EQ(d.Cell(d.editor.FileList(), 0, 3), L"8");

        // A file that is no image: the pack keeps its textures.
        const auto broken = folder.path() / "broken.png";
        WriteFile(broken, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
        d.Post(IDM_TEXTURE_ADD);
        d.ChooseFile(kImportTitle, broken);
        EXPECT_EQ(d.Rows(list), 8);
        EXPECT_EQ(d.StatusText(0), L"ERROR: Failed to add the file: " + broken.wstring());
        const auto shown = TakeMessages(d);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].starts_with(L"Add Texture|Failed to add the file: " + broken.wstring() +
                                         L"\r\n\r\nERROR: Unable to load the file: "))
            << std::string(shown[0].begin(), shown[0].end());

        // Duplicate of road_2 under a free name lands at the end, selected. Names
        // are Windows-1252 bytes whatever the system's code page: "\u00e9\u20ac" is E9 80.
        dialog = d.Open(IDM_TEXTURE_DUPLICATE, L"Duplicate");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_TEXT_EDIT)), L"road_2");
        Driver::Type(GetDlgItem(dialog, IDC_TEXT_EDIT), L"road_caf\u00e9\u20ac");
        d.Press(dialog, IDOK);
        EXPECT_EQ(d.StatusText(0), L"Duplicated texture: road_2 -> road_caf\u00e9\u20ac");
        EXPECT_EQ(d.Cell(list, d.FocusedRow(list), 0), L"road_caf\u00e9\u20ac");
        EXPECT_EQ(d.Ui([&] { return static_cast<TextureObject*>(list->GetSelectedItem()->GetData())->name; }),
                  "road_caf\xE9\x80");
        // Rename shows the name as the list does, and taken back it is the texture's own (taken) name.
        dialog = d.Open(IDM_TEXTURE_RENAME, L"Rename");
        ASSERT_TRUE(dialog);
        edit = GetDlgItem(dialog, IDC_TEXT_EDIT);
        EXPECT_EQ(Driver::Text(edit), L"road_caf\u00e9\u20ac");
        Driver::Type(edit, L"road_caf\u00e9\u20ac");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        d.Press(dialog, IDCANCEL);
    });
    const std::string log = LogText(); // UTF-8
    for (const char* line : {"Renamed texture: NIS_240_SX_INTERIOR -> Road", "Added texture: road_2",
                             "Duplicated texture: road_2 -> road_caf\xC3\xA9\xE2\x82\xAC"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

// Edit in the window, File > Save, then a fresh look at the file on disk.
TEST_F(TextureCommands, SavedArchiveHoldsEveryEdit) {
    const ScratchImage picture = test::TestPicture(64), big = test::TestPicture(128);
    const auto badge = folder.path() / "badge.png";
    ASSERT_EQ(SaveToImageFile(*big.GetImage(0, 0, 0), ImageFileFormat::PNG, badge), kOk);
    Run(WithSample(), [&](Driver& d) {
        ListView* list = d.editor.TextureList();
        // Keyboard: F2 renames, Delete deletes; a double-click on a row replaces.
        ASSERT_TRUE(d.SelectNamed(list, L"NIS_240_SX_BADGING"));
        d.Key(list->window, VK_F2);
        d.AnswerText(L"Rename", L"BADGE");
        ASSERT_TRUE(d.SelectNamed(list, L"NIS_240_SX_TIRE"));
        d.Key(list->window, VK_DELETE);
        EXPECT_EQ(d.StatusText(0), L"Deleted texture: NIS_240_SX_TIRE");

        d.DoubleClick(list, d.RowNamed(list, L"BADGE"), true);
        d.ChooseFile(kImportTitle, badge);
        EXPECT_EQ(d.StatusText(0), L"Texture BADGE has been updated.");
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentImportFolder; }), folder.path().wstring());

        // Through the dialogs: Duplicate with a name typed, then Format change
        // to each format of the dialog (-1: none); RGBA from a block format.
        d.Post(IDM_TEXTURE_ADD);
        d.ChooseFile(kImportTitle, road);
        const std::tuple<const wchar_t*, const wchar_t*, int> copies[] = {{L"road", L"road_copy", -1},
                                                                          {L"road", L"fmt_dxt1", 0},
                                                                          {L"road", L"fmt_dxt3", 1},
                                                                          {L"road", L"fmt_dxt5", 2},
                                                                          {L"fmt_dxt1", L"fmt_rgba", 3}};
        for (const auto& [source, name, choice] : copies) {
            ASSERT_TRUE(d.SelectNamed(list, source));
            d.Post(IDM_TEXTURE_DUPLICATE);
            d.AnswerText(L"Duplicate", name);
            if (choice < 0) continue;
            d.Post(IDM_TEXTURE_FORMAT_CHANGE);
            d.ChooseFormat(L"Change format", choice);
        }
        EXPECT_TRUE(TakeMessages(d).empty());

        d.Command(IDM_FILE_SAVE);
        EXPECT_EQ(d.StatusText(0), L"The changes have been saved.");
        EXPECT_FALSE(Modified(d));
        // The entries behind the grown pack moved (how, is the core's test):
        // the window's agree with a fresh scan, and the last one still opens.
        const auto entries = d.Ui([&] { return d.editor.OpenedDocument().entries; });
        const Document scanned = OpenDocument(sample, false, Host{});
        for (uint32_t id = 0; id < 3; ++id) EXPECT_EQ(scanned.entries.at(id).offset, entries.at(id).offset) << id;
        d.DoubleClick(d.editor.FileList(), 2);
        EXPECT_EQ(d.Rows(list), 3);
    });

    Document document = OpenDocument(sample, false, Host{});
    const auto pack = OpenEntry(document, document.entries.at(0), Host{});
    std::map<std::string, const TextureObject*> byName;
    size_t count = 0;
    pack->ForEachTexture([&](TextureObject* t) {
        EXPECT_EQ(t->hash, NameHash(t->name)) << t->name;
        byName[t->name] = t;
        ++count;
    });
    EXPECT_EQ(count, 10u); // five, less one deleted, and six new
    EXPECT_EQ(byName.count("NIS_240_SX_TIRE") + byName.count("NIS_240_SX_BADGING"), 0u);
    EXPECT_EQ(byName.count("NIS_240_SX_INTERIOR"), 1u);
    // {name, format, largest mean error per channel}
    const std::tuple<const char*, uint32_t, double> expected[] = {
        {"road", kFormatARGB, 0.0},     {"road_copy", kFormatARGB, 0.0}, {"fmt_dxt1", kFormatDXT1, 4.0},
        {"fmt_dxt3", kFormatDXT3, 4.0}, {"fmt_dxt5", kFormatDXT5, 4.0},  {"fmt_rgba", kFormatARGB, 4.0}};
    ASSERT_EQ(byName.count("BADGE"), 1u);
    EXPECT_EQ(byName["BADGE"]->format, kFormatDXT5);
    EXPECT_LE(MeanError(*byName["BADGE"], big), 4.0);
    for (const auto& [name, format, error] : expected) {
        ASSERT_EQ(byName.count(name), 1u) << name;
        const TextureObject& t = *byName[name];
        EXPECT_EQ(t.format, format) << name;
        EXPECT_EQ(t.width * 1000 + t.height, 64u * 1000 + 64) << name;
        EXPECT_LE(MeanError(t, picture), error) << name;
    }
}

} // namespace
} // namespace zelko
