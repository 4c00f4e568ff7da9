// Add/Replace from folder, dropped image files and the export commands, as a
// user drives them; and the same results from the command-line tool.
#include "editor_harness.h"

#include "cli/Cli.h"
#include "container/Editing.h"
#include "format/NameHash.h"
#include "imaging/Dds.h"
#include "imaging/ImageFile.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

#include <shlobj.h>

#include <fstream>

namespace zelko {
namespace {

using test::Driver;

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

class TransferCommands : public test::EditorTest {
protected:
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
};

TEST_F(TransferCommands, FolderImportReplacesByHashAddsTheRestAndListsFailures) {
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
        d.Shoot(result, "dialog-result");
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

TEST_F(TransferCommands, FolderImportIntoAnArchivePatchedInPlaceOnlyReplaces) {
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

TEST_F(TransferCommands, ExportNamesFilesByTheChosenFormatAndReadsAllFromDisk) {
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
        {
            std::fstream file(sample, std::ios::binary | std::ios::in | std::ios::out);
            file.seekp(second.offset + 8);
            const std::string junk(second.size - 8, '\xFF');
            file.write(junk.data(), std::streamsize(junk.size()));
        }
        const auto damaged = Folder("damaged");
        Export(d, IDM_TEXTURE_EXPORT_ARCHIVE, damaged, 0);
        EXPECT_EQ(FilesIn(damaged).size(), 8u); // the first and third packs
        EXPECT_NE(LogText().find("ERROR: 2 Texture file: "), std::string::npos);
    });
}

TEST_F(TransferCommands, WindowAndCommandLineGiveTheSameFilesAndPack) {
    const auto copy = folder.path() / "copy.bin";
    std::filesystem::copy_file(sample, copy);
    const auto in = Folder("in"), windowOut = Folder("window"), toolOut = Folder("tool");
    WritePicture(in / "NIS_240_SX_INTERIOR.png", 32, 70);
    WritePicture(in / "decal.png", 16, 80);
    Run(WithSample(), [&](Driver& d) {
        ImportFolder(d, in);
        d.Command(IDM_FILE_SAVE);
        Export(d, IDM_TEXTURE_EXPORT_LIST, windowOut, 5);
    });
    EXPECT_EQ(cli::Run({"import", copy.string(), in.string(), "--no-backup"}), cli::kExitOk);
    EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(sample));
    EXPECT_EQ(cli::Run({"export", copy.string(), "--format", "png", "--out", toolOut.string()}), cli::kExitOk);
    const auto files = FilesIn(windowOut);
    EXPECT_EQ(files.size(), 6u);
    EXPECT_EQ(FilesIn(toolOut), files);
    for (const auto& file : files) EXPECT_EQ(ReadFileBytes(windowOut / file), ReadFileBytes(toolOut / file)) << file;
}

} // namespace
} // namespace zelko
