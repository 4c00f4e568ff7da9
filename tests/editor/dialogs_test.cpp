// The modal dialogs over the running editor: what they start with, what they
// refuse, what they hand back, and a picture of each in the build folder
// (of Rename, Change format and Result where their commands open them).
#include "editor_harness.h"

namespace zelko {
namespace {

using test::Driver;

using Dialogs = test::EditorTest;

TEST_F(Dialogs, OptionsExportAndTextInputRefuseWhatIsMissingAndHandBackOnlyOnOk) {
    Run(Environment(), [&](Driver& d) {
        auto current = [&] { return d.Ui([&] { return d.editor.Settings().options; }); };
        const EditorOptions before = current();
        // Options: Escape and the close box keep the old values, OK takes the new ones.
        for (int ending : {VK_ESCAPE, int(SC_CLOSE), IDOK}) {
            HWND dialog = d.Open(IDM_SETTINGS_OPTIONS, L"Options");
            ASSERT_TRUE(dialog);
            EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_OPTION_LOGS) == BST_CHECKED, before.saveLogs);
            EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), nullptr); // there is no Cancel button
            SendDlgItemMessageW(dialog, IDC_OPTION_CACHE, BM_CLICK, 0, 0);
            if (ending == IDOK) d.Shoot(dialog, "dialog-options");
            d.End(dialog, ending);
            EXPECT_FALSE(IsWindow(dialog));
            const EditorOptions now = current();
            EXPECT_EQ(now.useCache, ending == IDOK ? !before.useCache : before.useCache) << ending;
            EXPECT_EQ(now.saveLogs, before.saveLogs);
            EXPECT_EQ(now.autoBackup, before.autoBackup);
        }
        EXPECT_EQ(d.Ui([&] { return d.editor.StatusBar()->IsLogEnabled(); }), before.saveLogs);

        // Export textures needs a folder.
        ExportOptions options;
        options.format = 9; // not a format: shown as the first one
        options.overwrite = true;
        options.hashWhenTruncated = false;
        bool accepted = true;
        d.Start([&] { accepted = ShowExportDialog(d.window, options); });
        HWND dialog = d.Dialog(L"Export textures");
        ASSERT_TRUE(dialog);
        HWND combo = GetDlgItem(dialog, IDC_FORMAT_COMBO);
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 7);
        EXPECT_EQ(Driver::Text(combo), L"DirectDraw Surface (DDS) (*.dds)");
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_EXPORT_OVERWRITE), BST_CHECKED);
        d.Press(dialog, IDOK); // no folder yet
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(TakeMessages(d), std::vector<std::wstring>{L"Error|The output folder is not specified"});
        // The folder is only chosen through Browse; a cancelled picker keeps it.
        auto browse = [&](int ending) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_EXPORT_BROWSE, BN_CLICKED), 0);
            HWND picker = d.WaitForDialogWhere([&](HWND candidate) { return candidate != dialog; });
            ASSERT_TRUE(picker);
            d.Press(picker, ending);
        };
        browse(IDOK);
        const std::wstring chosen = Driver::Text(GetDlgItem(dialog, IDC_EXPORT_FOLDER));
        EXPECT_FALSE(chosen.empty());
        SendMessageW(combo, CB_SETCURSEL, 5, 0);
        SendDlgItemMessageW(dialog, IDC_EXPORT_HASH_NAMES, BM_CLICK, 0, 0);
        d.Shoot(dialog, "dialog-export");
        d.Press(dialog, IDOK);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(options.folder.wstring(), chosen);
        EXPECT_EQ(options.format, 5);
        EXPECT_TRUE(options.overwrite && options.hashWhenTruncated);

        // Cancel hands nothing back.
        d.Start([&] { accepted = ShowExportDialog(d.window, options); });
        dialog = d.Dialog(L"Export textures");
        ASSERT_TRUE(dialog);
        SendDlgItemMessageW(dialog, IDC_FORMAT_COMBO, CB_SETCURSEL, 1, 0);
        browse(IDCANCEL);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_EXPORT_FOLDER)), chosen);
        d.Press(dialog, IDCANCEL);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(options.format, 5);

        // A validator that takes anything: the text input dialog still refuses
        // empty text and cuts pasted text at 255 characters.
        TextInputRequest request{L"", L"Label here", L"start", 300, [](const std::wstring&) { return true; }};
        d.Start([&] { accepted = ShowTextInputDialog(d.window, request); });
        dialog = d.WaitForDialog(L"ZRC-Zelko by korvane");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(Driver::Text(GetDlgItem(dialog, IDC_TEXT_LABEL)), L"Label here");
        Driver::Type(GetDlgItem(dialog, IDC_TEXT_EDIT), L"");
        d.Press(dialog, IDOK);
        EXPECT_EQ(TakeMessages(d), std::vector<std::wstring>{L"Error|Text cannot be empty"});
        SetDlgItemTextW(dialog, IDC_TEXT_EDIT, std::wstring(280, L'y').c_str());
        d.Shoot(dialog, "dialog-text-input");
        d.Press(dialog, IDOK);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(request.text, std::wstring(255, L'y'));
    });
}

} // namespace
} // namespace zelko
