// The document side of the main window: the open-and-load flow, the texture
// list, saving, closing and the preview of the focused texture.
#include "editor/Zelko.h"

#include "container/Editing.h"
#include "editor/PreviewBitmap.h"
#include "format/Errors.h"
#include "format/Parallel.h"
#include "format/Text.h"
#include "texture/Preview.h"
#include "texture/TextureObject.h"

#include <shlwapi.h>

#include <filesystem>
#include <optional>

namespace zelko {
namespace {

std::wstring ByteSizeText(uint64_t size) {
    wchar_t text[64] = {};
    StrFormatByteSizeW(static_cast<LONGLONG>(size), text, 64);
    return text;
}

std::wstring Wide(const std::string& utf8) { return WideFromUtf8(utf8); }

void SetEntryTexts(IListItem& item, const ArchiveEntry& entry) {
    item.SetText(0, std::to_wstring(uint64_t(entry.id) + 1));
    item.SetText(1, Wide(entry.name));
    item.SetText(2, ByteSizeText(entry.size));
    item.SetText(3, std::to_wstring(entry.textureCount));
}

} // namespace

Host Zelko::MakeHost() {
    Host host;
    host.progress = [this](const std::string& text) { SetStatus(Wide(text), false); };
    host.report = [this](const std::string& text) { SetStatus(Wide(text), true); };
    host.failure = [this](const std::string& text) { SetStatus(L"ERROR: " + Wide(text), true); };
    host.pumpMessages = [] { PumpMessages(); };
    host.showMessage = [this](const std::string& text) {
        if (!text.empty()) ShowMessage(window, Wide(text), L"", MB_OK | MB_ICONINFORMATION);
    };
    return host;
}

void Zelko::OpenDocumentPath(const std::wstring& given) {
    CloseDocument();
    if (given.empty()) return;
    Stopwatch watch;
    std::error_code error;
    // Remembered for the next start, which may run in another folder.
    const std::filesystem::path file = std::filesystem::absolute(std::filesystem::path(given), error);
    const std::wstring path = file.wstring();
    const uint64_t size = std::filesystem::file_size(file, error);
    const bool vinyl = HasExtension(file, ".vyl");
    // Only a scan takes long enough to need the progress texts and a disabled window.
    const bool scan = !error && size > 0 && !vinyl;
    Document document;
    {
        std::optional<DisabledWindow> disabled;
        if (scan) {
            disabled.emplace(window);
            SetStatus(L"Loading " + path + L" (" + ByteSizeText(size) + L")...", true);
        }
        try {
            document = OpenDocument(file, settings_.options.useCache, MakeHost());
        } catch (const std::exception& failure) {
            disabled.reset();
            SetStatus(L"ERROR: " + Wide(failure.what()), true);
            return;
        }
    }
    FinishLoad(std::move(document), watch);
}

void Zelko::OpenWorldFolderPath(const std::wstring& folder) {
    CloseDocument();
    if (folder.empty()) return;
    Stopwatch watch;
    FinishLoad(OpenWorldFolder(std::filesystem::path(folder)), watch);
}

void Zelko::FinishLoad(Document document, const Stopwatch& watch) {
    document_ = std::move(document);
    FillFileList();
    UpdateCounts();
    if (document_.entries.empty()) {
        SetStatus(L"Ready", true);
        return;
    }
    const std::wstring path = document_.path.wstring();
    if (path != settings_.recentFilePath) {
        settings_.recentFileIndex = 0;
        settings_.recentTextureIndex = 0;
    }
    settings_.recentFilePath = path;
    settings_.recentFileType = int32_t(document_.kind);
    SetWindowTextW(window, (path + L" - " + kZelkoTitle).c_str());
    SetDocumentCommands(true);

    // A remembered entry that the file no longer has falls back to the first one.
    uint32_t id = uint32_t(settings_.recentFileIndex);
    if (!document_.entries.count(id)) id = document_.entries.begin()->first;
    int row = 0;
    for (IListItem* item : fileList_->GetItems()) {
        if (static_cast<ArchiveEntry*>(item->GetData())->id == id) break;
        ++row;
    }
    fileList_->SelectRow(row);
    File_ProcessBIN(id);
    std::wstring loaded = L"Loaded " + document_.path.filename().wstring() + L" [" +
        std::to_wstring(watch.ElapsedMilliseconds()) + L"ms]";
    if (document_.rolledBack) loaded += L"; an interrupted save was rolled back first";
    SetStatus(loaded, true);
}

void Zelko::FillFileList() {
    fileList_->Clear();
    for (auto& [id, entry] : document_.entries) {
        int row = 0;
        IListItem* item = fileList_->AddItem(row);
        item->SetData(&entry);
        SetEntryTexts(*item, entry);
    }
    fileList_->FitColumnsToContentsAndTitles(20); // a title is never cut
}

void Zelko::RefreshFileList() {
    for (IListItem* item : fileList_->GetItems()) {
        if (auto* entry = static_cast<ArchiveEntry*>(item->GetData())) SetEntryTexts(*item, *entry);
    }
    fileList_->FitColumnsToContentsAndTitles(20); // a title is never cut
    InvalidateRect(fileList_->window, nullptr, TRUE);
}

void Zelko::RefreshEntryRow() {
    for (IListItem* item : fileList_->GetItems()) {
        auto* entry = static_cast<ArchiveEntry*>(item->GetData());
        if (entry && container_ && entry == container_->entry) SetEntryTexts(*item, *entry);
    }
    InvalidateRect(fileList_->window, nullptr, FALSE);
}

void Zelko::FitTextureColumns() { textureList_->FitColumnsToContentsAndTitles(20); }

void Zelko::UpdateCounts() {
    if (status_) status_->SetText(Wide(CountsText(document_.entries)), 2, false);
}

bool Zelko::File_ProcessBIN(uint32_t id) {
    if (int32_t(id) != settings_.recentFileIndex) settings_.recentTextureIndex = 0;
    settings_.recentFileIndex = int32_t(id);
    DiscardPreview();
    auto found = document_.entries.find(id);
    if (found == document_.entries.end()) return false;
    ArchiveEntry& entry = found->second;

    SetStatus(L"Loading... ", false);
    std::unique_ptr<IBinFile> opened;
    {
        std::optional<DisabledWindow> disabled(std::in_place, window);
        try {
            opened = OpenEntry(document_, entry, MakeHost());
        } catch (const EntryLoadError& failure) {
            disabled.reset();
            SetStatus(L"ERROR: " + Wide(failure.what()), true);
            if (!failure.reason.empty()) status_->WriteLog(failure.reason);
            return false;
        } catch (const std::exception& failure) {
            disabled.reset();
            SetStatus(L"ERROR: " + Wide(entry.Text()) + L" cannot be loaded", true);
            status_->WriteLog(failure.what());
            return false;
        }
    }
    SetStatus(L"Ready", false);

    // The rows point at the old container's textures: they go first.
    textureList_->Clear();
    container_ = std::move(opened);
    {
        RedrawOff redraw(textureList_->window);
        const uint32_t selectedHash = settings_.recentTextureIndex;
        try {
            // Thumbnails are made on every core, a few rows ahead of the one added.
            const std::vector<TextureRow> rows = BuildTextureRows(*container_);
            const bool thumbnails = environment_.thumbnails;
            const uint32_t size = uint32_t(textureList_->ImageSize());
            ForEachInOrder<std::optional<PreviewPixels>>(
                rows.size(), thumbnails ? DefaultJobs() : 1,
                [&](size_t i) { return thumbnails ? MakeThumbnailPixels(*rows[i].texture, size) : std::nullopt; },
                [&](size_t i, std::optional<PreviewPixels>& pixels) {
                    int row = 0;
                    IListItem* item = textureList_->AddItem(row);
                    SetTextureRow(*item, *rows[i].texture, Thumbnail::Keep);
                    if (pixels) {
                        if (auto thumbnail = MakeThumbnailBitmap(std::move(*pixels))) {
                            BitmapHandle previous(item->SetImage(thumbnail->Release()));
                        }
                    }
                    if (selectedHash != 0 && rows[i].texture->hash == selectedHash) textureList_->SelectRow(row);
                });
        } catch (const std::exception& failure) {
            SetStatus(L"ERROR: " + Wide(failure.what()), true);
        }
        if (selectedHash == 0 && textureList_->RowCount() > 0) textureList_->SelectRow(0);
        FitTextureColumns();
    }
    InvalidateRect(textureList_->window, nullptr, TRUE);
    status_->SetText(Wide(entry.Text()), 1, false);
    status_->SetText(Wide(PlatformText(container_->platform)), 3, false);
    SetEditingCommands(true);
    return true;
}

void Zelko::CloseDocument() {
    findDialog_.Forget();
    findIndex_.clear();
    findIndexBuilt_ = false;
    textureList_->Clear();
    fileList_->Clear();
    container_.reset();
    document_ = Document{};
    SetWindowTextW(window, kZelkoTitle);
    SetDocumentCommands(false);
    SetEditingCommands(false);
    DiscardPreview();
    for (int part : {1, 2, 3}) status_->SetText(L"", part, false);
}

bool Zelko::Menu_Save() {
    if (!container_) return false;
    if (container_->platform != 0) {
        ShowMessage(nullptr, L"This feature is only available for PC version", L"Error", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    const std::wstring path = settings_.recentFilePath;
    try {
        SaveIntoDocument(*container_, document_, settings_.options.autoBackup);
    } catch (const std::exception& failure) {
        // "Failed to save <path>: <reason>"; modified stays set: the edits are still only in memory.
        SetStatus(L"ERROR: " + WideFromUtf8(failure.what()), true);
        return false;
    }
    try {
        FinishSave(std::filesystem::path(path), settings_.options.useCache);
    } catch (const std::exception& failure) {
        status_->WriteLog(failure.what()); // the save itself succeeded
    }
    RefreshFileList();
    SetStatus(L"The changes have been saved.", true);
    return true;
}

void Zelko::OnTextureFocused(IListItem& item) {
    auto* texture = static_cast<TextureObject*>(item.GetData());
    if (!texture) {
        DiscardPreview();
        return;
    }
    if (texture->hash == 0) {
        SetStatus(L"ERROR: invalid hash", true);
        return;
    }
    settings_.recentTextureIndex = texture->hash;
    RenderPreview(*texture);
}

void Zelko::RenderPreview(const TextureObject& texture) {
    preview_ = MakePreviewBitmap(texture, settings_.showAlphaChannel, std::nullopt);
    InvalidatePreview();
}

void Zelko::DiscardPreview() {
    preview_.reset();
    InvalidatePreview();
}

} // namespace zelko
