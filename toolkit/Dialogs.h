#pragma once
// The platform's file and folder choosers.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace zelko {

// One filter of the open-file dialog: label ("Images") and pattern ("*.png;*.dds").
using FileFilter = std::pair<std::wstring, std::wstring>;

// Explorer-style open-file dialog; the file must exist. The default extension
// may be given with or without its leading dot. Returns the chosen path
// (at most 259 characters) or empty text when cancelled.
std::wstring ShowOpenFileDialog(HWND owner, const std::wstring& title, const std::vector<FileFilter>& filters,
                                const std::wstring& defaultExtension, const std::wstring& startFolder);

// The filter list in the platform's form: label NUL pattern NUL ... NUL.
std::wstring JoinFileFilters(const std::vector<FileFilter>& filters);

enum class FolderButton : bool { None, NewFolder };

// Folder browser in the new dialog style with an edit box, without network
// folders below the domain, with a new-folder button only when asked; starts
// on startFolder. Empty text when cancelled or the choice has no file-system path.
std::wstring ShowFolderPicker(HWND owner, const std::wstring& title, FolderButton button,
                              const std::wstring& startFolder);

} // namespace zelko
