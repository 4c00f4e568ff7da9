// The main window: geometry, command enabling, accelerators, dropped files,
// the modal dialogs, the unsaved-changes prompt, the splitter, the settings
// file and the commands that reach the shell.
#include "editor_harness.h"

#include "editor/Shell.h"

namespace zelko {
namespace {

using test::Driver;

class EditorWindow : public test::EditorTest {
protected:
    std::filesystem::path SettingsFile() const { return folder.path() / "ZRC-Zelko.ini"; }

    // Sends a key, with Ctrl held or not, through the accelerator table on the window's thread.
    static void PressKey(Driver& d, WORD key, bool control) {
        d.Ui([&] {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = control ? 0x80 : 0;
            SetKeyboardState(keys);
            MSG message{d.window, WM_KEYDOWN, key, 1, 0, {}};
            TranslateAcceleratorW(d.window, d.editor.AcceleratorTable(), &message);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
        });
    }
    std::vector<WORD> Handled(Driver& d) {
        return d.Ui([&] { return handled; });
    }
};

TEST_F(EditorWindow, WithoutADocumentOnlyItsCommandsAreAvailableAndTheDialogsRefuseWhatIsMissing) {
    const auto upper = folder.path() / "COPY.BIN";
    std::filesystem::copy_file(sample, upper);
    Run(Environment(), [&](Driver& d) {
        RECT outer{}, desktop{};
        GetWindowRect(d.window, &outer);
        GetWindowRect(GetDesktopWindow(), &desktop); // started centred
        EXPECT_EQ((std::vector<LONG>{outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top}),
                  (std::vector<LONG>{(desktop.right - 1024) / 2, (desktop.bottom - 768) / 2, 1024, 768}));
        EXPECT_EQ(d.Title(), L"ZRC-Zelko v1.7 by korvane");
        d.Ui([&] { d.editor.OnDropFile((folder.path() / "picture.TGA").wstring()); }); // not an archive
        EXPECT_EQ(d.StatusText(0), L"Ready");
        // The lists fill the left half, one above the other.
        RECT client{};
        d.Ui([&] { d.editor.GetClientArea(client); });
        RECT files = d.ChildRect(d.editor.FileList()->window), textures = d.ChildRect(d.editor.TextureList()->window);
        EXPECT_EQ((std::vector<LONG>{files.left, files.top, files.right, textures.top, textures.bottom}),
                  (std::vector<LONG>{0, 0, client.right / 2, files.bottom, client.bottom}));

        for (UINT id = IDM_FIRST_COMMAND; id <= IDM_LAST_COMMAND; ++id) {
            if (id == IDM_RESERVED) continue;
            const bool needsDocument = id == IDM_TOOLS_OPEN_LOCATION || id == IDM_FILE_SAVE || id == IDM_FILE_RELOAD ||
                id == IDM_FILE_CLOSE || (id >= IDM_TEXTURE_ADD && id <= IDM_TEXTURE_EXPORT_ARCHIVE);
            EXPECT_EQ(d.MenuGreyed(id), needsDocument) << id;
        }
        d.Command(IDM_FILE_SAVE);
        d.Command(IDM_TEXTURE_EXPORT_CHECKED);
        PressKey(d, 'S', true);
        PressKey(d, 'E', true);
        PressKey(d, VK_F3, false); // Find is always available
        EXPECT_EQ(Handled(d), std::vector<WORD>{IDM_TEXTURE_FIND});

        EXPECT_EQ(d.StatusText(0), L"Ready"); // Find shows its dialog, with nothing to index
        // A dropped archive opens, whatever the case of its extension.
        d.Ui([&] { d.editor.OnDropFile(upper.wstring()); });
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);
        EXPECT_EQ(d.Title(), upper.wstring() + L" - ZRC-Zelko v1.7 by korvane");
        PressKey(d, 'E', false); // Ctrl is not down
        PressKey(d, 'E', true);
        PressKey(d, 'X', true);
        EXPECT_EQ(Handled(d), (std::vector<WORD>{IDM_TEXTURE_FIND, IDM_TEXTURE_EXPORT_CHECKED, IDM_TEXTURE_DELETE}));

        d.Command(IDM_FILE_CLOSE);
        EXPECT_EQ(d.Rows(d.editor.FileList()) + d.Rows(d.editor.TextureList()), 0);
        EXPECT_EQ(d.Title() + d.StatusText(1) + d.StatusText(2), L"ZRC-Zelko v1.7 by korvane");
        EXPECT_FALSE(d.Ui([&] { return d.editor.Preview() != nullptr; }));
        PressKey(d, 'E', true);
        EXPECT_EQ(Handled(d).size(), 4u); // only the Close itself

        // The modal dialogs: what they start with, what they refuse, what they hand back.
        auto current = [&] { return d.Ui([&] { return d.editor.Settings().options; }); };
        const EditorOptions before = current();
        // Options: Escape and the close box keep the old values, OK takes the new ones.
        for (int ending : {VK_ESCAPE, int(SC_CLOSE), IDOK}) {
            HWND dialog = d.Open(IDM_SETTINGS_OPTIONS, L"Options");
            ASSERT_TRUE(dialog);
            EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_OPTION_LOGS) == BST_CHECKED, before.saveLogs);
            EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), nullptr); // there is no Cancel button
            SendDlgItemMessageW(dialog, IDC_OPTION_CACHE, BM_CLICK, 0, 0);
            if (ending == IDOK) d.Shoot("dialog-options", dialog);
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
            HWND find = d.editor.Find().window; // still shown since F3
            HWND picker = d.WaitForDialogWhere(
                [&](HWND candidate) { return candidate != dialog && candidate != find; });
            ASSERT_TRUE(picker);
            d.Press(picker, ending);
        };
        browse(IDOK);
        const std::wstring chosen = Driver::Text(GetDlgItem(dialog, IDC_EXPORT_FOLDER));
        EXPECT_FALSE(chosen.empty());
        SendMessageW(combo, CB_SETCURSEL, 5, 0);
        SendDlgItemMessageW(dialog, IDC_EXPORT_HASH_NAMES, BM_CLICK, 0, 0);
        d.Shoot("dialog-export", dialog);
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
        d.Shoot("dialog-text-input", dialog);
        d.Press(dialog, IDOK);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(request.text, std::wstring(255, L'y'));
    });
}

TEST_F(EditorWindow, UnsavedChangesPromptGuardsReloadAndClose) {
    Run(WithSample(), [&](Driver& d) {
        // Drops one texture from the loaded pack, as Delete will.
        auto modify = [&] {
            d.Ui([&] {
                IBinFile* container = d.editor.Container();
                container->DeleteTexture(container->pack->textures.front().get());
                container->modified = true;
            });
        };
        auto textureCount = [&] { return d.Ui([&] { return d.editor.Container()->pack->textures.size(); }); };
        auto answerWith = [&](int button) { d.Ui([&] { answer = button; }); };

        modify();
        answerWith(IDCANCEL);
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(d.Ui([&] { return messages; }),
                  std::vector<std::wstring>{L"|There are unsaved changes. Do you want to SAVE the changes?"});
        EXPECT_EQ(textureCount(), 4u); // Cancel changes nothing
        EXPECT_TRUE(Modified(d));

        answerWith(IDNO);
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(textureCount(), 5u); // read again, changes lost
        d.Command(IDM_FILE_RELOAD); // nothing to ask about
        EXPECT_EQ(d.Ui([&] { return messages.size(); }), 2u);

        modify();
        answerWith(IDCANCEL);
        d.Close();
        EXPECT_TRUE(IsWindow(d.window));
        EXPECT_FALSE(std::filesystem::exists(SettingsFile()));

        // Yes with a save that fails stops the close, as Cancel does: the edits stay.
        answerWith(IDYES);
        const auto away = folder.path() / "away.bin";
        std::filesystem::rename(sample, away);
        d.Command(IDM_FILE_EXIT);
        EXPECT_TRUE(IsWindow(d.window));
        EXPECT_TRUE(Modified(d));
        EXPECT_TRUE(d.StatusText(0).starts_with(L"ERROR: Failed to save " + sample.wstring() + L": "));
        std::filesystem::rename(away, sample);

        d.Command(IDM_FILE_EXIT); // saves, then closes
        EXPECT_FALSE(IsWindow(d.window));
    });
    EXPECT_EQ(messages.size(), 5u);
    EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "sample.bin.bak"));
}

TEST_F(EditorWindow, SplitterKeepsTheListsWithinTheirLimitsAndSettingsOutliveTheWindow) {
    RECT placed{};
    Run(WithSample(), [&](Driver& d) {
        HWND files = d.editor.FileList()->window, textures = d.editor.TextureList()->window;
        RECT client{};
        d.Ui([&] { d.editor.GetClientArea(client); });
        const int cw = client.right, ch = client.bottom;
        // {asked width, height, resulting width, height}
        const int cases[][4] = {{50, 20, 200, 100}, {cw, ch, cw - 200, ch - 200}, {420, 300, 420, 300}};
        for (const auto& c : cases) {
            SetWindowPos(files, nullptr, 0, 0, c[0], c[1], SWP_NOMOVE | SWP_NOZORDER);
            RECT f = d.ChildRect(files), t = d.ChildRect(textures);
            EXPECT_EQ(f.right - f.left, c[2]) << c[0] << "x" << c[1];
            EXPECT_EQ(f.bottom - f.top, c[3]) << c[0] << "x" << c[1];
            // The texture list follows below, as wide, down to the status bar.
            EXPECT_EQ((std::vector<LONG>{t.left, t.top, t.right, t.bottom}),
                      (std::vector<LONG>{0, f.bottom, f.right, ch}));
        }
        EXPECT_EQ(d.Ui([&] { return d.editor.PreviewArea().left; }), 420);

        // What the settings file keeps.
        d.DoubleClick(d.editor.FileList(), 2);
        ASSERT_TRUE(d.SelectNamed(d.editor.TextureList(), L"SKY_CLOUDS"));
        d.Command(IDM_VIEW_ALPHA);
        SetWindowPos(d.window, nullptr, 60, 40, 900, 700, SWP_NOZORDER);
        SetWindowPos(files, nullptr, 0, 0, 333, 222, SWP_NOMOVE | SWP_NOZORDER);
        GetWindowRect(d.window, &placed);
        d.Close();
    });
    IniFile file(SettingsFile());
    EXPECT_EQ(file.GetInt(L"Config", L"WindowY2", 0), placed.bottom);
    EXPECT_EQ(file.GetInt(L"Config", L"SplitterWidth", 0), 333);
    EXPECT_EQ(file.GetString(L"Config", L"ShowAlphaChannel"), L"0");
    EXPECT_EQ(file.GetString(L"Config", L"RecentFilePath"), sample.wstring());
    EXPECT_EQ(file.GetInt(L"Config", L"RecentFileIndex", -1), 2);

    // Started without a path, AutoOpenLast reopens the same entry and texture.
    Run(Environment(), [&](Driver& d) {
        RECT now{}, files = d.ChildRect(d.editor.FileList()->window);
        GetWindowRect(d.window, &now);
        EXPECT_TRUE(EqualRect(&now, &placed));
        EXPECT_EQ(files.right - files.left, 333);
        EXPECT_EQ(files.bottom - files.top, 222);
        EXPECT_FALSE(d.Ui([&] { return d.editor.Settings().showAlphaChannel; }));
        EXPECT_EQ(d.StatusText(1), L"3 Texture file");
        ListView* textures = d.editor.TextureList();
        EXPECT_EQ(d.Cell(textures, d.FocusedRow(textures), 0), L"SKY_CLOUDS");
    });
}

std::wstring DefaultValue(const std::wstring& key) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return value;
}

// Associate supported archives, Open file / folder location, About and
// Update, with the registry checked as it is (the download's test starts the
// program on an archive).
TEST_F(EditorWindow, AssociationWritesFourValuesPerExtensionAndTheOthersOpenWhatTheyName) {
    const std::wstring exe = (test::kBuildFolder / "ZRC-Zelko.exe").wstring();
    Run(WithSample(), [&](Driver& d) {
        for (int time = 0; time < 2; ++time) { // a second run rewrites the same values
            d.Command(IDM_SETTINGS_ASSOCIATE);
            EXPECT_EQ(TakeMessages(d),
                      std::vector<std::wstring>{L"Admin rights|This feature requires administrator privileges."});
            EXPECT_EQ(d.StatusText(0), L"Supported files were associated with ZRC-Zelko.");
            for (const std::wstring extension : {L"bun", L"bin", L"lzc"}) {
                const std::wstring progId = extension + L"_auto_file";
                EXPECT_EQ(DefaultValue(L"." + extension), progId);
                EXPECT_EQ(DefaultValue(progId), L"Archive ZRC-Zelko");
                EXPECT_EQ(DefaultValue(progId + L"\\DefaultIcon"), L"\"" + exe + L"\",-2");
                EXPECT_EQ(DefaultValue(progId + L"\\shell\\open\\command"), L"\"" + exe + L"\" \"%1\"");
            }
        }
        EXPECT_EQ(DefaultValue(L".vyl"), L"<missing>");

        d.Command(IDM_TOOLS_OPEN_LOCATION);
        d.Command(IDM_ABOUT_UPDATE);
        EXPECT_EQ(d.Ui([&] { return opened; }), (std::vector<std::wstring>{folder.path().wstring(), kProjectPage}));

        // The document's folder is gone: said so, with the folder.
        d.Ui([&] { d.editor.Settings().recentFilePath = (folder.path() / "gone" / "x.bin").wstring(); });
        d.Command(IDM_TOOLS_OPEN_LOCATION);
        d.Command(IDM_ABOUT_ABOUT);
        const auto shown = d.Ui([&] { return messages; });
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0], L"Error|Directory does not exist\r\n" + (folder.path() / "gone").wstring());
        EXPECT_TRUE(shown[1].starts_with(std::wstring(L"About|ZRC-Zelko\r\nVersion: 1.7\r\nWebsite: ") + kProjectPage +
                                         L"\r\n\r\n"))
            << std::string(shown[1].begin(), shown[1].end());
    });
}

} // namespace
} // namespace zelko
