// The Texture menu: add, duplicate, rename, format change, delete and
// replace. The rules live in the core's editing module; this file asks the
// user, keeps the list rows and the preview up to date, and reports.
#include "editor/Zelko.h"

#include "container/Editing.h"
#include "editor/Dialogs.h"
#include "format/Text.h"
#include "texture/Conversion.h"
#include "texture/TextureObject.h"
#include "toolkit/Dialogs.h"

#include <filesystem>

namespace zelko {
namespace {

constexpr UINT kInformation = MB_OK | MB_ICONINFORMATION;

TextureObject& TextureOf(IListItem& item) { return *static_cast<TextureObject*>(item.GetData()); }

// Texture names are Windows-1252 bytes whatever the system's code page: one
// fixed table shows them and takes typed names back, so every byte survives.
std::wstring Shown(const std::string& name) { return WideFromCp1252(name); }
std::string Typed(const std::wstring& name) { return Cp1252FromWide(name); }

} // namespace

bool Zelko::CheckPcOnly() {
    if (container_->platform == 0) return true;
    ShowMessage(nullptr, L"This feature is only available for PC version", L"Error", kInformation);
    return false;
}

IListItem* Zelko::SelectedTexture(const std::wstring& caption) {
    IListItem* item = textureList_->GetSelectedItem();
    if (item && item->GetData()) return item;
    ShowMessage(nullptr, L"Select texture first", caption, kInformation);
    return nullptr;
}

void Zelko::SetTextureRow(IListItem& item, TextureObject& texture, Thumbnail thumbnail) {
    const TextureRow row = MakeTextureRow(texture);
    item.SetData(&texture);
    item.SetText(0, Shown(row.displayName));
    item.SetText(1, std::to_wstring(row.width));
    item.SetText(2, std::to_wstring(row.height));
    item.SetText(3, WideFromUtf8(row.formatName));
    item.SetText(4, std::to_wstring(row.mipCount));
    if (thumbnail == Thumbnail::Keep || !environment_.thumbnails) return;
    if (auto thumbnail = MakeThumbnailBitmap(texture, uint32_t(textureList_->ImageSize()))) {
        BitmapHandle previous(item.SetImage(thumbnail->Release()));
    }
}

std::wstring Zelko::SelectTextureToImport() {
    return ShowOpenFileDialog(window, std::wstring(kZelkoTitle) + L" | Select texture to import",
                              {{L"All supported files", L"*.dds;*.bmp;*.png;*.gif;*.tiff;*.tif;*.jpeg;*.jpg;"},
                               {L"DirectDraw Surface (DDS) (*.dds)", L"*.dds"},
                               {L"Bitmap (*.bmp)", L"*.bmp"},
                               {L"GIF (*.gif)", L"*.gif"},
                               {L"TIFF (*.tif; *.tiff)", L"*.tif;*.tiff"},
                               {L"JPEG (*.jpg; *.jpeg)", L"*.jpg;*.jpeg"}},
                              L".dds", settings_.recentImportFolder);
}

void Zelko::AddTextureToList(TextureObject& texture) {
    HWND list = textureList_->window;
    {
        RedrawOff redraw(list);
        int row = 0;
        IListItem* item = textureList_->AddItem(row);
        SetTextureRow(*item, texture, Thumbnail::Make);
        textureList_->SelectRow(row); // its focus change renders the preview
        SetFocus(list);
    }
    InvalidateRect(list, nullptr, FALSE);
    RefreshEntryRow();
    UpdateCounts();
}

void Zelko::Menu_TextureAdd() {
    if (!container_ || !CheckPcOnly()) return;
    const std::wstring path = SelectTextureToImport();
    if (path.empty()) return;
    TextureObject* added = nullptr;
    try {
        added = &container_->AddTextureFromFile(std::filesystem::path(path));
        AddTextureToList(*added);
    } catch (const std::exception& failure) {
        Report(L"ERROR: Failed to add the file: " + path);
        ShowMessage(nullptr, L"Failed to add the file: " + path + L"\r\n\r\nERROR: " + WideFromUtf8(failure.what()),
                    L"Add Texture", kInformation);
        return;
    }
    Report(L"Added texture: " + Shown(added->name));
}

bool Zelko::GetUniqueTextureName(const std::wstring& caption, std::string& name) {
    if (!container_ || !CheckPcOnly()) return false;
    IListItem* item = SelectedTexture(caption);
    if (!item) return false;
    const std::set<uint32_t> taken = TextureHashes(*container_);
    TextInputRequest request;
    request.title = caption;
    request.label = L"Enter texture name:";
    request.text = Shown(TextureOf(*item).GetDisplayName(false));
    request.maxLength = kMaxTextureNameLength;
    request.validator = [&taken](const std::wstring& text) { return IsNameFree(taken, Typed(text)); };
    if (!ShowTextInputDialog(window, request)) return false;
    name = Typed(request.text);
    return true;
}

void Zelko::Menu_TextureDuplicate() {
    std::string name;
    if (!GetUniqueTextureName(L"Duplicate", name)) return;
    TextureObject& source = TextureOf(*textureList_->GetSelectedItem());
    const std::string oldName = source.name;
    TextureObject& copy = DuplicateTexture(*container_, source, name);
    AddTextureToList(copy);
    Report(L"Duplicated texture: " + Shown(oldName) + L" -> " + Shown(name));
}

void Zelko::Menu_TextureRename() {
    std::string name;
    if (!GetUniqueTextureName(L"Rename", name)) return;
    IListItem& item = *textureList_->GetSelectedItem();
    TextureObject& texture = TextureOf(item);
    const std::wstring old = Shown(texture.GetDisplayName(true));
    RenameTexture(*container_, texture, name);
    // The list remembers the focused texture by its hash.
    settings_.recentTextureIndex = texture.hash;
    SetTextureRow(item, texture, Thumbnail::Keep);
    FitTextureColumns();
    InvalidateRect(textureList_->window, nullptr, TRUE);
    SetFocus(textureList_->window);
    Report(L"Renamed texture: " + old + L" -> " + Shown(name));
}

void Zelko::Menu_TextureFormatChange() {
    if (!container_ || !CheckPcOnly()) return;
    IListItem* item = SelectedTexture(L"Format change");
    if (!item) return;
    TextureObject& texture = TextureOf(*item);
    uint32_t format = uint32_t(settings_.formatChangeSelection);
    if (!ShowFormatChangeDialog(window, format)) return;
    settings_.formatChangeSelection = int32_t(format);
    const std::string oldFormat = FormatName(texture.format);
    if (!ChangeTextureFormat(*container_, texture, format)) return;
    SetTextureRow(*item, texture, Thumbnail::Make);
    InvalidateRect(textureList_->window, nullptr, TRUE);
    RenderPreview(texture);
    SetFocus(textureList_->window);
    Report(Shown(texture.name) + L" format change " + WideFromUtf8(oldFormat) + L" -> " +
           WideFromUtf8(FormatName(format)));
}

void Zelko::Menu_TextureDelete() {
    if (!container_ || !CheckPcOnly()) return;
    if (textureList_->RowCount() == 1) {
        ShowMessage(nullptr, L"The file must contain at least one texture.", L"Delete", kInformation);
        return;
    }
    IListItem* item = SelectedTexture(L"Delete");
    if (!item) return;
    TextureObject& texture = TextureOf(*item);
    const std::string name = texture.name;
    const int row = textureList_->SelectedRow();
    DeleteTexture(*container_, texture);

    HWND list = textureList_->window;
    {
        RedrawOff redraw(list);
        textureList_->DeleteRow(row);
        const int selected = textureList_->SelectedRow();
        if (selected >= 0) {
            textureList_->SelectRow(selected);
        } else {
            DiscardPreview(); // it showed the texture that is gone
        }
    }
    InvalidateRect(list, nullptr, FALSE);
    RefreshEntryRow();
    UpdateCounts();
    Report(L"Deleted texture: " + Shown(name));
}

void Zelko::Menu_TextureReplace(const std::wstring& given) {
    if (!container_ || !CheckPcOnly()) return;
    IListItem* item = SelectedTexture(L"Replace");
    if (!item) return;
    const std::wstring path = given.empty() ? SelectTextureToImport() : given;
    if (path.empty()) return;
    ReplaceTextureFromFile(path, TextureOf(*item), *item);
}

bool Zelko::ReplaceTextureFromFile(const std::wstring& path, TextureObject& texture, IListItem& item) {
    settings_.recentImportFolder = std::filesystem::path(path).parent_path().wstring();
    ScratchImage image;
    std::string error;
    // Archives patched in place keep every size: the image is fitted to the texture.
    bool replaced = LoadImageForTexture(std::filesystem::path(path), texture,
                                        container_->CanRebuild() ? Resizing::KeepSize : Resizing::ToTarget, image,
                                        error);
    if (replaced && !container_->ReplaceImage(&texture, image)) {
        replaced = false;
        error = "The image does not fit the texture's format.";
    }
    if (!replaced) {
        Report(L"ERROR: Failed to import the file: " + path);
        ShowMessage(nullptr, WideFromUtf8(error), L"Error", kInformation);
        return false;
    }
    RefreshEntryRow();
    SetTextureRow(item, texture, Thumbnail::Make);
    FitTextureColumns();
    RenderPreview(texture);
    Report(L"Texture " + Shown(texture.name) + L" has been updated.");
    InvalidateRect(textureList_->window, nullptr, TRUE);
    return true;
}

void Zelko::Menu_Options() {
    EditorOptions options = settings_.options;
    if (ShowOptionsDialog(window, options) == kOptionsAccepted) settings_.options = options;
    status_->SetLogEnabled(settings_.options.saveLogs);
}

} // namespace zelko
