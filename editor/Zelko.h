#pragma once
// Zelko: the editor's main window and the owner of the one open document.
// It builds the menus, the two lists and the status bar, carries the
// document through open, reload, close and save, and paints the preview.
#include "container/OpenFlow.h"
#include "editor/FindDialog.h"
#include "editor/PreviewBitmap.h"
#include "editor/Settings.h"
#include "toolkit/Application.h"
#include "toolkit/Handles.h"
#include "toolkit/ListView.h"
#include "toolkit/Status.h"
#include "toolkit/Stopwatch.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelko {

constexpr const wchar_t* kZelkoTitle = L"ZRC-Zelko v1.7 by korvane";

// Where the program keeps its files, and what it was started with.
struct ZelkoEnvironment {
    std::wstring executable; // the program's own path, for file associations
    std::wstring programFolder; // settings file and log
    std::wstring dataFolder; // the name lists
    std::vector<std::wstring> arguments; // element 0 is the program
    bool thumbnails = true; // off only to time loading without them (ZELKO_NO_THUMBNAILS)
};

// The folder of the running program, its Data folder and its command line.
ZelkoEnvironment DefaultEnvironment();

class Zelko : public Application {
public:
    // Message boxes go through this; tests answer them without a real box.
    using MessageBoxFunction =
        std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)>;

    explicit Zelko(ZelkoEnvironment environment = DefaultEnvironment());
    ~Zelko() override;

    // Registers the class, creates the centred window, runs OnCreate, shows
    // the window and runs the after-show step; false when any of it fails.
    bool Start(int showCommand);

    bool OnCreate() override;
    void OnShown() override;
    void OnCommand(WORD id, WORD code) override;
    void OnSize() override;
    bool OnClose() override;
    void OnPaint(PAINTSTRUCT& paint, HDC dc) override;
    void OnDropFile(const std::wstring& path) override;

    // File > Open: the prompt, the open dialog when path is empty, then the open flow.
    void Menu_Open(const std::wstring& path);
    void Menu_OpenWorldFolder();
    void Menu_Reload();
    bool Menu_Save();
    void Menu_ToggleAlpha();
    void Menu_Options();

    // Texture commands; each does nothing without an open document.
    void Menu_TextureAdd();
    void Menu_TextureDuplicate();
    void Menu_TextureRename();
    void Menu_TextureFormatChange();
    void Menu_TextureDelete();
    // An empty path asks with the open-file dialog.
    void Menu_TextureReplace(const std::wstring& path);
    // Imports the file into the texture and refreshes its rows; false (after
    // the messages) when the file cannot be imported.
    bool ReplaceTextureFromFile(const std::wstring& path, TextureObject& texture, IListItem& item);
    // The open-file dialog for image files; empty when cancelled.
    std::wstring SelectTextureToImport();
    // Asks for a name whose hash no texture of the pack has, as it is to be
    // stored (Windows-1252); false when refused or cancelled.
    bool GetUniqueTextureName(const std::wstring& caption, std::string& name);
    // Appends a row for a new texture, selects and previews it.
    void AddTextureToList(TextureObject& texture);

    // Replaces the textures named like the files and adds the others; an
    // empty path asks for a folder. True when any file was taken.
    bool Menu_TextureAddReplaceFromFolder(const std::wstring& path);
    // The checked rows, or every row with `all`, through the export dialog.
    bool Menu_TextureExportFromList(bool all);
    // Every texture pack of the file as it is on disk.
    void Menu_TextureExportAllFromOpenedArchive();
    // Registers the program for ".bun", ".bin" and ".lzc"; true when all three were.
    bool Menu_AssociateSupportedArchives();
    // Opens the folder of the document in the file browser.
    void Menu_OpenLocation();
    void Menu_About();
    void Menu_Update();

    // Shows the Find dialog, then builds the Find index when it is not built.
    void Menu_Find();
    // The Find index: from the texture list for a one-entry document, else
    // from every entry read again from disk, with "Loading... N%" texts.
    void CreateTexturesList();
    // Opens the record's entry (asking about unsaved changes first) and selects its texture.
    void GoToFindRecord(const FindRecord& record);
    const FindDialog& Find() const { return findDialog_; }
    bool FindIndexBuilt() const { return findIndexBuilt_; }

    // Writes the textures as image files of export format `format` into folder.
    bool ExportTextures(const std::vector<const TextureObject*>& textures, const std::wstring& folder, int format);
    // The open-and-load flow: closes the current document, then lists the
    // packs of path (an empty path opens nothing).
    void OpenDocumentPath(const std::wstring& path);
    void OpenWorldFolderPath(const std::wstring& folder);
    void ReopenRecent();
    void CloseDocument();
    // Opens the entry's container and fills the texture list.
    bool File_ProcessBIN(uint32_t id);
    // False when the user cancels; Yes saves first.
    bool AskToSaveChanges();
    bool HasUnsavedChanges() const { return container_ && container_->modified; }
    void SetStatus(const std::wstring& text, bool log);

    // The pane beside the lists, in client coordinates.
    RECT PreviewArea();
    void InvalidatePreview();

    ListView* FileList() const { return fileList_.get(); }
    ListView* TextureList() const { return textureList_.get(); }
    Status* StatusBar() const { return status_.get(); }
    IBinFile* Container() const { return container_.get(); }
    const Document& OpenedDocument() const { return document_; }
    const PreviewBitmap* Preview() const { return preview_.get(); }
    EditorSettings& Settings() { return settings_; }
    const ZelkoEnvironment& Environment() const { return environment_; }
    std::wstring SettingsPath() const;

    MessageBoxFunction messageBox;
    // The shell's "open" of a folder or a web address; tests see what would open.
    std::function<void(HWND owner, const std::wstring& target)> shellOpen;
    // Told of every command that passed the enabling check, before its handler runs.
    std::function<void(WORD id)> onCommandHandled;

private:
    void BuildMenus();
    // Runs a texture command; an error it raises is shown, not passed on.
    void RunTextureCommand(WORD id);
    void CreateLists();
    void RestoreGeometry();
    void SaveSettings();
    void SetDocumentCommands(bool enabled);
    void SetEditingCommands(bool enabled);
    void EnableCommand(UINT id, bool enabled);
    bool IsCommandEnabled(UINT id) const;
    void ConstrainFileList(RectPositions& r);
    void ConstrainTextureList(RectPositions& r);
    void FileListResized();
    void TextureListResized();
    RECT ChildArea(const IControl& control);
    void FinishLoad(Document document, const Stopwatch& watch);
    void FillFileList();
    void RefreshFileList();
    void UpdateCounts();
    void OnTextureFocused(IListItem& item);
    // A row's cells; its thumbnail too unless the pixels are unchanged (a
    // rename) or the rows are filled before their thumbnails.
    enum class Thumbnail : bool { Keep, Make };
    void SetTextureRow(IListItem& item, TextureObject& texture, Thumbnail thumbnail);
    void RefreshEntryRow();
    void FitTextureColumns();
    // The common checks of the texture commands: a PC document, a selected row.
    bool CheckPcOnly();
    IListItem* SelectedTexture(const std::wstring& caption);
    void Report(const std::wstring& text) { SetStatus(text, true); }
    // The export dialog over the four export settings; false when cancelled.
    bool AskExportOptions();
    void RenderPreview(const TextureObject& texture);
    void DiscardPreview();
    Host MakeHost();
    int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

    ZelkoEnvironment environment_;
    EditorSettings settings_;
    IconHandle icon_;
    std::unique_ptr<Status> status_;
    std::unique_ptr<ListView> fileList_;
    std::unique_ptr<ListView> textureList_;
    Document document_;
    std::unique_ptr<IBinFile> container_;
    std::unique_ptr<PreviewBitmap> preview_;
    bool layoutInProgress_ = false;
    FindDialog findDialog_;
    std::vector<FindRecord> findIndex_;
    bool findIndexBuilt_ = false;
};

} // namespace zelko
