// The main window without a document: geometry, menus and their enabling,
// accelerators, the unsaved-changes prompt, dropped files, the splitter and
// the settings file written on close.
#include "editor_harness.h"

#include "editor/Ids.h"
#include "toolkit/Monitors.h"

#include <fstream>

namespace zelko {
namespace {

using test::Driver;

class EditorWindow : public test::EditorTest {
protected:
    std::filesystem::path SettingsFile() const { return folder.path() / "ZRC-Zelko.ini"; }

    // Sends a key with Ctrl held (or alone) through the accelerator table on the window's thread.
    static void PressKey(Driver& d, WORD key, bool control) {
        d.Ui([&] {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            BYTE saved = keys[VK_CONTROL];
            keys[VK_CONTROL] = control ? 0x80 : 0;
            SetKeyboardState(keys);
            MSG message{d.window, WM_KEYDOWN, key, 1, 0, {}};
            TranslateAcceleratorW(d.window, d.editor.AcceleratorTable(), &message);
            keys[VK_CONTROL] = saved;
            SetKeyboardState(keys);
        });
    }
    std::vector<WORD> Handled(Driver& d) {
        return d.Ui([&] { return handled; });
    }
};

constexpr UINT kDocumentGroup[] = {IDM_FILE_SAVE, IDM_FILE_CLOSE, IDM_FILE_RELOAD, IDM_TOOLS_OPEN_LOCATION};
constexpr UINT kEditingGroup[] = {IDM_TEXTURE_ADD,           IDM_TEXTURE_DUPLICATE,      IDM_TEXTURE_REPLACE,
                                  IDM_TEXTURE_DELETE,        IDM_TEXTURE_FORMAT_CHANGE,  IDM_TEXTURE_IMPORT_FOLDER,
                                  IDM_TEXTURE_RENAME,        IDM_TEXTURE_EXPORT_CHECKED, IDM_TEXTURE_EXPORT_LIST,
                                  IDM_TEXTURE_EXPORT_ARCHIVE};
constexpr UINT kAlwaysOn[] = {IDM_FILE_OPEN,          IDM_FILE_OPEN_WORLD_FOLDER, IDM_FILE_EXIT,
                              IDM_TEXTURE_FIND,       IDM_VIEW_ALPHA,             IDM_SETTINGS_ASSOCIATE,
                              IDM_SETTINGS_OPTIONS,   IDM_ABOUT_ABOUT,            IDM_ABOUT_UPDATE};

TEST_F(EditorWindow, StartsCentredWithItsMenusListsAndStatusBar) {
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        RECT outer{};
        GetWindowRect(d.window, &outer);
        RECT desktop{};
        GetWindowRect(GetDesktopWindow(), &desktop);
        EXPECT_EQ(outer.right - outer.left, 1024);
        EXPECT_EQ(outer.bottom - outer.top, 768);
        EXPECT_EQ(outer.left, (desktop.right - 1024) / 2);
        EXPECT_EQ(outer.top, (desktop.bottom - 768) / 2);
        EXPECT_EQ(d.Title(), L"ZRC-Zelko v1.7 by korvane");
        EXPECT_EQ(d.StatusText(0), L"Ready");
        wchar_t className[64] = {};
        GetClassNameW(d.window, className, 64);
        EXPECT_STREQ(className, L"WinAPIWrapper");

        HMENU bar = GetMenu(d.window);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(GetMenuItemCount(bar), 6);
        std::vector<std::wstring> titles;
        for (int i = 0; i < GetMenuItemCount(bar); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(bar, UINT(i), text, 64, MF_BYPOSITION);
            titles.push_back(text);
        }
        EXPECT_EQ(titles, (std::vector<std::wstring>{L"&File", L"&Texture", L"&View", L"&Tools", L"&Settings",
                                                     L"&About"}));
        wchar_t text[64] = {};
        GetMenuStringW(bar, IDM_TEXTURE_REPLACE, text, 64, MF_BYCOMMAND);
        EXPECT_STREQ(text, L"Re&place\tCtrl + I");
        for (UINT id = IDM_FILE_OPEN; id <= IDM_ABOUT_UPDATE; ++id) {
            if (id == IDM_RESERVED) continue;
            EXPECT_NE(GetMenuState(bar, id, MF_BYCOMMAND), UINT(-1)) << id;
        }
        EXPECT_EQ(GetMenuState(bar, IDM_RESERVED, MF_BYCOMMAND), UINT(-1));

        // Without a document only the documented commands stay available.
        for (UINT id : kDocumentGroup) EXPECT_TRUE(d.MenuGreyed(id)) << id;
        for (UINT id : kEditingGroup) EXPECT_TRUE(d.MenuGreyed(id)) << id;
        for (UINT id : kAlwaysOn) EXPECT_FALSE(d.MenuGreyed(id)) << id;

        // The accelerators, in menu order.
        auto table = d.Ui([&] { return d.editor.Accelerators(); });
        std::vector<std::pair<WORD, WORD>> keys;
        for (const auto& entry : table) {
            EXPECT_EQ(entry.flags & FVIRTKEY, FVIRTKEY);
            EXPECT_EQ((entry.flags & FCONTROL) != 0, entry.key != VK_F3);
            keys.emplace_back(entry.key, entry.command);
        }
        EXPECT_EQ(keys, (std::vector<std::pair<WORD, WORD>>{{'O', 10000}, {'S', 10003}, {'A', 10007}, {'D', 10008},
                                                            {'R', 10010}, {'F', 10011}, {'X', 10012}, {'I', 10009},
                                                            {VK_F3, 10019}, {'E', 10014}}));
        // The two lists fill the left half, one above the other; the pane is to their right.
        RECT client{};
        d.Ui([&] { d.editor.GetClientArea(client); });
        RECT files = d.ChildRect(d.editor.FileList()->window);
        RECT textures = d.ChildRect(d.editor.TextureList()->window);
        EXPECT_EQ(files.left, 0);
        EXPECT_EQ(files.top, 0);
        EXPECT_EQ(files.right, client.right / 2);
        EXPECT_EQ(textures.top, files.bottom);
        EXPECT_EQ(textures.bottom, client.bottom);
        EXPECT_EQ(textures.right, files.right);
    });
}

TEST_F(EditorWindow, GreyedCommandsDeliverNothingByMenuOrAccelerator) {
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        d.Command(IDM_FILE_SAVE);
        d.Command(IDM_TEXTURE_EXPORT_CHECKED);
        PressKey(d, 'S', true);
        PressKey(d, 'E', true);
        PressKey(d, 'X', true);
        PressKey(d, VK_F3, false);  // Find is always available
        EXPECT_EQ(Handled(d), std::vector<WORD>{IDM_TEXTURE_FIND});
        EXPECT_EQ(d.StatusText(0), L"not available yet");
    });
    handled.clear();
    Run(WithSample(), [&](Driver& d) {
        // With a document the same keys reach their commands.
        PressKey(d, 'E', true);
        PressKey(d, 'X', true);
        EXPECT_EQ(Handled(d), (std::vector<WORD>{IDM_TEXTURE_EXPORT_CHECKED, IDM_TEXTURE_DELETE}));
        EXPECT_EQ(d.StatusText(0), L"not available yet");
        d.Command(IDM_FILE_CLOSE);
        EXPECT_EQ(d.Rows(d.editor.FileList()), 0);
        EXPECT_EQ(d.Rows(d.editor.TextureList()), 0);
        EXPECT_TRUE(d.MenuGreyed(IDM_FILE_SAVE));
        EXPECT_TRUE(d.MenuGreyed(IDM_TEXTURE_EXPORT_CHECKED));
        EXPECT_EQ(d.Title(), L"ZRC-Zelko v1.7 by korvane");
        EXPECT_EQ(d.StatusText(1), L"");
        EXPECT_EQ(d.StatusText(3), L"");
        EXPECT_FALSE(d.Ui([&] { return d.editor.Preview() != nullptr; }));
        PressKey(d, 'E', true);
        EXPECT_EQ(Handled(d), (std::vector<WORD>{IDM_TEXTURE_EXPORT_CHECKED, IDM_TEXTURE_DELETE, IDM_FILE_CLOSE}));
    });
}

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<DialogSearch*>(data);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0 && GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for the modal dialog the window's thread opens; null if none comes.
HWND WaitForDialog(HWND owner) {
    for (int round = 0; round < 1000; ++round) {
        DialogSearch search{owner, nullptr};
        EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), &FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(10);
    }
    return nullptr;
}

TEST_F(EditorWindow, OpenCommandAsksForAFileAndOpensIt) {
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        PostMessageW(d.window, WM_COMMAND, IDM_FILE_OPEN, 0);  // the dialog is modal: do not wait for it
        HWND dialog = WaitForDialog(d.window);
        ASSERT_NE(dialog, nullptr);
        wchar_t title[256] = {};
        GetWindowTextW(dialog, title, 256);
        EXPECT_STREQ(title, L"ZRC-Zelko v1.7 by korvane | Select file to open");
        SendDlgItemMessageW(dialog, 0x47C, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(sample.wstring().c_str()));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        // The load runs once the dialog has returned; a call on the window's thread waits for it.
        for (int round = 0; round < 500 && d.Rows(d.editor.FileList()) == 0; ++round) {
            Sleep(10);
            d.Ui([] {});
        }
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);
        EXPECT_EQ(d.Ui([&] { return d.editor.Settings().recentOpenFolder; }), folder.path().wstring());
        EXPECT_EQ(d.Title(), sample.wstring() + L" - ZRC-Zelko v1.7 by korvane");
    });
}

TEST_F(EditorWindow, AlphaChannelTogglesWithoutADocument) {
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        EXPECT_TRUE(d.Ui([&] { return d.editor.Settings().showAlphaChannel; }));
        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel disabled.");
        d.Command(IDM_VIEW_ALPHA);
        d.Command(IDM_VIEW_ALPHA);
        EXPECT_EQ(d.StatusText(0), L"Alpha channel disabled.");
        EXPECT_FALSE(d.Ui([&] { return d.editor.Preview() != nullptr; }));
        d.Close();
    });
    EXPECT_FALSE(IniFile(SettingsFile()).GetBool(L"Config", L"ShowAlphaChannel", true));
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
        const std::wstring prompt = L"|There are unsaved changes. Do you want to SAVE the changes?";

        modify();
        d.Ui([&] { answer = IDCANCEL; });
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(d.Ui([&] { return messages; }), std::vector<std::wstring>{prompt});
        EXPECT_EQ(textureCount(), 4u);  // Cancel changes nothing
        EXPECT_TRUE(d.Ui([&] { return d.editor.HasUnsavedChanges(); }));

        d.Ui([&] { answer = IDNO; });
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(textureCount(), 5u);  // read again, changes lost
        EXPECT_FALSE(d.Ui([&] { return d.editor.HasUnsavedChanges(); }));
        EXPECT_EQ(d.Ui([&] { return messages.size(); }), 2u);

        // Without changes nothing is asked.
        d.Command(IDM_FILE_RELOAD);
        EXPECT_EQ(d.Ui([&] { return messages.size(); }), 2u);

        // Closing with changes and Cancel keeps the program running and writes nothing.
        modify();
        d.Ui([&] { answer = IDCANCEL; });
        d.Close();
        EXPECT_TRUE(IsWindow(d.window));
        EXPECT_FALSE(std::filesystem::exists(SettingsFile()));

        // Yes saves first, then closes.
        d.Ui([&] { answer = IDYES; });
        d.Command(IDM_FILE_EXIT);
        EXPECT_FALSE(IsWindow(d.window));
    });
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "sample.bin.bak"));
}

TEST_F(EditorWindow, SettingsAreWrittenOnCloseAndReadOnTheNextStart) {
    RECT placed{};
    RECT list{};
    Run(WithSample(), [&](Driver& d) {
        d.DoubleClick(d.editor.FileList(), 2);
        const int sky = d.RowNamed(d.editor.TextureList(), L"SKY_CLOUDS");
        ASSERT_GE(sky, 0);
        d.Select(d.editor.TextureList(), sky);
        d.Command(IDM_VIEW_ALPHA);
        SetWindowPos(d.window, nullptr, 60, 40, 900, 700, SWP_NOZORDER);
        SetWindowPos(d.editor.FileList()->window, nullptr, 0, 0, 333, 222, SWP_NOMOVE | SWP_NOZORDER);
        GetWindowRect(d.window, &placed);
        GetWindowRect(d.editor.FileList()->window, &list);
        d.Close();
    });
    IniFile file(SettingsFile());
    EXPECT_EQ(file.GetInt(L"Config", L"WindowX1", 0), placed.left);
    EXPECT_EQ(file.GetInt(L"Config", L"WindowY2", 0), placed.bottom);
    EXPECT_EQ(file.GetInt(L"Config", L"SplitterWidth", 0), 333);
    EXPECT_EQ(file.GetInt(L"Config", L"SplitterHeight", 0), 222);
    EXPECT_EQ(file.GetString(L"Config", L"ShowAlphaChannel"), L"0");
    EXPECT_EQ(file.GetString(L"Config", L"RecentFilePath"), sample.wstring());
    EXPECT_EQ(file.GetString(L"Config", L"RecentOpenFolder"), L"");
    EXPECT_EQ(file.GetInt(L"Config", L"RecentFileIndex", -1), 2);
    EXPECT_NE(file.GetUnsigned(L"Config", L"RecentTextureIndex", 0), 0u);
    EXPECT_EQ(file.GetInt(L"Config", L"RecentFileType", -1), 0);
    EXPECT_EQ(file.Format().find("RecentImportFolder"), std::string::npos);

    // Started without a path, AutoOpenLast reopens the same entry and texture.
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        RECT now{};
        GetWindowRect(d.window, &now);
        EXPECT_EQ(now.left, placed.left);
        EXPECT_EQ(now.top, placed.top);
        EXPECT_EQ(now.right, placed.right);
        EXPECT_EQ(now.bottom, placed.bottom);
        RECT files{};
        GetWindowRect(d.editor.FileList()->window, &files);
        EXPECT_EQ(files.right - files.left, 333);
        EXPECT_EQ(files.bottom - files.top, 222);
        EXPECT_FALSE(d.Ui([&] { return d.editor.Settings().showAlphaChannel; }));
        EXPECT_EQ(d.StatusText(1), L"3 Texture file");
        const int focused = d.FocusedRow(d.editor.TextureList());
        ASSERT_GE(focused, 0);
        EXPECT_EQ(d.Cell(d.editor.TextureList(), focused, 0), L"SKY_CLOUDS");
    });
}

TEST_F(EditorWindow, SavedRectangleOffEveryMonitorIsIgnored) {
    WriteTextFile(SettingsFile(), "[Config]\r\nWindowX1 = 40000\r\nWindowY1 = 40000\r\nWindowX2 = 41000\r\n"
                                  "WindowY2 = 40700\r\nAutoOpenLast = 1\r\n");
    Run(Environment({L"ZRC-Zelko.exe", L"one", L"two"}), [&](Driver& d) {
        RECT outer{};
        GetWindowRect(d.window, &outer);
        EXPECT_EQ(outer.right - outer.left, 1024);
        EXPECT_LT(outer.left, 2000);
        // Two arguments open nothing; AutoOpenLast has an empty path.
        EXPECT_EQ(d.Rows(d.editor.FileList()), 0);
        EXPECT_EQ(d.StatusText(0), L"Ready");
    });
}

TEST_F(EditorWindow, DroppedFilesOpenArchivesByExtension) {
    const auto upper = folder.path() / "COPY.BIN";
    std::filesystem::copy_file(sample, upper);
    Run(Environment({L"ZRC-Zelko.exe"}), [&](Driver& d) {
        d.Ui([&] { d.editor.OnDropFile((folder.path() / "picture.TGA").wstring()); });
        EXPECT_EQ(d.StatusText(0), L"Ready");
        d.Ui([&] { d.editor.OnDropFile(upper.wstring()); });
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);
        EXPECT_EQ(d.Title(), upper.wstring() + L" - ZRC-Zelko v1.7 by korvane");
        d.Ui([&] { d.editor.OnDropFile((folder.path() / "image.PNG").wstring()); });
        EXPECT_EQ(d.StatusText(0), L"not available yet");
        EXPECT_EQ(d.Rows(d.editor.FileList()), 3);
    });
}

TEST_F(EditorWindow, SplitterKeepsTheListsWithinTheirLimits) {
    Run(WithSample(), [&](Driver& d) {
        HWND files = d.editor.FileList()->window;
        HWND textures = d.editor.TextureList()->window;
        RECT client{};
        d.Ui([&] { d.editor.GetClientArea(client); });
        const int cw = client.right, ch = client.bottom;
        auto check = [&](int width, int height, int expectWidth, int expectHeight) {
            SetWindowPos(files, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
            RECT f = d.ChildRect(files), t = d.ChildRect(textures);
            EXPECT_EQ(f.right - f.left, expectWidth) << width << "x" << height;
            EXPECT_EQ(f.bottom - f.top, expectHeight) << width << "x" << height;
            // The texture list follows below, as wide, down to the status bar.
            EXPECT_EQ(t.left, 0);
            EXPECT_EQ(t.top, f.bottom);
            EXPECT_EQ(t.right, f.right);
            EXPECT_EQ(t.bottom, ch);
        };
        check(50, 20, 200, 100);
        check(cw, ch, cw - 200, ch - 200);
        check(420, 300, 420, 300);
        EXPECT_EQ(d.Ui([&] { return d.editor.PreviewArea().left; }), 420);

        // Dragging the texture list's top edge moves the file list's bottom.
        SetWindowPos(textures, nullptr, 0, 10, 420, ch - 10, SWP_NOZORDER);
        EXPECT_EQ(d.ChildRect(textures).top, 100);
        EXPECT_EQ(d.ChildRect(files).bottom, 100);
        SetWindowPos(textures, nullptr, 0, ch - 50, 420, 50, SWP_NOZORDER);
        EXPECT_EQ(d.ChildRect(textures).top, ch - 200);
        EXPECT_EQ(d.ChildRect(files).bottom, ch - 200);

        // A smaller window pulls the lists back within the limits.
        SetWindowPos(d.window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
        d.Ui([&] { d.editor.GetClientArea(client); });
        RECT f = d.ChildRect(files);
        EXPECT_LE(f.right, client.right - 200);
        EXPECT_LE(f.bottom, client.bottom - 200);
        EXPECT_EQ(d.ChildRect(textures).bottom, client.bottom);
    });
}

} // namespace
} // namespace zelko
