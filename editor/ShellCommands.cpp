// The Tools, Settings and About commands that reach outside the program:
// file associations, the document's folder, the About box and the web page.
#include "editor/Shell.h"
#include "editor/Zelko.h"

#include <cwctype>
#include <filesystem>

namespace zelko {
namespace {

constexpr UINT kInformation = MB_OK | MB_ICONINFORMATION;

} // namespace

bool Zelko::Menu_AssociateSupportedArchives() {
    ShowMessage(nullptr, L"This feature requires administrator privileges.", L"Admin rights", kInformation);
    for (const wchar_t* extension : {L".bun", L".bin", L".lzc"}) {
        FileAssociation association;
        association.executablePath = environment_.executable;
        association.extension = extension;
        if (!RegisterAssociation(association)) {
            std::wstring upper = extension;
            for (wchar_t& c : upper) c = wchar_t(std::towupper(c));
            SetStatus(L"ERROR: Unable to associate the " + upper + L" extension.", true);
            return false;
        }
    }
    SetStatus(L"Supported files were associated with ZRC-Zelko.", true);
    return true;
}

void Zelko::Menu_OpenLocation() {
    const std::wstring folder = std::filesystem::path(settings_.recentFilePath).parent_path().wstring();
    std::error_code error;
    if (!folder.empty() && std::filesystem::is_directory(std::filesystem::path(folder), error)) {
        if (shellOpen) shellOpen(window, folder);
        return;
    }
    ShowMessage(GetForegroundWindow(), L"Directory does not exist\r\n" + folder, L"Error", kInformation);
}

void Zelko::Menu_About() { ShowMessage(window, AboutText(), L"About", kInformation); }

void Zelko::Menu_Update() {
    if (shellOpen) shellOpen(nullptr, kProjectPage);
}

} // namespace zelko
