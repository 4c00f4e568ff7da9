// The settings file: its text format and the editor's keys.
#include "TempFolder.h"
#include "editor/IniFile.h"
#include "editor/Settings.h"

#include <gtest/gtest.h>

namespace zelko {
namespace {

IniFile Parsed(const std::string& text) {
    IniFile file;
    file.Parse(text);
    return file;
}

TEST(EditorSettingsFormat, ReadsSectionsEntriesAndComments) {
    IniFile file = Parsed(
        "top = before any section\r\n"
        "[Config]\r\n"
        "  ShowAlphaChannel=1  \r\n"
        "Path = C:\\Games\\A;B\r\n"
        "Url = a //b //c\r\n"
        "; only a comment\r\n"
        "\r\n"
        "NoValue\r\n"
        "[ Other ]\n"
        "Key = x\n"
        "[Config]\n"
        "Late = 2\n"
        "ShowAlphaChannel = 0\n");
    EXPECT_EQ(file.GetString(L"", L"top"), L"before any section");
    EXPECT_TRUE(file.GetBool(L"Config", L"ShowAlphaChannel", false));  // the first occurrence wins
    EXPECT_EQ(file.GetString(L"Config", L"Path"), L"C:\\Games\\A");   // cut at ';'
    EXPECT_EQ(file.GetString(L"Config", L"Url"), L"a //b");           // cut at the last " //"
    EXPECT_EQ(file.GetString(L"Other", L"Key"), L"x");
    EXPECT_EQ(file.GetInt(L"Config", L"Late", 0), 2);                 // a section named twice collects both
    EXPECT_EQ(file.GetString(L"Config", L"NoValue"), L"");
    EXPECT_EQ(file.GetString(L"Config", L"Missing"), L"");
}

TEST(EditorSettingsFormat, ConvertsNumbersBoolsAndQuotes) {
    IniFile file = Parsed(
        "[S]\n"
        "neg = -1920\n"
        "digits = 12abc\n"
        "letters = abc\n"
        "plus = \"+5\"\n"
        "big = 2147483648\n"
        "min = -2147483648\n"
        "hash = 4294967295\n"
        "hashBig = 4294967296\n"
        "hashNeg = -1\n"
        "word = true\n"
        "one = 1\n"
        "q1 = \"quoted\"\n"
        "q2 = 'single\"\n"
        "q3 = '\n");
    EXPECT_EQ(file.GetInt(L"S", L"neg", 7), -1920);
    EXPECT_EQ(file.GetInt(L"S", L"digits", 7), 12);
    EXPECT_EQ(file.GetInt(L"S", L"letters", 7), 0);  // present but no digit: 0, not the default
    EXPECT_EQ(file.GetInt(L"S", L"plus", 7), 0);
    EXPECT_EQ(file.GetInt(L"S", L"big", 7), 0);
    EXPECT_EQ(file.GetInt(L"S", L"min", 7), INT32_MIN);
    EXPECT_EQ(file.GetInt(L"S", L"absent", 7), 7);
    EXPECT_EQ(file.GetUnsigned(L"S", L"hash", 7), 4294967295u);
    EXPECT_EQ(file.GetUnsigned(L"S", L"hashBig", 7), 0u);
    EXPECT_EQ(file.GetUnsigned(L"S", L"hashNeg", 7), 0u);
    EXPECT_FALSE(file.GetBool(L"S", L"word", true));
    EXPECT_TRUE(file.GetBool(L"S", L"one", false));
    EXPECT_TRUE(file.GetBool(L"S", L"absent", true));
    EXPECT_EQ(file.GetString(L"S", L"q1"), L"quoted");
    EXPECT_EQ(file.GetString(L"S", L"q2"), L"single");
    EXPECT_EQ(file.GetString(L"S", L"q3"), L"");  // a lone quote must not break the reader
}

TEST(EditorSettingsFormat, WritesSortedNonEmptyEntriesWithCrLf) {
    IniFile file;
    file.SetString(L"Config", L"b", L"two");
    file.SetInt(L"Config", L"a", -3);
    file.SetString(L"Config", L"empty", L"");
    file.SetBool(L"Alpha", L"flag", true);
    file.SetUnsigned(L"Config", L"c", 4000000000u);
    EXPECT_EQ(file.Format(), "[Alpha]\r\nflag = 1\r\n[Config]\r\na = -3\r\nb = two\r\nc = 4000000000\r\n");
}

TEST(EditorSettingsKeys, MissingFileGivesTheDefaults) {
    TempFolder folder;
    EditorSettings settings = LoadSettingsFile(folder.path() / "ZRC-Zelko.ini");
    EXPECT_EQ(settings.window.left, 0);
    EXPECT_EQ(settings.window.right, 0);
    EXPECT_EQ(settings.splitterWidth, 0);
    EXPECT_TRUE(settings.showAlphaChannel);
    EXPECT_TRUE(settings.exportHashWhenTruncated);
    EXPECT_FALSE(settings.exportOverwrite);
    EXPECT_EQ(settings.formatChangeSelection, 0);
    EXPECT_TRUE(settings.options.autoOpenLast);
    EXPECT_TRUE(settings.options.autoBackup);
    EXPECT_TRUE(settings.options.useCache);
    EXPECT_TRUE(settings.options.saveLogs);
    EXPECT_TRUE(settings.recentFilePath.empty());
}

TEST(EditorSettingsKeys, EveryKeySurvivesAWriteAndARead) {
    TempFolder folder;
    const auto path = folder.path() / "ZRC-Zelko.ini";
    WriteTextFile(path, "[Config]\r\nUnknownKey = kept\r\n[Mine]\r\nX = 1 ; comment\r\n");
    EditorSettings written;
    written.window = {-1920, 10, -900, 700};
    written.splitterWidth = 321;
    written.splitterHeight = 222;
    written.showAlphaChannel = false;
    written.recentImportFolder = L"";
    written.recentOpenFolder = L"C:\\Games\\Tracks";
    written.recentExportFolder = L"D:\\Export \u00e9t\u00e9";
    written.exportFormat = 4;
    written.exportOverwrite = true;
    written.exportHashWhenTruncated = false;
    written.formatChangeSelection = 0x31545844;
    written.recentFilePath = L"C:\\Games\\Tracks\\STREAML2RA.BUN";
    written.recentFileIndex = 17;
    written.recentTextureIndex = 0xF00DBEEF;
    written.recentFileType = 2;
    written.options = {false, true, false, true};
    ASSERT_TRUE(SaveSettingsFile(written, path));

    IniFile raw(path);
    EXPECT_EQ(raw.GetString(L"Config", L"UnknownKey"), L"kept");
    EXPECT_EQ(raw.GetString(L"Mine", L"X"), L"1");
    EXPECT_EQ(raw.GetString(L"Config", L"RecentTextureIndex"), L"4027432687");
    EXPECT_EQ(raw.Format().find("RecentImportFolder"), std::string::npos);  // empty values are not written

    EditorSettings read = LoadSettingsFile(path);
    EXPECT_EQ(read.window.left, -1920);
    EXPECT_EQ(read.window.top, 10);
    EXPECT_EQ(read.window.right, -900);
    EXPECT_EQ(read.window.bottom, 700);
    EXPECT_EQ(read.splitterWidth, 321);
    EXPECT_EQ(read.splitterHeight, 222);
    EXPECT_FALSE(read.showAlphaChannel);
    EXPECT_EQ(read.recentOpenFolder, written.recentOpenFolder);
    EXPECT_EQ(read.recentExportFolder, written.recentExportFolder);
    EXPECT_EQ(read.exportFormat, 4);
    EXPECT_TRUE(read.exportOverwrite);
    EXPECT_FALSE(read.exportHashWhenTruncated);
    EXPECT_EQ(read.formatChangeSelection, 0x31545844);
    EXPECT_EQ(read.recentFilePath, written.recentFilePath);
    EXPECT_EQ(read.recentFileIndex, 17);
    EXPECT_EQ(read.recentTextureIndex, 0xF00DBEEFu);
    EXPECT_EQ(read.recentFileType, 2);
    EXPECT_FALSE(read.options.autoOpenLast);
    EXPECT_TRUE(read.options.autoBackup);
    EXPECT_FALSE(read.options.useCache);
    EXPECT_TRUE(read.options.saveLogs);
}

} // namespace
} // namespace zelko
