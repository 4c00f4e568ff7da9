#include "editor/Settings.h"

namespace zelko {

EditorSettings ReadSettings(const IniFile& file) {
    const std::wstring s = kSettingsSection;
    EditorSettings r;
    r.window.left = file.GetInt(s, L"WindowX1", 0);
    r.window.top = file.GetInt(s, L"WindowY1", 0);
    r.window.right = file.GetInt(s, L"WindowX2", 0);
    r.window.bottom = file.GetInt(s, L"WindowY2", 0);
    r.splitterWidth = file.GetInt(s, L"SplitterWidth", 0);
    r.splitterHeight = file.GetInt(s, L"SplitterHeight", 0);
    r.showAlphaChannel = file.GetBool(s, L"ShowAlphaChannel", true);
    r.recentImportFolder = file.GetString(s, L"RecentImportFolder");
    r.recentOpenFolder = file.GetString(s, L"RecentOpenFolder");
    r.recentExportFolder = file.GetString(s, L"RecentExportFolder");
    r.exportFormat = file.GetInt(s, L"ExportFormat", 0);
    r.exportOverwrite = file.GetBool(s, L"ExportOverwrite", false);
    r.exportHashWhenTruncated = file.GetBool(s, L"ExportHashWhenTruncated", true);
    r.formatChangeSelection = file.GetInt(s, L"FormatChangeSelection", 0);
    r.recentFilePath = file.GetString(s, L"RecentFilePath");
    r.recentFileIndex = file.GetInt(s, L"RecentFileIndex", 0);
    r.recentTextureIndex = file.GetUnsigned(s, L"RecentTextureIndex", 0);
    r.recentFileType = file.GetInt(s, L"RecentFileType", 0);
    r.options.autoOpenLast = file.GetBool(s, L"AutoOpenLast", true);
    r.options.autoBackup = file.GetBool(s, L"AutoBackup", true);
    r.options.useCache = file.GetBool(s, L"UseCache", true);
    r.options.saveLogs = file.GetBool(s, L"SaveLogs", true);
    return r;
}

void WriteSettings(const EditorSettings& r, IniFile& file) {
    const std::wstring s = kSettingsSection;
    file.SetInt(s, L"WindowX1", r.window.left);
    file.SetInt(s, L"WindowY1", r.window.top);
    file.SetInt(s, L"WindowX2", r.window.right);
    file.SetInt(s, L"WindowY2", r.window.bottom);
    file.SetInt(s, L"SplitterWidth", r.splitterWidth);
    file.SetInt(s, L"SplitterHeight", r.splitterHeight);
    file.SetBool(s, L"ShowAlphaChannel", r.showAlphaChannel);
    file.SetString(s, L"RecentImportFolder", r.recentImportFolder);
    file.SetString(s, L"RecentOpenFolder", r.recentOpenFolder);
    file.SetString(s, L"RecentExportFolder", r.recentExportFolder);
    file.SetInt(s, L"ExportFormat", r.exportFormat);
    file.SetBool(s, L"ExportOverwrite", r.exportOverwrite);
    file.SetBool(s, L"ExportHashWhenTruncated", r.exportHashWhenTruncated);
    file.SetInt(s, L"FormatChangeSelection", r.formatChangeSelection);
    file.SetString(s, L"RecentFilePath", r.recentFilePath);
    file.SetInt(s, L"RecentFileIndex", r.recentFileIndex);
    file.SetUnsigned(s, L"RecentTextureIndex", r.recentTextureIndex);
    file.SetInt(s, L"RecentFileType", r.recentFileType);
    file.SetBool(s, L"AutoOpenLast", r.options.autoOpenLast);
    file.SetBool(s, L"AutoBackup", r.options.autoBackup);
    file.SetBool(s, L"UseCache", r.options.useCache);
    file.SetBool(s, L"SaveLogs", r.options.saveLogs);
}

EditorSettings LoadSettingsFile(const std::filesystem::path& path) { return ReadSettings(IniFile(path)); }

bool SaveSettingsFile(const EditorSettings& settings, const std::filesystem::path& path) {
    IniFile file(path);
    WriteSettings(settings, file);
    return file.Save(path);
}

} // namespace zelko
