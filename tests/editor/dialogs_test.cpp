// The five modal dialogs over the running editor: what they start with, what
// they refuse, what they hand back, and a picture of each in the build folder.
#include "editor_harness.h"

#include "texture/ImageFile.h"

namespace zelko {
namespace {

using test::Driver;

class Dialogs : public test::EditorTest {
protected:
    // The screen over the main window, with the dialog on top, as NAME.png.
    static void Shoot(Driver& d, HWND dialog, const std::string& name) {
        // The display maps a new window, and draws what it is sent, a moment later.
        Sleep(500);
        d.Ui([&] {
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            GdiFlush();
        });
        Sleep(300);
        ScratchImage shot = d.Ui([&] { return test::CaptureWindow(d.window); });
        ASSERT_NE(shot.GetImage(0, 0, 0), nullptr);
        EXPECT_EQ(SaveToImageFile(*shot.GetImage(0, 0, 0), ImageFileFormat::PNG, test::kBuildFolder / (name + ".png")), kOk);
    }
    // A control's rectangle in the dialog's units, as the template gives it.
    static std::vector<LONG> Units(HWND dialog, int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
        RECT units{0, 0, 4, 8};
        MapDialogRect(dialog, &units);
        return {MulDiv(r.left, 4, units.right), MulDiv(r.top, 8, units.bottom), MulDiv(r.right - r.left, 4, units.right),
                MulDiv(r.bottom - r.top, 8, units.bottom)};
    }
};

TEST_F(Dialogs, OptionsHandsBackItsChoicesOnlyOnOk) {
    Run(Environment(), [&](Driver& d) {
        auto options = [&] { return d.Ui([&] { return d.editor.Settings().options; }); };
        const EditorOptions before = options();
        // Escape and the close box keep the old values, OK takes the new ones.
        for (int ending : {IDCANCEL, int(SC_CLOSE), IDOK}) {
            d.Post(IDM_SETTINGS_OPTIONS);
            HWND dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Options");
            ASSERT_TRUE(dialog);
            EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_OPTION_LOGS) == BST_CHECKED, before.saveLogs);
            EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), nullptr);  // there is no Cancel button
            SendDlgItemMessageW(dialog, IDC_OPTION_CACHE, BM_CLICK, 0, 0);
            if (ending == IDOK) Shoot(d, dialog, "dialog-options");
            if (ending == IDCANCEL) d.Key(GetDlgItem(dialog, IDC_OPTION_CACHE), VK_ESCAPE);
            if (ending == int(SC_CLOSE)) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0), d.Sync();
            if (ending == IDOK) d.Press(dialog, IDOK);
            EXPECT_FALSE(IsWindow(dialog));
            const EditorOptions now = options();
            EXPECT_EQ(now.useCache, ending == IDOK ? !before.useCache : before.useCache) << ending;
            EXPECT_EQ(now.saveLogs, before.saveLogs);
            EXPECT_EQ(now.autoBackup, before.autoBackup);
        }
        EXPECT_EQ(d.Ui([&] { return d.editor.StatusBar()->IsLogEnabled(); }), before.saveLogs);
        // The result codes as the caller sees them.
        for (auto [ending, code] : {std::pair{IDOK, kOptionsAccepted}, std::pair{IDCANCEL, kOptionsEscaped}}) {
            int result = -1;
            EditorOptions values;
            d.Start([&] { result = ShowOptionsDialog(d.window, values); });
            HWND dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Options");
            ASSERT_TRUE(dialog);
            d.Press(dialog, ending);
            EXPECT_EQ(result, code);
        }
    });
}

TEST_F(Dialogs, ExportDialogNeedsAFolderAndKeepsItsRecordUntilOk) {
    Run(Environment(), [&](Driver& d) {
        ExportOptions options;
        options.format = 9;  // not a format: shown as the first one
        options.overwrite = true;
        options.hashWhenTruncated = false;
        bool accepted = true;
        d.Start([&] { accepted = ShowExportDialog(d.window, options); });
        HWND dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Export textures");
        ASSERT_TRUE(dialog);
        EXPECT_EQ((Units(dialog, IDC_EXPORT_FOLDER)), (std::vector<LONG>{12, 18, 347, 29}));
        HWND combo = GetDlgItem(dialog, IDC_FORMAT_COMBO);
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 7);
        EXPECT_EQ(Driver::Text(combo), L"DirectDraw Surface (DDS) (*.dds)");
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_EXPORT_OVERWRITE), BST_CHECKED);
        d.Press(dialog, IDOK);  // no folder yet
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(TakeMessages(d), std::vector<std::wstring>{L"Error|The output folder is not specified"});
        // The folder is only chosen through Browse.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_EXPORT_BROWSE, BN_CLICKED), 0);
        HWND picker = d.WaitForDialogWhere([&](HWND candidate, const std::wstring&) { return candidate != dialog; });
        ASSERT_TRUE(picker);
        d.Press(picker, IDOK);
        const std::wstring chosen = Driver::Text(GetDlgItem(dialog, IDC_EXPORT_FOLDER));
        EXPECT_FALSE(chosen.empty());
        SendMessageW(combo, CB_SETCURSEL, 5, 0);
        SendDlgItemMessageW(dialog, IDC_EXPORT_HASH_NAMES, BM_CLICK, 0, 0);
        Shoot(d, dialog, "dialog-export");
        d.Press(dialog, IDOK);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(options.folder.wstring(), chosen);
        EXPECT_EQ(options.format, 5);
        EXPECT_TRUE(options.overwrite && options.hashWhenTruncated);

        // Cancel hands nothing back.
        d.Start([&] { accepted = ShowExportDialog(d.window, options); });
        dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Export textures");
        ASSERT_TRUE(dialog);
        SendDlgItemMessageW(dialog, IDC_FORMAT_COMBO, CB_SETCURSEL, 1, 0);
        // A cancelled picker keeps the folder.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_EXPORT_BROWSE, BN_CLICKED), 0);
        picker = d.WaitForDialogWhere([&](HWND candidate, const std::wstring&) { return candidate != dialog; });
        ASSERT_TRUE(picker);
        d.Press(picker, IDCANCEL);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_EXPORT_FOLDER)), chosen);
        d.Press(dialog, IDCANCEL);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(options.format, 5);
    });
}

TEST_F(Dialogs, TextInputChangeFormatAndResultShowTheirRecords) {
    Run(WithSample(), [&](Driver& d) {
        // A validator that takes anything: the dialog still refuses empty text
        // and cuts pasted text at 255 characters.
        TextInputRequest request{L"", L"Label here", L"start", 300, [](const std::wstring&) { return true; }};
        bool accepted = false;
        d.Start([&] { accepted = ShowTextInputDialog(d.window, request); });
        HWND dialog = d.WaitForDialog(L"ZRC-Zelko by korvane");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_TEXT_LABEL)), L"Label here");
        Driver::Type(GetDlgItem(dialog, IDC_TEXT_EDIT), L"");
        d.Press(dialog, IDOK);
        EXPECT_EQ(TakeMessages(d), std::vector<std::wstring>{L"Error|Text cannot be empty"});
        SetDlgItemTextW(dialog, IDC_TEXT_EDIT, std::wstring(280, L'y').c_str());
        Shoot(d, dialog, "dialog-text-input");
        d.Press(dialog, IDOK);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(request.text, std::wstring(255, L'y'));

        // Rename's own dialog over the window, for the picture.
        d.Post(IDM_TEXTURE_RENAME);
        dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Rename");
        ASSERT_TRUE(dialog);
        Shoot(d, dialog, "dialog-rename");
        d.Press(dialog, IDCANCEL);

        d.Ui([&] { d.editor.Settings().formatChangeSelection = int32_t(kFormatDXT5); });
        d.Post(IDM_TEXTURE_FORMAT_CHANGE);
        dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Change format");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_FORMAT_COMBO)), L"DXT5");
        Shoot(d, dialog, "dialog-format-change");
        d.Press(dialog, IDCANCEL);

        ResultReport report{L"Processed textures: 1", {L"C:\\in\\a.txt: Unable to load the file", L"second line"}};
        d.Start([&] { ShowResultDialog(d.window, report); });
        dialog = d.WaitForDialog(L"ZRC-Zelko by korvane | Result");
        ASSERT_TRUE(dialog);
        HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_RESULT_HEADER)), L"Processed textures: 1");
        ASSERT_EQ(Driver::Rows(list), 2);
        EXPECT_EQ(Driver::Cell(list, 1, 0), L"second line");
        EXPECT_GT(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 100);  // sized to the longest row
        Shoot(d, dialog, "dialog-result");
        d.Key(list, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(dialog));
    });
}

} // namespace
} // namespace zelko
