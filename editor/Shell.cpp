#include "editor/Shell.h"

#include "toolkit/Handles.h"

#include <windows.h>

namespace zelko {
namespace {

// Creates (or reuses) the key, then stores the whole string with its
// terminating null as the key's default value.
bool SetDefaultValue(const std::wstring& key, const std::wstring& value) {
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &created, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegistryKeyHandle createdKey(created);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return false;
    RegistryKeyHandle openedKey(opened);
    const auto bytes = DWORD((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
        ERROR_SUCCESS;
}

} // namespace

std::wstring FileAssociation::ProgId() const {
    return (extension.empty() || extension[0] != L'.' ? extension : extension.substr(1)) + L"_auto_file";
}

std::wstring FileAssociation::IconValue() const {
    return L"\"" + executablePath + L"\",-" + std::to_wstring(iconIndex);
}

std::wstring FileAssociation::CommandValue() const { return L"\"" + executablePath + L"\" \"%1\""; }

bool RegisterAssociation(const FileAssociation& association) {
    const std::wstring progId = association.ProgId();
    return SetDefaultValue(association.extension, progId) && SetDefaultValue(progId, association.typeName) &&
        SetDefaultValue(progId + L"\\DefaultIcon", association.IconValue()) &&
        SetDefaultValue(progId + L"\\shell\\open\\command", association.CommandValue());
}

std::wstring AboutText() {
    return std::wstring(L"ZRC-Zelko\r\nVersion: 1.7\r\nWebsite: ") + kProjectPage +
        L"\r\n\r\nFree to use. The games' files belong to their owners: edit only what you may, and keep a "
        L"backup of every archive before you change it. The program comes without any warranty.";
}

} // namespace zelko
