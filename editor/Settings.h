#pragma once
// The editor's remembered choices and the keys of "ZRC-Zelko.ini" that hold
// them: read once at start, written once at a normal close.
#include <cstdint>
#include <filesystem>
#include <string>

#include "editor/IniFile.h"

namespace zelko {

constexpr const wchar_t* kSettingsFileName = L"ZRC-Zelko.ini";
constexpr const wchar_t* kSettingsSection = L"Config";

// Screen rectangle of the main window as written on close.
struct WindowRectangle {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The four choices of the Options dialog, exchanged with it as one unit.
struct EditorOptions {
    bool autoOpenLast = false;
    bool autoBackup = false;
    bool useCache = false;
    bool saveLogs = false;
};

struct EditorSettings {
    WindowRectangle window;
    int32_t splitterWidth = 0;
    int32_t splitterHeight = 0;
    bool showAlphaChannel = false;
    std::wstring recentImportFolder;
    std::wstring recentOpenFolder;
    std::wstring recentExportFolder;
    int32_t exportFormat = 0;
    bool exportOverwrite = false;
    bool exportHashWhenTruncated = false;
    int32_t formatChangeSelection = -1;
    std::wstring recentFilePath;
    int32_t recentFileIndex = 0;
    uint32_t recentTextureIndex = 0; // a name hash, not a row
    int32_t recentFileType = 0;
    EditorOptions options;
};

// Every key with its default when absent.
EditorSettings ReadSettings(const IniFile& file);
// Sets every key in the order of the table; other keys and sections stay.
void WriteSettings(const EditorSettings& settings, IniFile& file);

// Reads the file at path (missing: all defaults).
EditorSettings LoadSettingsFile(const std::filesystem::path& path);
// Keeps what the existing file holds besides our keys; false when it cannot be written.
bool SaveSettingsFile(const EditorSettings& settings, const std::filesystem::path& path);

} // namespace zelko
