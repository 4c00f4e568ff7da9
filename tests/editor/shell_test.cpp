// Associate supported archives, Open file / folder location, About and
// Update, with the registry and a started program checked as they are.
#include "editor_harness.h"

#include "editor/Shell.h"

namespace zelko {
namespace {

using test::Driver;

class ShellCommands : public test::EditorTest {};

std::wstring DefaultValue(const std::wstring& key) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return value;
}

// The top-level window of another process with this title, waited for.
HWND WaitForWindow(const std::wstring& title) {
    for (int attempt = 0; attempt < 1500; ++attempt, Sleep(20)) {
        if (HWND found = FindWindowW(L"WinAPIWrapper", title.c_str())) return found;
    }
    return nullptr;
}

TEST_F(ShellCommands, AssociationWritesFourValuesPerExtensionAndTheOthersOpenWhatTheyName) {
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

    // The program started as the shell would for a double-clicked archive opens it.
    std::wstring command = DefaultValue(L"bin_auto_file\\shell\\open\\command");
    command.replace(command.find(L"%1"), 2, sample.wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    HWND started = WaitForWindow(sample.wstring() + L" - ZRC-Zelko v1.7 by korvane");
    EXPECT_NE(started, nullptr);
    if (started) PostMessageW(started, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace
} // namespace zelko
