#pragma once
// The editor and the desktop around it: file associations in the registry,
// the About text and the project's web page.
#include <string>

namespace zelko {

constexpr const wchar_t* kProjectPage = L"https://zrc-zelko.example.org/";

// One archive extension handled by the program.
struct FileAssociation {
    std::wstring executablePath;
    std::wstring extension; // with its dot: ".bun"
    std::wstring typeName = L"Archive ZRC-Zelko";
    int iconIndex = 2;

    // "bun_auto_file" for ".bun".
    std::wstring ProgId() const;
    // "\"<exe>\",-2": the icon by its resource number.
    std::wstring IconValue() const;
    // "\"<exe>\" \"%1\"": the chosen file as the only argument.
    std::wstring CommandValue() const;
};

// Writes the four default values under the classes root (extension, type,
// icon, open command); false at the first step that fails.
bool RegisterAssociation(const FileAssociation& association);

// The About box's text: name, version, web page and the terms of use.
std::wstring AboutText();

} // namespace zelko
