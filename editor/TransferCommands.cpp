// Add/Replace from folder and the three export commands: the window side of
// the core's ImportFiles and ExportTextures, which the command line shares.
#include "editor/Zelko.h"

#include "container/Transfer.h"
#include "editor/Dialogs.h"
#include "format/Parallel.h"
#include "format/Text.h"
#include "texture/TextureObject.h"
#include "toolkit/Dialogs.h"

#include <filesystem>

namespace zelko {
namespace {

constexpr UINT kInformation = MB_OK | MB_ICONINFORMATION;

} // namespace

bool Zelko::Menu_TextureAddReplaceFromFolder(const std::wstring& path) {
    if (!container_) return false;
    if (!CheckPcOnly()) return false;
    std::vector<std::filesystem::path> files;
    if (path.empty()) {
        const std::wstring folder = ShowFolderPicker(window, L"Select folder with textures", FolderButton::NewFolder,
                                                     settings_.recentImportFolder);
        if (folder.empty()) return false;
        files = FolderFiles(std::filesystem::path(folder));
        if (files.empty()) return false;
        settings_.recentImportFolder = folder;
        Report(L"Importing textures from folder " + folder);
    } else {
        files.push_back(std::filesystem::path(path));
    }
    std::vector<TextureObject*> rows;
    for (IListItem* item : textureList_->GetItems()) rows.push_back(static_cast<TextureObject*>(item->GetData()));

    ImportOutcome outcome;
    {
        DisabledWindow disabled(window);
        RedrawOff quiet(textureList_->window);
        // Files are read and converted on every core; rows and messages follow in order.
        outcome = ImportFiles(
            *container_, rows, files, MakeHost(),
            [this](TextureObject& added) {
                int row = 0;
                SetTextureRow(*textureList_->AddItem(row), added, Thumbnail::Make);
            },
            DefaultJobs());
        for (TextureObject* changed : outcome.changedTextures) {
            const int row = textureList_->RowOfData(changed);
            if (IListItem* item = row >= 0 ? textureList_->GetItems()[size_t(row)] : nullptr) {
                SetTextureRow(*item, *changed, Thumbnail::Make);
            }
        }
    }
    // The row of the last texture handled, wherever sorting has put it.
    if (outcome.last) {
        const int row = textureList_->RowOfData(outcome.last);
        if (row >= 0) textureList_->SelectRow(row);
    }
    FitTextureColumns();
    InvalidateRect(textureList_->window, nullptr, TRUE);
    SetFocus(textureList_->window);
    UpdateCounts();
    if (!outcome.failures.empty()) {
        ResultReport report{L"Failed to add/replace the following file(s):", {}};
        for (const std::string& failure : outcome.failures) report.messages.push_back(WideFromUtf8(failure));
        ShowResultDialog(window, report);
    }
    return outcome.succeeded != 0;
}

bool Zelko::AskExportOptions() {
    ExportOptions options{settings_.recentExportFolder, settings_.exportFormat, settings_.exportOverwrite,
                          settings_.exportHashWhenTruncated};
    if (!ShowExportDialog(window, options)) return false;
    settings_.recentExportFolder = options.folder.wstring();
    settings_.exportFormat = options.format;
    settings_.exportOverwrite = options.overwrite;
    settings_.exportHashWhenTruncated = options.hashWhenTruncated;
    return true;
}

bool Zelko::ExportTextures(const std::vector<const TextureObject*>& textures, const std::wstring& folder, int format) {
    Host host = MakeHost();
    host.showMessage = [this](const std::string& text) {
        ShowMessage(nullptr, WideFromUtf8(text), L"Error", kInformation);
    };
    const ExportOptions options{std::filesystem::path(folder), format, settings_.exportOverwrite,
                                settings_.exportHashWhenTruncated, DefaultJobs()};
    return zelko::ExportTextures(textures, options, host);
}

bool Zelko::Menu_TextureExportFromList(bool all) {
    if (!container_) return false;
    if (textureList_->RowCount() == 0) {
        SetStatus(L"No textures to export.", false);
        return false;
    }
    std::vector<const TextureObject*> textures;
    for (IListItem* item : textureList_->GetItems()) {
        if (all || item->IsChecked()) textures.push_back(static_cast<const TextureObject*>(item->GetData()));
    }
    if (textures.empty()) {
        SetStatus(L"No checked textures.", false);
        return false;
    }
    if (!AskExportOptions()) return false;
    bool exported = false;
    {
        DisabledWindow disabled(window);
        exported = ExportTextures(textures, settings_.recentExportFolder, settings_.exportFormat);
    }
    textureList_->UncheckAll();
    SetFocus(textureList_->window);
    return exported;
}

void Zelko::Menu_TextureExportAllFromOpenedArchive() {
    if (document_.entries.empty()) return;
    if (!AskExportOptions()) return;
    {
        DisabledWindow disabled(window);
        for (auto& [id, listed] : document_.entries) {
            if (listed.name != kTextureFileEntryName) continue;
            // Read again from disk: the export shows the file, not unsaved edits.
            ArchiveEntry entry = listed;
            TextureBinFile pack;
            try {
                if (!pack.Open(document_.path, entry)) continue;
                std::vector<const TextureObject*> textures;
                pack.ForEachTexture([&](TextureObject* t) { textures.push_back(t); });
                ExportTextures(textures, settings_.recentExportFolder, settings_.exportFormat);
            } catch (const std::exception& failure) {
                // One damaged pack does not stop the others.
                Report(L"ERROR: " + WideFromUtf8(entry.Text()) + L": " + WideFromUtf8(failure.what()));
            }
        }
    }
    SetFocus(textureList_->window);
}

} // namespace zelko
