// The settings file: its text format and the editor's keys.
#include "TempFolder.h"
#include "editor/IniFile.h"
#include "editor/Settings.h"
#include "format/SafeFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace zelko {
namespace {

TEST(EditorSettingsFormat, ReadsConvertsAndWritesEntries) {
    IniFile file;
    file.Parse(
        "[Config]\r\n  ShowAlphaChannel=1  \r\nPath = C:\\Games\\A;B\r\nUrl = a //b //c\r\n; only a comment\r\n"
        "\r\nNoValue\r\n[ Other ]\nKey = x\n[Config]\nLate = 2\nShowAlphaChannel = 0\n[S]\nneg = -1920\n"
        "digits = 12abc\nletters = abc\nhash = 4294967295\nword = true\nq1 = \"quoted\"\n");
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> strings[] = {
        {L"Config", L"Path", L"C:\\Games\\A"}, // cut at ';'
        {L"Config", L"Url", L"a //b"}, // cut at the last " //"
        {L"Other", L"Key", L"x"},
        {L"Config", L"NoValue", L""},
        {L"S", L"q1", L"quoted"}};
    for (const auto& [section, key, value] : strings) EXPECT_EQ(file.GetString(section, key), value) << key;
    EXPECT_TRUE(file.GetBool(L"Config", L"ShowAlphaChannel", false)); // the first occurrence wins
    EXPECT_EQ(file.GetInt(L"Config", L"Late", 0), 2); // a section named twice collects both
    const std::pair<const wchar_t*, int> ints[] = {{L"neg", -1920}, {L"digits", 12}, {L"letters", 0}, {L"absent", 7}};
    for (const auto& [key, value] : ints) EXPECT_EQ(file.GetInt(L"S", key, 7), value) << key;
    EXPECT_EQ(file.GetUnsigned(L"S", L"hash", 7), 4294967295u);
    EXPECT_FALSE(file.GetBool(L"S", L"word", true));
    EXPECT_TRUE(file.GetBool(L"S", L"absent", true));

    IniFile written;
    written.SetString(L"Config", L"b", L"two");
    written.SetInt(L"Config", L"a", -3);
    written.SetString(L"Config", L"empty", L"");
    written.SetBool(L"Alpha", L"flag", true);
    written.SetUnsigned(L"Config", L"c", 4000000000u);
    EXPECT_EQ(written.Format(), "[Alpha]\r\nflag = 1\r\n[Config]\r\na = -3\r\nb = two\r\nc = 4000000000\r\n");
}

auto Fields(const EditorSettings& s) {
    return std::make_tuple(s.window.left, s.window.top, s.window.right, s.window.bottom, s.splitterWidth,
                           s.splitterHeight, s.showAlphaChannel, s.recentImportFolder, s.recentOpenFolder,
                           s.recentExportFolder, s.exportFormat, s.exportOverwrite, s.exportHashWhenTruncated,
                           s.formatChangeSelection, s.recentFilePath, s.recentFileIndex, s.recentTextureIndex,
                           s.recentFileType, s.options.autoOpenLast, s.options.autoBackup, s.options.useCache,
                           s.options.saveLogs);
}

TEST(EditorSettingsKeys, DefaultsAndEveryKeySurviveAWriteAndARead) {
    TempFolder folder;
    const auto path = folder.path() / "ZRC-Zelko.ini";
    EditorSettings defaults;
    defaults.showAlphaChannel = defaults.exportHashWhenTruncated = true;
    defaults.formatChangeSelection = 0;
    defaults.options = {true, true, true, true};
    EXPECT_EQ(Fields(LoadSettingsFile(path)), Fields(defaults)); // no file yet

    std::ofstream(path, std::ios::binary) << "[Config]\r\nUnknownKey = kept\r\n[Mine]\r\nX = 1 ; comment\r\n";
    const EditorSettings written{{-1920, 10, -900, 700},
                                 321,
                                 222,
                                 false,
                                 L"",
                                 L"C:\\Games\\Tracks",
                                 L"D:\\Export \u00e9t\u00e9",
                                 4,
                                 true,
                                 false,
                                 0x31545844,
                                 L"C:\\Games\\Tracks\\STREAML2RA.BUN",
                                 17,
                                 0xF00DBEEF,
                                 2,
                                 {false, true, false, true}};
    ASSERT_TRUE(SaveSettingsFile(written, path));
    EXPECT_EQ(Fields(LoadSettingsFile(path)), Fields(written));
    IniFile raw(path);
    EXPECT_EQ(raw.GetString(L"Config", L"UnknownKey") + raw.GetString(L"Mine", L"X"), L"kept1");
    EXPECT_EQ(raw.GetString(L"Config", L"RecentTextureIndex"), L"4027432687");
    EXPECT_EQ(raw.Format().find("RecentImportFolder"), std::string::npos); // empty values are not written

    // A settings file that cannot be written is reported (each failing step of
    // the atomic writer is the save tests'), and the old one stays whole.
    detail::FailFileStep(FileStep::Write, 1);
    EXPECT_FALSE(SaveSettingsFile(defaults, path));
    detail::FailFileStep(FileStep::Write, 0);
    EXPECT_EQ(IniFile(path).Format(), raw.Format());
}

} // namespace
} // namespace zelko
