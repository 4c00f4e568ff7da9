#include "toolkit/Dialogs.h"

#include "toolkit/Handles.h"

#include <commdlg.h>
#include <shlobj.h>

namespace zelko {

std::wstring JoinFileFilters(const std::vector<FileFilter>& filters) {
    std::wstring joined;
    for (const auto& [label, pattern] : filters) {
        joined += label;
        joined += L'\0';
        joined += pattern;
        joined += L'\0';
    }
    joined += L'\0';
    return joined;
}

std::wstring ShowOpenFileDialog(HWND owner, const std::wstring& title, const std::vector<FileFilter>& filters,
                                const std::wstring& defaultExtension, const std::wstring& startFolder) {
    wchar_t path[MAX_PATH] = {};
    std::wstring filterText = JoinFileFilters(filters);
    // The dialog wants the extension without its dot.
    std::wstring extension = defaultExtension;
    if (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.empty() ? nullptr : filterText.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = startFolder.empty() ? nullptr : startFolder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&dialog)) return {};
    return path;
}

namespace {

int CALLBACK SelectStartFolder(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

} // namespace

std::wstring ShowFolderPicker(HWND owner, const std::wstring& title, FolderButton button,
                              const std::wstring& startFolder) {
    // The new dialog style needs OLE on this thread.
    HRESULT ole = OleInitialize(nullptr);

    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_DONTGOBELOWDOMAIN;
    if (button == FolderButton::None) browse.ulFlags |= BIF_NONEWFOLDERBUTTON;
    browse.lpfn = &SelectStartFolder;
    browse.lParam = startFolder.empty() ? 0 : reinterpret_cast<LPARAM>(startFolder.c_str());

    std::wstring result;
    {
        CoTaskMemoryHandle list(SHBrowseForFolderW(&browse));
        wchar_t path[MAX_PATH] = {};
        if (list && SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(list.Get()), path)) result = path;
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return result;
}

} // namespace zelko
