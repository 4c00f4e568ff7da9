// The Texture menu as a user drives it: the real dialogs, the refusals, the
// texts in the status bar and the log, and what a save then holds on disk;
// Add/Replace from folder, dropped image files and the export commands.
#include "editor_harness.h"

#include "container/Editing.h"
#include "format/NameHash.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "texture/Conversion.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

#include <shlobj.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

namespace zelko {
namespace {

using test::Driver;

const std::wstring kImportTitle = L"ZRC-Zelko v1.7 by korvane | Select texture to import";

// Mean absolute difference per colour channel between the texture's top
// level and the picture, both as the preview shows them.
double MeanError(const TextureObject& texture, const ScratchImage& picture) {
    const auto shown = MakePreviewPixels(texture, false, std::nullopt), expected = BottomUpPixels(picture);
    if (!shown || !expected || shown->bgra.size() != expected->bgra.size()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < shown->bgra.size(); ++i)
        if (i % 4 != 3) sum += std::abs(int(shown->bgra[i]) - int(expected->bgra[i]));
    return sum / double(shown->bgra.size() * 3 / 4);
}

// A test picture (see TestPicture) written as the file's extension says.
void WritePicture(const std::filesystem::path& path, size_t side, uint8_t tone) {
    const ScratchImage picture = test::TestPicture(side, tone);
    const Image& level = *picture.GetImage(0, 0, 0);
    const auto format = ImageFileFormatFromExtension(path);
    ASSERT_TRUE(format.has_value());
    const HResult hr = *format == ImageFileFormat::DDS ? SaveToDDSFile(level, path)
                                                       : SaveToImageFile(level, *format, path);
    ASSERT_EQ(hr, kOk) << path.string();
}

// The blue of the texture's top-left pixel: which picture it holds.
int Tone(const TextureObject& texture) {
    auto shown = MakePreviewPixels(texture, false, std::nullopt);
    return shown ? shown->bgra[(shown->height - 1) * shown->width * 4] : -1;
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::directory_iterator(folder)) files.push_back(item.path().filename());
    std::sort(files.begin(), files.end());
    return files;
}

class TextureCommands : public test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        WritePicture(road, 64, 0);
    }
    std::filesystem::path Folder(const char* name) {
        const auto path = folder.path() / name;
        std::filesystem::create_directories(path);
        return path;
    }
    // Add/Replace from folder, the folder picker answered at the folder it opens on.
    static void ImportFolder(Driver& d, const std::filesystem::path& from) {
        d.Ui([&] { d.editor.Settings().recentImportFolder = from.wstring(); });
        d.Post(IDM_TEXTURE_IMPORT_FOLDER);
        HWND picker = d.WaitForDialogWhere([](HWND) { return true; });
        ASSERT_TRUE(picker);
        // The picker moves to its start folder a moment after it shows, and
        // its edit box then names that folder; the user picks it for certain.
        const std::wstring path = from.wstring();
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        for (int attempt = 0; attempt < 500 && Driver::Text(GetDlgItem(picker, 0x3745)) != from.filename().wstring();
             ++attempt)
            Sleep(10);
        EXPECT_EQ(Driver::Text(GetDlgItem(picker, 0x3745)), from.filename().wstring());
        d.Press(picker, IDOK);
        d.WaitIdle();
    }
    // An export command through the Export textures dialog.
    static void Export(Driver& d, WORD command, const std::filesystem::path& to, int format, bool hashNames = true) {
        d.Ui([&] {
            d.editor.Settings().recentExportFolder = to.wstring();
            d.editor.Settings().exportHashWhenTruncated = hashNames;
        });
        d.Post(command);
        d.ChooseFormat(L"Export textures", format);
        d.WaitIdle();
    }
    static void Check(Driver& d, int row) {
        LVITEMW state{};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageW(d.editor.TextureList()->window, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }

    std::filesystem::path road = folder.path() / "road.png";
};

TEST_F(TextureCommands, DialogsRefuseCancelAndCheckWhatIsChosenAndNamesAreUnique) {
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
        d.Shoot("dialog-format-change", dialog);
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
        d.Shoot("dialog-rename", dialog);

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

        // The last texture of a pack stays (the first pack's edits are let go).
        d.DoubleClick(d.editor.FileList(), 2);
        for (int time = 0; time < 3; ++time) {
            d.Select(list, 0);
            d.Command(IDM_TEXTURE_DELETE);
        }
        EXPECT_EQ(d.Rows(list), 1);
        EXPECT_EQ(TakeMessages(d),
                  (std::vector<std::wstring>{L"|There are unsaved changes. Do you want to SAVE the changes?",
                                             L"Delete|The file must contain at least one texture."}));
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
    WritePicture(badge, 128, 0);
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

TEST_F(TextureCommands, FolderImportReplacesByHashAddsTheRestAndListsFailures) {
    const auto empty = Folder("empty"), in = Folder("in"), bad = Folder("bad");
    // In path order: ROAD.jpg, road.dds, road.png, sky.png; the png of road comes last and wins.
    WritePicture(in / "ROAD.jpg", 32, 10);
    WritePicture(in / "road.dds", 32, 20);
    WritePicture(in / "road.png", 32, 30);
    WritePicture(in / "sky.png", 16, 40);
    WriteFile(bad / "road.txt", {'n', 'o'});
    WriteFile(bad / "notes.txt", {'n', 'o'});
    WritePicture(folder.path() / "dropped.png", 8, 50);
    Run(WithSample(), [&](Driver& d) {
        ListView* list = d.editor.TextureList();
        d.Ui([&] {
            IBinFile& pack = *d.editor.Container();
            RenameTexture(pack, *pack.FindTexture("NIS_240_SX_INTERIOR"), "road");
            pack.modified = false;
        });
        const std::wstring before = d.StatusText(0);
        ImportFolder(d, empty); // nothing to do, nothing said
        EXPECT_EQ(d.StatusText(0), before);
        EXPECT_FALSE(Modified(d));

        {
            test::StatusRecorder status(d);
            ImportFolder(d, in);
            EXPECT_EQ(status.Texts(),
                      (std::vector<std::wstring>{
                          L"Importing textures from folder " + in.wstring(), L"PROCESSING: Replacing (0%): ROAD",
                          L"PROCESSING: Replacing (25%): road", L"PROCESSING: Replacing (50%): road",
                          L"PROCESSING: Replacing (75%): sky", L"Processed textures: 4"}));
        }
        EXPECT_TRUE(TakeMessages(d).empty()); // no Result dialog
        EXPECT_EQ(Tone(*d.Ui([&] { return d.editor.Container()->FindTexture("road"); })), 30);
        EXPECT_EQ(d.Cell(list, d.RowNamed(list, L"road"), 1), L"32");
        EXPECT_EQ(d.Rows(list), 7); // ROAD (a hash of its own) and sky added
        EXPECT_EQ(d.Cell(list, d.FocusedRow(list), 0), L"sky");
        EXPECT_EQ(d.StatusText(2), L"Files: 3 Textures: 14");
        EXPECT_TRUE(Modified(d));

        // Files that are no images: listed with the reason, the run goes on.
        ImportFolder(d, bad);
        HWND result = d.Dialog(L"Result");
        ASSERT_TRUE(result);
        EXPECT_EQ(Driver::Text(GetDlgItem(result, IDC_RESULT_HEADER)), L"Failed to add/replace the following file(s):");
        HWND rows = GetDlgItem(result, IDC_RESULT_LIST);
        ASSERT_EQ(Driver::Rows(rows), 2);
        for (int row = 0; row < 2; ++row) {
            const std::wstring text = Driver::Cell(rows, row, 0);
            const auto file = bad / (row == 0 ? "notes.txt" : "road.txt");
            EXPECT_TRUE(text.starts_with(file.wstring() + L": Unable to load the file"))
                << std::string(text.begin(), text.end());
        }
        EXPECT_GT(SendMessageW(rows, LVM_GETCOLUMNWIDTH, 0, 0), 100); // sized to the longest row
        d.Shoot("dialog-result", result);
        d.Key(rows, VK_RETURN);
        EXPECT_FALSE(IsWindow(result));
        EXPECT_EQ(d.StatusText(0), L"Processed textures: 0");

        // A dropped image file is taken alone, without the folder line.
        test::StatusRecorder status(d);
        d.Ui([&] { d.editor.OnDropFile((folder.path() / "dropped.png").wstring()); });
        EXPECT_EQ(status.Texts(),
                  (std::vector<std::wstring>{L"PROCESSING: Replacing (0%): dropped", L"Processed textures: 1"}));
        EXPECT_EQ(d.Rows(list), 8);
    });
}

TEST_F(TextureCommands, FolderImportIntoAnArchivePatchedInPlaceOnlyReplaces) {
    const auto stream = folder.path() / "STREAM_SAMPLE.BIN";
    std::filesystem::rename(sample, stream);
    const auto in = Folder("in");
    WritePicture(in / "NIS_240_SX_INTERIOR.dds", 32, 60); // fitted to the texture's 128 x 64
    WritePicture(in / "sky.png", 16, 40);
    const auto size = std::filesystem::file_size(stream);
    Run(Environment({L"ZRC-Zelko.exe", stream.wstring()}), [&](Driver& d) {
        ImportFolder(d, in);
        HWND result = d.Dialog(L"Result");
        ASSERT_TRUE(result);
        EXPECT_EQ(Driver::Cell(GetDlgItem(result, IDC_RESULT_LIST), 0, 0),
                  (in / "sky.png").wstring() + L": Could not find texture to replace");
        d.End(result, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(result));
        EXPECT_EQ(d.StatusText(0), L"Processed textures: 1");
        d.Command(IDM_FILE_SAVE);
        EXPECT_EQ(d.StatusText(0), L"The changes have been saved.");
    });
    EXPECT_EQ(std::filesystem::file_size(stream), size);
    Document document = OpenDocument(stream, false, Host{});
    auto pack = OpenEntry(document, document.entries.at(0), Host{});
    const TextureObject* interior = pack->FindTexture("NIS_240_SX_INTERIOR");
    ASSERT_NE(interior, nullptr);
    EXPECT_EQ(interior->width * 1000 + interior->height, 128u * 1000 + 64);
    EXPECT_EQ(Tone(*interior), 60);
}

TEST_F(TextureCommands, ExportNamesFilesByTheChosenFormatAndReadsAllFromDisk) {
    const auto out = Folder("out"), all = Folder("all");
    Run(WithSample(), [&](Driver& d) {
        ListView* list = d.editor.TextureList();
        d.Command(IDM_TEXTURE_EXPORT_CHECKED); // nothing checked: no dialog
        EXPECT_EQ(d.StatusText(0), L"No checked textures.");

        d.Ui([&] {
            IBinFile& pack = *d.editor.Container();
            RenameTexture(pack, *pack.FindTexture("NIS_240_SX_INTERIOR"), "wall");
            // A name cut short, of a hash no name list knows.
            TextureObject& cut = *pack.FindTexture("NIS_240_SX_TIRE");
            cut.hash = NameHash("NIS_240_SX_TIRE_UNLISTED");
            cut.name = "NIS_240_SX_TI";
        });
        char hash[16];
        std::snprintf(hash, sizeof hash, "0x%x", NameHash("NIS_240_SX_TIRE_UNLISTED"));
        // The rows still show the old texts. {row, format, hash names}: BMP
        // three times, PNG by hash and by the shown name, TIFF, JPEG.
        const int wall = d.RowNamed(list, L"NIS_240_SX_INTERIOR"), cut = d.RowNamed(list, L"NIS_240_SX_TIRE");
        const std::tuple<int, int, bool> checked[] = {{wall, 1, true}, {wall, 1, true}, {wall, 1, true}, {cut, 5, true},
                                                      {cut, 5, false}, {wall, 3, true}, {wall, 4, true}};
        for (const auto& [row, format, hashNames] : checked) {
            Check(d, row);
            Export(d, IDM_TEXTURE_EXPORT_CHECKED, out, format, hashNames);
            EXPECT_FALSE(d.Ui([&] { return d.editor.TextureList()->GetItems()[size_t(row)]->IsChecked(); }));
        }
        EXPECT_EQ(d.StatusText(0), L"Texture exported: wall");
        EXPECT_EQ(FilesIn(out),
                  (std::vector<std::filesystem::path>{std::string(hash) + ".png",
                                                      "NIS_240_SX_TI (" + std::string(hash) + ").png", "wall (1).bmp",
                                                      "wall (2).bmp", "wall.bmp", "wall.jpg", "wall.tiff"}));

        // Every texture of the list, as DDS (what each format holds is the command-line tool's test).
        Export(d, IDM_TEXTURE_EXPORT_LIST, all, 0);
        EXPECT_EQ(FilesIn(all).size(), 5u);
        EXPECT_TRUE(std::filesystem::exists(all / "NIS_240_SX_BADGING.dds"));

        // Export all from opened file reads the packs from disk: the unsaved
        // rename to "wall" is not there.
        const auto disk = Folder("disk");
        Export(d, IDM_TEXTURE_EXPORT_ARCHIVE, disk, 5);
        EXPECT_EQ(FilesIn(disk).size(), 12u);
        EXPECT_TRUE(std::filesystem::exists(disk / "NIS_240_SX_INTERIOR.png"));
        EXPECT_FALSE(std::filesystem::exists(disk / "wall.png"));
        EXPECT_TRUE(Modified(d)); // untouched by any export

        // A pack damaged on disk since the file was opened: reported, the others still written.
        const ArchiveEntry second = d.Ui([&] { return d.editor.OpenedDocument().entries.at(1); });
        auto bytes = ReadFileBytes(sample);
        std::fill_n(bytes.begin() + long(second.offset + 8), second.size - 8, 0xFF);
        WriteFile(sample, bytes);
        const auto damaged = Folder("damaged");
        Export(d, IDM_TEXTURE_EXPORT_ARCHIVE, damaged, 0);
        EXPECT_EQ(FilesIn(damaged).size(), 8u); // the first and third packs
        EXPECT_NE(LogText().find("ERROR: 2 Texture file: "), std::string::npos);
    });
}

} // namespace
} // namespace zelko
