#include "editor/Zelko.h"

#include "editor/Ids.h"
#include "format/NameHash.h"
#include "format/Platform.h"
#include "format/Text.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Menu.h"
#include "toolkit/Monitors.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <filesystem>

namespace zelko {
namespace {

constexpr int kWindowWidth = 1024;
constexpr int kWindowHeight = 768;
constexpr int kMinListWidth = 200;
constexpr int kMinListHeight = 100;
constexpr int kRoomBeside = 200; // kept free right of and below the file list

constexpr UINT kDocumentGroup[] = {IDM_FILE_SAVE, IDM_FILE_CLOSE, IDM_FILE_RELOAD, IDM_TOOLS_OPEN_LOCATION};
constexpr UINT kEditingGroup[] = {IDM_TEXTURE_ADD,           IDM_TEXTURE_DUPLICATE,      IDM_TEXTURE_REPLACE,
                                  IDM_TEXTURE_DELETE,        IDM_TEXTURE_FORMAT_CHANGE,  IDM_TEXTURE_IMPORT_FOLDER,
                                  IDM_TEXTURE_RENAME,        IDM_TEXTURE_EXPORT_CHECKED, IDM_TEXTURE_EXPORT_LIST,
                                  IDM_TEXTURE_EXPORT_ARCHIVE};
// Of the editing group, the commands that change the pack's layout.
constexpr UINT kRebuildGroup[] = {IDM_TEXTURE_ADD, IDM_TEXTURE_RENAME, IDM_TEXTURE_DUPLICATE, IDM_TEXTURE_DELETE,
                                  IDM_TEXTURE_FORMAT_CHANGE};

bool HasOneOfExtensions(const std::filesystem::path& path, std::initializer_list<const char*> choices) {
    return std::any_of(choices.begin(), choices.end(), [&](const char* c) { return HasExtension(path, c); });
}

} // namespace

ZelkoEnvironment DefaultEnvironment() {
    ZelkoEnvironment environment;
    environment.executable = ProgramPath().wstring();
    environment.programFolder = ProgramFolder().wstring();
    environment.dataFolder = environment.programFolder + L"\\Data";
    environment.arguments = CommandLineArguments();
    environment.thumbnails = GetEnvironmentVariableW(L"ZELKO_NO_THUMBNAILS", nullptr, 0) == 0;
    return environment;
}

Zelko::Zelko(ZelkoEnvironment environment) : environment_(std::move(environment)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    std::setlocale(LC_ALL, "English");
    minTrackWidth = 640;
    minTrackHeight = 480;
    messageBox = [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    };
    shellOpen = [](HWND owner, const std::wstring& target) {
        ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL); // its result is not used
    };
}

Zelko::~Zelko() {
    // Rows point at the container's textures: empty the lists first.
    if (textureList_) textureList_->Clear();
    if (fileList_) fileList_->Clear();
    container_.reset();
}

bool Zelko::Start(int showCommand) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    icon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ZELKO_APP), IMAGE_ICON, 16, 16, 0)));
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (!RegisterApplicationClass(instance, icon_.Get(), icon_.Get())) return false;
    // Signed halving: a desktop smaller than the window starts it off the edge.
    const int x = (desktop.right - desktop.left - kWindowWidth) / 2;
    const int y = (desktop.bottom - desktop.top - kWindowHeight) / 2;
    if (!CreateApplicationWindow(*this, kZelkoTitle, WS_EX_ACCEPTFILES, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y,
                                 kWindowWidth, kWindowHeight)) {
        return false;
    }
    if (!OnCreate()) return false;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    OnShown();
    return true;
}

std::wstring Zelko::SettingsPath() const { return environment_.programFolder + L"\\" + kSettingsFileName; }

bool Zelko::OnCreate() {
    try {
        const std::filesystem::path data(environment_.dataFolder);
        LoadNameDatabase(data);
        BuildKnownNames(data);
    } catch (const std::exception&) {
        // Without name lists textures show their hashes; the editor still works.
    }
    settings_ = LoadSettingsFile(SettingsPath());

    findDialog_.Create(
        window,
        [this](const std::u16string& pattern, bool matchCase) { return SearchIndex(findIndex_, pattern, matchCase); },
        [this](const FindRecord& record) {
            try {
                GoToFindRecord(record);
            } catch (const std::exception& failure) {
                SetStatus(L"ERROR: " + WideFromUtf8(failure.what()), true);
            }
        });
    modelessDialog = findDialog_.window;

    status_ = std::make_unique<Status>(this);
    status_->SetLogPath(environment_.programFolder + L"\\log.txt");
    status_->SetLogEnabled(settings_.options.saveLogs);

    BuildMenus();
    CreateLists();
    RestoreGeometry();

    SetDocumentCommands(false);
    SetEditingCommands(false);
    SetStatus(L"Ready", false);
    return true;
}

void Zelko::BuildMenus() {
    Menu bar;
    Menu& file = bar.AddPopup(L"&File");
    file.AddItem(L"&Open\tCtrl + O", IDM_FILE_OPEN);
    file.AddItem(L"Open ZRC World Folder (.stp)", IDM_FILE_OPEN_WORLD_FOLDER);
    file.AddSeparator();
    file.AddItem(L"&Save\tCtrl + S", IDM_FILE_SAVE);
    file.AddItem(L"&Reload", IDM_FILE_RELOAD);
    file.AddItem(L"&Close", IDM_FILE_CLOSE);
    file.AddSeparator();
    file.AddItem(L"&Exit\tAlt + F4", IDM_FILE_EXIT);

    Menu& texture = bar.AddPopup(L"&Texture");
    texture.AddItem(L"&Add\tCtrl + A", IDM_TEXTURE_ADD);
    texture.AddItem(L"&Duplicate\tCtrl + D", IDM_TEXTURE_DUPLICATE);
    texture.AddItem(L"&Rename\tCtrl + R", IDM_TEXTURE_RENAME);
    texture.AddItem(L"&Format change\tCtrl + F", IDM_TEXTURE_FORMAT_CHANGE);
    texture.AddItem(L"&Delete\tCtrl + X", IDM_TEXTURE_DELETE);
    texture.AddItem(L"Re&place\tCtrl + I", IDM_TEXTURE_REPLACE);
    texture.AddItem(L"Add/Replace from &folder", IDM_TEXTURE_IMPORT_FOLDER);
    texture.AddSeparator();
    texture.AddItem(L"&Find\tF3", IDM_TEXTURE_FIND);
    texture.AddSeparator();
    texture.AddItem(L"&Export checked\tCtrl + E", IDM_TEXTURE_EXPORT_CHECKED);
    texture.AddItem(L"Export &all from texture list", IDM_TEXTURE_EXPORT_LIST);
    texture.AddSeparator();
    texture.AddItem(L"Export all from &opened file", IDM_TEXTURE_EXPORT_ARCHIVE);

    bar.AddPopup(L"&View").AddItem(L"&Alpha-channel", IDM_VIEW_ALPHA);
    bar.AddPopup(L"&Tools").AddItem(L"Open file / folder &location...", IDM_TOOLS_OPEN_LOCATION);
    Menu& settings = bar.AddPopup(L"&Settings");
    settings.AddItem(L"&Associate supported archives", IDM_SETTINGS_ASSOCIATE);
    settings.AddItem(L"&Options", IDM_SETTINGS_OPTIONS);
    Menu& about = bar.AddPopup(L"&About");
    about.AddItem(L"&About", IDM_ABOUT_ABOUT);
    about.AddItem(L"&Update...", IDM_ABOUT_UPDATE);
    SetMenu(window, bar.Detach());

    AddAccelerator('O', IDM_FILE_OPEN);
    AddAccelerator('S', IDM_FILE_SAVE);
    AddAccelerator('A', IDM_TEXTURE_ADD);
    AddAccelerator('D', IDM_TEXTURE_DUPLICATE);
    AddAccelerator('R', IDM_TEXTURE_RENAME);
    AddAccelerator('F', IDM_TEXTURE_FORMAT_CHANGE);
    AddAccelerator('X', IDM_TEXTURE_DELETE);
    AddAccelerator('I', IDM_TEXTURE_REPLACE);
    AddFindAccelerator(IDM_TEXTURE_FIND);
    AddAccelerator('E', IDM_TEXTURE_EXPORT_CHECKED);
}

void Zelko::CreateLists() {
    fileList_ = std::make_unique<ListView>(this, false);
    fileList_->SetDetailsView();
    for (const wchar_t* title : {L"ID", L"Name", L"Size", L"Textures"}) fileList_->AddColumn(title);
    fileList_->SetColors(false);

    textureList_ = std::make_unique<ListView>(this, true);
    textureList_->SetDetailsView();
    textureList_->CreateImageList();
    for (const wchar_t* title : {L"Name", L"Width", L"Height", L"Format", L"MipMaps"}) textureList_->AddColumn(title);
    textureList_->SetColors(true);

    fileList_->onActivate = [this](IListItem& item) {
        auto* entry = static_cast<ArchiveEntry*>(item.GetData());
        if (!entry || !AskToSaveChanges()) return;
        File_ProcessBIN(entry->id);
    };
    textureList_->onFocus = [this](IListItem& item) { OnTextureFocused(item); };
    textureList_->onActivate = [this](IListItem&) { OnCommand(IDM_TEXTURE_REPLACE, 0); };
    // Keys of the list itself, so they never act while another window has the focus.
    textureList_->onKeyDown = [this](WORD key) {
        if (key == VK_F2) OnCommand(IDM_TEXTURE_RENAME, 0);
        if (key == VK_DELETE) OnCommand(IDM_TEXTURE_DELETE, 0);
    };
    fileList_->onPositionChanging = [this](RectPositions& r) { ConstrainFileList(r); };
    textureList_->onPositionChanging = [this](RectPositions& r) { ConstrainTextureList(r); };
    fileList_->onResize = [this] { FileListResized(); };
    textureList_->onResize = [this] { TextureListResized(); };

    RECT client{};
    GetClientArea(client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    layoutInProgress_ = true;
    MoveWindow(fileList_->window, 0, 0, width / 2, height / 3, TRUE);
    MoveWindow(textureList_->window, 0, height - height / 3, width / 2, height / 3, TRUE);
    layoutInProgress_ = false;
}

void Zelko::RestoreGeometry() {
    const WindowRectangle& saved = settings_.window;
    RECT area{saved.left, saved.top, saved.right, saved.bottom};
    if (MonitorList().Fits(area)) {
        MoveWindow(window, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
    if (settings_.splitterWidth != 0 && settings_.splitterHeight != 0) {
        SetWindowPos(fileList_->window, nullptr, 0, 0, settings_.splitterWidth, settings_.splitterHeight,
                     SWP_NOMOVE | SWP_NOZORDER);
    }
    // The lists start apart; one layout pass joins them even when no resize follows.
    OnSize();
}

void Zelko::OnShown() {
    const auto& arguments = environment_.arguments;
    if (arguments.size() == 2) {
        OpenDocumentPath(arguments[1]);
    } else if (settings_.options.autoOpenLast) {
        ReopenRecent();
    }
}

void Zelko::OnCommand(WORD id, WORD code) {
    if (id < IDM_FIRST_COMMAND || id > IDM_LAST_COMMAND) return;
    // A greyed item delivers nothing, whatever sent the command.
    if (!IsCommandEnabled(id)) return;
    if (onCommandHandled) onCommandHandled(id);
    switch (id) {
    case IDM_FILE_OPEN: Menu_Open(L""); break;
    case IDM_FILE_OPEN_WORLD_FOLDER: Menu_OpenWorldFolder(); break;
    case IDM_FILE_SAVE: Menu_Save(); break;
    case IDM_FILE_RELOAD: Menu_Reload(); break;
    case IDM_FILE_CLOSE: CloseDocument(); break;
    case IDM_FILE_EXIT: SendMessageW(window, WM_CLOSE, 0, 0); break;
    case IDM_VIEW_ALPHA: Menu_ToggleAlpha(); break;
    case IDM_SETTINGS_OPTIONS: Menu_Options(); break;
    case IDM_SETTINGS_ASSOCIATE: Menu_AssociateSupportedArchives(); break;
    case IDM_TOOLS_OPEN_LOCATION: Menu_OpenLocation(); break;
    case IDM_ABOUT_ABOUT: Menu_About(); break;
    case IDM_ABOUT_UPDATE: Menu_Update(); break;
    case IDM_RESERVED: break;
    case IDM_TEXTURE_ADD:
    case IDM_TEXTURE_DUPLICATE:
    case IDM_TEXTURE_RENAME:
    case IDM_TEXTURE_FORMAT_CHANGE:
    case IDM_TEXTURE_DELETE:
    case IDM_TEXTURE_REPLACE:
    case IDM_TEXTURE_IMPORT_FOLDER:
    case IDM_TEXTURE_EXPORT_CHECKED:
    case IDM_TEXTURE_EXPORT_LIST:
    case IDM_TEXTURE_EXPORT_ARCHIVE:
    case IDM_TEXTURE_FIND: RunTextureCommand(id); break;
    default: break;
    }
}

void Zelko::RunTextureCommand(WORD id) {
    // A command that fails part-way has changed nothing: the core's editing
    // steps check before they change a record.
    try {
        switch (id) {
        case IDM_TEXTURE_ADD: Menu_TextureAdd(); break;
        case IDM_TEXTURE_DUPLICATE: Menu_TextureDuplicate(); break;
        case IDM_TEXTURE_RENAME: Menu_TextureRename(); break;
        case IDM_TEXTURE_FORMAT_CHANGE: Menu_TextureFormatChange(); break;
        case IDM_TEXTURE_DELETE: Menu_TextureDelete(); break;
        case IDM_TEXTURE_REPLACE: Menu_TextureReplace(L""); break;
        case IDM_TEXTURE_IMPORT_FOLDER: Menu_TextureAddReplaceFromFolder(L""); break;
        case IDM_TEXTURE_EXPORT_CHECKED: Menu_TextureExportFromList(false); break;
        case IDM_TEXTURE_EXPORT_LIST: Menu_TextureExportFromList(true); break;
        case IDM_TEXTURE_EXPORT_ARCHIVE: Menu_TextureExportAllFromOpenedArchive(); break;
        case IDM_TEXTURE_FIND: Menu_Find(); break;
        default: break;
        }
    } catch (const std::exception& failure) {
        SetStatus(L"ERROR: " + WideFromUtf8(failure.what()), true);
    }
}

void Zelko::OnSize() {
    Application::OnSize();
    if (status_) status_->Resize();
    InvalidatePreview();
}

bool Zelko::OnClose() {
    if (!AskToSaveChanges()) return false;
    SaveSettings();
    return true;
}

void Zelko::SaveSettings() {
    RECT outer{};
    GetWindowRect(window, &outer);
    settings_.window = {outer.left, outer.top, outer.right, outer.bottom};
    if (fileList_ && fileList_->window) {
        RECT list{};
        GetWindowRect(fileList_->window, &list);
        settings_.splitterWidth = list.right - list.left;
        settings_.splitterHeight = list.bottom - list.top;
    }
    SaveSettingsFile(settings_, SettingsPath()); // a failure loses this run's settings silently
}

void Zelko::OnPaint(PAINTSTRUCT& paint, HDC dc) { PaintPreviewPane(dc, PreviewArea(), preview_.get()); }

void Zelko::OnDropFile(const std::wstring& path) {
    const std::filesystem::path file(path);
    if (HasOneOfExtensions(file, {".bin", ".bun", ".lzc", ".vyl"})) {
        Menu_Open(path);
    } else if (HasOneOfExtensions(file, {".dds", ".bmp", ".png", ".gif", ".tiff", ".tif", ".jpeg", ".jpg"})) {
        try {
            Menu_TextureAddReplaceFromFolder(path);
        } catch (const std::exception& failure) {
            SetStatus(L"ERROR: " + WideFromUtf8(failure.what()), true);
        }
    }
}

void Zelko::Menu_Open(const std::wstring& given) {
    if (!AskToSaveChanges()) return;
    std::wstring path = given;
    if (path.empty()) {
        path = ShowOpenFileDialog(window, std::wstring(kZelkoTitle) + L" | Select file to open",
                                  {{L"Supported files (bin;bun;lzc;vyl)", L"*.bin;*.bun;*.lzc;*.vyl"}}, L".bin",
                                  settings_.recentOpenFolder);
        if (path.empty()) return;
    }
    settings_.recentOpenFolder = std::filesystem::path(path).parent_path().wstring();
    OpenDocumentPath(path);
}

void Zelko::Menu_OpenWorldFolder() {
    if (!AskToSaveChanges()) return;
    std::wstring folder = ShowFolderPicker(window, L"Select ZRC World folder (.stp) ", FolderButton::None, L"");
    if (folder.empty()) return;
    OpenWorldFolderPath(folder);
}

void Zelko::Menu_Reload() {
    if (!AskToSaveChanges()) return;
    ReopenRecent();
}

void Zelko::ReopenRecent() {
    switch (settings_.recentFileType) {
    case kEntryPack:
    case kEntryVinyl: OpenDocumentPath(settings_.recentFilePath); break;
    case kEntryWorldFolder: OpenWorldFolderPath(settings_.recentFilePath); break;
    default: break;
    }
}

void Zelko::Menu_ToggleAlpha() {
    const bool wasOn = settings_.showAlphaChannel;
    settings_.showAlphaChannel = !wasOn;
    SetStatus(wasOn ? L"Alpha channel disabled." : L"Alpha channel enabled.", false);
    if (textureList_) {
        if (IListItem* item = textureList_->GetSelectedItem()) OnTextureFocused(*item);
    }
}

bool Zelko::AskToSaveChanges() {
    if (!HasUnsavedChanges()) return true;
    int answer = ShowMessage(window, L"There are unsaved changes. Do you want to SAVE the changes?", L"",
                             MB_YESNOCANCEL | MB_ICONINFORMATION);
    if (answer == IDCANCEL) return false;
    // A failed save stops the action as Cancel does: going on would lose the edits.
    if (answer == IDYES) return Menu_Save();
    return true;
}

int Zelko::ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    return messageBox ? messageBox(owner, text, caption, type) : IDCANCEL;
}

void Zelko::SetStatus(const std::wstring& text, bool log) {
    if (status_) status_->SetText(text, 0, log);
}

void Zelko::EnableCommand(UINT id, bool enabled) {
    HMENU menu = GetMenu(window);
    if (!menu) return;
    EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_DISABLED | MF_GRAYED));
}

bool Zelko::IsCommandEnabled(UINT id) const {
    HMENU menu = GetMenu(window);
    if (!menu) return true;
    UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    return state == UINT(-1) || !(state & (MF_DISABLED | MF_GRAYED));
}

void Zelko::SetDocumentCommands(bool enabled) {
    for (UINT id : kDocumentGroup) EnableCommand(id, enabled);
    DrawMenuBar(window);
}

void Zelko::SetEditingCommands(bool enabled) {
    for (UINT id : kEditingGroup) EnableCommand(id, enabled);
    if (enabled && container_) {
        for (UINT id : kRebuildGroup) EnableCommand(id, container_->CanRebuild());
    }
    DrawMenuBar(window);
}

RECT Zelko::ChildArea(const IControl& control) {
    RECT area{};
    GetWindowRect(control.window, &area);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void Zelko::ConstrainFileList(RectPositions& r) {
    RECT client{};
    GetClientArea(client);
    // Applied in this order, so the upper limit wins in a small window.
    r.left = 0;
    r.top = 0;
    r.right = std::min(std::max(r.right, kMinListWidth), int(client.right) - kRoomBeside);
    r.bottom = std::min(std::max(r.bottom, kMinListHeight), int(client.bottom) - kRoomBeside);
}

void Zelko::ConstrainTextureList(RectPositions& r) {
    RECT client{};
    GetClientArea(client);
    r.left = 0;
    r.right = std::min(std::max(r.right, kMinListWidth), int(client.right) - kRoomBeside);
    r.top = std::max(std::min(r.top, int(client.bottom) - kRoomBeside), kMinListHeight);
    r.bottom = client.bottom;
}

void Zelko::FileListResized() {
    if (IsIconic(window) || layoutInProgress_ || !textureList_) return;
    RECT client{};
    GetClientArea(client);
    const RECT list = ChildArea(*fileList_);
    const int height = list.bottom - list.top;
    layoutInProgress_ = true;
    MoveWindow(textureList_->window, 0, height, list.right - list.left, client.bottom - height, TRUE);
    layoutInProgress_ = false;
    InvalidatePreview();
}

void Zelko::TextureListResized() {
    if (IsIconic(window) || layoutInProgress_ || !fileList_) return;
    RECT client{};
    GetClientArea(client);
    const RECT list = ChildArea(*textureList_);
    layoutInProgress_ = true;
    MoveWindow(fileList_->window, 0, 0, list.right - list.left, client.bottom - (list.bottom - list.top), TRUE);
    layoutInProgress_ = false;
    InvalidatePreview();
}

RECT Zelko::PreviewArea() {
    RECT client{};
    if (!window) return client;
    GetClientArea(client);
    if (fileList_ && fileList_->window) client.left = ChildArea(*fileList_).right;
    if (client.left > client.right) client.left = client.right;
    return client;
}

void Zelko::InvalidatePreview() {
    if (!window) return;
    RECT pane = PreviewArea();
    InvalidateRect(window, &pane, FALSE);
}

} // namespace zelko
