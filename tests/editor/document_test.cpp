// Opening archives in the main window: the file list, the texture list with
// its thumbnails, the status bar, the preview, saving and failures.
#include "editor_harness.h"

#include "editor/Ids.h"
#include "texture/TextureObject.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace zelko {
namespace {

using test::Driver;

class EditorDocument : public test::EditorTest {
protected:
    std::string LogText() {
        std::ifstream in(folder.path() / "log.txt", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

TEST_F(EditorDocument, SampleFromTheCommandLineListsItsPacksAndFirstTextures) {
    Run(WithSample(), [&](Driver& d) {
        ListView* files = d.editor.FileList();
        ASSERT_EQ(d.Rows(files), 3);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(d.Cell(files, row, 0) + L" " + d.Cell(files, row, 1), std::to_wstring(row + 1) + L" Texture file");
        }
        EXPECT_EQ(d.Cell(files, 0, 3), L"5");
        EXPECT_EQ(d.Cell(files, 1, 3), L"4");
        EXPECT_EQ(d.Cell(files, 2, 3), L"3");
        EXPECT_EQ(d.StatusText(2), L"Files: 3 Textures: 12");
        EXPECT_EQ(d.StatusText(1), L"1 Texture file");
        EXPECT_EQ(d.StatusText(3), L"PC");
        EXPECT_EQ(d.StatusText(0).rfind(L"Loaded sample.bin [", 0), 0u) << d.StatusText(0);
        EXPECT_EQ(d.Title(), sample.wstring() + L" - ZRC-Zelko v1.7 by korvane");
        EXPECT_EQ(d.FocusedRow(files), 0);

        ListView* textures = d.editor.TextureList();
        ASSERT_EQ(d.Rows(textures), 5);
        const int badge = d.RowNamed(textures, L"NIS_240_SX_BADGING");
        ASSERT_GE(badge, 0);
        EXPECT_EQ(d.Cell(textures, badge, 1), L"128");
        EXPECT_EQ(d.Cell(textures, badge, 2), L"128");
        EXPECT_EQ(d.Cell(textures, badge, 3), L"DXT5");
        EXPECT_EQ(d.Cell(textures, badge, 4), L"8");
        const int interior = d.RowNamed(textures, L"NIS_240_SX_INTERIOR");
        ASSERT_GE(interior, 0);
        EXPECT_EQ(d.Cell(textures, interior, 1), L"128");
        EXPECT_EQ(d.Cell(textures, interior, 2), L"64");
        EXPECT_EQ(d.Cell(textures, interior, 3), L"ARGB");
        // One 32 x 32 thumbnail per texture, each row showing its own.
        auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(textures->window, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        EXPECT_EQ(d.Ui([&] { return ImageList_GetImageCount(images); }), 5);
        for (int row = 0; row < 5; ++row) {
            LVITEMW item{};
            item.mask = LVIF_IMAGE;
            item.iItem = row;
            SendMessageW(textures->window, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            EXPECT_GE(item.iImage, 0);
        }
        // The first row is focused and previewed at its own size.
        EXPECT_EQ(d.FocusedRow(textures), 0);
        EXPECT_TRUE(d.Ui([&] { return d.editor.Preview() != nullptr; }));
        EXPECT_TRUE(d.MenuGreyed(IDM_FILE_OPEN) == false);
        EXPECT_FALSE(d.MenuGreyed(IDM_FILE_SAVE));
        EXPECT_FALSE(d.MenuGreyed(IDM_TEXTURE_ADD));
        EXPECT_FALSE(d.MenuGreyed(IDM_TEXTURE_EXPORT_ARCHIVE));
    });
}

TEST_F(EditorDocument, ActivatingAnotherEntryFillsTheTextureListWithItsTextures) {
    Run(WithSample(), [&](Driver& d) {
        ListView* files = d.editor.FileList();
        ListView* textures = d.editor.TextureList();
        d.DoubleClick(files, 1);
        EXPECT_EQ(d.StatusText(1), L"2 Texture file");
        ASSERT_EQ(d.Rows(textures), 4);
        std::vector<std::wstring> names;
        for (int row = 0; row < 4; ++row) names.push_back(d.Cell(textures, row, 0));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::wstring>{L"FRONTEND_LOGO", L"LOADING_SCREEN_01", L"LOADING_SCREEN_02",
                                                    L"WARNING_STRIPES"}));
        const int logo = d.RowNamed(textures, L"FRONTEND_LOGO");
        EXPECT_EQ(d.Cell(textures, logo, 1), L"256");
        EXPECT_EQ(d.Cell(textures, logo, 2), L"128");
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentFileIndex; }), 1);

        d.DoubleClick(files, 2);
        EXPECT_EQ(d.Rows(textures), 3);
        EXPECT_EQ(d.StatusText(1), L"3 Texture file");
        const int normal = d.RowNamed(textures, L"ROAD_ASPHALT_N");
        ASSERT_GE(normal, 0);
        EXPECT_EQ(d.Cell(textures, normal, 3), L"BC5");
    });
}

TEST_F(EditorDocument, ReloadKeepsTheEntryAndTheFocusedTexture) {
    Run(WithSample(), [&](Driver& d) {
        ListView* textures = d.editor.TextureList();
        d.DoubleClick(d.editor.FileList(), 1);
        const int stripes = d.RowNamed(textures, L"WARNING_STRIPES");
        ASSERT_GE(stripes, 0);
        d.Select(textures, stripes);
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(d.StatusText(1), L"2 Texture file");
        EXPECT_EQ(d.FocusedRow(d.editor.FileList()), 1);
        const int focused = d.FocusedRow(textures);
        ASSERT_GE(focused, 0);
        EXPECT_EQ(d.Cell(textures, focused, 0), L"WARNING_STRIPES");
    });
}

// Pixel (x, y) of the preview DIB, rows counted bottom-up as in memory.
uint32_t PreviewPixel(Driver& d, int x, int y) {
    return d.Ui([&]() -> uint32_t {
        const PreviewBitmap* preview = d.editor.Preview();
        if (!preview || x >= preview->Width() || y >= preview->Height()) return 0xDEADBEEF;
        const uint8_t* p = preview->Bits() + (size_t(y) * preview->Width() + x) * 4;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;  // 0xRRGGBB
    });
}

TEST_F(EditorDocument, PreviewShowsTheFocusedTextureOverTheCheckerboardWhenAlphaIsOn) {
    Run(WithSample(), [&](Driver& d) {
        ListView* textures = d.editor.TextureList();
        const int badge = d.RowNamed(textures, L"NIS_240_SX_BADGING");
        ASSERT_GE(badge, 0);
        d.Select(textures, badge);
        EXPECT_TRUE(d.Ui([&] { return d.editor.Settings().showAlphaChannel; }));  // the default
        ASSERT_EQ(d.Ui([&] { return d.editor.Preview() ? d.editor.Preview()->Width() : 0; }), 128);
        // The badge's corners are transparent: cyan in the first square, magenta in the next.
        EXPECT_EQ(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_EQ(PreviewPixel(d, 40, 0), 0xFF00FFu);
        EXPECT_EQ(PreviewPixel(d, 0, 127), 0xFF00FFu);
        EXPECT_EQ(PreviewPixel(d, 127, 127), 0x00FFFFu);
        const uint32_t centre = PreviewPixel(d, 64, 64);  // opaque: its own colour either way

        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel disabled.");
        EXPECT_NE(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_NE(PreviewPixel(d, 40, 0), 0xFF00FFu);
        EXPECT_EQ(PreviewPixel(d, 64, 64), centre);

        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel enabled.");
        EXPECT_EQ(PreviewPixel(d, 0, 0), 0x00FFFFu);
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentTextureIndex; }),
                  d.Ui([&] {
                      auto* item = d.editor.TextureList()->GetSelectedItem();
                      return item ? static_cast<TextureObject*>(item->GetData())->hash : 0u;
                  }));
    });
}

TEST_F(EditorDocument, PreviewPaneIsPaintedBesideTheListsWithTheTexture) {
    Run(WithSample(), [&](Driver& d) {
        const int row = d.RowNamed(d.editor.TextureList(), L"NIS_240_SX_INTERIOR");
        ASSERT_GE(row, 0);
        d.Select(d.editor.TextureList(), row);
        RECT pane = d.Ui([&] { return d.editor.PreviewArea(); });
        RECT files = d.ChildRect(d.editor.FileList()->window);
        EXPECT_EQ(pane.left, files.right);
        EXPECT_GT(pane.right - pane.left, 300);
        // Render the window into a bitmap and compare the pane's pixels with the DIB.
        auto pixels = d.Ui([&] {
            std::vector<uint32_t> out;
            WindowDc screen(d.window);
            MemoryDcHandle memory(CreateCompatibleDC(screen.Get()));
            BITMAPINFO info = test::TopDownInfo(pane.right, pane.bottom);
            void* bits = nullptr;
            BitmapHandle bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
            {
                SelectedObject selected(memory.Get(), bitmap.Get());
                PAINTSTRUCT paint{};
                d.editor.OnPaint(paint, memory.Get());
            }
            auto* p = static_cast<uint32_t*>(bits);
            out.assign(p, p + size_t(pane.right) * pane.bottom);
            return out;
        });
        auto at = [&](int x, int y) { return pixels[size_t(y) * pane.right + x] & 0xFFFFFF; };
        EXPECT_EQ(at(pane.left, pane.top + 5), 0x000000u);            // the outline
        EXPECT_EQ(at(pane.right - 3, pane.bottom - 3), 0xFFFFFFu);    // the pane's fill
        // The 128 x 64 texture sits at (1, 1), top row first on screen.
        EXPECT_EQ(at(pane.left + 1 + 3, pane.top + 1 + 3), PreviewPixel(d, 3, 63 - 3));
        EXPECT_EQ(at(pane.left + 1 + 100, pane.top + 1 + 50), PreviewPixel(d, 100, 63 - 50));
        EXPECT_EQ(at(pane.left + 1 + 128 + 2, pane.top + 10), 0xFFFFFFu);
    });
}

TEST_F(EditorDocument, MalformedArchiveShowsTheErrorAndChangesNothingElse) {
    const auto bad = folder.path() / "broken.bin";
    WriteFile(bad, {0x78, 0x56, 0x34, 0x12, 4, 0, 0, 0, 1, 2, 3, 4});
    Run(Environment({L"ZRC-Zelko.exe", bad.wstring()}), [&](Driver& d) {
        EXPECT_EQ(d.StatusText(0), L"ERROR: " + bad.wstring() + L" - The file is not supported");
        EXPECT_EQ(d.Rows(d.editor.FileList()), 0);
        EXPECT_EQ(d.Rows(d.editor.TextureList()), 0);
        EXPECT_EQ(d.Title(), L"ZRC-Zelko v1.7 by korvane");
        EXPECT_TRUE(d.MenuGreyed(IDM_FILE_SAVE));
        EXPECT_TRUE(d.MenuGreyed(IDM_TEXTURE_ADD));
        EXPECT_EQ(d.StatusText(2), L"");
        EXPECT_TRUE(d.Ui([&] { return d.editor.Settings().recentFilePath.empty(); }));
        EXPECT_TRUE(IsWindowEnabled(d.window));
    });
    EXPECT_NE(LogText().find(" | ERROR: " + bad.string() + " - The file is not supported\r\n"), std::string::npos);
}

// Records every text of the status bar's first part and whether the main
// window took input at that moment.
struct StatusRecord {
    std::wstring text;
    bool windowEnabled;
};

LRESULT CALLBACK RecordStatus(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    if (message == SB_SETTEXTW && LOBYTE(LOWORD(wParam)) == 0) {
        reinterpret_cast<std::vector<StatusRecord>*>(data)->push_back(
            {reinterpret_cast<const wchar_t*>(lParam), IsWindowEnabled(GetParent(bar)) != FALSE});
    }
    return DefSubclassProc(bar, message, wParam, lParam);
}

TEST_F(EditorDocument, ScanDisablesTheWindowAndShowsItsProgress) {
    // The sample followed by 300 empty padding chunks: enough for progress texts.
    auto bytes = MakeSampleArchive();
    bytes.resize(bytes.size() + 300 * 8, 0);
    const auto big = folder.path() / "padded.bin";
    WriteFile(big, bytes);
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        std::vector<StatusRecord> seen;
        d.Ui([&] {
            HWND bar = d.editor.StatusBar()->window;
            SetWindowSubclass(bar, &RecordStatus, 1, reinterpret_cast<DWORD_PTR>(&seen));
            d.editor.OpenDocumentPath(big.wstring());
            RemoveWindowSubclass(bar, &RecordStatus, 1);
        });
        ASSERT_GE(seen.size(), 4u);
        EXPECT_EQ(seen.front().text.rfind(L"Loading " + big.wstring() + L" (", 0), 0u) << seen.front().text;
        EXPECT_FALSE(seen.front().windowEnabled);
        int progress = 0;
        for (const auto& record : seen) {
            if (record.text.rfind(L"Loading... ", 0) == 0 && record.text.back() == L'%') {
                ++progress;
                EXPECT_FALSE(record.windowEnabled) << record.text;
            }
        }
        EXPECT_GE(progress, 2);
        EXPECT_EQ(seen.back().text.rfind(L"Loaded padded.bin [", 0), 0u) << seen.back().text;
        EXPECT_TRUE(seen.back().windowEnabled);
        EXPECT_EQ(d.StatusText(2), L"Files: 3 Textures: 12");
    });
}

TEST_F(EditorDocument, MissingAndEmptyFilesAreReportedAndOpenNothing) {
    const auto empty = folder.path() / "empty.bin";
    WriteFile(empty, {});
    const auto missing = folder.path() / "missing.bin";
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        d.Ui([&] { d.editor.OpenDocumentPath(empty.wstring()); });
        EXPECT_EQ(d.StatusText(0), L"ERROR: The file is empty: " + empty.wstring());
        d.Ui([&] { d.editor.OpenDocumentPath(missing.wstring()); });
        EXPECT_EQ(d.StatusText(0), L"ERROR: Unable to open the file: " + missing.wstring());
        EXPECT_EQ(d.Rows(d.editor.FileList()), 0);
        EXPECT_TRUE(d.MenuGreyed(IDM_FILE_CLOSE));
        // A relative path is remembered in full, for a start in another folder.
        d.Ui([&] {
            const auto previous = std::filesystem::current_path();
            std::filesystem::current_path(folder.path());
            d.editor.OpenDocumentPath(L"sample.bin");
            std::filesystem::current_path(previous);
        });
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentFilePath; }), sample.wstring());
    });
}

TEST_F(EditorDocument, LogFileRecordsLoadingAndLoadedLines) {
    Run(WithSample(), [&](Driver& d) {});
    const std::string log = LogText();
    EXPECT_NE(log.find(" | Loading " + sample.string() + " ("), std::string::npos) << log;
    EXPECT_NE(log.find(" | Loaded sample.bin ["), std::string::npos) << log;
    // Every line: "YYYY-MM-DD HH:MM:SS | text" with CR LF.
    size_t start = 0, lines = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(log.substr(start + 19, 3), " | ");
        start = end + 2;
        ++lines;
    }
    EXPECT_GE(lines, 2u);
}

TEST_F(EditorDocument, SaveWritesThePackAndMovesTheEntriesBehindIt) {
    Run(WithSample(), [&](Driver& d) {
        // Shrink the first pack by one texture, as Delete will.
        const auto before = d.Ui([&] { return d.editor.OpenedDocument().entries; });
        d.Ui([&] {
            IBinFile* container = d.editor.Container();
            TextureObject* tire = container->FindTexture("NIS_240_SX_TIRE");
            ASSERT_NE(tire, nullptr);
            ASSERT_TRUE(container->DeleteTexture(tire));
            container->modified = true;
        });
        d.Command(IDM_FILE_SAVE);
        EXPECT_EQ(d.StatusText(0), L"The changes have been saved.");
        const auto after = d.Ui([&] { return d.editor.OpenedDocument().entries; });
        EXPECT_FALSE(d.Ui([&] { return d.editor.HasUnsavedChanges(); }));
        EXPECT_LT(after.at(0).size, before.at(0).size);
        EXPECT_EQ(after.at(0).offset, before.at(0).offset);
        const int64_t change = int64_t(after.at(1).offset) - int64_t(before.at(1).offset);
        EXPECT_LT(change, 0);
        EXPECT_EQ(int64_t(after.at(1).offset), int64_t(before.at(1).offset) + change);
        EXPECT_EQ(int64_t(after.at(2).offset), int64_t(before.at(2).offset) + change);
        // The moved entries still open, and a fresh scan agrees with them.
        d.DoubleClick(d.editor.FileList(), 2);
        EXPECT_EQ(d.Rows(d.editor.TextureList()), 3);
        Document scanned = OpenDocument(sample, false, Host{});
        ASSERT_EQ(scanned.entries.size(), 3u);
        for (uint32_t id = 0; id < 3; ++id) EXPECT_EQ(scanned.entries.at(id).offset, after.at(id).offset) << id;
        EXPECT_EQ(scanned.entries.at(0).textureCount, 4u);
    });
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "sample.bin.bak") ||
                std::filesystem::exists(folder.path() / "sample.bak"));
}

TEST_F(EditorDocument, WorldFolderOpensAsOneEntryWithoutLayoutCommands) {
    const auto world = folder.path() / "world";
    std::filesystem::create_directories(world);
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        d.Ui([&] { d.editor.OpenWorldFolderPath(world.wstring()); });
        ListView* files = d.editor.FileList();
        ASSERT_EQ(d.Rows(files), 1);
        EXPECT_EQ(d.Cell(files, 0, 0) + L" " + d.Cell(files, 0, 1), L"1 ZRC World Thumbnails (.stp)");
        EXPECT_EQ(d.Rows(d.editor.TextureList()), 0);
        EXPECT_EQ(d.Title(), world.wstring() + L" - ZRC-Zelko v1.7 by korvane");
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentFileType; }), 1);
        // The folder cannot change its layout: Add and friends stay greyed, Replace does not.
        EXPECT_FALSE(d.MenuGreyed(IDM_FILE_SAVE));
        EXPECT_FALSE(d.MenuGreyed(IDM_TEXTURE_REPLACE));
        EXPECT_FALSE(d.MenuGreyed(IDM_TEXTURE_EXPORT_CHECKED));
        for (UINT id : {IDM_TEXTURE_ADD, IDM_TEXTURE_RENAME, IDM_TEXTURE_DUPLICATE, IDM_TEXTURE_DELETE,
                        IDM_TEXTURE_FORMAT_CHANGE}) {
            EXPECT_TRUE(d.MenuGreyed(id)) << id;
        }
        // Reload opens it as a folder again.
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(d.Rows(files), 1);
        EXPECT_EQ(d.StatusText(1), L"1 ZRC World Thumbnails (.stp)");
    });
}

TEST_F(EditorDocument, FailedSaveReportsThePathAndClearsTheChangedFlag) {
    Run(WithSample(), [&](Driver& d) {
        d.Ui([&] { d.editor.Container()->modified = true; });
        std::filesystem::remove(sample);  // nothing left to rewrite
        d.Command(IDM_FILE_SAVE);
        EXPECT_EQ(d.StatusText(0), L"ERROR: Failed to save " + sample.wstring());
        EXPECT_FALSE(d.Ui([&] { return d.editor.HasUnsavedChanges(); }));
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);  // the document stays open
    });
    EXPECT_NE(LogText().find(" | ERROR: Failed to save " + sample.string() + "\r\n"), std::string::npos);
}

} // namespace
} // namespace zelko
